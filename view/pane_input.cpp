#include "view/pane_input.h"

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
    default: return EditKind::kOtherDrag;
  }
}

void PaneInput::Change(EditKind kind, const std::function<void()>& change) {
  if (host_ && host_->edit) host_->edit(kind, change);
  else change();
}

PaneResult PaneInput::ButtonDown(MouseButton b, QPoint p, QSize size) {
  PaneResult r;
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
  if (scene_.editMode != kModeCreateFace) return r;
  if (!IsOrtho(role_)) {
    r.refresh3D = b == MouseButton::kLeft;
    return r;
  }
  const QPoint c = Centre(size);
  if (b == MouseButton::kLeft) {
    scene_.AddFacePoint(PlaneOf(role_), p.x(), p.y(), c.x(), c.y());
  } else {
    // The cursor supplies the coordinate the clicked pane does not show; a right click sets the
    // two it does.
    SetShown(PlaneOf(role_), scene_.cursor, p.x(), p.y(), c.x(), c.y());
  }
  r.refresh3D = true;
  return r;
}

PaneResult PaneInput::ButtonUp(MouseButton b, QPoint, QSize) {
  PaneResult r;
  if (b == MouseButton::kMiddle) {
    middleDown_ = false;
    r.refresh3D = IsOrtho(role_);
  } else {
    (b == MouseButton::kLeft ? leftDown_ : rightDown_) = false;
    if (IsOrtho(role_)) {
      r.refresh3D = true;
      if (scene_.editMode != kModeSelect) scene_.ComputeNormals();
    }
  }
  if (editing_ && !EditingButtonDown()) {
    editing_ = false;
    r.dragEnded = true;
    if (host_ && host_->dragEnded) host_->dragEnded();
  }
  return r;
}

PaneResult PaneInput::Move(QPoint p, QSize size) {
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
      switch (scene_.editMode) {
        case kModeSelect:
          scene_.SelectInRect(dragStart_.x(), dragStart_.y(), dragCurrent_.x(), dragCurrent_.y(), plane, 1, c.x(),
                              c.y());
          break;
        case kModeMove: {
          const ModelPixels d = FromPane(plane, dx, dy, 0, 0, 0.0);
          scene_.MoveSelected(static_cast<float>(d.x), static_cast<float>(d.y), static_cast<float>(d.z));
          break;
        }
        case kModeRotate: scene_.RotateSelected(plane, static_cast<float>(dx + dy), s.x(), s.y()); break;
        case kModeSize: scene_.SizeSelected(plane, static_cast<float>(dx + dy), s.x(), s.y()); break;
        case kModeStretch:
          scene_.StretchSelected(plane, static_cast<float>(dx), static_cast<float>(dy), s.x(), s.y());
          break;
        default: break;
      }
      r.refresh3D = true;
    } else if (rightDown_ && scene_.editMode == kModeSelect) {
      scene_.SelectInRect(dragStart_.x(), dragStart_.y(), dragCurrent_.x(), dragCurrent_.y(), plane, 0, c.x(), c.y());
      r.refresh3D = true;
    } else if (middleDown_) {
      ShiftShown(plane, pan_, dx, dy);
      r.refresh3D = true;
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
  if (k == Key::kEnter) Change(EditKind::kCommitFace, [this]() { scene_.CommitFace(); });
  PaneResult r;
  r.refresh3D = true;
  return r;
}

OrthoOverlay PaneInput::Overlay() const {
  OrthoOverlay o;
  o.selecting = leftDown_ || rightDown_;
  o.dragStart = dragStart_;
  o.dragCurrent = dragCurrent_;
  return o;
}

}  // namespace mw
