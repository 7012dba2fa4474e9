#include "view/perspective_pane.h"

#include <QOpenGLContext>
#include <QSurfaceFormat>

#include "platform/message.h"
#include "scene/meshwright.h"

namespace mw {

PerspectivePane::PerspectivePane(CMeshwright& scene, QWidget* parent)
    : QOpenGLWidget(parent), scene_(scene), uploader_(&PerspectivePane::MakeCurrentFor, this) {
  setMinimumSize(1, 1);
}

PerspectivePane::~PerspectivePane() {
  // The textures go before the context does, with the context current.
  if (ready_) {
    makeCurrent();
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
  DrawPerspectiveFrame(scene_, &uploader_);
}

}  // namespace mw
