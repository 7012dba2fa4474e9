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

// The same vertices and area as GridModel(side) (side odd), in concave hexagons: each pair of
// neighbouring quadrilaterals in a row becomes one face of six corners, and the vertices on the
// odd columns move a third of a unit along z, so every hexagon is a chevron whose bottom middle
// corner is reflex. Rows still tile exactly.
inline CModel HexagonGridModel(int side) {
  CModel m = GridModel(side);
  m.faces.clear();
  for (CVertex& v : m.vertices)
    if (static_cast<int>(v.position.x) % 2 == 1) v.position.z += 1.0f / 3.0f;
  for (int z = 0; z + 1 < side; ++z) {
    for (int x = 0; x + 2 < side; x += 2) {
      CFace f;
      const int i = z * side + x;
      f.indices = {i, i + side, i + side + 1, i + side + 2, i + 2, i + 1};
      f.uvs = {CUV(0, 0), CUV(0, 1), CUV(0.5f, 1), CUV(1, 1), CUV(1, 0), CUV(0.5f, 0)};
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
