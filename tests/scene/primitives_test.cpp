// The shapes of the 基本図形 dialog and mwconv --add: counts, closure, winding, texture
// coordinates and size over a range of settings, and how they are read, placed and undone.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "scene/meshwright.h"
#include "scene/primitives.h"
#include "scene/scene_delta.h"
#include "scene/texture_service.h"

namespace mw {
namespace {

constexpr double kPi = std::numbers::pi;

struct Vec {
  double x = 0, y = 0, z = 0;
};
Vec Sub(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Cross(const Vec& a, const Vec& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec At(const CModel& m, std::int32_t i) {
  const CVector& p = m.vertices[static_cast<std::size_t>(i)].position;
  return {p.x, p.y, p.z};
}

// Volume enclosed with the lit side counted as outside. The program lights the side from which the
// corners run clockwise, so each fan triangle enters with its corners taken the other way round.
double LitVolume(const CModel& m) {
  double v = 0;
  for (const CFace& f : m.faces)
    for (std::size_t k = 1; k + 1 < f.indices.size(); ++k)
      v += Dot(At(m, f.indices[0]), Cross(At(m, f.indices[k + 1]), At(m, f.indices[k])));
  return v / 6.0;
}

// The area vector of every face together, pointing to the lit side.
Vec LitArea(const CModel& m) {
  Vec sum;
  for (const CFace& f : m.faces)
    for (std::size_t k = 1; k + 1 < f.indices.size(); ++k) {
      const Vec a = At(m, f.indices[0]);
      const Vec n = Cross(Sub(At(m, f.indices[k + 1]), a), Sub(At(m, f.indices[k]), a));
      sum = {sum.x + n.x / 2, sum.y + n.y / 2, sum.z + n.z / 2};
    }
  return sum;
}

double Regular(int sides, double r) { return sides / 2.0 * r * r * std::sin(2 * kPi / sides); }

struct Case {
  PrimitiveParams params;
  std::size_t vertices, faces;
  bool closed;
  double volume;       // exact lit volume (closed), or the largest it can be when `upper`
  bool upper = false;  // the shape is inscribed in a curved one: only bounded by its volume
  double area = 0;     // open shapes: the lit area, facing the axis's positive end
};

std::vector<Case> Cases() {
  std::vector<Case> out;
  auto params = [](PrimitiveKind k) {
    PrimitiveParams s;
    s.kind = k;
    return s;
  };
  for (int axis : {0, 1, 2}) {
    PrimitiveParams p = params(PrimitiveKind::kPlane);
    p.axis = axis, p.width = 30, p.depth = 7.5;
    out.push_back({p, 4, 1, false, 0, false, 30 * 7.5});
    for (auto [x, y] : std::vector<std::pair<int, int>>{{1, 1}, {1, 5}, {7, 3}}) {
      PrimitiveParams g = params(PrimitiveKind::kGrid);
      g.axis = axis, g.width = 12, g.depth = 40, g.xSegments = x, g.ySegments = y;
      out.push_back({g, std::size_t((x + 1) * (y + 1)), std::size_t(x * y), false, 0, false, 480});
    }
    for (auto [s, r] : std::vector<std::pair<int, int>>{{3, 2}, {4, 3}, {32, 16}, {7, 9}}) {
      PrimitiveParams g = params(PrimitiveKind::kSphere);
      g.axis = axis, g.radius = 20, g.segments = s, g.rings = r;
      out.push_back({g, std::size_t(s * (r - 1) + 2), std::size_t(s * r), true, 4.0 / 3 * kPi * 8000, true});
    }
    for (CapFill caps : {CapFill::kNgon, CapFill::kFan, CapFill::kNone})
      for (auto [s, h] : std::vector<std::pair<int, int>>{{3, 1}, {4, 2}, {24, 5}}) {
        PrimitiveParams c = params(PrimitiveKind::kCylinder);
        c.axis = axis, c.radius = 10, c.height = 35, c.sides = s, c.heightSegments = h, c.caps = caps;
        const std::size_t capFaces = caps == CapFill::kNgon ? 2 : caps == CapFill::kFan ? 2 * s : 0;
        out.push_back({c, std::size_t(s * (h + 1) + (caps == CapFill::kFan ? 2 : 0)), std::size_t(s * h) + capFaces,
                       caps != CapFill::kNone, Regular(s, 10) * 35});
        PrimitiveParams point = c;
        point.kind = PrimitiveKind::kCone;
        point.topRadius = 0;
        // Open, a cone's sides face the way its base would: their area is the base's less the top's.
        out.push_back({point, std::size_t(s * h + 1 + (caps == CapFill::kFan ? 1 : 0)),
                       std::size_t(s * h) + capFaces / 2, caps != CapFill::kNone, Regular(s, 10) * 35 / 3, false,
                       Regular(s, 10)});
        PrimitiveParams frustum = point;
        frustum.topRadius = 4;
        const double a = Regular(s, 10), b = Regular(s, 4);
        out.push_back({frustum, std::size_t(s * (h + 1) + (caps == CapFill::kFan ? 2 : 0)),
                       std::size_t(s * h) + capFaces, caps != CapFill::kNone, 35.0 / 3 * (a + b + std::sqrt(a * b)),
                       false, a - b});
      }
    for (auto [m, n] : std::vector<std::pair<int, int>>{{3, 3}, {48, 12}, {5, 8}}) {
      PrimitiveParams t = params(PrimitiveKind::kTorus);
      t.axis = axis, t.radius = 25, t.minorRadius = 6, t.segments = m, t.minorSegments = n;
      out.push_back({t, std::size_t(m * n), std::size_t(m * n), true, 2 * kPi * kPi * 25 * 36, true});
    }
    for (auto [s, r] : std::vector<std::pair<int, int>>{{3, 1}, {16, 4}}) {
      PrimitiveParams d = params(PrimitiveKind::kDisk);
      d.axis = axis, d.radius = 9, d.sides = s, d.rings = r;
      out.push_back({d, std::size_t(s * r + 1), std::size_t(s * r), false, 0, false, Regular(s, 9)});
    }
  }
  for (int n = 0; n <= 4; ++n) {
    PrimitiveParams i = params(PrimitiveKind::kIcosphere);
    i.radius = 15, i.subdivisions = n;
    out.push_back(
        {i, std::size_t(10 * (1 << (2 * n)) + 2), std::size_t(20 * (1 << (2 * n))), true, 4.0 / 3 * kPi * 3375, true});
  }
  for (auto [x, y, z] : std::vector<std::array<int, 3>>{{1, 1, 1}, {2, 3, 4}, {1, 5, 1}}) {
    PrimitiveParams b = params(PrimitiveKind::kBox);
    b.width = 10, b.height = 20, b.depth = 2.5, b.xSegments = x, b.ySegments = y, b.zSegments = z;
    out.push_back({b, std::size_t((x + 1) * (y + 1) * (z + 1) - (x - 1) * (y - 1) * (z - 1)),
                   std::size_t(2 * (x * y + y * z + z * x)), true, 500});
  }
  return out;
}

std::string Describe(const PrimitiveParams& s) {
  return std::string(PrimitiveKeyword(s.kind)) + " axis " + std::to_string(s.axis) + " seg " +
         std::to_string(s.segments) + "/" + std::to_string(s.rings) + "/" + std::to_string(s.sides) + "/" +
         std::to_string(s.heightSegments) + "/" + std::to_string(s.minorSegments) + "/" + std::to_string(s.xSegments) +
         std::to_string(s.ySegments) + std::to_string(s.zSegments) + " sub " + std::to_string(s.subdivisions) +
         " caps " + std::to_string(int(s.caps)) + " top " + std::to_string(s.topRadius);
}

// The half extent a shape may reach along its axis and away from it.
void Reach(const PrimitiveParams& s, double& along, double& across) {
  switch (s.kind) {
    case PrimitiveKind::kSphere:
    case PrimitiveKind::kIcosphere: along = across = s.radius; break;
    case PrimitiveKind::kCylinder:
    case PrimitiveKind::kCone: along = s.height / 2, across = s.radius; break;
    case PrimitiveKind::kTorus: along = s.minorRadius, across = s.radius + s.minorRadius; break;
    case PrimitiveKind::kDisk: along = 0, across = s.radius; break;
    default: along = across = 0;
  }
}

TEST(Primitives, EveryShapeHasItsCountsIsClosedLitOutsideTexturedAndSized) {
  const CVector centre(3.5f, -120.0f, 40.25f);
  for (const Case& c : Cases()) {
    SCOPED_TRACE(Describe(c.params));
    ASSERT_EQ(CheckPrimitive(c.params), "");
    const CModel m = BuildPrimitive(c.params, centre, 7);
    EXPECT_EQ(m.name, PrimitiveKeyword(c.params.kind));
    EXPECT_EQ(m.vertices.size(), c.vertices);
    EXPECT_EQ(m.faces.size(), c.faces);

    // Every directed edge once (the faces agree on their winding); closed: every edge twice.
    std::map<std::pair<int, int>, int> directed;
    for (const CFace& f : m.faces) {
      ASSERT_GE(f.indices.size(), 3u);
      ASSERT_EQ(f.uvs.size(), f.indices.size());
      EXPECT_EQ(f.material, 7);
      for (std::size_t k = 0; k < f.indices.size(); ++k) {
        ASSERT_TRUE(m.HasVertex(f.indices[k]));
        ++directed[{f.indices[k], f.indices[(k + 1) % f.indices.size()]}];
        EXPECT_TRUE(f.uvs[k].u >= 0.0f && f.uvs[k].u <= 1.0f && f.uvs[k].v >= 0.0f && f.uvs[k].v <= 1.0f)
            << f.uvs[k].u << ", " << f.uvs[k].v;
      }
    }
    std::size_t unpaired = 0;
    for (const auto& [edge, n] : directed) {
      EXPECT_EQ(n, 1) << edge.first << "->" << edge.second;
      unpaired += directed.count({edge.second, edge.first}) == 0;
    }
    if (c.closed) {
      EXPECT_EQ(unpaired, 0u);
    } else {
      EXPECT_GT(unpaired, 0u);
    }

    // Shared vertices are shared: no two at one place (a seam lives in the texture coordinates).
    std::set<std::tuple<float, float, float>> places;
    for (const CVertex& v : m.vertices) places.insert({v.position.x, v.position.y, v.position.z});
    EXPECT_EQ(places.size(), m.vertices.size());
    for (const CVertex& v : m.vertices) EXPECT_EQ(v.faceRefs.empty(), false);

    CModel moved = m;  // measured about the origin
    for (CVertex& v : moved.vertices) v.position = v.position - centre;
    if (c.closed) {
      const double volume = LitVolume(moved);
      EXPECT_GT(volume, 0.0);
      if (c.upper) {
        EXPECT_LE(volume, c.volume * (1 + 1e-5));
      } else {
        EXPECT_NEAR(volume, c.volume, c.volume * 1e-5);
      }
      const bool fine =
          c.params.kind == PrimitiveKind::kIcosphere ? c.params.subdivisions >= 3 : c.params.segments >= 32;
      if (c.upper && fine) {
        EXPECT_GT(volume, c.volume * 0.94);  // fine enough to be near the round shape
      }
    } else {
      const Vec a = LitArea(moved);
      const double along[3] = {a.x, a.y, a.z};
      const int axis = c.params.axis;
      const double tolerance = 1e-5 * std::max(c.area, 100.0);  // an open tube's sides cancel out
      EXPECT_NEAR(along[axis], c.area, tolerance);
      EXPECT_NEAR(along[(axis + 1) % 3], 0.0, tolerance);
      EXPECT_NEAR(along[(axis + 2) % 3], 0.0, tolerance);
    }

    // Within the size asked for, and reaching it.
    double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30}, far = 0;
    const int axis = c.params.kind == PrimitiveKind::kBox ? 1 : c.params.axis;
    for (const CVertex& v : moved.vertices) {
      for (int k = 0; k < 3; ++k) {
        lo[k] = std::min<double>(lo[k], Component(v.position, k));
        hi[k] = std::max<double>(hi[k], Component(v.position, k));
      }
      const double p = Component(v.position, (axis + 1) % 3), q = Component(v.position, (axis + 2) % 3);
      far = std::max(far, std::hypot(p, q));
    }
    std::vector<double> extents{hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
    // Centred: every way for the lattices, along the axis for the round shapes (an odd count of
    // segments round it, or round a torus's tube, is not symmetric).
    for (int k = 0; k < 3; ++k)
      if (k == axis ? c.params.kind != PrimitiveKind::kTorus
                    : c.params.kind == PrimitiveKind::kBox || c.params.kind == PrimitiveKind::kGrid ||
                          c.params.kind == PrimitiveKind::kPlane) {
        EXPECT_NEAR(lo[k] + hi[k], 0.0, 1e-4) << "not centred on axis " << k;
      }
    double along = 0, across = 0;
    Reach(c.params, along, across);
    switch (c.params.kind) {
      case PrimitiveKind::kPlane:
      case PrimitiveKind::kGrid: {
        EXPECT_EQ(extents[static_cast<std::size_t>(axis)], 0.0);
        std::vector<double> flat{extents[static_cast<std::size_t>((axis + 1) % 3)],
                                 extents[static_cast<std::size_t>((axis + 2) % 3)]};
        std::sort(flat.begin(), flat.end());
        std::vector<double> want{c.params.width, c.params.depth};
        std::sort(want.begin(), want.end());
        EXPECT_NEAR(flat[0], want[0], 1e-4);
        EXPECT_NEAR(flat[1], want[1], 1e-4);
        break;
      }
      case PrimitiveKind::kBox:
        EXPECT_NEAR(extents[0], c.params.width, 1e-4);
        EXPECT_NEAR(extents[1], c.params.height, 1e-4);
        EXPECT_NEAR(extents[2], c.params.depth, 1e-4);
        break;
      default:
        EXPECT_LE(extents[static_cast<std::size_t>(axis)], 2 * along + 1e-4);
        EXPECT_LE(far, across * (1 + 1e-6));
        EXPECT_GT(far, across * 0.49);
        if (c.params.kind != PrimitiveKind::kTorus) {
          EXPECT_NEAR(extents[static_cast<std::size_t>(axis)], 2 * along, 1e-4);
        }
    }
  }
}

TEST(Primitives, LitTheSameWayAsTheBoxOfTheBoxMode) {
  CMeshwright s;
  s.ResetScene();
  ASSERT_TRUE(s.AddBox(CVector(0, 0, 0), CVector(10, 20, 2.5f)));
  PrimitiveParams box;
  box.kind = PrimitiveKind::kBox;
  box.width = 10, box.height = 20, box.depth = 2.5;
  const CModel made = BuildPrimitive(box, CVector(5, 10, 1.25f), 0);
  EXPECT_NEAR(LitVolume(s.models[0]), 500.0, 1e-3);
  EXPECT_NEAR(LitVolume(made), 500.0, 1e-3);
}

TEST(Primitives, SeamsAndPolesGetTheirOwnTextureCoordinates) {
  PrimitiveParams sphere;
  sphere.segments = 8, sphere.rings = 4;
  const CModel m = BuildPrimitive(sphere, CVector(), 0);
  // The vertex at angle 0 meets u = 0 on one side of the seam and u = 1 on the other.
  std::set<float> us;
  for (const CFace& f : m.faces)
    for (std::size_t k = 0; k < f.indices.size(); ++k)
      if (f.indices[k] == 1) us.insert(f.uvs[k].u);
  EXPECT_EQ(us, (std::set<float>{0.0f, 1.0f}));
  // Each pole triangle takes its own u, the middle of its column; the rest are quadrilaterals.
  std::size_t triangles = 0;
  for (const CFace& f : m.faces) {
    if (f.indices.size() == 4) continue;
    ++triangles;
    for (std::size_t k = 0; k < 3; ++k)
      if (f.indices[k] == 0) {
        EXPECT_EQ(std::fmod(f.uvs[k].u * 16.0f, 2.0f), 1.0f);
      }
  }
  EXPECT_EQ(triangles, 16u);
}

TEST(Primitives, ReadsShapeTextsAndRefusesWhatCannotBeBuilt) {
  struct Row {
    const char* text;
    bool ok;
  };
  const Row rows[] = {
      {"sphere", true},
      {"sphere:segments=32,rings=16,radius=50", true},
      {"SPHERE:Segments=3,RINGS=2", true},  // the smallest sphere, spelt in capitals
      {"sphere:rings=1", false},
      {"sphere:segments=2", false},
      {"sphere:segments=1000", true},
      {"sphere:segments=1001", false},
      {"sphere:segments=2.5", false},
      {"sphere:segments=", false},
      {"sphere:radius=0", false},
      {"sphere:radius=-1", false},
      {"sphere:radius=nan", false},
      {"sphere:radius=inf", false},
      {"sphere:radius=1e-3", true},
      {"sphere:sides=8", false},  // a cylinder's key
      {"sphere:radius", false},
      {"sphere:", false},
      {"sphere:radius=5,", false},
      {"ball", false},
      {"icosphere:subdivisions=0", true},
      {"icosphere:subdivisions=6", true},
      {"icosphere:subdivisions=7", false},
      {"icosphere:subdivisions=-1", false},
      {"cone:topradius=0", true},
      {"cone:topradius=-0.5", false},
      {"cylinder:topradius=1", false},
      {"cylinder:caps=FAN,axis=X", true},
      {"cylinder:caps=both", false},
      {"cylinder:axis=w", false},
      {"box:axis=x", false},
      {"box:size=10,xsegments=2,ysegments=3,zsegments=4", true},
      {"box:zsegments=0", false},
      {"grid:xsegments=1,ysegments=1", true},
      {"grid:zsegments=2", false},
      {"torus:minorradius=3,minorsegments=3", true},
      {"torus:radius=10,minorradius=9.999", true},
      {"torus:radius=10,minorradius=10", false},  // the hole closed: vertices would meet on the axis
      {"disk:rings=1,sides=3", true},
      {"disk:sides=2", false},
      {"plane:x=1,y=-2,z=3.5", true},
      {"plane:x=east", false},
  };
  for (const Row& r : rows) {
    PrimitiveParams s;
    CVector centre;
    std::string error;
    EXPECT_EQ(ParsePrimitive(r.text, s, centre, error), r.ok) << r.text << ": " << error;
    EXPECT_EQ(error.empty(), r.ok) << r.text;
  }
  PrimitiveParams s;
  CVector centre;
  std::string error;
  ASSERT_TRUE(ParsePrimitive("cylinder:caps=fan,axis=z,sides=5,heightsegments=3,radius=2.5,height=8,x=1,z=-4", s,
                             centre, error));
  EXPECT_EQ(s.kind, PrimitiveKind::kCylinder);
  EXPECT_EQ(s.caps, CapFill::kFan);
  EXPECT_EQ(s.axis, 2);
  EXPECT_EQ(s.sides, 5);
  EXPECT_EQ(s.heightSegments, 3);
  EXPECT_EQ(s.radius, 2.5);
  EXPECT_EQ(s.height, 8.0);
  EXPECT_EQ(centre, CVector(1, 0, -4));
  ASSERT_TRUE(ParsePrimitive("box:size=7,height=9", s, centre, error));
  EXPECT_EQ(s.width, 7.0);
  EXPECT_EQ(s.height, 9.0);
  EXPECT_EQ(s.depth, 7.0);
  ASSERT_TRUE(ParsePrimitive("sphere:rings=2", s, centre, error));
  EXPECT_EQ(s.rings, 2);
  ASSERT_FALSE(ParsePrimitive("sphere:rings=1", s, centre, error));
  EXPECT_EQ(error, "rings must be a whole number from 2 to 1000");
}

TEST(Primitives, AddedShapesAreSelectedAloneAndUndoneInOneStep) {
  CMeshwright s;
  s.ResetScene();
  s.AddMaterial();
  s.currentMaterial = 0;
  ASSERT_TRUE(s.AddBox(CVector(0, 0, 0), CVector(1, 1, 1)));
  s.SetAllSelected(1);
  s.models.emplace_back();
  s.models.back().state = kStateLocked;
  const CMeshwright before = s;
  PrimitiveParams cone;
  cone.kind = PrimitiveKind::kCone;
  cone.sides = 6;

  for (bool newModel : {false, true}) {
    SCOPED_TRACE(newModel);
    SceneDelta d = SceneDelta::Capture(EditKind::kAddPrimitive, s);
    ASSERT_TRUE(AddPrimitive(s, cone, CVector(0, 50, 0), newModel));
    d.Finish(s);
    EXPECT_EQ(s.currentModel, 0);
    const CModel& into = newModel ? s.models.back() : s.models[0];
    EXPECT_EQ(s.models.size(), newModel ? 3u : 2u);
    EXPECT_EQ(into.name, newModel ? "cone" : "Model");
    const std::size_t first = newModel ? 0 : 8;
    ASSERT_EQ(into.vertices.size(), first + 7);  // six round the base, one at the point
    for (std::size_t i = 0; i < into.vertices.size(); ++i) EXPECT_EQ(into.vertices[i].selected, i >= first) << i;
    for (std::size_t i = 0; i < into.faces.size(); ++i) {
      EXPECT_EQ(into.faces[i].allSelected, newModel || i >= 6) << i;
      EXPECT_EQ(into.faces[i].material, s.materials[0].id);
    }
    if (newModel) {
      EXPECT_EQ(s.models[0].vertices[0].selected, 0);
    }
    EXPECT_TRUE(FaceNormalsCurrent(into));
    d.Undo(s);
    ASSERT_EQ(s.models.size(), 2u);
    EXPECT_EQ(s.models[0].vertices.size(), 8u);
    EXPECT_TRUE(std::all_of(s.models[0].vertices.begin(), s.models[0].vertices.end(),
                            [](const CVertex& v) { return v.selected == 1; }));
    d.Redo(s);
    EXPECT_EQ(s.models.size(), newModel ? 3u : 2u);
    d.Undo(s);
  }
  // Nothing goes into a locked model or from a params that cannot be built.
  s.currentModel = 1;
  EXPECT_FALSE(AddPrimitive(s, cone, CVector(), false));
  cone.sides = 2;
  s.currentModel = 0;
  EXPECT_FALSE(AddPrimitive(s, cone, CVector(), true));
  EXPECT_EQ(s.models.size(), before.models.size());
  EXPECT_EQ(s.models[0].vertices.size(), 8u);

  // A document without materials gets one, current and worn by the shape, in the same step; a
  // refused shape brings none.
  CMeshwright fresh;
  fresh.ResetScene();
  fresh.models[0].state = kStateLocked;
  EXPECT_FALSE(AddPrimitive(fresh, cone, CVector(), false));
  EXPECT_TRUE(fresh.materials.empty());
  fresh.models[0].state = kStateNormal;
  cone.sides = 6;
  const CMeshwright empty = fresh;
  SceneDelta d = SceneDelta::Capture(EditKind::kAddPrimitive, fresh);
  ASSERT_TRUE(AddPrimitive(fresh, cone, CVector(), false));
  d.Finish(fresh);
  ASSERT_EQ(fresh.materials.size(), 1u);
  EXPECT_EQ(fresh.currentMaterial, 0);
  for (const CFace& f : fresh.models[0].faces) EXPECT_EQ(f.material, fresh.materials[0].id);
  d.Undo(fresh);
  EXPECT_TRUE(fresh.materials.empty());
  EXPECT_EQ(fresh.currentMaterial, empty.currentMaterial);
  EXPECT_EQ(fresh.nextMaterialId, empty.nextMaterialId);
  EXPECT_TRUE(fresh.models[0].faces.empty());
}

// The dialog's preview adds and takes back its shape at every change of a field: a material list
// the shape left as it was must not have its textures loaded again each time.
TEST(Primitives, TakingAShapeBackLeavesTheMaterialsTexturesAlone) {
  struct Recorder : TextureService {
    int loads = 0, releases = 0;
    void Load(CMaterial&) override { ++loads; }
    void Release(CMaterial&) override { ++releases; }
  } rec;
  CMeshwright s;
  s.ResetScene();
  s.AddMaterial();
  s.materials[0].texture = "wood.bmp";
  TextureService* old = SetTextureService(&rec);
  SceneDelta d = SceneDelta::Capture(EditKind::kAddPrimitive, s);
  AddPrimitive(s, PrimitiveParams(), CVector(), false);
  d.Finish(s);
  d.Undo(s);
  d.Redo(s);
  SetTextureService(old);
  EXPECT_EQ(rec.loads, 0);
  EXPECT_EQ(rec.releases, 0);
  EXPECT_EQ(s.models[0].faces.size(), 512u);
}

TEST(Primitives, PlacedAtTheCursorOrTheCentreOfThePanes) {
  CMeshwright s;
  s.ResetScene();
  s.zoom = 250.0f;
  s.cursor = Cursor3{40, -25, 10};
  PanOffsets pan;
  pan.panX = -30, pan.panY = 12, pan.panZ = 7;
  const CVector cursor = CursorPoint(s), centre = ViewCentrePoint(pan, s.zoom);
  for (int plane = 0; plane < 3; ++plane) {
    // Where each pane draws the origin, the cursor cross and its own middle.
    const PanePixel origin = ShiftedBy(plane, 200, 150, pan);
    const PanePixel cross = ShiftedBy(plane, origin.x, origin.y, s.cursor);
    const PanePoint c = ToPane(plane, cursor, s.zoom, origin.x, origin.y);
    EXPECT_NEAR(c.x, cross.x, 1.0) << plane;
    EXPECT_NEAR(c.y, cross.y, 1.0) << plane;
    const PanePoint m = ToPane(plane, centre, s.zoom, origin.x, origin.y);
    EXPECT_NEAR(m.x, 200, 1.0) << plane;
    EXPECT_NEAR(m.y, 150, 1.0) << plane;
  }
}

TEST(Primitives, DefaultSizeFitsThePane) {
  struct Row {
    float zoom;
    int pixels;
    double size;
  };
  for (const Row& r :
       {Row{100, 400, 200}, Row{100, 300, 100}, Row{100, 100, 50}, Row{100, 2000, 1000}, Row{1000, 300, 10},
        Row{37, 300, 200}, Row{0, 300, 100}, Row{NAN, 300, 100}, Row{100, 0, 100}, Row{100, 1, 0.5}})
    EXPECT_DOUBLE_EQ(FittingPrimitiveSize(r.zoom, r.pixels), r.size) << r.zoom << " " << r.pixels;
}

}  // namespace
}  // namespace mw
