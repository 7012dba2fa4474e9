// The 基本図形 command: the dialog, its preview in the panes, and the shape added as one edit.
#pragma once

#include <QString>
#include <functional>

#include "scene/ortho_plane.h"

class QDialog;
class QWidget;

namespace mw {

class CMeshwrightDoc;

// Asks for a shape (the dialog opens on the shape, placement and new-model choice used last, with
// sizes that fit a pane of `panePixels` at the current zoom) and adds it: one step of the history,
// its faces selected. What the status bar says about it; empty when cancelled.
QString RunPrimitiveCommand(CMeshwrightDoc& doc, const PanOffsets& pan, int panePixels, QWidget* parent,
                            const std::function<int(QDialog&)>& run, const std::function<void()>& refresh);

}  // namespace mw
