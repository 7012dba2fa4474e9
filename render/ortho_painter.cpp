#include "render/ortho_painter.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <cmath>
#include <vector>

namespace mw {
namespace {

const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kSeamColour(255, 140, 0);
const QColor kGrid(192, 192, 192);
const QColor kLabel(128, 128, 128);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);

QPen Pen(const QColor& c, Qt::PenStyle style = Qt::SolidLine) {
  QPen pen(c, 1, style);
  pen.setCosmetic(true);
  return pen;
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
    if (a == b) return;
    int px, py, ex, ey;
    bool endClipped = false;
    if (InClipBox(a) && InClipBox(b)) {
      // What clipping would give back unchanged; most edges of a large model are short and inside.
      px = a.x(), py = a.y(), ex = b.x(), ey = b.y();
    } else if ((a.x() < -1 && b.x() < -1) || (a.x() > width_ && b.x() > width_) || (a.y() < -1 && b.y() < -1) ||
               (a.y() > height_ && b.y() > height_)) {
      // Wholly beyond one side: clipping would cut it away. Most edges of a large model zoomed in.
      return;
    } else {
      double x0 = a.x(), y0 = a.y(), x1 = b.x(), y1 = b.y();
      if (!Clip(x0, y0, x1, y1, endClipped)) return;
      px = static_cast<int>(std::lround(x0)), py = static_cast<int>(std::lround(y0));
      ex = static_cast<int>(std::lround(x1)), ey = static_cast<int>(std::lround(y1));
    }
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

  // The square of side 2 r + 1 centred on p.
  void Square(PanePixel p, QRgb colour, int r) {
    if (p.x - r >= 0 && p.x + r < width_ && p.y - r >= 0 && p.y + r < height_) {
      QRgb* row = bits_ + static_cast<std::ptrdiff_t>(p.y - r) * stride_ + (p.x - r);
      for (int y = -r; y <= r; ++y, row += stride_)
        for (int x = 0; x <= 2 * r; ++x) row[x] = colour;
      return;
    }
    if (p.x + r < 0 || p.x - r >= width_ || p.y + r < 0 || p.y - r >= height_) return;
    for (int y = p.y - r; y <= p.y + r; ++y)
      for (int x = p.x - r; x <= p.x + r; ++x) Plot(x, y, colour);
  }

 private:
  // The box Clip cuts to: the image grown by one pixel.
  bool InClipBox(QPoint p) const { return p.x() >= -1 && p.x() <= width_ && p.y() >= -1 && p.y() <= height_; }

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

// Corners of a model as the edges read them: from the projection when there is one, else
// projected on the spot.
class Corners {
 public:
  Corners(const CModel& m, const std::vector<PanePixel>* projected, Plane plane, QPoint centre, float zoom)
      : m_(m), projected_(projected), plane_(plane), centre_(centre), zoom_(zoom) {}
  const CModel& model() const { return m_; }
  QPoint operator()(std::int32_t index) const {
    if (projected_) {
      const PanePixel p = (*projected_)[static_cast<std::size_t>(index)];
      return QPoint(p.x, p.y);
    }
    return Project(plane_, m_.vertices[static_cast<std::size_t>(index)].position, centre_, zoom_);
  }

 private:
  const CModel& m_;
  const std::vector<PanePixel>* projected_;
  Plane plane_;
  QPoint centre_;
  float zoom_;
};

void FaceEdges(Raster& raster, const Corners& corner, const CFace& f, QRgb colour) {
  const std::size_t n = f.indices.size();
  if (n < 2) return;
  // Every corner is checked before anything is drawn: a face with a corner naming no vertex
  // draws nothing at all, not some of its edges.
  for (std::int32_t i : f.indices)
    if (!corner.model().HasVertex(i)) return;
  const QPoint first = corner(f.indices[0]);
  if (n == 2) {
    raster.Line(first, corner(f.indices[1]), colour);
    return;
  }
  QPoint from = first;
  for (std::size_t k = 1; k < n; ++k) {
    const QPoint to = corner(f.indices[k]);
    raster.Line(from, to, colour);
    from = to;
  }
  raster.Line(from, first, colour);
}

void Marker(QPainter& painter, QPoint s, const QColor& c, int r) {
  painter.fillRect(QRect(s.x() - r, s.y() - r, 2 * r + 1, 2 * r + 1), c);
}

// A position given in pane pixels, in image pixels.
int ToImage(int panePixels, double ratio) {
  return ratio == 1.0 ? panePixels : static_cast<int>(std::lround(panePixels * ratio));
}
QPoint ToImage(QPoint p, double ratio) { return QPoint(ToImage(p.x(), ratio), ToImage(p.y(), ratio)); }

}  // namespace

QPoint PaneCentre(Plane plane, int width, int height, const PanOffsets& pan) {
  const PanePixel c = ShiftedBy(plane, width / 2, height / 2, pan);
  return QPoint(c.x, c.y);
}

QPoint Project(Plane plane, const CVector& p, QPoint c, float zoom) {
  const PanePixel q = ToPanePixel(plane, p, zoom, c.x(), c.y());
  return QPoint(q.x, q.y);
}

void DrawGrid(QPainter& painter, const QRect& rect, QPoint c, float zoom) {
  const int right = rect.right() + 1, bottom = rect.bottom() + 1;
  painter.setPen(Pen(kGrid));
  painter.drawLine(0, c.y(), right, c.y());
  painter.drawLine(c.x(), 0, c.x(), bottom);
  painter.setPen(Pen(kGrid, Qt::DotLine));
  const int d = GridPixels(zoom);
  for (int step : {d, d / 2}) {
    painter.drawLine(0, c.y() - step, right, c.y() - step);
    painter.drawLine(0, c.y() + step, right, c.y() + step);
    painter.drawLine(c.x() - step, 0, c.x() - step, bottom);
    painter.drawLine(c.x() + step, 0, c.x() + step, bottom);
  }
}

QRectF ReferenceRect(const QImage& picture, const ReferencePicture& placement, QPoint c, float zoom) {
  const double k = static_cast<double>(zoom) / 100.0;
  const double s = static_cast<double>(placement.unitsPerPixel);
  const double w = picture.width() * s, h = picture.height() * s;
  return QRectF(c.x() + (placement.centreU - w / 2.0) * k, c.y() + (placement.centreV - h / 2.0) * k, w * k, h * k);
}

void DrawReferencePicture(QPainter& painter, const QImage& picture, const ReferencePicture& placement, QPoint c,
                          float zoom) {
  if (!placement.visible || picture.isNull() || !(placement.opacity > 0.0f)) return;
  const QRectF target = ReferenceRect(picture, placement, c, zoom);
  // Only the part inside the pane is drawn, so a picture zoomed far in costs no more than the pane.
  const QRectF device(0.0, 0.0, painter.device()->width(), painter.device()->height());
  const QRectF shown = target.intersected(device);
  if (!std::isfinite(target.width()) || !std::isfinite(target.height()) || shown.isEmpty()) return;
  const double sx = picture.width() / target.width(), sy = picture.height() / target.height();
  const QRectF source((shown.x() - target.x()) * sx, (shown.y() - target.y()) * sy, shown.width() * sx,
                      shown.height() * sy);
  painter.save();
  painter.setOpacity(placement.opacity);
  painter.drawImage(shown, picture, source);
  painter.restore();
}

void ProjectVertices(OrthoProjection& projection, const CMeshwright& scene, Plane plane, QPoint c, float zoom) {
  projection.models.resize(scene.models.size());
  for (std::size_t i = 0; i < scene.models.size(); ++i) {
    const CModel& m = scene.models[i];
    std::vector<PanePixel>& out = projection.models[i];
    if (m.state == kStateHidden) {
      out.clear();
      continue;
    }
    out.resize(m.vertices.size());
    for (std::size_t k = 0; k < m.vertices.size(); ++k)
      out[k] = ToPanePixel(plane, m.vertices[k].position, zoom, c.x(), c.y());
  }
}

namespace {

// Seams (where unwrapping cuts the texture) in orange, two pixels wide, over the black wire and
// under the red selection; not those on a hidden vertex.
void DrawSeams(Raster& raster, const CMeshwright& scene, Plane plane, QPoint centre, float zoom,
               const OrthoProjection* projection) {
  const QRgb orange = kSeamColour.rgb();
  for (std::size_t i = 0; i < scene.models.size(); ++i) {
    const CModel& m = scene.models[i];
    if (m.state == kStateHidden || m.seamEdges.empty()) continue;
    const Corners corners(m, projection ? &projection->models[i] : nullptr, plane, centre, zoom);
    for (const std::uint64_t key : m.seamEdges) {
      const auto a = static_cast<std::int32_t>(key >> 32), b = static_cast<std::int32_t>(key & 0xffffffffu);
      if (!m.HasVertex(a) || !m.HasVertex(b)) continue;
      if (m.vertices[static_cast<std::size_t>(a)].hidden || m.vertices[static_cast<std::size_t>(b)].hidden) continue;
      const QPoint p = corners(a), q = corners(b);
      raster.Line(p, q, orange);
      // The second pixel goes across the line's run, so steep and flat seams look alike.
      const QPoint step = std::abs(q.x() - p.x()) >= std::abs(q.y() - p.y()) ? QPoint(0, 1) : QPoint(1, 0);
      raster.Line(p + step, q + step, orange);
    }
  }
}

}  // namespace

void DrawFaceEdges(QImage& image, const CMeshwright& scene, Plane plane, QPoint centre, float zoom,
                   const OrthoProjection* projection) {
  Raster raster(image);
  // Red shows what is selected in the scene's mode: the faces picked in face mode, the edges picked
  // in edge mode (drawn over their faces' black), the faces whose corners are all selected else.
  const std::int32_t mode = scene.selectMode;
  for (int selectedPass = 0; selectedPass < 2; ++selectedPass) {
    if (selectedPass) DrawSeams(raster, scene, plane, centre, zoom, projection);
    const QRgb colour = (selectedPass ? kRed : kBlack).rgb();
    for (std::size_t i = 0; i < scene.models.size(); ++i) {
      const CModel& m = scene.models[i];
      if (m.state == kStateHidden) continue;
      const Corners corners(m, projection ? &projection->models[i] : nullptr, plane, centre, zoom);
      for (const CFace& f : m.faces) {
        const std::uint8_t selected = mode == 2 ? f.selected : mode == 1 ? 0 : f.allSelected;
        if (selected == selectedPass && !f.hidden) FaceEdges(raster, corners, f, colour);
      }
      if (selectedPass && mode == 1)
        for (const std::uint64_t key : m.selectedEdges) {
          const auto a = static_cast<std::int32_t>(key >> 32), b = static_cast<std::int32_t>(key & 0xffffffffu);
          if (m.HasVertex(a) && m.HasVertex(b)) raster.Line(corners(a), corners(b), colour);
        }
    }
  }
}

void DrawRefinedWire(QImage& image, const std::vector<const CModel*>& surfaces, Plane plane, QPoint centre, float zoom) {
  Raster raster(image);
  for (const CModel* m : surfaces) {
    if (!m) continue;
    const Corners corners(*m, nullptr, plane, centre, zoom);
    for (const CFace& f : m->faces) FaceEdges(raster, corners, f, kRefinedWireColour);
  }
}

void DrawVertices(QImage& image, const CMeshwright& scene, Plane plane, QPoint centre, float zoom,
                  const OrthoProjection* projection, int radius) {
  Raster raster(image);
  // Unselected squares first, so red ones are never covered by black ones. One walk over the
  // vertices draws the black squares and keeps the red ones' pixels for afterwards: the vertex
  // records are large, and reading them twice costs more than the drawing.
  thread_local std::vector<PanePixel> selected;
  selected.clear();
  const QRgb black = kBlack.rgb();
  for (std::size_t i = 0; i < scene.models.size(); ++i) {
    const CModel& m = scene.models[i];
    if (m.state == kStateHidden) continue;
    const std::size_t n = m.vertices.size();
    const CVertex* v = m.vertices.data();
    const PanePixel* p = projection ? projection->models[i].data() : nullptr;
    for (std::size_t k = 0; k < n; ++k) {
      if (v[k].hidden) continue;
      const PanePixel at = p ? p[k] : ToPanePixel(plane, v[k].position, zoom, centre.x(), centre.y());
      if (v[k].selected) selected.push_back(at);
      else raster.Square(at, black, radius);
    }
  }
  const QRgb red = kRed.rgb();
  for (const PanePixel& at : selected) raster.Square(at, red, radius);
}

void DrawSelectionRectangle(QPainter& painter, QPoint from, QPoint to) {
  painter.setPen(Pen(kGreen));
  const QPoint corners[5] = {from, QPoint(from.x(), to.y()), to, QPoint(to.x(), from.y()), from};
  painter.drawPolyline(corners, 5);
}

void DrawFaceCreation(QPainter& painter, const CMeshwright& scene, Plane plane, QPoint c, const QRect& rect,
                      float zoom, double ratio, int radius) {
  const int right = rect.right() + 1, bottom = rect.bottom() + 1;
  const PanePixel offset = ShiftedBy(plane, 0, 0, scene.cursor);
  const int x = c.x() + ToImage(offset.x, ratio), y = c.y() + ToImage(offset.y, ratio);
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
    points.push_back(Project(plane, v->position, c, zoom));
  }
  if (n == 2) painter.drawLine(points[0], points[1]);
  if (n == 3) {
    const QPoint loop[4] = {points[0], points[1], points[2], points[0]};
    painter.drawPolyline(loop, 4);
  }
  for (const QPoint& p : points) Marker(painter, p, kBlue, radius);
}

void DrawBoxOutline(QPainter& painter, Plane plane, QPoint centre, float zoom, const CVector& min, const CVector& max) {
  // Seen along an axis a box is the rectangle between its two extreme corners.
  const QPoint a = Project(plane, min, centre, zoom), b = Project(plane, max, centre, zoom);
  painter.setPen(Pen(kBlue));
  const QPoint corners[5] = {a, QPoint(a.x(), b.y()), b, QPoint(b.x(), a.y()), a};
  painter.drawPolyline(corners, 5);
}

void DrawKnifeLine(QPainter& painter, Plane plane, QPoint centre, float zoom, const std::vector<CVector>& points,
                   bool through, const QRect& rect) {
  if (points.empty()) return;
  painter.setPen(Pen(QColor(255, 0, 0)));
  std::vector<QPoint> line;
  for (const CVector& p : points) line.push_back(Project(plane, p, centre, zoom));
  for (const QPoint& q : line) painter.drawRect(q.x() - 2, q.y() - 2, 4, 4);
  if (through && line.size() >= 2) {
    // Drawn out to the pane's edges: the cut goes through everything along it.
    const QPointF a = line[0], b = line[1];
    const QPointF d = b - a;
    const double reach = 2.0 * (rect.width() + rect.height()) / std::max(1e-9, std::hypot(d.x(), d.y()));
    painter.drawLine(a - d * reach, a + d * reach);
    return;
  }
  painter.drawPolyline(line.data(), static_cast<int>(line.size()));
}

void DrawOrthoPane(QImage& image, const CMeshwright& scene, Plane plane, const PanOffsets& pan,
                   const OrthoOverlay& overlay, OrthoProjection* projection) {
  // Everything but the labels is drawn in image pixels, so lines come out one device pixel wide;
  // the labels are drawn at the image's ratio, at their size on screen.
  const qreal ratio = image.devicePixelRatio() > 0 ? image.devicePixelRatio() : 1.0;
  image.setDevicePixelRatio(1.0);
  const QRect rect = image.rect();
  const int paneWidth = ratio == 1.0 ? rect.width() : static_cast<int>(std::lround(rect.width() / ratio));
  const int paneHeight = ratio == 1.0 ? rect.height() : static_cast<int>(std::lround(rect.height() / ratio));
  const QPoint paneCentre = PaneCentre(plane, paneWidth, paneHeight, pan);
  const QPoint c = ToImage(paneCentre, ratio);
  const float zoom = ratio == 1.0 ? scene.zoom : static_cast<float>(scene.zoom * ratio);
  const int radius = ratio < 2.0 ? 1 : static_cast<int>(ratio);
  {
    QPainter painter(&image);
    // Plain pixels, like the window system's own line and text drawing.
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (overlay.reference)
      if (const ReferencePicture* placement = ReferenceFor(scene.referencePictures, plane))
        DrawReferencePicture(painter, *overlay.reference, *placement, c, zoom);
    if (overlay.grid) DrawGrid(painter, rect, c, zoom);
  }
  image.setDevicePixelRatio(ratio);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setPen(kLabel);
    const QPoint lc = paneCentre;
    const int right = paneWidth, bottom = paneHeight;
    auto label = [&painter](int x, int y, const char* text) {
      painter.drawText(QRect(x, y, 200, 40), Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(text));
    };
    if (plane == kPlaneTop) {
      label(0, 0, "Top");
      label(0, lc.y() - 7, "-X");
      label(right - 20, lc.y() - 7, "+X");
      label(lc.x() - 8, 0, "-Z");
      label(lc.x() - 8, bottom - 15, "+Z");
    } else if (plane == kPlaneFace) {
      label(0, 0, "Face");
      label(0, lc.y() - 7, "-X");
      label(right - 20, lc.y() - 7, "+X");
      label(lc.x() - 8, 0, "+Y");
      label(lc.x() - 8, bottom - 15, "-Y");
    } else {
      label(0, 0, "Left");
      label(lc.x() - 8, 0, "+Y");
      label(lc.x() - 8, bottom - 15, "-Y");
      label(0, lc.y() - 7, "+Z");
      label(right - 20, lc.y() - 7, "-Z");
    }
  }
  image.setDevicePixelRatio(1.0);
  // The projection pays when the edges read it; the markers alone read each vertex once anyway.
  if (!overlay.edgesVisible) projection = nullptr;
  if (projection) ProjectVertices(*projection, scene, plane, c, zoom);
  if (overlay.edgesVisible && overlay.refinedWire) DrawRefinedWire(image, *overlay.refinedWire, plane, c, zoom);
  if (overlay.edgesVisible) DrawFaceEdges(image, scene, plane, c, zoom, projection);
  if (scene.editMode == kModeSelect && overlay.selecting) {
    QPainter painter(&image);
    DrawSelectionRectangle(painter, ToImage(overlay.dragStart, ratio), ToImage(overlay.dragCurrent, ratio));
  }
  DrawVertices(image, scene, plane, c, zoom, projection, radius);
  // The box mode places its boxes with the same cursor as face building.
  if (scene.editMode == kModeCreateFace || scene.editMode == kModeCreateBox) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawFaceCreation(painter, scene, plane, c, rect, zoom, ratio, radius);
    if (overlay.box) DrawBoxOutline(painter, plane, c, zoom, overlay.boxMin, overlay.boxMax);
  }
  if (!overlay.cutPreview.empty()) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Pen(QColor(255, 128, 0)));
    for (const auto& [a, b] : overlay.cutPreview) painter.drawLine(Project(plane, a, c, zoom), Project(plane, b, c, zoom));
  }
  if (scene.editMode == kModeKnife && !overlay.knifeLine.empty()) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawKnifeLine(painter, plane, c, zoom, overlay.knifeLine, overlay.knifeThrough, rect);
  }
  image.setDevicePixelRatio(ratio);
}

}  // namespace mw
