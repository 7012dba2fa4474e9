// The edge index against a brute-force map of sides, and loops and rings on shapes whose answer is
// known: a grid, a torus, a cube and quads around a hexagon.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "scene/edge_index.h"
#include "scene/edge_loops.h"
#include "tests/support/scene_samples.h"

namespace mw {
namespace {

CFace Face(std::initializer_list<std::int32_t> corners) {
  CFace f;
  for (std::int32_t i : corners) f.AddIndex(i);
  return f;
}

// Faces of 1 to 6 corners over a few vertices, with repeated corners and corners naming no vertex.
CModel RandomMesh(std::mt19937& rng) {
  CModel m;
  const int vertices = 1 + static_cast<int>(rng() % 12);
  for (int i = 0; i < vertices; ++i) m.vertices.emplace_back(static_cast<float>(i), 0.0f, 0.0f);
  const int faces = static_cast<int>(rng() % 20);
  for (int j = 0; j < faces; ++j) {
    CFace f;
    const int n = 1 + static_cast<int>(rng() % 6);
    for (int k = 0; k < n; ++k)
      f.AddIndex(rng() % 10 == 0 ? static_cast<std::int32_t>(rng() % 3) - 2 + (rng() % 2 ? vertices + 2 : 0)
                                 : static_cast<std::int32_t>(rng() % static_cast<unsigned>(vertices)));
    m.faces.push_back(f);
  }
  return m;
}

TEST(EdgeIndex, MatchesEverySideOfRandomMeshesCountedByHand) {
  std::mt19937 rng(27);
  for (int seed = 0; seed < 400; ++seed) {
    SCOPED_TRACE(seed);
    const CModel m = RandomMesh(rng);
    const EdgeIndex ix(m);
    const auto nv = static_cast<std::int32_t>(m.vertices.size());
    std::map<std::pair<std::int32_t, std::int32_t>, std::vector<std::int32_t>> sides;
    for (std::int32_t f = 0; f < static_cast<std::int32_t>(m.faces.size()); ++f) {
      const auto& c = m.faces[static_cast<std::size_t>(f)].indices;
      const std::size_t n = c.size();
      for (std::size_t k = 0; k < (n == 2 ? 1 : n) && n >= 2; ++k) {
        const std::int32_t a = c[k], b = c[(k + 1) % n];
        const bool edge = a >= 0 && b >= 0 && a < nv && b < nv && a != b;
        const std::int32_t e = ix.SideEdge(f, k);
        if (!edge) {
          EXPECT_EQ(e, EdgeIndex::kNone);
          continue;
        }
        sides[{std::min(a, b), std::max(a, b)}].push_back(f);
        ASSERT_NE(e, EdgeIndex::kNone);
        EXPECT_EQ(ix.KeyOf(e), EdgeKey(a, b));
        EXPECT_EQ(ix.SideOf(f, e) <= static_cast<int>(k), true);
      }
      if (n == 2) {
        EXPECT_EQ(ix.SideEdge(f, 1), EdgeIndex::kNone);  // a line's way back is no second edge
      }
    }
    ASSERT_EQ(ix.EdgeCount(), sides.size());
    std::vector<std::uint32_t> valence(m.vertices.size(), 0);
    std::int32_t e = 0;
    for (const auto& [ends, faces] : sides) {  // the map's order is the index's numbering
      EXPECT_EQ(ix.Lower(e), ends.first);
      EXPECT_EQ(ix.Upper(e), ends.second);
      EXPECT_EQ(std::vector<std::int32_t>(ix.FacesBegin(e), ix.FacesEnd(e)), faces);
      EXPECT_EQ(ix.Find(ends.second, ends.first), e);
      ++valence[static_cast<std::size_t>(ends.first)], ++valence[static_cast<std::size_t>(ends.second)];
      ++e;
    }
    for (std::int32_t v = 0; v < nv; ++v) {
      EXPECT_EQ(ix.Valence(v), valence[static_cast<std::size_t>(v)]);
      EXPECT_EQ(ix.Find(v, v), EdgeIndex::kNone);
    }
    EXPECT_EQ(ix.Find(-1, 0), EdgeIndex::kNone);
    EXPECT_EQ(ix.Find(0, nv), EdgeIndex::kNone);
  }
}

TEST(EdgeIndex, CacheRebuildsOnlyWhenTheCornersOrVertexCountChange) {
  CModel m;
  test::FillGrid(m, 4);
  EdgeIndexCache cache;
  const auto first = cache.Get(m);
  EXPECT_EQ(first->EdgeCount(), 24u);
  m.vertices[3].position.x = 9.0f;  // moving a vertex keeps the topology
  m.vertices[2].selected = 1;
  EXPECT_EQ(cache.Get(m), first);
  EXPECT_EQ(cache.Builds(), 1u);
  std::swap(m.faces[0].indices[1], m.faces[0].indices[3]);  // the same corners in another order
  EXPECT_NE(cache.Get(m), first);
  m.vertices.emplace_back(0.0f, 0.0f, 0.0f);  // a loose vertex more
  const auto third = cache.Get(m);
  EXPECT_EQ(third->VertexCount(), 17u);
  EXPECT_EQ(cache.Builds(), 3u);
  EdgeIndexCache copy = cache;  // a copy starts empty
  EXPECT_EQ(copy.Builds(), 0u);
}

// A torus of `around` x `along` quads, wrapping both ways.
CModel Torus(int around, int along) {
  CModel m;
  for (int j = 0; j < along; ++j)
    for (int i = 0; i < around; ++i) m.vertices.emplace_back(static_cast<float>(i), static_cast<float>(j), 0.0f);
  for (int j = 0; j < along; ++j)
    for (int i = 0; i < around; ++i) {
      const int i1 = (i + 1) % around, j1 = (j + 1) % along;
      m.faces.push_back(Face({j * around + i, j1 * around + i, j1 * around + i1, j * around + i1}));
    }
  return m;
}

CModel Cube() {
  CModel m;
  for (int i = 0; i < 8; ++i) m.vertices.emplace_back(i & 1 ? 1.0f : 0.0f, i & 2 ? 1.0f : 0.0f, i & 4 ? 1.0f : 0.0f);
  for (auto f : {Face({0, 1, 3, 2}), Face({4, 6, 7, 5}), Face({0, 4, 5, 1}), Face({2, 3, 7, 6}), Face({0, 2, 6, 4}),
                 Face({1, 5, 7, 3})})
    m.faces.push_back(f);
  return m;
}

// A hexagon (face 0, vertices 0-5) in a ring of six quads out to vertices 6-11.
CModel HexagonInQuads() {
  CModel m;
  for (int i = 0; i < 12; ++i) m.vertices.emplace_back(static_cast<float>(i), 0.0f, 0.0f);
  m.faces.push_back(Face({0, 1, 2, 3, 4, 5}));
  for (int i = 0; i < 6; ++i) m.faces.push_back(Face({(i + 1) % 6, i, 6 + i, 6 + (i + 1) % 6}));
  return m;
}

std::vector<std::uint64_t> Keys(const EdgeIndex& ix, const std::vector<std::int32_t>& edges) {
  std::vector<std::uint64_t> out;
  for (std::int32_t e : edges) out.push_back(ix.KeyOf(e));
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::uint64_t> Keys(std::initializer_list<std::pair<int, int>> pairs) {
  std::vector<std::uint64_t> out;
  for (auto [a, b] : pairs) out.push_back(EdgeKey(a, b));
  std::sort(out.begin(), out.end());
  return out;
}

TEST(EdgeLoops, LoopsAndRingsOnKnownShapes) {
  CModel grid;
  test::FillGrid(grid, 5);  // vertex z * 5 + x
  const CModel torus = Torus(6, 4), cube = Cube(), hexagon = HexagonInQuads();
  struct Case {
    const char* what;
    const CModel* m;
    std::pair<int, int> start;
    bool ring;
    std::vector<std::uint64_t> expected;
  };
  const Case cases[] = {
      {"grid: an inner row runs border to border", &grid, {11, 12}, false, Keys({{10, 11}, {11, 12}, {12, 13}, {13, 14}})},
      {"grid: a border row stops at the corners", &grid, {1, 2}, false, Keys({{0, 1}, {1, 2}, {2, 3}, {3, 4}})},
      {"grid: a ring crosses every quad of its column", &grid, {11, 12}, true,
       Keys({{1, 2}, {6, 7}, {11, 12}, {16, 17}, {21, 22}})},
      {"torus: loops close", &torus, {0, 1}, false, Keys({{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 0}})},
      {"torus: rings close", &torus, {0, 1}, true, Keys({{0, 1}, {6, 7}, {12, 13}, {18, 19}})},
      {"cube: three edges at every corner stop a loop at once", &cube, {0, 1}, false, Keys({{0, 1}})},
      {"cube: a ring goes round", &cube, {0, 1}, true, Keys({{0, 1}, {2, 3}, {6, 7}, {4, 5}})},
      {"hexagon: a spoke's loop stops at both poles", &hexagon, {0, 6}, false, Keys({{0, 6}})},
      {"hexagon: the spokes' ring goes round it", &hexagon, {0, 6}, true,
       Keys({{0, 6}, {1, 7}, {2, 8}, {3, 9}, {4, 10}, {5, 11}})},
      {"hexagon: the outer border closes", &hexagon, {6, 7}, false,
       Keys({{6, 7}, {7, 8}, {8, 9}, {9, 10}, {10, 11}, {11, 6}})},
      {"hexagon: a ring stops at the n-gon without its sides", &hexagon, {0, 1}, true, Keys({{0, 1}, {6, 7}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const EdgeIndex ix(*c.m);
    const std::int32_t e = ix.Find(c.start.first, c.start.second);
    ASSERT_NE(e, EdgeIndex::kNone);
    const std::vector<std::int32_t> got = c.ring ? EdgeRing(*c.m, ix, e) : EdgeLoop(*c.m, ix, e);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front(), e);
    EXPECT_EQ(Keys(ix, got), c.expected);
    EXPECT_EQ(Keys(ix, got).size(), got.size()) << "an edge came twice";
  }
  // The faces a ring crosses, and walks that leave through a hidden face.
  const EdgeIndex ix(grid);
  EXPECT_EQ(FaceLoop(grid, ix, ix.Find(11, 12)).size(), 4u);
  grid.faces[9].hidden = 1;  // the quad 11-16-17-12 (row 2, column 1)
  EXPECT_EQ(Keys(ix, EdgeRing(grid, ix, ix.Find(11, 12))), Keys({{1, 2}, {6, 7}, {11, 12}}));
  EXPECT_TRUE(EdgeLoop(grid, ix, -1).empty());
  EXPECT_TRUE(EdgeRing(grid, ix, static_cast<std::int32_t>(ix.EdgeCount())).empty());
}

}  // namespace
}  // namespace mw
