#include "view/ortho_pane.h"

#include <QPainter>

#include "scene/meshwright.h"

namespace mw {

OrthoPane::OrthoPane(CMeshwright& scene, OrthoShared& shared, int plane, QWidget* parent)
    : QWidget(parent), scene_(scene), shared_(shared), plane_(plane) {
  setMinimumSize(1, 1);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void OrthoPane::paintEvent(QPaintEvent*) {
  if (buffer_.size() != size()) buffer_ = QImage(size(), QImage::Format_RGB32);
  buffer_.fill(Qt::white);
  OrthoOverlay overlay = overlay_;
  overlay.edgesVisible = shared_.buttonsHeld == 0;
  DrawOrthoPane(buffer_, scene_, plane_, shared_.pan, overlay);
  QPainter p(this);
  p.drawImage(0, 0, buffer_);
}

}  // namespace mw
