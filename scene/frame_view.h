// Framing: the zoom, the orthographic panes' scroll and the perspective camera that bring every
// visible vertex (or the selected ones) into every pane with a margin.
//
// The orthographic panes map through scene/ortho_plane.h, so a framed vertex is inside a pane by
// the very arithmetic that draws it. The perspective camera keeps its rotation and moves so the
// middle of the vertices lies straight ahead, far enough back for all of them to fit the field of
// view and the depth range. Hidden models are never counted; vertices with a coordinate that is not
// finite are left out (nothing can show them).
#pragma once

#include "scene/meshwright.h"

namespace mw {

struct PaneSize {
  int width = 0, height = 0;
};

// The client sizes of the three orthographic panes (by plane) and of the perspective pane.
struct FrameViewports {
  PaneSize ortho[3];
  PaneSize perspective;
};

// Sizes for when there are no panes (the converter): the panes of the program's opening window.
FrameViewports DefaultViewports();

struct Bounds {
  CVector min, max;
  bool empty = true;
  void Add(const CVector& p);
};

// The vertices of the visible models: all of them, or only the selected ones.
Bounds VisibleBounds(const CMeshwright& scene, bool selectedOnly);

struct FrameView {
  float zoom = 100.0f;
  PanOffsets pan;
  CVector cameraTranslation;
};

// The view that frames `b` in panes of `sizes` (the camera's rotation, the field of view and the
// perspective pane's aspect come from `scene`). A box of no extent (one vertex) keeps the scene's
// zoom and is centred. The zoom is lowered where needed so that no vertex lies further than the
// panes can draw (1e8 pixels) from a pane's centre.
FrameView ComputeFrame(const CMeshwright& scene, const Bounds& b, const FrameViewports& sizes);

// Frames every visible vertex (or the selected ones) into the scene's zoom, `pan` and camera.
// Returns false and changes nothing when there is no such vertex.
bool FrameScene(CMeshwright& scene, PanOffsets& pan, const FrameViewports& sizes, bool selectedOnly);

// Whether every visible vertex is drawn inside all three orthographic panes as they stand.
bool AllVisibleInPanes(const CMeshwright& scene, const PanOffsets& pan, const FrameViewports& sizes);

// Whether a document that has just opened is framed: some visible vertex lies outside a pane as
// they stand, or the visible vertices are drawn smaller than a tenth of the smallest pane (their
// largest extent in pixels at the scene's zoom against the shortest side of the three panes), a
// dot in each pane. False without visible vertices.
bool NeedsFramingOnOpen(const CMeshwright& scene, const PanOffsets& pan, const FrameViewports& sizes);

// Where the perspective pane shows `p`, in normalised device coordinates (x and y in -1..1 when
// inside the pane, z in -1..1 when inside the depth range), as the frame's drawing computes it.
// With the scene's parallel camera, the projection is orthographic (ParallelHalfHeight).
CVector PerspectiveNdc(const CMeshwright& scene, const CVector& p);

// The half height, in eye units, of what the parallel camera shows: what the perspective camera
// shows at the depth it stands off the origin, so switching keeps the size of what lies there.
// Never below 1.
double ParallelHalfHeight(const CMeshwright& scene);

}  // namespace mw
