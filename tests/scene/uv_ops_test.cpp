// Texture coordinates shaped by the user: projections against exact values, seams kept through
// renumbering and the document, islands, unwrapping (angles kept, a cylinder unrolled, no flipped
// triangle), packing (no overlap, inside 0..1, margins, area shares) and the checks.
#include "scene/uv_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "scene/archive.h"
#include "scene/edge_index.h"
#include "scene/mesh_tools.h"
#include "scene/meshwright.h"
#include "scene/primitives.h"
#include "scene/scene_delta.h"
#include "tests/support/scene_samples.h"

namespace mw {
namespace {

void AddFace(CModel& m, std::initializer_list<CVector> corners) {
  CFace f;
  for (const CVector& p : corners) {
    f.indices.push_back(static_cast<std::int32_t>(m.vertices.size()));
    m.vertices.emplace_back(p.x, p.y, p.z);
  }
  m.faces.push_back(f);
}

std::vector<std::int32_t> AllFaces(const CModel& m) {
  std::vector<std::int32_t> out(m.faces.size());
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::int32_t>(i);
  return out;
}

double SignedUVArea(const CFace& f) {
  double a = 0;
  for (std::size_t k = 0; k < f.uvs.size(); ++k) {
    const CUV &p = f.uvs[k], &q = f.uvs[(k + 1) % f.uvs.size()];
    a += static_cast<double>(p.u) * q.v - static_cast<double>(q.u) * p.v;
  }
  return a / 2;
}

double Angle3(const CVector& o, const CVector& a, const CVector& b) {
  const double ax = a.x - o.x, ay = a.y - o.y, az = a.z - o.z, bx = b.x - o.x, by = b.y - o.y, bz = b.z - o.z;
  const double cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
  return std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), ax * bx + ay * by + az * bz);
}
double Angle2(const CUV& o, const CUV& a, const CUV& b) {
  const double ax = a.u - o.u, ay = a.v - o.v, bx = b.u - o.u, by = b.v - o.v;
  return std::atan2(std::abs(ax * by - ay * bx), ax * bx + ay * by);
}
// The largest difference between a corner's angle in space and in the texture.
double WorstAngle(const CModel& m) {
  double worst = 0;
  for (const CFace& f : m.faces) {
    const std::size_t n = f.indices.size();
    for (std::size_t k = 0; k < n; ++k) {
      const auto p = [&](std::size_t i) { return m.vertices[static_cast<std::size_t>(f.indices[i % n])].position; };
      worst = std::max(worst, std::abs(Angle3(p(k), p(k + n - 1), p(k + 1)) -
                                       Angle2(f.uvs[k], f.uvs[(k + n - 1) % n], f.uvs[(k + 1) % n])));
    }
  }
  return worst;
}

TEST(UVProjection, PlanarAndViewProjectionsGiveTheExactFittedValues) {
  const auto xy = [](CModel& m) { AddFace(m, {{0, 0, 0}, {0, 1, 0}, {2, 1, 0}, {2, 0, 0}}); };
  const auto tall = [](CModel& m) { AddFace(m, {{0, 0, 0}, {0, 2, 0}, {1, 2, 0}, {1, 0, 0}}); };
  const auto yz = [](CModel& m) { AddFace(m, {{0, 0, 0}, {0, 1, 0}, {0, 1, 2}, {0, 0, 2}}); };
  const auto xz = [](CModel& m) { AddFace(m, {{0, 0, 0}, {2, 0, 0}, {2, 0, 1}, {0, 0, 1}}); };
  const auto point = [](CModel& m) { AddFace(m, {{3, 3, 3}, {3, 3, 3}, {3, 3, 3}}); };
  struct Case {
    const char* what;
    void (*build)(CModel&);
    UVProjectionOptions options;
    std::vector<CUV> expected;
  };
  const Case cases[] = {
      {"front, wide: the short side centred", xy, {UVProjection::kPlanarZ, {}, {}}, {{0, .75f}, {0, .25f}, {1, .25f}, {1, .75f}}},
      {"front, tall", tall, {UVProjection::kPlanarZ, {}, {}}, {{.25f, 1}, {.25f, 0}, {.75f, 0}, {.75f, 1}}},
      {"side", yz, {UVProjection::kPlanarX, {}, {}}, {{1, .75f}, {1, .25f}, {0, .25f}, {0, .75f}}},
      {"top", xz, {UVProjection::kPlanarY, {}, {}}, {{0, .25f}, {1, .25f}, {1, .75f}, {0, .75f}}},
      {"view along -x is the side", yz, {UVProjection::kView, {-1, 0, 0}, {0, 1, 0}}, {{1, .75f}, {1, .25f}, {0, .25f}, {0, .75f}}},
      {"view down with -z up is the top", xz, {UVProjection::kView, {0, -1, 0}, {0, 0, -1}}, {{0, .25f}, {1, .25f}, {1, .75f}, {0, .75f}}},
      {"a face of no size lands in the middle", point, {UVProjection::kPlanarZ, {}, {}}, {{.5f, .5f}, {.5f, .5f}, {.5f, .5f}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CModel m;
    c.build(m);
    const std::vector<std::int32_t> all = AllFaces(m);
    EXPECT_EQ(ProjectUVs(m, all, c.options), 1u);  // the face had no UVs and got them
    ASSERT_EQ(m.faces[0].uvs.size(), c.expected.size());
    for (std::size_t k = 0; k < c.expected.size(); ++k) {
      EXPECT_EQ(m.faces[0].uvs[k].u, c.expected[k].u) << k;
      EXPECT_EQ(m.faces[0].uvs[k].v, c.expected[k].v) << k;
    }
  }
}

TEST(UVProjection, BoxCylinderAndSphereFitTheSquareUnmirrored) {
  PrimitiveParams box;
  box.kind = PrimitiveKind::kBox;
  CModel cube = BuildPrimitive(box, CVector(0, 0, 0), 0);
  for (CFace& f : cube.faces) f.uvs.clear();
  ASSERT_EQ(ProjectUVs(cube, AllFaces(cube), {UVProjection::kBox, {}, {}}), 6u);
  for (const CFace& f : cube.faces) {
    std::vector<std::pair<float, float>> got;
    for (const CUV& uv : f.uvs) got.emplace_back(uv.u, uv.v);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::pair<float, float>>{{0.f, 0.f}, {0.f, 1.f}, {1.f, 0.f}, {1.f, 1.f}}));
    EXPECT_GT(SignedUVArea(f), 0.0);  // every side shows the picture the right way round
  }

  PrimitiveParams tube;
  tube.kind = PrimitiveKind::kCylinder;
  tube.sides = 8;
  tube.radius = 1;
  tube.height = 2;
  tube.caps = CapFill::kNone;
  CModel cyl = BuildPrimitive(tube, CVector(5, 5, 5), 0);
  ASSERT_EQ(ProjectUVs(cyl, AllFaces(cyl), {UVProjection::kCylinder, {0, 1, 0}, {}}), 8u);
  // Round the axis, u spans the square; the height keeps its share of the circumference.
  float lo = 1, hi = 0, vlo = 1, vhi = 0;
  for (const CFace& f : cyl.faces) {
    float flo = 1, fhi = 0;
    for (const CUV& uv : f.uvs) flo = std::min(flo, uv.u), fhi = std::max(fhi, uv.u), vlo = std::min(vlo, uv.v), vhi = std::max(vhi, uv.v);
    EXPECT_NEAR(fhi - flo, 1.0 / 8, 1e-6);  // the face across the back line does not span the square
    lo = std::min(lo, flo), hi = std::max(hi, fhi);
    EXPECT_GT(SignedUVArea(f), 0.0);
  }
  EXPECT_NEAR(lo, 0, 1e-6);
  EXPECT_NEAR(hi, 1, 1e-6);
  EXPECT_NEAR(vhi - vlo, 2 / (2 * std::numbers::pi), 1e-6);
  EXPECT_NEAR((vhi + vlo) / 2, 0.5, 1e-6);

  PrimitiveParams ball;
  ball.kind = PrimitiveKind::kSphere;
  ball.segments = 12;
  ball.rings = 6;
  CModel sphere = BuildPrimitive(ball, CVector(0, 0, 0), 0);
  ProjectUVs(sphere, AllFaces(sphere), {UVProjection::kSphere, {0, 1, 0}, {}});
  vlo = 1, vhi = 0;
  for (const CFace& f : sphere.faces)
    for (const CUV& uv : f.uvs) vlo = std::min(vlo, uv.v), vhi = std::max(vhi, uv.v);
  EXPECT_NEAR(vlo, 0.25, 1e-6);  // pole to pole is half the way round
  EXPECT_NEAR(vhi, 0.75, 1e-6);

  // Back to the table; faces of no corners to speak of and hidden faces are left alone.
  CModel grid;
  test::FillGrid(grid, 3);
  grid.faces[1].hidden = 1;
  AddFace(grid, {{0, 0, 0}, {1, 1, 1}});
  ProjectUVs(grid, AllFaces(grid), {UVProjection::kPlanarY, {}, {}});
  EXPECT_EQ(grid.faces[1].uvs[2], CUV(1, 1));
  EXPECT_TRUE(grid.faces[4].uvs.empty());
  EXPECT_EQ(ResetUVs(grid, AllFaces(grid)), 3u);
  EXPECT_EQ(grid.faces[0].uvs[1], CUV(0, 1));
  EXPECT_EQ(ResetUVs(grid, AllFaces(grid)), 0u);
}

TEST(UVSeams, SeamsFollowTheirVerticesThroughCopiesRenumberingAndTheDocument) {
  CMeshwright s;
  s.ResetScene();
  test::FillGrid(s.models[0], 3);  // vertices 0..8, row by row
  CModel& m = s.models[0];
  for (int v : {4, 5}) m.vertices[static_cast<std::size_t>(v)].selected = 1;
  EXPECT_EQ(MarkSelectedSeams(m, false, true), 1u);
  m.selectedEdges = {EdgeKey(7, 8)};
  EXPECT_EQ(MarkSelectedSeams(m, true, true), 1u);
  SetSeam(m, 0, 1, true);
  EXPECT_EQ(m.seamEdges, (std::vector<std::uint64_t>{EdgeKey(0, 1), EdgeKey(4, 5), EdgeKey(7, 8)}));
  EXPECT_EQ(MarkSelectedSeams(m, true, false), 1u);
  EXPECT_FALSE(IsSeam(m, 8, 7));
  SetSeam(m, 7, 8, true);

  // Copies, swaps and the document keep them; a document without seams writes no section.
  CModel copy;
  copy = m;
  EXPECT_EQ(copy.seamEdges, m.seamEdges);
  CModel other;
  SwapModelRecord(other, copy);
  EXPECT_EQ(other.seamEdges, m.seamEdges);
  std::vector<std::uint8_t> bytes;
  WriteScene(s, bytes);
  CMeshwright back;
  ASSERT_TRUE(ReadScene(back, bytes.data(), bytes.size()).ok());
  EXPECT_EQ(back.models[0].seamEdges, m.seamEdges);
  std::vector<std::uint8_t> again;
  WriteScene(back, again);
  EXPECT_EQ(again, bytes);
  back.models[0].seamEdges.clear();
  again.clear();
  WriteScene(back, again);
  EXPECT_EQ(again.size(), bytes.size() - 8 - 8 - 4 - 4 - 3 * 8);

  // Deleting the first face drops vertex 0 (and the seam on it); the others move down by one but
  // keep naming the same places.
  for (CVertex& v : m.vertices) v.selected = 0;
  m.UpdateFaceSelection();
  m.faces[0].allSelected = 1;
  m.DeleteSelectedFaces();
  EXPECT_EQ(m.seamEdges, (std::vector<std::uint64_t>{EdgeKey(3, 4), EdgeKey(6, 7)}));
  EXPECT_EQ(m.vertices[3].position, CVector(1, 0, 1));
  // Welding the two ends of a seam leaves an edge of no length: it goes.
  m.vertices[7].position = m.vertices[6].position;
  WeldVertices(m, 0.001, false, 0);
  EXPECT_EQ(m.seamEdges, (std::vector<std::uint64_t>{EdgeKey(3, 4)}));
  // Sharp edges become seams: none on a flat grid, all four where a cube's sides meet.
  CModel flat;
  test::FillGrid(flat, 4);
  EXPECT_EQ(MarkSharpSeams(flat, AllFaces(flat), 30), 0u);
  PrimitiveParams box;
  box.kind = PrimitiveKind::kBox;
  CModel cube = BuildPrimitive(box, CVector(0, 0, 0), 0);
  EXPECT_EQ(MarkSharpSeams(cube, AllFaces(cube), 89.9), 12u);
  cube.seamEdges.clear();
  EXPECT_EQ(MarkSharpSeams(cube, AllFaces(cube), 90), 0u);  // exactly at the angle is not sharper
}

TEST(UVIslands, FacesJoinOnlyAcrossEdgesWithTheSameUVsAtBothEndsAndNoSeam) {
  CModel m;
  test::FillGrid(m, 3, 1, 1);
  // Give all four quads the planar UVs of their positions: shared corners share UVs.
  ProjectUVs(m, AllFaces(m), {UVProjection::kPlanarY, {}, {}});
  EXPECT_EQ(FindUVIslands(m, AllFaces(m)).size(), 1u);
  // One corner moved in one face only: that face parts from the neighbours at that corner's edges
  // (it still shares the opposite corner's edge with nobody).
  CModel moved = m;
  moved.faces[3].uvs[0].u += 0.25f;
  const auto parted = FindUVIslands(moved, AllFaces(moved));
  ASSERT_EQ(parted.size(), 2u);
  EXPECT_EQ(parted[1], (std::vector<std::int32_t>{3}));
  // A seam between faces 0 and 1 (vertices 1 and 4), and one between 2 and 3 (4 and 7): two islands.
  SetSeam(m, 1, 4, true);
  EXPECT_EQ(FindUVIslands(m, AllFaces(m)).size(), 1u);  // still joined round the other way
  SetSeam(m, 4, 7, true);
  const auto cut = FindUVIslands(m, AllFaces(m));
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[0], (std::vector<std::int32_t>{0, 2}));
  EXPECT_EQ(FindSeamIslands(m, AllFaces(m)), cut);
  // A face without UVs is an island of its own; faces not listed are not looked at.
  m.faces[2].uvs.clear();
  EXPECT_EQ(FindUVIslands(m, AllFaces(m)).size(), 3u);
  EXPECT_EQ(FindUVIslands(m, std::vector<std::int32_t>{0, 1}).size(), 2u);
}

TEST(UVUnwrap, AFlatGridComesOutAsASimilarityOfItself) {
  CModel m;
  test::FillGrid(m, 6, 1.0f, 2.0f);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> jitter(-0.3f, 0.3f);
  for (std::size_t i = 0; i < m.vertices.size(); ++i) {
    const std::size_t x = i % 6, z = i / 6;
    if (x == 0 || z == 0 || x == 5 || z == 5) continue;
    m.vertices[i].position.x += jitter(rng), m.vertices[i].position.z += jitter(rng);
  }
  EXPECT_EQ(UnwrapUVs(m, AllFaces(m)), 1u);
  EXPECT_LT(WorstAngle(m), 1e-4);
  // One scale for every side.
  double lo = 1e9, hi = 0;
  for (const CFace& f : m.faces)
    for (std::size_t k = 0; k < 4; ++k) {
      const CVector &a = m.vertices[static_cast<std::size_t>(f.indices[k])].position,
                    &b = m.vertices[static_cast<std::size_t>(f.indices[(k + 1) % 4])].position;
      const double l3 = std::hypot(a.x - b.x, a.z - b.z);
      const double l2 = std::hypot(f.uvs[k].u - f.uvs[(k + 1) % 4].u, f.uvs[k].v - f.uvs[(k + 1) % 4].v);
      lo = std::min(lo, l2 / l3), hi = std::max(hi, l2 / l3);
    }
  EXPECT_LT((hi - lo) / lo, 1e-4);
  for (const FaceStretch& s : MeasureUVStretch(m, AllFaces(m))) {
    EXPECT_NEAR(s.areaRatio, 1.0f, 1e-4f);
    EXPECT_LT(s.angleDistortion, 1e-4f);
  }
}

TEST(UVUnwrap, ACylinderCutAlongOneSeamUnrollsToARectangle) {
  PrimitiveParams tube;
  tube.kind = PrimitiveKind::kCylinder;
  tube.sides = 12;
  tube.radius = 1;
  tube.height = 3;
  tube.heightSegments = 3;
  tube.caps = CapFill::kNone;
  CModel m = BuildPrimitive(tube, CVector(0, 0, 0), 0);
  const CVector line = m.vertices[0].position;
  for (const CFace& f : m.faces)
    for (std::size_t k = 0; k < 4; ++k) {
      const std::int32_t a = f.indices[k], b = f.indices[(k + 1) % 4];
      const CVector &p = m.vertices[static_cast<std::size_t>(a)].position, &q = m.vertices[static_cast<std::size_t>(b)].position;
      if (p.x == line.x && p.z == line.z && q.x == line.x && q.z == line.z) SetSeam(m, a, b, true);
    }
  ASSERT_EQ(m.seamEdges.size(), 3u);
  ASSERT_EQ(UnwrapUVs(m, AllFaces(m), 0.0), 1u);
  EXPECT_LT(WorstAngle(m), 1e-3);
  float lu = 1, hu = 0, lv = 1, hv = 0;
  for (const CFace& f : m.faces)
    for (const CUV& uv : f.uvs) lu = std::min(lu, uv.u), hu = std::max(hu, uv.u), lv = std::min(lv, uv.v), hv = std::max(hv, uv.v);
  const double around = 12 * 2 * std::sin(std::numbers::pi / 12);
  EXPECT_NEAR((hu - lu) / (hv - lv), around / 3, 1e-3 * around / 3);
  EXPECT_NEAR(hu - lu, 1.0, 1e-6);  // the longer side fills the square
  EXPECT_EQ(CountOverlappingUVFaces(m, AllFaces(m)), 0u);
}

TEST(UVUnwrap, ASphereCutIntoIslandsHasNoFlippedTriangle) {
  PrimitiveParams ball;
  ball.kind = PrimitiveKind::kSphere;
  ball.segments = 16;
  ball.rings = 8;
  CModel m = BuildPrimitive(ball, CVector(0, 0, 0), 0);
  // The equator and the meridian through vertex 1 (poles included) are cut.
  CVector first;
  for (const CVertex& v : m.vertices)
    if (std::hypot(v.position.x, v.position.z) > 1e-3) {
      first = v.position;
      break;
    }
  const double meridian = std::atan2(first.z, first.x);
  const auto onMeridian = [&](const CVector& p) {
    return std::hypot(p.x, p.z) < 1e-4 || std::abs(std::atan2(p.z, p.x) - meridian) < 1e-5;
  };
  for (const CFace& f : m.faces)
    for (std::size_t k = 0; k < f.indices.size(); ++k) {
      const std::int32_t a = f.indices[k], b = f.indices[(k + 1) % f.indices.size()];
      const CVector &p = m.vertices[static_cast<std::size_t>(a)].position, &q = m.vertices[static_cast<std::size_t>(b)].position;
      if ((std::abs(p.y) < 1e-4 && std::abs(q.y) < 1e-4) || (onMeridian(p) && onMeridian(q))) SetSeam(m, a, b, true);
    }
  EXPECT_EQ(UnwrapUVs(m, AllFaces(m)), 2u);
  for (const CFace& f : m.faces) {
    const std::size_t n = f.uvs.size();
    for (std::size_t k = 1; k + 1 < n; ++k) {  // a fan of each face
      const CUV &a = f.uvs[0], &b = f.uvs[k], &c = f.uvs[k + 1];
      EXPECT_GT((b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u), 0.0f);
    }
  }
  EXPECT_EQ(CountOverlappingUVFaces(m, AllFaces(m)), 0u);
}

// Islands of random shapes, sizes and places, some of several faces: packing leaves none
// overlapping another, all inside the square, at least about the margin apart, each keeping its
// shape and its share of the surface.
TEST(UVPack, RandomIslandsAreSeparatedInsideTheSquareAndKeepTheirShares) {
  std::mt19937 rng(11);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    CModel m;
    std::vector<std::vector<std::int32_t>> islands;
    const int count = 1 + static_cast<int>(unit(rng) * 40);
    for (int i = 0; i < count; ++i) {
      CModel piece;
      const int side = 2 + static_cast<int>(unit(rng) * 3);
      test::FillGrid(piece, side, static_cast<float>(0.1 + unit(rng) * 5), static_cast<float>(0.1 + unit(rng) * 5));
      if (unit(rng) < 0.3) piece.faces.resize(1);
      // UVs: the positions turned, scaled and moved anyhow (the islands overlap as given).
      const double turn = unit(rng) * 6.3, scale = 0.01 + unit(rng), du = unit(rng) * 3 - 1, dv = unit(rng) * 3 - 1;
      for (CFace& f : piece.faces)
        for (std::size_t k = 0; k < 4; ++k) {
          const CVector& p = piece.vertices[static_cast<std::size_t>(f.indices[k])].position;
          // (z, x) rather than (x, z): the grid's corners then turn the way an unmirrored face does.
          f.uvs[k] = CUV(static_cast<float>((p.z * std::cos(turn) - p.x * std::sin(turn)) * scale + du),
                         static_cast<float>((p.z * std::sin(turn) + p.x * std::cos(turn)) * scale + dv));
        }
      const auto base = static_cast<std::int32_t>(m.faces.size());
      auto& island = islands.emplace_back();
      for (std::size_t f = 0; f < piece.faces.size(); ++f) island.push_back(base + static_cast<std::int32_t>(f));
      AppendModel(m, piece);
    }
    const double margin = round % 3 == 0 ? 0.0 : round % 3 == 1 ? 0.01 : 0.05;
    EXPECT_EQ(PackUVIslands(m, AllFaces(m), margin), islands.size());
    EXPECT_EQ(CountOverlappingUVFaces(m, AllFaces(m)), 0u);
    std::vector<std::array<float, 4>> boxes;
    double firstShare = -1;
    for (const auto& island : islands) {
      std::array<float, 4> b{1, 1, 0, 0};
      double area2 = 0, area3 = 0;
      for (std::int32_t f : island) {
        const CFace& face = m.faces[static_cast<std::size_t>(f)];
        for (const CUV& uv : face.uvs) {
          ASSERT_TRUE(uv.u >= 0 && uv.u <= 1 && uv.v >= 0 && uv.v <= 1);
          b = {std::min(b[0], uv.u), std::min(b[1], uv.v), std::max(b[2], uv.u), std::max(b[3], uv.v)};
        }
        area2 += SignedUVArea(face);
        const CVector &p0 = m.vertices[static_cast<std::size_t>(face.indices[0])].position,
                      &p2 = m.vertices[static_cast<std::size_t>(face.indices[2])].position;
        area3 += std::abs(p2.x - p0.x) * std::abs(p2.z - p0.z);
      }
      EXPECT_GT(area2, 0.0);  // turned, never mirrored
      // Every island is a rectangle: turned to its smallest box, it fills it.
      EXPECT_NEAR((b[2] - b[0]) * (b[3] - b[1]) / area2, 1.0, 1e-3);
      const double share = area2 / area3;
      if (firstShare < 0) firstShare = share;
      EXPECT_NEAR(share / firstShare, 1.0, 1e-3);
      boxes.push_back(b);
    }
    for (std::size_t i = 0; i < boxes.size(); ++i)
      for (std::size_t j = i + 1; j < boxes.size(); ++j) {
        const float gap = std::max({boxes[j][0] - boxes[i][2], boxes[i][0] - boxes[j][2], boxes[j][1] - boxes[i][3],
                                    boxes[i][1] - boxes[j][3]});
        EXPECT_GE(gap, 0.9 * margin - 1e-6) << i << " " << j;
      }
  }
}

TEST(UVChecks, StretchAndOverlapCountWhatTheyShould) {
  CModel m;
  AddFace(m, {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}});
  AddFace(m, {{1, 0, 0}, {1, 1, 0}, {2, 1, 0}, {2, 0, 0}});
  m.faces[0].uvs = {CUV(0, 0), CUV(0, 1), CUV(2, 1), CUV(2, 0)};      // twice as wide, angles kept
  m.faces[1].uvs = {CUV(0, 2), CUV(0.5f, 3), CUV(1.5f, 3), CUV(1, 2)};  // sheared by 26.57 degrees
  const auto s = MeasureUVStretch(m, AllFaces(m));
  EXPECT_NEAR(s[0].areaRatio, 4.0 / 3, 1e-6);
  EXPECT_NEAR(s[1].areaRatio, 2.0 / 3, 1e-6);
  EXPECT_NEAR(s[0].angleDistortion, 0.0, 1e-7);
  EXPECT_NEAR(s[1].angleDistortion, std::atan(0.5) / std::numbers::pi, 1e-6);
  EXPECT_EQ(CountOverlappingUVFaces(m, AllFaces(m)), 0u);
  struct Case {
    const char* what;
    std::vector<CUV> second;
    std::size_t overlapping;
  };
  const Case cases[] = {
      {"sharing an edge", {CUV(2, 0), CUV(2, 1), CUV(3, 1), CUV(3, 0)}, 0},
      {"sharing a corner", {CUV(2, 1), CUV(2, 2), CUV(3, 2), CUV(3, 1)}, 0},
      {"the same place", {CUV(0, 0), CUV(0, 1), CUV(2, 1), CUV(2, 0)}, 2},
      {"inside the other", {CUV(0.5f, 0.25f), CUV(0.5f, 0.75f), CUV(1, 0.75f), CUV(1, 0.25f)}, 2},
      {"reaching over by a little", {CUV(1.99f, 0), CUV(1.99f, 1), CUV(3, 1), CUV(3, 0)}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m.faces[1].uvs = {c.second[0], c.second[1], c.second[2], c.second[3]};
    EXPECT_EQ(CountOverlappingUVFaces(m, AllFaces(m)), c.overlapping);
  }
}

}  // namespace
}  // namespace mw
