// The commands of the 面/辺 menu: extrude, inset, bevel, bridge, fill, spin and solidify, each
// with its parameter box (view/live_parameter_dialog.h) where it has parameters, and one undo step.
#pragma once

#include <QString>
#include <functional>

#include "app/command_registry.h"
#include "scene/grow_ops.h"
#include "scene/ortho_plane.h"
#include "scene/vector.h"

class QDialog;
class QWidget;

namespace mw {

class CMeshwrightDoc;

struct GrowCommandHost {
  CMeshwrightDoc* doc = nullptr;
  QWidget* parent = nullptr;
  std::function<int(QDialog&)> run;         // shows a dialog modally (tests answer it)
  std::function<void()> refresh;            // repaints the panes while a box is open
  std::function<void(const QString&)> say;  // the status bar
  std::function<Plane()> pane;              // the orthographic pane worked in: spin turns about its depth
  std::function<CVector()> centre;          // where spin's axis passes; empty: the face-building cursor
  // Begins extrude's pointer-follow where the pointer is; false when it is over no editing pane
  // (the parameter box is asked instead). `keep` makes the extrusion one edit.
  std::function<bool(bool individual, std::function<void(const ExtrudeParams&)> keep)> follow;
};

// Registers the seven commands through `add` (which wraps their handlers as the frame does).
void RegisterGrowCommands(const GrowCommandHost& host, const std::function<void(CommandEntry)>& add);

}  // namespace mw
