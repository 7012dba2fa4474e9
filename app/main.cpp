#include <QApplication>
#include <QSurfaceFormat>

#include "app/app_scene.h"
#include "app/main_frame.h"
#include "app/startup.h"
#include "scene/meshwright.h"

int main(int argc, char** argv) {
  mw::PrepareEnvironment();
  QApplication app(argc, argv);
  mw::CMeshwright& scene = mw::TheScene();
  scene.ResetScene();
  mw::CMainFrame frame(scene);
  frame.show();
  return app.exec();
}
