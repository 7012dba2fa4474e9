// The buffer renderer against the immediate-mode frame, pixel for pixel.
#include "render/frame_arrays.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <QImage>

#include <cmath>
#include <cstring>
#include <string>

#include "render/gl_frame.h"
#include "tests/support/gui_test.h"
#include "tests/support/offscreen_gl.h"

namespace mw {
namespace {

class BufferedPerspective : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveDisplay()) return;
    ASSERT_TRUE(gl_.Start(240, 200));
    SetupGlState();
    scene_.ResetScene();
    BuildScene();
  }
  void TearDown() override {
    if (!gl_.started()) return;
    renderer_.Release();
    scene_.ReleaseTextures();
    gl_.Stop();
  }

  QImage Reference() {
    SetViewport(scene_, 240, 200, 240, 200);
    DrawPerspectiveFrame(scene_, nullptr, &caches_);
    return gl_.Grab();
  }
  QImage Buffered(bool sceneMayHaveChanged = true) {
    SetViewport(scene_, 240, 200, 240, 200);
    renderer_.DrawFrame(scene_, nullptr, sceneMayHaveChanged);
    return gl_.Grab();
  }

  // Counts the pixels that differ; both ways in turn, as often as `frames` says, so that what one
  // frame leaves current for the next is compared too.
  void ExpectSamePixels(const char* what, int frames = 2) {
    SCOPED_TRACE(what);
    for (int i = 0; i < frames; ++i) {
      const QImage reference = Reference();
      const QImage buffered = Buffered();
      ASSERT_EQ(reference.size(), buffered.size());
      int differ = 0, drawn = 0;
      const QRgb background = reference.pixel(0, 0);
      for (int y = 0; y < reference.height(); ++y)
        for (int x = 0; x < reference.width(); ++x) {
          differ += reference.pixel(x, y) != buffered.pixel(x, y);
          drawn += reference.pixel(x, y) != background;
        }
      EXPECT_EQ(differ, 0) << "frame " << i;
      EXPECT_GT(drawn, 2000) << "frame " << i << ": the scene is in view";
    }
  }

  static CFace Face(std::initializer_list<std::int32_t> corners, std::int32_t material,
                    std::initializer_list<CUV> uvs = {}) {
    CFace f;
    for (std::int32_t i : corners) f.AddIndex(i);
    for (const CUV& uv : uvs) f.AddUV(uv);
    f.material = material;
    return f;
  }

  // Every kind of face the frame treats apart, in several models, with a texture whose texels
  // differ so that any texture coordinate out of place changes pixels, and lines and faces
  // without coordinates that take what was current before them.
  void BuildScene() {
    scene_.camera.rotation = CVector(25, 35, 0);
    scene_.zoom = 90.0f;
    auto image = std::make_shared<DibStream>();
    ASSERT_TRUE(image->Create(4, 4, 24));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const std::uint8_t px[3] = {static_cast<std::uint8_t>(60 * x), static_cast<std::uint8_t>(80 * y),
                                    static_cast<std::uint8_t>((x + y) % 2 ? 255 : 30)};
        std::memcpy(image->Row(y) + 3 * x, px, 3);
      }
    CMaterial textured(1);
    textured.color[0] = textured.color[1] = textured.color[2] = 0.9f;
    textured.texture = "t.bmp";
    textured.textureImage = image;
    textured.UpdateMaterialColors();
    textured.textureObject = UploadTexture(*image, 3, kGlBgr);
    CMaterial plain(2);
    plain.color[0] = 0.2f;
    plain.color[1] = 0.7f;
    plain.color[2] = 0.4f;
    plain.specular = 0.8f;
    plain.power = 37.0f;
    plain.UpdateMaterialColors();
    CMaterial unused(3);
    // The textured material twice: its faces are drawn once for each.
    scene_.materials = {plain, textured, unused, textured};
    scene_.materials[3].diffuse = 0.3f;
    scene_.materials[3].UpdateMaterialColors();

    // Model 0: a strip whose first faces are a line and a quadrilateral without coordinates.
    CModel& a = scene_.models[0];
    for (int i = 0; i < 8; ++i) {
      a.vertices.emplace_back(-120.0f + 30.0f * static_cast<float>(i), -60.0f, 7.0f * static_cast<float>(i % 3));
      a.vertices.emplace_back(-120.0f + 30.0f * static_cast<float>(i), 10.0f, -11.0f * static_cast<float>(i % 2));
    }
    a.faces = {
        Face({0, 3}, 1),        // a line before anything set a normal
        Face({0, 1, 3, 2}, 1),  // no coordinates: the initial ones
        Face({2, 3, 5, 4}, 1, {CUV(0, 0), CUV(0, 1), CUV(1, 1), CUV(1, 0)}),
        Face({4, 5, 7}, 1, {CUV(0.3f, 0.7f), CUV(0.9f, 0.1f)}),  // fewer coordinates than corners
        Face({4, 7, 6}, 1),                                      // takes the last coordinate drawn
        Face({6, 9}, 1),                                         // a line after faces
        Face({6, 7, 9, 8}, 2),
        Face({8, 9, 11, 10}, 2, {CUV(0.2f, 0.2f), CUV(0.2f, 0.9f), CUV(0.8f, 0.9f), CUV(0.8f, 0.2f)}),
        Face({10, 11, 13, 15, 14, 12}, 1, {CUV(0, 0), CUV(0, 1), CUV(0.5f, 1), CUV(1, 1), CUV(1, 0), CUV(0.5f, 0)}),
        Face({10, 11, 99, 12}, 1),  // a corner naming no vertex: not drawn
        Face({5}, 1),               // one corner: not drawn
        Face({12, 13, 15}, 7),      // an unknown material: not drawn
        Face({2, 3, 5, 4}, 3),      // the material without faces elsewhere
    };
    a.RebuildFaceRefs();
    // Model 1: hidden.
    CModel hidden;
    hidden.vertices = {CVertex(-50, -50, 0), CVertex(-50, 50, 0), CVertex(50, 50, 0)};
    hidden.faces = {Face({0, 1, 2}, 2)};
    hidden.state = kStateHidden;
    hidden.RebuildFaceRefs();
    scene_.models.push_back(hidden);
    // Model 2: a curved, textured grid, and concave hexagons of the plain material.
    CModel grid;
    const int side = 9;
    for (int z = 0; z < side; ++z)
      for (int x = 0; x < side; ++x) {
        const float fx = static_cast<float>(x), fz = static_cast<float>(z);
        grid.vertices.emplace_back(20.0f * fx - 40.0f, 40.0f + 6.0f * std::sin(fx * 0.9f + fz * 0.4f),
                                   18.0f * fz - 80.0f);
      }
    for (int z = 0; z + 1 < side; ++z)
      for (int x = 0; x + 1 < side; ++x) {
        const std::int32_t i = z * side + x;
        if ((x + z) % 5 == 0 && x + 2 < side) {
          grid.faces.push_back(Face({i, i + 1, i + 2, i + side + 2, i + side + 1, i + side}, 2));
          continue;
        }
        grid.faces.push_back(Face({i, i + 1, i + side + 1, i + side}, 1,
                                  {CUV(0.1f * x, 0.13f * z), CUV(0.1f * x + 0.1f, 0.13f * z),
                                   CUV(0.1f * x + 0.1f, 0.13f * z + 0.13f), CUV(0.1f * x, 0.13f * z + 0.13f)}));
      }
    grid.RebuildFaceRefs();
    scene_.models.push_back(grid);
    // Model 3: lines only, which take what model 2 left (and, in the next frame, model 3 itself).
    CModel lines;
    lines.vertices = {CVertex(-150, -100, 0), CVertex(150, 90, 20), CVertex(140, -100, -10),
                      CVertex(-20, -20, 0),   CVertex(-20, 20, 0),  CVertex(20, 20, 0)};
    lines.faces = {Face({0, 1}, 1), Face({1, 2}, 2), Face({3, 4, 5}, 1)};
    lines.RebuildFaceRefs();
    scene_.models.push_back(lines);
    scene_.ComputeNormals();
    // The triangle's normals face the light through this camera, so the line drawn first in the
    // next frame, which takes the triangle's last normal, is lit fully, not left dark.
    for (int i = 3; i < 6; ++i)
      scene_.models[3].vertices[static_cast<std::size_t>(i)].normal = CVector(-0.5198f, 0.4226f, 0.7424f);
  }

  CMeshwright scene_;
  PerspectiveRenderer renderer_;
  std::vector<PolygonTriangleCache> caches_;
  test::OffscreenGl gl_;
};

TEST_F(BufferedPerspective, EveryKindOfFaceGivesTheSamePixelsSmoothAndFlat) {
  MW_REQUIRE_DISPLAY();
  scene_.smoothing = 1;
  ExpectSamePixels("smooth", 3);
  scene_.smoothing = 0;
  ExpectSamePixels("flat");
}

// Software OpenGL splits a quadrilateral along one diagonal or the other depending on whether
// the run of corners around it needs clipping, and on the shading: the buffers must send the
// same runs, so that faces cut by the near plane or lying across the pane's edge, and the faces
// drawn in the same runs as those, come out as the reference's do.
TEST_F(BufferedPerspective, FramesCutByTheNearPlaneOrThePaneEdgeGiveTheSamePixels) {
  MW_REQUIRE_DISPLAY();
  struct Placement {
    const char* what;
    CVector translation;
  };
  const Placement placements[] = {{"across the lower edge", CVector(0, -40, -1000)},
                                  {"across the left edge", CVector(-130, 0, -700)},
                                  {"close", CVector(0, -40, -150)},
                                  {"cut by the near plane", CVector(0, -40, -100)}};
  for (const Placement& p : placements) {
    scene_.camera.translation = p.translation;
    for (const int smoothing : {1, 0}) {
      scene_.smoothing = smoothing;
      ExpectSamePixels((std::string(p.what) + (smoothing ? ", smooth" : ", flat")).c_str(), 1);
    }
  }
}

// Triangles share their corners by index where every value OpenGL reads is the same; the
// texture coordinates of a material that draws untextured are not read, so they do not keep
// corners apart, and the layout follows when the material's texture arrives or goes.
TEST_F(BufferedPerspective, TrianglesSharingCornersGiveTheSamePixels) {
  MW_REQUIRE_DISPLAY();
  CModel mesh;
  const int side = 7;
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) {
      const float fx = static_cast<float>(x), fz = static_cast<float>(z);
      mesh.vertices.emplace_back(25.0f * fx - 140.0f, -70.0f + 9.0f * std::cos(fx * 1.3f - fz * 0.7f),
                                 20.0f * fz - 60.0f);
    }
  for (int z = 0; z + 1 < side; ++z)
    for (int x = 0; x + 1 < side; ++x) {
      const std::int32_t i = z * side + x;
      // Rows of the textured and of the plain material; each triangle's coordinates differ from
      // its neighbours' at the corners they share.
      const std::int32_t material = z % 3 == 1 ? 2 : 1;
      const float u = 0.37f * static_cast<float>(x), v = 0.29f * static_cast<float>(z);
      mesh.faces.push_back(Face({i, i + 1, i + side + 1}, material, {CUV(u, v), CUV(u + 0.5f, v), CUV(u, v + 0.5f)}));
      mesh.faces.push_back(Face({i, i + side + 1, i + side}, material,
                                {CUV(v, u), CUV(v + 0.25f, u + 0.75f), CUV(v + 0.5f, u)}));
    }
  mesh.RebuildFaceRefs();
  scene_.models.push_back(mesh);
  scene_.ComputeNormals();
  scene_.smoothing = 1;
  ExpectSamePixels("smooth");
  scene_.smoothing = 0;
  ExpectSamePixels("flat");
  scene_.smoothing = 1;
  // The texture not uploaded yet: the material draws untextured until it is.
  const std::uint32_t object = scene_.materials[1].textureObject;
  scene_.materials[1].textureObject = scene_.materials[3].textureObject = 0;
  ExpectSamePixels("the texture not there yet");
  const std::size_t before = renderer_.Builds();
  scene_.materials[1].textureObject = scene_.materials[3].textureObject = object;
  // Arriving between two frames of a camera drag, which promise that no geometry changed.
  scene_.camera.rotation.y += 1.0f;
  EXPECT_EQ(Reference(), Buffered(false)) << "the texture arrived";
  EXPECT_GT(renderer_.Builds(), before);
  ExpectSamePixels("textured again");
}

TEST_F(BufferedPerspective, EditsAreDrawnAsTheReferenceDrawsThem) {
  MW_REQUIRE_DISPLAY();
  ExpectSamePixels("before");
  scene_.models[2].vertices[20].position.y += 30.0f;
  scene_.ComputeNormals();
  ExpectSamePixels("a moved vertex");
  scene_.models[0].faces[1].uvs = {CUV(0.5f, 0.5f)};
  ExpectSamePixels("coordinates given to a face that had none");
  scene_.models[2].faces[3].material = 2;
  ExpectSamePixels("a face given another material");
  scene_.models[0].faces.erase(scene_.models[0].faces.begin());
  scene_.models[0].RebuildFaceRefs();
  ExpectSamePixels("the first line deleted");
  std::swap(scene_.materials[0], scene_.materials[1]);
  ExpectSamePixels("materials reordered");
  scene_.materials[0].color[1] = 0.1f;
  scene_.materials[0].UpdateMaterialColors();
  ExpectSamePixels("a colour changed");
  scene_.models[3].state = kStateHidden;
  scene_.models[1].state = kStateNormal;
  ExpectSamePixels("one model hidden, another shown");
  scene_.models.erase(scene_.models.begin() + 2);
  ExpectSamePixels("a model deleted");
}

TEST_F(BufferedPerspective, OnlyModelsWhoseGeometryChangedAreLaidOutAgain) {
  MW_REQUIRE_DISPLAY();
  Buffered();
  const std::size_t first = renderer_.Builds();
  EXPECT_EQ(first, 3u) << "three visible models";
  Buffered();
  scene_.camera.rotation.y += 37.0f;
  scene_.zoom = 77.0f;
  scene_.materials[0].color[2] = 0.9f;
  scene_.materials[0].UpdateMaterialColors();
  scene_.smoothing = 0;
  Buffered();
  EXPECT_EQ(renderer_.Builds(), first) << "camera, colours and shading cost no rebuild";
  scene_.models[2].vertices[5].position.x += 1e-3f;
  Buffered();
  EXPECT_EQ(renderer_.Builds(), first + 1) << "one vertex moved by a thousandth";
  scene_.models[0].faces[2].uvs[3].v = 0.25f;
  Buffered();
  EXPECT_EQ(renderer_.Builds(), first + 2) << "one texture coordinate";
  scene_.materials[2].id = 4;
  Buffered();
  EXPECT_EQ(renderer_.Builds(), first + 5) << "a material identifier concerns every model";
}

// A camera drag tells the renderer nothing changed: it then skips the keys, yet a model whose
// storage was replaced or resized is still laid out again, and the pixels stay the reference's.
TEST_F(BufferedPerspective, FramesPromisedUnchangedSkipTheKeysButNotReplacedModels) {
  MW_REQUIRE_DISPLAY();
  Buffered();
  const std::size_t first = renderer_.Builds();
  scene_.camera.rotation.x += 13.0f;
  scene_.camera.translation.x += 7.0f;
  EXPECT_EQ(Reference(), Buffered(false)) << "the camera moved";
  EXPECT_EQ(renderer_.Builds(), first);
  // Moved in place while promised unchanged: the buffers are kept (the promise is the caller's).
  const CVector kept = scene_.models[2].vertices[5].position;
  scene_.models[2].vertices[5].position.x += 5.0f;
  Buffered(false);
  EXPECT_EQ(renderer_.Builds(), first);
  scene_.models[2].vertices[5].position = kept;
  // A model put in another's place (another document, undo of a deletion): new storage.
  CModel copy = scene_.models[0];
  copy.vertices[0].position.y += 3.0f;
  scene_.models[0] = std::move(copy);
  EXPECT_EQ(Reference(), Buffered(false)) << "model 0 replaced";
  EXPECT_EQ(renderer_.Builds(), first + 1);
  scene_.models[2].faces.pop_back();
  EXPECT_EQ(Reference(), Buffered(false)) << "a face removed";
  EXPECT_EQ(renderer_.Builds(), first + 2);
  scene_.materials.pop_back();
  EXPECT_EQ(Reference(), Buffered(false)) << "a material removed";
  EXPECT_EQ(renderer_.Builds(), first + 5);
}

TEST(PerspectiveKey, EveryFieldTheArraysAreMadeOfChangesTheKey) {
  CModel m;
  m.vertices = {CVertex(1, 2, 3), CVertex(4, 5, 6), CVertex(7, 8, 9)};
  CFace f;
  f.indices = {0, 1, 2};
  f.uvs = {CUV(0.1f, 0.2f), CUV(0.3f, 0.4f), CUV(0.5f, 0.6f)};
  f.material = 1;
  m.faces = {f};
  m.RebuildFaceRefs();
  const std::vector<CMaterial> materials = {CMaterial(1), CMaterial(2)};
  const std::uint64_t key = PerspectiveKey(m, materials);
  auto changed = [&](auto edit) {
    CModel copy = m;
    std::vector<CMaterial> mats = materials;
    edit(copy, mats);
    return PerspectiveKey(copy, mats) != key;
  };
  EXPECT_TRUE(changed([](CModel& c, auto&) { c.vertices[2].position.z = -9; }));
  EXPECT_TRUE(changed([](CModel& c, auto&) { c.vertices[1].normal.x = 1e-20f; }));
  EXPECT_TRUE(changed([](CModel& c, auto&) { c.faces[0].indices[1] = 2; }));
  EXPECT_TRUE(changed([](CModel& c, auto&) { c.faces[0].indices = {0, 1, 2, 2}; }));
  EXPECT_TRUE(changed([](CModel& c, auto&) { c.faces[0].uvs[2].u = 0.51f; }));
  EXPECT_TRUE(changed([](CModel& c, auto&) { c.faces[0].uvs = {CUV(0.1f, 0.2f), CUV(0.3f, 0.4f)}; }));
  EXPECT_TRUE(changed([](CModel& c, auto&) { c.faces[0].material = 2; }));
  EXPECT_TRUE(changed([](CModel& c, auto&) { c.faces.push_back(c.faces[0]); }));
  EXPECT_TRUE(changed([](CModel& c, auto&) { c.vertices.emplace_back(0, 0, 0); }));
  EXPECT_TRUE(changed([](CModel&, auto& mats) { std::swap(mats[0], mats[1]); }));
  EXPECT_TRUE(changed([](CModel&, auto& mats) { mats.pop_back(); }));
  EXPECT_TRUE(changed([](CModel& c, auto&) { std::swap(c.vertices[0], c.vertices[1]); }));
  // What is applied while drawing does not matter.
  EXPECT_FALSE(changed([](CModel& c, auto& mats) {
    c.state = kStateLocked;
    c.vertices[0].selected = 1;
    mats[0].color[0] = 0.5f;
    mats[1].texture = "x.bmp";
  }));
}

}  // namespace
}  // namespace mw
