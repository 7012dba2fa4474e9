// The 3D panes on a screen scaled by 1.5: drawn at the device's resolution, not stretched.
//
// This program sets QT_SCALE_FACTOR itself before Qt starts, so every window has a device pixel
// ratio of 1.5 under any X server.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <QApplication>
#include <QTest>
#include <QOpenGLFramebufferObject>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "render/gl_frame.h"
#include "render/surface_format.h"
#include "scene/meshwright.h"
#include "tests/support/gui_test.h"
#include "view/opengl_pane.h"
#include "view/ortho_pane.h"

namespace {
bool g_haveDisplay = false;
}  // namespace

namespace mw::test {
bool HaveDisplay() { return g_haveDisplay; }
}  // namespace mw::test

namespace mw {
namespace {

const QRgb kBlack = qRgb(0, 0, 0);

CMeshwright Scene() {
  CMeshwright s;
  s.ResetScene();
  CModel& m = s.models[0];
  m.vertices = {CVertex(10, 20, 30), CVertex(-60, -60, -20), CVertex(60, -60, -20), CVertex(-50, 40, -10),
                CVertex(50, 40, -10), CVertex(50, -30, 10), CVertex(-50, -30, 10)};
  CFace line;
  line.indices = {1, 2};
  CFace quad;
  quad.indices = {3, 4, 5, 6};
  m.faces = {line, quad};
  m.RebuildFaceRefs();
  s.materials.emplace_back(0);
  m.faces[1].material = 0;
  s.materials[0].color[0] = 0.9f;
  s.materials[0].UpdateMaterialColors();
  s.ComputeNormals();
  return s;
}

// A window holding one pane of 200 x 100 pane pixels.
void Show(QWidget& window, QWidget* pane) {
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(pane);
  pane->setFixedSize(200, 100);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
}

TEST(ScaledPanes, OrthoPaneIsDrawnAtDeviceResolution) {
  MW_REQUIRE_DISPLAY();
  CMeshwright scene = Scene();
  OrthoShared shared;
  PaneHost host;
  QWidget window;
  auto* pane = new OrthoPane(scene, shared, host, kPlaneTop);
  Show(window, pane);
  ASSERT_EQ(pane->devicePixelRatioF(), 1.5);
  const QImage image = pane->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(image.size(), QSize(300, 150));
  // Vertex (10, 20, 30): pane centre (150, 75) in device pixels, plus 15 and 45.
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) EXPECT_EQ(image.pixel(165 + dx, 120 + dy), kBlack) << dx << "," << dy;
  EXPECT_NE(image.pixel(167, 120), kBlack) << "a 3-pixel square, not a stretched one";
  // The line from x = -60 to 60 at z = -20: device row 45, one pixel high.
  for (int x = 62; x < 238; x += 11) {
    EXPECT_EQ(image.pixel(x, 45), kBlack) << x;
    EXPECT_NE(image.pixel(x, 44), kBlack) << x;
    EXPECT_NE(image.pixel(x, 46), kBlack) << x;
  }
}

// The pane's frame equals the frame drawn straight into a framebuffer of the device's size with
// the pane's projection: nothing is drawn small and scaled up.
TEST(ScaledPanes, PerspectivePaneIsDrawnAtDeviceResolution) {
  MW_REQUIRE_DISPLAY();
  CMeshwright scene = Scene();
  scene.camera.rotation = CVector(20, 37, 0);
  PanOffsets pan;
  PaneHost host;
  QWidget window;
  auto* pane = new PerspectivePane(scene, pan, host);
  Show(window, pane);
  ASSERT_TRUE(pane->glReady());
  ASSERT_EQ(pane->devicePixelRatioF(), 1.5);
  const QImage shown = pane->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), QSize(300, 150));
  pane->makeCurrent();
  QOpenGLFramebufferObjectFormat format;
  format.setAttachment(QOpenGLFramebufferObject::Depth);
  QOpenGLFramebufferObject fbo(300, 150, format);
  ASSERT_TRUE(fbo.bind());
  SetViewport(scene, 200, 100, 300, 150);
  DrawPerspectiveFrame(scene, nullptr);
  const QImage reference = fbo.toImage().convertToFormat(QImage::Format_RGB32);
  // The same without the line face: what differs is the line.
  const CFace line = scene.models[0].faces[0];
  scene.models[0].faces.erase(scene.models[0].faces.begin());
  DrawPerspectiveFrame(scene, nullptr);
  const QImage withoutLine = fbo.toImage().convertToFormat(QImage::Format_RGB32);
  scene.models[0].faces.insert(scene.models[0].faces.begin(), line);
  fbo.release();
  pane->doneCurrent();
  int differ = 0, drawn = 0;
  const QRgb background = reference.pixel(0, 0);
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 300; ++x) {
      differ += shown.pixel(x, y) != reference.pixel(x, y);
      drawn += reference.pixel(x, y) != background;
    }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(drawn, 1000) << "the quadrilateral is in view";
  // The line face stays one device pixel wide: no column holds more than two of its pixels.
  int thickest = 0, linePixels = 0;
  for (int x = 0; x < 300; ++x) {
    int inColumn = 0;
    for (int y = 0; y < 150; ++y) inColumn += reference.pixel(x, y) != withoutLine.pixel(x, y);
    thickest = std::max(thickest, inColumn);
    linePixels += inColumn;
  }
  EXPECT_GT(linePixels, 30);
  EXPECT_LE(thickest, 2);
}

}  // namespace
}  // namespace mw

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) return RUN_ALL_TESTS();
  qputenv("QT_SCALE_FACTOR", "1.5");
  g_haveDisplay = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
  std::unique_ptr<QApplication> app;
  if (g_haveDisplay) {
    mw::SetDefaultSurfaceFormat();
    app = std::make_unique<QApplication>(argc, argv);
  }
  return RUN_ALL_TESTS();
}
