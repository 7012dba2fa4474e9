// The selection drawn over the perspective frame in edge and face mode: the selected faces tinted
// red and the selected edges (the sides of selected faces in face mode) as red lines; and in every
// mode the seams, in orange.
//
// Only what is selected is laid out, and only when the selection or the geometry changed (Build);
// a camera move redraws the kept arrays, so a million unselected faces cost nothing per frame.
#pragma once

#include <vector>

#include "scene/meshwright.h"

namespace mw {

class SelectionOverlay {
 public:
  // Lays out the selection of the shown models in the scene's mode (nothing in vertex mode, where
  // the perspective pane shows no selection).
  void Build(const CMeshwright& scene);
  // Draws it with the frame's camera still on the model-view matrix; the context must be current.
  void Draw() const;
  bool Empty() const { return triangles_.empty() && lines_.empty() && seams_.empty(); }
  std::size_t TriangleCount() const { return triangles_.size() / 9; }
  std::size_t LineCount() const { return lines_.size() / 6; }

 private:
  std::vector<float> triangles_;  // x y z per corner, three corners a triangle
  std::vector<float> lines_;      // x y z per end, two ends a line
  std::vector<float> seams_;      // the same
};

}  // namespace mw
