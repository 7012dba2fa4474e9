// What the view controls keep and compute without a window: reference pictures in the .mwr block
// (kept whole, refused whole when damaged), their scale from two points, and the camera moves
// (turning around a point, zooming toward the pointer, the views along the axes).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "scene/archive.h"
#include "scene/archive_extensions.h"
#include "scene/camera_moves.h"
#include "scene/frame_view.h"
#include "scene/reference_picture.h"
#include "tests/support/scene_samples.h"

namespace mw {
namespace {

std::vector<std::uint8_t> Bytes(const CMeshwright& s) {
  std::vector<std::uint8_t> out;
  WriteScene(s, out);
  return out;
}

void Put(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutF(std::vector<std::uint8_t>& out, float f) {
  std::uint32_t v;
  std::memcpy(&v, &f, 4);
  Put(out, v);
}

CMeshwright WithPictures() {
  CMeshwright s;
  s.ResetScene();
  test::FillGrid(s.models[0], 2);
  s.ComputeNormals();
  ReferencePicture face;
  face.plane = kPlaneFace;
  face.path = "下絵/front.png";
  face.centreU = -12.5f, face.centreV = 40.25f, face.unitsPerPixel = 0.125f, face.opacity = 0.5f;
  ReferencePicture left = face;
  left.plane = kPlaneLeft;
  left.path = "../drawings/side view.bmp";
  left.opacity = 1.0f, left.unitsPerPixel = 3.0f, left.visible = false;
  SetReference(s.referencePictures, face);
  SetReference(s.referencePictures, left);
  return s;
}

void ExpectSame(const ReferencePicture& a, const ReferencePicture& b) {
  EXPECT_EQ(a.plane, b.plane);
  EXPECT_EQ(a.path, b.path);
  EXPECT_EQ(a.centreU, b.centreU);
  EXPECT_EQ(a.centreV, b.centreV);
  EXPECT_EQ(a.unitsPerPixel, b.unitsPerPixel);
  EXPECT_EQ(a.opacity, b.opacity);
  EXPECT_EQ(a.visible, b.visible);
}

TEST(ReferencePictures, EveryFieldComesBackFromTheDocument) {
  const CMeshwright s = WithPictures();
  const std::vector<std::uint8_t> bytes = Bytes(s);
  CMeshwright back;
  const ArchiveResult r = ReadScene(back, bytes.data(), bytes.size());
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r.warnings.empty());
  ASSERT_EQ(back.referencePictures.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) ExpectSame(back.referencePictures[i], s.referencePictures[i]);
  EXPECT_EQ(Bytes(back), bytes);
  // A new document still writes none, and opening one drops the pictures of the last.
  CMeshwright fresh;
  fresh.ResetScene();
  EXPECT_EQ(Bytes(fresh).size(), 89u);
  const std::vector<std::uint8_t> plain = Bytes(fresh);
  ASSERT_TRUE(ReadScene(back, plain.data(), plain.size()).ok());
  EXPECT_TRUE(back.referencePictures.empty());
}

// The whole document with one picture section whose payload is `payload`.
std::vector<std::uint8_t> WithSection(const std::vector<std::uint8_t>& payload) {
  CMeshwright s;
  s.ResetScene();
  std::vector<std::uint8_t> out = Bytes(s);
  Put(out, kExtensionTag);
  Put(out, kExtensionVersion);
  Put(out, kReferenceSectionTag);
  Put(out, static_cast<std::uint32_t>(payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

std::vector<std::uint8_t> OnePicture(std::uint32_t plane, std::uint32_t visible, float scale, float opacity,
                                     std::uint32_t nameLength, std::uint32_t count = 1, bool twice = false) {
  std::vector<std::uint8_t> p;
  Put(p, count);
  for (int k = 0; k < (twice ? 2 : 1); ++k) {
    Put(p, plane);
    Put(p, visible);
    PutF(p, 1.0f);
    PutF(p, 2.0f);
    PutF(p, scale);
    PutF(p, opacity);
    Put(p, nameLength);
    for (int i = 0; i < 5; ++i) p.push_back('a');
  }
  return p;
}

TEST(ReferencePictures, ADamagedSectionIsSkippedWholeWithAWarning) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* what;
    std::vector<std::uint8_t> payload;
    bool kept;
  };
  const Case cases[] = {
      {"sound", OnePicture(2, 1, 0.5f, 1.0f, 5), true},
      {"opacity exactly 0", OnePicture(0, 0, 0.5f, 0.0f, 5), true},
      {"plane 3", OnePicture(3, 1, 0.5f, 1.0f, 5), false},
      {"visible 2", OnePicture(1, 2, 0.5f, 1.0f, 5), false},
      {"scale 0", OnePicture(1, 1, 0.0f, 1.0f, 5), false},
      {"scale below 0", OnePicture(1, 1, -1.0f, 1.0f, 5), false},
      {"scale NaN", OnePicture(1, 1, nan, 1.0f, 5), false},
      {"opacity just over 1", OnePicture(1, 1, 0.5f, std::nextafter(1.0f, 2.0f), 5), false},
      {"opacity below 0", OnePicture(1, 1, 0.5f, -0.01f, 5), false},
      {"empty name", OnePicture(1, 1, 0.5f, 1.0f, 0), false},  // and five bytes left over
      {"name past the end", OnePicture(1, 1, 0.5f, 1.0f, 6), false},
      {"name short of the end", OnePicture(1, 1, 0.5f, 1.0f, 4), false},
      {"two for one pane", OnePicture(1, 1, 0.5f, 1.0f, 5, 2, true), false},
      {"more than three", OnePicture(1, 1, 0.5f, 1.0f, 5, 4), false},
      {"count past the end", OnePicture(1, 1, 0.5f, 1.0f, 5, 2), false},
  };
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> bytes = WithSection(c.payload);
    CMeshwright back = WithPictures();
    const ArchiveResult r = ReadScene(back, bytes.data(), bytes.size());
    ASSERT_TRUE(r.ok()) << c.what;
    EXPECT_EQ(back.referencePictures.size(), c.kept ? 1u : 0u) << c.what;
    EXPECT_EQ(r.warnings.size(), c.kept ? 0u : 1u) << c.what;
  }
}

TEST(ReferencePictures, EveryPrefixOfADocumentReadsOrFailsCleanly) {
  const std::vector<std::uint8_t> bytes = Bytes(WithPictures());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    CMeshwright back;
    const ArchiveResult r = ReadScene(back, bytes.data(), n);
    if (r.ok()) {
      EXPECT_LE(back.referencePictures.size(), 2u);
    }
  }
}

TEST(ReferencePictures, TwoPointsAndALengthGiveTheScale) {
  struct Case {
    double x0, y0, x1, y1, length, scale;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {0, 0, 100, 0, 50, 0.5},     {10, 10, 10, 410, 1000, 2.5}, {0, 0, 3, 4, 10, 2.0},
      {5, 5, 5, 5, 10, 0.0},       {0, 0, 100, 0, 0, 0.0},       {0, 0, 100, 0, -5, 0.0},
      {0, 0, 100, 0, inf, 0.0},    {0, 0, inf, 0, 5, 0.0},       {0, 0, 1e-30, 0, 1e30, 0.0},
  };
  for (const Case& c : cases)
    EXPECT_FLOAT_EQ(ScaleFromTwoPoints(c.x0, c.y0, c.x1, c.y1, c.length), static_cast<float>(c.scale))
        << c.x0 << "," << c.y0 << " " << c.x1 << "," << c.y1 << " " << c.length;
}

TEST(ReferencePictures, ScalingByTwoPointsKeepsTheFirstAndMeasuresTheLength) {
  struct Case {
    double u0, v0, u1, v1, length;
    bool ok;
  };
  const Case cases[] = {
      {0, 0, 120, 0, 240, true}, {-30, 50, -30, -10, 6, true}, {5, 5, 8, 9, 1000, true},
      {5, 5, 5, 5, 10, false},   {0, 0, 10, 0, 0, false},      {0, 0, 10, 0, 1e40, false},
  };
  for (const Case& c : cases) {
    ReferencePicture p;
    p.path = "a.png";
    p.centreU = 7.0f, p.centreV = -3.0f, p.unitsPerPixel = 0.5f;
    const ReferencePicture before = p;
    ASSERT_EQ(ScaleReferenceByTwoPoints(p, c.u0, c.v0, c.u1, c.v1, c.length), c.ok) << c.length;
    if (!c.ok) {
      ExpectSame(p, before);
      continue;
    }
    // A point of the picture, in picture pixels from its centre, before and after.
    auto pixelOf = [](const ReferencePicture& r, double u, double v) {
      return std::pair{(u - r.centreU) / r.unitsPerPixel, (v - r.centreV) / r.unitsPerPixel};
    };
    const auto [x0, y0] = pixelOf(before, c.u0, c.v0);
    const auto [x1, y1] = pixelOf(before, c.u1, c.v1);
    // The first point's picture pixel is still at (u0, v0) ...
    EXPECT_NEAR(p.centreU + x0 * p.unitsPerPixel, c.u0, 1e-3);
    EXPECT_NEAR(p.centreV + y0 * p.unitsPerPixel, c.v0, 1e-3);
    // ... and the two picture pixels are now `length` apart.
    EXPECT_NEAR(std::hypot(x1 - x0, y1 - y0) * p.unitsPerPixel, c.length, c.length * 1e-5);
  }
}

CMeshwright Camera() {
  CMeshwright s;
  s.ResetScene();
  s.viewportWidth = 400.0f, s.viewportHeight = 300.0f;
  return s;
}

TEST(CameraMoves, TurningAroundAPointKeepsItWhereTheEyeSawIt) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> angle(-200.0f, 200.0f), place(-500.0f, 500.0f);
  for (int i = 0; i < 200; ++i) {
    CMeshwright s = Camera();
    s.camera.rotation = CVector(angle(random), angle(random), angle(random));
    s.zoom = 40.0f + static_cast<float>(i);
    const CVector pivot(place(random), place(random), place(random));
    const CVector before = EyeOf(s, pivot);
    const CVector turn(angle(random), angle(random), 0.0f);
    OrbitCamera(s, turn, pivot);
    const CVector after = EyeOf(s, pivot);
    EXPECT_NEAR(after.x, before.x, 0.05f);
    EXPECT_NEAR(after.y, before.y, 0.05f);
    EXPECT_NEAR(after.z, before.z, 0.05f);
  }
}

TEST(CameraMoves, ThePivotIsTheSelectionElseWhatIsShown) {
  CMeshwright s;
  s.ResetScene();
  EXPECT_FALSE(OrbitPivot(s).has_value());
  s.models[0].vertices = {CVertex(0, 0, 0), CVertex(10, 20, 30), CVertex(100, 100, 100)};
  const CVector all = *OrbitPivot(s);
  EXPECT_FLOAT_EQ(all.x, 110.0f / 3.0f);
  s.models[0].vertices[1].selected = 1;
  s.models[0].vertices[2].selected = 1;
  s.models[0].vertices[2].hidden = 1;  // out of sight: not part of it
  const CVector selected = *OrbitPivot(s);
  EXPECT_FLOAT_EQ(selected.x, 10.0f);
  EXPECT_FLOAT_EQ(selected.z, 30.0f);
}

TEST(CameraMoves, ZoomingTowardThePointerKeepsWhatIsUnderIt) {
  for (bool parallel : {false, true}) {
    for (double nx : {-0.9, -0.3, 0.0, 0.6}) {
      for (float delta : {120.0f, -60.0f, -5000.0f}) {
        CMeshwright s = Camera();
        s.parallelCamera = parallel;
        s.camera.rotation = CVector(0, 0, 0);
        const double ny = nx / 2.0 + 0.1;
        // The model point that lies under the pointer at the origin's depth.
        const double half = ParallelHalfHeight(s);
        const CVector under(static_cast<float>(nx * half * 400.0 / 300.0), static_cast<float>(ny * half), 0.0f);
        const CVector before = PerspectiveNdc(s, under);
        ASSERT_NEAR(before.x, nx, 1e-4);
        ZoomTowards(s, delta, nx, ny);
        const CVector after = PerspectiveNdc(s, under);
        EXPECT_NEAR(after.x, nx, 1e-4) << parallel << " " << nx << " " << delta;
        EXPECT_NEAR(after.y, ny, 1e-4) << parallel << " " << nx << " " << delta;
        EXPECT_GE(s.zoom, 1.0f);
      }
    }
  }
}

TEST(CameraMoves, TheViewsAlongTheAxesMatchTheirPanes) {
  const std::pair<AxisView, Plane> views[] = {
      {AxisView::kFront, kPlaneFace}, {AxisView::kLeft, kPlaneLeft}, {AxisView::kTop, kPlaneTop}};
  for (const auto& [view, plane] : views) {
    CMeshwright s = Camera();
    s.camera.translation = CVector(0, 0, 0);
    s.camera.rotation = AxisViewRotation(view);
    const PlaneAxes axes = AxesOf(plane);
    for (int axis = 0; axis < 3; ++axis) {
      CVector unit;
      Component(unit, axis) = 1.0f;
      const CVector eye = EyeOf(s, unit);
      const float u = axis == axes.u.axis ? (axes.u.flipped ? -1.0f : 1.0f) : 0.0f;
      const float down = axis == axes.v.axis ? (axes.v.flipped ? -1.0f : 1.0f) : 0.0f;
      EXPECT_NEAR(eye.x, u, 1e-6) << "plane " << plane << " axis " << axis;
      EXPECT_NEAR(-eye.y, down, 1e-6) << "plane " << plane << " axis " << axis;
    }
  }
  // The opposite views look the other way along the same axis.
  for (const auto& [a, b] : {std::pair{AxisView::kFront, AxisView::kBack}, std::pair{AxisView::kLeft, AxisView::kRight},
                             std::pair{AxisView::kTop, AxisView::kBottom}}) {
    CMeshwright s = Camera(), t = Camera();
    s.camera.translation = t.camera.translation = CVector(0, 0, 0);
    s.camera.rotation = AxisViewRotation(a);
    t.camera.rotation = AxisViewRotation(b);
    for (int axis = 0; axis < 3; ++axis) {
      CVector unit;
      Component(unit, axis) = 1.0f;
      EXPECT_NEAR(EyeOf(s, unit).z, -EyeOf(t, unit).z, 1e-6);
    }
  }
}

TEST(CameraMoves, ATurnToAViewGoesTheShorterWayRound) {
  const CVector from(350.0f, -170.0f, 0.0f), to(10.0f, 170.0f, 0.0f);
  const CVector half = BlendRotation(from, to, 0.5);
  EXPECT_NEAR(half.x, 360.0f, 1e-4);   // 350 -> 370, not back through 180
  EXPECT_NEAR(half.y, -180.0f, 1e-4);  // -170 -> -190
  const CVector end = BlendRotation(from, to, 1.0);
  EXPECT_EQ(end.x, 10.0f);
  EXPECT_EQ(end.y, 170.0f);
}

}  // namespace
}  // namespace mw
