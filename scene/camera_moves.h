// Camera moves of the perspective pane beyond the plain drags: turning around a point, zooming
// toward the pointer, and the views along the axes.
//
// The pane shows a model point p at eye position translation + Turn(rotation, p * zoom / 100),
// the turn being about X, then Y, then Z as the frame applies it (gl_frame.h).
#pragma once

#include <optional>

#include "scene/meshwright.h"

namespace mw {

// Where the eye sees model point `p` (before projection).
CVector EyeOf(const CMeshwright& scene, const CVector& p);

// Adds `turn` (degrees about X, Y, Z) to the camera's rotation and moves the camera so that
// `pivot` (model units) stays where the eye saw it.
void OrbitCamera(CMeshwright& scene, const CVector& turn, const CVector& pivot);

// The point turns go around: the centre of the selected vertices of the visible models, else of
// every visible vertex; nothing when there is none.
std::optional<CVector> OrbitPivot(const CMeshwright& scene);

// Adds `delta` to the zoom (as AddZoom) and moves the camera across the view so that what lies
// under the pointer at (ndcX, ndcY) (-1..1, y up), at the depth of the camera's origin, stays under
// it.
void ZoomTowards(CMeshwright& scene, float delta, double ndcX, double ndcY);

// The views along the axes, each matching its orthographic pane where there is one: front as the
// Face pane, left as the Left pane, top as the Top pane.
enum class AxisView { kFront, kBack, kLeft, kRight, kTop, kBottom };
// The camera rotation (degrees about X, Y, Z) of a view along an axis.
CVector AxisViewRotation(AxisView view);

// The rotation `t` of the way from `from` to `to` (0..1), each angle going the shorter way round.
CVector BlendRotation(const CVector& from, const CVector& to, double t);

}  // namespace mw
