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
  std::vector<QLine> plain, seams, chosen;
  plain.reserve(l.edges.size());
  for (std::size_t e = 0; e < l.edges.size(); ++e) {
    const auto [g0, g1] = l.edges[e];
    const QLine line(px[g0], px[g1]);
    if (isSelected(g0) && isSelected(g1)) chosen.push_back(line);
    else if (e < in.seams.size() && in.seams[e]) seams.push_back(line);
    else plain.push_back(line);
  }
  painter.setPen(QPen(kEdge, 0));
  painter.drawLines(plain.data(), static_cast<int>(plain.size()));
  painter.setPen(QPen(kSeam, 2));
  painter.drawLines(seams.data(), static_cast<int>(seams.size()));
  painter.setPen(QPen(kSelected, 0));
  painter.drawLines(chosen.data(), static_cast<int>(chosen.size()));

  std::vector<QRect> marks;
  for (std::uint32_t g = 0; g < l.GroupCount(); ++g)
    if (isSelected(g)) marks.emplace_back(px[g].x() - 2, px[g].y() - 2, 5, 5);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kSelected);
  painter.drawRects(marks.data(), static_cast<int>(marks.size()));

  if (in.band) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 0, Qt::DotLine));
    painter.drawRect(QRect(in.bandFrom, in.bandTo).normalized());
  }
}

}  // namespace mw
