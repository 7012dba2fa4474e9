// What the mouse, wheel and keys do in a 3D pane, in plain code: a handler takes pane
// coordinates and buttons, calls the scene's operations and says what to refresh. The widgets
// only translate their events into these calls.
#pragma once

#include <QPoint>
#include <QSize>

#include "render/ortho_painter.h"
#include "scene/meshwright.h"

namespace mw {

enum class PaneRole { kPerspective, kTop, kFace, kLeft };

inline bool IsOrtho(PaneRole r) { return r != PaneRole::kPerspective; }
inline Plane PlaneOf(PaneRole r) {
  return r == PaneRole::kTop ? kPlaneTop : r == PaneRole::kFace ? kPlaneFace : kPlaneLeft;
}

enum class MouseButton { kLeft, kRight, kMiddle };
enum class Key { kLeft, kUp, kRight, kDown, kEnter, kOther };

// What a handler asks the caller to do afterwards.
struct PaneResult {
  bool refresh3D = false;      // repaint the four 3D panes
  bool repaintSelf = false;    // repaint only this pane (perspective camera moves)
  bool markModified = false;   // set the document's modified flag
};

class PaneInput {
 public:
  PaneInput(CMeshwright& scene, PanOffsets& pan, PaneRole role) : scene_(scene), pan_(pan), role_(role) {}

  PaneRole role() const { return role_; }
  bool leftDown() const { return leftDown_; }
  bool rightDown() const { return rightDown_; }
  bool middleDown() const { return middleDown_; }
  bool anyDown() const { return leftDown_ || rightDown_ || middleDown_; }
  QPoint dragStart() const { return dragStart_; }
  QPoint dragCurrent() const { return dragCurrent_; }

  // `size` is the pane's client size, for the pane centre.
  PaneResult ButtonDown(MouseButton b, QPoint p, QSize size);
  PaneResult ButtonUp(MouseButton b, QPoint p, QSize size);
  PaneResult Move(QPoint p, QSize size);
  PaneResult Wheel(int delta);
  PaneResult KeyDown(Key k);

  // The selection rectangle to draw, when one is being dragged.
  OrthoOverlay Overlay() const;

 private:
  QPoint Centre(QSize size) const;

  CMeshwright& scene_;
  PanOffsets& pan_;
  PaneRole role_;
  QPoint dragCurrent_, dragStart_;
  bool leftDown_ = false, rightDown_ = false, middleDown_ = false;
};

}  // namespace mw
