// Other programs' files as the perspective frame draws them: a square whose front faces up is
// seen from above and not from below, and a closed box is seen from outside, so that what lies
// inside it stays hidden.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "io/document_io.h"
#include "platform/message.h"
#include "render/offscreen_frame.h"
#include "tests/support/gui_test.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

const QRgb kBackground = qRgb(30, 65, 90);

// The off-screen context is made without the display, as the picture command makes it.
class OffscreenScope {
 public:
  OffscreenScope() { ok = context.Create(&error); }

 private:
  test::WithoutDisplay noDisplay_;  // made before the context, gone after it

 public:
  OffscreenContext context;
  std::string error;
  bool ok = false;
};

// The frame seen from `rotation`, the document fitted, without smoothing.
QImage Seen(OffscreenScope& gl, CMeshwright scene, CVector rotation) {
  scene.camera.rotation = rotation;
  const auto fit = FitCamera(scene, 1.0);
  if (!fit) return QImage();
  scene.camera.translation = fit->translation;
  scene.zoom = fit->zoom;
  return DrawOffscreenFrame(scene, 96, 96, gl.context.uploader(), &gl.error, false);
}

int Count(const QImage& image, auto&& pick) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += pick(image.pixel(x, y)) ? 1 : 0;
  return n;
}

int Covered(const QImage& image) {
  return Count(image, [](QRgb p) { return (p & 0xFFFFFF) != (kBackground & 0xFFFFFF); });
}

using test::QuietMessages;

TEST(ForeignFilesPixels, ASquareFacingUpIsSeenFromAboveAndNotFromBelow) {
  const std::pair<const char*, std::string> files[] = {
      {"quad.obj", "v -100 0 -100\nv -100 0 100\nv 100 0 100\nv 100 0 -100\nf 1 2 3 4\n"},
      {"quad.off", "OFF\n4 1 0\n-100 0 -100\n-100 0 100\n100 0 100\n100 0 -100\n4 0 1 2 3\n"},
      {"quad.ply",
       "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
       "element face 1\nproperty list uchar int vertex_indices\nend_header\n"
       "-100 0 -100\n-100 0 100\n100 0 100\n100 0 -100\n4 0 1 2 3\n"},
  };
  OffscreenScope gl;
  ASSERT_TRUE(gl.ok) << gl.error;
  for (const auto& [name, text] : files) {
    SCOPED_TRACE(name);
    test::TempDir dir;
    test::WriteBytes(dir / name, std::vector<std::uint8_t>(text.begin(), text.end()));
    CMeshwright scene;
    scene.ResetScene();
    ASSERT_TRUE(OpenDocumentFile(scene, (dir / name).string()).ok());
    // Turned 80 degrees about X the camera looks down on the XZ plane, -80 up at it.
    const QImage above = Seen(gl, scene, CVector(80, 10, 0));
    const QImage below = Seen(gl, scene, CVector(-80, 10, 0));
    ASSERT_FALSE(above.isNull() || below.isNull()) << gl.error;
    EXPECT_GT(Covered(above), 96 * 96 / 4) << "the square is not seen from above";
    EXPECT_EQ(Covered(below), 0) << "the square is seen from below";
  }
}

// A small box of both windings in a material of its own (pure red, lit by nothing), visible from
// anywhere unless something hides it.
void AddMarker(CMeshwright& scene, CVector centre, float size) {
  CMaterial red(scene.nextMaterialId++);
  red.color[0] = 1.0f, red.color[1] = 0.0f, red.color[2] = 0.0f, red.color[3] = 1.0f;
  red.diffuse = 0.0f, red.ambient = 0.0f, red.specular = 0.0f, red.emissive = 1.0f;
  red.UpdateMaterialColors();
  scene.materials.push_back(red);
  CModel m;
  m.name = "marker";
  for (int i = 0; i < 8; ++i)
    m.vertices.emplace_back(centre.x + (i & 1 ? size : -size), centre.y + (i & 2 ? size : -size),
                            centre.z + (i & 4 ? size : -size));
  const std::int32_t quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& q : quads)
    for (bool reversed : {false, true}) {
      CFace f;
      for (int k = 0; k < 4; ++k) f.AddIndex(q[reversed ? 3 - k : k]);
      f.material = red.id;
      m.faces.push_back(f);
    }
  m.RebuildFaceRefs();
  m.ComputeNormals(scene.smoothing);
  scene.models.push_back(std::move(m));
}

TEST(ForeignFilesPixels, ClosedBoxesFromOtherProgramsAreSeenFromOutside) {
  MW_REQUIRE_TESTDATA();
  QuietMessages quiet;
  OffscreenScope gl;
  ASSERT_TRUE(gl.ok) << gl.error;
  for (const char* file : {"obj/trimesh_negative_indices.obj", "ply/trimesh_cube_blender_uv.ply",
                           "stl/trimesh_20mm-xyz-cube.stl", "gltf/assimp-BoxTextured/BoxTextured.gltf",
                           "gltf/trimesh_cubevc.glb", "fbx/assimp_box.fbx", "dae/trimesh_blue_cube.dae",
                           "3ds/assimp-cube_with_diffuse_texture/cube_with_diffuse_texture.3DS",
                           "lwo/assimp-boxuv/boxuv.lwo", "lwo/lwoloader_Cube00-Basic.lwo",
                           "dae/assimp_cube_UTF16LE.dae"}) {
    SCOPED_TRACE(file);
    CMeshwright scene;
    scene.ResetScene();
    ASSERT_TRUE(OpenDocumentFile(scene, test::TestData(file).string()).ok());
    float low[3] = {1e30f, 1e30f, 1e30f}, high[3] = {-1e30f, -1e30f, -1e30f};
    for (const CModel& m : scene.models)
      for (const CVertex& v : m.vertices) {
        const float p[3] = {v.position.x, v.position.y, v.position.z};
        for (int k = 0; k < 3; ++k) low[k] = std::min(low[k], p[k]), high[k] = std::max(high[k], p[k]);
      }
    const CVector centre((low[0] + high[0]) / 2, (low[1] + high[1]) / 2, (low[2] + high[2]) / 2);
    AddMarker(scene, centre, std::min({high[0] - low[0], high[1] - low[1], high[2] - low[2]}) / 6);
    for (const CVector& turn : {CVector(20, 10, 0), CVector(80, 0, 0), CVector(-80, 0, 0), CVector(0, 0, 0),
                                CVector(0, 180, 0), CVector(0, 90, 0), CVector(0, -90, 0), CVector(35, -140, 0)}) {
      SCOPED_TRACE(testing::Message() << "seen turned " << turn.x << ", " << turn.y << ", " << turn.z);
      const QImage picture = Seen(gl, scene, turn);
      ASSERT_FALSE(picture.isNull()) << gl.error;
      EXPECT_GT(Covered(picture), 96 * 96 / 10) << "the box is not in view";
      EXPECT_EQ(Count(picture, [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 40 && qBlue(p) < 40; }), 0)
          << "what lies inside the box shows through it";
    }
  }
}

}  // namespace
}  // namespace mw
