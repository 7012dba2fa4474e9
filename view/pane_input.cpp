#include "view/pane_input.h"

#include "scene/default_material.h"

namespace mw {

QPoint PaneInput::Centre(QSize size) const { return PaneCentre(PlaneOf(role_), size.width(), size.height(), pan_); }

EditKind PaneInput::DragKind(MouseButton b) const {
  if (!IsOrtho(role_)) return EditKind::kCamera;
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

PaneResult PaneInput::ButtonDown(MouseButton b, QPoint p, QSize size) {
  PaneResult r;
  selection_.Forget();
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
  if (b == MouseButton::kLeft && IsOrtho(role_)) {
    // A turn may be snapped at any moment (Shift), a move when snapping is on.
    haveFrom_ = scene_.editMode == kModeRotate || (scene_.editMode == kModeMove && SnapStep() > 0.0);
    dragFrom_ = haveFrom_ ? scene_.SelectedPositions() : std::vector<CVector>();
    whole_ = false;
    boxCancelled_ = false;
    tools().boxing = false;
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
      scene_.AddCameraRotation(CVector(static_cast<float>(dy), static_cast<float>(dx), 0.0f));
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
    } else {
      scene_.DropFace();
    }
  }
  PaneResult r;
  r.refresh3D = true;
  if (k == Key::kEnter) {
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

OrthoOverlay PaneInput::Overlay() const {
  OrthoOverlay o;
  o.selecting = leftDown_ || rightDown_;
  o.dragStart = dragStart_;
  o.dragCurrent = dragCurrent_;
  o.box = tools().boxing;
  o.boxMin = tools().boxMin;
  o.boxMax = tools().boxMax;
  return o;
}

}  // namespace mw
