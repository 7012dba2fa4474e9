// A process that makes one edit, lets the autosave run and waits to be killed: the first half of
// the recovery test. It runs on the offscreen platform; the test kills it with SIGKILL.
#include <QApplication>
#include <cstdio>

#include "app/autosave.h"
#include "app/document.h"
#include "app/settings.h"
#include "scene/meshwright.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  mw::CMeshwright scene;
  scene.ResetScene();
  mw::CMeshwrightDoc doc(scene);
  doc.NewDocument();
  mw::Autosaver autosave(doc, mw::LoadAutosaveSeconds());
  doc.Edit(mw::EditKind::kModelAdd, [&scene]() { scene.AddModel(); });
  scene.currentModel = 1;
  doc.Edit(mw::EditKind::kModelRename, [&scene]() { scene.RenameCurrentModel("recovered"); });
  std::printf("%s\n", qPrintable(autosave.path()));
  std::fflush(stdout);
  return app.exec();
}
