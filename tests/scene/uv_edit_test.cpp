// The UV window's logic without a window: which corners make one UV vertex, what picking finds,
// and that a transform of some UV vertices touches their corners only and is taken back exactly.
#include "scene/uv_edit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "scene/archive.h"
#include "scene/scene_delta.h"

namespace mw {
namespace {

std::vector<std::uint8_t> Bytes(const CMeshwright& s) {
  std::vector<std::uint8_t> out;
  WriteScene(s, out);
  return out;
}

// An n x n grid of quads on a (n+1)^2 lattice; the UVs follow the lattice except that the faces of
// every column at or right of `cut` get theirs shifted by 2 in u, so the vertices of column `cut`
// carry two UVs (a seam): one per side.
CModel Grid(int n, int cut) {
  CModel m;
  for (int y = 0; y <= n; ++y)
    for (int x = 0; x <= n; ++x) {
      CVertex v;
      v.position = CVector(static_cast<float>(x), static_cast<float>(y), 0.0f);
      v.selected = 1;
      m.vertices.push_back(v);
    }
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      CFace f;
      const int c[4][2] = {{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y + 1}};
      for (const auto& p : c) {
        f.AddIndex(p[1] * (n + 1) + p[0]);
        f.AddUV(CUV(static_cast<float>(p[0]) / n + (x >= cut ? 2.0f : 0.0f), static_cast<float>(p[1]) / n));
      }
      f.allSelected = 1;
      m.faces.push_back(f);
    }
  m.RebuildFaceRefs();
  return m;
}

CMeshwright SceneWith(CModel m) {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  s.models.push_back(std::move(m));
  return s;
}

TEST(UVEdit, CornersGroupByVertexAndValueOnly) {
  // 3 x 3 grid cut after column 1: the 16 lattice points, plus a second UV for the 4 on the cut.
  CMeshwright s = SceneWith(Grid(3, 1));
  UVLayout l = UVLayout::Build(s);
  EXPECT_EQ(l.faces.size(), 9u);
  EXPECT_EQ(l.GroupCount(), 20u);
  // Every corner of a group names the same vertex and the same UV.
  for (std::uint32_t g = 0; g < l.GroupCount(); ++g)
    for (std::uint32_t k = l.groupFirst[g]; k < l.groupFirst[g + 1]; ++k) {
      const std::uint32_t c = l.groupCorners[k];
      EXPECT_EQ(l.corners[c], g);
      const UVLayout::Face& f = l.faces[l.FaceOfCorner(c)];
      EXPECT_EQ(s.models[0].faces[f.face].uvs[c - f.first], l.uvs[g]);
    }
  // A hidden face, one not wholly selected, one without UVs and the faces of a locked model are
  // not shown.
  s.models[0].faces[1].hidden = 1;
  s.models[0].faces[2].allSelected = 0;
  s.models[0].faces[3].uvs.clear();
  l = UVLayout::Build(s);
  EXPECT_EQ(l.faces.size(), 6u);
  s.models[0].state = kStateLocked;
  EXPECT_TRUE(UVLayout::Build(s).faces.empty());
  // -0 and 0 are one place: vertex 3 of a 2 x 2 grid keeps one UV vertex for its two faces.
  CMeshwright t = SceneWith(Grid(2, 99));
  t.models[0].faces[0].uvs[3] = CUV(-0.0f, 0.5f);
  EXPECT_EQ(UVLayout::Build(t).GroupCount(), 9u);
}

TEST(UVEdit, PickingAndBands) {
  CMeshwright s = SceneWith(Grid(2, 99));
  const UVLayout l = UVLayout::Build(s);
  // A vertex exactly at the radius is picked; just beyond it is not.
  const std::int32_t g = PickUVVertex(l, {0.5 + 0.125, 0.5}, 0.125);
  ASSERT_GE(g, 0);
  EXPECT_EQ(l.uvs[static_cast<std::size_t>(g)], CUV(0.5f, 0.5f));
  EXPECT_EQ(PickUVVertex(l, {0.5 + 0.126, 0.5 + 0.126}, 0.125), -1);
  // A point inside the lower right face; outside every face.
  EXPECT_EQ(PickUVFace(l, {0.75, 0.75}), 3);
  EXPECT_EQ(PickUVFace(l, {1.5, 0.5}), -1);
  const std::int32_t e = PickUVEdge(l, {0.25, 0.01}, 0.02);
  ASSERT_GE(e, 0);
  const auto [a, b] = l.edges[static_cast<std::size_t>(e)];
  EXPECT_EQ(l.uvs[a].v, 0.0f);
  EXPECT_EQ(l.uvs[b].v, 0.0f);
  // A band takes what lies on its edges; the faces wholly inside follow.
  const std::vector<std::uint32_t> in = UVVerticesIn(l, {0.0, 0.0, 0.5, 0.5});
  EXPECT_EQ(in.size(), 4u);
  std::vector<std::uint8_t> flags(l.GroupCount(), 0);
  for (std::uint32_t i : in) flags[i] = 1;
  EXPECT_EQ(FacesWithin(l, flags), std::vector<std::uint32_t>{0});
}

// Exact results of the transforms, where float rounding could creep in.
TEST(UVEdit, TransformsAlignAndSnapExactly) {
  struct Case {
    const char* what;
    UVAffine t;
    UVPoint in, out;
  };
  const Case cases[] = {
      {"quarter turn clockwise on screen", UVAffine::Rotate(90.0, {0.5, 0.5}), {1.0, 0.0}, {1.0, 1.0}},
      {"-270 is +90", UVAffine::Rotate(-270.0, {0.5, 0.5}), {1.0, 0.0}, {1.0, 1.0}},
      {"half turn", UVAffine::Rotate(180.0, {0.25, 0.25}), {0.0, 0.0}, {0.5, 0.5}},
      {"mirror in u", UVAffine::Scale(-1.0, 1.0, {0.375, 0.0}), {0.125, 0.75}, {0.625, 0.75}},
      {"scale about a pivot", UVAffine::Scale(2.0, 0.5, {1.0, 1.0}), {0.5, 0.0}, {0.0, 0.5}},
      {"move", UVAffine::Translate(0.25, -0.5), {0.5, 0.5}, {0.75, 0.0}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.t.Apply(c.in), c.out) << c.what;
  // Pixel corners: the middle of a pixel rounds away from zero; a corner stays; no size, no snap.
  EXPECT_EQ(SnapToPixels({1.5 / 4, 0.1}, 4, 10), (UVPoint{0.5, 0.1}));
  EXPECT_EQ(SnapToPixels({0.25, 0.3}, 4, 10), (UVPoint{0.25, 0.3}));
  EXPECT_EQ(SnapToPixels({0.26, 0.33}, 0, 0), (UVPoint{0.26, 0.33}));
  EXPECT_EQ(SnapToPixels({-0.13, 1.0}, 4, 1), (UVPoint{-0.25, 1.0}));

  // Aligning and flipping three of a face's corners: the bounds' far sides become the near ones.
  CMeshwright s = SceneWith(Grid(1, 99));
  UVLayout l = UVLayout::Build(s);
  std::vector<std::uint8_t> sel(l.GroupCount(), 1);
  sel[static_cast<std::size_t>(PickUVVertex(l, {1.0, 1.0}, 1e-6))] = 0;
  AlignSelected(s, l, sel, UVAlign::kRight);
  EXPECT_EQ(s.models[0].faces[0].uvs[0], CUV(1.0f, 0.0f));
  EXPECT_EQ(s.models[0].faces[0].uvs[3], CUV(1.0f, 1.0f));
  EXPECT_EQ(s.models[0].faces[0].uvs[2], CUV(1.0f, 1.0f));  // not selected, where it was
  FlipSelected(s, l, sel, false);
  EXPECT_EQ(s.models[0].faces[0].uvs[0], CUV(1.0f, 1.0f));
  EXPECT_EQ(s.models[0].faces[0].uvs[3], CUV(1.0f, 0.0f));
  AlignSelected(s, l, sel, UVAlign::kTop);
  EXPECT_EQ(s.models[0].faces[0].uvs[0], CUV(1.0f, 0.0f));
  EXPECT_EQ(s.models[0].faces[0].uvs[1], CUV(1.0f, 0.0f));
}

// Any transform of any set of UV vertices changes their corners, all alike, and no other corner;
// the edit's delta takes the scene back to its bytes and forward again.
TEST(UVEdit, MovingUVVerticesTouchesTheirCornersOnlyAndUndoesToTheBytes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    CMeshwright s = SceneWith(Grid(2 + round % 4, round % 3));
    s.models.push_back(s.models[0]);
    s.models[1].state = round % 5 == 0 ? kStateHidden : kStateNormal;
    for (CModel& m : s.models)
      for (CFace& f : m.faces) f.allSelected = rng() % 4 != 0;
    CMeshwright before = s;
    UVLayout l = UVLayout::Build(s);
    std::vector<std::uint8_t> sel(l.GroupCount());
    for (auto& b : sel) b = rng() % 3 == 0;
    std::uniform_real_distribution<double> any(-2.0, 2.0);
    const UVAffine t{any(rng), any(rng), any(rng), any(rng), any(rng), any(rng)};
    const std::vector<UVPoint> from = SelectedPositions(l, sel);
    const std::vector<std::uint8_t> bytesBefore = Bytes(s);
    SceneDelta d = SceneDelta::Capture(EditKind::kUVEdit, s);
    TransformSelected(s, l, sel, from, t, round % 2 ? 64 : 0, round % 2 ? 32 : 0);
    d.Finish(s);
    const std::vector<std::uint8_t> bytesAfter = Bytes(s);

    // Corners of selected groups hold their group's new UV; every other corner its old bits.
    std::vector<std::vector<int>> moved(s.models.size());
    for (std::size_t m = 0; m < s.models.size(); ++m)
      for (const CFace& f : s.models[m].faces) moved[m].resize(moved[m].size() + f.uvs.size(), -1);
    for (const UVLayout::Face& f : l.faces) {
      std::size_t base = 0;
      for (std::int32_t i = 0; i < f.face; ++i) base += s.models[f.model].faces[i].uvs.size();
      for (std::uint32_t k = 0; k < f.count; ++k) {
        const std::uint32_t g = l.corners[f.first + k];
        if (sel[g]) moved[f.model][base + k] = static_cast<int>(g);
      }
    }
    for (std::size_t m = 0; m < s.models.size(); ++m) {
      std::size_t c = 0;
      for (std::size_t fi = 0; fi < s.models[m].faces.size(); ++fi)
        for (std::size_t k = 0; k < s.models[m].faces[fi].uvs.size(); ++k, ++c) {
          const CUV now = s.models[m].faces[fi].uvs[k], old = before.models[m].faces[fi].uvs[k];
          if (moved[m][c] < 0) EXPECT_EQ(std::memcmp(&now, &old, sizeof now), 0) << m << " " << fi << " " << k;
          else EXPECT_EQ(now, l.uvs[static_cast<std::size_t>(moved[m][c])]);
        }
    }
    EXPECT_EQ(d.Empty(), bytesBefore == bytesAfter);
    d.Undo(s);
    EXPECT_EQ(Bytes(s), bytesBefore);
    d.Redo(s);
    EXPECT_EQ(Bytes(s), bytesAfter);
  }
}

}  // namespace
}  // namespace mw
