// An orthographic pane (Top, Face or Left), drawn with QPainter.
#pragma once

#include <QImage>
#include <QWidget>

#include "render/ortho_painter.h"

namespace mw {

class CMeshwright;

// State the three orthographic panes share: the pan offsets, and whether a mouse button is held
// in any of them (face edges are left out of every orthographic pane while one is).
struct OrthoShared {
  PanOffsets pan;
  int buttonsHeld = 0;
};

class OrthoPane : public QWidget {
  Q_OBJECT
 public:
  OrthoPane(CMeshwright& scene, OrthoShared& shared, int plane, QWidget* parent = nullptr);
  int plane() const { return plane_; }

  // The pane's own additions to the next paint (selection rectangle).
  OrthoOverlay& overlay() { return overlay_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CMeshwright& scene_;
  OrthoShared& shared_;
  int plane_;
  OrthoOverlay overlay_;
  QImage buffer_;  // the pane is drawn here, then shown
};

}  // namespace mw
