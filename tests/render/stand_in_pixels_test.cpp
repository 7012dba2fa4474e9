// The stand-in drawn while the camera turns, against the exact frame: its outline on screen
// stays within 2 pixels of the exact one, for an open surface and a closed one, from several
// sides, at the size of the perspective pane in the default window.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <string>
#include <vector>

#include "render/offscreen_frame.h"
#include "scene/primitives.h"
#include "scene/stand_in.h"
#include "tests/support/gui_test.h"

namespace mw {
namespace {

constexpr int kWidth = 620, kHeight = 470;

// Pixels of the picture that are not the background.
std::vector<bool> Covered(const QImage& picture) {
  const QRgb background = picture.pixel(0, 0);
  std::vector<bool> mask(static_cast<std::size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) mask[static_cast<std::size_t>(y) * kWidth + x] = picture.pixel(x, y) != background;
  return mask;
}

// Pixels of `a` with no pixel of `b` within `radius` (Euclidean).
int FartherThan(const std::vector<bool>& a, const std::vector<bool>& b, int radius) {
  int far = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (!a[static_cast<std::size_t>(y) * kWidth + x] || b[static_cast<std::size_t>(y) * kWidth + x]) continue;
      bool near = false;
      for (int dy = -radius; dy <= radius && !near; ++dy)
        for (int dx = -radius; dx <= radius && !near; ++dx) {
          const int u = x + dx, v = y + dy;
          near = dx * dx + dy * dy <= radius * radius && u >= 0 && v >= 0 && u < kWidth && v < kHeight &&
                 b[static_cast<std::size_t>(v) * kWidth + u];
        }
      far += near ? 0 : 1;
    }
  }
  return far;
}

CMeshwright HillsScene() {
  CMeshwright s;
  s.ResetScene();
  PrimitiveParams grid;
  grid.kind = PrimitiveKind::kGrid;
  grid.width = grid.depth = 400;
  grid.xSegments = grid.ySegments = 420;  // 176,400 quadrilaterals
  s.models[0] = BuildPrimitive(grid, CVector(), 0);
  for (CVertex& v : s.models[0].vertices)
    v.position.y = 25.0f * std::sin(v.position.x / 40.0f) * std::cos(v.position.z / 55.0f);
  s.materials.emplace_back(0);
  s.ComputeNormals();
  return s;
}

CMeshwright SphereScene() {
  CMeshwright s;
  s.ResetScene();
  PrimitiveParams sphere;
  sphere.radius = 150;
  sphere.segments = 600;
  sphere.rings = 300;  // 180,000 faces
  s.models[0] = BuildPrimitive(sphere, CVector(), 0);
  s.materials.emplace_back(0);
  s.ComputeNormals();
  return s;
}

TEST(StandInPixels, TheOutlineStaysWithinTwoPixelsOfTheExactFrame) {
  test::WithoutDisplay noDisplay;
  OffscreenContext context;
  std::string error;
  ASSERT_TRUE(context.Create(&error)) << error;
  struct Case {
    const char* name;
    CMeshwright scene;
  } cases[] = {{"hills", HillsScene()}, {"sphere", SphereScene()}};
  const CVector angles[] = {CVector(30, 20, 0), CVector(15, 70, 0), CVector(60, -40, 10), CVector(25, 135, 0)};
  for (Case& c : cases) {
    const StandInSource source = TakeStandInSource(c.scene);
    ASSERT_GT(source.triangles, 2 * StandInLimits{}.targetTriangles) << c.name << ": too small to simplify";
    const StandIn standIn = BuildStandIn(source, StandInLimits{});
    ASSERT_LE(standIn.triangles, StandInLimits{}.targetTriangles + 100) << c.name;
    for (const CVector& angle : angles) {
      SCOPED_TRACE(std::string(c.name) + " turned " + std::to_string(angle.x) + ", " + std::to_string(angle.y));
      CMeshwright& exact = c.scene;
      exact.camera.rotation = angle;
      const auto fit = FitCamera(exact, static_cast<double>(kWidth) / kHeight);
      ASSERT_TRUE(fit.has_value());
      exact.camera.translation = fit->translation;
      exact.zoom = fit->zoom;
      CMeshwright simplified = exact;
      simplified.models = standIn.models;
      const QImage a = DrawOffscreenFrame(exact, kWidth, kHeight, context.uploader(), &error, false);
      const QImage b = DrawOffscreenFrame(simplified, kWidth, kHeight, context.uploader(), &error, false);
      ASSERT_FALSE(a.isNull() || b.isNull()) << error;
      const std::vector<bool> ma = Covered(a), mb = Covered(b);
      int covered = 0;
      for (bool v : ma) covered += v ? 1 : 0;
      ASSERT_GT(covered, kWidth * kHeight / 10) << "the model fills a good part of the picture";
      EXPECT_EQ(FartherThan(ma, mb, 2), 0) << "exact pixels the stand-in leaves uncovered";
      EXPECT_EQ(FartherThan(mb, ma, 2), 0) << "stand-in pixels outside the exact outline";
    }
  }
}

}  // namespace
}  // namespace mw
