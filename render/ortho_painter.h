// Drawing the orthographic panes (Top, Face, Left) with QPainter.
#pragma once

#include <QPoint>
#include <QRect>

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
};

// The mapping itself is scene/ortho_plane.h's; these wrap it in QPoints.
// Pane centre for a plane in a pane of `size`: halves by integer division, plus the pans.
QPoint PaneCentre(Plane plane, int width, int height, const PanOffsets& pan);
// Screen position of a world point: the product by zoom / 100 truncated toward zero, the sign
// applied after truncation. Far-away and non-finite coordinates are clamped off the pane.
QPoint Project(Plane plane, const CVector& p, QPoint centre, float zoom);

// The whole pane into `image` (32-bit RGB): grid, labels, face edges, selection rectangle,
// vertices, face creation. Edges and vertex squares are drawn straight into the pixels (lines
// leave out their last pixel, as the window system's own line drawing does): a model of a
// hundred thousand faces is drawn in a few milliseconds.
void DrawOrthoPane(QImage& image, const CMeshwright& scene, Plane plane, const PanOffsets& pan,
                   const OrthoOverlay& overlay);

void DrawGrid(QPainter& painter, const QRect& rect, QPoint centre, float zoom);
void DrawFaceEdges(QImage& image, const CMeshwright& scene, Plane plane, QPoint centre);
void DrawVertices(QImage& image, const CMeshwright& scene, Plane plane, QPoint centre);
void DrawSelectionRectangle(QPainter& painter, QPoint from, QPoint to);
void DrawFaceCreation(QPainter& painter, const CMeshwright& scene, Plane plane, QPoint centre, const QRect& rect);
// The outline of a box being dragged (blue), as the pane shows it.
void DrawBoxOutline(QPainter& painter, Plane plane, QPoint centre, float zoom, const CVector& min, const CVector& max);

}  // namespace mw
