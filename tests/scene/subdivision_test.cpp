// Subdivision surfaces through OpenSubdiv, checked against the schemes' published results: the
// counts and the face, edge and vertex points of a cube refined once, a flat grid that stays flat,
// sharp edges that stay on the cage, texture corners that stay put.
#include "scene/subdivision.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "scene/edge_index.h"
#include "scene/meshwright.h"
#include "tests/support/scene_samples.h"

namespace mw {
namespace {

// A cube from -1 to 1 as the box command builds it (outward faces, default texture coordinates).
CModel Cube(std::int32_t scheme = kSubdivisionCatmullClark, std::int32_t level = 1) {
  CMeshwright s;
  s.ResetScene();
  EXPECT_TRUE(s.AddBox(CVector(-1, -1, -1), CVector(1, 1, 1)));
  CModel m = s.models[0];
  m.ComputeNormals(1);
  m.subdivisionScheme = scheme;
  m.subdivisionLevel = level;
  return m;
}

CModel Refined(const CModel& m, bool limit = true) {
  Subdivider s;
  CModel out;
  EXPECT_TRUE(s.Build(m, out));
  s.Evaluate(m, out, limit);
  return out;
}

bool Has(const CModel& m, CVector p, float tol = 1e-5f) {
  return std::any_of(m.vertices.begin(), m.vertices.end(), [&](const CVertex& v) {
    return std::fabs(v.position.x - p.x) < tol && std::fabs(v.position.y - p.y) < tol &&
           std::fabs(v.position.z - p.z) < tol;
  });
}

float MaxAbs(const CVector& p) { return std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)}); }

TEST(Subdivision, CubeOnceGivesTheSchemesCountsAndPoints) {
  const CModel cube = Cube();
  const CModel once = Refined(cube, false);
  EXPECT_EQ(once.vertices.size(), 26u);
  ASSERT_EQ(once.faces.size(), 24u);
  for (const CFace& f : once.faces) EXPECT_EQ(f.indices.size(), 4u);
  // Face points are the face centres, edge points the mean of the ends and the two face points,
  // vertex points (Q + 2R + (n - 3)S) / n with n = 3: 5/9 along each axis.
  for (int axis = 0; axis < 3; ++axis)
    for (float s : {-1.0f, 1.0f}) {
      CVector face;
      (&face.x)[axis] = s;
      EXPECT_TRUE(Has(once, face)) << axis << s;
      CVector edge(0.75f * s, 0.75f * s, 0.75f * s);
      (&edge.x)[axis] = 0.0f;
      EXPECT_TRUE(Has(once, edge)) << axis << s;
    }
  for (int corner = 0; corner < 8; ++corner)
    EXPECT_TRUE(Has(once, CVector(corner & 1 ? 5 / 9.f : -5 / 9.f, corner & 2 ? 5 / 9.f : -5 / 9.f,
                                  corner & 4 ? 5 / 9.f : -5 / 9.f)));
  // The material and the texture coordinates go with every refined face.
  for (const CFace& f : once.faces) {
    EXPECT_EQ(f.material, cube.faces[0].material);
    EXPECT_EQ(f.uvs.size(), 4u);
  }
}

TEST(Subdivision, LimitSurfaceOfACubeIsASymmetricBallWithTheCagesNormals) {
  // The side the cage's normals point to (the program's rule makes them point inwards for a box
  // seen from outside); the surface's must point the same way.
  const CModel cage = Cube();
  double side = 0;
  for (const CFace& f : cage.faces) {
    const CVector& p = cage.vertices[f.indices[0]].position;
    side += f.normal.x * p.x + f.normal.y * p.y + f.normal.z * p.z;
  }
  ASSERT_NE(side, 0.0);
  side = side > 0 ? 1.0 : -1.0;
  for (std::int32_t scheme : {kSubdivisionCatmullClark, kSubdivisionLoop}) {
    for (std::int32_t level = 1; level <= 4; ++level) {
      SCOPED_TRACE(testing::Message() << "scheme " << scheme << " level " << level);
      const CModel cube = Cube(scheme, level);
      const CModel ball = Refined(cube);
      if (scheme == kSubdivisionCatmullClark) {
        EXPECT_EQ(ball.faces.size(), 6u << (2 * level));
      } else {
        EXPECT_EQ(ball.faces.size(), 12u << (2 * level));
        for (const CFace& f : ball.faces) EXPECT_EQ(f.indices.size(), 3u);
      }
      double lo = 1e9, hi = 0;
      for (const CVertex& v : ball.vertices) {
        const CVector& p = v.position;
        const double r = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
        lo = std::min(lo, r), hi = std::max(hi, r);
        // Mirrored through the centre, a point of the surface is a point of the surface.
        if (scheme == kSubdivisionCatmullClark) {
          EXPECT_TRUE(Has(ball, CVector(-p.x, -p.y, -p.z), 1e-4f));
        }
        // Normals: unit length, and nearly along the radius, on the cage's side.
        const CVector& n = v.normal;
        EXPECT_NEAR(std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z), 1.0, 1e-4);
        EXPECT_GT(side * (double(n.x) * p.x + double(n.y) * p.y + double(n.z) * p.z), 0.3 * r);
      }
          // Inside the cube, outside its inscribed ball's shrunken copy: a rounded cube, not the cage.
      EXPECT_LT(hi, 1.0);
      EXPECT_GT(lo, 0.4);
    }
  }
}

TEST(Subdivision, FlatGridStaysFlatAndTextureCornersStay) {
  CModel grid;
  test::FillGrid(grid, 5, 2.0f, 3.0f);
  grid.subdivisionScheme = kSubdivisionCatmullClark;
  grid.subdivisionLevel = 3;
  const CModel out = Refined(grid);
  EXPECT_EQ(out.faces.size(), 16u * 64u);
  float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f;
  for (const CVertex& v : out.vertices) {
    EXPECT_EQ(v.position.y, 0.0f);
    EXPECT_NEAR(std::fabs(v.normal.y), 1.0f, 1e-6f);
    minX = std::min(minX, v.position.x), maxX = std::max(maxX, v.position.x);
    minZ = std::min(minZ, v.position.z), maxZ = std::max(maxZ, v.position.z);
  }
  // The border follows the boundary rules: its corners stay where the cage's are.
  EXPECT_FLOAT_EQ(minX, 0.0f);
  EXPECT_FLOAT_EQ(maxX, 8.0f);
  EXPECT_FLOAT_EQ(minZ, 0.0f);
  EXPECT_FLOAT_EQ(maxZ, 12.0f);
  // Every cage face is an island of its own (0..1); linear corners keep each island spanning it.
  float lo = 1, hi = 0;
  for (const CFace& f : out.faces) {
    ASSERT_EQ(f.uvs.size(), 4u);
    for (const CUV& uv : f.uvs) lo = std::min({lo, uv.u, uv.v}), hi = std::max({hi, uv.u, uv.v});
  }
  EXPECT_EQ(lo, 0.0f);
  EXPECT_EQ(hi, 1.0f);
}

TEST(Subdivision, SharpEdgesStayOnTheCageAndSharpnessRoundsLess) {
  // Every edge of the cube infinitely sharp: the surface is the cube itself.
  CModel sharp = Cube(kSubdivisionCatmullClark, 2);
  const EdgeIndex ix(sharp);
  for (std::size_t e = 0; e < ix.EdgeCount(); ++e) {
    const auto ei = static_cast<std::int32_t>(e);
    SetEdgeSharpness(sharp, ix.Lower(ei), ix.Upper(ei), 10.0f);
  }
  for (const CVertex& v : Refined(sharp).vertices) EXPECT_NEAR(MaxAbs(v.position), 1.0f, 1e-5f);

  // One edge (x = y = 1) creased harder and harder: the surface's points near it come closer to it.
  CModel cube = Cube(kSubdivisionCatmullClark, 2);
  std::int32_t a = -1, b = -1;
  for (std::int32_t i = 0; i < 8; ++i) {
    const CVector& p = cube.vertices[i].position;
    if (p.x > 0 && p.y > 0) (a < 0 ? a : b) = i;
  }
  ASSERT_GE(b, 0);
  // The distance from the creased edge's line to the nearest point of the surface.
  const auto gap = [&cube]() {
    double g = 1e9;
    for (const CVertex& v : Refined(cube).vertices)
      if (std::fabs(v.position.z) < 0.5f) g = std::min(g, std::hypot(1.0 - v.position.x, 1.0 - v.position.y));
    return g;
  };
  double previous = gap();
  for (float s : {0.5f, 1.0f, 2.0f, 10.0f}) {
    SetEdgeSharpness(cube, a, b, s);
    EXPECT_FLOAT_EQ(EdgeSharpness(cube, b, a), s);
    const double now = gap();
    if (s <= 1.0f) {
      EXPECT_LT(now, previous) << s;
    } else {
      EXPECT_LE(now, previous) << s;
    }
    previous = now;
  }
  // Its ends smooth, even an infinitely sharp edge rounds off towards them (a crease curve
  // (p0 + 4 p1 + p2) / 6 through the ends' smooth points); with its ends made corners it is the
  // cage's edge itself.
  EXPECT_GT(previous, 0.1);
  SetVertexSharpness(cube, a, 10.0f);
  SetVertexSharpness(cube, b, 10.0f);
  EXPECT_LT(gap(), 1e-5);
  EXPECT_EQ(cube.creases.size(), 1u);
  SetEdgeSharpness(cube, a, b, 0.0f);
  EXPECT_TRUE(cube.creases.empty());
  SetEdgeSharpness(cube, a, b, std::nanf(""));
  EXPECT_TRUE(cube.creases.empty());

  // A corner of sharpness 10 keeps its cage position.
  CModel cornered = Cube(kSubdivisionCatmullClark, 2);
  SetVertexSharpness(cornered, 0, 10.0f);
  EXPECT_TRUE(Has(Refined(cornered), cornered.vertices[0].position));
  EXPECT_FALSE(Has(Refined(Cube(kSubdivisionCatmullClark, 2)), cornered.vertices[0].position, 1e-2f));
}

TEST(Subdivision, TopologyIsKeptWhileOnlyPositionsMove) {
  CModel m = Cube(kSubdivisionCatmullClark, 3);
  Subdivider s;
  CModel out;
  ASSERT_TRUE(s.Build(m, out));
  const std::uint64_t key = SubdivisionTopologyKey(m), built = s.Key();
  m.vertices[0].position.x -= 0.5f;
  EXPECT_EQ(SubdivisionTopologyKey(m), key);
  ASSERT_TRUE(s.Build(m, out));
  EXPECT_EQ(s.Key(), built);
  s.Evaluate(m, out);
  const CModel fresh = Refined(m);
  ASSERT_EQ(out.vertices.size(), fresh.vertices.size());
  for (std::size_t i = 0; i < out.vertices.size(); ++i) EXPECT_EQ(out.vertices[i].position, fresh.vertices[i].position);
  // Everything the refined faces are made of changes the key.
  const auto changes = [&](auto&& edit) {
    CModel c = m;
    edit(c);
    return SubdivisionTopologyKey(c) != key;
  };
  EXPECT_TRUE(changes([](CModel& c) { c.subdivisionLevel = 2; }));
  EXPECT_TRUE(changes([](CModel& c) { c.subdivisionScheme = kSubdivisionLoop; }));
  EXPECT_TRUE(changes([](CModel& c) { SetEdgeSharpness(c, 0, 1, 1.0f); }));
  EXPECT_TRUE(changes([](CModel& c) { SetVertexSharpness(c, 2, 1.0f); }));
  EXPECT_TRUE(changes([](CModel& c) { c.faces[1].hidden = 1; }));
  EXPECT_TRUE(changes([](CModel& c) { c.faces[1].material = 7; }));
  EXPECT_TRUE(changes([](CModel& c) { c.faces[1].uvs[2].u = 0.25f; }));
}

TEST(Subdivision, SurfaceCacheDraftsWhileVerticesMoveAndSettlesAtTheFullLevel) {
  for (std::int32_t level : {1, 3}) {
    SCOPED_TRACE(level);
    CModel m = Cube(kSubdivisionCatmullClark, level);
    SurfaceCache cache;
    const std::size_t full = 6u << (2 * level), coarse = level > 1 ? 6u << (2 * (level - 1)) : full;
    cache.BeginFrame();
    ASSERT_NE(cache.Surface(m, 0), nullptr);
    EXPECT_EQ(cache.Surface(m, 0)->faces.size(), full);  // a fresh topology: the full level
    EXPECT_FALSE(cache.DrewDraft());
    for (int step = 1; step <= 3; ++step) {  // a drag
      m.vertices[0].position.x -= 0.1f;
      cache.BeginFrame();
      const CModel* s = cache.Surface(m, 0);
      EXPECT_EQ(s->faces.size(), coarse);
      EXPECT_EQ(cache.DrewDraft(), level > 1);
      EXPECT_EQ(cache.Surface(m, 0, false), s);  // the same frame again, nothing changed
    }
    // At rest: the full level, at the moved positions, as a fresh refinement gives them.
    cache.BeginFrame();
    const CModel* settled = cache.Surface(m, 0);
    EXPECT_FALSE(cache.DrewDraft());
    ASSERT_EQ(settled->faces.size(), full);
    const CModel fresh = Refined(m);
    for (std::size_t i = 0; i < fresh.vertices.size(); ++i)
      ASSERT_EQ(settled->vertices[i].position, fresh.vertices[i].position) << i;
    EXPECT_EQ(cache.Builds(), 1u);
  }
  // Off: no surface, the cage is drawn.
  SurfaceCache cache;
  EXPECT_EQ(cache.Surface(Cube(kSubdivisionNone), 0), nullptr);
}

// A draft is one level coarser, lower still while it would pass 25,000 faces (what software OpenGL
// draws twenty times a second), never below level 1: checked at the limit and one face past it.
TEST(Subdivision, DraftsStayWithinTheirFaceBudget) {
  const auto loose = [](int quads, int triangles, std::int32_t level) {
    CModel m;
    for (int f = 0; f < quads + triangles; ++f) {
      const int n = f < quads ? 4 : 3;
      CFace face;
      for (int k = 0; k < n; ++k) {
        face.indices.push_back(static_cast<std::int32_t>(m.vertices.size()));
        m.vertices.emplace_back(static_cast<float>(f * 3 + (k == 1 || k == 2)), 0.0f, static_cast<float>(k >= 2));
      }
      m.faces.push_back(face);
    }
    m.subdivisionScheme = kSubdivisionCatmullClark;
    m.subdivisionLevel = level;
    return m;
  };
  struct Case {
    int quads, triangles;
    std::int32_t level;
    std::size_t draftFaces;
  };
  // Level 1 has 4 faces a quadrilateral and 3 a triangle; each level after it 4 times as many.
  const Case cases[] = {
      {1561, 2, 3, 25000},  // level 2 exactly at the budget
      {1561, 6, 3, 6262},   // twelve faces past it: down to level 1
      {1561, 6, 2, 6262},   // one below the set level, however large
      {10, 0, 4, 640},      // small: one below
  };
  for (const Case& c : cases) {
    CModel m = loose(c.quads, c.triangles, c.level);
    SurfaceCache cache;
    ASSERT_NE(cache.Surface(m, 0), nullptr);
    m.vertices[0].position.y += 0.5f;
    cache.BeginFrame();
    EXPECT_EQ(cache.Surface(m, 0)->faces.size(), c.draftFaces) << c.quads << " " << c.triangles << " " << c.level;
    EXPECT_TRUE(cache.DrewDraft());
  }
}

TEST(Subdivision, WhatCannotBeRefinedIsLeftOut) {
  CModel m = Cube(kSubdivisionNone);
  Subdivider s;
  CModel out;
  EXPECT_FALSE(s.Build(m, out));
  EXPECT_TRUE(out.faces.empty());
  EXPECT_EQ(SubdividedCopy(m).faces.size(), 6u);  // off: the model as it is
  m.subdivisionScheme = kSubdivisionCatmullClark;
  m.subdivisionLevel = 9;  // clamped to 4
  CFace line, damaged, twice;
  line.indices = {0, 1};
  damaged.indices = {0, 1, 99};
  twice.indices = {0, 1, 1};
  m.faces.push_back(line), m.faces.push_back(damaged), m.faces.push_back(twice);
  m.faces[5].hidden = 1;
  m.RebuildFaceRefs();
  ASSERT_TRUE(s.Build(m, out));
  EXPECT_EQ(out.faces.size(), 5u * 256u);
  // Baking: one plain model, its selection gone, subdivision off, texture coordinates kept.
  m.faces[5].hidden = 0;
  m.vertices[3].selected = 1;
  SetEdgeSharpness(m, 0, 1, 2.0f);
  m.subdivisionLevel = 1;
  const CModel baked = SubdividedCopy(m);
  EXPECT_EQ(baked.faces.size(), 24u);
  EXPECT_EQ(baked.subdivisionScheme, kSubdivisionNone);
  EXPECT_TRUE(baked.creases.empty());
  EXPECT_EQ(baked.name, m.name);
  for (const CVertex& v : baked.vertices) EXPECT_FALSE(v.selected);
  for (const CFace& f : baked.faces) EXPECT_EQ(f.uvs.size(), 4u);
}

}  // namespace
}  // namespace mw
