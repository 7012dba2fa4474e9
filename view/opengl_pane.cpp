#include "view/opengl_pane.h"

#include <GL/gl.h>
#include <QCoreApplication>
#include <QOpenGLContext>
#include <QPainter>
#include <QSurfaceFormat>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "platform/message.h"
#include "scene/camera_moves.h"
#include "scene/meshwright.h"
#include "view/frame_timer.h"
#include "view/pane_events.h"

namespace mw {

PerspectivePane::PerspectivePane(CMeshwright& scene, PanOffsets& pan, PaneHost& host, QWidget* parent)
    : QOpenGLWidget(parent),
      scene_(scene),
      host_(host),
      input_(scene, pan, PaneRole::kPerspective, &host),
      uploader_(&PerspectivePane::MakeCurrentFor, this),
      worker_(this, [this](std::shared_ptr<const StandIn> standIn, std::uint64_t signature) {
        if (FrameTimesWanted())
          std::fprintf(stderr, "stand-in %zu triangles, %.0f ms after the request\n", standIn->triangles,
                       std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - requestedAt_).count());
        standIn_ = std::move(standIn);
        standInSignature_ = signature;
        standInNew_ = true;
        if (CameraMoving()) update();
      }) {
  setMinimumSize(1, 1);
  setFocusPolicy(Qt::StrongFocus);
  // Edits come in bursts (a drag moves vertices at every motion): the build waits for a pause.
  rebuild_.setSingleShot(true);
  rebuild_.setInterval(300);
  connect(&rebuild_, &QTimer::timeout, this, [this]() { StartStandIn(); });
  wheelRest_.setSingleShot(true);
  wheelRest_.setInterval(kWheelRest);
  connect(&wheelRest_, &QTimer::timeout, this, [this]() {
    wheeling_ = false;
    if (drewStandIn_) update();
  });
}

PerspectivePane::CameraState PerspectivePane::Camera() const {
  return CameraState{scene_.camera.translation, scene_.camera.rotation, scene_.zoom};
}

void PerspectivePane::SetStandInFaces(std::size_t faces) {
  standInFaces_ = faces;
  requested_ = 0;
  if (faces == 0) {
    worker_.Cancel();
    standIn_.reset();
  }
  update();
}

std::uint64_t PerspectivePane::GeometrySignature() const {
  // The renderer's keys cover positions, normals, corners, coordinates, hidden faces and the
  // material list; what they leave out and the stand-in depends on is added here.
  std::uint64_t h = 0x6A09E667F3BCC908ull;
  auto add = [&h](std::uint64_t w) { h = ((h << 7 | h >> 57) ^ w) * 0x9E3779B97F4A7C15ull; };
  add(scene_.models.size());
  for (std::size_t i = 0; i < scene_.models.size(); ++i) {
    const CModel& m = scene_.models[i];
    if (m.state == kStateHidden) {
      add(1);
      continue;
    }
    if (m.subdivisionScheme != kSubdivisionNone) return 0;
    add(renderer_.ModelKey(i));
  }
  for (const CMaterial& m : scene_.materials) add(m.texture.empty() ? 2 : 3);
  return h == 0 ? 1 : h;
}

bool PerspectivePane::standInReady() const {
  return standIn_ && signature_ != 0 && standInSignature_ == signature_;
}

void PerspectivePane::ScheduleStandIn() {
  signature_ = GeometrySignature();
  if (standInFaces_ == 0 || signature_ == 0) {
    worker_.Cancel();
    requested_ = 0;
    standIn_.reset();
    return;
  }
  if (signature_ == requested_ || signature_ == standInSignature_) return;
  rebuild_.start();
}

void PerspectivePane::StartStandIn() {
  // A change not yet drawn has not been keyed: the frame that draws it schedules again.
  if (sceneChanged_ || signature_ == 0 || signature_ == requested_) return;
  if (VisibleFaceCount(scene_) < standInFaces_) {
    worker_.Cancel();
    standIn_.reset();
    requested_ = 0;
    return;
  }
  requested_ = signature_;
  requestedAt_ = std::chrono::steady_clock::now();
  if (FrameTimesWanted()) std::fprintf(stderr, "stand-in requested\n");
  worker_.Start(TakeStandInSource(scene_), signature_, StandInLimits{});
}

void PerspectivePane::WaitForStandIn() {
  if (rebuild_.isActive()) {
    rebuild_.stop();
    StartStandIn();
  }
  worker_.Wait();
  QCoreApplication::sendPostedEvents(this);
}

void PerspectivePane::Apply(const PaneResult& r) {
  // A camera drag repaints this pane alone and changes nothing the buffers hold (repaintSelf);
  // the host's refreshes go through Refresh().
  // Repaints are requested, not made here: motions that come while a frame is pending share it.
  if (r.refresh3D) {
    if (r.orthoOnly && host_.refreshOrtho) host_.refreshOrtho();
    else if (host_.refresh3D) host_.refresh3D();
  }
  if (r.repaintSelf) update();
}

void PerspectivePane::mousePressEvent(QMouseEvent* event) {
  if (const auto b = ButtonOf(event->button())) {
    setFocus();
    TakeModifiers(input_, event->modifiers());
    Apply(input_.ButtonDown(*b, event->position().toPoint(), size()));
  }
}

void PerspectivePane::mouseReleaseEvent(QMouseEvent* event) {
  TakeModifiers(input_, event->modifiers());
  if (const auto b = ButtonOf(event->button())) Apply(input_.ButtonUp(*b, event->position().toPoint(), size()));
  if (cameraDrag_ && !input_.anyDown()) {
    cameraDrag_ = false;
    if (drewStandIn_) update();  // the exact frame
  }
}

void PerspectivePane::mouseMoveEvent(QMouseEvent* event) {
  const CameraState before = Camera();
  const PaneResult r = input_.Move(event->position().toPoint(), size());
  if (input_.anyDown() && !(Camera() == before)) cameraDrag_ = true;
  Apply(r);
}

void PerspectivePane::wheelEvent(QWheelEvent* event) {
  const CameraState before = Camera();
  const PaneResult r = input_.Wheel(event->angleDelta().y(), event->position().toPoint(), size());
  if (!(Camera() == before)) {
    wheeling_ = true;
    wheelRest_.start();
  }
  Apply(r);
}

void PerspectivePane::SetStyle(const DisplayStyle& style) {
  renderer_.SetStyle(style);
  scene_.parallelCamera = style.parallel;
  update();
}

void PerspectivePane::keyPressEvent(QKeyEvent* event) {
  const Key k = KeyOf(event->key());
  if (k == Key::kOther) {
    QOpenGLWidget::keyPressEvent(event);
    return;
  }
  Apply(input_.KeyDown(k));
}

PerspectivePane::~PerspectivePane() {
  // The textures go before the context does, with the context current.
  if (ready_) {
    makeCurrent();
    renderer_.Release();
    standInRenderer_.Release();
    scene_.ReleaseTextures();
    doneCurrent();
  }
}

bool PerspectivePane::MakeCurrentFor(void* self) {
  auto* pane = static_cast<PerspectivePane*>(self);
  if (!pane->ready_ || !pane->context() || !pane->context()->isValid()) return false;
  pane->makeCurrent();
  return QOpenGLContext::currentContext() == pane->context();
}

void PerspectivePane::initializeGL() {
  // Each step that can fail reports once, in the words the program has always used.
  QOpenGLContext* ctx = context();
  const char* failure = nullptr;
  if (!ctx) failure = "wglCreateContext::Error";
  else if (!ctx->isValid()) failure = "wglCreateContext::Error";
  else if (QOpenGLContext::currentContext() != ctx) failure = "wglMakeCurrent::Error";
  else if (ctx->format().renderableType() == QSurfaceFormat::OpenGLES) failure = "SetPixelFormat::Error";
  else if (ctx->format().depthBufferSize() <= 0) failure = "ChoosePixelFormat::Error";
  if (failure) {
    if (!reported_) ShowMessage(failure, MessageIcon::Error);
    reported_ = true;
    return;
  }
  ready_ = true;
  // A new context (the pane moved to another window, say) starts without our buffers.
  connect(ctx, &QOpenGLContext::aboutToBeDestroyed, this, [this] {
    makeCurrent();
    renderer_.Release();
    standInRenderer_.Release();
    doneCurrent();
  });
  SetupGlState();
  SetClearColor(scene_);
}

void PerspectivePane::resizeGL(int w, int h) {
  if (!ready_) return;
  const qreal ratio = devicePixelRatioF();
  SetViewport(scene_, w, h, static_cast<int>(w * ratio), static_cast<int>(h * ratio));
}

void PerspectivePane::paintGL() {
  if (!ready_) return;
  // Qt may rebind its own framebuffer state between frames; the projection is ours to keep.
  const qreal ratio = devicePixelRatioF();
  SetViewport(scene_, width(), height(), static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
  const FrameTimer timer("perspective");
  if (overlayStale_) overlay_.Build(scene_);
  overlayStale_ = false;
  drewStandIn_ = CameraMoving() && standInReady();
  if (drewStandIn_) {
    // The models' keys wait for the exact frame: a zoom by the wheel refreshes every pane, but
    // changes nothing the buffers hold.
    standInRenderer_.DrawFrame(scene_, standIn_->models, &uploader_, standInNew_);
    standInNew_ = false;
  } else {
    const bool changed = sceneChanged_;
    renderer_.DrawFrame(scene_, &uploader_, sceneChanged_);
    sceneChanged_ = false;
    if (changed) ScheduleStandIn();
  }
  // A smooth surface drawn coarser while its cage moved: the full one once the moves pause.
  if (renderer_.DrewDraft()) QTimer::singleShot(250, this, [this]() {
      sceneChanged_ = true;
      update();
    });
  overlay_.Draw();
  if (timer.on()) glFinish();
  if (input_.PerspectiveBand()) {
    QPainter p(this);
    p.setPen(QPen(QColor(0, 255, 0), 1));
    p.drawRect(QRect(input_.dragStart(), input_.dragCurrent()).normalized());
  }
  // The knife's line laid in this pane, red like the orthographic panes' one, each click marked.
  if (const std::vector<QPoint> knife = input_.PerspectiveKnifeLine(size()); !knife.empty()) {
    QPainter p(this);
    p.setPen(QPen(QColor(255, 0, 0), 1));
    for (const QPoint& q : knife) p.drawRect(q.x() - 2, q.y() - 2, 4, 4);
    p.drawPolyline(knife.data(), static_cast<int>(knife.size()));
  }
  if (axes_) DrawAxes();
}

void PerspectivePane::DrawAxes() {
  // The model's axes turned as the camera turns them, drawn from the corner; the nearest last.
  constexpr double kLength = 22.0;
  const QPointF origin(32.0, height() - 32.0);
  CMeshwright turned;
  turned.camera.rotation = scene_.camera.rotation;
  turned.zoom = 100.0f;
  struct Axis {
    CVector eye;
    QColor colour;
    const char* name;
  } axes[3] = {{EyeOf(turned, CVector(1, 0, 0)), QColor(230, 40, 40), "X"},
               {EyeOf(turned, CVector(0, 1, 0)), QColor(40, 200, 40), "Y"},
               {EyeOf(turned, CVector(0, 0, 1)), QColor(60, 90, 255), "Z"}};
  std::sort(std::begin(axes), std::end(axes), [](const Axis& a, const Axis& b) { return a.eye.z < b.eye.z; });
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  for (const Axis& a : axes) {
    const QPointF tip = origin + QPointF(a.eye.x * kLength, -a.eye.y * kLength);
    p.setPen(QPen(a.colour, 2));
    p.drawLine(origin, tip);
    p.drawText(QRectF(tip.x() - 8.0 + a.eye.x * 8.0, tip.y() - 8.0 - a.eye.y * 8.0, 16.0, 16.0), Qt::AlignCenter,
               QString::fromLatin1(a.name));
  }
}

}  // namespace mw
