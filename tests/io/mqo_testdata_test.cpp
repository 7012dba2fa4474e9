// Every Metasequoia document in the shared test data, written by other programs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "io/loader_mqo.h"
#include "scene/archive.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

struct Expected {
  const char* file;
  int code;
  std::size_t models, vertices, faces, materials;
};

// Counts after the import: objects without faces are dropped, mirrored objects doubled, faces
// whose vertex numbers are out of range dropped. Version 1.1 files are refused before reading.
const Expected kFiles[] = {
    {"anatawa12_test.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
    {"blendermqo_mirrored_multiple_axes.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
    {"blendermqo_scene.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
    {"blendermqo_simple.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
    {"blendermqo_single_material_with_materialex2.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
    {"blendermqo_single_object_with_bvertex.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
    {"blendermqo_single_object_with_edge.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
    {"blendermqo_texture.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
    {"blendermqo_vertexattr.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
    {"rtm_Model_none.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
    {"rtm_wood01.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
    {"shapesphere_kaisoutest.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
    {"vastspace_type90_ver11.mqo", kMqoUnsupportedFormat, 0, 0, 0, 1},
};

void Counts(const CMeshwright& s, std::size_t& v, std::size_t& f) {
  v = f = 0;
  for (const CModel& m : s.models) {
    v += m.vertices.size();
    f += m.faces.size();
    for (const CFace& face : m.faces)
      for (std::int32_t i : face.indices) ASSERT_TRUE(m.HasVertex(i));
  }
}

TEST(MqoTestData, VersionOnePointOneIsRefusedCleanly) {
  MW_REQUIRE_TESTDATA();
  for (const Expected& e : kFiles) {
    CMeshwright s;
    s.ResetScene();
    s.models.clear();
    int code = 0;
    EXPECT_FALSE(ImportMetasequoia(s, test::TestData(std::string("mqo/") + e.file).string(), &code)) << e.file;
    EXPECT_EQ(code, e.code) << e.file;
    EXPECT_EQ(s.models.size(), e.models);
    EXPECT_EQ(s.materials.size(), e.materials);
  }
}

// Known-good and questionable files: the counts in the file's own "vertex N" and "face N" lines,
// adjusted for what the import does with them, as worked out by reading each file.
struct Good {
  const char* file;
  std::size_t models, vertices, faces, materials;
};

const Good kGood[] = {
    {"gvc_block_gunrack_rti2.mqo", 6, 7470, 12612, 0},
    {"gvc_magazine.mqo", 1, 72, 54, 0},
    {"psc_mug.mqo", 1, 1025, 1978, 0},
    {"psc_torus.mqo", 1, 900, 1800, 1},
    {"pymeshio_cube.mqo", 1, 8, 6, 0},
    {"vastspace_A10-cockpit.mqo", 1, 42, 56, 0},
    {"vastspace_ReZEL.mqo", 35, 1378, 1396, 8},
    {"vastspace_type90_ver10.mqo", 4, 169, 135, 0},
    {"wanwan_cube02.mqo", 1, 8, 12, 1},
    {"wanwan_cube_crlf.mqo", 1, 8, 6, 1},
    {"wanwan_cube_lf.mqo", 1, 8, 6, 1},
    {"wanwan_includexml.mqo", 1, 8, 6, 1},
    {"wanwan_miku01.mqo", 3, 1364, 2369, 0},
    {"wanwan_trialnoise.mqo", 1, 8, 6, 1},
    {"wertrain_dice.mqo", 1, 8, 6, 0},
    {"wertrain_heisi.mqo", 7, 464, 470, 0},
};

TEST(MqoTestData, GoodDocumentsImportWithTheirCounts) {
  MW_REQUIRE_TESTDATA();
  for (const Good& g : kGood) {
    CMeshwright s;
    s.ResetScene();
    s.models.clear();
    int code = -99;
    const bool ok = ImportMetasequoia(s, test::TestData(std::string("mqo/") + g.file).string(), &code);
    EXPECT_TRUE(ok) << g.file << " " << MqoErrorName(code);
    std::size_t v, f;
    Counts(s, v, f);
    std::printf("%s: %zu models, %zu vertices, %zu faces, %zu materials\n", g.file, s.models.size(), v, f,
                s.materials.size());
    EXPECT_EQ(s.models.size(), g.models) << g.file;
    if (g.vertices) {
      EXPECT_EQ(v, g.vertices) << g.file;
    }
    if (g.faces) {
      EXPECT_EQ(f, g.faces) << g.file;
    }
    if (g.materials) {
      EXPECT_EQ(s.materials.size(), g.materials) << g.file;
    }
  }
}

TEST(MqoTestData, RoundTripsKeepGeometryMaterialsAndUVs) {
  MW_REQUIRE_TESTDATA();
  test::TempDir dir;
  for (const Good& g : kGood) {
    CMeshwright a;
    a.ResetScene();
    a.models.clear();
    ImportMetasequoia(a, test::TestData(std::string("mqo/") + g.file).string());
    // Mirrors are applied at import; the copies are ordinary geometry afterwards.
    for (CModel& m : a.models) m.mirrorAxis = 0;
    const std::string path = (dir / "rt.mqo").string();
    ASSERT_TRUE(ExportMetasequoia(a, path)) << g.file;
    CMeshwright b;
    b.ResetScene();
    b.models.clear();
    ASSERT_TRUE(ImportMetasequoia(b, path)) << g.file;
    ASSERT_EQ(a.models.size(), b.models.size()) << g.file;
    ASSERT_EQ(a.materials.size(), b.materials.size()) << g.file;
    for (std::size_t i = 0; i < a.materials.size(); ++i) {
      EXPECT_EQ(a.materials[i].name, b.materials[i].name);
      EXPECT_EQ(a.materials[i].texture, b.materials[i].texture);
      EXPECT_NEAR(a.materials[i].color[0], b.materials[i].color[0], 1e-6);
    }
    for (std::size_t i = 0; i < a.models.size(); ++i) {
      const CModel& x = a.models[i];
      const CModel& y = b.models[i];
      EXPECT_EQ(x.name, y.name);
      ASSERT_EQ(x.vertices.size(), y.vertices.size()) << g.file;
      for (std::size_t k = 0; k < x.vertices.size(); ++k) {
        EXPECT_NEAR(x.vertices[k].position.x, y.vertices[k].position.x, 1e-6 * (1 + std::fabs(x.vertices[k].position.x)));
        EXPECT_NEAR(x.vertices[k].position.z, y.vertices[k].position.z, 1e-6 * (1 + std::fabs(x.vertices[k].position.z)));
      }
      ASSERT_EQ(x.faces.size(), y.faces.size()) << g.file;
      for (std::size_t k = 0; k < x.faces.size(); ++k) {
        EXPECT_EQ(x.faces[k].indices, y.faces[k].indices);
        EXPECT_EQ(x.faces[k].material, y.faces[k].material);
        if (x.faces[k].indices.size() >= 3) {
          ASSERT_EQ(x.faces[k].uvs.size(), y.faces[k].uvs.size()) << g.file << " face " << k;
          for (std::size_t c = 0; c < x.faces[k].uvs.size(); ++c)
            EXPECT_NEAR(x.faces[k].uvs[c].u, y.faces[k].uvs[c].u, 1e-6);
        }
      }
    }
    // And through the archive too: nothing the document format carries is lost.
    std::vector<std::uint8_t> bytes;
    WriteScene(a, bytes);
    CMeshwright c;
    ASSERT_TRUE(ReadScene(c, bytes.data(), bytes.size()).ok());
    EXPECT_EQ(c.models.size(), a.models.size());
  }
}

TEST(MqoTestData, EveryPrefixOfEveryDocumentFailsOrSucceedsCleanly) {
  MW_REQUIRE_TESTDATA();
  for (const auto& entry : std::filesystem::directory_iterator(test::TestData("mqo"))) {
    const auto bytes = test::ReadBytes(entry.path());
    // Every prefix of the small files; a few hundred of the middle-sized, thirty of the largest.
    const std::size_t samples = bytes.size() > 100000 ? 30 : 200;
    const std::size_t step = bytes.size() > 3000 ? bytes.size() / samples : 1;
    for (std::size_t n = 0; n <= bytes.size(); n += step) {
      CMeshwright s;
      s.ResetScene();
      std::FILE* f = fmemopen(const_cast<std::uint8_t*>(bytes.data()), n ? n : 1, "rb");
      ASSERT_NE(f, nullptr);
      if (n == 0) std::fgetc(f);  // an empty stream
      ImportMetasequoia(s, f);
      std::fclose(f);
      std::size_t v, fc;
      Counts(s, v, fc);
    }
  }
}

}  // namespace
}  // namespace mw
