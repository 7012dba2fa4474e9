// What the mouse, wheel and keys do in a 3D pane, in plain code: a handler takes pane
// coordinates and buttons, calls the scene's operations and says what to refresh. The widgets
// only translate their events into these calls.
#pragma once

#include <QPoint>
#include <QSize>
#include <optional>

#include "render/ortho_painter.h"
#include "scene/drag_selection.h"
#include "scene/mesh_cut.h"
#include "scene/meshwright.h"
#include "scene/snap.h"
#include "view/pane_host.h"

namespace mw {

enum class PaneRole { kPerspective, kTop, kFace, kLeft };

inline bool IsOrtho(PaneRole r) { return r != PaneRole::kPerspective; }
inline Plane PlaneOf(PaneRole r) {
  return r == PaneRole::kTop ? kPlaneTop : r == PaneRole::kFace ? kPlaneFace : kPlaneLeft;
}

enum class MouseButton { kLeft, kRight, kMiddle };
enum class Key { kLeft, kUp, kRight, kDown, kEnter, kEscape, kOther };

// What the perspective pane showed when a knife line was begun there.
struct KnifeView {
  CVector rotation, translation;
  float zoom = 0.0f;
  bool parallel = false;
  QSize size;
  bool operator==(const KnifeView&) const = default;
};

// Editing aids the three orthographic panes share: grid snapping, and the box being dragged (all
// panes draw its outline).
struct PaneTools {
  GridSnap snap;
  // Clicks and bands in the perspective pane reach what faces hide too (「背面も選択」).
  bool pickThrough = false;
  bool boxing = false;
  CVector boxMin, boxMax;
  // The knife's line so far, in the plane of the pane it was begun in; Enter cuts, Escape drops it.
  KnifeStroke knife;
  // The loop cut mode: how many cuts, and while the button is held the ring pressed on (the model
  // and the edge's two vertices), how far the pointer slid the cuts, and the segments they make.
  int loopCuts = 1;
  bool loopCutting = false;
  std::int32_t loopModel = -1, loopA = -1, loopB = -1;
  double loopSlide = 0.0;
  std::vector<std::pair<CVector, CVector>> loopPreview;
  // The knife's line laid in the perspective pane: its clicks in the pane's pixels, valid for the
  // view they were made in (the camera, zoom and pane size noted at the first click; a line whose
  // view has changed is dropped). 「背面も切る」: the cut reaches faces turned away or hidden.
  ViewKnifeStroke viewKnife;
  KnifeView viewKnifeView;
  bool knifeThroughBack = false;
};

// What a handler asks the caller to do afterwards.
struct PaneResult {
  bool refresh3D = false;    // repaint the four 3D panes
  bool orthoOnly = false;    // with refresh3D: nothing the perspective pane shows changed
  bool repaintSelf = false;  // repaint only this pane (perspective camera moves, a rubber band)
  bool dragBegan = false;    // this press opened an edit (the host heard of it before any change)
  bool dragEnded = false;    // this release closed it (the host heard of it after the last change)
};

class PaneInput {
 public:
  // `host`, when given, hears of every change to the scene: the drags that begin and end and the
  // changes made at once. Without one the changes are simply made.
  PaneInput(CMeshwright& scene, PanOffsets& pan, PaneRole role, PaneHost* host = nullptr)
      : scene_(scene), pan_(pan), role_(role), host_(host) {}

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
  // `shift`: Shift is held (rotation turns in whole 15-degree steps).
  PaneResult Move(QPoint p, QSize size, bool shift = false);
  PaneResult Wheel(int delta);
  // The wheel with the pointer at `p`: in the perspective pane with zoomToPointer, the zoom goes
  // toward what is under the pointer.
  PaneResult Wheel(int delta, QPoint p, QSize size);
  PaneResult KeyDown(Key k);
  // The perspective pane's turning drags go around the selection (else the visible models)
  // instead of the camera's origin; off by default (表示 menu).
  bool orbitAroundSelection = false;
  bool zoomToPointer = false;
  // The modifier keys held at the next button or motion: a click with Shift adds, with Ctrl
  // toggles, with Alt takes the edge loop (Ctrl+Alt the ring); in the perspective pane a left (right)
  // drag with Shift is a band that selects (deselects).
  void SetModifiers(bool shift, bool ctrl, bool alt) { shift_ = shift, ctrl_ = ctrl, alt_ = alt; }
  // A band is being dragged in the perspective pane.
  bool PerspectiveBand() const { return band_; }
  // The knife's line laid in the perspective pane, in its pixels; empty when there is none for the
  // view as it stands.
  std::vector<QPoint> PerspectiveKnifeLine(QSize size) const;

  // The selection rectangle to draw, when one is being dragged.
  OrthoOverlay Overlay() const;
  // The scene was changed by something other than this pane's drag (a command while a button is
  // held): the drag's selection goes over the whole scene again at the next motion.
  void SceneChanged() { selection_.Forget(); }

  // Snapping and the box outline, shared with the other orthographic panes (none: no snapping).
  void SetTools(PaneTools* tools) { tools_ = tools; }
  PaneTools& tools() { return tools_ ? *tools_ : ownTools_; }
  const PaneTools& tools() const { return tools_ ? *tools_ : ownTools_; }

 private:
  QPoint Centre(QSize size) const;
  // Buttons whose drags change the scene: left and right in the orthographic panes (the middle
  // one only pans), every button in the perspective pane (the camera is saved with the document).
  bool EditingButtonDown() const { return leftDown_ || rightDown_ || (middleDown_ && !IsOrtho(role_)); }
  EditKind DragKind(MouseButton b) const;
  void Change(EditKind kind, const std::function<void()>& change);
  // Corners of the current model's face under construction.
  std::size_t PendingCorners() const;
  // Called inside the edit that builds geometry: a document without materials gets one, current.
  void GiveMaterialForBuilding();
  double SnapStep() const { return tools().snap.StepAt(scene_.zoom); }
  // A snapped drag puts the selection back where the drag began and applies the whole
  // displacement or turn again; once it has, the rest of the drag goes the same way.
  void ApplyWhole(const std::function<void()>& apply);
  // What a click at p picks, as the scene's mode says; done as part of the open edit.
  void Pick(QPoint p, QSize size);
  // An orthographic band in edge or face mode, or a perspective band: applied at the release.
  void Band(QPoint p, QSize size, std::uint8_t value);
  // Cuts along the knife's line, as one edit, and forgets the line.
  void FinishKnife();
  // The perspective pane's view as a knife line laid now would be noted.
  KnifeView CurrentKnifeView(QSize size) const;
  // The loop cut's segments for the ring pressed on and the pointer at p.
  void PreviewLoopCut(QPoint p, QSize size);

  CMeshwright& scene_;
  PanOffsets& pan_;
  PaneRole role_;
  PaneHost* host_;
  PaneTools* tools_ = nullptr;
  PaneTools ownTools_;
  std::vector<CVector> dragFrom_;  // the selection's positions at the press of a move or turn
  bool haveFrom_ = false;          // dragFrom_ was taken at this drag's press
  bool whole_ = false;             // this drag applies whole displacements (ApplyWhole)
  bool boxCancelled_ = false;      // Escape dropped this drag's box
  bool editing_ = false;
  DragSelection selection_;  // the rubber band followed from motion to motion
  QPoint dragCurrent_, dragStart_;
  bool leftDown_ = false, rightDown_ = false, middleDown_ = false;
  bool shift_ = false, ctrl_ = false, alt_ = false;
  bool band_ = false;   // this drag is a perspective band
  bool moved_ = false;  // the pointer went further than a click allows since the press
  std::optional<CVector> pivot_;  // what this turning drag goes around
  QPoint loopPress_;    // where the loop cut's drag began
};

}  // namespace mw
