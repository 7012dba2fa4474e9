// The stand-in drawn while the camera moves: what it keeps of the models it stands for.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "scene/stand_in.h"

namespace mw {
namespace {

// A side x side grid in the XZ plane with gentle hills; faces left of `split` (in x) take
// material 0, the others material 1. Texture coordinates: none, continuous over the grid, or a
// whole picture on every face (every edge then a seam).
enum class Uvs { kNone, kContinuous, kTiled };
CModel HillGrid(int side, int split, Uvs uvs) {
  CModel m;
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x)
      m.vertices.emplace_back(static_cast<float>(x), 3.0f * std::sin(x / 7.0f) * std::cos(z / 11.0f),
                              static_cast<float>(z));
  for (int z = 0; z + 1 < side; ++z) {
    for (int x = 0; x + 1 < side; ++x) {
      CFace f;
      const int i = z * side + x;
      f.indices = {i, i + side, i + side + 1, i + 1};
      f.material = x < split ? 0 : 1;
      const float s = 1.0f / static_cast<float>(side);
      if (uvs == Uvs::kContinuous)
        f.uvs = {CUV(x * s, z * s), CUV(x * s, (z + 1) * s), CUV((x + 1) * s, (z + 1) * s), CUV((x + 1) * s, z * s)};
      if (uvs == Uvs::kTiled) f.uvs = {CUV(0, 0), CUV(0, 1), CUV(1, 1), CUV(1, 0)};
      m.faces.push_back(f);
    }
  }
  m.RebuildFaceRefs();
  return m;
}

CMeshwright SceneOf(CModel model, bool textured) {
  CMeshwright s;
  s.ResetScene();
  s.models[0] = std::move(model);
  s.materials.emplace_back(0);
  s.materials.emplace_back(1);
  if (textured) s.materials[1].texture = "tile.png";
  s.ComputeNormals();
  return s;
}

// Total length of the edges only one triangle has, edges known by their ends' positions: the
// outline of the surface, and of any gap opened inside it.
double OutlineLength(const CModel& m) {
  using Point = std::tuple<float, float, float>;
  std::map<std::pair<Point, Point>, int> uses;
  for (const CFace& f : m.faces) {
    const std::size_t n = f.indices.size();
    for (std::size_t k = 0; k < n; ++k) {
      const CVector& a = m.vertices[static_cast<std::size_t>(f.indices[k])].position;
      const CVector& b = m.vertices[static_cast<std::size_t>(f.indices[(k + 1) % n])].position;
      Point pa{a.x, a.y, a.z}, pb{b.x, b.y, b.z};
      ++uses[pa < pb ? std::make_pair(pa, pb) : std::make_pair(pb, pa)];
    }
  }
  double length = 0.0;
  for (const auto& [edge, count] : uses) {
    if (count != 1) continue;
    const auto& [a, b] = edge;
    length += std::hypot(std::get<0>(a) - std::get<0>(b), std::get<1>(a) - std::get<1>(b),
                         std::get<2>(a) - std::get<2>(b));
  }
  return length;
}

struct GridCase {
  const char* name;
  int split;      // faces left of it take material 0
  Uvs uvs;        // on material 1
  bool outline;   // the outline is kept exactly
};

TEST(StandIn, KeepsTheOutlineMaterialsAndSidesOfEveryGroup) {
  constexpr int kSide = 101;
  const GridCase cases[] = {
      {"one material", kSide, Uvs::kNone, true},
      {"two materials side by side", 40, Uvs::kNone, true},
      {"a continuous texture", 40, Uvs::kContinuous, true},
      // Every edge a seam: the group is gathered by place, so its outline may move a cell.
      {"a picture on every face", 0, Uvs::kTiled, false},
  };
  for (const GridCase& c : cases) {
    SCOPED_TRACE(c.name);
    const bool textured = c.uvs != Uvs::kNone;
    const CMeshwright scene = SceneOf(HillGrid(kSide, c.split, c.uvs), textured);
    const StandInSource source = TakeStandInSource(scene);
    ASSERT_EQ(source.triangles, 2u * (kSide - 1) * (kSide - 1));
    StandInLimits limits;
    limits.targetTriangles = 2000;
    limits.relativeError = 1.0f;
    const StandIn standIn = BuildStandIn(source, limits);
    ASSERT_EQ(standIn.models.size(), 1u);
    const CModel& m = standIn.models[0];
    EXPECT_EQ(standIn.triangles, m.faces.size());
    EXPECT_LE(m.faces.size(), 2100u);
    EXPECT_GE(m.faces.size(), 1000u);
    std::set<std::int32_t> materials;
    for (const CFace& f : m.faces) {
      ASSERT_EQ(f.indices.size(), 3u);
      for (std::int32_t i : f.indices) ASSERT_TRUE(m.HasVertex(i));
      materials.insert(f.material);
      // Coordinates exactly where the material has a texture, and only values the source has.
      const bool hasUV = textured && f.material == 1;
      ASSERT_EQ(f.uvs.size(), hasUV ? 3u : 0u);
      for (std::size_t k = 0; k < f.uvs.size(); ++k) {
        const CUV& uv = f.uvs[k];
        if (c.uvs == Uvs::kTiled) {
          EXPECT_TRUE((uv.u == 0 || uv.u == 1) && (uv.v == 0 || uv.v == 1));
        }
        if (c.uvs == Uvs::kContinuous) {
          // Continuous coordinates follow the vertex they belong to.
          const CVector& p = m.vertices[static_cast<std::size_t>(f.indices[k])].position;
          EXPECT_NEAR(uv.u, p.x / kSide, 1e-6);
          EXPECT_NEAR(uv.v, p.z / kSide, 1e-6);
        }
      }
      // The lit side stays up, as the hills' faces show it (a sliver standing on the kept outline
      // may face sideways), and every vertex has a normal on that side. Gathering by place
      // alone may turn a triangle over: that case is only checked for what it keeps.
      if (!c.outline) continue;
      EXPECT_GE(f.normal.y, 0.0f);
      for (std::int32_t i : f.indices) {
        const CVector& n = m.vertices[static_cast<std::size_t>(i)].normal;
        EXPECT_GE(n.y, 0.0f);
        EXPECT_GT(std::abs(n.x) + std::abs(n.y) + std::abs(n.z), 0.0f);
      }
    }
    EXPECT_EQ(materials, (c.split == 0 ? std::set<std::int32_t>{1}
                                       : c.split >= kSide ? std::set<std::int32_t>{0} : std::set<std::int32_t>{0, 1}));
    ASSERT_GT(scene.models[0].faces[0].normal.y, 0.0f) << "the source's own side";
    if (c.outline) {
      EXPECT_NEAR(OutlineLength(m), OutlineLength(scene.models[0]), 1e-3);
    }
  }
}

TEST(StandIn, BelowTheTargetEveryVisibleTriangleIsKeptAndNothingElse) {
  CMeshwright scene = SceneOf(HillGrid(5, 5, Uvs::kNone), false);
  CModel& m = scene.models[0];
  m.faces[0].hidden = 1;
  CFace line;
  line.indices = {0, 1};
  m.faces.push_back(line);
  CFace hexagon;
  hexagon.indices = {0, 1, 2, 7, 6, 5};
  m.faces.push_back(hexagon);
  CFace unknown;  // a material the list does not have draws nothing
  unknown.indices = {0, 1, 6};
  unknown.material = 9;
  m.faces.push_back(unknown);
  CModel hidden = HillGrid(3, 3, Uvs::kNone);
  hidden.state = kStateHidden;
  scene.models.insert(scene.models.begin(), hidden);
  scene.models.push_back(HillGrid(2, 2, Uvs::kNone));
  scene.ComputeNormals();

  EXPECT_EQ(VisibleFaceCount(scene), 15u + 3u + 1u);
  const StandInSource source = TakeStandInSource(scene);
  EXPECT_EQ(source.triangles, 15u * 2 + 4 + 2);
  const StandIn standIn = BuildStandIn(source, StandInLimits{});
  ASSERT_EQ(standIn.models.size(), 3u);
  EXPECT_TRUE(standIn.models[0].faces.empty()) << "a hidden model keeps its place, empty";
  EXPECT_EQ(standIn.models[1].faces.size(), 15u * 2 + 4);
  EXPECT_EQ(standIn.models[2].faces.size(), 2u);
  EXPECT_EQ(standIn.triangles, 15u * 2 + 4 + 2);
  // Vertices are shared between the triangles, not copied for each.
  EXPECT_EQ(standIn.models[1].vertices.size(), 25u);
}

TEST(StandIn, ACancelledBuildGivesNothing) {
  const CMeshwright scene = SceneOf(HillGrid(30, 10, Uvs::kNone), false);
  const std::atomic<bool> cancel(true);
  StandInLimits limits;
  limits.targetTriangles = 100;
  const StandIn standIn = BuildStandIn(TakeStandInSource(scene), limits, &cancel);
  EXPECT_TRUE(standIn.models.empty());
  EXPECT_EQ(standIn.triangles, 0u);
}

}  // namespace
}  // namespace mw
