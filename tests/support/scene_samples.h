// Scene content shared by the test programs of the scene layer and above.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "scene/meshwright.h"

namespace mw::test {

// Adds a grid of side x side vertices in the XZ plane, `stepX` and `stepZ` apart, joined by
// (side-1)^2 quadrilaterals with texture coordinates, to `m` (empty), and builds its face references.
inline void FillGrid(CModel& m, int side, float stepX = 1.0f, float stepZ = 1.0f) {
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) m.vertices.emplace_back(x * stepX, 0.0f, z * stepZ);
  for (int z = 0; z + 1 < side; ++z)
    for (int x = 0; x + 1 < side; ++x) {
      CFace f;
      const int i = z * side + x;
      f.indices = {i, i + side, i + side + 1, i + 1};
      f.uvs = {CUV(0, 0), CUV(0, 1), CUV(1, 1), CUV(1, 0)};
      m.faces.push_back(f);
    }
  m.RebuildFaceRefs();
}

// Every field of a material that documents and the clipboard carry, the identifier aside.
inline void ExpectSameMaterialFields(const CMaterial& a, const CMaterial& b) {
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(0, std::memcmp(a.color, b.color, sizeof a.color));
  EXPECT_EQ(a.diffuse, b.diffuse);
  EXPECT_EQ(a.ambient, b.ambient);
  EXPECT_EQ(a.emissive, b.emissive);
  EXPECT_EQ(a.specular, b.specular);
  EXPECT_EQ(a.power, b.power);
  EXPECT_EQ(a.texture, b.texture);
  EXPECT_EQ(a.alphaPlane, b.alphaPlane);
  EXPECT_EQ(a.bump, b.bump);
}

}  // namespace mw::test
