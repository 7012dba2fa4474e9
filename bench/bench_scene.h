// Large scenes for the benchmarks.
#pragma once

#include "scene/meshwright.h"

namespace mw::bench {

// A grid of side x side vertices joined by (side-1)^2 quadrilaterals with texture coordinates,
// face references built, in one model.
inline CModel GridModel(int side) {
  CModel m;
  m.vertices.reserve(static_cast<std::size_t>(side) * side);
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) m.vertices.emplace_back(static_cast<float>(x), 0.0f, static_cast<float>(z));
  m.faces.reserve(static_cast<std::size_t>(side - 1) * (side - 1));
  for (int z = 0; z + 1 < side; ++z) {
    for (int x = 0; x + 1 < side; ++x) {
      CFace f;
      const int i = z * side + x;
      f.indices = {i, i + side, i + side + 1, i + 1};
      f.uvs = {CUV(0, 0), CUV(0, 1), CUV(1, 1), CUV(1, 0)};
      m.faces.push_back(f);
    }
  }
  m.RebuildFaceRefs();
  return m;
}

inline CMeshwright GridScene(int side) {
  CMeshwright s;
  s.ResetScene();
  s.models[0] = GridModel(side);
  s.materials.emplace_back(0);
  return s;
}

}  // namespace mw::bench
