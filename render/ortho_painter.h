// Drawing the orthographic panes (Top, Face, Left) with QPainter.
#pragma once

#include <QPoint>
#include <QRect>
#include <QRectF>
#include <vector>

#include "scene/meshwright.h"

class QImage;
class QPainter;

namespace mw {

// What the pane's own input state adds to a paint.
struct OrthoOverlay {
  bool edgesVisible = true;  // false while any button is held in any orthographic pane
  bool selecting = false;    // a rubber band is being dragged in this pane
  QPoint dragStart, dragCurrent;
  bool box = false;  // a box is being dragged: its outline, in model units
  CVector boxMin, boxMax;
  bool grid = true;                 // the grid's lines (the pane's own choice)
  const QImage* reference = nullptr;  // the pane's reference picture, placed by the scene's record
  // The knife's line being laid in this pane, model positions (the hidden axis 0); with
  // `knifeThrough` its first two points give a line across the whole pane.
  std::vector<CVector> knifeLine;
  bool knifeThrough = false;
  // The loop cut the pointer would make (segments in model positions).
  std::vector<std::pair<CVector, CVector>> cutPreview;
  // The refined surfaces of the models (by list position; null for none), drawn as a grey wire
  // under the cages' edges.
  const std::vector<const CModel*>* refinedWire = nullptr;
};

// The mapping itself is scene/ortho_plane.h's; these wrap it in QPoints.
// Pane centre for a plane in a pane of `size`: halves by integer division, plus the pans.
QPoint PaneCentre(Plane plane, int width, int height, const PanOffsets& pan);
// Screen position of a world point: the product by zoom / 100 truncated toward zero, the sign
// applied after truncation. Far-away and non-finite coordinates are clamped off the pane.
QPoint Project(Plane plane, const CVector& p, QPoint centre, float zoom);

// Where every vertex of every shown model lands in the pane, worked out once per paint and read by
// the edges and the vertex markers alike. A pane keeps one so the memory is reused frame to frame.
struct OrthoProjection {
  std::vector<std::vector<PanePixel>> models;  // per model, per vertex; empty for hidden models
};

// The whole pane into `image` (32-bit RGB): grid, labels, face edges, selection rectangle,
// vertices, face creation. Edges and vertex squares are drawn straight into the pixels (lines
// leave out their last pixel, as the window system's own line drawing does).
//
// An image with a device pixel ratio above 1 is drawn at its full resolution: model lengths and
// the grid's spacing in model units are what they are at ratio 1, lines stay one device pixel
// wide, and the labels keep their size on screen. `overlay` and the pans are in the pane's own
// (device-independent) pixels.
//
// With `projection`, each vertex is projected once into it and the drawing reads it from there;
// without, every corner is projected where it is drawn. Both give the same pixels.
void DrawOrthoPane(QImage& image, const CMeshwright& scene, Plane plane, const PanOffsets& pan,
                   const OrthoOverlay& overlay, OrthoProjection* projection = nullptr);

// The parts, drawn in image pixels. `zoom` is the scene's zoom times the device pixel ratio.
void DrawGrid(QPainter& painter, const QRect& rect, QPoint centre, float zoom);
// Fills `projection` for `scene` in `plane` (hidden models are left empty).
void ProjectVertices(OrthoProjection& projection, const CMeshwright& scene, Plane plane, QPoint centre, float zoom);
// With `projection` (filled for the same plane, centre and zoom) the corners are read from it.
void DrawFaceEdges(QImage& image, const CMeshwright& scene, Plane plane, QPoint centre, float zoom,
                   const OrthoProjection* projection = nullptr);
// The edges of `surfaces` (refined surfaces, null entries skipped) in kRefinedWireColour.
void DrawRefinedWire(QImage& image, const std::vector<const CModel*>& surfaces, Plane plane, QPoint centre, float zoom);
inline constexpr unsigned kRefinedWireColour = 0xFFA0A0A0u;
// Squares of 2 x `radius` + 1 pixels (3 x 3 at radius 1).
void DrawVertices(QImage& image, const CMeshwright& scene, Plane plane, QPoint centre, float zoom,
                  const OrthoProjection* projection = nullptr, int radius = 1);
void DrawSelectionRectangle(QPainter& painter, QPoint from, QPoint to);
// `picture` with its centre and scale from `placement` (model units of the plane), at its
// opacity: one scaled image over what is there. Nothing when it is switched off or empty.
void DrawReferencePicture(QPainter& painter, const QImage& picture, const ReferencePicture& placement, QPoint centre,
                          float zoom);
// Where DrawReferencePicture puts the picture, in image pixels.
QRectF ReferenceRect(const QImage& picture, const ReferencePicture& placement, QPoint centre, float zoom);
// `ratio` turns the cursor's offsets, kept in pane pixels, into image pixels.
void DrawFaceCreation(QPainter& painter, const CMeshwright& scene, Plane plane, QPoint centre, const QRect& rect,
                      float zoom, double ratio = 1.0, int radius = 1);
// The knife's line (red), each point marked.
void DrawKnifeLine(QPainter& painter, Plane plane, QPoint centre, float zoom, const std::vector<CVector>& points,
                   bool through, const QRect& rect);
// The outline of a box being dragged (blue), as the pane shows it.
void DrawBoxOutline(QPainter& painter, Plane plane, QPoint centre, float zoom, const CVector& min, const CVector& max);

}  // namespace mw
