// An OpenGL context made current on an offscreen surface, drawing into a framebuffer with a depth
// buffer, for tests that render a frame and read its pixels back.
#pragma once

#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <memory>

namespace mw::test {

class OffscreenGl {
 public:
  ~OffscreenGl() { Stop(); }

  // Makes the context current with a `width` x `height` framebuffer bound; false if any step fails.
  bool Start(int width, int height) {
    surface_ = std::make_unique<QOffscreenSurface>();
    surface_->setFormat(QSurfaceFormat::defaultFormat());
    surface_->create();
    context_ = std::make_unique<QOpenGLContext>();
    context_->setFormat(QSurfaceFormat::defaultFormat());
    if (!context_->create() || !context_->makeCurrent(surface_.get())) return false;
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::Depth);
    fbo_ = std::make_unique<QOpenGLFramebufferObject>(width, height, format);
    return fbo_->bind();
  }
  // Whether a context was made (teardown code that touches GL checks this first).
  bool started() const { return context_ != nullptr; }
  QImage Grab() const { return fbo_->toImage(); }
  void Stop() {
    if (context_) context_->doneCurrent();
  }

 private:
  std::unique_ptr<QOffscreenSurface> surface_;
  std::unique_ptr<QOpenGLContext> context_;
  std::unique_ptr<QOpenGLFramebufferObject> fbo_;
};

}  // namespace mw::test
