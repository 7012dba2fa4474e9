// The verbs that add geometry, over a few hundred random shapes and selections each: the surface
// keeps its Euler characteristic as each verb predicts, no edge gets a third face, no face repeats
// a corner, neighbouring faces run their shared edge opposite ways (one winding), texture
// coordinates stay finite, and undo gives back the saved bytes. Then a few exact small cases.
#include "scene/grow_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "scene/archive.h"
#include "scene/element_selection.h"
#include "scene/primitives.h"
#include "scene/scene_delta.h"

namespace mw {
namespace {

CMeshwright SceneOf(const PrimitiveParams& p) {
  CMeshwright s;
  s.ResetScene();
  s.models[0] = BuildPrimitive(p, CVector(), 0);
  s.ComputeNormals();
  return s;
}

PrimitiveParams Box(int nx, int ny, int nz) {
  PrimitiveParams p;
  p.kind = PrimitiveKind::kBox;
  p.xSegments = nx;
  p.ySegments = ny;
  p.zSegments = nz;
  return p;
}
PrimitiveParams Grid(int nx, int nz) {
  PrimitiveParams p;
  p.kind = PrimitiveKind::kGrid;
  p.xSegments = nx;
  p.ySegments = nz;
  return p;
}
PrimitiveParams Tube(int sides, int rows) {
  PrimitiveParams p;
  p.kind = PrimitiveKind::kCylinder;
  p.sides = sides;
  p.heightSegments = rows;
  p.caps = CapFill::kNone;
  return p;
}

long Euler(const CModel& m) {
  std::set<std::int32_t> used;
  long faces = 0;
  for (const CFace& f : m.faces) {
    used.insert(f.indices.begin(), f.indices.end());
    ++faces;
  }
  const EdgeIndex ix(m);
  return static_cast<long>(used.size()) - static_cast<long>(ix.EdgeCount()) + faces;
}

// Everything the verbs promise to keep, checked on model 0; `what` names the case on failure.
void ExpectSound(const CModel& m, const std::string& what) {
  const EdgeIndex ix(m);
  for (std::size_t e = 0; e < ix.EdgeCount(); ++e) {
    const auto edge = static_cast<std::int32_t>(e);
    ASSERT_LE(ix.FaceCountOf(edge), 2u) << what << " edge " << ix.Lower(edge) << "-" << ix.Upper(edge);
    if (ix.FaceCountOf(edge) != 2) continue;
    const std::int32_t f = ix.FacesBegin(edge)[0], g = ix.FacesBegin(edge)[1];
    if (m.faces[f].indices.size() < 3 || m.faces[g].indices.size() < 3) continue;
    const std::int32_t af = m.faces[f].indices[ix.SideOf(f, edge)], ag = m.faces[g].indices[ix.SideOf(g, edge)];
    ASSERT_NE(af, ag) << what << ": faces " << f << " and " << g << " run their edge the same way";
  }
  for (std::size_t i = 0; i < m.faces.size(); ++i) {
    const CFace& f = m.faces[i];
    std::set<std::int32_t> corners(f.indices.begin(), f.indices.end());
    ASSERT_EQ(corners.size(), f.indices.size()) << what << ": face " << i << " repeats a corner";
    ASSERT_GE(f.indices.size(), 2u) << what;
    for (std::int32_t c : f.indices) ASSERT_TRUE(m.HasVertex(c)) << what;
    ASSERT_TRUE(f.uvs.empty() || f.uvs.size() == f.indices.size()) << what;
    for (const CUV& uv : f.uvs) ASSERT_TRUE(std::isfinite(uv.u) && std::isfinite(uv.v)) << what;
  }
  for (const CVertex& v : m.vertices)
    ASSERT_TRUE(std::isfinite(v.position.x) && std::isfinite(v.position.y) && std::isfinite(v.position.z)) << what;
}

void SelectFaces(CMeshwright& s, std::mt19937& rng, double share) {
  SetSelectMode(s, kSelectFaces);
  CModel& m = s.models[0];
  std::bernoulli_distribution pick(share);
  for (CFace& f : m.faces) f.selected = pick(rng);
  SelectVerticesOfElements(m, kSelectFaces);
}

// Edges in edge mode: each with `share`, or only border edges with `borderOnly`.
void SelectEdges(CMeshwright& s, std::mt19937& rng, double share, bool borderOnly) {
  SetSelectMode(s, kSelectEdges);
  CModel& m = s.models[0];
  const EdgeIndex ix(m);
  std::bernoulli_distribution pick(share);
  m.selectedEdges.clear();
  for (std::size_t e = 0; e < ix.EdgeCount(); ++e)
    if ((!borderOnly || ix.IsBorder(static_cast<std::int32_t>(e))) && pick(rng))
      m.selectedEdges.push_back(ix.KeyOf(static_cast<std::int32_t>(e)));
  SelectVerticesOfElements(m, kSelectEdges);
}

struct Case {
  PrimitiveParams shape;
  std::optional<long> eulerChange;  // none when the verb's change depends on the selection's shape
};

struct Verb {
  const char* name;
  EditKind kind;
  // Builds a random case for the seed: the shape, its selection, what χ does.
  std::function<Case(std::mt19937&, CMeshwright&)> make;
  std::function<std::size_t(CMeshwright&, std::mt19937&)> apply;
};

int Between(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
double Real(std::mt19937& rng, double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
bool Coin(std::mt19937& rng) { return (rng() & 1u) != 0; }

PrimitiveParams AnyShape(std::mt19937& rng) {
  switch (Between(rng, 0, 2)) {
    case 0: return Box(Between(rng, 1, 4), Between(rng, 1, 4), Between(rng, 1, 4));
    case 1: return Grid(Between(rng, 1, 6), Between(rng, 1, 6));
    default: return Tube(Between(rng, 3, 9), Between(rng, 1, 4));
  }
}

const std::vector<Verb>& Verbs() {
  static const std::vector<Verb> verbs = {
      {"extrude region", EditKind::kExtrude,
       [](std::mt19937& rng, CMeshwright& s) {
         Case c{AnyShape(rng), 0};
         s = SceneOf(c.shape);
         SelectFaces(s, rng, Real(rng, 0.1, 1.0));
         return c;
       },
       [](CMeshwright& s, std::mt19937& rng) {
         return ExtrudeSelected(s, {Real(rng, -80, 80), false, {}});
       }},
      {"extrude individual", EditKind::kExtrude,
       [](std::mt19937& rng, CMeshwright& s) {
         Case c{AnyShape(rng), 0};
         s = SceneOf(c.shape);
         SelectFaces(s, rng, Real(rng, 0.1, 1.0));
         return c;
       },
       [](CMeshwright& s, std::mt19937& rng) {
         return ExtrudeSelected(s, {Real(rng, -80, 80), true, {}});
       }},
      {"extrude edges", EditKind::kExtrude,
       [](std::mt19937& rng, CMeshwright& s) {
         Case c{Coin(rng) ? Grid(Between(rng, 1, 5), Between(rng, 1, 5)) : Tube(Between(rng, 3, 8), 1), 0};
         s = SceneOf(c.shape);
         SelectEdges(s, rng, Real(rng, 0.2, 1.0), Coin(rng));
         return c;
       },
       [](CMeshwright& s, std::mt19937& rng) {
         return ExtrudeSelected(s, {0, false, CVector(0, static_cast<float>(Real(rng, 1, 50)), 0)});
       }},
      {"inset", EditKind::kInset,
       [](std::mt19937& rng, CMeshwright& s) {
         Case c{AnyShape(rng), 0};
         s = SceneOf(c.shape);
         SelectFaces(s, rng, Real(rng, 0.1, 1.0));
         return c;
       },
       [](CMeshwright& s, std::mt19937& rng) {
         return InsetSelected(s, {Real(rng, 0, 20), Real(rng, -20, 20), Coin(rng)});
       }},
      {"bevel edges", EditKind::kBevel,
       [](std::mt19937& rng, CMeshwright& s) {
         Case c{AnyShape(rng), 0};
         s = SceneOf(c.shape);
         SelectEdges(s, rng, Real(rng, 0.05, 1.0), false);
         return c;
       },
       [](CMeshwright& s, std::mt19937& rng) {
         return BevelSelected(s, {Real(rng, 0.5, 8), Between(rng, 1, 4), Real(rng, 0, 1)});
       }},
      {"bevel vertices", EditKind::kBevel,
       [](std::mt19937& rng, CMeshwright& s) {
         Case c{AnyShape(rng), 0};
         s = SceneOf(c.shape);
         SetSelectMode(s, kSelectVertices);
         std::bernoulli_distribution pick(Real(rng, 0.05, 0.6));
         for (CVertex& v : s.models[0].vertices) v.selected = pick(rng);
         return c;
       },
       [](CMeshwright& s, std::mt19937& rng) {
         return BevelSelected(s, {Real(rng, 0.5, 8), 1, 0.5});
       }},
      {"bridge", EditKind::kBridge,
       [](std::mt19937& rng, CMeshwright& s) {
         // The two rims of a tube (closed) or two opposite sides of a grid (open).
         const bool tube = Coin(rng);
         Case c{tube ? Tube(Between(rng, 3, 9), Between(rng, 1, 3)) : Grid(Between(rng, 1, 5), Between(rng, 2, 5)),
                tube ? 0 : -1};
         s = SceneOf(c.shape);
         SetSelectMode(s, kSelectEdges);
         CModel& m = s.models[0];
         const EdgeIndex ix(m);
         for (std::size_t e = 0; e < ix.EdgeCount(); ++e) {
           const auto edge = static_cast<std::int32_t>(e);
           if (!ix.IsBorder(edge)) continue;
           const CVector a = m.vertices[ix.Lower(edge)].position, b = m.vertices[ix.Upper(edge)].position;
           if (tube || (a.x == b.x && std::fabs(a.x) == 50.0f)) m.selectedEdges.push_back(ix.KeyOf(edge));
         }
         std::sort(m.selectedEdges.begin(), m.selectedEdges.end());
         SelectVerticesOfElements(m, kSelectEdges);
         return c;
       },
       [](CMeshwright& s, std::mt19937&) { return BridgeSelected(s); }},
      {"fill", EditKind::kFill,
       [](std::mt19937& rng, CMeshwright& s) {
         Case c{Tube(Between(rng, 3, 10), Between(rng, 1, 3)), 2};  // both rims
         s = SceneOf(c.shape);
         SelectEdges(s, rng, 1.0, true);
         return c;
       },
       [](CMeshwright& s, std::mt19937& rng) { return FillSelected(s, Coin(rng)); }},
      {"solidify", EditKind::kSolidify,
       [](std::mt19937& rng, CMeshwright& s) {
         // The whole of an open surface becomes closed: a disk a sphere, a tube a torus.
         const bool tube = Coin(rng);
         Case c{tube ? Tube(Between(rng, 3, 8), Between(rng, 1, 3)) : Grid(Between(rng, 1, 5), Between(rng, 1, 5)),
                tube ? 0 : 1};
         s = SceneOf(c.shape);
         const bool all = Coin(rng);
         SelectFaces(s, rng, all ? 1.0 : 0.4);
         if (!all) c.eulerChange.reset();
         return c;
       },
       [](CMeshwright& s, std::mt19937& rng) { return SolidifySelected(s, Real(rng, 1, 20)); }},
      {"spin", EditKind::kSpin,
       [](std::mt19937& rng, CMeshwright& s) {
         Case c{Grid(Between(rng, 1, 4), Between(rng, 1, 4)), std::nullopt};
         s = SceneOf(c.shape);
         SelectEdges(s, rng, 1.0, true);
         // One side of the grid only: a profile.
         CModel& m = s.models[0];
         std::erase_if(m.selectedEdges, [&m](std::uint64_t k) {
           return m.vertices[k >> 32].position.x != 50.0f || m.vertices[k & 0xffffffffu].position.x != 50.0f;
         });
         SelectVerticesOfElements(m, kSelectEdges);
         return c;
       },
       [](CMeshwright& s, std::mt19937& rng) {
         SpinParams p;
         // Less than a turn: a full turn brings the profile's own face round to a third face on it.
         p.degrees = Real(rng, 30, 330) * (Coin(rng) ? 1 : -1);
         p.steps = Between(rng, 3, 12);
         p.plane = kPlaneFace;
         p.centre = CVector(-60, 0, 0);
         return SpinSelected(s, p);
       }},
      {"spin faces", EditKind::kSpin,
       [](std::mt19937& rng, CMeshwright& s) {
         // Swept as an extrusion along an arc: a part turned away leaves the surface as it was.
         Case c{AnyShape(rng), 0};
         s = SceneOf(c.shape);
         SelectFaces(s, rng, Real(rng, 0.1, 0.7));
         return c;
       },
       [](CMeshwright& s, std::mt19937& rng) {
         SpinParams p;
         p.degrees = Real(rng, 20, 300) * (Coin(rng) ? 1 : -1);
         p.steps = Between(rng, 1, 8);
         p.plane = static_cast<Plane>(Between(rng, 0, 2));
         p.centre = CVector(-200, -200, -200);  // off every shape, so no corner lies on the axis
         return SpinSelected(s, p);
       }},
  };
  return verbs;
}

class GrowProperties : public testing::TestWithParam<std::size_t> {};

TEST_P(GrowProperties, KeepTheSurfaceSoundAndUndoExactly) {
  const Verb& verb = Verbs()[GetParam()];
  int changedCases = 0;
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    CMeshwright s;
    const Case c = verb.make(rng, s);
    const std::string what = std::string(verb.name) + " seed " + std::to_string(seed);
    ExpectSound(s.models[0], what + " (before)");
    std::vector<std::uint8_t> before, after, undone;
    WriteScene(s, before);
    const long euler = Euler(s.models[0]);
    SceneDelta d = SceneDelta::Capture(verb.kind, s);
    const std::size_t changed = verb.apply(s, rng);
    d.Finish(s);
    if (changed == 0) {
      WriteScene(s, after);
      ASSERT_EQ(before, after) << what << ": nothing done, yet something changed";
      continue;
    }
    ++changedCases;
    ExpectSound(s.models[0], what);
    if (HasFatalFailure()) return;
    if (c.eulerChange) {
      ASSERT_EQ(Euler(s.models[0]) - euler, *c.eulerChange) << what;
    }
    WriteScene(s, after);
    d.Undo(s);
    WriteScene(s, undone);
    ASSERT_EQ(before, undone) << what;
    d.Redo(s);
    std::vector<std::uint8_t> redone;
    WriteScene(s, redone);
    ASSERT_EQ(after, redone) << what;
  }
  EXPECT_GT(changedCases, 200) << verb.name << " did nothing too often for the cases to mean much";
}

INSTANTIATE_TEST_SUITE_P(EachVerb, GrowProperties, testing::Range<std::size_t>(0, 11),
                         [](const testing::TestParamInfo<std::size_t>& p) {
                           std::string n = Verbs()[p.param].name;
                           std::replace(n.begin(), n.end(), ' ', '_');
                           return n;
                         });

// The lit side of a face, as the perspective pane shades it.
CVector Lit(const CModel& m, const CFace& f) {
  const CVector p0 = m.vertices[f.indices[0]].position, p1 = m.vertices[f.indices[1]].position,
                p2 = m.vertices[f.indices[2]].position;
  const CVector n = Cross(p0 - p1, p0 - p2);
  return CVector(-n.x, -n.y, -n.z);
}

TEST(GrowExact, BoxTopExtrudedByTenRisesTenWithOutwardWalls) {
  CMeshwright s = SceneOf(Box(1, 1, 1));
  CModel& m = s.models[0];
  SetSelectMode(s, kSelectFaces);
  int top = -1;
  for (std::size_t f = 0; f < m.faces.size(); ++f)
    if (Lit(m, m.faces[f]).y > 0) top = static_cast<int>(f);
  ASSERT_GE(top, 0);
  m.faces[top].selected = 1;
  SelectVerticesOfElements(m, kSelectFaces);
  ASSERT_EQ(ExtrudeSelected(s, {10.0, false, {}}), 1u);
  EXPECT_EQ(m.vertices.size(), 12u);
  EXPECT_EQ(m.faces.size(), 10u);
  for (std::int32_t i : m.faces[top].indices) EXPECT_FLOAT_EQ(m.vertices[i].position.y, 60.0f);
  for (std::size_t f = 6; f < m.faces.size(); ++f) {
    const CVector lit = Lit(m, m.faces[f]);
    CVector centre;
    for (std::int32_t i : m.faces[f].indices) centre += m.vertices[i].position;
    EXPECT_GT(lit.x * centre.x + lit.z * centre.z, 0.0f) << "wall " << f << " lit from inside";
    EXPECT_EQ(m.faces[f].uvs.size(), 4u);
  }
  // The new top is what stays selected, so a move carries it.
  EXPECT_TRUE(m.faces[top].selected);
  EXPECT_EQ(std::count_if(m.vertices.begin(), m.vertices.end(), [](const CVertex& v) { return v.selected; }), 4);
}

std::vector<std::uint64_t> EdgesAt(const CModel& m, std::int32_t v) {
  const EdgeIndex ix(m);
  std::vector<std::uint64_t> keys;
  for (std::size_t e = 0; e < ix.EdgeCount(); ++e)
    if (ix.Lower(static_cast<std::int32_t>(e)) == v || ix.Upper(static_cast<std::int32_t>(e)) == v)
      keys.push_back(ix.KeyOf(static_cast<std::int32_t>(e)));
  return keys;
}

TEST(GrowExact, BevelledCubeCountsMatchTheCornerFilling) {
  struct Row {
    const char* what;
    int edges;  // 3: the edges at one corner; 2: an L; 12: all
    int segments;
    std::size_t vertices, faces;
  };
  const Row rows[] = {
      {"corner", 3, 1, 13, 10},
      {"L", 2, 1, 11, 8},
      {"all", 12, 1, 24, 26},
      {"all, two rows", 12, 2, 48, 38},
      // Where each strip ends the face across takes its rows: no face is needed to close the bend.
      {"corner, three rows", 3, 3, 13 + 3 * 2 * 2, 6 + 3 * 3 + 1},
  };
  for (const Row& r : rows) {
    CMeshwright s = SceneOf(Box(1, 1, 1));
    CModel& m = s.models[0];
    SetSelectMode(s, kSelectEdges);
    std::vector<std::uint64_t> keys;
    if (r.edges == 12) {
      const EdgeIndex ix(m);
      for (std::size_t e = 0; e < ix.EdgeCount(); ++e) keys.push_back(ix.KeyOf(static_cast<std::int32_t>(e)));
    } else {
      keys = EdgesAt(m, 0);
      keys.resize(static_cast<std::size_t>(r.edges));
    }
    std::sort(keys.begin(), keys.end());
    m.selectedEdges = keys;
    SelectVerticesOfElements(m, kSelectEdges);
    ASSERT_EQ(BevelSelected(s, {10.0, r.segments, 0.5}), 1u) << r.what;
    EXPECT_EQ(m.vertices.size(), r.vertices) << r.what;
    EXPECT_EQ(m.faces.size(), r.faces) << r.what;
    EXPECT_EQ(Euler(m), 2) << r.what;
    ExpectSound(m, r.what);
  }
}

TEST(GrowExact, InsetKeepsThicknessAcrossEveryRimEdge) {
  CMeshwright s = SceneOf(Grid(2, 1));  // two 50 x 100 quads side by side
  SelectFaces(s, *std::make_unique<std::mt19937>(1), 1.0);
  CModel& m = s.models[0];
  ASSERT_EQ(InsetSelected(s, {10.0, 0.0, false}), 1u);
  // The region's six rim vertices moved in by 10 on each side they touch: the inner rectangle.
  float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f;
  for (std::int32_t f : {0, 1})
    for (std::int32_t i : m.faces[f].indices) {
      minX = std::min(minX, m.vertices[i].position.x);
      maxX = std::max(maxX, m.vertices[i].position.x);
      minZ = std::min(minZ, m.vertices[i].position.z);
      maxZ = std::max(maxZ, m.vertices[i].position.z);
    }
  EXPECT_FLOAT_EQ(minX, -40.0f);
  EXPECT_FLOAT_EQ(maxX, 40.0f);
  EXPECT_FLOAT_EQ(minZ, -40.0f);
  EXPECT_FLOAT_EQ(maxZ, 40.0f);
  EXPECT_EQ(m.faces.size(), 2u + 6u);
}

TEST(GrowExact, AFaceSweptAFullTurnClosesIntoARing) {
  PrimitiveParams plane;
  plane.kind = PrimitiveKind::kPlane;
  plane.axis = 2;  // facing along z, swept round the Face pane's z axis 200 away
  CMeshwright s = SceneOf(plane);
  SelectFaces(s, *std::make_unique<std::mt19937>(1), 1.0);
  SpinParams p;
  p.degrees = 360;
  p.steps = 8;
  p.plane = kPlaneFace;
  p.centre = CVector(-200, 0, 0);
  ASSERT_EQ(SpinSelected(s, p), 1u);
  const CModel& m = s.models[0];
  EXPECT_EQ(m.vertices.size(), 32u);  // the square's four corners at eight steps, no loose one
  EXPECT_EQ(m.faces.size(), 32u);
  EXPECT_EQ(Euler(m), 0);
  const EdgeIndex ix(m);
  for (std::size_t e = 0; e < ix.EdgeCount(); ++e) EXPECT_EQ(ix.FaceCountOf(static_cast<std::int32_t>(e)), 2u);
  ExpectSound(m, "ring");
}

TEST(GrowExact, LockedAndHiddenModelsAreLeftAlone) {
  for (std::int32_t state : {kStateLocked, kStateHidden}) {
    CMeshwright s = SceneOf(Box(1, 1, 1));
    s.SetAllSelected(1);
    s.models[0].state = state;
    std::vector<std::uint8_t> before, after;
    WriteScene(s, before);
    EXPECT_EQ(ExtrudeSelected(s, {}) + InsetSelected(s, {}) + BevelSelected(s, {}) + SolidifySelected(s, 5.0) +
                  FillSelected(s, false) + BridgeSelected(s) + SpinSelected(s, {}),
              0u);
    WriteScene(s, after);
    EXPECT_EQ(before, after);
  }
}

// Extrude following the pointer: the distance read off a pointer motion lands the moved point
// within half a pixel (along the normal's picture) of the pointer, at zooms that are not whole,
// in every pane; a normal pointing into the pane falls back to the pointer's upward motion.
TEST(GrowExact, PointerDistanceFollowsTheNormalsPictureInEveryPane) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f), zoomOf(13.7f, 517.3f), distanceOf(-400.0f, 400.0f);
  for (int i = 0; i < 300; ++i) {
    const auto plane = static_cast<Plane>(i % 3);
    CVector n(unit(rng), unit(rng), unit(rng));
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (length < 0.1f) continue;
    n = CVector(n.x / length, n.y / length, n.z / length);
    const float zoom = zoomOf(rng);
    const double perUnit = zoom / 100.0;
    const ViewPoint u = ToView(plane, n);
    const double pixelsAlong = std::hypot(u.u, u.v) * perUnit;
    const float d = distanceOf(rng);
    const int dx = static_cast<int>(std::lround(u.u * d * perUnit)), dy = static_cast<int>(std::lround(u.v * d * perUnit));
    const double got = PointerDistanceAlong(plane, n, dx, dy, zoom);
    if (pixelsAlong > 0.1 * perUnit) {
      EXPECT_NEAR(got, d, 0.75 / pixelsAlong) << i;
    } else {
      EXPECT_DOUBLE_EQ(got, UnitsFromPixels(-dy, zoom)) << i;
    }
  }
  // Straight into the Top pane, and just either side of the tenth its picture must reach.
  EXPECT_FLOAT_EQ(static_cast<float>(PointerDistanceAlong(kPlaneTop, CVector(0, 1, 0), 5, -30, 100)), 30.0f);
  const CVector below(0.09f, std::sqrt(1 - 0.09f * 0.09f), 0), above(0.11f, std::sqrt(1 - 0.11f * 0.11f), 0);
  EXPECT_FLOAT_EQ(static_cast<float>(PointerDistanceAlong(kPlaneTop, below, 40, -30, 100)), 30.0f);
  EXPECT_NEAR(PointerDistanceAlong(kPlaneTop, above, 11, 0, 100), 100.0, 1e-4);
}

// What a pointer-follow extrudes: faces with their average outward normal, else edges or vertices.
TEST(GrowExact, TheExtrudeAxisIsTheSelectedFacesOutwardNormal) {
  CMeshwright s = SceneOf(Box(1, 1, 1));
  EXPECT_FALSE(SelectedExtrudeAxis(s).has_value());
  SetSelectMode(s, kSelectFaces);
  CModel& m = s.models[0];
  for (CFace& f : m.faces) {
    float y = 0;
    for (std::int32_t k : f.indices) y += m.vertices[static_cast<std::size_t>(k)].position.y;
    f.selected = y > 0 && std::fabs(y - 4 * m.vertices[static_cast<std::size_t>(f.indices[0])].position.y) < 1e-3f;
  }
  SelectVerticesOfElements(m, kSelectFaces);
  const auto axis = SelectedExtrudeAxis(s);
  ASSERT_TRUE(axis && axis->faces);
  EXPECT_NEAR(axis->normal.y, 1.0f, 1e-6f);
  SetSelectMode(s, kSelectVertices);
  for (CFace& f : m.faces) f.selected = 0;
  for (CVertex& v : m.vertices) v.selected = v.position.y > 0 && v.position.x > 0 && v.position.z > 0;
  m.UpdateFaceSelection();
  const auto loose = SelectedExtrudeAxis(s);
  ASSERT_TRUE(loose.has_value());
  EXPECT_FALSE(loose->faces);
}

}  // namespace
}  // namespace mw
