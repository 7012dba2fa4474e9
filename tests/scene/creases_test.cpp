// Creases name their edge by vertex numbers: every verb that renumbers vertices or takes edges away
// must leave each crease on the same geometric edge, or drop it.
#include "scene/creases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <tuple>

#include "scene/edge_index.h"
#include "scene/mesh_reduce.h"
#include "scene/mesh_tools.h"
#include "scene/subdivision.h"

namespace mw {
namespace {

using Ends = std::tuple<float, float, float, float, float, float>;

// A crease by where its ends are, whichever way round.
Ends Where(const CModel& m, std::uint64_t key) {
  CVector a = m.vertices[key >> 32].position, b = m.vertices[key & 0xFFFFFFFFu].position;
  if (std::tie(b.x, b.y, b.z) < std::tie(a.x, a.y, a.z)) std::swap(a, b);
  return {a.x, a.y, a.z, b.x, b.y, b.z};
}

std::multiset<Ends> CreaseEnds(const CModel& m) {
  std::multiset<Ends> out;
  for (const EdgeCrease& c : m.creases) out.insert(Where(m, c.edge));
  return out;
}

// A 6 x 6 grid of quads, each with its own four vertices (the first half shuffled among the
// rest), so welding has every seam to close, with creases on a third of the face edges.
CModel CreasedLooseGrid(std::mt19937& rng) {
  CModel m;
  std::vector<CVector> corners;
  for (int z = 0; z < 6; ++z)
    for (int x = 0; x < 6; ++x) {
      const float fx = static_cast<float>(x), fz = static_cast<float>(z);
      corners.insert(corners.end(), {CVector(fx, 0, fz), CVector(fx, 0, fz + 1), CVector(fx + 1, 0, fz + 1),
                                     CVector(fx + 1, 0, fz)});
    }
  std::vector<std::int32_t> order(corners.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::int32_t>(i);
  std::shuffle(order.begin(), order.end(), rng);
  m.vertices.resize(corners.size());
  for (std::size_t i = 0; i < corners.size(); ++i) m.vertices[static_cast<std::size_t>(order[i])].position = corners[i];
  for (std::size_t f = 0; f < corners.size() / 4; ++f) {
    CFace face;
    for (std::size_t k = 0; k < 4; ++k) face.indices.push_back(order[4 * f + k]);
    m.faces.push_back(face);
  }
  for (const CFace& f : m.faces)
    for (std::size_t k = 0; k < 4; ++k)
      if (rng() % 3 == 0) SetEdgeSharpness(m, f.indices[k], f.indices[(k + 1) % 4], 1.0f + static_cast<float>(rng() % 9));
  m.RebuildFaceRefs();
  return m;
}

void SelectSome(CModel& m, std::mt19937& rng, unsigned inTen) {
  for (CVertex& v : m.vertices) v.selected = rng() % 10 < inTen ? 1 : 0;
  m.UpdateFaceSelection();
}

TEST(Creases, RandomWeldsAndDeletionsKeepEveryCreaseOnItsEdge) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    CModel m = CreasedLooseGrid(rng);
    const std::multiset<Ends> original = CreaseEnds(m);
    for (int step = 0; step < 6; ++step) {
      const unsigned kind = rng() % 4;
      const std::multiset<Ends> before = CreaseEnds(m);
      if (kind == 0) {
        SelectSome(m, rng, 7);
        WeldVertices(m, 1e-3, true, 0);
      } else if (kind == 1) {
        SelectSome(m, rng, 4);
        m.DeleteSelectedFaces();
      } else if (kind == 2) {
        SelectSome(m, rng, 2);
        DeleteElements(m, EdgeIndex(m), DeleteWhat::kVertices, false, 0);
      } else {
        SelectSome(m, rng, 5);
        Dissolve(m, EdgeIndex(m), DissolveWhat::kEdges, false, 0);
      }
      const EdgeIndex ix(m);
      for (const EdgeCrease& c : m.creases) {
        const auto a = static_cast<std::int32_t>(c.edge >> 32), b = static_cast<std::int32_t>(c.edge & 0xFFFFFFFFu);
        ASSERT_TRUE(m.HasVertex(a) && m.HasVertex(b)) << seed << " " << step;
        EXPECT_NE(ix.Find(a, b), EdgeIndex::kNone) << "seed " << seed << " step " << step << " kind " << kind;
        EXPECT_TRUE(original.count(Where(m, c.edge))) << "seed " << seed << " step " << step << " kind " << kind;
      }
      EXPECT_TRUE(std::is_sorted(m.creases.begin(), m.creases.end(),
                                 [](const EdgeCrease& x, const EdgeCrease& y) { return x.edge <= y.edge; }));
      // Welding coincident corners keeps every edge: no crease may be lost, only twins merged.
      if (kind == 0) {
        const std::multiset<Ends> after = CreaseEnds(m);
        EXPECT_EQ(std::set<Ends>(before.begin(), before.end()), std::set<Ends>(after.begin(), after.end()))
            << "seed " << seed << " step " << step;
      }
    }
  }
}

TEST(Creases, TwinsMergedKeepTheSharperAndCornersFollowTheirVertex) {
  CModel m;
  for (int i = 0; i < 4; ++i) m.vertices.emplace_back(static_cast<float>(i), 0.0f, 0.0f);
  CFace f;
  f.indices = {0, 1, 2};
  m.faces.push_back(f);
  SetEdgeSharpness(m, 0, 1, 2.0f);
  SetEdgeSharpness(m, 0, 3, 5.0f);  // vertex 3 becomes 1: the same edge, sharper
  SetEdgeSharpness(m, 1, 3, 4.0f);  // ends meet: gone
  SetVertexSharpness(m, 3, 1.5f);
  SetVertexSharpness(m, 2, 3.0f);
  const std::vector<std::int32_t> newIndex = {0, 1, 2, 1};
  RenumberCreases(m, newIndex);
  ASSERT_EQ(m.creases.size(), 1u);
  EXPECT_EQ(EdgeSharpness(m, 0, 1), 5.0f);
  ASSERT_EQ(m.sharpVertices.size(), 2u);
  EXPECT_EQ(m.sharpVertices[0].vertex, 1);
  EXPECT_EQ(m.sharpVertices[1].vertex, 2);
}

}  // namespace
}  // namespace mw
