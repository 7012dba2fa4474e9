// Pictures drawn without a window: the camera that fits a document, and the off-screen frame.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <QColor>
#include <QMatrix4x4>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QVector4D>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "render/frame_arrays.h"
#include "render/offscreen_frame.h"
#include "tests/support/gui_test.h"

namespace mw {
namespace {

// A box of the given size whose lowest corner is `at`, as one model of six quadrilaterals.
CModel Box(CVector at, CVector size, std::int32_t material = 0) {
  CModel m;
  for (int i = 0; i < 8; ++i)
    m.vertices.emplace_back(at.x + (i & 1 ? size.x : 0.0f), at.y + (i & 2 ? size.y : 0.0f),
                            at.z + (i & 4 ? size.z : 0.0f));
  const std::int32_t quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& q : quads) {
    CFace f;
    f.indices = {q[0], q[1], q[2], q[3]};
    f.material = material;
    m.faces.push_back(f);
  }
  m.RebuildFaceRefs();
  return m;
}

// Where the frame puts a vertex with the fitted camera: normalised device coordinates, and the
// distance in front of the eye in w. Built with Qt's matrices, which follow OpenGL's.
QVector4D Project(const CMeshwright& scene, const CameraFit& fit, double aspect, const CVector& p) {
  QMatrix4x4 projection;
  projection.perspective(scene.fieldOfView, static_cast<float>(aspect), 100.0f, 10000.0f);
  QMatrix4x4 view;
  view.translate(fit.translation.x, fit.translation.y, fit.translation.z);
  view.rotate(scene.camera.rotation.x, 1, 0, 0);
  view.rotate(scene.camera.rotation.y, 0, 1, 0);
  view.rotate(scene.camera.rotation.z, 0, 0, 1);
  view.scale(fit.zoom / 100.0f);
  const QVector4D clip = projection * view * QVector4D(p.x, p.y, p.z, 1.0f);
  return QVector4D(clip.x() / clip.w(), clip.y() / clip.w(), clip.z() / clip.w(), clip.w());
}

struct FitCase {
  const char* name;
  CVector rotation;
  float fieldOfView;
  double aspect;
  CVector at, size;
  // False where the document is so deep for the lens that keeping its front off the near plane
  // leaves it smaller than the picture.
  bool reachesMargin = true;
};

class CameraFitting : public ::testing::TestWithParam<FitCase> {};

TEST_P(CameraFitting, EveryVisibleVertexLiesInsideThePictureAndTheLargestReachesItsMargin) {
  const FitCase& c = GetParam();
  CMeshwright scene;
  scene.ResetScene();
  scene.camera.rotation = c.rotation;
  scene.fieldOfView = c.fieldOfView;
  scene.models = {Box(c.at, c.size)};
  // A second, thin model away from the first, so the fit is over models, not one box.
  scene.models.push_back(Box(CVector(c.at.x - c.size.x, c.at.y + 2 * c.size.y, c.at.z),
                             CVector(c.size.x / 2, c.size.y / 2, c.size.z / 2)));
  const double fill = 0.9;
  const auto fit = FitCamera(scene, c.aspect, fill);
  ASSERT_TRUE(fit.has_value());
  double widest = 0.0;
  for (const CModel& m : scene.models) {
    for (const CVertex& v : m.vertices) {
      const QVector4D p = Project(scene, *fit, c.aspect, v.position);
      EXPECT_LE(std::fabs(p.x()), fill + 1e-3) << c.name;
      EXPECT_LE(std::fabs(p.y()), fill + 1e-3) << c.name;
      // In front of the near plane (with room) and well before the far one.
      EXPECT_GE(p.w(), 199.0) << c.name;
      EXPECT_LE(p.w(), 9000.0) << c.name;
      widest = std::max({widest, std::fabs(double(p.x())), std::fabs(double(p.y()))});
    }
  }
  if (c.reachesMargin) {
    EXPECT_NEAR(widest, fill, 2e-3) << c.name << ": the document should fill the picture";
  } else {
    EXPECT_GT(widest, 0.1) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, CameraFitting,
    ::testing::Values(
        FitCase{"default camera, unit cube", {20, 10, 0}, 10.0f, 1.0, {-50, -50, -50}, {100, 100, 100}},
        FitCase{"awkward angles, tiny",
                {37, -123, 1},
                10.0f,
                16.0 / 9.0,
                {0.01f, -0.0071f, 0.003f},
                {0.0013f, 0.004f, 0.002f}},
        FitCase{"far from the origin", {-17, 61, 3}, 10.0f, 0.8, {12345.6f, -789.01f, 4321.0f}, {37, 12.5f, 80}},
        FitCase{"a long rod seen from above in a tall picture",
                {-90, 0, 0},
                10.0f,
                1.0 / 3.0,
                {-15000, 0, 0},
                {30000, 1, 1}},
        FitCase{"a narrow lens", {1, 1, 1}, 1.0f, 1.5, {0, 0, 0}, {3.7f, 2.2f, 9.1f}},
        FitCase{"a very wide lens", {200, 45, -30}, 170.0f, 0.75, {-7, 3, 11}, {250, 40, 777}, false},
        FitCase{"a wide lens, flat document", {0, 0, 0}, 120.0f, 1.0, {-7, 3, 11}, {250, 140, 0.5f}}));

TEST(CameraFit, HiddenModelsAndUnusableVerticesDoNotCount) {
  CMeshwright scene;
  scene.ResetScene();
  scene.camera.rotation = CVector(37, 1, 0);
  scene.models = {Box(CVector(1, 2, 3), CVector(40, 50, 60))};
  const auto alone = FitCamera(scene, 1.25);
  ASSERT_TRUE(alone.has_value());

  scene.models.push_back(Box(CVector(1e6f, 0, 0), CVector(1, 1, 1)));
  scene.models.back().state = kStateHidden;
  CModel broken;
  broken.vertices = {CVertex(std::numeric_limits<float>::quiet_NaN(), 0, 0),
                     CVertex(std::numeric_limits<float>::infinity(), 1, 1)};
  scene.models.push_back(broken);
  const auto withOthers = FitCamera(scene, 1.25);
  ASSERT_TRUE(withOthers.has_value());
  EXPECT_EQ(withOthers->translation.x, alone->translation.x);
  EXPECT_EQ(withOthers->translation.y, alone->translation.y);
  EXPECT_EQ(withOthers->translation.z, alone->translation.z);
  EXPECT_EQ(withOthers->zoom, alone->zoom);
}

TEST(CameraFit, ASingleVertexSitsInTheCentre) {
  CMeshwright scene;
  scene.ResetScene();
  scene.models[0].vertices = {CVertex(-3.5f, 7.25f, 10.75f)};
  const auto fit = FitCamera(scene, 1.0);
  ASSERT_TRUE(fit.has_value());
  const QVector4D p = Project(scene, *fit, 1.0, scene.models[0].vertices[0].position);
  EXPECT_NEAR(p.x(), 0.0, 1e-4);
  EXPECT_NEAR(p.y(), 0.0, 1e-4);
  EXPECT_NEAR(p.w(), 200.0, 0.05);
}

TEST(CameraFit, NothingToFitOrNoWayToSeeItGivesNoFit) {
  CMeshwright scene;
  scene.ResetScene();
  EXPECT_FALSE(FitCamera(scene, 1.0).has_value()) << "an empty document";
  scene.models[0] = Box(CVector(0, 0, 0), CVector(1, 1, 1));
  scene.models[0].state = kStateHidden;
  EXPECT_FALSE(FitCamera(scene, 1.0).has_value()) << "only hidden models";
  scene.models[0].state = kStateNormal;
  ASSERT_TRUE(FitCamera(scene, 1.0).has_value());
  EXPECT_FALSE(FitCamera(scene, 0.0).has_value());
  EXPECT_FALSE(FitCamera(scene, std::numeric_limits<double>::quiet_NaN()).has_value());
  for (float fov : {0.0f, -10.0f, 180.0f, 400.0f, std::numeric_limits<float>::quiet_NaN()}) {
    scene.fieldOfView = fov;
    EXPECT_FALSE(FitCamera(scene, 1.0).has_value()) << fov;
  }
}

// The off-screen context needs no display: these run with DISPLAY taken away.
using test::WithoutDisplay;

// Two materials, so the picture holds two colours besides the background and the shading.
CMeshwright TwoBoxes() {
  CMeshwright scene;
  scene.ResetScene();
  scene.materials.emplace_back(0);
  scene.materials.emplace_back(1);
  scene.materials[1].color[0] = 0.9f;
  scene.materials[1].color[1] = 0.2f;
  scene.materials[1].color[2] = 0.1f;
  for (CMaterial& m : scene.materials) m.UpdateMaterialColors();
  scene.models = {Box(CVector(-30, -20, -10), CVector(60, 40, 20)), Box(CVector(40, 0, 0), CVector(15, 70, 15), 1)};
  scene.ComputeNormals();
  return scene;
}

TEST(OffscreenFrame, AFittedDocumentFillsThePictureWithoutTouchingItsEdges) {
  WithoutDisplay noDisplay;
  OffscreenContext context;
  std::string error;
  ASSERT_TRUE(context.Create(&error)) << error;
  CMeshwright scene = TwoBoxes();
  const auto fit = FitCamera(scene, 123.0 / 77.0);
  ASSERT_TRUE(fit.has_value());
  scene.camera.translation = fit->translation;
  scene.zoom = fit->zoom;
  const QImage picture = DrawOffscreenFrame(scene, 123, 77, context.uploader(), &error);
  ASSERT_FALSE(picture.isNull()) << error;
  EXPECT_EQ(picture.size(), QSize(123, 77));
  const QRgb background = qRgb(30, 65, 90);
  int left = 123, right = -1, top = 77, bottom = -1;
  for (int y = 0; y < 77; ++y) {
    for (int x = 0; x < 123; ++x) {
      if (x == 0 || y == 0 || x == 122 || y == 76) {
        EXPECT_EQ(picture.pixel(x, y), background) << x << "," << y;
      }
      if (picture.pixel(x, y) == background) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  // 90 % of the tighter side, less a pixel or so of smoothing.
  EXPECT_TRUE(right - left + 1 >= 0.85 * 123 || bottom - top + 1 >= 0.85 * 77)
      << left << ".." << right << " x " << top << ".." << bottom;
}

TEST(OffscreenFrame, WithoutSmoothingThePixelsAreThePerspectivePanes) {
  MW_REQUIRE_DISPLAY();
  CMeshwright scene = TwoBoxes();
  scene.zoom = 450.0f;
  scene.camera.rotation = CVector(37, -23, 1);
  QImage offscreen;
  {
    WithoutDisplay noDisplay;
    OffscreenContext context;
    std::string error;
    ASSERT_TRUE(context.Create(&error)) << error;
    offscreen = DrawOffscreenFrame(scene, 160, 120, context.uploader(), &error, false);
    ASSERT_FALSE(offscreen.isNull()) << error;
  }
  // The pane's way: Qt's context on the display, the same renderer.
  QOffscreenSurface surface;
  surface.setFormat(QSurfaceFormat::defaultFormat());
  surface.create();
  QOpenGLContext context;
  context.setFormat(QSurfaceFormat::defaultFormat());
  ASSERT_TRUE(context.create());
  ASSERT_TRUE(context.makeCurrent(&surface));
  QImage pane;
  {
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::Depth);
    QOpenGLFramebufferObject fbo(160, 120, format);
    ASSERT_TRUE(fbo.bind());
    SetupGlState();
    SetViewport(scene, 160, 120, 160, 120);
    PerspectiveRenderer renderer;
    renderer.DrawFrame(scene, nullptr);
    renderer.Release();
    // Read back as stored: the background's alpha is 0, which a conversion would take as black.
    pane = fbo.toImage();
    pane.reinterpretAsFormat(QImage::Format_RGB32);
  }
  context.doneCurrent();
  ASSERT_EQ(offscreen.size(), pane.size());
  int differing = 0, covered = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) {
      differing += offscreen.pixel(x, y) != pane.pixel(x, y);
      covered += pane.pixel(x, y) != qRgb(30, 65, 90);
    }
  EXPECT_GT(covered, 1000) << "the boxes should be in view";
  EXPECT_EQ(differing, 0);
}

TEST(OffscreenFrame, SizesOutsideTheLimitsAreRefusedWithAReason) {
  WithoutDisplay noDisplay;
  OffscreenContext context;
  std::string error;
  ASSERT_TRUE(context.Create(&error)) << error;
  EXPECT_TRUE(context.Create(&error)) << "a second call keeps the context";
  CMeshwright scene = TwoBoxes();
  for (QSize size :
       {QSize(0, 10), QSize(10, 0), QSize(-3, 5), QSize(kMaxPictureSide + 1, 1), QSize(1, kMaxPictureSide + 1)}) {
    error.clear();
    EXPECT_TRUE(DrawOffscreenFrame(scene, size.width(), size.height(), context.uploader(), &error).isNull())
        << size.width();
    EXPECT_FALSE(error.empty());
  }
  // A picture too large to draw twice over is drawn at its own size.
  const QImage wide = DrawOffscreenFrame(scene, 2049, 3, context.uploader(), &error);
  ASSERT_FALSE(wide.isNull()) << error;
  EXPECT_EQ(wide.size(), QSize(2049, 3));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(OffscreenFrame, AContextOutlivesAnotherOneBeingDestroyed) {
  WithoutDisplay noDisplay;
  std::string error;
  OffscreenContext kept;
  ASSERT_TRUE(kept.Create(&error)) << error;
  {
    OffscreenContext passing;
    ASSERT_TRUE(passing.Create(&error)) << error;
  }
  ASSERT_TRUE(kept.MakeCurrent());
  CMeshwright scene = TwoBoxes();
  const QImage picture = DrawOffscreenFrame(scene, 40, 30, kept.uploader(), &error);
  ASSERT_FALSE(picture.isNull()) << error;
  EXPECT_NE(picture.pixel(20, 15), qRgb(30, 65, 90)) << "the boxes at the centre";
}

// A box with Catmull-Clark on is drawn as its smooth surface: a ball that covers less than the box
// (its corners are gone), shaded in many tones where the box shows a few flat ones.
TEST(OffscreenFrame, ABoxWithSubdivisionOnIsDrawnAsASmoothBall) {
  WithoutDisplay noDisplay;
  OffscreenContext context;
  std::string error;
  ASSERT_TRUE(context.Create(&error)) << error;
  const auto draw = [&](std::int32_t scheme) {
    CMeshwright scene;
    scene.ResetScene();
    scene.materials.emplace_back(0);
    scene.materials[0].UpdateMaterialColors();
    scene.models = {Box(CVector(-50, -50, -50), CVector(100, 100, 100))};
    scene.models[0].subdivisionScheme = scheme;
    scene.models[0].subdivisionLevel = 3;
    scene.camera.rotation = CVector(30, 40, 0);
    scene.ComputeNormals();
    const auto fit = FitCamera(scene, 1.0);
    EXPECT_TRUE(fit.has_value());
    scene.camera.translation = fit->translation;
    scene.zoom = fit->zoom;
    return DrawOffscreenFrame(scene, 96, 96, context.uploader(), &error);
  };
  const QImage box = draw(kSubdivisionNone), ball = draw(kSubdivisionCatmullClark);
  ASSERT_FALSE(box.isNull() || ball.isNull()) << error;
  const QRgb background = qRgb(30, 65, 90);
  int boxPixels = 0, ballPixels = 0, outside = 0;
  int left = 96, right = -1, top = 96, bottom = -1;
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 96; ++x) {
      const bool inBox = box.pixel(x, y) != background, inBall = ball.pixel(x, y) != background;
      boxPixels += inBox, ballPixels += inBall, outside += inBall && !inBox;
      if (!inBall) continue;
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
  EXPECT_LT(ballPixels, boxPixels * 0.9);
  EXPECT_GT(ballPixels, boxPixels * 0.2);
  EXPECT_EQ(outside, 0);
  // Round: as wide as high, filling about pi / 4 of its bounding square.
  const int w = right - left + 1, h = bottom - top + 1;
  EXPECT_NEAR(w, h, 0.1 * h);
  EXPECT_NEAR(ballPixels / double(w * h), 0.785, 0.06);
}

}  // namespace
}  // namespace mw
