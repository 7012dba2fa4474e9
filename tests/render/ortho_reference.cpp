// The orthographic pane as it was drawn before the panes learnt to project each vertex once and to
// draw at the screen's pixel ratio, kept verbatim so the pixels of the new drawing can be checked
// against it. Nothing outside the tests draws with it.
#include "tests/render/ortho_reference.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <cmath>
#include <vector>

namespace mw::reference {
namespace {

const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kGrid(192, 192, 192);
const QColor kLabel(128, 128, 128);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);

QPen Pen(const QColor& c, Qt::PenStyle style = Qt::SolidLine) {
  QPen pen(c, 1, style);
  pen.setCosmetic(true);
  return pen;
}

QPoint Vertex(const CModel& m, std::int32_t index, Plane plane, QPoint centre, float zoom, bool& ok) {
  ok = m.HasVertex(index);
  return ok ? OldProject(plane, m.vertices[static_cast<std::size_t>(index)].position, centre, zoom) : QPoint();
}

// Direct pixel drawing into a 32-bit image.
class Raster {
 public:
  explicit Raster(QImage& image)
      : bits_(reinterpret_cast<QRgb*>(image.bits())),
        stride_(image.bytesPerLine() / 4),
        width_(image.width()),
        height_(image.height()) {}

  // From a towards b, leaving out b. Clipped to the image first, so a line far outside costs
  // nothing however long it is.
  void Line(QPoint a, QPoint b, QRgb colour) {
    double x0 = a.x(), y0 = a.y(), x1 = b.x(), y1 = b.y();
    if (x0 == x1 && y0 == y1) return;
    bool endClipped = false;
    if (!Clip(x0, y0, x1, y1, endClipped)) return;
    int px = static_cast<int>(std::lround(x0)), py = static_cast<int>(std::lround(y0));
    const int ex = static_cast<int>(std::lround(x1)), ey = static_cast<int>(std::lround(y1));
    const int dx = std::abs(ex - px), dy = -std::abs(ey - py);
    const int sx = px < ex ? 1 : -1, sy = py < ey ? 1 : -1;
    int err = dx + dy;
    for (;;) {
      if (px == ex && py == ey) {
        if (endClipped) Plot(px, py, colour);
        return;
      }
      Plot(px, py, colour);
      const int e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        px += sx;
      }
      if (e2 <= dx) {
        err += dx;
        py += sy;
      }
    }
  }

  // The 3 x 3 square centred on p.
  void Square(QPoint p, QRgb colour) {
    for (int y = p.y() - 1; y <= p.y() + 1; ++y)
      for (int x = p.x() - 1; x <= p.x() + 1; ++x) Plot(x, y, colour);
  }

 private:
  void Plot(int x, int y, QRgb colour) {
    if (static_cast<unsigned>(x) < static_cast<unsigned>(width_) &&
        static_cast<unsigned>(y) < static_cast<unsigned>(height_))
      bits_[static_cast<std::ptrdiff_t>(y) * stride_ + x] = colour;
  }

  // Liang-Barsky against the image grown by one pixel.
  bool Clip(double& x0, double& y0, double& x1, double& y1, bool& endClipped) const {
    const double xmin = -1, ymin = -1, xmax = width_, ymax = height_;
    double t0 = 0, t1 = 1;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - xmin, xmax - x0, y0 - ymin, ymax - y0};
    for (int i = 0; i < 4; ++i) {
      if (p[i] == 0) {
        if (q[i] < 0) return false;
        continue;
      }
      const double t = q[i] / p[i];
      if (p[i] < 0) {
        if (t > t1) return false;
        if (t > t0) t0 = t;
      } else {
        if (t < t0) return false;
        if (t < t1) t1 = t;
      }
    }
    endClipped = t1 < 1;
    const double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = nx0;
    y0 = ny0;
    return true;
  }

  QRgb* bits_;
  std::ptrdiff_t stride_;
  int width_, height_;
};

void FaceEdges(Raster& raster, const CModel& m, const CFace& f, Plane plane, QPoint centre, float zoom, QRgb colour) {
  const std::size_t n = f.indices.size();
  if (n < 2) return;
  // Every corner is checked before anything is drawn: a face with a corner naming no vertex
  // draws nothing at all, not some of its edges.
  for (std::int32_t i : f.indices)
    if (!m.HasVertex(i)) return;
  bool ok;
  const QPoint first = Vertex(m, f.indices[0], plane, centre, zoom, ok);
  if (n == 2) {
    raster.Line(first, Vertex(m, f.indices[1], plane, centre, zoom, ok), colour);
    return;
  }
  QPoint from = first;
  for (std::size_t k = 1; k < n; ++k) {
    const QPoint to = Vertex(m, f.indices[k], plane, centre, zoom, ok);
    raster.Line(from, to, colour);
    from = to;
  }
  raster.Line(from, first, colour);
}

void Marker(QPainter& painter, QPoint s, const QColor& c) { painter.fillRect(QRect(s.x() - 1, s.y() - 1, 3, 3), c); }

}  // namespace

QPoint OldPaneCentre(Plane plane, int width, int height, const PanOffsets& pan) {
  const PanePixel c = ShiftedBy(plane, width / 2, height / 2, pan);
  return QPoint(c.x, c.y);
}

QPoint OldProject(Plane plane, const CVector& p, QPoint c, float zoom) {
  const PanePixel q = ToPanePixel(plane, p, zoom, c.x(), c.y());
  return QPoint(q.x, q.y);
}

void DrawGrid(QPainter& painter, const QRect& rect, QPoint c, float zoom) {
  const int right = rect.right() + 1, bottom = rect.bottom() + 1;
  painter.setPen(Pen(kGrid));
  painter.drawLine(0, c.y(), right, c.y());
  painter.drawLine(c.x(), 0, c.x(), bottom);
  painter.setPen(Pen(kGrid, Qt::DotLine));
  const int d = std::isfinite(zoom) ? static_cast<int>(zoom) : 100;
  for (int step : {d, d / 2}) {
    painter.drawLine(0, c.y() - step, right, c.y() - step);
    painter.drawLine(0, c.y() + step, right, c.y() + step);
    painter.drawLine(c.x() - step, 0, c.x() - step, bottom);
    painter.drawLine(c.x() + step, 0, c.x() + step, bottom);
  }
}

void DrawFaceEdges(QImage& image, const CMeshwright& scene, Plane plane, QPoint centre) {
  Raster raster(image);
  for (int selectedPass = 0; selectedPass < 2; ++selectedPass) {
    const QRgb colour = (selectedPass ? kRed : kBlack).rgb();
    for (const CModel& m : scene.models) {
      if (m.state == kStateHidden) continue;
      for (const CFace& f : m.faces)
        if (f.allSelected == selectedPass) FaceEdges(raster, m, f, plane, centre, scene.zoom, colour);
    }
  }
}

void DrawVertices(QImage& image, const CMeshwright& scene, Plane plane, QPoint centre) {
  Raster raster(image);
  // Unselected first, so red squares are never covered by black ones.
  for (int selectedPass = 0; selectedPass < 2; ++selectedPass) {
    const QRgb colour = (selectedPass ? kRed : kBlack).rgb();
    for (const CModel& m : scene.models) {
      if (m.state == kStateHidden) continue;
      for (const CVertex& v : m.vertices)
        if ((v.selected != 0) == (selectedPass != 0))
          raster.Square(OldProject(plane, v.position, centre, scene.zoom), colour);
    }
  }
}

void DrawSelectionRectangle(QPainter& painter, QPoint from, QPoint to) {
  painter.setPen(Pen(kGreen));
  const QPoint corners[5] = {from, QPoint(from.x(), to.y()), to, QPoint(to.x(), from.y()), from};
  painter.drawPolyline(corners, 5);
}

void DrawFaceCreation(QPainter& painter, const CMeshwright& scene, Plane plane, QPoint c, const QRect& rect) {
  const int right = rect.right() + 1, bottom = rect.bottom() + 1;
  const PanePixel cross = ShiftedBy(plane, c.x(), c.y(), scene.cursor);
  const int x = cross.x, y = cross.y;
  painter.setPen(Pen(kBlue));
  painter.drawLine(x, 0, x, bottom);
  painter.drawLine(0, y, right, y);
  if (!scene.HasCurrentModel()) return;
  const CModel& m = scene.models[static_cast<std::size_t>(scene.currentModel)];
  const std::size_t n = m.pendingFace.indices.size();
  if (n == 0 || n > 3) return;
  // Corners past the committed vertices name pending ones.
  std::vector<QPoint> points;
  for (std::int32_t index : m.pendingFace.indices) {
    const CVertex* v = nullptr;
    if (m.HasVertex(index)) {
      v = &m.vertices[static_cast<std::size_t>(index)];
    } else if (index >= 0) {
      const std::size_t pending = static_cast<std::size_t>(index) - m.vertices.size();
      if (pending < m.pendingVertices.size()) v = &m.pendingVertices[pending];
    }
    if (!v) return;
    points.push_back(OldProject(plane, v->position, c, scene.zoom));
  }
  if (n == 2) painter.drawLine(points[0], points[1]);
  if (n == 3) {
    const QPoint loop[4] = {points[0], points[1], points[2], points[0]};
    painter.drawPolyline(loop, 4);
  }
  for (const QPoint& p : points) Marker(painter, p, kBlue);
}

void DrawOrthoPane(QImage& image, const CMeshwright& scene, Plane plane, const PanOffsets& pan,
                   const OrthoOverlay& overlay) {
  const QRect rect = image.rect();
  const QPoint c = OldPaneCentre(plane, rect.width(), rect.height(), pan);
  {
    QPainter painter(&image);
    // Plain pixels, like the window system's own line and text drawing.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    DrawGrid(painter, rect, c, scene.zoom);
    painter.setPen(kLabel);
    const int right = rect.right() + 1, bottom = rect.bottom() + 1;
    auto label = [&painter](int x, int y, const char* text) {
      painter.drawText(QRect(x, y, 200, 40), Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(text));
    };
    if (plane == kPlaneTop) {
      label(0, 0, "Top");
      label(0, c.y() - 7, "-X");
      label(right - 20, c.y() - 7, "+X");
      label(c.x() - 8, 0, "-Z");
      label(c.x() - 8, bottom - 15, "+Z");
    } else if (plane == kPlaneFace) {
      label(0, 0, "Face");
      label(0, c.y() - 7, "-X");
      label(right - 20, c.y() - 7, "+X");
      label(c.x() - 8, 0, "+Y");
      label(c.x() - 8, bottom - 15, "-Y");
    } else {
      label(0, 0, "Left");
      label(c.x() - 8, 0, "+Y");
      label(c.x() - 8, bottom - 15, "-Y");
      label(0, c.y() - 7, "+Z");
      label(right - 20, c.y() - 7, "-Z");
    }
  }
  if (overlay.edgesVisible) DrawFaceEdges(image, scene, plane, c);
  if (scene.editMode == kModeSelect && overlay.selecting) {
    QPainter painter(&image);
    DrawSelectionRectangle(painter, overlay.dragStart, overlay.dragCurrent);
  }
  DrawVertices(image, scene, plane, c);
  if (scene.editMode == kModeCreateFace) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawFaceCreation(painter, scene, plane, c, rect);
  }
}

}  // namespace mw::reference
