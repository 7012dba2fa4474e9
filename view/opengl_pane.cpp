#include "view/opengl_pane.h"

#include <GL/gl.h>
#include <QOpenGLContext>
#include <QPainter>
#include <QSurfaceFormat>
#include <QTimer>
#include <algorithm>

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
      uploader_(&PerspectivePane::MakeCurrentFor, this) {
  setMinimumSize(1, 1);
  setFocusPolicy(Qt::StrongFocus);
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
}

void PerspectivePane::mouseMoveEvent(QMouseEvent* event) { Apply(input_.Move(event->position().toPoint(), size())); }

void PerspectivePane::wheelEvent(QWheelEvent* event) {
  Apply(input_.Wheel(event->angleDelta().y(), event->position().toPoint(), size()));
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
  if (sceneChanged_) overlay_.Build(scene_);
  renderer_.DrawFrame(scene_, &uploader_, sceneChanged_);
  sceneChanged_ = false;
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
