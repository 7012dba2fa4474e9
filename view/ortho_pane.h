// An orthographic pane (Top, Face or Left), drawn with QPainter.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "render/ortho_painter.h"
#include "scene/subdivision.h"
#include "view/pane_host.h"
#include "view/pane_input.h"

namespace mw {

class CMeshwright;

// State the three orthographic panes share: the pan offsets, whether a mouse button is held in any
// of them (face edges are left out of every orthographic pane while one is), and the editing aids.
struct OrthoShared {
  PanOffsets pan;
  int buttonsHeld = 0;
  PaneTools tools;  // grid snapping and the box being dragged
  // The refined surfaces' wire in grey under the cages; the three panes share the surfaces.
  bool refinedWire = false;
  SurfaceCache surfaces;
};

class OrthoPane : public QWidget {
  Q_OBJECT
 public:
  OrthoPane(CMeshwright& scene, OrthoShared& shared, PaneHost& host, Plane plane, QWidget* parent = nullptr);
  Plane plane() const { return plane_; }
  PaneInput& input() { return input_; }
  // The reference picture drawn behind the model (decoded by whoever loaded it; placed by the
  // scene's record for this plane). A null image draws none.
  void SetReferenceImage(const QImage& picture) {
    reference_ = picture;
    update();
  }
  const QImage& referenceImage() const { return reference_; }
  // Whether this pane draws its grid.
  void SetGridShown(bool shown) {
    grid_ = shown;
    update();
  }
  bool gridShown() const { return grid_; }
  // While set, a left click gives its point (pane pixels) here instead of to the editing input;
  // the handler says whether it wants more clicks.
  std::function<bool(QPoint)> pointPicker;

 protected:
  void paintEvent(QPaintEvent* event) override;
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
  void CountButton(bool wasDown, bool isDown);

  CMeshwright& scene_;
  OrthoShared& shared_;
  PaneHost& host_;
  Plane plane_;
  PaneInput input_;
  QImage buffer_;               // the pane is drawn here, then shown
  OrthoProjection projection_;  // the vertices' pixels, worked out once per paint
  std::vector<const CModel*> refined_;  // this paint's refined surfaces, for the grey wire
  QImage reference_;
  bool grid_ = true;
  bool picking_ = false;  // the press went to pointPicker: so does its release
};

}  // namespace mw
