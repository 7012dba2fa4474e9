// The perspective frame rendered into an offscreen framebuffer and read back.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <cmath>
#include <cstring>
#include <memory>

#include "io/loader_mqo.h"
#include "render/gl_frame.h"
#include "tests/support/test_support.h"
#include "tests/support/gui_test.h"

namespace mw {
namespace {

class Perspective : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveDisplay()) return;
    surface_ = std::make_unique<QOffscreenSurface>();
    surface_->setFormat(QSurfaceFormat::defaultFormat());
    surface_->create();
    context_ = std::make_unique<QOpenGLContext>();
    context_->setFormat(QSurfaceFormat::defaultFormat());
    ASSERT_TRUE(context_->create());
    ASSERT_TRUE(context_->makeCurrent(surface_.get()));
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::Depth);
    fbo_ = std::make_unique<QOpenGLFramebufferObject>(200, 200, format);
    ASSERT_TRUE(fbo_->bind());
    SetupGlState();
    scene_.ResetScene();
    scene_.camera.rotation = CVector(0, 0, 0);
  }
  void TearDown() override {
    if (context_) context_->doneCurrent();
  }

  QImage Render() {
    SetViewport(scene_, 200, 200, 200, 200);
    DrawPerspectiveFrame(scene_, nullptr);
    return fbo_->toImage();
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
  std::unique_ptr<QOffscreenSurface> surface_;
  std::unique_ptr<QOpenGLContext> context_;
  std::unique_ptr<QOpenGLFramebufferObject> fbo_;
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
