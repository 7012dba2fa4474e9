// Which side of a face is its front, across the formats: the document's faces show the side from
// which their corners run clockwise, every other format's the side from which they run
// counter-clockwise. Files come in and go out facing the way their writer meant, checked here by
// counts that do not go through the reader or writer under test: the facing of each face, every
// directed edge used once, and the sign of the enclosed volume.
#include <gtest/gtest.h>

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <algorithm>
#include <array>
#include <assimp/Importer.hpp>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "io/assimp_io.h"
#include "io/document_io.h"
#include "io/fragment_obj.h"
#include "platform/message.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A polygon soup as plain numbers, wound counter-clockwise-front (other programs' way) or
// clockwise-front (the document's), with corners at one position counted as one.
struct Soup {
  std::vector<std::array<double, 3>> positions;
  std::vector<std::vector<std::size_t>> faces;
  bool clockwiseFront = false;

  std::size_t At(double x, double y, double z) {
    const std::array<double, 3> p{x, y, z};
    for (std::size_t i = 0; i < positions.size(); ++i)
      if (std::abs(positions[i][0] - x) + std::abs(positions[i][1] - y) + std::abs(positions[i][2] - z) < 1e-4)
        return i;
    positions.push_back(p);
    return positions.size() - 1;
  }

  // The front's normal by Newell's method (its length twice the area).
  std::array<double, 3> Facing(const std::vector<std::size_t>& f) const {
    std::array<double, 3> n{0, 0, 0};
    for (std::size_t k = 0; k < f.size(); ++k) {
      const auto& a = positions[f[k]];
      const auto& b = positions[f[(k + 1) % f.size()]];
      n[0] += (a[1] - b[1]) * (a[2] + b[2]);
      n[1] += (a[2] - b[2]) * (a[0] + b[0]);
      n[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
    if (clockwiseFront)
      for (double& c : n) c = -c;
    return n;
  }

  // Six times the volume the fronts enclose: positive when every face looks outwards.
  double SignedVolume6() const {
    double v = 0;
    for (const auto& f : faces)
      for (std::size_t k = 1; k + 1 < f.size(); ++k) {
        const auto& a = positions[f[0]];
        const auto& b = positions[f[k]];
        const auto& c = positions[f[k + 1]];
        v += a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) + a[2] * (b[0] * c[1] - b[1] * c[0]);
      }
    return clockwiseFront ? -v : v;
  }

  // Closed and consistently wound: each directed edge once, and its opposite too.
  bool EveryDirectedEdgeOnce(std::string& why) const {
    std::map<std::pair<std::size_t, std::size_t>, int> edges;
    for (const auto& f : faces)
      for (std::size_t k = 0; k < f.size(); ++k) ++edges[{f[k], f[(k + 1) % f.size()]}];
    for (const auto& [e, n] : edges) {
      if (n != 1) why = "an edge used " + std::to_string(n) + " times the same way";
      else if (!edges.count({e.second, e.first})) why = "an edge without its opposite";
      if (!why.empty()) return false;
    }
    return !edges.empty();
  }
};

Soup SoupOf(const CModel& m) {
  Soup s;
  s.clockwiseFront = true;
  for (const CFace& f : m.faces) {
    if (f.CornerCount() < 3) continue;
    std::vector<std::size_t> corners;
    for (std::int32_t i : f.indices) {
      const CVector& p = m.vertices.at(static_cast<std::size_t>(i)).position;
      corners.push_back(s.At(p.x, p.y, p.z));
    }
    s.faces.push_back(corners);
  }
  return s;
}

// A file as Assimp itself reads it, its corners in the file's order.
Soup SoupOfFile(const fs::path& path) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(path.string(), aiProcess_ValidateDataStructure);
  Soup s;
  if (!scene) {
    ADD_FAILURE() << path << ": " << importer.GetErrorString();
    return s;
  }
  for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
    const aiMesh& mesh = *scene->mMeshes[i];
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
      if (mesh.mFaces[f].mNumIndices < 3) continue;
      std::vector<std::size_t> corners;
      for (unsigned k = 0; k < mesh.mFaces[f].mNumIndices; ++k) {
        const aiVector3D& p = mesh.mVertices[mesh.mFaces[f].mIndices[k]];
        corners.push_back(s.At(p.x, p.y, p.z));
      }
      s.faces.push_back(corners);
    }
  }
  return s;
}

void ExpectClosedAndOutward(const Soup& s, const std::string& what) {
  std::string why;
  EXPECT_TRUE(s.EveryDirectedEdgeOnce(why)) << what << ": " << why;
  EXPECT_GT(s.SignedVolume6(), 0.0) << what << ": the faces look inwards";
}

using test::QuietMessages;

std::string Base64(const std::string& bytes) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t have = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t n = 0;
    for (std::size_t k = 0; k < 3; ++k) n = n << 8 | (k < have ? static_cast<std::uint8_t>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k) out += k <= have ? digits[(n >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

// One square in the plane y = 0, its front facing +Y in each format's own winding.
std::string GltfQuad() {
  const float p[12] = {-100, 0, -100, -100, 0, 100, 100, 0, 100, 100, 0, -100};
  const std::uint16_t index[6] = {0, 1, 2, 0, 2, 3};
  std::string bytes(reinterpret_cast<const char*>(p), sizeof p);
  bytes.append(reinterpret_cast<const char*>(index), sizeof index);
  return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],
    "meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1,"mode":4}]}],
    "accessors":[{"bufferView":0,"componentType":5126,"count":4,"type":"VEC3","min":[-100,0,-100],"max":[100,0,100]},
                 {"bufferView":1,"componentType":5123,"count":6,"type":"SCALAR"}],
    "bufferViews":[{"buffer":0,"byteLength":48},{"buffer":0,"byteOffset":48,"byteLength":12}],
    "buffers":[{"byteLength":60,"uri":"data:application/octet-stream;base64,)" +
         Base64(bytes) + R"("}]})";
}

const struct {
  const char* name;
  std::string text;
} kQuadsFacingUp[] = {
    {"quad.obj", "v -100 0 -100\nv -100 0 100\nv 100 0 100\nv 100 0 -100\nf 1 2 3 4\n"},
    {"quad.ply",
     "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
     "element face 1\nproperty list uchar int vertex_indices\nend_header\n"
     "-100 0 -100\n-100 0 100\n100 0 100\n100 0 -100\n4 0 1 2 3\n"},
    {"quad.stl",
     "solid quad\n facet normal 0 1 0\n  outer loop\n   vertex -100 0 -100\n   vertex -100 0 100\n   vertex 100 0 100\n"
     "  endloop\n endfacet\n facet normal 0 1 0\n  outer loop\n   vertex -100 0 -100\n   vertex 100 0 100\n"
     "   vertex 100 0 -100\n  endloop\n endfacet\nendsolid quad\n"},
    {"quad.off", "OFF\n4 1 0\n-100 0 -100\n-100 0 100\n100 0 100\n100 0 -100\n4 0 1 2 3\n"},
    {"quad.gltf", GltfQuad()},
};

TEST(ForeignWinding, ASquareFacingUpInEachFormatComesInFacingUp) {
  for (const auto& c : kQuadsFacingUp) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    test::WriteBytes(dir / c.name, std::vector<std::uint8_t>(c.text.begin(), c.text.end()));
    const Soup file = SoupOfFile(dir / c.name);
    ASSERT_FALSE(file.faces.empty());
    for (const auto& f : file.faces) ASSERT_GT(file.Facing(f)[1], 0.0) << "the file itself faces +Y";

    CMeshwright s;
    const DocumentResult r = OpenDocumentFile(s, (dir / c.name).string());
    ASSERT_TRUE(r.ok()) << DocumentErrorText(r);
    ASSERT_EQ(s.models.size(), 1u);
    const Soup in = SoupOf(s.models[0]);
    ASSERT_FALSE(in.faces.empty());
    for (const auto& f : in.faces) {
      const auto n = in.Facing(f);
      EXPECT_GT(n[1], 0.0) << "comes in facing down";
      EXPECT_LT(std::abs(n[0]) + std::abs(n[2]), 1e-6 * std::abs(n[1]));
    }
  }
}

// FB_ngon_encoding as another writer may use it: a fan of two triangles is a quadrilateral (its
// front kept), two triangles that share only their first corner stay two triangles.
TEST(ForeignWinding, GltfPolygonFansComeBackAsPolygonsAndOtherRunsAsTriangles) {
  const float p[27] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0,  // a square in z = 0, counter-clockwise from +Z
                       5, 0, 0, 6, 0, 0, 6, 1, 0, 4, 0, 0, 4, -1, 0};  // a bow tie around (5, 0, 0)
  const std::uint16_t index[12] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 7, 8};
  std::string bytes(reinterpret_cast<const char*>(p), sizeof p);
  bytes.append(reinterpret_cast<const char*>(index), sizeof index);
  const std::string text =
      R"({"asset":{"version":"2.0"},"extensionsUsed":["FB_ngon_encoding"],"scene":0,"scenes":[{"nodes":[0]}],
    "nodes":[{"mesh":0}],"meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1,"mode":4,
    "extensions":{"FB_ngon_encoding":{}}}]}],
    "accessors":[{"bufferView":0,"componentType":5126,"count":9,"type":"VEC3","min":[0,-1,0],"max":[6,1,0]},
                 {"bufferView":1,"componentType":5123,"count":12,"type":"SCALAR"}],
    "bufferViews":[{"buffer":0,"byteLength":108},{"buffer":0,"byteOffset":108,"byteLength":24}],
    "buffers":[{"byteLength":132,"uri":"data:application/octet-stream;base64,)" +
      Base64(bytes) + R"("}]})";
  TempDir dir;
  test::WriteBytes(dir / "fans.gltf", std::vector<std::uint8_t>(text.begin(), text.end()));
  CMeshwright s;
  const DocumentResult r = OpenDocumentFile(s, (dir / "fans.gltf").string());
  ASSERT_TRUE(r.ok()) << DocumentErrorText(r);
  ASSERT_EQ(s.models.size(), 1u);
  const Soup in = SoupOf(s.models[0]);
  ASSERT_EQ(in.faces.size(), 3u);
  EXPECT_EQ(in.faces[0].size(), 4u);
  EXPECT_EQ(in.faces[1].size(), 3u);
  EXPECT_EQ(in.faces[2].size(), 3u);
  for (const auto& f : in.faces) EXPECT_GT(in.Facing(f)[2], 0.0);
}

// Closed boxes written by other programs, as the shared test data holds them.
const char* const kSharedCubes[] = {
    "obj/trimesh_negative_indices.obj",
    "ply/trimesh_cube_blender_uv.ply",
    "stl/trimesh_20mm-xyz-cube.stl",
    "gltf/assimp-BoxTextured/BoxTextured.gltf",
    "gltf/trimesh_cubevc.glb",
    "fbx/assimp_box.fbx",
    "fbx/ufbx_blender_279_default_7400_binary.fbx",
    "3ds/assimp-cube_with_diffuse_texture/cube_with_diffuse_texture.3DS",
    "dae/trimesh_blue_cube.dae",
    "lwo/assimp-boxuv/boxuv.lwo",
    "lwo/lwoloader_Cube00-Basic.lwo",  // LWO3, read in the helper process
    "dae/assimp_cube_UTF16LE.dae",     // UTF-16 XML
};

TEST(ForeignWinding, ClosedBoxesFromOtherProgramsComeInFacingOutwards) {
  MW_REQUIRE_TESTDATA();
  QuietMessages quiet;
  for (const char* file : kSharedCubes) {
    SCOPED_TRACE(file);
    CMeshwright s;
    const DocumentResult r = OpenDocumentFile(s, test::TestData(file).string());
    ASSERT_TRUE(r.ok()) << DocumentErrorText(r);
    ASSERT_FALSE(s.models.empty());
    for (const CModel& m : s.models) ExpectClosedAndOutward(SoupOf(m), m.name);
  }
  // The same COLLADA document in UTF-16 with the other byte order.
  const auto little = test::ReadBytes(test::TestData("dae/assimp_cube_UTF16LE.dae"));
  std::vector<std::uint8_t> big(little.size());
  for (std::size_t i = 0; i + 1 < little.size(); i += 2) big[i] = little[i + 1], big[i + 1] = little[i];
  TempDir dir;
  test::WriteBytes(dir / "cube.dae", big);
  CMeshwright s;
  const DocumentResult r = OpenDocumentFile(s, (dir / "cube.dae").string());
  ASSERT_TRUE(r.ok()) << DocumentErrorText(r);
  ASSERT_EQ(s.models.size(), 1u);
  ExpectClosedAndOutward(SoupOf(s.models[0]), "big-endian UTF-16");
}

// Our exports, read by Assimp as the file stands, face the way the document did.
TEST(ForeignWinding, ExportsOfClosedModelsFaceOutwards) {
  MW_REQUIRE_TESTDATA();
  QuietMessages quiet;
  for (const char* source : {"mqo/wanwan_cube_crlf.mqo", "mqo/pymeshio_cube.mqo", "mqo/wanwan_cube02.mqo",
                             "obj/trimesh_negative_indices.obj", "stl/trimesh_20mm-xyz-cube.stl"}) {
    SCOPED_TRACE(source);
    CMeshwright s;
    ASSERT_TRUE(OpenDocumentFile(s, test::TestData(source).string()).ok());
    s.models.erase(std::remove_if(s.models.begin(), s.models.end(), [](const CModel& m) { return m.faces.empty(); }),
                   s.models.end());
    ASSERT_EQ(s.models.size(), 1u);
    ExpectClosedAndOutward(SoupOf(s.models[0]), "the document");
    TempDir dir;
    for (const char* name : {"out.obj", "out.ply", "out.stl", "out.glb", "out.gltf"}) {
      SCOPED_TRACE(name);
      ASSERT_TRUE(SaveDocumentFile(s, (dir / name).string()).ok());
      ExpectClosedAndOutward(SoupOfFile(dir / name), name);
    }
    // The clipboard's OBJ text for other programs.
    SceneFragment fragment;
    fragment.model = s.models[0];
    const std::string text = FragmentObjText(fragment);
    test::WriteBytes(dir / "clip.obj", std::vector<std::uint8_t>(text.begin(), text.end()));
    ExpectClosedAndOutward(SoupOfFile(dir / "clip.obj"), "clipboard");
  }
}

}  // namespace
}  // namespace mw
