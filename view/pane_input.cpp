#include "view/pane_input.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "scene/camera_moves.h"
#include "scene/default_material.h"
#include "scene/edge_loops.h"
#include "scene/element_selection.h"
#include "scene/picking.h"

namespace mw {

QPoint PaneInput::Centre(QSize size) const { return PaneCentre(PlaneOf(role_), size.width(), size.height(), pan_); }

namespace {

// A press and release this close together is a click, not a drag.
constexpr int kClickSlack = 2;

}  // namespace

EditKind PaneInput::DragKind(MouseButton b) const {
  if (!IsOrtho(role_)) {
    if (shift_ && b != MouseButton::kMiddle) return b == MouseButton::kLeft ? EditKind::kSelect : EditKind::kDeselect;
    return EditKind::kCamera;
  }
  switch (scene_.editMode) {
    case kModeSelect: return b == MouseButton::kLeft ? EditKind::kSelect : EditKind::kDeselect;
    case kModeMove: return EditKind::kMove;
    case kModeRotate: return EditKind::kRotate;
    case kModeSize: return EditKind::kSize;
    case kModeStretch: return EditKind::kStretch;
    case kModeCreateFace: return EditKind::kFaceBuild;
    case kModeCreateBox: return b == MouseButton::kLeft ? EditKind::kCreateBox : EditKind::kOtherDrag;
    default: return EditKind::kOtherDrag;
  }
}

void PaneInput::ApplyWhole(const std::function<void()>& apply) {
  scene_.RestoreSelectedPositions(dragFrom_);
  apply();
  whole_ = true;
}

std::size_t PaneInput::PendingCorners() const {
  return scene_.HasCurrentModel()
             ? scene_.models[static_cast<std::size_t>(scene_.currentModel)].pendingFace.CornerCount()
             : 0;
}

void PaneInput::GiveMaterialForBuilding() {
  if (CanBuildInCurrentModel(scene_)) EnsureDefaultMaterial(scene_);
}

void PaneInput::Change(EditKind kind, const std::function<void()>& change) {
  if (host_ && host_->edit) host_->edit(kind, change);
  else change();
}

void PaneInput::Pick(QPoint p, QSize size) {
  PickOptions o;
  o.mode = SelectModeOf(scene_);
  o.throughBack = tools().pickThrough;
  const bool perspective = !IsOrtho(role_);
  const QPoint c = Centre(size);
  const PaneProjection view = perspective ? PaneProjection::Perspective(scene_, size.width(), size.height())
                                          : PaneProjection::Ortho(scene_, PlaneOf(role_), c.x(), c.y());
  std::unique_ptr<DepthRaster> raster;
  if (perspective && !o.throughBack) raster = std::make_unique<DepthRaster>(scene_, view);
  if (alt_) {
    // Alt: the loop through the edge under the pointer (Ctrl+Alt: its ring); in face mode the
    // faces the ring crosses.
    PickOptions edge = o;
    edge.mode = kSelectEdges;
    const PickHit hit = PickAt(scene_, view, raster.get(), p.x(), p.y(), edge);
    if (!hit.Found()) return;
    CModel& m = scene_.models[static_cast<std::size_t>(hit.model)];
    const auto ix = scene_.edgeIndexes.Get(m);
    const std::int32_t e = ix->Find(hit.a, hit.b);
    if (!shift_) {
      for (CModel& other : scene_.models) {
        for (CVertex& v : other.vertices) v.selected = 0;
        for (CFace& f : other.faces) f.selected = 0;
        other.selectedEdges.clear();
        other.UpdateFaceSelection();
      }
    }
    if (o.mode == kSelectFaces) {
      for (std::int32_t f : FaceLoop(m, *ix, e)) m.faces[static_cast<std::size_t>(f)].selected = 1;
      SelectVerticesOfElements(m, o.mode);
      return;
    }
    for (std::int32_t k : ctrl_ ? EdgeRing(m, *ix, e) : EdgeLoop(m, *ix, e)) {
      if (o.mode == kSelectEdges) MarkEdge(m, ix->Lower(k), ix->Upper(k), true);
      m.vertices[static_cast<std::size_t>(ix->Lower(k))].selected = 1;
      m.vertices[static_cast<std::size_t>(ix->Upper(k))].selected = 1;
    }
    if (o.mode == kSelectEdges) SelectVerticesOfElements(m, o.mode);
    else m.UpdateFaceSelection();
    return;
  }
  const PickHit hit = PickAt(scene_, view, raster.get(), p.x(), p.y(), o);
  ApplyPick(scene_, hit, ctrl_ ? PickOp::kToggle : shift_ ? PickOp::kAdd : PickOp::kReplace);
}

void PaneInput::Band(QPoint p, QSize size, std::uint8_t value) {
  const bool perspective = !IsOrtho(role_);
  const QPoint c = Centre(size);
  const PaneProjection view = perspective ? PaneProjection::Perspective(scene_, size.width(), size.height())
                                          : PaneProjection::Ortho(scene_, PlaneOf(role_), c.x(), c.y());
  std::unique_ptr<DepthRaster> raster;
  if (perspective && !tools().pickThrough) raster = std::make_unique<DepthRaster>(scene_, view);
  SelectInBand(scene_, view, raster.get(), dragStart_.x(), dragStart_.y(), p.x(), p.y(), value, tools().pickThrough);
}

PaneResult PaneInput::ButtonDown(MouseButton b, QPoint p, QSize size) {
  PaneResult r;
  selection_.Forget();
  if (!anyDown()) moved_ = false;
  band_ = !IsOrtho(role_) && shift_ && b != MouseButton::kMiddle && !anyDown();
  if (!editing_ && (b != MouseButton::kMiddle || !IsOrtho(role_))) {
    editing_ = r.dragBegan = true;
    if (host_ && host_->dragBegan) host_->dragBegan(DragKind(b));
  }
  if (b == MouseButton::kMiddle) {
    middleDown_ = true;
    dragCurrent_ = p;
    return r;
  }
  (b == MouseButton::kLeft ? leftDown_ : rightDown_) = true;
  dragStart_ = dragCurrent_ = p;
  if (b == MouseButton::kRight && !IsOrtho(role_))
    pivot_ = orbitAroundSelection ? OrbitPivot(scene_) : std::nullopt;
  if (b == MouseButton::kLeft && IsOrtho(role_)) {
    // A turn may be snapped at any moment (Shift), a move when snapping is on.
    haveFrom_ = scene_.editMode == kModeRotate || (scene_.editMode == kModeMove && SnapStep() > 0.0);
    dragFrom_ = haveFrom_ ? scene_.SelectedPositions() : std::vector<CVector>();
    whole_ = false;
    boxCancelled_ = false;
    tools().boxing = false;
  }
  if (scene_.editMode == kModeLoopCut && IsOrtho(role_) && b == MouseButton::kLeft) {
    // The ring of the edge pressed on is shown; the drag slides the cuts, the release makes them.
    PaneTools& t = tools();
    const QPoint c = Centre(size);
    PickOptions o;
    o.mode = kSelectEdges;
    o.radius = 8.0;
    const PickHit hit = PickAt(scene_, PaneProjection::Ortho(scene_, PlaneOf(role_), c.x(), c.y()), nullptr, p.x(), p.y(), o);
    t.loopCutting = hit.Found() && hit.a >= 0;
    t.loopModel = hit.model, t.loopA = hit.a, t.loopB = hit.b;
    t.loopSlide = 0.0;
    loopPress_ = p;
    PreviewLoopCut(p, size);
    r.refresh3D = r.orthoOnly = true;
    return r;
  }
  if (scene_.editMode == kModeKnife && IsOrtho(role_) && b == MouseButton::kLeft) {
    // Each click adds a point to the cut line; a click in another pane begins a new line there.
    tools().viewKnife.points.clear();
    KnifeStroke& k = tools().knife;
    if (k.plane != PlaneOf(role_)) k.points.clear();
    k.plane = PlaneOf(role_);
    k.throughAll = shift_;
    const QPoint c = Centre(size);
    k.points.emplace_back(static_cast<double>(UnitsFromPixels(p.x() - c.x(), scene_.zoom)),
                          static_cast<double>(UnitsFromPixels(p.y() - c.y(), scene_.zoom)));
    // With Shift two points make the whole line: the cut follows at once.
    if (k.throughAll && k.points.size() >= 2) FinishKnife();
    r.refresh3D = r.orthoOnly = true;
    return r;
  }
  const bool building = scene_.editMode == kModeCreateFace || scene_.editMode == kModeCreateBox;
  if (!building) return r;
  if (!IsOrtho(role_)) {
    r.refresh3D = b == MouseButton::kLeft;
    return r;
  }
  const QPoint c = Centre(size);
  if (b == MouseButton::kLeft) {
    if (scene_.editMode == kModeCreateFace) {
      // The fourth corner completes the face.
      if (PendingCorners() == 3) GiveMaterialForBuilding();
      scene_.AddFacePoint(PlaneOf(role_), p.x(), p.y(), c.x(), c.y(), SnapStep());
    }
  } else {
    // The cursor supplies the coordinate the clicked pane does not show; a right click sets the
    // two it does.
    SetShown(PlaneOf(role_), scene_.cursor, p.x(), p.y(), c.x(), c.y());
  }
  r.refresh3D = true;
  return r;
}

PaneResult PaneInput::ButtonUp(MouseButton b, QPoint p, QSize size) {
  PaneResult r;
  const bool click = !moved_ && std::abs(p.x() - dragStart_.x()) <= kClickSlack &&
                     std::abs(p.y() - dragStart_.y()) <= kClickSlack;
  const bool alone = !(b == MouseButton::kLeft ? rightDown_ : leftDown_) && !middleDown_;
  const bool knifeClick = b == MouseButton::kLeft && alone && click && !IsOrtho(role_) && !band_ &&
                          scene_.editMode == kModeKnife;
  if (knifeClick) {
    // A click in the perspective pane adds a point to its cut line (a drag still turns the
    // camera); a line laid for another view, or in an orthographic pane, is begun again.
    PaneTools& t = tools();
    const KnifeView view = CurrentKnifeView(size);
    if (!(t.viewKnifeView == view)) t.viewKnife.points.clear();
    if (t.viewKnife.points.empty()) t.viewKnifeView = view;
    t.knife.points.clear();
    t.viewKnife.points.emplace_back(p.x() + 0.5, p.y() + 0.5);
    r.repaintSelf = true;
    r.refresh3D = r.orthoOnly = true;
  } else if (b == MouseButton::kLeft && alone && click && (!IsOrtho(role_) || scene_.editMode == kModeSelect)) {
    // A click picks in the perspective pane whatever the mode (a drag there moves the camera), in
    // an orthographic pane when selecting. Part of the drag's edit, so one step.
    if (IsOrtho(role_)) {
      Pick(p, size);
    } else {
      Change(EditKind::kPick, [this, p, size]() { Pick(p, size); });
    }
    r.refresh3D = true;
  } else if (b != MouseButton::kMiddle && alone && !click &&
             (band_ || (IsOrtho(role_) && scene_.editMode == kModeSelect && SelectModeOf(scene_) != kSelectVertices))) {
    // Edges and faces are taken by the band at the release; vertices in an orthographic pane were
    // taken motion by motion.
    Band(p, size, b == MouseButton::kLeft ? 1 : 0);
    r.refresh3D = true;
  }
  if (b != MouseButton::kMiddle && alone) band_ = false;
  if (b == MouseButton::kLeft && IsOrtho(role_) && scene_.editMode == kModeLoopCut && tools().loopCutting) {
    PaneTools& t = tools();
    t.loopCutting = false;
    t.loopPreview.clear();
    const auto model = static_cast<std::size_t>(t.loopModel);
    if (model < scene_.models.size() && scene_.models[model].IsEditable()) {
      const int cuts = t.loopCuts;
      const double slide = t.loopSlide;
      const std::int32_t a = t.loopA, vb = t.loopB;
      Change(EditKind::kLoopCut, [this, model, cuts, slide, a, vb]() {
        CModel& m = scene_.models[model];
        const auto ix = scene_.edgeIndexes.Get(m);
        const std::int32_t edge[] = {ix->Find(a, vb)};
        if (edge[0] != EdgeIndex::kNone) LoopCut(m, *ix, edge, cuts, slide, scene_.smoothing);
      });
    }
    r.refresh3D = true;
  }
  if (b == MouseButton::kLeft && IsOrtho(role_) && scene_.editMode == kModeCreateBox && tools().boxing) {
    // The box as the release point gives it (normally where the last motion was).
    PaneTools& t = tools();
    const QPoint c = Centre(size);
    CVector lo, hi;
    if (scene_.BoxFromDrag(PlaneOf(role_), dragStart_.x(), dragStart_.y(), p.x(), p.y(), c.x(), c.y(), SnapStep(), lo,
                           hi)) {
      t.boxMin = lo;
      t.boxMax = hi;
    }
    GiveMaterialForBuilding();
    scene_.AddBox(t.boxMin, t.boxMax);
    t.boxing = false;
  }
  if (b == MouseButton::kMiddle) {
    middleDown_ = false;
    r.refresh3D = r.orthoOnly = IsOrtho(role_);
  } else {
    (b == MouseButton::kLeft ? leftDown_ : rightDown_) = false;
    if (IsOrtho(role_)) {
      r.refresh3D = true;
      // Edges come back in the orthographic panes; a selection leaves the perspective as it was.
      if (scene_.editMode != kModeSelect) scene_.ComputeNormals();
      else r.orthoOnly = true;
    }
    selection_.Forget();
  }
  if (editing_ && !EditingButtonDown()) {
    editing_ = false;
    r.dragEnded = true;
    if (host_ && host_->dragEnded) host_->dragEnded();
  }
  return r;
}

PaneResult PaneInput::Move(QPoint p, QSize size, bool shift) {
  PaneResult r;
  const int dx = p.x() - dragCurrent_.x(), dy = p.y() - dragCurrent_.y();
  if (std::abs(p.x() - dragStart_.x()) > kClickSlack || std::abs(p.y() - dragStart_.y()) > kClickSlack) moved_ = true;
  if (band_) {
    dragCurrent_ = p;
    r.repaintSelf = true;
    return r;
  }
  if (leftDown_ && IsOrtho(role_) && scene_.editMode == kModeLoopCut) {
    dragCurrent_ = p;
    PreviewLoopCut(p, size);
    r.refresh3D = r.orthoOnly = true;
    return r;
  }
  const bool elementBand = SelectModeOf(scene_) != kSelectVertices;
  if (IsOrtho(role_)) {
    const Plane plane = PlaneOf(role_);
    const QPoint c = Centre(size);
    if (leftDown_ && rightDown_) {
      r.refresh3D = true;
      scene_.AddZoom(static_cast<float>((dx + dy) / 10.0));
    } else if (leftDown_) {
      const QPoint s = dragStart_ - c;
      r.refresh3D = true;
      switch (scene_.editMode) {
        case kModeSelect:
          if (elementBand) {  // edges and faces are taken at the release
            r.refresh3D = false;
            r.repaintSelf = true;
            break;
          }
          // The rubber band is this pane's alone; the other panes only show the selection, and
          // the perspective pane not even that.
          r.refresh3D = r.orthoOnly = selection_.Extend(scene_, dragStart_.x(), dragStart_.y(), dragCurrent_.x(),
                                                        dragCurrent_.y(), plane, 1, c.x(), c.y());
          r.repaintSelf = true;
          break;
        case kModeMove: {
          const double step = SnapStep();
          if (haveFrom_ && (step > 0.0 || whole_)) {
            // The whole displacement since the press, each axis to a multiple of the step.
            const ModelPixels t = FromPane(plane, p.x() - dragStart_.x(), p.y() - dragStart_.y(), 0, 0, 0.0);
            const float z = scene_.zoom;
            ApplyWhole([&]() {
              scene_.TranslateSelected(SnapToStep(UnitsFromPixels(t.x, z), step),
                                       SnapToStep(UnitsFromPixels(t.y, z), step),
                                       SnapToStep(UnitsFromPixels(t.z, z), step));
            });
            break;
          }
          const ModelPixels d = FromPane(plane, dx, dy, 0, 0, 0.0);
          scene_.MoveSelected(static_cast<float>(d.x), static_cast<float>(d.y), static_cast<float>(d.z));
          break;
        }
        case kModeRotate:
          if (haveFrom_ && (shift || whole_)) {
            const double total = (p.x() - dragStart_.x()) + (p.y() - dragStart_.y());
            const double angle = shift ? SnapToStep(total, kRotationSnapDegrees) : total;
            ApplyWhole([&]() { scene_.RotateSelected(plane, static_cast<float>(angle), s.x(), s.y()); });
            break;
          }
          scene_.RotateSelected(plane, static_cast<float>(dx + dy), s.x(), s.y());
          break;
        case kModeCreateBox:
          if (!boxCancelled_) {
            PaneTools& t = tools();
            t.boxing = scene_.BoxFromDrag(plane, dragStart_.x(), dragStart_.y(), p.x(), p.y(), c.x(), c.y(), SnapStep(),
                                          t.boxMin, t.boxMax);
          }
          break;
        case kModeSize: scene_.SizeSelected(plane, static_cast<float>(dx + dy), s.x(), s.y()); break;
        case kModeStretch:
          scene_.StretchSelected(plane, static_cast<float>(dx), static_cast<float>(dy), s.x(), s.y());
          break;
        default: break;
      }
    } else if (rightDown_ && scene_.editMode == kModeSelect && elementBand) {
      r.repaintSelf = true;
    } else if (rightDown_ && scene_.editMode == kModeSelect) {
      r.refresh3D = r.orthoOnly = selection_.Extend(scene_, dragStart_.x(), dragStart_.y(), dragCurrent_.x(),
                                                    dragCurrent_.y(), plane, 0, c.x(), c.y());
      r.repaintSelf = true;
    } else if (middleDown_) {
      ShiftShown(plane, pan_, dx, dy);
      r.refresh3D = r.orthoOnly = true;
    }
  } else {
    if (leftDown_ && rightDown_) {
      r.refresh3D = true;
      scene_.AddZoom(static_cast<float>((dx + dy) / 10.0));
    } else if (leftDown_ || (!rightDown_ && middleDown_)) {
      scene_.AddCameraTranslation(CVector(static_cast<float>(dx), static_cast<float>(-dy), 0.0f));
      r.repaintSelf = true;
    } else if (rightDown_) {
      const CVector turn(static_cast<float>(dy), static_cast<float>(dx), 0.0f);
      if (pivot_) OrbitCamera(scene_, turn, *pivot_);
      else scene_.AddCameraRotation(turn);
      r.repaintSelf = true;
    }
  }
  dragCurrent_ = p;
  return r;
}

PaneResult PaneInput::Wheel(int delta) {
  scene_.AddZoom(static_cast<float>(delta / 10.0));
  PaneResult r;
  r.refresh3D = true;
  return r;
}

PaneResult PaneInput::Wheel(int delta, QPoint p, QSize size) {
  if (IsOrtho(role_) || !zoomToPointer || size.width() <= 0 || size.height() <= 0) return Wheel(delta);
  ZoomTowards(scene_, static_cast<float>(delta / 10.0), 2.0 * (p.x() + 0.5) / size.width() - 1.0,
              1.0 - 2.0 * (p.y() + 0.5) / size.height());
  PaneResult r;
  r.refresh3D = true;
  return r;
}

PaneResult PaneInput::KeyDown(Key k) {
  if (IsOrtho(role_)) {
    // Left and Up move the picture 10 pixels right and down (left and up in the Left pane),
    // Right and Down move it back.
    const int step = 10 * ArrowScrollSign(PlaneOf(role_));
    const int du = k == Key::kLeft ? step : k == Key::kRight ? -step : 0;
    const int dv = k == Key::kUp ? step : k == Key::kDown ? -step : 0;
    ShiftShown(PlaneOf(role_), pan_, du, dv);
  }
  if (k == Key::kEscape) {
    // Escape drops the box being dragged, else the face being built (neither is in the document).
    if (leftDown_ && IsOrtho(role_) && scene_.editMode == kModeCreateBox) {
      boxCancelled_ = true;
      tools().boxing = false;
    } else if (scene_.editMode == kModeLoopCut) {
      tools().loopCutting = false;  // the release then cuts nothing
      tools().loopPreview.clear();
    } else if (scene_.editMode == kModeKnife) {
      tools().knife.points.clear();  // the line is not in the document: nothing is left of it
      tools().viewKnife.points.clear();
    } else {
      scene_.DropFace();
    }
  }
  PaneResult r;
  r.refresh3D = true;
  if (k == Key::kEnter && scene_.editMode == kModeKnife) {
    FinishKnife();
  } else if (k == Key::kEnter) {
    selection_.Forget();
    Change(EditKind::kCommitFace, [this]() {
      if (PendingCorners() > 0) GiveMaterialForBuilding();
      scene_.CommitFace();
    });
  } else {
    r.orthoOnly = true;  // the arrows scroll the orthographic panes only
  }
  return r;
}

KnifeView PaneInput::CurrentKnifeView(QSize size) const {
  return KnifeView{scene_.camera.rotation, scene_.camera.translation, scene_.zoom, scene_.parallelCamera, size};
}

std::vector<QPoint> PaneInput::PerspectiveKnifeLine(QSize size) const {
  std::vector<QPoint> out;
  const PaneTools& t = tools();
  if (IsOrtho(role_) || scene_.editMode != kModeKnife || !(t.viewKnifeView == CurrentKnifeView(size))) return out;
  for (const auto& [x, y] : t.viewKnife.points) out.emplace_back(static_cast<int>(x), static_cast<int>(y));
  return out;
}

void PaneInput::FinishKnife() {
  PaneTools& t = tools();
  if (!t.viewKnife.points.empty()) {
    // The perspective pane's line, cut in the view it was laid in, if that view still stands.
    ViewKnifeStroke stroke = std::move(t.viewKnife);
    t.viewKnife = ViewKnifeStroke();
    const KnifeView view = t.viewKnifeView;
    stroke.throughBack = t.knifeThroughBack;
    if (stroke.points.size() < 2 || !(view == CurrentKnifeView(view.size))) return;
    selection_.Forget();
    Change(EditKind::kKnife, [this, &stroke, &view]() {
      KnifeSceneInView(scene_, PaneProjection::Perspective(scene_, view.size.width(), view.size.height()), stroke);
    });
    return;
  }
  KnifeStroke stroke = std::move(tools().knife);
  tools().knife = KnifeStroke();
  tools().knife.plane = stroke.plane;
  if (stroke.points.size() < 2) return;
  selection_.Forget();
  Change(EditKind::kKnife, [this, &stroke]() { KnifeScene(scene_, stroke); });
}

void PaneInput::PreviewLoopCut(QPoint p, QSize size) {
  PaneTools& t = tools();
  t.loopPreview.clear();
  const auto model = static_cast<std::size_t>(t.loopModel);
  if (!t.loopCutting || model >= scene_.models.size()) return;
  const CModel& m = scene_.models[model];
  const auto ix = scene_.edgeIndexes.Get(m);
  const std::int32_t e = ix->Find(t.loopA, t.loopB);
  if (e == EdgeIndex::kNone) return;
  // The pointer's way along the pressed edge (from its lower vertex), in parts of the spacing.
  const QPoint c = Centre(size);
  const PanePoint lo = ToPane(PlaneOf(role_), m.vertices[static_cast<std::size_t>(ix->Lower(e))].position, scene_.zoom, c.x(), c.y());
  const PanePoint hi = ToPane(PlaneOf(role_), m.vertices[static_cast<std::size_t>(ix->Upper(e))].position, scene_.zoom, c.x(), c.y());
  const double ex = hi.x - lo.x, ey = hi.y - lo.y, length2 = ex * ex + ey * ey;
  if (length2 > 0.0) {
    const double along = ((p.x() - loopPress_.x()) * ex + (p.y() - loopPress_.y()) * ey) / length2;
    t.loopSlide = std::clamp(along * (t.loopCuts + 1), -0.95, 0.95);
  }
  t.loopPreview = LoopCutPreview(m, *ix, e, t.loopCuts, t.loopSlide);
}

OrthoOverlay PaneInput::Overlay() const {
  OrthoOverlay o;
  if (IsOrtho(role_)) o.cutPreview = tools().loopPreview;
  const KnifeStroke& k = tools().knife;
  if (IsOrtho(role_) && k.plane == PlaneOf(role_)) {
    const PlaneAxes axes = AxesOf(k.plane);
    for (const auto& [u, v] : k.points) {
      CVector p(0, 0, 0);
      Component(p, axes.u.axis) = static_cast<float>(axes.u.flipped ? -u : u);
      Component(p, axes.v.axis) = static_cast<float>(axes.v.flipped ? -v : v);
      o.knifeLine.push_back(p);
    }
    o.knifeThrough = k.throughAll;
  }
  o.selecting = leftDown_ || rightDown_;
  o.dragStart = dragStart_;
  o.dragCurrent = dragCurrent_;
  o.box = tools().boxing;
  o.boxMin = tools().boxMin;
  o.boxMax = tools().boxMax;
  return o;
}

}  // namespace mw
