// Ear clipping for drawing faces of more than four corners, and the cache that keeps its result.
#include "scene/polygon_triangles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace mw {
namespace {

struct V3 {
  double x, y, z;
};
V3 Sub(const CVector& a, const CVector& b) { return {double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z}; }
V3 CrossD(const V3& a, const V3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(const V3& a) { return std::sqrt(Dot(a, a)); }

// A shape drawn in 2D, placed in 3D by an origin and two axes.
std::vector<CVector> Place(const std::vector<std::pair<double, double>>& shape, V3 origin, V3 u, V3 v) {
  std::vector<CVector> out;
  for (auto [a, b] : shape)
    out.emplace_back(static_cast<float>(origin.x + a * u.x + b * v.x), static_cast<float>(origin.y + a * u.y + b * v.y),
                     static_cast<float>(origin.z + a * u.z + b * v.z));
  return out;
}

// Winding number of p about the outline, both in the plane spanned by u and v (independent of
// the code under test: it projects by dot products, not by dropping an axis).
int Winding(const std::vector<CVector>& poly, const V3& p, const V3& u, const V3& v) {
  auto uv = [&](const V3& q) { return std::pair<double, double>(Dot(q, u), Dot(q, v)); };
  const auto [px, py] = uv(p);
  int w = 0;
  for (std::size_t i = 0; i < poly.size(); ++i) {
    const CVector& a3 = poly[i];
    const CVector& b3 = poly[(i + 1) % poly.size()];
    const auto [ax, ay] = uv(V3{a3.x, a3.y, a3.z});
    const auto [bx, by] = uv(V3{b3.x, b3.y, b3.z});
    const double side = (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    if (ay <= py && by > py && side > 0) ++w;
    if (ay > py && by <= py && side < 0) --w;
  }
  return w;
}

// Everything a correct split of a simple polygon must satisfy: n - 2 triangles of three different
// corners, each wound like the polygon, covering exactly its area, each lying inside it. Areas are
// measured along the face's normal: corners placed in float32 leave the face a little uneven.
void ExpectExactCover(const std::vector<CVector>& poly, const V3& u, const V3& v, const std::string& what) {
  SCOPED_TRACE(what);
  std::vector<std::uint32_t> tris;
  TriangulatePolygon(poly, tris);
  const std::size_t n = poly.size();
  ASSERT_EQ(tris.size(), 3 * (n - 2));
  const CVector nf = PolygonNormal(poly);
  const V3 normal{nf.x, nf.y, nf.z};
  const double area = Length(normal) / 2;
  ASSERT_GT(area, 0);
  const V3 unit{normal.x / (2 * area), normal.y / (2 * area), normal.z / (2 * area)};
  double sum = 0;
  for (std::size_t t = 0; t < tris.size(); t += 3) {
    const std::uint32_t a = tris[t], b = tris[t + 1], c = tris[t + 2];
    ASSERT_LT(a, n);
    ASSERT_LT(b, n);
    ASSERT_LT(c, n);
    EXPECT_TRUE(a != b && b != c && a != c) << a << " " << b << " " << c;
    const V3 cross = CrossD(Sub(poly[b], poly[a]), Sub(poly[c], poly[a]));
    const double signedArea = Dot(cross, unit) / 2;
    EXPECT_GE(signedArea, -1e-9 * area) << "triangle " << t / 3 << " wound against the face";
    sum += signedArea;
    if (signedArea > 1e-6 * area) {
      const V3 centroid{(double(poly[a].x) + poly[b].x + poly[c].x) / 3,
                        (double(poly[a].y) + poly[b].y + poly[c].y) / 3,
                        (double(poly[a].z) + poly[b].z + poly[c].z) / 3};
      EXPECT_NE(Winding(poly, centroid, u, v), 0) << "triangle " << t / 3 << " lies outside the face";
    }
  }
  EXPECT_NEAR(sum, area, 1e-6 * area);
}

// Concave shapes, counter-clockwise in their own (a, b) coordinates.
const std::vector<std::pair<double, double>> kNotchedHexagon = {{0, 0}, {30, 0}, {30, 20}, {17, 7.3}, {4, 20}, {0, 20}};
const std::vector<std::pair<double, double>> kArrow = {{0, 0}, {10, 5}, {0, 10}, {3.7, 5}};  // four, as a sanity case
const std::vector<std::pair<double, double>> kStar = [] {
  std::vector<std::pair<double, double>> s;
  for (int i = 0; i < 10; ++i) {
    const double r = i % 2 ? 11.3 : 37.0, t = i * M_PI / 5 + 0.1;
    s.emplace_back(r * std::cos(t), r * std::sin(t));
  }
  return s;
}();
// A comb: teeth up, many reflex corners at the gaps.
const std::vector<std::pair<double, double>> kComb = [] {
  std::vector<std::pair<double, double>> s = {{0, 0}, {61, 0}};
  for (int i = 20; i >= 0; --i) {
    s.emplace_back(3.0 * i + 1, 10 + (i % 3));
    s.emplace_back(3.0 * i, 2.5);
  }
  s.pop_back();
  s.emplace_back(0, 10);
  return s;
}();
// A spiral-ish outline whose first three corners turn the wrong way.
const std::vector<std::pair<double, double>> kReflexFirst = {{0, 0}, {5, 5}, {10, 0}, {10, 10}, {0, 10}};

std::vector<std::pair<double, double>> Reversed(std::vector<std::pair<double, double>> s) {
  std::reverse(s.begin(), s.end());
  return s;
}

struct Frame {
  const char* name;
  V3 u, v;
};

// Both sides of every axis plane, a tilted plane (37 degrees), and one exactly between two axis
// planes.
std::vector<Frame> Frames() {
  const double c = std::cos(37 * M_PI / 180), s = std::sin(37 * M_PI / 180);
  const double n = std::sqrt(3.0);
  return {
      {"XY", {1, 0, 0}, {0, 1, 0}},
      {"YX", {0, 1, 0}, {1, 0, 0}},
      {"YZ", {0, 1, 0}, {0, 0, 1}},
      {"ZY", {0, 0, 1}, {0, 1, 0}},
      {"ZX", {0, 0, 1}, {1, 0, 0}},
      {"XZ", {1, 0, 0}, {0, 0, 1}},
      {"tilted", {c, s, 0}, {-s / n, c / n, (n - 1) / n}},
      {"diagonal", {M_SQRT1_2, -M_SQRT1_2, 0}, {0, 0, 1}},
  };
}

TEST(Triangulate, ConvexAndConcaveFacesAreCoveredExactlyInEveryPlaneAndBothWindings) {
  const std::vector<std::pair<const char*, std::vector<std::pair<double, double>>>> shapes = {
      {"pentagon", {{0, 0}, {40, 0}, {47.3, 25}, {20, 41}, {-7, 25}}},
      {"hexagon", {{0, 0}, {10, 0}, {15, 8.66}, {10, 17.32}, {0, 17.32}, {-5, 8.66}}},
      {"notched hexagon", kNotchedHexagon},
      {"arrow", kArrow},
      {"star", kStar},
      {"comb", kComb},
      {"reflex first", kReflexFirst},
  };
  for (const Frame& frame : Frames()) {
    for (const auto& [name, shape] : shapes) {
      for (bool reversed : {false, true}) {
        const auto poly = Place(reversed ? Reversed(shape) : shape, {123.25, -7.5, 1000.125}, frame.u, frame.v);
        ExpectExactCover(poly, frame.u, frame.v,
                         std::string(name) + " in " + frame.name + (reversed ? " clockwise" : " counter-clockwise"));
      }
    }
  }
}

TEST(Triangulate, TrianglesKeepTheFaceWinding) {
  // What back-face culling depends on: a clockwise face gives clockwise triangles.
  for (bool reversed : {false, true}) {
    const auto poly = Place(reversed ? Reversed(kNotchedHexagon) : kNotchedHexagon, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    std::vector<std::uint32_t> tris;
    TriangulatePolygon(poly, tris);
    for (std::size_t t = 0; t < tris.size(); t += 3) {
      const V3 cross = CrossD(Sub(poly[tris[t + 1]], poly[tris[t]]), Sub(poly[tris[t + 2]], poly[tris[t]]));
      EXPECT_GT(reversed ? -cross.z : cross.z, 0) << t;
    }
  }
}

TEST(Triangulate, CollinearAndRepeatedCornersStillCoverTheArea) {
  const V3 u{1, 0, 0}, v{0, 0, 1};
  // Extra corners along the edges of a rectangle, one of them at a reflex notch's side.
  ExpectExactCover(
      Place({{0, 0}, {10, 0}, {20, 0}, {30, 0}, {30, 10}, {15, 10}, {15, 5}, {15, 2}, {10, 2}, {10, 10}, {0, 10}},
            {0, 0, 0}, u, v),
      u, v, "collinear corners");
  // The same corner twice in a row, and the first corner repeated at the end.
  ExpectExactCover(Place({{0, 0}, {10, 0}, {10, 0}, {10, 10}, {5, 3}, {0, 10}, {0, 10}, {0, 0}}, {0, 0, 0}, u, v), u, v,
                   "repeated corners");
  // A spike that goes out and comes back along the same line.
  ExpectExactCover(Place({{0, 0}, {10, 0}, {10, 5}, {17, 5}, {10, 5}, {10, 10}, {0, 10}}, {0, 0, 0}, u, v), u, v,
                   "zero-width spike");
}

TEST(Triangulate, DegenerateAndBrokenFacesGiveAFanAndNeverFail) {
  auto check = [](const std::vector<CVector>& poly, const char* what) {
    SCOPED_TRACE(what);
    std::vector<std::uint32_t> tris = {99};  // appends, keeping what was there
    TriangulatePolygon(poly, tris);
    ASSERT_EQ(tris.size(), 1 + 3 * (poly.size() - 2));
    EXPECT_EQ(tris[0], 99u);
    for (std::size_t i = 1; i < tris.size(); ++i) EXPECT_LT(tris[i], poly.size());
  };
  check(std::vector<CVector>(7, CVector(3, 4, 5)), "all corners the same");
  check({CVector(0, 0, 0), CVector(1, 1, 1), CVector(2, 2, 2), CVector(5, 5, 5), CVector(-1, -1, -1)}, "all on a line");
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  check({CVector(0, 0, 0), CVector(1, 0, 0), CVector(nan, 1, 0), CVector(0, 1, 0), CVector(0, 0.5f, 0)}, "NaN");
  check({CVector(0, 0, 0), CVector(inf, 0, 0), CVector(1, 1, 0), CVector(0, 1, 0), CVector(0, 0.5f, 0)}, "infinity");
  check({CVector(-3e38f, 0, 0), CVector(3e38f, 0, 0), CVector(3e38f, 3e38f, 0), CVector(0, 3e38f, 0),
         CVector(-3e38f, 3e38f, 0)},
        "near the float limit");
  // Crossing itself: a figure eight and a pentagram.
  check(Place({{0, 0}, {10, 10}, {20, 0}, {20, 10}, {10, 0}, {0, 10}}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}),
        "figure eight");
  std::vector<std::pair<double, double>> pentagram;
  for (int i = 0; i < 5; ++i) pentagram.emplace_back(std::cos(i * 4 * M_PI / 5), std::sin(i * 4 * M_PI / 5));
  check(Place(pentagram, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}), "pentagram");
  std::vector<std::uint32_t> none;
  TriangulatePolygon(std::vector<CVector>(2), none);
  TriangulatePolygon({}, none);
  EXPECT_TRUE(none.empty());
}

// Whatever finishes a face, ears or the fan it falls back on, the triangles keep the outline:
// each edge from a corner to the next is an edge of some triangle, run the same way. A fan from
// the wrong corner, or over corners already cut off, gives the right count without it.
TEST(Triangulate, FallbackFansKeepEveryOutlineEdge) {
  auto check = [](const std::vector<CVector>& poly, const char* what) {
    SCOPED_TRACE(what);
    std::vector<std::uint32_t> tris;
    TriangulatePolygon(poly, tris);
    const std::size_t n = poly.size();
    ASSERT_EQ(tris.size(), 3 * (n - 2));
    std::vector<std::uint8_t> kept(n, 0);
    for (std::size_t t = 0; t < tris.size(); t += 3)
      for (int k = 0; k < 3; ++k) {
        const std::uint32_t a = tris[t + k], b = tris[t + (k + 1) % 3];
        if ((a + 1) % n == b) kept[a] = 1;
      }
    for (std::size_t i = 0; i < n; ++i) EXPECT_TRUE(kept[i]) << "edge " << i << " -> " << (i + 1) % n;
  };
  check(std::vector<CVector>(7, CVector(3, 4, 5)), "all corners the same");
  check({CVector(0, 0, 0), CVector(1, 1, 1), CVector(2, 2, 2), CVector(5, 5, 5), CVector(-1, -1, -1)}, "all on a line");
  // Crossing itself: some ears are cut before the rest is fanned, from a corner other than the first.
  check(Place({{0, 0}, {10, 10}, {20, 0}, {20, 10}, {10, 0}, {0, 10}}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}),
        "figure eight");
  check(Place({{0, 0}, {4, 0}, {4, 4}, {0, 4}, {6, 2}, {8, 0}, {8, 4}, {5, 6}}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}),
        "a square with a crossing loop");
  std::vector<std::pair<double, double>> pentagram;
  for (int i = 0; i < 5; ++i) pentagram.emplace_back(std::cos(i * 4 * M_PI / 5), std::sin(i * 4 * M_PI / 5));
  check(Place(pentagram, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}), "pentagram");
  // Tangled outlines whose first corner is cut off as an ear before the rest is fanned.
  check(Place({{8, 2}, {8, 7}, {0, 1}, {3, 6}, {5, 8}, {9, 7}, {0, 3}}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}), "tangle 7");
  check(Place({{4, 7}, {5, 1}, {6, 3}, {3, 4}, {8, 8}, {4, 1}, {7, 8}, {6, 7}}, {0, 0, 0}, {0, 0, 1}, {1, 0, 0}),
        "tangle 8");
  check(Place({{7, 7}, {0, 5}, {0, 6}, {3, 0}, {5, 4}, {1, 0}}, {0, 0, 0}, {0, 1, 0}, {1, 0, 0}), "tangle 6");
  // Out of time part-way through.
  std::vector<CVector> comb = {CVector(0, 0, 0), CVector(6000, 0, 0)};
  for (int i = 2999; i >= 0; --i) {
    comb.emplace_back(2.0f * i + 1, 10, 0);
    comb.emplace_back(2.0f * i, 2, 0);
  }
  comb.back() = CVector(0, 10, 0);
  check(comb, "a comb too large for the budget");
  check(Place(kComb, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}), "a comb clipped whole");
}

TEST(Triangulate, AHugeConcaveFaceFinishes) {
  // 6,002 corners of a comb, half of them reflex: too many for ear clipping within its budget,
  // so part of it is fanned; what matters is that it ends, with the right number of triangles.
  std::vector<CVector> poly = {CVector(0, 0, 0), CVector(6000, 0, 0)};
  for (int i = 2999; i >= 0; --i) {
    poly.emplace_back(2.0f * i + 1, 10, 0);
    poly.emplace_back(2.0f * i, 2, 0);
  }
  poly.back() = CVector(0, 10, 0);
  std::vector<std::uint32_t> tris;
  TriangulatePolygon(poly, tris);
  ASSERT_EQ(tris.size(), 3 * (poly.size() - 2));
  for (std::uint32_t i : tris) ASSERT_LT(i, poly.size());
}

TEST(Triangulate, PolygonNormalFollowsTheOutlineEvenWhenTheFirstCornersTurnBack) {
  const auto poly = Place(kReflexFirst, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  const CVector n = PolygonNormal(poly);
  EXPECT_FLOAT_EQ(n.z, 2 * 75.0f);  // twice the area: 100 less the 25 of the notch
  EXPECT_EQ(n.x, 0.0f);
  EXPECT_EQ(n.y, 0.0f);
  // The first three corners alone turn the other way: the cross product of two edges would
  // point backwards.
  const V3 c = CrossD(Sub(poly[1], poly[0]), Sub(poly[2], poly[0]));
  EXPECT_LT(c.z, 0);
}

CModel Hexagons(int count) {
  CModel m;
  for (int f = 0; f < count; ++f) {
    const auto corners = Place(kNotchedHexagon, {100.0 * f, 0, 0}, {1, 0, 0}, {0, 1, 0});
    CFace face;
    for (const CVector& c : corners) {
      face.AddIndex(static_cast<std::int32_t>(m.vertices.size()));
      m.vertices.emplace_back(c.x, c.y, c.z);
    }
    m.faces.push_back(face);
  }
  return m;
}

std::vector<std::uint32_t> Fresh(const CModel& m, std::size_t face) {
  std::vector<CVector> corners;
  for (std::int32_t i : m.faces[face].indices) corners.push_back(m.vertices[static_cast<std::size_t>(i)].position);
  std::vector<std::uint32_t> tris;
  TriangulatePolygon(corners, tris);
  return tris;
}

std::vector<std::uint32_t> Cached(PolygonTriangleCache& cache, const CModel& m, std::size_t face) {
  const auto span = cache.Triangles(m, face);
  return std::vector<std::uint32_t>(span.begin(), span.end());
}

TEST(TriangleCache, KeepsTrianglesUntilTheFaceChanges) {
  CModel m = Hexagons(3);
  PolygonTriangleCache cache;
  for (std::size_t f = 0; f < 3; ++f) EXPECT_EQ(Cached(cache, m, f), Fresh(m, f));
  EXPECT_EQ(cache.Computed(), 3u);
  for (std::size_t f = 0; f < 3; ++f) EXPECT_EQ(Cached(cache, m, f), Fresh(m, f));
  EXPECT_EQ(cache.Computed(), 3u) << "nothing changed, nothing split again";

  // Moving one corner (the notch's tip through the top edge) changes the split.
  m.vertices[9].position.y = 21.0f;
  EXPECT_EQ(Cached(cache, m, 1), Fresh(m, 1));
  EXPECT_EQ(cache.Computed(), 4u);
  // The smallest change of a coordinate counts.
  m.vertices[9].position.y = std::nextafter(21.0f, 0.0f);
  Cached(cache, m, 1);
  EXPECT_EQ(cache.Computed(), 5u);
  // New corner indices naming vertices at the very same places count too.
  m.vertices.push_back(m.vertices[6]);
  m.faces[1].indices[0] = static_cast<std::int32_t>(m.vertices.size() - 1);
  Cached(cache, m, 1);
  EXPECT_EQ(cache.Computed(), 6u);
}

TEST(TriangleCache, FollowsFacesThatAreDeletedOrChangeTheirCornerCount) {
  CModel m = Hexagons(2);
  // A pentagon in place of the first hexagon's last corner.
  PolygonTriangleCache cache;
  Cached(cache, m, 0);
  Cached(cache, m, 1);
  m.faces[0].indices = {0, 1, 2, 3, 4};
  EXPECT_EQ(Cached(cache, m, 0), Fresh(m, 0));
  EXPECT_EQ(cache.Triangles(m, 0).size(), 9u);
  // The first face goes: the second is now face 0.
  m.faces.erase(m.faces.begin());
  EXPECT_EQ(Cached(cache, m, 0), Fresh(m, 0));
  EXPECT_TRUE(cache.Triangles(m, 1).empty()) << "no such face any more";
  // Faces that cannot be split give nothing.
  m.faces[0].indices[3] = -1;
  EXPECT_TRUE(cache.Triangles(m, 0).empty());
  m.faces[0].indices = {0, 1};
  EXPECT_TRUE(cache.Triangles(m, 0).empty());
  cache.Clear();
  EXPECT_EQ(cache.Computed(), 0u);
}

TEST(TriangleCache, FacesGrowingAgainAndAgainStayRightWhenTheStoreIsPacked) {
  // Every round gives every face one more corner, leaving the old triangles behind until the
  // store packs them away.
  CModel m;
  for (int i = 0; i < 64; ++i) m.vertices.emplace_back(std::cos(i * M_PI / 32) * 50, std::sin(i * M_PI / 32) * 50, 0);
  for (int f = 0; f < 40; ++f) m.faces.emplace_back();
  PolygonTriangleCache cache;
  for (int corners = 5; corners <= 64; ++corners) {
    for (CFace& f : m.faces) {
      f.indices.clear();
      for (int i = 0; i < corners; ++i) f.AddIndex(i * 64 / corners);
    }
    for (std::size_t f = 0; f < m.faces.size(); f += 7) ASSERT_EQ(Cached(cache, m, f), Fresh(m, f)) << corners;
  }
  for (std::size_t f = 0; f < m.faces.size(); ++f) EXPECT_EQ(Cached(cache, m, f), Fresh(m, f)) << f;
}

}  // namespace
}  // namespace mw
