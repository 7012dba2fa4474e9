// The modelling verbs that cut and reduce (scene/mesh_cut.h, scene/mesh_reduce.h): one table of
// verbs run over a few hundred random scenes each, checking what holds for all of them (a
// consistent model, undo giving back the saved bytes, locked models left alone, area kept where
// the verb only splits or merges flat faces, faces away from the edit unchanged), then exact small
// cases whose result is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <set>
#include <vector>

#include "scene/archive.h"
#include "scene/edge_index.h"
#include "scene/grow_ops.h"
#include "scene/element_selection.h"
#include "scene/mesh_cut.h"
#include "scene/mesh_reduce.h"
#include "scene/ortho_plane.h"
#include "scene/polygon_triangles.h"
#include "scene/primitives.h"
#include "scene/scene_delta.h"
#include "scene/symmetry.h"

namespace mw {
namespace {

std::vector<std::uint8_t> Bytes(const CMeshwright& s) {
  std::vector<std::uint8_t> out;
  WriteScene(s, out);
  return out;
}

double Area(const CModel& m) {
  double a = 0;
  std::vector<CVector> pts;
  for (const CFace& f : m.faces) {
    pts.clear();
    for (std::int32_t i : f.indices) pts.push_back(m.vertices[static_cast<std::size_t>(i)].position);
    const CVector n = PolygonNormal(pts);
    a += std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z) / 2;
  }
  return a;
}

// A flat grid in the z = 0 plane, inner points jittered, some quads split into triangles, two
// materials, texture coordinates from the position.
CModel RandomGrid(std::mt19937& rng) {
  std::uniform_int_distribution<int> size(1, 5);
  std::uniform_real_distribution<double> jitter(-0.2, 0.2), coin(0, 1);
  const int w = size(rng), h = size(rng);
  CModel m;
  m.name = "grid";
  for (int y = 0; y <= h; ++y)
    for (int x = 0; x <= w; ++x) {
      const bool inner = x > 0 && y > 0 && x < w && y < h;
      m.vertices.emplace_back(static_cast<float>(x + (inner ? jitter(rng) : 0)) * 10.0f,
                              static_cast<float>(y + (inner ? jitter(rng) : 0)) * 10.0f, 0.0f);
    }
  const auto at = [w](int x, int y) { return static_cast<std::int32_t>(y * (w + 1) + x); };
  const auto face = [&m](std::initializer_list<std::int32_t> c, std::int32_t material) {
    CFace f;
    f.material = material;
    for (std::int32_t i : c) {
      f.AddIndex(i);
      const CVector p = m.vertices[static_cast<std::size_t>(i)].position;
      f.AddUV(CUV(p.x / 50.0f, p.y / 50.0f));
    }
    m.faces.push_back(f);
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::int32_t mat = coin(rng) < 0.3 ? 1 : 0;
      if (coin(rng) < 0.2) {
        face({at(x, y), at(x, y + 1), at(x + 1, y + 1)}, mat);
        face({at(x, y), at(x + 1, y + 1), at(x + 1, y)}, mat);
      } else {
        face({at(x, y), at(x, y + 1), at(x + 1, y + 1), at(x + 1, y)}, mat);
      }
    }
  return m;
}

CModel Cube(int segments = 1) {
  PrimitiveParams p;
  p.kind = PrimitiveKind::kBox;
  p.xSegments = p.ySegments = p.zSegments = segments;
  CModel m = BuildPrimitive(p, CVector(0, 0, 0), 0);
  m.name = "cube";
  for (CVertex& v : m.vertices) v.selected = 0;
  m.UpdateFaceSelection();
  return m;
}

CMeshwright RandomScene(std::mt19937& rng) {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  std::uniform_real_distribution<double> coin(0, 1);
  s.models.push_back(RandomGrid(rng));
  s.models.push_back(Cube(1 + static_cast<int>(coin(rng) * 2)));
  CModel locked = RandomGrid(rng);
  locked.name = "locked";
  locked.state = kStateLocked;
  s.models.push_back(locked);
  const double p = 0.15 + coin(rng) * 0.5;
  for (CModel& m : s.models) {
    for (CVertex& v : m.vertices) v.selected = coin(rng) < p;
    // Now and then a face is out of sight: no verb may touch it.
    if (coin(rng) < 0.3 && !m.faces.empty()) m.faces[static_cast<std::size_t>(coin(rng) * m.faces.size())].hidden = 1;
    m.RebuildFaceRefs();
    m.UpdateFaceSelection();
  }
  s.ComputeNormals();
  s.selectMode = coin(rng) < 0.5 ? kSelectVertices : kSelectEdges;
  if (s.selectMode == kSelectEdges)
    for (CModel& m : s.models) SelectElementsOfVertices(m, kSelectEdges, EdgeIndex(m));
  return s;
}

// Faces valid, none degenerate or repeated, texture coordinates one per corner, references current.
void ExpectConsistent(const CModel& m, const std::string& what) {
  std::set<std::vector<std::int32_t>> cycles;
  for (const CFace& f : m.faces) {
    ASSERT_GE(f.indices.size(), 3u) << what;
    ASSERT_TRUE(f.uvs.empty() || f.uvs.size() == f.indices.size()) << what;
    std::set<std::int32_t> distinct;
    for (std::size_t k = 0; k < f.indices.size(); ++k) {
      ASSERT_TRUE(m.HasVertex(f.indices[k])) << what;
      distinct.insert(f.indices[k]);
    }
    EXPECT_EQ(distinct.size(), f.indices.size()) << what << ": a corner repeats";
    std::vector<std::int32_t> c(f.indices.begin(), f.indices.end());
    std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
    EXPECT_TRUE(cycles.insert(c).second) << what << ": a face repeats";
  }
  EXPECT_TRUE(FaceRefsCurrent(m)) << what;
}

struct Verb {
  const char* name;
  EditKind kind;
  std::function<std::size_t(CMeshwright&, std::mt19937&)> run;
  bool keepsArea;  // splits or merges flat faces only
  bool addsOnly;   // faces keep their numbers: one that gained no new vertex and had no chosen corner is as it was
  int minCorners;  // how many selected corners make a face one the verb may change
};

const std::vector<Verb>& Verbs() {
  static const std::vector<Verb> verbs = {
      {"loop cut", EditKind::kLoopCut,
       [](CMeshwright& s, std::mt19937& rng) {
         return LoopCutSelected(s, 1 + static_cast<int>(rng() % 4), static_cast<double>(rng() % 21) / 10.0 - 1.0);
       },
       true, true, 99},
      {"connect", EditKind::kConnect, [](CMeshwright& s, std::mt19937&) { return ConnectSelected(s); }, true, true, 2},
      {"subdivide", EditKind::kSubdivide,
       [](CMeshwright& s, std::mt19937& rng) {
         return SubdivideSelected(s, 2 + static_cast<int>(rng() % 3),
                                  rng() % 2 ? Neighbours::kTriangles : Neighbours::kPolygons);
       },
       true, true, 2},  // a neighbour split into triangles shares a side of two selected corners
      {"knife", EditKind::kKnife,
       [](CMeshwright& s, std::mt19937& rng) {
         std::uniform_real_distribution<double> at(-60, 60);
         KnifeStroke k;
         k.plane = static_cast<Plane>(rng() % 3);
         k.throughAll = rng() % 3 == 0;
         for (int i = 0, n = 2 + static_cast<int>(rng() % 3); i < n; ++i) k.points.emplace_back(at(rng), at(rng));
         return KnifeScene(s, k);
       },
       true, true, 99},
      {"dissolve vertices", EditKind::kDissolve,
       [](CMeshwright& s, std::mt19937&) { return DissolveSelected(s, DissolveWhat::kVertices); }, false, false, 0},
      {"dissolve edges", EditKind::kDissolve,
       [](CMeshwright& s, std::mt19937&) { return DissolveSelected(s, DissolveWhat::kEdges); }, true, false, 0},
      {"dissolve faces", EditKind::kDissolve,
       [](CMeshwright& s, std::mt19937&) { return DissolveSelected(s, DissolveWhat::kFaces); }, true, false, 0},
      {"delete", EditKind::kDeleteElements,
       [](CMeshwright& s, std::mt19937& rng) { return DeleteSelectedElements(s, static_cast<DeleteWhat>(rng() % 4)); },
       false, false, 0},
      {"collapse", EditKind::kCollapse,
       [](CMeshwright& s, std::mt19937& rng) {
         return CollapseSelected(s, static_cast<CollapseAt>(rng() % 3), static_cast<CollapseGroups>(rng() % 3));
       },
       false, false, 0},
      {"triangulate", EditKind::kTriangulate, [](CMeshwright& s, std::mt19937&) { return TriangulateSelected(s); },
       true, true, 4},
      {"tris to quads", EditKind::kTrisToQuads,
       [](CMeshwright& s, std::mt19937& rng) {
         TriangulateSelected(s);  // so that most seeds have pairs to join
         return TrisToQuadsSelected(s, static_cast<double>(rng() % 60));
       },
       true, false, 0},
      {"separate", EditKind::kSeparate,
       [](CMeshwright& s, std::mt19937& rng) { return Separate(s, static_cast<SeparateBy>(rng() % 3)); }, false, false,
       0},
      {"knife in the perspective pane", EditKind::kKnife,
       [](CMeshwright& s, std::mt19937& rng) {
         std::uniform_real_distribution<double> turn(-80, 80), x(0, 400), y(0, 300);
         // Seen from a random side; the camera is put back, as the verb leaves it.
         const CAnimation camera = s.camera;
         s.SetCameraRotation(CVector(static_cast<float>(turn(rng)), static_cast<float>(turn(rng)), 0.0f));
         s.SetCameraTranslation(CVector(0.0f, 0.0f, -250.0f));
         ViewKnifeStroke k;
         k.throughBack = rng() % 2 == 0;
         for (int i = 0, n = 2 + static_cast<int>(rng() % 3); i < n; ++i) k.points.emplace_back(x(rng), y(rng));
         const std::size_t n = KnifeSceneInView(s, PaneProjection::Perspective(s, 400, 300), k);
         s.camera = camera;
         return n;
       },
       true, true, 99},
  };
  return verbs;
}

TEST(ModellingVerbs, RandomScenesStayConsistentAndUndoExactly) {
  for (const Verb& verb : Verbs()) {
    std::size_t acted = 0;
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
      std::mt19937 rng(seed);
      CMeshwright s = RandomScene(rng);
      const std::string what = std::string(verb.name) + " seed " + std::to_string(seed);
      const std::vector<std::uint8_t> before = Bytes(s);
      const CMeshwright old = s;
      SceneDelta d = SceneDelta::Capture(verb.kind, s);
      const std::size_t result = verb.run(s, rng);
      d.Finish(s);
      acted += result > 0;
      for (const CModel& m : s.models) ExpectConsistent(m, what);
      if (::testing::Test::HasFailure()) return;
      const CModel& lockedBefore = old.models[2];
      const CModel& lockedAfter = s.models[2];
      EXPECT_EQ(lockedAfter.vertices.size(), lockedBefore.vertices.size()) << what;
      for (std::size_t f = 0; f < lockedBefore.faces.size(); ++f)
        ASSERT_TRUE(lockedAfter.faces[f].indices == lockedBefore.faces[f].indices) << what;
      for (std::size_t mi = 0; mi < 2; ++mi) {
        const CModel& a = old.models[mi];
        const CModel& b = s.models[mi];
        // Pieces moved to new models count with their source.
        double areaAfter = Area(b);
        for (std::size_t extra = old.models.size(); extra < s.models.size(); ++extra)
          if (s.models[extra].name.rfind(a.name + "_", 0) == 0) areaAfter += Area(s.models[extra]);
        // Merged faces across the cube's folds are not flat: their area is not the sum.
        if (verb.keepsArea && (mi == 0 || verb.addsOnly)) {
          EXPECT_NEAR(areaAfter, Area(a), 1e-3 * (1 + Area(a))) << what << " model " << mi;
        }
        if (!verb.addsOnly) continue;
        for (std::size_t f = 0; f < a.faces.size(); ++f) {
          const CFace& fa = a.faces[f];
          const CFace& fb = b.faces[f];
          const bool gained =
              std::any_of(fb.indices.begin(), fb.indices.end(), [&a](std::int32_t v) { return !a.HasVertex(v); });
          const auto chosen = std::count_if(fa.indices.begin(), fa.indices.end(), [&a](std::int32_t v) {
            return a.vertices[static_cast<std::size_t>(v)].selected != 0;
          });
          const bool crossed = verb.kind == EditKind::kKnife && fb.indices.size() < fa.indices.size();
          if (gained || crossed || static_cast<int>(chosen) >= verb.minCorners) continue;
          EXPECT_TRUE(fa.indices == fb.indices && fa.uvs == fb.uvs && fa.material == fb.material)
              << what << " model " << mi << " face " << f;
        }
        for (std::size_t f = 0; f < a.faces.size(); ++f)
          if (a.faces[f].hidden) {
            EXPECT_TRUE(b.faces[f].indices == a.faces[f].indices) << what << ": hidden face";
          }
      }
      const std::vector<std::uint8_t> after = Bytes(s);
      d.Undo(s);
      ASSERT_EQ(Bytes(s), before) << what;
      d.Redo(s);
      ASSERT_EQ(Bytes(s), after) << what;
    }
    EXPECT_GT(acted, 30u) << verb.name << " acted too rarely for the check to mean anything";
  }
}

// ---- Exact small cases ----

std::int32_t EdgeOf(const CModel& m, const EdgeIndex& ix, CVector a, CVector b) {
  for (std::int32_t e = 0; e < static_cast<std::int32_t>(ix.EdgeCount()); ++e) {
    const CVector p = m.vertices[static_cast<std::size_t>(ix.Lower(e))].position;
    const CVector q = m.vertices[static_cast<std::size_t>(ix.Upper(e))].position;
    if ((p == a && q == b) || (p == b && q == a)) return e;
  }
  return EdgeIndex::kNone;
}

TEST(ModellingVerbs, CubeLoopCutTwiceHasSixteenFaces) {
  CModel m = Cube();
  const float h = 50;
  {
    const EdgeIndex ix(m);
    const std::int32_t e[] = {EdgeOf(m, ix, CVector(-h, -h, -h), CVector(h, -h, -h))};
    ASSERT_NE(e[0], EdgeIndex::kNone);
    EXPECT_EQ(LoopCut(m, ix, e, 1, 0.0, 0), 4u);
  }
  EXPECT_EQ(m.faces.size(), 10u);
  EXPECT_EQ(m.vertices.size(), 12u);
  {
    const EdgeIndex ix(m);
    const std::int32_t e[] = {EdgeOf(m, ix, CVector(-h, -h, -h), CVector(-h, -h, h))};
    ASSERT_NE(e[0], EdgeIndex::kNone);
    EXPECT_EQ(LoopCut(m, ix, e, 1, 0.0, 0), 6u);
  }
  EXPECT_EQ(m.faces.size(), 16u);
  ExpectConsistent(m, "twice");
  // Three even cuts sit at quarters; a slide moves each by that part of the spacing.
  CModel n = Cube();
  const EdgeIndex ix(n);
  const std::int32_t e[] = {EdgeOf(n, ix, CVector(-h, -h, -h), CVector(h, -h, -h))};
  EXPECT_EQ(LoopCut(n, ix, e, 3, 0.5, 0), 4u);
  EXPECT_EQ(n.faces.size(), 2u + 4u * 4u);
  std::set<float> xs;
  for (std::size_t v = 8; v < n.vertices.size(); ++v) xs.insert(n.vertices[v].position.x);
  // The preview shows the very segments the cut makes, before it makes them.
  CModel p = Cube();
  const EdgeIndex pix(p);
  const auto preview = LoopCutPreview(p, pix, EdgeOf(p, pix, CVector(-h, -h, -h), CVector(h, -h, -h)), 3, 0.5);
  EXPECT_EQ(preview.size(), 4u * 3u);
  for (const auto& [a, b] : preview) {
    const auto made = [&n](CVector q) {
      return std::any_of(n.vertices.begin() + 8, n.vertices.end(), [q](const CVertex& v) { return v.position == q; });
    };
    EXPECT_TRUE(made(a) && made(b));
    EXPECT_EQ(a.x, b.x);
  }
  // Measured from whichever end the ring starts at: 12.5, 37.5 and 62.5 of the 100 along.
  ASSERT_EQ(xs.size(), 3u);
  double sum = 0;
  for (float x : xs) sum += x;
  EXPECT_DOUBLE_EQ(std::fabs(sum), 37.5);
  EXPECT_DOUBLE_EQ(*std::next(xs.begin()) - *xs.begin(), 25.0);
}

TEST(ModellingVerbs, SmallCasesGiveKnownCounts) {
  struct Case {
    const char* name;
    std::function<std::size_t(CModel&)> run;
    std::size_t vertices, faces, result = 1;
  };
  const auto selectAll = [](CModel& m) {
    for (CVertex& v : m.vertices) v.selected = 1;
  };
  const auto quad = []() {
    CModel m;
    for (auto [x, y] : {std::pair{0, 0}, {0, 1}, {1, 1}, {1, 0}}) m.vertices.emplace_back(float(x), float(y), 0.0f);
    CFace f;
    for (std::int32_t i = 0; i < 4; ++i) f.AddIndex(i), f.AddUV(CUV(float(i), 0));
    m.faces.push_back(f);
    m.RebuildFaceRefs();
    return m;
  };
  const std::vector<Case> cases = {
      {"quad subdivided 3x3",
       [&](CModel& m) {
         selectAll(m);
         return SubdivideFaces(m, EdgeIndex(m), 3, true, Neighbours::kPolygons, 0);
       },
       16, 9},
      {"cube face subdivided, neighbours as polygons",
       [&](CModel& m) {
         for (std::int32_t v : m.faces[0].indices) m.vertices[static_cast<std::size_t>(v)].selected = 1;
         return SubdivideFaces(m, EdgeIndex(m), 2, true, Neighbours::kPolygons, 0);
       },
       13, 9},
      {"cube face subdivided, neighbours as triangles",
       [&](CModel& m) {
         for (std::int32_t v : m.faces[0].indices) m.vertices[static_cast<std::size_t>(v)].selected = 1;
         return SubdivideFaces(m, EdgeIndex(m), 2, true, Neighbours::kTriangles, 0);
       },
       13, 4 + 1 + 4 * 3},
      {"quad diagonal connected",
       [](CModel& m) {
         m.vertices[0].selected = m.vertices[2].selected = 1;
         return ConnectVertices(m, 0);
       },
       4, 2},
      {"neighbours along the quad not connected",
       [](CModel& m) {
         m.vertices[0].selected = m.vertices[1].selected = 1;
         return ConnectVertices(m, 0);
       },
       4, 1, 0},
      {"quad triangulated then joined",
       [&](CModel& m) {
         selectAll(m);
         TriangulateSelectedFaces(m, true, 0);
         selectAll(m);
         return TrisToQuads(m, EdgeIndex(m), 0.0, true, 0);
       },
       4, 1},
      {"knife across a quad",
       [](CModel& m) {
         KnifeStroke k;
         k.plane = kPlaneFace;
         k.points = {{0.5, 1}, {0.5, -2}};
         return KnifeCut(m, k, 0);
       },
       6, 2},
      {"knife ending inside leaves a corner",
       [](CModel& m) {
         KnifeStroke k;
         k.plane = kPlaneFace;
         k.points = {{0.5, 1}, {0.5, -0.5}};
         return KnifeCut(m, k, 0);
       },
       5, 1, 0},
      {"knife through two corners",
       [](CModel& m) {
         KnifeStroke k;
         k.plane = kPlaneFace;
         k.points = {{-1, 1}, {2, -2}};
         k.throughAll = true;
         return KnifeCut(m, k, 0);
       },
       4, 2},
  };
  for (const Case& c : cases) {
    CModel m = std::string(c.name).find("cube") != std::string::npos ? Cube() : quad();
    EXPECT_EQ(c.run(m), c.result) << c.name;
    EXPECT_EQ(m.vertices.size(), c.vertices) << c.name;
    EXPECT_EQ(m.faces.size(), c.faces) << c.name;
    ExpectConsistent(m, c.name);
  }
}

TEST(ModellingVerbs, ReducingVerbsOnACube) {
  const float h = 50;
  // Dissolving an edge merges its two quads into one hexagon.
  CModel m = Cube();
  EdgeIndex ix(m);
  std::int32_t e = EdgeOf(m, ix, CVector(-h, -h, -h), CVector(h, -h, -h));
  m.vertices[static_cast<std::size_t>(ix.Lower(e))].selected =
      m.vertices[static_cast<std::size_t>(ix.Upper(e))].selected = 1;
  EXPECT_EQ(Dissolve(m, ix, DissolveWhat::kEdges, false, 0), 1u);
  EXPECT_EQ(m.faces.size(), 5u);
  EXPECT_EQ(m.vertices.size(), 8u);
  EXPECT_TRUE(std::any_of(m.faces.begin(), m.faces.end(), [](const CFace& f) { return f.indices.size() == 6; }));
  // Collapsing an edge at its centre: its two quads become triangles.
  m = Cube();
  ix = EdgeIndex(m);
  e = EdgeOf(m, ix, CVector(-h, -h, -h), CVector(h, -h, -h));
  m.vertices[static_cast<std::size_t>(ix.Lower(e))].selected =
      m.vertices[static_cast<std::size_t>(ix.Upper(e))].selected = 1;
  EXPECT_EQ(Collapse(m, ix, CollapseAt::kCentre, CollapseGroups::kEdges, false, 0), 1u);
  EXPECT_EQ(m.vertices.size(), 7u);
  EXPECT_EQ(m.faces.size(), 6u);
  EXPECT_EQ(std::count_if(m.faces.begin(), m.faces.end(), [](const CFace& f) { return f.indices.size() == 3; }), 2);
  EXPECT_TRUE(std::any_of(m.vertices.begin(), m.vertices.end(),
                          [h](const CVertex& v) { return v.position == CVector(0, -h, -h); }));
  // Dissolving a vertex of a subdivided cube face merges the four quads around it.
  m = Cube(2);
  ix = EdgeIndex(m);
  for (CVertex& v : m.vertices) v.selected = v.position == CVector(0, 0, -h);
  EXPECT_EQ(Dissolve(m, ix, DissolveWhat::kVertices, false, 0), 3u);
  EXPECT_EQ(m.faces.size(), 24u - 3u);
  EXPECT_EQ(m.vertices.size(), 26u - 1u);
  // A cube corner lies on no border but its faces would leave the vertex as a pinch: refused only
  // when the outline is not one loop, which here it is.
  ExpectConsistent(m, "dissolved vertex");
}

TEST(ModellingVerbs, SeparateNamesAfterTheSourceAndKeepsTheRest) {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  CModel two = Cube();
  CModel other = Cube();
  for (CVertex& v : other.vertices) v.position.x += 200;
  AppendModel(two, other);
  two.name = "box";
  {
    // Every edge a seam and a crease: each part keeps those of its own edges.
    const EdgeIndex ix(two);
    for (std::size_t e = 0; e < ix.EdgeCount(); ++e) {
      two.seamEdges.push_back(ix.KeyOf(static_cast<std::int32_t>(e)));
      two.creases.push_back({ix.KeyOf(static_cast<std::int32_t>(e)), 2.0f});
    }
    std::sort(two.seamEdges.begin(), two.seamEdges.end());
    std::sort(two.creases.begin(), two.creases.end(),
              [](const EdgeCrease& a, const EdgeCrease& b) { return a.edge < b.edge; });
  }
  s.models.push_back(two);
  s.models.push_back(Cube());
  s.models.back().name = "box_1";
  EXPECT_EQ(Separate(s, SeparateBy::kLooseParts), 1u);
  ASSERT_EQ(s.models.size(), 3u);
  EXPECT_EQ(s.models[2].name, "box_2");
  EXPECT_EQ(s.models[0].faces.size(), 6u);
  EXPECT_EQ(s.models[0].vertices.size(), 8u);
  EXPECT_EQ(s.models[2].faces.size(), 6u);
  EXPECT_GT(s.models[2].vertices[0].position.x, 100.0f);
  ExpectConsistent(s.models[0], "source");
  ExpectConsistent(s.models[2], "part");
  for (std::size_t k : {0u, 2u}) {
    const CModel& m = s.models[k];
    const EdgeIndex ix(m);
    EXPECT_EQ(m.seamEdges.size(), 12u) << k;
    EXPECT_EQ(m.creases.size(), 12u) << k;
    for (std::uint64_t key : m.seamEdges)
      EXPECT_NE(ix.Find(static_cast<std::int32_t>(key >> 32), static_cast<std::int32_t>(key & 0xFFFFFFFFu)),
                EdgeIndex::kNone);
  }
}

// A grid symmetric across x = 0 with symmetric modelling on: random moves, turns and scalings of
// vertices on one side (the plane included) leave every counterpart at its vertex's mirror image
// and the plane's vertices on it; undo gives back the bytes, counterparts' positions included.
TEST(ModellingVerbs, EditsOnOneSideOfASymmetricModelKeepItSymmetric) {
  for (std::uint32_t seed = 1; seed <= 200; ++seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coin(0, 1), at(-30, 30);
    CMeshwright s;
    s.ResetScene();
    s.models.clear();
    const int axis = 1 + static_cast<int>(rng() % 3);
    CModel m = Cube(2 + static_cast<int>(rng() % 2));
    SetSymmetry(m, axis);
    const int a = axis - 1;
    for (std::size_t i = 0; i < m.vertices.size(); ++i) ASSERT_GE(m.counterparts[i], 0) << "seed " << seed;
    s.models.push_back(m);
    for (int step = 0; step < 5; ++step) {
      CModel& model = s.models[0];
      for (CVertex& v : model.vertices) v.selected = Component(v.position, a) >= -1e-4f && coin(rng) < 0.5;
      const std::vector<std::uint8_t> before = Bytes(s);
      const EditKind kind =
          static_cast<EditKind>(static_cast<int>(EditKind::kNumericMove) + static_cast<int>(rng() % 3));
      SceneDelta d = SceneDelta::Capture(kind, s);
      if (kind == EditKind::kNumericMove) s.TranslateSelected(at(rng), at(rng), at(rng));
      else if (kind == EditKind::kNumericRotate)
        s.RotateSelectedAbout(static_cast<Plane>(rng() % 3), float(at(rng)),
                              CVector(float(at(rng)), float(at(rng)), float(at(rng))));
      else
        s.ScaleSelectedAbout(CVector(float(at(rng)), 0, float(at(rng))),
                             CVector(float(0.5 + coin(rng)), float(0.5 + coin(rng)), float(0.5 + coin(rng))));
      s.ComputeNormals();  // as the numeric dialogs' edits end
      d.Finish(s);
      for (std::size_t i = 0; i < model.vertices.size(); ++i) {
        const std::int32_t c = model.counterparts[i];
        const CVector p = model.vertices[i].position, q = model.vertices[static_cast<std::size_t>(c)].position;
        if (static_cast<std::size_t>(c) == i) {
          EXPECT_EQ(Component(p, a), 0.0f) << "seed " << seed;
          continue;
        }
        CVector mirrored = p;
        Component(mirrored, a) = -Component(p, a);
        EXPECT_EQ(mirrored, q) << "seed " << seed << " vertex " << i;
      }
      if (::testing::Test::HasFailure()) return;
      const std::vector<std::uint8_t> after = Bytes(s);
      d.Undo(s);
      ASSERT_EQ(Bytes(s), before) << "seed " << seed;
      d.Redo(s);
      ASSERT_EQ(Bytes(s), after) << "seed " << seed;
    }
  }
}

TEST(ModellingVerbs, MirrorCopyWeldsAtTheSeamAndRecordsKeepTheSetting) {
  // Half a cube (x >= 0), open at x = 0: its copy shares the seam's vertices.
  const CModel m = Cube(2);
  CModel half;
  for (const CFace& f : m.faces) {
    bool right = true;
    for (std::int32_t i : f.indices) right = right && m.vertices[static_cast<std::size_t>(i)].position.x >= 0;
    if (right) half.faces.push_back(f);
  }
  half.vertices = m.vertices;
  for (CVertex& v : half.vertices) v.selected = 1;
  half.RebuildFaceRefs();
  const std::size_t faces = half.faces.size();
  EXPECT_EQ(MirrorCopy(half, 0), faces);
  EXPECT_EQ(half.faces.size(), 2 * faces);
  EXPECT_EQ(half.vertices.size(), m.vertices.size() + 9);  // the 9 at x = 50 mirrored; the seam's 8 shared
  ExpectConsistent(half, "mirror copy");
  // Every edge has two faces again: the copy closed the half.
  const EdgeIndex ix(half);
  for (std::int32_t e = 0; e < static_cast<std::int32_t>(ix.EdgeCount()); ++e) EXPECT_EQ(ix.FaceCountOf(e), 2u);
  // Copies, swaps and undo records carry the setting and its counterparts.
  SetSymmetry(half, 1);
  CModel copy = half;
  EXPECT_EQ(copy.symmetryAxis, 1);
  EXPECT_EQ(copy.counterparts, half.counterparts);
  CModel other;
  SwapModelRecord(other, copy);
  EXPECT_EQ(other.symmetryAxis, 1);
  EXPECT_EQ(other.counterparts, half.counterparts);
}

// A box seen from its (+x, +y, +z) corner, cut by a line across the screen just above that
// corner: the line crosses the three faces turned toward the viewer and, behind them, the -x and
// -z faces. The new vertices lie where the plane through the eye and the line meets the edges,
// so they are drawn on the line.
TEST(ModellingVerbs, PerspectiveKnifeCutsOnlyWhatIsInSightUnlessThroughTheBack) {
  for (bool back : {false, true}) {
    SCOPED_TRACE(back ? "through the back" : "in sight");
    CMeshwright s;
    s.ResetScene();
    s.AddBox(CVector(-50, -50, -50), CVector(50, 50, 50));
    s.ComputeNormals();
    s.SetCameraRotation(CVector(35.264f, -45.0f, 0.0f));
    s.SetCameraTranslation(CVector(0.0f, 0.0f, -800.0f));  // the whole box in the pane
    CModel& m = s.models[0];
    for (CVertex& v : m.vertices) v.selected = 0;
    const PaneProjection view = PaneProjection::Perspective(s, 400, 400);
    const ScreenPoint corner = view(CVector(50, 50, 50));
    ASSERT_TRUE(corner.ok);
    ASSERT_NEAR(corner.x, 200.0, 1.0);
    const std::vector<CFace> before = m.faces;
    const std::vector<CVertex> vertices = m.vertices;
    ViewKnifeStroke k;
    k.throughBack = back;
    const double lineY = corner.y - 12.0;
    k.points = {{-2000.0, lineY}, {2400.0, lineY}};  // from well outside the box's picture to well outside
    EXPECT_EQ(KnifeSceneInView(s, view, k), back ? 5u : 3u);
    EXPECT_EQ(m.faces.size(), back ? 11u : 9u);
    ASSERT_EQ(m.vertices.size(), back ? 13u : 12u);
    ExpectConsistent(m, "perspective knife");
    EXPECT_NEAR(Area(m), 6 * 100.0 * 100.0, 1e-2);
    for (std::size_t i = 8; i < m.vertices.size(); ++i) {
      const ScreenPoint p = view(m.vertices[i].position);
      EXPECT_NEAR(p.y, lineY, 0.05) << "vertex " << i << " off the cut";
      EXPECT_TRUE(m.vertices[i].selected);
    }
    // Which sides were split: the pieces lying on each side of the box.
    for (int axis = 0; axis < 3; ++axis)
      for (float side : {-50.0f, 50.0f}) {
        const auto pieces = std::count_if(m.faces.begin(), m.faces.end(), [&](const CFace& g) {
          return std::all_of(g.indices.begin(), g.indices.end(), [&](std::int32_t i) {
            return Component(m.vertices[static_cast<std::size_t>(i)].position, axis) == side;
          });
        });
        const bool expected = side > 0 || (back && axis != 1);  // -y lies below the line
        EXPECT_EQ(pieces, expected ? 2 : 1) << "axis " << axis << " side " << side;
      }
  }
}

// Whether every vertex has a mirror image in the model and every face a mirror face (the
// counterparts of its corners, wound the other way).
bool IsOwnMirror(const CModel& m, int axis, std::string& why) {
  const std::vector<std::int32_t> c = FindCounterparts(m, axis);
  for (std::size_t i = 0; i < c.size(); ++i)
    if (c[i] < 0) {
      why = "vertex " + std::to_string(i) + " has no mirror image";
      return false;
    }
  const auto canonical = [](std::vector<std::int32_t> v) {
    std::rotate(v.begin(), std::min_element(v.begin(), v.end()), v.end());
    return v;
  };
  std::set<std::vector<std::int32_t>> faces;
  for (const CFace& f : m.faces) faces.insert(canonical({f.indices.begin(), f.indices.end()}));
  for (std::size_t f = 0; f < m.faces.size(); ++f) {
    std::vector<std::int32_t> mirrored;
    for (std::size_t k = m.faces[f].indices.size(); k-- > 0;)
      mirrored.push_back(c[static_cast<std::size_t>(m.faces[f].indices[k])]);
    if (!faces.count(canonical(mirrored))) {
      why = "face " + std::to_string(f) + " has no mirror face";
      return false;
    }
  }
  return true;
}

// A verb on what is selected on one side of a symmetric box, the selection taken across the plane
// first as the document does: the box stays its own mirror image.
TEST(ModellingVerbs, TopologyVerbsOnOneSideOfASymmetricModelKeepItSymmetric) {
  struct SideVerb {
    const char* name;
    std::function<std::size_t(CMeshwright&, std::mt19937&)> run;
    bool oneEdge = false;  // the ends of one edge selected: rings that cross are cut by the first only
    bool faces = false;    // in face mode: edges and vertices are extruded by an offset, not across the plane
  };
  const SideVerb verbs[] = {
      {"loop cut", [](CMeshwright& s, std::mt19937& rng) { return LoopCutSelected(s, 1 + int(rng() % 3), 0.0); },
       true},
      {"connect", [](CMeshwright& s, std::mt19937&) { return ConnectSelected(s); }},
      // Faces split into triangles take a diagonal by their own corner order, which their mirror
      // images need not share: triangulating, and subdividing with neighbours split into
      // triangles, can leave the two sides cut along different diagonals, so they are not here.
      {"subdivide",
       [](CMeshwright& s, std::mt19937& rng) { return SubdivideSelected(s, 2 + int(rng() % 2), Neighbours::kPolygons); }},
      {"dissolve",
       [](CMeshwright& s, std::mt19937& rng) { return DissolveSelected(s, static_cast<DissolveWhat>(rng() % 3)); }},
      {"delete", [](CMeshwright& s,
                    std::mt19937& rng) { return DeleteSelectedElements(s, static_cast<DeleteWhat>(rng() % 4)); }},
      {"collapse at the centre",
       [](CMeshwright& s, std::mt19937& rng) {
         return CollapseSelected(s, CollapseAt::kCentre, static_cast<CollapseGroups>(1 + rng() % 2));
       }},
      {"inset",
       [](CMeshwright& s, std::mt19937&) {
         InsetParams p;
         p.thickness = 5.0;
         return InsetSelected(s, p);
       },
       false, true},
  };
  for (const SideVerb& verb : verbs) {
    std::size_t acted = 0;
    for (std::uint32_t seed = 1; seed <= 60; ++seed) {
      std::mt19937 rng(seed);
      std::uniform_real_distribution<double> coin(0, 1);
      const std::string what = std::string(verb.name) + " seed " + std::to_string(seed);
      CMeshwright s;
      s.ResetScene();
      s.models = {Cube(2)};
      const int axis = 1 + static_cast<int>(rng() % 3);
      CModel& m = s.models[0];
      SetSymmetry(m, axis);
      for (CVertex& v : m.vertices) v.selected = Component(v.position, axis - 1) >= -1e-4f && coin(rng) < 0.6;
      s.selectMode = verb.faces ? kSelectFaces : static_cast<std::int32_t>(rng() % 3);
      if (verb.oneEdge) {
        const EdgeIndex ix(m);
        std::vector<std::int32_t> side;
        for (std::int32_t e = 0; e < static_cast<std::int32_t>(ix.EdgeCount()); ++e)
          if (Component(m.vertices[static_cast<std::size_t>(ix.Lower(e))].position, axis - 1) >= -1e-4f &&
              Component(m.vertices[static_cast<std::size_t>(ix.Upper(e))].position, axis - 1) >= -1e-4f)
            side.push_back(e);
        const std::int32_t e = side[rng() % side.size()];
        for (CVertex& v : m.vertices) v.selected = 0;
        m.vertices[static_cast<std::size_t>(ix.Lower(e))].selected = 1;
        m.vertices[static_cast<std::size_t>(ix.Upper(e))].selected = 1;
        s.selectMode = kSelectVertices;
      }
      SelectElementsOfVertices(m, SelectModeOf(s), EdgeIndex(m));
      m.UpdateFaceSelection();
      MirrorSelectionForVerb(s);
      acted += verb.run(s, rng) > 0;
      FindCounterpartsAfterVerb(s);
      ExpectConsistent(s.models[0], what);
      std::string why;
      EXPECT_TRUE(IsOwnMirror(s.models[0], axis, why)) << what << ": " << why;
      EXPECT_EQ(s.models[0].counterparts, FindCounterparts(s.models[0], axis)) << what;
      if (::testing::Test::HasFailure()) return;
    }
    EXPECT_GT(acted, 10u) << verb.name;
  }
}

}  // namespace
}  // namespace mw
