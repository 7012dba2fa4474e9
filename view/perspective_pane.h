// The perspective pane: the one OpenGL view of the scene.
#pragma once

#include <QOpenGLWidget>

namespace mw {

class CMeshwright;

class PerspectivePane : public QOpenGLWidget {
  Q_OBJECT
 public:
  PerspectivePane(CMeshwright& scene, QWidget* parent = nullptr);

 protected:
  void initializeGL() override;
  void paintGL() override;

 private:
  CMeshwright& scene_;
};

}  // namespace mw
