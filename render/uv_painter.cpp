#include "render/uv_painter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "image/dib_stream.h"

namespace mw {

namespace {

const QColor kBackground(64, 64, 64);
const QColor kSquare(255, 255, 255);
const QColor kEdge(20, 30, 90);
const QColor kSelected(255, 140, 0);
const QColor kSeam(230, 0, 0);

// Screen pixels of a point, clamped so that far-away points cannot overflow the integer lines.
QPoint Pixel(const UVViewport& view, const CUV& uv) {
  const double x = std::clamp(view.originX + uv.u * view.scale, -1.0e6, 1.0e6);
  const double y = std::clamp(view.originY + uv.v * view.scale, -1.0e6, 1.0e6);
  return QPoint(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

// Straight into the pixels of a 32-bit image (a QPainter line costs several times as much at
// 100k sides): the segment clipped to the image, then stepped pixel by pixel.
void PlotLine(QImage& image, QPoint a, QPoint b, QRgb colour) {
  const int w = image.width(), h = image.height();
  double x0 = a.x(), y0 = a.y();
  const double dx = b.x() - x0, dy = b.y() - y0;
  double t0 = 0.0, t1 = 1.0;
  const auto clip = [&t0, &t1](double p, double q) {
    if (p == 0.0) return q >= 0.0;
    const double r = q / p;
    if (p < 0.0) {
      if (r > t1) return false;
      t0 = std::max(t0, r);
    } else {
      if (r < t0) return false;
      t1 = std::min(t1, r);
    }
    return true;
  };
  if (!clip(-dx, x0) || !clip(dx, (w - 1) - x0) || !clip(-dy, y0) || !clip(dy, (h - 1) - y0)) return;
  int ax = static_cast<int>(std::lround(x0 + t0 * dx)), ay = static_cast<int>(std::lround(y0 + t0 * dy));
  const int bx = static_cast<int>(std::lround(x0 + t1 * dx)), by = static_cast<int>(std::lround(y0 + t1 * dy));
  auto* bits = reinterpret_cast<QRgb*>(image.bits());
  const qsizetype stride = image.bytesPerLine() / 4;
  const int ddx = std::abs(bx - ax), ddy = -std::abs(by - ay), sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
  int err = ddx + ddy;
  for (;;) {
    if (static_cast<unsigned>(ax) < static_cast<unsigned>(w) && static_cast<unsigned>(ay) < static_cast<unsigned>(h))
      bits[ay * stride + ax] = colour;
    if (ax == bx && ay == by) break;
    const int e2 = 2 * err;
    if (e2 >= ddy) err += ddy, ax += sx;
    if (e2 <= ddx) err += ddx, ay += sy;
  }
}

void PlotSquare(QImage& image, QPoint c, int radius, QRgb colour) {
  const int x0 = std::max(0, c.x() - radius), x1 = std::min(image.width() - 1, c.x() + radius);
  const int y0 = std::max(0, c.y() - radius), y1 = std::min(image.height() - 1, c.y() + radius);
  for (int y = y0; y <= y1; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = x0; x <= x1; ++x) row[x] = colour;
  }
}

}  // namespace

UVViewport UVViewport::Fit(QSize size) {
  UVViewport v;
  const int side = std::max(16, std::min(size.width(), size.height()) - 40);
  v.scale = side;
  v.originX = (size.width() - side) / 2;
  v.originY = (size.height() - side) / 2;
  return v;
}

UVViewport UVViewport::ZoomedAt(double factor, QPointF at) const {
  UVViewport v = *this;
  v.scale = std::clamp(scale * factor, 4.0, 65536.0);
  const UVPoint p = ToUV(at);
  v.originX = at.x() - p.u * v.scale;
  v.originY = at.y() - p.v * v.scale;
  return v;
}

QImage TextureQImage(const DibStream& dib) {
  if (dib.IsEmpty()) return QImage();
  const int w = dib.Width(), h = dib.Height(), bits = dib.BitCount();
  if (w <= 0 || h <= 0 || (bits != 24 && bits != 32)) return QImage();
  QImage out(w, h, bits == 32 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  const std::uint8_t* pixels = dib.Pixels();
  for (int y = 0; y < h; ++y) {
    const int row = dib.IsTopDown() ? y : h - 1 - y;
    const std::uint8_t* src = pixels + static_cast<std::size_t>(row) * dib.RowStride();
    auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* p = src + x * (bits / 8);
      dst[x] = qRgba(p[2], p[1], p[0], bits == 32 ? p[3] : 255);
    }
  }
  return out;
}

const QImage& CheckerImage() {
  static const QImage checker = [] {
    QImage img(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < 256; ++y) {
      auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
      for (int x = 0; x < 256; ++x) row[x] = ((x / 32 + y / 32) & 1) ? qRgb(150, 150, 150) : qRgb(235, 235, 235);
    }
    return img;
  }();
  return checker;
}

QRgb StretchColour(double amount) {
  const double t = std::clamp(std::isfinite(amount) ? amount : 1.0, 0.0, 1.0);
  // Hue 240 (blue) at no stretch down to 0 (red).
  return QColor::fromHsvF(static_cast<float>((1.0 - t) * 240.0 / 360.0), 0.85f, 0.95f).rgb();
}

void PaintUVView(QImage& image, const UVViewport& view, const UVPaintInput& in) {
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(image.rect(), kBackground);
  const QPointF a = view.ToScreen(0.0, 0.0), b = view.ToScreen(1.0, 1.0);
  const QRectF square(a, b);
  const QImage& picture = in.texture && !in.texture->isNull() ? *in.texture : CheckerImage();
  // Only the part of the picture that shows is scaled, so a deep zoom costs no more than a fit.
  const QRectF shown = square.intersected(QRectF(image.rect()));
  if (!shown.isEmpty()) {
    const double sx = picture.width() / square.width(), sy = picture.height() / square.height();
    const QRectF source((shown.left() - square.left()) * sx, (shown.top() - square.top()) * sy, shown.width() * sx,
                        shown.height() * sy);
    painter.drawImage(shown, picture, source);
  }
  painter.setPen(QPen(kSquare, 0));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(square);

  if (!in.layout) return;
  const UVLayout& l = *in.layout;
  std::vector<QPoint> px(l.GroupCount());
  for (std::size_t g = 0; g < px.size(); ++g) px[g] = Pixel(view, l.uvs[g]);

  if (!in.faceColours.empty()) {
    painter.setPen(Qt::NoPen);
    std::vector<QPoint> outline;
    for (std::size_t i = 0; i < l.faces.size() && i < in.faceColours.size(); ++i) {
      const UVLayout::Face& f = l.faces[i];
      outline.clear();
      for (std::uint32_t k = 0; k < f.count; ++k) outline.push_back(px[l.corners[f.first + k]]);
      painter.setBrush(QColor::fromRgba((in.faceColours[i] & 0x00FFFFFFu) | 0xA0000000u));
      painter.drawPolygon(outline.data(), static_cast<int>(outline.size()));
    }
    painter.setBrush(Qt::NoBrush);
  }

  const auto isSelected = [&in](std::uint32_t g) { return g < in.selected.size() && in.selected[g] != 0; };
  painter.end();
  if (image.depth() != 32) return;  // the window's and the tests' pictures are 32-bit
  // Plain sides first, then seams (two pixels wide), then the selection over both.
  for (int pass = 0; pass < 3; ++pass) {
    const QRgb colour = (pass == 0 ? kEdge : pass == 1 ? kSeam : kSelected).rgb();
    for (std::size_t e = 0; e < l.edges.size(); ++e) {
      const auto [g0, g1] = l.edges[e];
      const int kind = isSelected(g0) && isSelected(g1) ? 2 : e < in.seams.size() && in.seams[e] ? 1 : 0;
      if (kind != pass) continue;
      PlotLine(image, px[g0], px[g1], colour);
      if (pass == 1) PlotLine(image, px[g0] + QPoint(1, 1), px[g1] + QPoint(1, 1), colour);
    }
  }
  for (std::uint32_t g = 0; g < l.GroupCount(); ++g)
    if (isSelected(g)) PlotSquare(image, px[g], 2, kSelected.rgb());

  if (in.band) {
    QPainter band(&image);
    band.setPen(QPen(Qt::white, 0, Qt::DotLine));
    band.drawRect(QRect(in.bandFrom, in.bandTo).normalized());
  }
}

}  // namespace mw
