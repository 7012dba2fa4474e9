// What a 3D pane asks of the window that holds it.
#pragma once

#include <functional>

namespace mw {

struct PaneHost {
  std::function<void()> refresh3D;     // repaint the four 3D panes
  std::function<void()> markModified;  // set the document's modified flag
  std::function<void()> paneResized;   // a 3D pane changed size (the list column keeps its width)
};

}  // namespace mw
