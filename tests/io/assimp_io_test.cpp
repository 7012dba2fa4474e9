// Other programs' formats through Assimp: our exports read back, files written by other programs,
// transforms, names, warnings, and damaged or hostile input.
#include "io/assimp_child.h"
#include "io/assimp_io.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <assimp/scene.h>
#include <algorithm>
#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string_view>
#include <thread>

#include "io/document_formats.h"
#include "platform/encoding.h"
#include "platform/message.h"
#include "tests/support/test_support.h"

// Assimp 5.2's LightWave reader leaks the layers it built when it then gives up on a file ("Unable
// to build a valid node graph"); that is the library's, not ours to report here.
extern char** environ;

extern "C" const char* __lsan_default_suppressions() { return "leak:libassimp.so\n"; }

namespace mw {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const fs::path kOwnData = fs::path(MW_SOURCE_DIR) / "tests/data/assimp";

// Collects what the io layer tells the user.
class MessageRecorder {
 public:
  MessageRecorder() {
    previous_ = SetMessageSink([this](std::string_view text, MessageIcon) { texts.emplace_back(text); });
  }
  ~MessageRecorder() { SetMessageSink(previous_); }
  std::vector<std::string> texts;

 private:
  MessageSink previous_;
};

CFace Face(std::initializer_list<std::int32_t> corners, std::int32_t material, std::initializer_list<CUV> uvs = {}) {
  CFace f;
  for (std::int32_t c : corners) f.AddIndex(c);
  for (const CUV& uv : uvs) f.AddUV(uv);
  f.material = material;
  return f;
}

// Two quads, a triangle, a concave hexagon and a line, two materials with texture names, UVs at
// awkward values, and a second model with a Japanese name.
CMeshwright SampleScene() {
  CMeshwright s;
  CMaterial red(7);
  red.name = Utf8ToCp932("赤い材質");
  red.color[0] = 0.83f, red.color[1] = 0.137f, red.color[2] = 0.29f, red.color[3] = 0.61f;
  red.diffuse = 0.8f, red.ambient = 0.37f, red.emissive = 0.11f, red.specular = 0.43f, red.power = 37.0f;
  red.texture = "brick wall.png";
  red.alphaPlane = "mask.png";
  red.bump = "bumps.png";
  CMaterial blue(9);
  blue.name = "Blue";
  blue.color[0] = 0.1f, blue.color[1] = 0.27f, blue.color[2] = 0.93f, blue.color[3] = 1.0f;
  blue.diffuse = 1.0f, blue.ambient = 0.25f, blue.emissive = 0.0f, blue.specular = 0.0f, blue.power = 5.0f;
  s.materials = {red, blue};
  s.nextMaterialId = 10;

  CModel a;
  a.name = "Panel";
  const float pts[][3] = {{0, 0, 0},        {1.37f, 0, 0},       {2.74f, 0, 0.5f}, {0, 1.1f, 0},
                          {1.37f, 1.1f, 0}, {2.74f, 1.1f, 0.5f}, {4, 0, -0.25f}};
  for (const auto& p : pts) a.vertices.emplace_back(p[0], p[1], p[2]);
  a.faces.push_back(Face({0, 1, 4, 3}, 7, {{0.0f, 1.0f}, {0.37f, 1.0f}, {0.37f, 0.23f}, {0.0f, 0.23f}}));
  a.faces.push_back(Face({1, 2, 5, 4}, 7, {{0.37f, 1.0f}, {0.91f, 1.0f}, {0.91f, 0.23f}, {0.37f, 0.23f}}));
  a.faces.push_back(Face({2, 6, 5}, 9, {{0.5f, 0.5f}, {0.75f, 0.125f}, {0.25f, 0.125f}}));
  a.faces.push_back(Face({0, 6}, 9));  // a line
  CModel b;
  b.name = Utf8ToCp932("六角形");
  // A concave hexagon (an arrow head) in the z = -1.5 plane.
  const float hex[][2] = {{0, 0}, {2, 0}, {3, 1}, {2, 2}, {0, 2}, {1, 1}};
  for (const auto& p : hex) b.vertices.emplace_back(p[0] + 10.0f, p[1], -1.5f);
  b.faces.push_back(Face({0, 1, 2, 3, 4, 5}, 9,
                         {{0.1f, 0.9f}, {0.3f, 0.9f}, {0.4f, 0.7f}, {0.3f, 0.5f}, {0.1f, 0.5f}, {0.2f, 0.7f}}));
  s.models = {a, b};
  for (CModel& m : s.models) m.RebuildFaceRefs();
  s.UpdateMaterialColors();
  return s;
}

// A corner as position and texture coordinate, rounded so that text formats compare.
using Corner = std::array<long, 5>;
Corner CornerOf(const CModel& m, const CFace& f, std::size_t k) {
  const CVector& p = m.vertices.at(static_cast<std::size_t>(f.indices[k])).position;
  const CUV uv = f.uvs.size() == f.indices.size() ? f.uvs[k] : CUV();
  auto q = [](float v) { return std::lround(static_cast<double>(v) * 1e4); };
  return {q(p.x), q(p.y), q(p.z), q(uv.u), q(uv.v)};
}

// A face as its corners, rotated to start at the smallest: equal for the same face whatever corner
// a format starts with, different when the order (the facing) changed.
std::vector<Corner> Canonical(const CModel& m, const CFace& f, bool withUVs) {
  std::vector<Corner> c;
  for (std::size_t k = 0; k < f.CornerCount(); ++k) {
    Corner x = CornerOf(m, f, k);
    if (!withUVs) x[3] = x[4] = 0;
    c.push_back(x);
  }
  std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
  return c;
}

std::multiset<std::vector<Corner>> Faces(const CMeshwright& s, std::size_t minCorners, bool withUVs) {
  std::multiset<std::vector<Corner>> out;
  for (const CModel& m : s.models)
    for (const CFace& f : m.faces)
      if (f.CornerCount() >= minCorners) out.insert(Canonical(m, f, withUVs));
  return out;
}

std::size_t CountFaces(const CMeshwright& s, std::size_t corners) {
  std::size_t n = 0;
  for (const CModel& m : s.models)
    for (const CFace& f : m.faces) n += f.CornerCount() == corners;
  return n;
}

double Area(const CModel& m, const CFace& f) {
  // Newell's method: the length of the summed cross products is twice the polygon's area.
  double nx = 0, ny = 0, nz = 0;
  for (std::size_t k = 0; k < f.CornerCount(); ++k) {
    const CVector& a = m.vertices[static_cast<std::size_t>(f.indices[k])].position;
    const CVector& b = m.vertices[static_cast<std::size_t>(f.indices[(k + 1) % f.CornerCount()])].position;
    nx += (static_cast<double>(a.y) - b.y) * (static_cast<double>(a.z) + b.z);
    ny += (static_cast<double>(a.z) - b.z) * (static_cast<double>(a.x) + b.x);
    nz += (static_cast<double>(a.x) - b.x) * (static_cast<double>(a.y) + b.y);
  }
  return 0.5 * std::sqrt(nx * nx + ny * ny + nz * nz);
}

double TotalArea(const CMeshwright& s) {
  double a = 0;
  for (const CModel& m : s.models)
    for (const CFace& f : m.faces)
      if (f.CornerCount() >= 3) a += Area(m, f);
  return a;
}

const CMaterial* MaterialById(const CMeshwright& s, std::int32_t id) {
  for (const CMaterial& m : s.materials)
    if (m.id == id) return &m;
  return nullptr;
}

void ExpectRgbaNear(const float* a, const float* b, float tolerance, const char* what) {
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(a[k], b[k], tolerance) << what << " component " << k;
}

struct Snapshot {
  std::size_t models, materials;
  std::int32_t nextMaterialId;
  explicit Snapshot(const CMeshwright& s)
      : models(s.models.size()), materials(s.materials.size()), nextMaterialId(s.nextMaterialId) {}
  bool operator==(const Snapshot& o) const {
    return models == o.models && materials == o.materials && nextMaterialId == o.nextMaterialId;
  }
};

// ---------------------------------------------------------------------------------------------
// Our own exports, read back.

TEST(AssimpRoundTrip, ObjKeepsPolygonsCornerOrderUVsLinesNamesAndEveryMaterialField) {
  TempDir dir;
  const CMeshwright original = SampleScene();
  MessageRecorder messages;
  ASSERT_TRUE(SaveDocumentFile(original, (dir / "scene.obj").string()).ok());
  ASSERT_TRUE(fs::exists(dir / "scene.mtl")) << "the materials go beside the OBJ";
  EXPECT_TRUE(messages.texts.empty()) << "nothing is dropped: OBJ holds lines";

  CMeshwright back;
  const DocumentResult r = OpenDocumentFile(back, (dir / "scene.obj").string());
  ASSERT_TRUE(r.ok()) << DocumentErrorText(r);
  EXPECT_EQ(Faces(back, 3, true), Faces(original, 3, true));
  EXPECT_EQ(CountFaces(back, 2), 1u);
  EXPECT_EQ(CountFaces(back, 6), 1u);
  ASSERT_EQ(back.models.size(), 2u);
  EXPECT_EQ(back.models[0].name, "Panel");
  EXPECT_EQ(back.models[1].name, Utf8ToCp932("六角形"));
  EXPECT_EQ(back.models[0].vertices.size(), 7u) << "corners at one position share a vertex";

  // Every mapped field of each material: the colours drawn with, and the names.
  for (const CMaterial& want : original.materials) {
    const CMaterial* got = nullptr;
    for (const CMaterial& m : back.materials)
      if (m.name == want.name) got = &m;
    ASSERT_NE(got, nullptr) << Cp932ToUtf8(want.name);
    ExpectRgbaNear(got->diffuseRGBA, want.diffuseRGBA, 1e-4f, "diffuse");
    ExpectRgbaNear(got->ambientRGBA, want.ambientRGBA, 1e-4f, "ambient");
    ExpectRgbaNear(got->emissionRGBA, want.emissionRGBA, 1e-4f, "emission");
    ExpectRgbaNear(got->specularRGBA, want.specularRGBA, 1e-4f, "specular");
    EXPECT_NEAR(got->color[3], want.color[3], 1e-4f);
    EXPECT_NEAR(got->power, want.power, 1e-4f);
    EXPECT_EQ(got->texture, want.texture);
    EXPECT_EQ(got->alphaPlane, want.alphaPlane);
    EXPECT_EQ(got->bump, want.bump);
  }
  // Faces keep their materials.
  for (const CModel& m : back.models)
    for (const CFace& f : m.faces) {
      const CMaterial* mat = MaterialById(back, f.material);
      ASSERT_NE(mat, nullptr);
      EXPECT_EQ(mat->name, f.CornerCount() == 4 ? original.materials[0].name : original.materials[1].name);
    }
}

TEST(AssimpRoundTrip, PlyKeepsPolygonsAndUVsAndDropsLinesWithACount) {
  TempDir dir;
  const CMeshwright original = SampleScene();
  MessageRecorder messages;
  const std::string path = (dir / "scene.ply").string();
  ASSERT_TRUE(SaveDocumentFile(original, path).ok());
  ASSERT_EQ(messages.texts.size(), 1u);
  EXPECT_NE(messages.texts[0].find("線 (2頂点の面) 1"), std::string::npos) << messages.texts[0];
  // Binary, as asked for.
  const auto bytes = test::ReadBytes(path);
  const std::string head(bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), 60));
  EXPECT_NE(head.find("format binary_little_endian"), std::string::npos) << head;

  CMeshwright back;
  ASSERT_TRUE(OpenDocumentFile(back, path).ok());
  EXPECT_EQ(Faces(back, 3, true), Faces(original, 3, true));
  EXPECT_EQ(CountFaces(back, 2), 0u);
}

TEST(AssimpRoundTrip, StlHoldsTrianglesOfTheSameSurfaceAndGltfTheSameFaces) {
  const CMeshwright original = SampleScene();
  // Each polygon of n corners becomes n - 2 triangles over its own corners.
  std::size_t triangles = 0;
  for (const CModel& m : original.models)
    for (const CFace& f : m.faces)
      if (f.CornerCount() >= 3) triangles += f.CornerCount() - 2;
  std::set<Corner> corners, cornersWithUV;
  for (const CModel& m : original.models)
    for (const CFace& f : m.faces)
      for (std::size_t k = 0; k < f.CornerCount(); ++k) {
        Corner c = CornerOf(m, f, k);
        cornersWithUV.insert(c);
        c[3] = c[4] = 0;
        corners.insert(c);
      }
  for (const char* name : {"scene.stl", "scene.glb", "scene.gltf"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    MessageRecorder messages;
    ASSERT_TRUE(SaveDocumentFile(original, (dir / name).string()).ok());
    CMeshwright back;
    const DocumentResult r = OpenDocumentFile(back, (dir / name).string());
    ASSERT_TRUE(r.ok()) << DocumentErrorText(r);
    const bool stl = std::string_view(name).ends_with(".stl");
    if (stl) {
      EXPECT_EQ(CountFaces(back, 3), triangles);
    } else {
      // glTF holds triangles, with the polygons they came from told by FB_ngon_encoding.
      EXPECT_EQ(Faces(back, 3, true), Faces(original, 3, true)) << "our own glTF comes back face for face";
    }
    EXPECT_NEAR(TotalArea(back), TotalArea(original), 1e-4);
    for (const CModel& m : back.models)
      for (const CFace& f : m.faces)
        for (std::size_t k = 0; k < f.CornerCount(); ++k) {
          Corner c = CornerOf(m, f, k);
          if (stl) {
            c[3] = c[4] = 0;
            EXPECT_TRUE(corners.count(c)) << "a corner that was not there";
          } else {
            EXPECT_TRUE(cornersWithUV.count(c)) << "a corner or UV that was not there";
          }
        }
    if (stl) {
      EXPECT_EQ(CountFaces(back, 2), 0u);
      ASSERT_EQ(messages.texts.size(), 1u);
      EXPECT_NE(messages.texts[0].find("線 (2頂点の面) 1"), std::string::npos);
    } else {
      EXPECT_EQ(CountFaces(back, 2), 1u) << "glTF holds lines";
      ASSERT_EQ(back.models.size(), 2u);
      EXPECT_EQ(back.models[1].name, Utf8ToCp932("六角形"));
      // glTF carries the diffuse colour with its alpha, the emission and the texture.
      const CMaterial* red = nullptr;
      for (const CMaterial& m : back.materials)
        if (m.name == original.materials[0].name) red = &m;
      ASSERT_NE(red, nullptr);
      ExpectRgbaNear(red->diffuseRGBA, original.materials[0].diffuseRGBA, 1e-4f, "diffuse");
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(red->emissionRGBA[k], original.materials[0].emissionRGBA[k], 1e-4f);
      EXPECT_EQ(red->texture, original.materials[0].texture);
    }
  }
}

TEST(AssimpExport, LeavesTheDocumentAloneAndWritesFilesWithTheUsualMode) {
  const DocumentFormat* obj = FindDocumentFormat("a.obj");
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(obj->saving, SaveEffect::kExport);
  EXPECT_EQ(obj->opening, OpenEffect::kAppends);
  TempDir dir;
  const mode_t mask = umask(022);
  const CMeshwright scene = SampleScene();
  for (const char* name : {"m.obj", "m.mtl", "m.ply", "m.stl", "m.glb"}) {
    if (std::string_view(name).ends_with(".mtl")) continue;
    ASSERT_TRUE(SaveDocumentFile(scene, (dir / name).string()).ok()) << name;
  }
  for (const char* name : {"m.obj", "m.mtl", "m.ply", "m.stl", "m.glb"}) {
    struct stat st;
    ASSERT_EQ(stat((dir / name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mode & 0777, 0644u) << name;
  }
  umask(mask);
  // Nothing else is left in the folder (no temporary files).
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 5);
}

TEST(AssimpExport, StlFacetNormalsAreEachTrianglesOwnPointingOut) {
  MW_REQUIRE_TESTDATA();
  CMeshwright cube;
  ASSERT_TRUE(OpenDocumentFile(cube, test::TestData("mqo/wanwan_cube_crlf.mqo").string()).ok());
  TempDir dir;
  ASSERT_TRUE(SaveDocumentFile(cube, (dir / "cube.stl").string()).ok());
  const auto bytes = test::ReadBytes(dir / "cube.stl");
  ASSERT_GE(bytes.size(), 84u);
  std::uint32_t count = 0;
  std::memcpy(&count, bytes.data() + 80, 4);
  ASSERT_EQ(count, 12u);
  ASSERT_EQ(bytes.size(), 84u + 50u * count);
  float centre[3] = {0, 0, 0};
  for (const CVertex& v : cube.models[0].vertices)
    for (int k = 0; k < 3; ++k)
      centre[k] += (k == 0 ? v.position.x : k == 1 ? v.position.y : v.position.z) / static_cast<float>(cube.models[0].vertices.size());
  for (std::uint32_t i = 0; i < count; ++i) {
    float r[12];
    std::memcpy(r, bytes.data() + 84 + 50 * i, sizeof r);
    const double a[3] = {r[6] - r[3], r[7] - r[4], r[8] - r[5]}, b[3] = {r[9] - r[3], r[10] - r[4], r[11] - r[5]};
    double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    double out = 0;
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(r[k], n[k] / length, 1e-6) << "facet " << i << " component " << k;
      out += r[k] * ((r[3 + k] + r[6 + k] + r[9 + k]) / 3.0 - centre[k]);
    }
    EXPECT_GT(out, 0.0) << "facet " << i << " points into the cube";
  }
}

TEST(AssimpExport, PlyNamesTheFaceListVertexIndices) {
  TempDir dir;
  MessageRecorder quiet;
  ASSERT_TRUE(SaveDocumentFile(SampleScene(), (dir / "s.ply").string()).ok());
  const auto bytes = test::ReadBytes(dir / "s.ply");
  const std::string text(bytes.begin(), bytes.end());
  const std::string header = text.substr(0, text.find("end_header\n"));
  EXPECT_NE(header.find("property list uchar int vertex_indices\n"), std::string::npos) << header;
  EXPECT_EQ(header.find(" vertex_index\n"), std::string::npos) << header;
}

TEST(AssimpExport, GltfLinesWithATexturedMaterialCarryTextureCoordinates) {
  CMeshwright s = SampleScene();
  s.models[0].faces[3].material = 7;  // the line, in the textured material
  TempDir dir;
  for (const char* name : {"l.glb", "l.gltf"}) {
    ASSERT_TRUE(SaveDocumentFile(s, (dir / name).string()).ok());
    Assimp::Importer importer;
    const aiScene* read = importer.ReadFile((dir / name).string(), aiProcess_ValidateDataStructure);
    ASSERT_NE(read, nullptr) << importer.GetErrorString();
    std::size_t lines = 0;
    for (unsigned i = 0; i < read->mNumMeshes; ++i) {
      const aiMesh& m = *read->mMeshes[i];
      const bool textured = read->mMaterials[m.mMaterialIndex]->GetTextureCount(aiTextureType_DIFFUSE) +
                                read->mMaterials[m.mMaterialIndex]->GetTextureCount(aiTextureType_BASE_COLOR) >
                            0;
      EXPECT_TRUE(!textured || m.HasTextureCoords(0)) << name << ": mesh " << i << " has a texture and no coordinates";
      lines += m.mPrimitiveTypes == aiPrimitiveType_LINE && textured;
    }
    EXPECT_EQ(lines, 1u) << name;
  }
}

// Formats without materials get the program's own new material, not the white or grey one the
// library makes up; a file's own material keeps its values.
TEST(AssimpImport, FilesWithoutMaterialsTakeTheDefaultsOfANewMaterial) {
  const std::string quadObj = "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n";
  const std::string quadOff = "OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n";
  const std::string quadPly =
      "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
      "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n";
  const std::string quadStl =
      "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 1 1 0\nendloop\nendfacet\nendsolid t\n";
  const CMaterial fresh;
  TempDir dir;
  for (const auto& [name, text] : {std::pair{"t.obj", quadObj}, {"t.off", quadOff}, {"t.ply", quadPly}, {"t.stl", quadStl}}) {
    SCOPED_TRACE(name);
    test::WriteBytes(dir / name, std::vector<std::uint8_t>(text.begin(), text.end()));
    CMeshwright s;
    ASSERT_TRUE(OpenDocumentFile(s, (dir / name).string()).ok());
    ASSERT_EQ(s.materials.size(), 1u);
    const CMaterial& m = s.materials[0];
    for (int k = 0; k < 4; ++k) EXPECT_EQ(m.color[k], fresh.color[k]) << k;
    EXPECT_EQ(m.diffuse, fresh.diffuse);
    EXPECT_EQ(m.ambient, fresh.ambient);
    EXPECT_EQ(m.emissive, fresh.emissive);
    EXPECT_EQ(m.specular, fresh.specular);
    EXPECT_EQ(m.power, fresh.power);
  }
  // A material the file names keeps its values, also when it is unnamed in a format that has them.
  const std::string withMtl = "mtllib m.mtl\nusemtl Shiny\nv 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n";
  const std::string mtl = "newmtl Shiny\nKd 0.2 0.4 0.6\nKa 0.1 0.2 0.3\nKs 1 1 1\nNs 50\n";
  test::WriteBytes(dir / "m.obj", std::vector<std::uint8_t>(withMtl.begin(), withMtl.end()));
  test::WriteBytes(dir / "m.mtl", std::vector<std::uint8_t>(mtl.begin(), mtl.end()));
  CMeshwright s;
  ASSERT_TRUE(OpenDocumentFile(s, (dir / "m.obj").string()).ok());
  ASSERT_EQ(s.materials.size(), 1u);
  EXPECT_FLOAT_EQ(s.materials[0].color[2], 0.6f);
  EXPECT_FLOAT_EQ(s.materials[0].ambient, 0.5f);
  EXPECT_FLOAT_EQ(s.materials[0].specular, 1.0f);
  EXPECT_FLOAT_EQ(s.materials[0].power, 50.0f);
}

std::string TextOf(const fs::path& p) {
  const auto bytes = test::ReadBytes(p);
  return std::string(bytes.begin(), bytes.end());
}

// Textures go along with an export under names relative to it: copied beside an OBJ or a .gltf,
// into a .glb, where they are read from again.
TEST(AssimpExport, TexturesGoBesideOrIntoTheFileUnderRelativeNames) {
  MW_REQUIRE_TESTDATA();
  const auto logo = test::ReadBytes(test::TestData("gltf/assimp-BoxTextured/CesiumLogoFlat.png"));
  TempDir source;
  test::WriteBytes(source / "Logo.png", logo);
  CMeshwright s = SampleScene();
  s.materials[0].texture = "C:\\maps\\Logo.png";  // as another machine named it; found here
  s.materials[0].textureFile = (source / "Logo.png").string();
  s.materials[0].alphaPlane = s.materials[0].bump = "";
  s.materials[1].texture = "D:\\gone\\missing.png";  // found nowhere
  MessageRecorder quiet;
  for (const char* name : {"scene.obj", "scene.gltf", "scene.glb"}) {
    SCOPED_TRACE(name);
    TempDir out;
    ASSERT_TRUE(SaveDocumentFile(s, (out / name).string()).ok());
    const bool glb = std::string_view(name).ends_with(".glb");
    EXPECT_EQ(fs::exists(out / "Logo.png"), !glb) << "copied beside, or held in the .glb";
    if (!glb) {
      EXPECT_EQ(test::ReadBytes(out / "Logo.png"), logo);
    }
    EXPECT_FALSE(fs::exists(out / "missing.png"));
    std::string text = TextOf(out / (std::string_view(name).ends_with(".obj") ? "scene.mtl" : name));
    if (glb) {
      std::uint32_t length = 0;  // the JSON chunk's
      ASSERT_GT(text.size(), 20u);
      std::memcpy(&length, text.data() + 12, 4);
      text = text.substr(20, length);
    }
    EXPECT_EQ(text.find("C:"), std::string::npos) << "a path from another machine was written";
    EXPECT_EQ(text.find("D:"), std::string::npos);
    EXPECT_EQ(text.find('\\'), std::string::npos);
    if (!glb) {
      EXPECT_NE(text.find("Logo.png"), std::string::npos);
      EXPECT_NE(text.find("missing.png"), std::string::npos);
      continue;
    }
    // Read back: the picture becomes a file beside the .glb, which the material names.
    CMeshwright back;
    const DocumentResult r = OpenDocumentFile(back, (out / name).string());
    ASSERT_TRUE(r.ok()) << DocumentErrorText(r);
    for (const std::string& w : r.warnings) EXPECT_EQ(w.find("埋め込みテクスチャ"), std::string::npos) << w;
    const CMaterial* red = nullptr;
    for (const CMaterial& m : back.materials)
      if (m.name == s.materials[0].name) red = &m;
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->texture, "scene_0.png");
    EXPECT_EQ(test::ReadBytes(out / "scene_0.png"), logo);
  }
  // A different file of the same name beside the output stays; the copy takes another name.
  TempDir out;
  test::WriteBytes(out / "Logo.png", {'o', 't', 'h', 'e', 'r'});
  ASSERT_TRUE(SaveDocumentFile(s, (out / "scene.obj").string()).ok());
  EXPECT_EQ(test::ReadBytes(out / "Logo.png"), (std::vector<std::uint8_t>{'o', 't', 'h', 'e', 'r'}));
  EXPECT_EQ(test::ReadBytes(out / "Logo_2.png"), logo);
  EXPECT_NE(TextOf(out / "scene.mtl").find("map_Kd Logo_2.png"), std::string::npos) << TextOf(out / "scene.mtl");
}

TEST(AssimpExport, AFailedExportLeavesTheTargetAsItWas) {
  TempDir dir;
  const fs::path target = dir / "keep.obj";
  test::WriteBytes(target, {'o', 'l', 'd'});
  CMeshwright empty;
  const DocumentResult r = SaveDocumentFile(empty, target.string());
  EXPECT_EQ(r.error, DocumentError::kWriteFailed);
  EXPECT_EQ(test::ReadBytes(target), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  const DocumentResult missing = SaveDocumentFile(SampleScene(), (dir / "no/such/folder/x.stl").string());
  EXPECT_EQ(missing.error, DocumentError::kWriteFailed);
  EXPECT_EQ(missing.systemError, ENOENT);
}

// ---------------------------------------------------------------------------------------------
// Scenes built with Assimp itself: transforms, names, what is dropped.

aiMesh* Triangle(unsigned material) {
  auto* mesh = new aiMesh;
  mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
  mesh->mNumVertices = 3;
  mesh->mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh->mNumFaces = 1;
  mesh->mFaces = new aiFace[1];
  mesh->mFaces[0].mNumIndices = 3;
  mesh->mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
  mesh->mMaterialIndex = material;
  return mesh;
}

// Writes `scene` (taken over) with Assimp's own glTF writer.
void WriteGlb(aiScene* scene, const fs::path& path) {
  if (!scene->mMaterials) {
    scene->mNumMaterials = 1;
    scene->mMaterials = new aiMaterial* [1] { new aiMaterial };
  }
  Assimp::Exporter exporter;
  ASSERT_EQ(exporter.Export(scene, "glb2", path.string()), aiReturn_SUCCESS) << exporter.GetErrorString();
  delete scene;
}

aiNode* NodeWith(const char* name, unsigned mesh, const aiMatrix4x4& transform, aiNode* parent) {
  auto* node = new aiNode(name);
  node->mTransformation = transform;
  node->mNumMeshes = 1;
  node->mMeshes = new unsigned[1]{mesh};
  node->mParent = parent;
  return node;
}

TEST(AssimpImport, NodeTransformsAreAppliedAndAMirrorKeepsFacesFacingOut) {
  TempDir dir;
  auto* scene = new aiScene;
  scene->mNumMeshes = 1;
  scene->mMeshes = new aiMesh* [1] { Triangle(0) };
  scene->mRootNode = new aiNode("root");
  // 37 degrees about Z, scaled by 1.5, moved; below it a child mirrored in X.
  aiMatrix4x4 rotate, scale, move, mirror;
  aiMatrix4x4::RotationZ(37.0f * static_cast<float>(M_PI) / 180.0f, rotate);
  aiMatrix4x4::Scaling(aiVector3D(1.5f, 1.5f, 1.5f), scale);
  aiMatrix4x4::Translation(aiVector3D(3.25f, -1.0f, 0.5f), move);
  aiMatrix4x4::Scaling(aiVector3D(-1.0f, 1.0f, 1.0f), mirror);
  aiNode* turned = NodeWith("Turned", 0, move * rotate * scale, scene->mRootNode);
  aiNode* mirrored = NodeWith("Mirrored", 0, mirror, turned);
  turned->mNumChildren = 1;
  turned->mChildren = new aiNode* [1] { mirrored };
  scene->mRootNode->mNumChildren = 1;
  scene->mRootNode->mChildren = new aiNode* [1] { turned };
  WriteGlb(scene, dir / "t.glb");

  CMeshwright s;
  ASSERT_TRUE(ImportAssimp(s, (dir / "t.glb").string()).ok());
  ASSERT_EQ(s.models.size(), 2u);
  const double c = std::cos(37.0 * M_PI / 180.0), sn = std::sin(37.0 * M_PI / 180.0);
  auto expectAt = [](const CModel& m, double x, double y, double z) {
    bool found = false;
    for (const CVertex& v : m.vertices)
      found = found || (std::abs(v.X() - x) < 1e-5 && std::abs(v.Y() - y) < 1e-5 && std::abs(v.Z() - z) < 1e-5);
    EXPECT_TRUE(found) << m.name << " has no vertex at " << x << ", " << y << ", " << z;
  };
  const CModel& t = s.models[0];
  EXPECT_EQ(t.name, "Turned");
  expectAt(t, 3.25, -1.0, 0.5);
  expectAt(t, 3.25 + 1.5 * c, -1.0 + 1.5 * sn, 0.5);
  expectAt(t, 3.25 - 1.5 * sn, -1.0 + 1.5 * c, 0.5);
  const CModel& m = s.models[1];
  EXPECT_EQ(m.name, "Mirrored");
  expectAt(m, 3.25 - 1.5 * c, -1.0 - 1.5 * sn, 0.5);
  // Both triangles face +Z as the original did (the document's front is the side from which
  // the corners run clockwise): the mirrored one kept the file's corner order, the other not.
  for (const CModel& model : s.models) {
    ASSERT_EQ(model.faces.size(), 1u);
    const CFace& f = model.faces[0];
    const CVector n = Cross(model.vertices[static_cast<std::size_t>(f.indices[1])].position -
                                model.vertices[static_cast<std::size_t>(f.indices[0])].position,
                            model.vertices[static_cast<std::size_t>(f.indices[2])].position -
                                model.vertices[static_cast<std::size_t>(f.indices[0])].position);
    EXPECT_LT(n.z, 0.0f) << model.name;
  }
}

TEST(AssimpImport, Utf8NamesBecomeCp932WithAQuestionMarkForWhatItCannotHold) {
  TempDir dir;
  auto* scene = new aiScene;
  scene->mNumMeshes = 1;
  scene->mMeshes = new aiMesh* [1] { Triangle(0) };
  scene->mRootNode = new aiNode("root");
  aiNode* node = NodeWith("立方体\xF0\x9F\x98\x80", 0, aiMatrix4x4(), scene->mRootNode);
  scene->mRootNode->mNumChildren = 1;
  scene->mRootNode->mChildren = new aiNode* [1] { node };
  scene->mNumMaterials = 1;
  scene->mMaterials = new aiMaterial* [1] { new aiMaterial };
  const aiString matName("材質①");
  scene->mMaterials[0]->AddProperty(&matName, AI_MATKEY_NAME);
  WriteGlb(scene, dir / "n.glb");
  CMeshwright s;
  ASSERT_TRUE(ImportAssimp(s, (dir / "n.glb").string()).ok());
  ASSERT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].name, Utf8ToCp932("立方体") + "?");
  ASSERT_EQ(s.materials.size(), 1u);
  EXPECT_EQ(s.materials[0].name, Utf8ToCp932("材質①"));
}

TEST(AssimpImport, PointsAndWhatTheDocumentCannotHoldAreListedInOneWarning) {
  TempDir dir;
  auto* scene = new aiScene;
  aiMesh* tri = Triangle(0);
  tri->mColors[0] = new aiColor4D[3]{{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
  tri->mTextureCoords[0] = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  tri->mTextureCoords[1] = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  tri->mNumUVComponents[0] = tri->mNumUVComponents[1] = 2;
  auto* points = new aiMesh;
  points->mPrimitiveTypes = aiPrimitiveType_POINT;
  points->mNumVertices = 3;
  points->mVertices = new aiVector3D[3]{{5, 0, 0}, {6, 0, 0}, {7, 0, 0}};
  points->mNumFaces = 3;
  points->mFaces = new aiFace[3];
  for (unsigned i = 0; i < 3; ++i) {
    points->mFaces[i].mNumIndices = 1;
    points->mFaces[i].mIndices = new unsigned[1]{i};
  }
  scene->mNumMeshes = 2;
  scene->mMeshes = new aiMesh* [2] { tri, points };
  scene->mRootNode = new aiNode("root");
  aiNode* a = NodeWith("Tri", 0, aiMatrix4x4(), scene->mRootNode);
  aiNode* b = NodeWith("Cloud", 1, aiMatrix4x4(), scene->mRootNode);
  scene->mRootNode->mNumChildren = 2;
  scene->mRootNode->mChildren = new aiNode* [2] { a, b };
  WriteGlb(scene, dir / "w.glb");

  MessageRecorder messages;
  CMeshwright s;
  const DocumentResult r = OpenDocumentFile(s, (dir / "w.glb").string());
  ASSERT_TRUE(r.ok()) << DocumentErrorText(r);
  ASSERT_EQ(s.models.size(), 1u) << "a node of points only makes no model";
  ASSERT_EQ(r.warnings.size(), 1u);
  const std::string& w = r.warnings[0];
  for (const char* item : {"点 3", "頂点カラーのあるメッシュ 1", "2組目以降のUVのあるメッシュ 1"})
    EXPECT_NE(w.find(item), std::string::npos) << item << " missing from: " << w;
  ASSERT_EQ(messages.texts.size(), 1u) << "told once";
  EXPECT_NE(messages.texts[0].find(w), std::string::npos);

  // A camera and a light, from a file another program wrote.
  MW_REQUIRE_TESTDATA();
  const DocumentResult dae = OpenDocumentFile(s, test::TestData("dae/trimesh_blue_cube.dae").string());
  ASSERT_TRUE(dae.ok());
  ASSERT_EQ(dae.warnings.size(), 1u);
  EXPECT_EQ(dae.warnings[0], "読み込まなかったもの: カメラ 1、ライト 1");
}

// ---------------------------------------------------------------------------------------------
// Files from other writers.

TEST(AssimpImport, AppendsAfterTheSceneWithNewMaterialIdentifiers) {
  CMeshwright s = SampleScene();
  const std::size_t models = s.models.size(), materials = s.materials.size();
  const std::int32_t next = s.nextMaterialId;
  const DocumentResult r = OpenDocumentFile(s, (kOwnData / "meshio_grid.obj").string());
  ASSERT_TRUE(r.ok()) << DocumentErrorText(r);
  ASSERT_EQ(s.models.size(), models + 1);
  ASSERT_EQ(s.materials.size(), materials + 1);
  EXPECT_EQ(s.materials.back().id, next);
  EXPECT_EQ(s.nextMaterialId, next + 1);
  for (const CFace& f : s.models.back().faces) EXPECT_EQ(f.material, next);
  EXPECT_EQ(s.models.back().name, "meshio_grid") << "a file without object names names its model";
  // What was there is untouched.
  EXPECT_EQ(Faces(s, 2, true).size(), Faces(SampleScene(), 2, true).size() + 9);
}

struct Counts {
  const char* file;
  std::size_t models, vertices, faces;
  std::map<std::size_t, std::size_t> byCorners;
};

// Counts taken without Assimp: from the generator's design (tests/data/assimp/make_files.py), from
// meshio's reading, or by counting the files' lines.
const Counts kOwnCounts[] = {
    {"meshio_grid.obj", 1, 21, 9, {{3, 2}, {4, 6}, {6, 1}}},
    {"meshio_grid_ascii.ply", 1, 21, 9, {{3, 2}, {4, 6}, {6, 1}}},
    {"meshio_grid_binary.ply", 1, 21, 9, {{3, 2}, {4, 6}, {6, 1}}},
    {"meshio_grid_binary.stl", 1, 15, 14, {{3, 14}}},
    {"meshio_grid_ascii.stl", 1, 15, 14, {{3, 14}}},
};

const Counts kSharedCounts[] = {
    {"obj/assimp-spider/spider.obj", 19, 0, 1368, {{3, 1368}}},
    {"obj/tinyobj_issue-319-002.obj", 1, 19, 3, {{5, 1}, {7, 1}, {8, 1}}},
    {"obj/trimesh_negative_indices.obj", 1, 8, 6, {{4, 6}}},
    {"obj/tinyobj_catmark_torus_creases0.obj", 1, 32, 32, {{4, 32}}},
    {"ply/trimesh_cube_blender_uv.ply", 1, 8, 6, {{4, 6}}},
    {"ply/happly_platonic_shelf_big_endian.ply", 1, 50, 50, {{3, 32}, {4, 6}, {5, 12}}},
    {"ply/trimesh_bunny_zipper.ply", 1, 8146, 16301, {{3, 16301}}},
    {"stl/trimesh_angle_block.STL", 1, 398, 704, {{3, 704}}},
    {"stl/o3dv_sketchup_binary.stl", 1, 378, 728, {{3, 728}}},
    {"stl/assimp_3DSMaxExport.STL", 1, 1042, 2000, {{3, 2000}}},
    {"stl/assimp_triangle_with_two_solids.stl", 2, 6, 2, {{3, 2}}},
    {"off/pmp_L.off", 1, 6, 1, {{6, 1}}},
    {"off/pmp_fandisk_quads.off", 1, 766, 764, {{4, 764}}},
};

void ExpectCounts(const fs::path& path, const Counts& want) {
  SCOPED_TRACE(path.string());
  CMeshwright s;
  const DocumentResult r = OpenDocumentFile(s, path.string());
  ASSERT_TRUE(r.ok()) << DocumentErrorText(r);
  EXPECT_EQ(s.models.size(), want.models);
  std::size_t vertices = 0, faces = 0;
  std::map<std::size_t, std::size_t> byCorners;
  for (const CModel& m : s.models) {
    vertices += m.vertices.size();
    faces += m.faces.size();
    for (const CFace& f : m.faces) ++byCorners[f.CornerCount()];
  }
  if (want.vertices) {
    EXPECT_EQ(vertices, want.vertices);
  }
  EXPECT_EQ(faces, want.faces);
  EXPECT_EQ(byCorners, want.byCorners);
}

TEST(AssimpImport, FilesWrittenByOtherProgramsHaveTheirCounts) {
  for (const Counts& c : kOwnCounts) ExpectCounts(kOwnData / c.file, c);
  MW_REQUIRE_TESTDATA();
  for (const Counts& c : kSharedCounts) ExpectCounts(test::TestData(c.file), c);
}

TEST(AssimpImport, EverySharedModelOpensOrIsRefusedCleanly) {
  MW_REQUIRE_TESTDATA();
  MessageRecorder quiet;  // missing textures are told through the sink
  std::size_t opened = 0, refused = 0;
  for (const char* folder : {"obj", "ply", "stl", "gltf", "fbx", "3ds", "dae", "off", "lwo"}) {
    for (const auto& entry : fs::recursive_directory_iterator(test::TestData(folder))) {
      if (!entry.is_regular_file()) continue;
      const std::string path = entry.path().string();
      const DocumentFormat* format = FindDocumentFormat(path);
      if (!format || !format->CanOpen() || format->read != ImportAssimpInChild) continue;
      SCOPED_TRACE(path);
      CMeshwright s = SampleScene();
      const Snapshot before(s);
      const DocumentResult r = OpenDocumentFile(s, path);
      if (r.ok()) {
        ++opened;
        EXPECT_GT(s.models.size(), before.models);
        for (std::size_t i = before.models; i < s.models.size(); ++i) {
          const CModel& m = s.models[i];
          EXPECT_FALSE(m.faces.empty());
          for (const CFace& f : m.faces) {
            EXPECT_GE(f.CornerCount(), 2u);
            for (std::int32_t v : f.indices) ASSERT_TRUE(m.HasVertex(v));
            EXPECT_TRUE(f.uvs.empty() || f.uvs.size() == f.indices.size());
            EXPECT_NE(MaterialById(s, f.material), nullptr);
          }
        }
      } else {
        ++refused;
        EXPECT_TRUE(Snapshot(s) == before) << "a refused file changed the document";
        const std::string text = DocumentErrorText(r);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.find('\n'), std::string::npos) << text;
      }
    }
  }
  EXPECT_GE(opened, 40u);
  // The files INDEX.tsv calls bad, at least, are refused.
  for (const char* bad : {"3ds/o3dv_wrong.3ds", "ply/assimp_crash-30d6d0f7.ply", "obj/assimp_malformed.obj"}) {
    CMeshwright s;
    EXPECT_FALSE(OpenDocumentFile(s, test::TestData(bad).string()).ok()) << bad;
  }
  std::printf("shared 3D files: %zu opened, %zu refused\n", opened, refused);
}

TEST(AssimpImport, UnnamedGltfNodesTakeTheirMeshsNameOrTheFilesNotAssimps) {
  MW_REQUIRE_TESTDATA();
  // The box's node has no name, its mesh is "Mesh"; Assimp calls the node "nodes[1]".
  CMeshwright s;
  ASSERT_TRUE(OpenDocumentFile(s, test::TestData("gltf/assimp-BoxTextured/BoxTextured.gltf").string()).ok());
  ASSERT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].name, "Mesh");
  EXPECT_EQ(s.models[0].vertices.size(), 8u) << "the box's 24 corners stand at 8 positions";
  EXPECT_EQ(s.models[0].faces.size(), 12u);
  // Neither has a name: the file's.
  const std::string text = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],
    "meshes":[{"primitives":[{"attributes":{"POSITION":0},"mode":4}]}],
    "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]}],
    "bufferViews":[{"buffer":0,"byteLength":36}],
    "buffers":[{"byteLength":36,"uri":"data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}]})";
  TempDir dir;
  test::WriteBytes(dir / "nameless.gltf", std::vector<std::uint8_t>(text.begin(), text.end()));
  CMeshwright t;
  const DocumentResult r = OpenDocumentFile(t, (dir / "nameless.gltf").string());
  ASSERT_TRUE(r.ok()) << DocumentErrorText(r);
  ASSERT_EQ(t.models.size(), 1u);
  EXPECT_EQ(t.models[0].name, "nameless");
}

TEST(AssimpImport, ThreeDsCoordinatesStayAsTheFileStoresThem) {
  MW_REQUIRE_TESTDATA();
  // The cube is +-1 around its node; "Node 02" moves its instances 3 along the file's Z. Assimp
  // turns 3DS scenes to Y up in its own root node, which is not applied.
  CMeshwright s;
  ASSERT_TRUE(OpenDocumentFile(s, test::TestData("3ds/o3dv-cube_hierarchy/cube_hierarchy.3ds").string()).ok());
  const CModel* inst5 = nullptr;
  for (const CModel& m : s.models)
    if (m.name == "Cube_inst_5") inst5 = &m;
  ASSERT_NE(inst5, nullptr);
  for (const CVertex& v : inst5->vertices) {
    EXPECT_NEAR(std::abs(v.Z() - 3.0f), 1.0f, 1e-5f);
    EXPECT_NEAR(std::abs(v.Y()), 1.0f, 1e-5f);
  }
}

// ---------------------------------------------------------------------------------------------
// Damaged and hostile input: a clear message, the document as it was.

void ExpectRefused(const std::string& name, const std::string& content, DocumentError want = DocumentError::kNone) {
  SCOPED_TRACE(name);
  TempDir dir;
  const fs::path path = dir / name;
  test::WriteBytes(path, std::vector<std::uint8_t>(content.begin(), content.end()));
  CMeshwright s = SampleScene();
  const Snapshot before(s);
  const DocumentResult r = OpenDocumentFile(s, path.string());
  ASSERT_FALSE(r.ok());
  if (want != DocumentError::kNone) {
    EXPECT_EQ(r.error, want) << DocumentErrorText(r);
  }
  EXPECT_TRUE(Snapshot(s) == before);
  const std::string message = DocumentMessage(r, name);
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
}

TEST(AssimpImport, EmptyTruncatedAndOutOfRangeFilesAreRefusedWithTheReason) {
  for (const char* ext : {"obj", "ply", "stl", "glb", "gltf", "fbx", "3ds", "dae", "off", "lwo"})
    ExpectRefused(std::string("empty.") + ext, "");
  ExpectRefused("range.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 99\n");
  ExpectRefused("zero.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n");
  ExpectRefused("range.ply",
                "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n");
  ExpectRefused("points.obj", "v 0 0 0\nv 1 0 0\np 1\np 2\n", DocumentError::kNoPolygonMesh);
  ExpectRefused("huge.ply",
                "ply\nformat binary_little_endian 1.0\nelement vertex 4000000000\nproperty float x\nproperty float y\n"
                "property float z\nelement face 4000000000\nproperty list uchar int vertex_indices\nend_header\n"
                "\x01\x02\x03");
  ExpectRefused("text.3ds", "invalid 3ds file");

  // Every prefix of our own exports: refused or read, never a crash; a refusal changes nothing.
  TempDir dir;
  const CMeshwright scene = SampleScene();
  for (const char* name : {"p.ply", "p.stl", "p.glb", "p.obj"}) {
    ASSERT_TRUE(SaveDocumentFile(scene, (dir / name).string()).ok());
    const auto bytes = test::ReadBytes(dir / name);
    const std::size_t step = std::max<std::size_t>(1, bytes.size() / 23);
    for (std::size_t n = 0; n < bytes.size(); n += step) {
      SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(n));
      const fs::path cut = dir / (std::string("cut_") + name);
      test::WriteBytes(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
      CMeshwright s = SampleScene();
      const Snapshot before(s);
      const DocumentResult r = OpenDocumentFile(s, cut.string());
      if (!r.ok()) {
        EXPECT_TRUE(Snapshot(s) == before);
      }
    }
  }
}

TEST(AssimpImport, FailuresTellTheFormatAndAssimpsReasonOnOneLine) {
  TempDir dir;
  CMeshwright s;
  const DocumentResult missing = OpenDocumentFile(s, (dir / "none.obj").string());
  EXPECT_EQ(missing.error, DocumentError::kCannotOpen);
  EXPECT_EQ(missing.systemError, ENOENT);
  fs::create_directory(dir / "folder.ply");
  EXPECT_EQ(OpenDocumentFile(s, (dir / "folder.ply").string()).systemError, EISDIR);

  test::WriteBytes(dir / "bad.stl", {'s', 'o', 'l', 'i', 'd', ' ', 'x', '\n', 'f', 'a', 'c', 'e', 't'});
  const DocumentResult r = OpenDocumentFile(s, (dir / "bad.stl").string());
  ASSERT_FALSE(r.ok());
  if (r.error == DocumentError::kReadFailed) {
    EXPECT_FALSE(r.detail.empty());
    const std::string text = DocumentErrorText(r);
    EXPECT_EQ(text.rfind("STL ファイルとして読み込めませんでした。(", 0), 0u) << text;
    EXPECT_NE(text.find(r.detail), std::string::npos);
    EXPECT_EQ(text.find('\n'), std::string::npos);
  }
  EXPECT_TRUE(s.models.empty());
  DocumentResult none = DocumentFailure(DocumentError::kNoPolygonMesh);
  EXPECT_EQ(DocumentErrorText(none), "ポリゴンメッシュが含まれていません。");
}

// ---------------------------------------------------------------------------------------------
// The reading process: whatever happens to it, a clean message and the document as it was.

// Points TMPDIR at a folder of its own, to see that the hand-over folder is always removed.
class TempFolderWatch {
 public:
  TempFolderWatch() {
    const char* old = std::getenv("TMPDIR");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TMPDIR", dir_.path().c_str(), 1);
  }
  ~TempFolderWatch() {
    if (had_) setenv("TMPDIR", old_.c_str(), 1);
    else unsetenv("TMPDIR");
  }
  bool Empty() const { return fs::is_empty(dir_.path()); }

 private:
  TempDir dir_;
  bool had_ = false;
  std::string old_;
};

// A grid OBJ of side*side quads with awkward coordinates: several MB of text.
fs::path WriteGridObj(const TempDir& dir, int side) {
  const fs::path path = dir / "grid.obj";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  for (int y = 0; y <= side; ++y)
    for (int x = 0; x <= side; ++x) std::fprintf(f, "v %.6f %.6f 0.37\n", x * 0.173, y * 1.0 / 3.0);
  const int row = side + 1;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int a = y * row + x + 1;
      std::fprintf(f, "f %d %d %d %d\n", a, a + 1, a + row + 1, a + row);
    }
  std::fclose(f);
  return path;
}

// Runs the import with `limits` and checks what every failure must keep: the document and the
// temporary folder as they were, one line of text naming the format.
DocumentResult ImportRefused(const fs::path& path, const ImportLimits& limits) {
  TempFolderWatch tmp;
  CMeshwright s = SampleScene();
  const Snapshot before(s);
  const DocumentResult r = ImportAssimpWithLimits(s, path.string(), limits);
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(Snapshot(s) == before) << "a failed import changed the document";
  EXPECT_TRUE(tmp.Empty()) << "the hand-over folder was left behind";
  DocumentResult named = r;
  named.formatName = "Wavefront OBJ";
  const std::string text = DocumentErrorText(named);
  EXPECT_EQ(text.find('\n'), std::string::npos) << text;
  return r;
}

// A stand-in for the helper: a shell script doing `body` ($4 is the hand-over folder).
std::string FakeHelper(const TempDir& dir, const char* name, const std::string& body) {
  const fs::path path = dir / name;
  const std::string text = "#!/bin/sh\n" + body + "\n";
  test::WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
  fs::permissions(path, fs::perms::owner_all);
  return path.string();
}

TEST(AssimpChild, TheHostileFilesFuzzingFoundGiveACleanMessage) {
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(kOwnData / "hostile")) {
    if (entry.path().extension() != ".ply") continue;
    ++files;
    SCOPED_TRACE(entry.path().string());
    TempFolderWatch tmp;
    CMeshwright s = SampleScene();
    const Snapshot before(s);
    // As the program opens them, and once more with a time limit short enough that a reader
    // that never returns is stopped within the test.
    for (int run = 0; run < 2; ++run) {
      const DocumentResult r = run == 0 ? OpenDocumentFile(s, entry.path().string())
                                        : ImportAssimpWithLimits(s, entry.path().string(), {"", 512 << 20, 3.0});
      ASSERT_FALSE(r.ok());
      EXPECT_TRUE(Snapshot(s) == before);
      const std::string message = DocumentMessage(r, entry.path().filename().string());
      EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    }
    EXPECT_TRUE(tmp.Empty());
  }
  EXPECT_EQ(files, 4u);
}

TEST(AssimpChild, AnExhaustedMemoryLimitIsToldAsSuch) {
  TempDir dir;
  const fs::path grid = WriteGridObj(dir, 300);
  // 16 MB is far less than Assimp needs for 90000 quadrilaterals; with the default limits the
  // same file opens.
  const DocumentResult r = ImportRefused(grid, {"", 16 << 20, 60.0});
  if (test::kSanitized) {
    // The sanitizer's allocator reports running out itself and ends the helper its own way.
    EXPECT_TRUE(r.error == DocumentError::kReaderOutOfMemory || r.error == DocumentError::kReaderCrashed)
        << DocumentErrorText(r);
  } else {
    EXPECT_EQ(r.error, DocumentError::kReaderOutOfMemory) << DocumentErrorText(r);
  }
  DocumentResult named = DocumentFailure(DocumentError::kReaderOutOfMemory);
  named.formatName = "Wavefront OBJ";
  EXPECT_EQ(DocumentErrorText(named), "Wavefront OBJ ファイルの読み込みに使えるメモリの上限を超えました。");

  CMeshwright s;
  const DocumentResult fine = OpenDocumentFile(s, grid.string());
  ASSERT_TRUE(fine.ok()) << DocumentErrorText(fine);
  ASSERT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].vertices.size(), 301u * 301u);
  EXPECT_EQ(s.models[0].faces.size(), 300u * 300u);
}

TEST(AssimpChild, AReaderOverItsTimeIsStoppedAndToldAsSuch) {
  TempDir dir;
  const fs::path grid = WriteGridObj(dir, 300);
  const auto start = std::chrono::steady_clock::now();
  const DocumentResult r = ImportRefused(grid, {"", std::int64_t{4} << 30, 0.05});
  EXPECT_EQ(r.error, DocumentError::kReaderTimedOut) << DocumentErrorText(r);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << "it was not stopped";
  // A helper that never ends at all (its own process group goes with it).
  const std::string sleeper = FakeHelper(dir, "sleeper", "sleep 600 & wait");
  EXPECT_EQ(ImportRefused(grid, {sleeper, 1 << 30, 0.3}).error, DocumentError::kReaderTimedOut);
  DocumentResult named = DocumentFailure(DocumentError::kReaderTimedOut);
  named.formatName = "PLY";
  EXPECT_EQ(DocumentErrorText(named), "PLY ファイルの読み込みが制限時間内に終わりませんでした。");
}

TEST(AssimpChild, ACrashedMissingOrLyingHelperIsACleanFailure) {
  TempDir dir;
  const fs::path grid = WriteGridObj(dir, 3);

  const DocumentResult crashed = ImportRefused(grid, {FakeHelper(dir, "crash", "kill -SEGV $$"), 1 << 30, 20.0});
  EXPECT_EQ(crashed.error, DocumentError::kReaderCrashed);
  EXPECT_EQ(crashed.detail, "SIGSEGV");
  DocumentResult named = crashed;
  named.formatName = "STL";
  EXPECT_EQ(DocumentErrorText(named), "STL ファイルの読み込み中に読み込み処理が異常終了しました。(SIGSEGV)");

  // Ended without a word, or with a status of its own (a sanitizer's report).
  EXPECT_EQ(ImportRefused(grid, {FakeHelper(dir, "silent", "exit 0"), 1 << 30, 20.0}).error,
            DocumentError::kReaderCrashed);
  EXPECT_EQ(ImportRefused(grid, {FakeHelper(dir, "failing", "exit 1"), 1 << 30, 20.0}).detail, "exit status 1");
  // Says it succeeded but hands back a damaged scene, or a result that is not one: the .mwr
  // reader's checks and the result's parsing refuse them.
  const std::string liar = FakeHelper(dir, "liar", "printf '0 0\\n\\n' > \"$4/result.txt\"; printf 'garbage' > \"$4/scene.mwr\"");
  EXPECT_EQ(ImportRefused(grid, {liar, 1 << 30, 20.0}).error, DocumentError::kReaderCrashed);
  const std::string babbler = FakeHelper(dir, "babbler", "printf '99999 x\\n' > \"$4/result.txt\"");
  EXPECT_EQ(ImportRefused(grid, {babbler, 1 << 30, 20.0}).error, DocumentError::kReaderCrashed);
  // A refusal it reports is passed on as it was told.
  const std::string refuser = FakeHelper(dir, "refuser", "printf '10 0\\nbad things\\nignored warning\\n' > \"$4/result.txt\"");
  const DocumentResult told = ImportRefused(grid, {refuser, 1 << 30, 20.0});
  EXPECT_EQ(told.error, DocumentError::kReadFailed);
  EXPECT_EQ(told.detail, "bad things");

  const DocumentResult missing = ImportRefused(grid, {(dir / "nowhere").string(), 1 << 30, 20.0});
  EXPECT_EQ(missing.error, DocumentError::kReaderMissing);
  EXPECT_EQ(missing.systemError, ENOENT);
  EXPECT_EQ(DocumentErrorText(missing), "読み込み用のプログラムを起動できません。ファイルまたはフォルダーが見つかりません。(" +
                                            (dir / "nowhere").string() + ")");
}

// The helper started as the program starts it (with its parent and a wall clock), its hand-over
// folder holding a FIFO as the result file: opening that for writing blocks it until it is killed.
struct BlockedHelper {
  TempDir dir;
  fs::path out = dir / "out";
  std::string input, helper = std::string(MW_BIN_DIR) + "/" + kImportHelperName;
  BlockedHelper() {
    const fs::path grid = WriteGridObj(dir, 3);
    input = grid.string();
    fs::create_directory(out);
    EXPECT_EQ(mkfifo((out / "result.txt").c_str(), 0600), 0);
  }
  std::vector<std::string> Args(pid_t parent, int wallSeconds) const {
    return {helper, "0", "60", input, out.string(), std::to_string(parent), std::to_string(wallSeconds)};
  }
  static pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
  }
};

// Gone, or a zombie nobody has reaped yet (an init that does not reap promptly).
bool ProcessGone(pid_t pid) {
  std::FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
  if (!f) return true;
  char state = '?';
  const int n = std::fscanf(f, "%*d (%*[^)]) %c", &state);
  std::fclose(f);
  return n == 1 && (state == 'Z' || state == 'X');
}

TEST(AssimpChild, TheHelperDiesWithTheProgramThatStartedIt) {
  BlockedHelper h;
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  // A stand-in for the program: starts the helper, tells its number, waits to be killed.
  const pid_t program = fork();
  ASSERT_GE(program, 0);
  if (program == 0) {
    const pid_t helper = BlockedHelper::Spawn(h.Args(getpid(), 600));
    if (write(pipeFds[1], &helper, sizeof helper) != sizeof helper) _exit(1);
    for (;;) pause();
  }
  pid_t helper = -1;
  ASSERT_EQ(read(pipeFds[0], &helper, sizeof helper), static_cast<ssize_t>(sizeof helper));
  close(pipeFds[0]);
  close(pipeFds[1]);
  ASSERT_GT(helper, 0);
  // Once its scene is written it is blocked on the result file.
  for (int i = 0; i < 400 && !fs::exists(h.out / "scene.mwr"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(fs::exists(h.out / "scene.mwr"));
  kill(program, SIGKILL);
  waitpid(program, nullptr, 0);
  bool gone = false;
  for (int i = 0; i < 100 && !gone; ++i) {
    gone = ProcessGone(helper);
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!gone) kill(helper, SIGKILL);  // ours to end: this test started it
  EXPECT_TRUE(gone) << "the helper outlived the program that started it";
}

TEST(AssimpChild, TheHelperKeepsItsOwnTimeAndStartsOnlyForItsParent) {
  BlockedHelper h;
  // Its own wall clock ends it, though nobody reads the result.
  const pid_t helper = BlockedHelper::Spawn(h.Args(getpid(), 1));
  ASSERT_GT(helper, 0);
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 300 && !ended; ++i) {
    ended = waitpid(helper, &status, WNOHANG) == helper;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!ended) {
    kill(helper, SIGKILL);
    waitpid(helper, &status, 0);
  }
  ASSERT_TRUE(ended) << "the helper did not stop at its own time";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM);
  // Started for a process that is not its parent (its parent died before it could check): it
  // reads nothing.
  fs::remove(h.out / "scene.mwr");
  const pid_t orphan = BlockedHelper::Spawn(h.Args(getpid() + 100000, 600));
  ASSERT_GT(orphan, 0);
  waitpid(orphan, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
  EXPECT_FALSE(fs::exists(h.out / "scene.mwr"));
}

}  // namespace
}  // namespace mw
