// The UV menu: projections of the selected faces' texture coordinates, seams on the selected
// edges, unwrapping and packing, and the default table again (scene/uv_ops.h does the work). Each
// command is one undo step over the editable models it changes.
#pragma once

#include <QString>
#include <functional>

class QMenu;

namespace mw {

class CMeshwright;
class CMeshwrightDoc;
class CommandRegistry;

struct UVCommandHost {
  CMeshwrightDoc& doc;
  CMeshwright& scene;
  std::function<void(const QString&)> say;  // the status bar
  std::function<void()> afterRun;           // refreshes the command states
};

void RegisterUVCommands(CommandRegistry& commands, const UVCommandHost& host);
void FillUVMenu(const CommandRegistry& commands, QMenu* menu);

}  // namespace mw
