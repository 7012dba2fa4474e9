// The perspective pane: the program's one OpenGL view of the scene.
#pragma once

#include <QOpenGLWidget>
#include <memory>

#include "render/gl_frame.h"
#include "render/frame_arrays.h"
#include "render/selection_overlay.h"
#include "view/pane_host.h"
#include "view/pane_input.h"

namespace mw {

class CMeshwright;

class PerspectivePane : public QOpenGLWidget {
  Q_OBJECT
 public:
  PerspectivePane(CMeshwright& scene, PanOffsets& pan, PaneHost& host, QWidget* parent = nullptr);
  PaneInput& input() { return input_; }
  ~PerspectivePane() override;

  // Uploads and deletes textures with this pane's context current, whoever asks.
  TextureUploader* uploader() { return &uploader_; }
  // How the models are drawn (shaded, edges, wireframe, textures, back faces, parallel camera).
  void SetStyle(const DisplayStyle& style);
  const DisplayStyle& style() const { return renderer_.style(); }
  // The small X/Y/Z axes in the lower left corner (red, green, blue).
  void SetAxesShown(bool shown) {
    axes_ = shown;
    update();
  }
  bool axesShown() const { return axes_; }
  // Whether the context could be created and made current.
  bool glReady() const { return ready_; }
  // Repaints after a change that may have touched geometry, faces or materials. A plain update()
  // (the camera moved, the window was exposed) redraws from the buffers without going over the
  // models to see whether they changed.
  void Refresh() {
    sceneChanged_ = true;
    update();
  }

 protected:
  void initializeGL() override;
  void resizeGL(int w, int h) override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // The pane shows no focus, so gaining or losing it repaints nothing (QWidget's would repaint
  // the whole pane, a full frame of a large model at every click into another pane).
  void focusInEvent(QFocusEvent*) override {}
  void focusOutEvent(QFocusEvent*) override {}

 private:
  void Apply(const PaneResult& r);
  static bool MakeCurrentFor(void* self);
  void DrawAxes();

  CMeshwright& scene_;
  PaneHost& host_;
  PaneInput input_;
  GlTextureUploader uploader_;
  PerspectiveRenderer renderer_;
  SelectionOverlay overlay_;  // laid out again at each Refresh, drawn every frame
  bool ready_ = false;
  bool reported_ = false;
  bool sceneChanged_ = true;
  bool axes_ = false;
};

}  // namespace mw
