#include "view/perspective_pane.h"

#include <GL/gl.h>

#include "render/gl_frame.h"
#include "scene/meshwright.h"

namespace mw {

PerspectivePane::PerspectivePane(CMeshwright& scene, QWidget* parent) : QOpenGLWidget(parent), scene_(scene) {
  setMinimumSize(1, 1);
}

void PerspectivePane::initializeGL() {}

void PerspectivePane::paintGL() {
  SetClearColor(scene_.backgroundColor);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

}  // namespace mw
