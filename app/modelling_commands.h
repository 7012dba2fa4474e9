// The modelling verbs as commands of the main window: knife (a mode of the orthographic panes),
// loop cut, connect, subdivide, dissolve, delete by element, collapse, separate, triangles and
// quads. Each runs as one edit of the document; the choices a verb asks for are kept for the
// next time within the session.
#pragma once

#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace mw {

class CommandRegistry;
class CMeshwrightDoc;

struct ModellingChoices {
  int loopCuts = 1;
  double slide = 0.0;  // -1 .. 1 of the spacing
  int subdivisions = 2;
  bool triangleNeighbours = false;
  int deleteWhat = 0;
  int collapseAt = 0;
  int separateBy = 0;
  double quadAngle = 40.0;
};

struct ModellingHooks {
  // Wraps a handler as the frame wraps its own (ignored while a document loads, states refreshed after).
  std::function<std::function<void()>(std::function<void()>)> wrap;
  std::function<int(QDialog&)> runDialog;
  std::function<void(const QString&)> say;  // the status bar
  QWidget* parent = nullptr;
  // Enters the loop cut mode of the editing panes with that many cuts.
  std::function<void(int)> loopCutMode;
};

void RegisterModellingCommands(CommandRegistry& registry, CMeshwrightDoc& doc, ModellingChoices& choices,
                               const ModellingHooks& hooks);

}  // namespace mw
