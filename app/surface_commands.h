// The smooth-surface commands: the current model's subdivision (none, Catmull-Clark, Loop; level 1
// to 4), baking it into the faces, creases on the selected edges, and smoothing the selected
// vertices. Registered once; the モデル menu and the model list's context menu show them.
#pragma once

#include <QString>
#include <functional>

class QDialog;
class QMenu;
class QWidget;

namespace mw {

class CMeshwright;
class CMeshwrightDoc;
class CommandRegistry;

struct SurfaceCommandHost {
  CMeshwrightDoc& doc;
  CMeshwright& scene;
  QWidget* parent;
  std::function<int(QDialog&)> runDialog;
  std::function<void(const QString&)> say;  // the status bar
  std::function<void()> afterRun;           // refreshes the command states
};

void RegisterSurfaceCommands(CommandRegistry& commands, const SurfaceCommandHost& host);
void FillSurfaceMenu(const CommandRegistry& commands, QMenu* menu);

}  // namespace mw
