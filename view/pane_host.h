// What a 3D pane asks of the window that holds it.
#pragma once

#include <functional>

#include "scene/edit_kind.h"

namespace mw {

struct PaneHost {
  std::function<void()> refresh3D;    // repaint the four 3D panes
  std::function<void()> refreshOrtho;  // repaint the three orthographic panes only
  // A press that may change the scene opens an edit before its first change; the release of the
  // last button closes it after the last. Everything in between is one edit.
  std::function<void(EditKind)> dragBegan;
  std::function<void()> dragEnded;
  // A change made at once (Enter commits the face being built).
  std::function<void(EditKind, const std::function<void()>&)> edit;
};

}  // namespace mw
