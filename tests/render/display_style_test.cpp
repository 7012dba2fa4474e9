// The perspective frame's display styles, drawn off screen: the wireframe shows every edge of a
// box and fills nothing, hidden lines go where faces hide them, and the parallel camera draws a
// box's front face as a square wherever the box stands.
#include <gtest/gtest.h>

#include <QColor>
#include <QMatrix4x4>
#include <QVector4D>
#include <array>
#include <cmath>

#include "render/display_style.h"
#include "render/offscreen_frame.h"
#include "tests/support/gui_test.h"

namespace mw {
namespace {

constexpr int kW = 200, kH = 160;

CMeshwright BoxScene(CVector rotation, CVector translation) {
  CMeshwright scene;
  scene.ResetScene();
  scene.materials.emplace_back(0);
  scene.materials[0].UpdateMaterialColors();
  scene.currentModel = 0;
  scene.currentMaterial = 0;
  scene.AddBox(CVector(-40, -40, -40), CVector(40, 40, 40));
  scene.ComputeNormals();
  scene.camera.rotation = rotation;
  scene.camera.translation = translation;
  return scene;
}

QImage Draw(CMeshwright& scene, const DisplayStyle& style) {
  OffscreenContext context;
  std::string error;
  if (!context.Create(&error)) {
    ADD_FAILURE() << error;
    return QImage();
  }
  return DrawOffscreenFrame(scene, kW, kH, context.uploader(), &error, false, style).convertToFormat(
      QImage::Format_RGB32);
}

// Where the perspective frame puts a model point, in picture pixels.
QPointF PixelOf(const CMeshwright& scene, const CVector& p) {
  QMatrix4x4 projection;
  projection.perspective(scene.fieldOfView, static_cast<float>(kW) / kH, 100.0f, 10000.0f);
  QMatrix4x4 view;
  view.translate(scene.camera.translation.x, scene.camera.translation.y, scene.camera.translation.z);
  view.rotate(scene.camera.rotation.x, 1, 0, 0);
  view.rotate(scene.camera.rotation.y, 0, 1, 0);
  view.rotate(scene.camera.rotation.z, 0, 0, 1);
  view.scale(scene.zoom / 100.0f);
  const QVector4D c = projection * view * QVector4D(p.x, p.y, p.z, 1.0f);
  return QPointF((c.x() / c.w() + 1.0) * kW / 2.0, (1.0 - c.y() / c.w()) * kH / 2.0);
}

QRgb Wire() {
  float c[3];
  ColorToFloats(kWireColour, c);
  return qRgb(static_cast<int>(std::lround(c[0] * 255)), static_cast<int>(std::lround(c[1] * 255)),
              static_cast<int>(std::lround(c[2] * 255)));
}

bool WireNear(const QImage& image, QPointF at, int reach = 1) {
  for (int dy = -reach; dy <= reach; ++dy)
    for (int dx = -reach; dx <= reach; ++dx) {
      const int x = static_cast<int>(at.x()) + dx, y = static_cast<int>(at.y()) + dy;
      if (image.valid(x, y) && image.pixel(x, y) == Wire()) return true;
    }
  return false;
}

// The twelve edges of the box as pairs of corner numbers (bit 0 x, bit 1 y, bit 2 z).
std::vector<std::pair<int, int>> BoxEdges() {
  std::vector<std::pair<int, int>> edges;
  for (int a = 0; a < 8; ++a)
    for (int bit : {1, 2, 4})
      if (!(a & bit)) edges.emplace_back(a, a | bit);
  return edges;
}

CVector Corner(int i) { return CVector(i & 1 ? 40.0f : -40.0f, i & 2 ? 40.0f : -40.0f, i & 4 ? 40.0f : -40.0f); }

CVector Along(const CVector& a, const CVector& b, double t) {
  const auto f = static_cast<float>(t);
  return CVector(a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f);
}

TEST(DisplayStyle, WireframeShowsEveryEdgeOfABoxAndFillsNothing) {
  test::WithoutDisplay noDisplay;
  CMeshwright scene = BoxScene(CVector(25, 35, 0), CVector(0, 0, -2000));
  DisplayStyle wire;
  wire.shading = Shading::kWireframe;
  const QImage picture = Draw(scene, wire);
  ASSERT_FALSE(picture.isNull());
  const QRgb background = picture.pixel(0, 0);
  for (const auto& [a, b] : BoxEdges()) {
    // A quarter and three quarters along each edge, away from the corners where edges meet.
    for (double t : {0.25, 0.75}) {
      const CVector p = Along(Corner(a), Corner(b), t);
      EXPECT_TRUE(WireNear(picture, PixelOf(scene, p))) << "edge " << a << "-" << b << " at " << t;
    }
  }
  int other = 0, lines = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const QRgb c = picture.pixel(x, y);
      lines += c == Wire();
      other += c != Wire() && c != background;
    }
  EXPECT_EQ(other, 0) << "no face is filled";
  EXPECT_GT(lines, 200);
}

TEST(DisplayStyle, HiddenLinesLeaveOutTheEdgesFacesHide) {
  test::WithoutDisplay noDisplay;
  CMeshwright scene = BoxScene(CVector(25, 35, 0), CVector(0, 0, -2000));
  DisplayStyle hidden;
  hidden.shading = Shading::kWireframe;
  hidden.hiddenLines = true;
  const QImage picture = Draw(scene, hidden);
  ASSERT_FALSE(picture.isNull());
  // The corner furthest from the eye: its three edges lie behind the box.
  QMatrix4x4 view;
  view.rotate(25, 1, 0, 0);
  view.rotate(35, 0, 1, 0);
  int far = 0;
  for (int i = 1; i < 8; ++i)
    if (view.map(QVector3D(Corner(i).x, Corner(i).y, Corner(i).z)).z() <
        view.map(QVector3D(Corner(far).x, Corner(far).y, Corner(far).z)).z())
      far = i;
  int shown = 0, hiddenEdges = 0;
  for (const auto& [a, b] : BoxEdges()) {
    const QPointF mid = PixelOf(scene, Along(Corner(a), Corner(b), 0.5));
    if (a == far || b == far) {
      ++hiddenEdges;
      EXPECT_FALSE(WireNear(picture, mid, 0)) << "edge " << a << "-" << b << " is behind the box";
    } else {
      shown += WireNear(picture, mid);
    }
  }
  EXPECT_EQ(hiddenEdges, 3);
  EXPECT_EQ(shown, 9);
}

// The box seen face-on from off the axis: its silhouette, and whether that is one square of one
// colour (the front face alone, flat-shaded), its sides equal up to the pixel the edges round to.
struct Silhouette {
  int left = kW, top = kH, right = -1, bottom = -1, count = 0;
  bool oneColour = true;
  bool Square() const {
    return oneColour && std::abs((right - left) - (bottom - top)) <= 1 &&
           count == (right - left + 1) * (bottom - top + 1);
  }
};

Silhouette SilhouetteOf(const QImage& picture) {
  Silhouette s;
  const QRgb background = picture.pixel(0, 0);
  QRgb first = background;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      if (picture.pixel(x, y) != background) {
        if (first == background) first = picture.pixel(x, y);
        s.oneColour = s.oneColour && picture.pixel(x, y) == first;
        s.left = std::min(s.left, x), s.right = std::max(s.right, x);
        s.top = std::min(s.top, y), s.bottom = std::max(s.bottom, y);
        ++s.count;
      }
  return s;
}

TEST(DisplayStyle, TheParallelCameraDrawsAFrontFaceAsASquareAtAnyDistance) {
  test::WithoutDisplay noDisplay;
  DisplayStyle parallel;
  parallel.parallel = true;
  for (float distance : {-800.0f, -2000.0f, -6000.0f}) {
    // Off the axis, where a perspective camera also shows a side and the top of the box.
    CMeshwright scene = BoxScene(CVector(0, 0, 0), CVector(distance * 0.08f, distance * 0.05f, distance));
    scene.zoom = 100.0f * -distance / 2000.0f;  // about the same size in the picture at every distance
    scene.smoothing = 0;
    const Silhouette flat = SilhouetteOf(Draw(scene, parallel));
    EXPECT_TRUE(flat.Square()) << "distance " << distance << ": " << flat.left << "," << flat.top << " - "
                               << flat.right << "," << flat.bottom << " count " << flat.count;
    EXPECT_GT(flat.right - flat.left, 10);
    const Silhouette deep = SilhouetteOf(Draw(scene, DisplayStyle{}));
    EXPECT_FALSE(deep.Square()) << "the perspective camera shows more than the front face at " << distance;
  }
}

TEST(DisplayStyle, FromInsideABoxOnlyItsBackFacesAreSeenAndOnlyWhenShown) {
  test::WithoutDisplay noDisplay;
  CMeshwright scene;
  scene.ResetScene();
  scene.materials.emplace_back(0);
  scene.materials[0].UpdateMaterialColors();
  scene.currentMaterial = 0;
  scene.AddBox(CVector(-300, -300, -300), CVector(300, 300, 300));
  scene.ComputeNormals();
  scene.camera.rotation = CVector(0, 0, 0);
  scene.camera.translation = CVector(0, 0, 0);
  const QImage culled = Draw(scene, DisplayStyle{});
  DisplayStyle shown;
  shown.backFaces = true;
  const QImage inside = Draw(scene, shown);
  ASSERT_FALSE(culled.isNull());
  ASSERT_FALSE(inside.isNull());
  const QRgb background = qRgb(30, 65, 90);  // the scene's background
  int drawn = 0, drawnCulled = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      drawnCulled += culled.pixel(x, y) != background;
      drawn += inside.pixel(x, y) != background;
    }
  EXPECT_EQ(drawnCulled, 0);
  EXPECT_EQ(drawn, kW * kH);  // the far wall fills the picture
}

TEST(DisplayStyle, WordsOfTheStyleOptionReadBackAsTheStyle) {
  struct Case {
    const char* words;
    bool ok;
    Shading shading;
    bool hidden, textured, backFaces, parallel;
  };
  const Case cases[] = {
      {"wire", true, Shading::kWireframe, false, true, false, false},
      {"WIRE,Parallel", true, Shading::kWireframe, false, true, false, true},
      {"hidden,untextured,backfaces", true, Shading::kWireframe, true, false, true, false},
      {"edges,culled,perspective", true, Shading::kShadedEdges, false, true, false, false},
      {"shaded", true, Shading::kShaded, false, true, false, false},
      {"wireframe", true, Shading::kWireframe, false, true, false, false},
      {"", false, Shading::kShaded, false, true, false, false},
      {"wire,", false, Shading::kShaded, false, true, false, false},
      {",wire", false, Shading::kShaded, false, true, false, false},
      {"solid", false, Shading::kShaded, false, true, false, false},
      {"wire parallel", false, Shading::kShaded, false, true, false, false},
  };
  for (const Case& c : cases) {
    const auto style = ParseDisplayStyle(c.words);
    ASSERT_EQ(style.has_value(), c.ok) << c.words;
    if (!style) continue;
    EXPECT_EQ(style->shading, c.shading) << c.words;
    EXPECT_EQ(style->hiddenLines, c.hidden) << c.words;
    EXPECT_EQ(style->textured, c.textured) << c.words;
    EXPECT_EQ(style->backFaces, c.backFaces) << c.words;
    EXPECT_EQ(style->parallel, c.parallel) << c.words;
    EXPECT_EQ(ParseDisplayStyle(DisplayStyleWords(*style)), style) << c.words;
  }
}

}  // namespace
}  // namespace mw
