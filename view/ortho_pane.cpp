#include "view/ortho_pane.h"

#include <QPainter>
#include <cmath>

#include "scene/meshwright.h"
#include "view/frame_timer.h"
#include "view/pane_events.h"

namespace mw {
namespace {
PaneRole RoleOf(Plane plane) {
  return plane == kPlaneTop ? PaneRole::kTop : plane == kPlaneFace ? PaneRole::kFace : PaneRole::kLeft;
}
}  // namespace

OrthoPane::OrthoPane(CMeshwright& scene, OrthoShared& shared, PaneHost& host, Plane plane, QWidget* parent)
    : QWidget(parent),
      scene_(scene),
      shared_(shared),
      host_(host),
      plane_(plane),
      input_(scene, shared.pan, RoleOf(plane), &host) {
  setMinimumSize(1, 1);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(false);
  input_.SetTools(&shared.tools);
}

void OrthoPane::paintEvent(QPaintEvent*) {
  const FrameTimer timer(plane_ == kPlaneTop ? "top" : (plane_ == kPlaneFace ? "front" : "left"));
  // Drawn at the screen's resolution: a scaled screen gets sharp one-pixel lines, not a stretched
  // picture.
  const qreal ratio = devicePixelRatioF();
  const QSize pixels(static_cast<int>(std::ceil(width() * ratio)), static_cast<int>(std::ceil(height() * ratio)));
  if (buffer_.size() != pixels) buffer_ = QImage(pixels, QImage::Format_RGB32);
  buffer_.setDevicePixelRatio(ratio);
  buffer_.fill(Qt::white);
  OrthoOverlay overlay = input_.Overlay();
  overlay.edgesVisible = shared_.buttonsHeld == 0;
  overlay.grid = grid_;
  if (!reference_.isNull()) overlay.reference = &reference_;
  // The wire is left out with the edges while a button is held: a drag then costs no refinement here.
  if (shared_.refinedWire && overlay.edgesVisible) {
    const std::size_t n = scene_.models.size();
    shared_.surfaces.Truncate(n);
    refined_.assign(n, nullptr);
    for (std::size_t i = 0; i < n; ++i) {
      const CModel& m = scene_.models[i];
      if (m.state != kStateHidden && m.subdivisionScheme != kSubdivisionNone)
        refined_[i] = shared_.surfaces.Surface(m, i, true, false);
    }
    overlay.refinedWire = &refined_;
  }
  DrawOrthoPane(buffer_, scene_, plane_, shared_.pan, overlay, &projection_);
  QPainter p(this);
  p.drawImage(0, 0, buffer_);
}

void OrthoPane::Apply(const PaneResult& r) {
  // Repaints are requested, not made here: motions that come while a frame is pending share it.
  if (r.refresh3D) {
    if (r.orthoOnly && host_.refreshOrtho) host_.refreshOrtho();
    else if (host_.refresh3D) host_.refresh3D();
  }
  if (r.repaintSelf) update();
}

void OrthoPane::CountButton(bool wasDown, bool isDown) {
  if (!wasDown && isDown) ++shared_.buttonsHeld;
  if (wasDown && !isDown && shared_.buttonsHeld > 0) --shared_.buttonsHeld;
}

void OrthoPane::mousePressEvent(QMouseEvent* event) {
  const auto b = ButtonOf(event->button());
  if (!b) return;
  setFocus();
  if (pointPicker && *b == MouseButton::kLeft && !input_.anyDown()) {
    picking_ = true;
    if (!pointPicker(event->position().toPoint())) pointPicker = nullptr;
    return;
  }
  TakeModifiers(input_, event->modifiers());
  const bool was = input_.anyDown();
  const PaneResult r = input_.ButtonDown(*b, event->position().toPoint(), size());
  CountButton(was, input_.anyDown());
  Apply(r);
}

void OrthoPane::mouseReleaseEvent(QMouseEvent* event) {
  const auto b = ButtonOf(event->button());
  if (!b) return;
  if (picking_ && *b == MouseButton::kLeft) {
    picking_ = false;
    return;
  }
  TakeModifiers(input_, event->modifiers());
  const bool was = input_.anyDown();
  const PaneResult r = input_.ButtonUp(*b, event->position().toPoint(), size());
  CountButton(was, input_.anyDown());
  Apply(r);
}

void OrthoPane::mouseMoveEvent(QMouseEvent* event) {
  Apply(input_.Move(event->position().toPoint(), size(), event->modifiers().testFlag(Qt::ShiftModifier)));
}

void OrthoPane::wheelEvent(QWheelEvent* event) { Apply(input_.Wheel(event->angleDelta().y())); }

void OrthoPane::keyPressEvent(QKeyEvent* event) {
  const Key k = KeyOf(event->key());
  if (k == Key::kOther) {
    QWidget::keyPressEvent(event);
    return;
  }
  Apply(input_.KeyDown(k));
}

}  // namespace mw
