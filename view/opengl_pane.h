// The perspective pane: the program's one OpenGL view of the scene.
#pragma once

#include <QOpenGLWidget>
#include <QTimer>
#include <chrono>
#include <memory>

#include "render/gl_frame.h"
#include "render/frame_arrays.h"
#include "render/selection_overlay.h"
#include "view/pane_host.h"
#include "view/pane_input.h"
#include "view/stand_in_worker.h"

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
    overlayStale_ = true;
    update();
  }
  // Above this many faces in the visible models (setting View/StandInFaces), a simplified copy of
  // them is made in the background after each change of geometry and drawn in their place while
  // the camera moves (a drag, or the wheel until kWheelRest after its last notch); the first
  // frame after the motion is exact again. 0 turns the stand-in off.
  void SetStandInFaces(std::size_t faces);
  std::size_t standInFaces() const { return standInFaces_; }
  static constexpr int kWheelRest = 150;  // milliseconds
  // Whether a stand-in of the scene as it now stands is ready (tests), and whether the last frame
  // drew it.
  bool standInReady() const;
  bool drewStandIn() const { return drewStandIn_; }
  // Waits for the stand-in being built and takes it (tests).
  void WaitForStandIn();

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
  // What the models' keys, their visibility and the materials' textures come to as the last
  // exact frame found them; 0 when the stand-in cannot stand for them (a model drawn as its
  // subdivision surface).
  std::uint64_t GeometrySignature() const;
  // After an exact frame: a stand-in is wanted for geometry it does not show.
  void ScheduleStandIn();
  void StartStandIn();
  // The camera moved (a drag or a wheel notch): frames draw the stand-in until it rests.
  bool CameraMoving() const { return cameraDrag_ || wheeling_; }
  struct CameraState {
    CVector translation, rotation;
    float zoom;
    bool operator==(const CameraState&) const = default;
  };
  CameraState Camera() const;
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
  bool overlayStale_ = true;
  // The stand-in.
  std::size_t standInFaces_ = 300000;
  PerspectiveRenderer standInRenderer_;
  std::shared_ptr<const StandIn> standIn_;
  std::uint64_t standInSignature_ = 0;  // the geometry standIn_ shows
  std::uint64_t requested_ = 0;         // the geometry the last build started was taken of
  std::uint64_t signature_ = 0;         // the geometry as the last exact frame found it
  bool standInNew_ = false;             // standIn_ not drawn yet
  std::chrono::steady_clock::time_point requestedAt_;
  bool cameraDrag_ = false;
  bool wheeling_ = false;
  bool drewStandIn_ = false;
  QTimer rebuild_;     // a quiet moment after the last change before building
  QTimer wheelRest_;   // the wheel's motion ends
  StandInWorker worker_;
};

}  // namespace mw
