// The mesh tools: weld by distance against a brute-force reference, face clean-up after a weld,
// flips, triangles, and the selection tools, with the models' display states respected.
#include "scene/mesh_tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <set>

#include "scene/polygon_triangles.h"
#include "scene/scene_delta.h"

namespace mw {
namespace {

bool SameBits(const CVector& a, const CVector& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

CFace Face(std::initializer_list<std::int32_t> corners, std::int32_t material = 3) {
  CFace f;
  f.material = material;
  for (std::int32_t i : corners) {
    f.AddIndex(i);
    f.AddUV(CUV(0.125f * static_cast<float>(f.indices.size()), 1.0f / static_cast<float>(i + 3)));
  }
  return f;
}

void SelectAll(CModel& m) {
  for (CVertex& v : m.vertices) v.selected = 1;
  m.UpdateFaceSelection();
}

// A grid of n x n quadrilaterals that share no vertex, as a triangle-soup import leaves them:
// every inner grid point is there four times, each copy off by up to `jitter` on every axis.
CModel SoupGrid(int n, double step, double jitter, std::mt19937& rng) {
  std::uniform_real_distribution<double> off(-jitter, jitter);
  CModel m;
  for (int z = 0; z < n; ++z)
    for (int x = 0; x < n; ++x) {
      CFace f;
      f.material = 1;
      const int corner[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
      for (const auto& c : corner) {
        f.AddIndex(static_cast<std::int32_t>(m.vertices.size()));
        f.AddUV(CUV(static_cast<float>(x + c[0]) / 7.0f, static_cast<float>(z + c[1]) / 7.0f));
        m.vertices.emplace_back(static_cast<float>(1234.567 + (x + c[0]) * step + off(rng)),
                                static_cast<float>(-0.37 + off(rng)),
                                static_cast<float>(-98.76 + (z + c[1]) * step + off(rng)));
      }
      m.faces.push_back(f);
    }
  m.RebuildFaceRefs();
  return m;
}

// The weld's rule computed the slow way: groups of vertices joined by every pair closer than d.
std::vector<std::uint32_t> ReferenceGroups(const std::vector<CVector>& p, double d) {
  std::vector<std::uint32_t> group(p.size());
  std::iota(group.begin(), group.end(), 0u);
  auto find = [&](std::uint32_t i) {
    while (group[i] != i) i = group[i];
    return i;
  };
  for (std::size_t i = 0; i < p.size(); ++i)
    for (std::size_t j = i + 1; j < p.size(); ++j) {
      const double dx = static_cast<double>(p[i].x) - p[j].x, dy = static_cast<double>(p[i].y) - p[j].y,
                   dz = static_cast<double>(p[i].z) - p[j].z;
      if (dx * dx + dy * dy + dz * dz < d * d) {
        const std::uint32_t a = find(static_cast<std::uint32_t>(i)), b = find(static_cast<std::uint32_t>(j));
        group[std::max(a, b)] = std::min(a, b);
      }
    }
  for (std::size_t i = 0; i < p.size(); ++i) group[i] = find(static_cast<std::uint32_t>(i));
  return group;  // each vertex's lowest-numbered group member
}

// Welds `points` (as one-corner faces, so every vertex's fate shows) and checks the vertex list
// against the reference: one vertex per group, at the group's average, in order of the keepers.
void ExpectWeldMatchesReference(const std::vector<CVector>& points, double d) {
  CModel m;
  for (const CVector& p : points) {
    m.vertices.emplace_back(p.x, p.y, p.z);
    m.faces.push_back(Face({static_cast<std::int32_t>(m.vertices.size() - 1)}));
  }
  const std::vector<std::uint32_t> group = ReferenceGroups(points, d);
  std::map<std::uint32_t, std::vector<std::size_t>> members;
  for (std::size_t i = 0; i < points.size(); ++i) members[group[i]].push_back(i);
  const WeldResult r = WeldVertices(m, d, false, 0);
  ASSERT_EQ(m.vertices.size(), members.size()) << "distance " << d;
  EXPECT_EQ(r.verticesRemoved, points.size() - members.size());
  EXPECT_EQ(r.facesRemoved, 0u);
  std::size_t k = 0;
  std::map<std::uint32_t, std::int32_t> newIndex;
  for (const auto& [keeper, list] : members) {
    double sum[3] = {0, 0, 0};
    for (std::size_t i : list) {
      sum[0] += points[i].x;
      sum[1] += points[i].y;
      sum[2] += points[i].z;
    }
    const auto n = static_cast<double>(list.size());
    const CVector expected(static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n),
                           static_cast<float>(sum[2] / n));
    EXPECT_TRUE(SameBits(m.vertices[k].position, expected)) << "group of " << keeper << ", distance " << d;
    newIndex[keeper] = static_cast<std::int32_t>(k++);
  }
  for (std::size_t i = 0; i < points.size(); ++i) EXPECT_EQ(m.faces[i].indices[0], newIndex[group[i]]);
}

TEST(Weld, AgreesWithPairwiseGroupingOverRandomCloudsAtEveryScale) {
  std::mt19937 rng(17);
  // Spreads from tiny to huge, far from the origin; distances around the typical spacing so
  // groups of every size form, cells hold several vertices and boxes straddle the distance.
  for (const double scale : {1e-4, 0.37, 1.0, 523.7, 1.5e6}) {
    for (const double offset : {0.0, -7.3e3, 2.5e5}) {
      std::uniform_real_distribution<double> u(0, scale);
      std::vector<CVector> points;
      for (int i = 0; i < 600; ++i) {
        points.emplace_back(static_cast<float>(offset + u(rng)), static_cast<float>(offset - u(rng) * 0.3),
                            static_cast<float>(u(rng) * 0.01));
        if (i % 7 == 0) points.push_back(points.back());  // exact duplicates
      }
      // A stray vertex far away takes the cells past what one 64-bit key holds.
      if (offset < 0) points.emplace_back(9.5e11f, -3.0e11f, 1.0e10f);
      for (const double f : {0.004, 0.02, 0.06, 0.3}) ExpectWeldMatchesReference(points, scale * f);
    }
  }
}

TEST(Weld, TwoDenseClustersJustOverTheDistanceApartStayTwo) {
  // Each cluster fills one cell; the cells are neighbours, so only their boxes or pairs decide.
  std::vector<CVector> points;
  for (int i = 0; i < 300; ++i) points.emplace_back(0.0001f * static_cast<float>(i % 10), 0, 0);
  for (int i = 0; i < 300; ++i) points.emplace_back(1.0011f + 0.0001f * static_cast<float>(i % 10), 0.001f, 0);
  ExpectWeldMatchesReference(points, 1.0);
  ExpectWeldMatchesReference(points, 1.002);  // the nearest pair 1.0002 apart now welds
}

TEST(Weld, ModelsFarLargerThanTheDistanceStillWeldTheirDuplicates) {
  // Billions of cells across, and neighbours one float step apart.
  std::vector<CVector> points;
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(-3e7f, 3e7f);
  for (int i = 0; i < 400; ++i) {
    points.emplace_back(u(rng), u(rng), u(rng));
    points.emplace_back(points.back().x, points.back().y, std::nextafter(points.back().z, 0.0f));
  }
  ExpectWeldMatchesReference(points, 0.001);
  ExpectWeldMatchesReference(points, 50.0);
}

TEST(Weld, ChainsOfClosePairsBecomeOneVertexWhateverTheOrder) {
  // 0 - 0.0008 - 0.0016: the ends are farther apart than the distance, yet all three are one.
  const std::vector<CVector> chain = {CVector(0.0016f, 0, 0), CVector(0, 0, 0), CVector(0.0008f, 0, 0)};
  for (int rotation = 0; rotation < 3; ++rotation) {
    std::vector<CVector> p = chain;
    std::rotate(p.begin(), p.begin() + rotation, p.end());
    CModel m;
    for (const CVector& v : p) m.vertices.emplace_back(v.x, v.y, v.z);
    EXPECT_EQ(WeldVertices(m, 0.001, false, 0).verticesRemoved, 2u);
    ASSERT_EQ(m.vertices.size(), 1u);
    EXPECT_FLOAT_EQ(m.vertices[0].position.x, 0.0008f);
  }
}

TEST(Weld, OnlyPairsStrictlyCloserThanTheDistanceWeld) {
  CModel m;
  m.vertices.emplace_back(0.25f, 1.0f, -3.0f);
  m.vertices.emplace_back(0.75f, 1.0f, -3.0f);  // exactly 0.5 away
  EXPECT_EQ(WeldVertices(m, 0.5, false, 0).verticesRemoved, 0u);
  EXPECT_EQ(WeldVertices(m, std::nextafter(0.5, 1.0), false, 0).verticesRemoved, 1u);
  ASSERT_EQ(m.vertices.size(), 1u);
  EXPECT_EQ(m.vertices[0].position, CVector(0.5f, 1.0f, -3.0f));
}

// Three vertices in one cell and one in the next, the cells' boxes nearer than the distance, so
// the pairs across are compared one by one: the pair exactly at the distance stays apart, while
// the three (closer to each other) become one. Either cell may come first in key order.
TEST(Weld, ACellOfThreeBesideAVertexExactlyTheDistanceAwayStaysTwoVertices) {
  const std::vector<CVector> first = {CVector(0, 0, 0), CVector(0.1875f, 0.4375f, 0.4375f), CVector(0.0625f, 0.375f, 0),
                                      CVector(1, 0, 0)};
  const std::vector<CVector> second = {CVector(0.875f, 0, 0), CVector(0.6875f, 0.4375f, 0.4375f),
                                       CVector(0.8125f, 0.375f, 0), CVector(-0.125f, 0, 0)};
  for (const auto& points : {first, second}) {
    CModel m;
    for (const CVector& p : points) m.vertices.emplace_back(p.x, p.y, p.z);
    EXPECT_EQ(WeldVertices(m, 1.0, false, 0).verticesRemoved, 2u);
    ASSERT_EQ(m.vertices.size(), 2u);
    EXPECT_EQ(m.vertices[1].position, points[3]);
    ExpectWeldMatchesReference(points, 1.0);
    ExpectWeldMatchesReference(points, std::nextafter(1.0, 2.0));  // now all four
  }
}

TEST(Weld, DistancesThatAreNotPositiveAndFiniteAndCoordinatesThatAreNotFiniteWeldNothing) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  CModel m;
  for (int i = 0; i < 2; ++i) {
    m.vertices.emplace_back(1, 2, 3);
    m.vertices.emplace_back(inf, 2, 3);
    m.vertices.emplace_back(nan, 2, 3);
  }
  for (const double d : {0.0, -1.0, static_cast<double>(nan), static_cast<double>(inf)})
    EXPECT_EQ(WeldVertices(m, d, false, 0).verticesRemoved, 0u) << d;
  EXPECT_EQ(WeldVertices(m, 1e30, false, 0).verticesRemoved, 1u);  // only the finite pair
  EXPECT_EQ(m.vertices.size(), 5u);
}

TEST(Weld, DuplicateGridBecomesSharedVerticesWithFacesAndCoordinatesKept) {
  std::mt19937 rng(3);
  const int n = 9;
  CModel m = SoupGrid(n, 0.37, 0.0002, rng);
  const CModel before = m;
  SelectAll(m);
  const WeldResult r = WeldVertices(m, 0.001, true, 1);
  EXPECT_EQ(m.vertices.size(), static_cast<std::size_t>((n + 1) * (n + 1)));
  EXPECT_EQ(r.verticesRemoved, before.vertices.size() - m.vertices.size());
  EXPECT_EQ(r.facesRemoved, 0u);
  ASSERT_EQ(m.faces.size(), before.faces.size());
  for (std::size_t f = 0; f < m.faces.size(); ++f) {
    const CFace &now = m.faces[f], &was = before.faces[f];
    ASSERT_EQ(now.CornerCount(), 4u);
    EXPECT_EQ(now.material, was.material);
    EXPECT_EQ(now.uvs, was.uvs);
    for (std::size_t k = 0; k < 4; ++k) {
      // Each corner sits within the jitter of where it was, on a vertex it now shares.
      const CVector& p = m.vertices[static_cast<std::size_t>(now.indices[k])].position;
      const CVector& q = before.vertices[static_cast<std::size_t>(was.indices[k])].position;
      EXPECT_NEAR(p.x, q.x, 0.0005);
      EXPECT_NEAR(p.z, q.z, 0.0005);
    }
  }
  // The inner corner of four faces is one vertex used four times.
  std::map<std::int32_t, int> uses;
  for (const CFace& f : m.faces)
    for (std::int32_t i : f.indices) ++uses[i];
  EXPECT_EQ(std::count_if(uses.begin(), uses.end(), [](const auto& u) { return u.second == 4; }), (n - 1) * (n - 1));
  EXPECT_TRUE(FaceRefsCurrent(m));
  EXPECT_TRUE(FaceNormalsCurrent(m));
  EXPECT_TRUE(VertexNormalsCurrent(m));
  EXPECT_TRUE(std::all_of(m.faces.begin(), m.faces.end(), [](const CFace& f) { return f.allSelected == 1; }));
}

TEST(Weld, FacesLoseRepeatedCornersAndGoWhenTooFewVerticesAreLeft) {
  CModel m;
  // 0 1 2 3: a unit square; 4 sits on 1, 5 on 3, 6 and 7 on 0; 8 and 9 elsewhere.
  const float xy[10][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {1, 0}, {0, 1}, {0, 0}, {0, 0}, {5, 5}, {6, 5}};
  for (const auto& p : xy) m.vertices.emplace_back(p[0] + 0.3f, p[1] - 17.1f, 2.5f);
  m.faces = {
      Face({0, 1, 4, 2}),     // adjacent corners weld: a triangle 0 1 2, the second UV of the pair goes
      Face({6, 1, 2, 0}),     // last and first weld: a triangle 6 1 2 (6 -> 0)
      Face({0, 4, 1}),        // a triangle that loses a side: gone
      Face({1, 3, 4, 5}),     // two vertices left: gone
      Face({0, 7}),           // a line whose ends weld: gone
      Face({8, 8, 9}),        // already degenerate, not touched by the weld: kept as it came
      Face({0, 1, 6, 2}),     // 0 and 6 weld but are not neighbours: four corners, three vertices, kept
      Face({9}),              // one corner: kept
      Face({2, 3, 5, 9, 8}),  // a pentagon that becomes a quadrilateral
  };
  m.pendingFace.indices = {4, 10, 3};  // 10 is the first vertex of the face under construction
  m.pendingVertices.emplace_back(9, 9, 9);
  const CModel before = m;
  SelectAll(m);
  const WeldResult r = WeldVertices(m, 0.01, true, 0);
  EXPECT_EQ(r.verticesRemoved, 4u);
  EXPECT_EQ(r.facesRemoved, 3u);
  // Kept: 0 1 2 3 8 9 -> 0 1 2 3 4 5.
  ASSERT_EQ(m.vertices.size(), 6u);
  ASSERT_EQ(m.faces.size(), 6u);
  auto expectFace = [&](std::size_t now, std::size_t was, std::initializer_list<std::int32_t> corners,
                        std::initializer_list<std::size_t> kept) {
    SCOPED_TRACE(now);
    EXPECT_EQ(m.faces[now].indices, IndexList(corners));
    UVList uvs;
    for (std::size_t k : kept) uvs.push_back(before.faces[was].uvs[k]);
    EXPECT_EQ(m.faces[now].uvs, uvs);
    EXPECT_EQ(m.faces[now].material, before.faces[was].material);
  };
  expectFace(0, 0, {0, 1, 2}, {0, 1, 3});
  expectFace(1, 1, {0, 1, 2}, {0, 1, 2});
  expectFace(2, 5, {4, 4, 5}, {0, 1, 2});
  expectFace(3, 6, {0, 1, 0, 2}, {0, 1, 2, 3});
  expectFace(4, 7, {5}, {0});
  expectFace(5, 8, {2, 3, 5, 4}, {0, 1, 3, 4});
  EXPECT_EQ(m.pendingFace.indices, IndexList({1, 6, 3}));
  EXPECT_TRUE(FaceRefsCurrent(m));
}

TEST(Weld, OnlySelectedVerticesOfEditableModelsWeld) {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  for (const std::int32_t state : {kStateNormal, kStateLocked, kStateHidden, kStateNormal}) {
    CModel m;
    m.state = state;
    for (int i = 0; i < 3; ++i) m.vertices.emplace_back(4.5f, -1.25f, 1000.0f + 0.0001f * static_cast<float>(i));
    m.faces.push_back(Face({0, 1, 2}));
    m.RebuildFaceRefs();
    SelectAll(m);
    s.models.push_back(m);
  }
  s.models[3].vertices[2].selected = 0;  // an unselected duplicate stays, even beside selected ones
  s.ComputeNormals();
  const CMeshwright before = s;
  const WeldResult r = WeldSelected(s, 0.001);
  EXPECT_EQ(r.verticesRemoved, 3u);
  EXPECT_EQ(r.facesRemoved, 2u);
  EXPECT_EQ(s.models[0].vertices.size(), 1u);
  EXPECT_EQ(s.models[3].vertices.size(), 2u);
  for (std::size_t j : {1u, 2u}) {
    ASSERT_EQ(s.models[j].vertices.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
      EXPECT_TRUE(SameBits(s.models[j].vertices[i].position, before.models[j].vertices[i].position));
    EXPECT_EQ(s.models[j].faces.size(), 1u);
  }
  // The batch form reaches every model and every vertex.
  EXPECT_EQ(WeldAll(s, 0.001).verticesRemoved, 5u);
  for (const CModel& m : s.models) EXPECT_EQ(m.vertices.size(), 1u);
}

// Faces of every size, some fully selected, on a model whose normals are current.
CModel FlipModel() {
  CModel m;
  const float p[8][3] = {{0.1f, 0.2f, 0.3f}, {10.7f, -0.4f, 1.1f}, {11.3f, 9.9f, -2.0f}, {-0.6f, 10.2f, 0.5f},
                         {5.5f, 15.1f, 3.3f}, {3.0f, 3.0f, 7.0f},  {-4.4f, -4.4f, 1.0f}, {2.0f, -8.0f, 0.0f}};
  for (const auto& v : p) m.vertices.emplace_back(v[0], v[1], v[2]);
  m.faces = {Face({0, 1, 2}, 1), Face({0, 1, 2, 3}, 2), Face({0, 1, 2, 4, 3}, 3), Face({5, 6}, 4),
             Face({5}, 5),       Face({1, 2, 7}, 6),    Face({0, 3, 6, 5}, 7)};
  m.faces[6].uvs.clear();  // a face without texture coordinates
  m.faces[3].uvs.push_back(CUV(0.5f, 0.5f));  // damaged: more coordinates than corners
  for (std::size_t i : {0u, 1u, 2u, 3u, 4u, 5u, 6u}) m.vertices[i].selected = 1;  // not 7
  m.RebuildFaceRefs();
  m.UpdateFaceSelection();
  m.ComputeNormals(1);
  return m;
}

TEST(Flip, ReversesCornersAndCoordinatesOfFullySelectedFacesAndTurnsTheirNormals) {
  CModel m = FlipModel();
  const CModel before = m;
  EXPECT_EQ(FlipFaces(m, true, 1), 5u);  // the one-corner face and the face on vertex 7 stay
  for (std::size_t f = 0; f < m.faces.size(); ++f) {
    SCOPED_TRACE(f);
    const CFace &now = m.faces[f], &was = before.faces[f];
    IndexList corners = was.indices;
    UVList uvs = was.uvs;
    if (was.CornerCount() >= 2 && f != 5) {
      std::reverse(corners.begin(), corners.end());
      std::reverse(uvs.begin(), uvs.end());
    }
    EXPECT_EQ(now.indices, corners);
    EXPECT_EQ(now.uvs, uvs);
    EXPECT_EQ(now.material, was.material);
    EXPECT_EQ(now.allSelected, was.allSelected);
    if (was.CornerCount() >= 3 && f != 5) {
      const double dot = static_cast<double>(now.normal.x) * was.normal.x +
                         static_cast<double>(now.normal.y) * was.normal.y +
                         static_cast<double>(now.normal.z) * was.normal.z;
      EXPECT_LT(dot, 0.0);
    } else {
      EXPECT_TRUE(SameBits(now.normal, was.normal));
    }
  }
  EXPECT_TRUE(FaceNormalsCurrent(m));
  EXPECT_TRUE(VertexNormalsCurrent(m));
  EXPECT_TRUE(FaceRefsCurrent(m));
}

TEST(Flip, TwiceGivesBackEveryFieldOfEveryFaceAndVertex) {
  for (const bool selectedOnly : {true, false}) {
    CModel m = FlipModel();
    const CModel before = m;
    FlipFaces(m, selectedOnly, 1);
    FlipFaces(m, selectedOnly, 1);
    ASSERT_EQ(m.faces.size(), before.faces.size());
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
      SCOPED_TRACE(f);
      EXPECT_EQ(m.faces[f].material, before.faces[f].material);
      EXPECT_EQ(m.faces[f].indices, before.faces[f].indices);
      EXPECT_EQ(m.faces[f].uvs, before.faces[f].uvs);
      EXPECT_TRUE(SameBits(m.faces[f].normal, before.faces[f].normal));
      EXPECT_EQ(m.faces[f].allSelected, before.faces[f].allSelected);
    }
    for (std::size_t i = 0; i < m.vertices.size(); ++i) {
      EXPECT_TRUE(SameBits(m.vertices[i].normal, before.vertices[i].normal));
      EXPECT_EQ(m.vertices[i].faceRefs, before.vertices[i].faceRefs);
      EXPECT_EQ(m.vertices[i].selected, before.vertices[i].selected);
    }
  }
}

TEST(Flip, LockedAndHiddenModelsKeepTheirFaces) {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  for (const std::int32_t state : {kStateLocked, kStateHidden, kStateNormal}) {
    s.models.push_back(FlipModel());
    s.models.back().state = state;
  }
  EXPECT_EQ(FlipSelectedFaces(s), 5u);
  for (std::size_t j : {0u, 1u}) EXPECT_EQ(s.models[j].faces[0].indices, IndexList({0, 1, 2}));
  EXPECT_EQ(s.models[2].faces[0].indices, IndexList({2, 1, 0}));
  EXPECT_EQ(FlipAll(s), 18u);  // six faces of two corners or more in each model
}

double Area(const CModel& m, const CFace& f) {
  std::vector<CVector> corners;
  for (std::int32_t i : f.indices) corners.push_back(m.vertices[static_cast<std::size_t>(i)].position);
  const CVector n = PolygonNormal(corners);
  return std::sqrt(static_cast<double>(n.x) * n.x + static_cast<double>(n.y) * n.y + static_cast<double>(n.z) * n.z);
}

TEST(TriangulateFaces, SplitsFacesOfMoreThanThreeCornersInPlaceKeepingWindingCoordinatesAndArea) {
  CModel m;
  // A concave chevron of six corners in the plane z = 0.7, a quadrilateral, a triangle, a line.
  const float p[9][2] = {{0, 0}, {3.3f, 1.7f}, {6.6f, 0}, {6.6f, 5.1f}, {3.3f, 6.8f}, {0, 5.1f},
                         {10, 0}, {13.7f, 0.3f}, {12, 4}};
  for (const auto& v : p) m.vertices.emplace_back(v[0], v[1], 0.7f);
  m.faces = {Face({6, 7, 8}, 1), Face({0, 1, 2, 3, 4, 5}, 2), Face({6, 7, 8, 2}, 3), Face({0, 6}, 4),
             Face({0, 1, 99, 2}, 5)};  // a corner naming no vertex: kept as it is
  m.ComputeNormals(0);
  const CModel before = m;
  EXPECT_EQ(TriangulateFaces(m, 0), 2u);
  ASSERT_EQ(m.faces.size(), 1u + 4u + 2u + 1u + 1u);
  EXPECT_EQ(m.faces[0].indices, before.faces[0].indices);
  auto check = [&](std::size_t first, std::size_t count, std::size_t was) {
    SCOPED_TRACE(was);
    const CFace& source = before.faces[was];
    double area = 0;
    for (std::size_t t = first; t < first + count; ++t) {
      const CFace& tri = m.faces[t];
      ASSERT_EQ(tri.CornerCount(), 3u);
      EXPECT_EQ(tri.material, source.material);
      for (std::size_t k = 0; k < 3; ++k) {
        const auto at = std::find(source.indices.begin(), source.indices.end(), tri.indices[k]) - source.indices.begin();
        EXPECT_EQ(tri.uvs[k], source.uvs[static_cast<std::size_t>(at)]);
      }
      EXPECT_GT(tri.normal.z * source.normal.z, 0.0f);  // wound like the face
      area += Area(m, tri);
    }
    EXPECT_NEAR(area, Area(before, source), 1e-4);
  };
  check(1, 4, 1);
  check(5, 2, 2);
  EXPECT_EQ(m.faces[7].indices, before.faces[3].indices);
  EXPECT_EQ(m.faces[8].indices, before.faces[4].indices);
  EXPECT_TRUE(FaceRefsCurrent(m));
  EXPECT_EQ(TriangulateFaces(m, 0), 0u);
}

// Two strips of faces that share no vertex, and a vertex no face uses.
CModel TwoParts() {
  CModel m;
  for (int i = 0; i < 9; ++i) m.vertices.emplace_back(static_cast<float>(i) * 1.5f, 0.25f, -3.0f);
  m.faces = {Face({0, 1, 2}), Face({2, 3}), Face({3, 4, 1}), Face({5, 6, 7}), Face({7, 6, 99})};
  m.RebuildFaceRefs();
  return m;
}

TEST(SelectionTools, SelectConnectedFloodsAcrossSharedFacesOnly) {
  CMeshwright s;
  s.ResetScene();
  s.models = {TwoParts(), TwoParts(), TwoParts()};
  s.models[1].state = kStateHidden;
  for (CModel& m : s.models) {
    m.vertices[4].selected = 1;
    m.UpdateFaceSelection();
  }
  SelectConnected(s);
  std::vector<std::uint8_t> selected;
  for (const CVertex& v : s.models[0].vertices) selected.push_back(v.selected);
  EXPECT_EQ(selected, std::vector<std::uint8_t>({1, 1, 1, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(s.models[0].faces[2].allSelected, 1);
  EXPECT_EQ(s.models[0].faces[3].allSelected, 0);
  EXPECT_EQ(s.models[1].vertices[0].selected, 0);  // hidden: untouched
  EXPECT_EQ(s.models[2].vertices[2].selected, 1);
  // From the other part; the corner naming no vertex joins nothing.
  s.models[0].vertices[6].selected = 1;
  SelectConnected(s);
  EXPECT_EQ(s.models[0].vertices[7].selected, 1);
  EXPECT_EQ(s.models[0].vertices[8].selected, 0);
}

TEST(SelectionTools, InvertSelectionFlipsEditableModelsOnly) {
  CMeshwright s;
  s.ResetScene();
  s.models = {TwoParts(), TwoParts(), TwoParts()};
  s.models[1].state = kStateLocked;
  s.models[2].state = kStateHidden;
  for (CModel& m : s.models) {
    for (std::size_t i : {0u, 1u, 2u}) m.vertices[i].selected = 1;
    m.UpdateFaceSelection();
  }
  InvertSelection(s);
  EXPECT_EQ(s.models[0].vertices[0].selected, 0);
  EXPECT_EQ(s.models[0].vertices[5].selected, 1);
  EXPECT_EQ(s.models[0].faces[0].allSelected, 0);
  EXPECT_EQ(s.models[0].faces[3].allSelected, 1);
  for (std::size_t j : {1u, 2u}) {
    EXPECT_EQ(s.models[j].vertices[0].selected, 1);
    EXPECT_EQ(s.models[j].vertices[5].selected, 0);
  }
  InvertSelection(s);
  EXPECT_EQ(s.models[0].vertices[0].selected, 1);
  EXPECT_EQ(s.models[0].vertices[5].selected, 0);
}

}  // namespace
}  // namespace mw
