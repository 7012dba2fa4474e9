// The perspective pane: the program's one OpenGL view of the scene.
#pragma once

#include <QOpenGLWidget>
#include <memory>

#include "render/gl_frame.h"

namespace mw {

class CMeshwright;

class PerspectivePane : public QOpenGLWidget {
  Q_OBJECT
 public:
  explicit PerspectivePane(CMeshwright& scene, QWidget* parent = nullptr);
  ~PerspectivePane() override;

  // Uploads and deletes textures with this pane's context current, whoever asks.
  TextureUploader* uploader() { return &uploader_; }
  // Whether the context could be created and made current.
  bool glReady() const { return ready_; }

 protected:
  void initializeGL() override;
  void resizeGL(int w, int h) override;
  void paintGL() override;

 private:
  static bool MakeCurrentFor(void* self);

  CMeshwright& scene_;
  GlTextureUploader uploader_;
  bool ready_ = false;
  bool reported_ = false;
};

}  // namespace mw
