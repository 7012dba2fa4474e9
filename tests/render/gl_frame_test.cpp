// The perspective frame rendered into an offscreen framebuffer and read back.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <QColor>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "io/loader_mqo.h"
#include "render/gl_frame.h"
#include "tests/support/gui_test.h"
#include "tests/support/offscreen_gl.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

class Perspective : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveDisplay()) return;
    ASSERT_TRUE(gl_.Start(200, 200));
    SetupGlState();
    scene_.ResetScene();
    scene_.camera.rotation = CVector(0, 0, 0);
  }
  void TearDown() override {
    if (gl_.started()) gl_.Stop();
  }

  QImage Render() {
    SetViewport(scene_, 200, 200, 200, 200);
    DrawPerspectiveFrame(scene_, nullptr);
    return gl_.Grab();
  }

  // A square of side 100 in the XY plane facing the camera, with a material.
  void AddSquare(std::int32_t materialId, bool withUVs = false) {
    CModel& m = scene_.models[0];
    m.vertices = {CVertex(-50, -50, 0), CVertex(-50, 50, 0), CVertex(50, 50, 0), CVertex(50, -50, 0)};
    CFace f;
    f.indices = {0, 1, 2, 3};
    f.material = materialId;
    // v grows downwards in the picture, as Metasequoia documents have it.
    if (withUVs) f.uvs = {CUV(0, 1), CUV(0, 0), CUV(1, 0), CUV(1, 1)};
    m.faces = {f};
    m.RebuildFaceRefs();
    scene_.ComputeNormals();
  }

  // Width in pixels of the run of non-background pixels through the centre row.
  int CentreRowWidth(const QImage& image) {
    const QRgb background = image.pixel(0, 0);
    int n = 0;
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, 100) != background;
    return n;
  }

  CMeshwright scene_;
  test::OffscreenGl gl_;
};

TEST_F(Perspective, AnEmptySceneIsTheBackgroundColour) {
  MW_REQUIRE_DISPLAY();
  const QImage image = Render();
  EXPECT_EQ(QColor(image.pixel(100, 100)), QColor(30, 65, 90));
  EXPECT_EQ(QColor(image.pixel(3, 190)), QColor(30, 65, 90));
}

TEST_F(Perspective, ALitSquareFacingTheCameraShowsItsMaterialWhereTheProjectionPutsIt) {
  MW_REQUIRE_DISPLAY();
  scene_.materials.emplace_back(7);
  CMaterial& red = scene_.materials[0];
  red.color[0] = 1.0f;
  red.color[1] = red.color[2] = 0.0f;
  red.UpdateMaterialColors();
  AddSquare(7);
  const QImage image = Render();
  const QColor centre(image.pixel(100, 100));
  EXPECT_EQ(centre.red(), 255);
  EXPECT_EQ(centre.green(), 0);
  EXPECT_EQ(centre.blue(), 0);
  // 100 units at 2000 with a 10 degree field of view over 200 pixels: 100 / (2 * 2000 * tan 5°) * 200.
  const double expected = 100.0 / (2 * 2000 * std::tan(5.0 * M_PI / 180.0)) * 200.0;
  EXPECT_NEAR(CentreRowWidth(image), expected, 2.0);
}

TEST_F(Perspective, ZoomTwoHundredDrawsTwiceAsLarge) {
  MW_REQUIRE_DISPLAY();
  scene_.materials.emplace_back(0);
  AddSquare(0);
  const int normal = CentreRowWidth(Render());
  scene_.zoom = 200.0f;
  const int doubled = CentreRowWidth(Render());
  EXPECT_NEAR(doubled, 2 * normal, 2);
}

TEST_F(Perspective, FacesWithAnUnknownMaterialAreNotDrawn) {
  MW_REQUIRE_DISPLAY();
  scene_.materials.emplace_back(0);
  AddSquare(5);
  EXPECT_EQ(QColor(Render().pixel(100, 100)), QColor(30, 65, 90));
}

TEST_F(Perspective, HiddenModelsAndFlatShading) {
  MW_REQUIRE_DISPLAY();
  scene_.materials.emplace_back(0);
  AddSquare(0);
  scene_.smoothing = 0;
  EXPECT_NE(QColor(Render().pixel(100, 100)), QColor(30, 65, 90));
  scene_.models[0].state = kStateHidden;
  EXPECT_EQ(QColor(Render().pixel(100, 100)), QColor(30, 65, 90));
}

// Faces of five and more corners, drawn with additive blending and no depth test so that any
// pixel covered twice shows twice as bright, against a black background. The material gives a
// flat colour (emission only), so every covered pixel has the same value.
class PerspectivePolygons : public Perspective {
 protected:
  void SetUp() override {
    Perspective::SetUp();
    if (!gl_.started()) return;
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_ONE, GL_ONE);
    scene_.backgroundColor = 0;
    scene_.zoom = 150.0f;
    scene_.materials.emplace_back(2);
    CMaterial& m = scene_.materials[0];
    m.color[0] = m.color[1] = m.color[2] = 0.25f;
    m.diffuse = m.ambient = m.specular = 0.0f;
    m.emissive = 1.0f;
    m.UpdateMaterialColors();
  }
  void TearDown() override {
    if (gl_.started()) {
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      glEnable(GL_DEPTH_TEST);
    }
    Perspective::TearDown();
  }

  // One face in the XY plane at z = 0 from (x, y) corners, wound clockwise on the screen like
  // the program's own faces (the front side is culled).
  void SetFace(const std::vector<QPointF>& corners) {
    CModel& m = scene_.models[0];
    m.vertices.clear();
    CFace f;
    f.material = 2;
    for (const QPointF& c : corners) {
      f.AddIndex(static_cast<std::int32_t>(m.vertices.size()));
      m.vertices.emplace_back(static_cast<float>(c.x()), static_cast<float>(c.y()), 0.0f);
    }
    m.faces = {f};
    m.RebuildFaceRefs();
    scene_.ComputeNormals();
    corners_ = corners;
  }

  // Where a world point (x, y, 0) lands in the image (y down): the camera sits 2000 in front,
  // 10 degree field of view over 200 pixels.
  QPointF OnScreen(const QPointF& p) const {
    const double k = 200.0 / (2 * 2000 * std::tan(5.0 * M_PI / 180.0)) * scene_.zoom / 100.0;
    return QPointF(100 + p.x() * k, 100 - p.y() * k);
  }

  // +1 well inside the face, -1 well outside, 0 within two pixels of an edge.
  int Where(const QPointF& pixel) const {
    bool inside = false;
    const std::size_t n = corners_.size();
    for (std::size_t i = 0; i < n; ++i) {
      const QPointF a = OnScreen(corners_[i]), b = OnScreen(corners_[(i + 1) % n]);
      const QPointF d = b - a;
      const double len = std::hypot(d.x(), d.y());
      const double t = std::clamp(QPointF::dotProduct(pixel - a, d) / (len * len), 0.0, 1.0);
      const QPointF q = a + t * d - pixel;
      if (std::hypot(q.x(), q.y()) < 2.0) return 0;
      if ((a.y() > pixel.y()) != (b.y() > pixel.y()) && pixel.x() < a.x() + (pixel.y() - a.y()) * d.x() / d.y())
        inside = !inside;
    }
    return inside ? 1 : -1;
  }

  // Every pixel well inside has the one colour of a single layer, every pixel well outside is
  // black, and no pixel anywhere is brighter than one layer.
  void ExpectCoveredOnce(const QImage& image, const char* what) {
    SCOPED_TRACE(what);
    const QRgb once = image.pixel(OnScreen(inner_).toPoint());
    ASSERT_GT(qRed(once), 40) << "the face is drawn";
    ASSERT_LT(qRed(once), 90);
    int in = 0, out = 0, brighter = 0, wrongIn = 0, wrongOut = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb p = image.pixel(x, y);
        brighter += qRed(p) > qRed(once);
        const int where = Where(QPointF(x + 0.5, y + 0.5));
        if (where > 0) {
          ++in;
          wrongIn += p != once;
        } else if (where < 0) {
          ++out;
          wrongOut += (p & 0xFFFFFF) != 0;
        }
      }
    }
    EXPECT_GT(in, 1000);
    EXPECT_GT(out, 1000);
    EXPECT_EQ(brighter, 0) << "pixels drawn more than once";
    EXPECT_EQ(wrongIn, 0) << "pixels inside left out";
    EXPECT_EQ(wrongOut, 0) << "pixels outside drawn";
  }

  std::vector<QPointF> corners_;
  QPointF inner_;  // a point well inside, for the reference colour
};

TEST_F(PerspectivePolygons, AConcaveHexagonIsFilledOnceAndItsNotchStaysEmpty) {
  MW_REQUIRE_DISPLAY();
  // A deep notch from the bottom edge up to corner 5: a fan from corner 0 would fill it.
  SetFace({{-80, -60}, {-80, 60}, {80, 60}, {80, -60}, {40, -60}, {0, 30}});
  inner_ = QPointF(-60, 40);
  const QImage image = Render();
  ExpectCoveredOnce(image, "hexagon");
  EXPECT_EQ(image.pixel(OnScreen(QPointF(0, -40)).toPoint()) & 0xFFFFFF, 0u) << "the notch";
  // The same face wound the other way round faces away and is culled like any other face.
  std::vector<QPointF> reversed(corners_.rbegin(), corners_.rend());
  SetFace(reversed);
  const QImage culled = Render();
  EXPECT_EQ(culled.pixel(OnScreen(inner_).toPoint()) & 0xFFFFFF, 0u);
}

TEST_F(PerspectivePolygons, APentagonAndAStarAreFilledOnce) {
  MW_REQUIRE_DISPLAY();
  SetFace({{-70, -50}, {-70, 20}, {5, 75}, {70, 20}, {55, -50}});
  inner_ = QPointF(0, 0);
  ExpectCoveredOnce(Render(), "pentagon");
  // Ten corners, five of them reflex, clockwise.
  std::vector<QPointF> star;
  for (int i = 0; i < 10; ++i) {
    const double r = i % 2 ? 33.7 : 85.0, t = -i * M_PI / 5 + M_PI / 2;
    star.emplace_back(r * std::cos(t), r * std::sin(t));
  }
  SetFace(star);
  inner_ = QPointF(0, 0);
  ExpectCoveredOnce(Render(), "star");
}

TEST_F(PerspectivePolygons, AMovedCornerIsDrawnWhereItNowIs) {
  MW_REQUIRE_DISPLAY();
  // The frame keeps the split between frames; moving a corner must not leave the old one.
  SetFace({{-80, -60}, {-80, 60}, {80, 60}, {80, -60}, {40, -60}, {0, 30}});
  inner_ = QPointF(-60, 40);
  ExpectCoveredOnce(Render(), "before");
  // The notch's tip goes below the bottom edge: the notch is now inside, and no triangle of the
  // old split covers it.
  scene_.models[0].vertices[5].position = CVector(0, -90, 0);
  corners_[5] = QPointF(0, -90);
  ExpectCoveredOnce(Render(), "after");
}

TEST_F(Perspective, ATextureThreePixelsWideAppearsTheRightWayUp) {
  MW_REQUIRE_DISPLAY();
  // Picture: top row blue, bottom row red; stored bottom row first, rows padded from 9 to 12 bytes.
  auto image = std::make_shared<DibStream>();
  ASSERT_TRUE(image->Create(3, 2, 24));
  std::memset(image->Pixels(), 0xAB, image->PixelBytes());  // padding that must not be read
  for (int x = 0; x < 3; ++x) {
    const std::uint8_t blue[3] = {255, 0, 0}, red[3] = {0, 0, 255};
    std::memcpy(image->Row(0) + 3 * x, blue, 3);
    std::memcpy(image->Row(1) + 3 * x, red, 3);
  }
  scene_.materials.emplace_back(0);
  CMaterial& m = scene_.materials[0];
  m.color[0] = m.color[1] = m.color[2] = 1.0f;
  m.texture = "t.bmp";
  m.textureImage = image;
  m.UpdateMaterialColors();
  m.textureObject = UploadTexture(*image, 3, kGlBgr);
  ASSERT_NE(m.textureObject, 0u);
  AddSquare(0, true);
  const QImage frame = Render();
  const QColor upper(frame.pixel(100, 100 - 14)), lower(frame.pixel(100, 100 + 14));
  EXPECT_GT(upper.blue(), 200) << upper.name().toStdString();
  EXPECT_LT(upper.red(), 60);
  EXPECT_GT(lower.red(), 200) << lower.name().toStdString();
  EXPECT_LT(lower.blue(), 60);
}

TEST_F(Perspective, ARealTexturedDocumentRendersAndIsSavedForALook) {
  MW_REQUIRE_DISPLAY();
  MW_REQUIRE_TESTDATA();
  test::TempDir textures;
  std::filesystem::copy_file(test::TestData("jpg/mqo-texture/pymeshio_front.jpg"), textures / "front.jpg");
  // Upload with this test's context current.
  struct Uploader : TextureUploader {
    std::uint32_t Upload(const DibStream& image, std::int32_t components, std::uint32_t format) override {
      return UploadTexture(image, components, format);
    }
    void Delete(std::uint32_t) override {}
  } uploader;
  MaterialTextures service(&uploader, textures.path().string() + "/");
  TextureService* old = SetTextureService(&service);
  scene_.camera.rotation = CVector(20, 30, 0);
  scene_.zoom = 40.0f;
  int code = 0;
  const bool ok = ImportMetasequoia(scene_, test::TestData("mqo/pymeshio_cube.mqo").string(), &code);
  SetTextureService(old);
  ASSERT_TRUE(ok) << code;
  int textured = 0;
  for (const CMaterial& m : scene_.materials) textured += m.textureObject != 0;
  EXPECT_EQ(textured, 1);
  const QImage frame = Render();
  const std::filesystem::path out = std::filesystem::path(MW_BIN_DIR).parent_path() / "test-output";
  std::filesystem::create_directories(out);
  EXPECT_TRUE(frame.save(QString::fromStdString((out / "pymeshio_cube.png").string())));
  int drawn = 0;
  for (int y = 0; y < frame.height(); y += 4)
    for (int x = 0; x < frame.width(); x += 4) drawn += QColor(frame.pixel(x, y)).rgb() != QColor(30, 65, 90).rgb();
  EXPECT_GT(drawn, 200) << "the cube covers a good part of the frame";
}

}  // namespace
}  // namespace mw
