#include "view/ortho_pane.h"

#include <QPainter>

#include "scene/meshwright.h"

namespace mw {

OrthoPane::OrthoPane(CMeshwright& scene, int plane, QWidget* parent) : QWidget(parent), scene_(scene), plane_(plane) {
  setAutoFillBackground(false);
  setMinimumSize(1, 1);
}

void OrthoPane::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
}

}  // namespace mw
