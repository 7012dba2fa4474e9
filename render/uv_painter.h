// Drawing the UV window with QPainter: the texture (or a checker) over the 0-1 square, the square's
// outline, the shown faces' sides, seams, the selection, the stretch of each face, and the band.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <cstdint>
#include <span>
#include <vector>

#include "scene/uv_edit.h"

class QPainter;

namespace mw {

class DibStream;

// UV space on the screen: a point (u, v) lands at origin + scale * (u, v) in widget pixels (v
// downward, as the texture's rows run).
struct UVViewport {
  double scale = 256.0;  // pixels per UV unit
  double originX = 0.0, originY = 0.0;
  QPointF ToScreen(double u, double v) const { return {originX + u * scale, originY + v * scale}; }
  UVPoint ToUV(QPointF p) const { return {(p.x() - originX) / scale, (p.y() - originY) / scale}; }
  // The 0-1 square centred in a widget of `size` with a margin around it.
  static UVViewport Fit(QSize size);
  // Zoomed by `factor` about the widget point `at`, which keeps its UV point. The scale stays
  // between 4 and 65536 pixels per unit.
  UVViewport ZoomedAt(double factor, QPointF at) const;
};

struct UVPaintInput {
  const UVLayout* layout = nullptr;
  std::span<const std::uint8_t> selected;  // per UV vertex
  const QImage* texture = nullptr;         // null or empty: the checker
  std::span<const QRgb> faceColours;       // per shown face (the stretch), empty: none
  std::span<const std::uint8_t> seams;     // per edge of the layout, empty: none
  bool band = false;                       // a rubber band from bandFrom to bandTo (widget pixels)
  QPoint bandFrom, bandTo;
};

// The whole window into `image`.
void PaintUVView(QImage& image, const UVViewport& view, const UVPaintInput& in);

// A material's decoded texture as a picture the right way up (its first row the top row).
QImage TextureQImage(const DibStream& dib);
// The picture drawn when the material has none: 8 x 8 grey and white squares, 256 pixels wide.
const QImage& CheckerImage();
// Blue for no stretch, through green and yellow to red at `amount` 1 and above.
QRgb StretchColour(double amount);

}  // namespace mw
