// Every Metasequoia document in the shared test data, written by other programs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "io/loader_mqo.h"
#include "platform/encoding.h"
#include "scene/archive.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

// What importing each document gives, computed by tests/io/mqo_counts.py (its own small parser,
// not this reader): objects without faces are not added, mirrored objects doubled per axis with
// connected mirrors sharing the vertices on the plane, faces naming a missing vertex dropped, a
// document without materials given the default one.
struct Expected {
  const char* file;
  int version;
  MqoEncoding encoding;
  std::size_t models, vertices, faces, faces2, faces3, faces4, facesMore, materials;
};

const Expected kFiles[] = {
    {"anatawa12_test.mqo", 11, MqoEncoding::kCp932, 1, 22, 15, 0, 0, 15, 0, 1},
    {"binzume_autocsg_sample.mqo", 11, MqoEncoding::kCp932, 2, 608, 494, 0, 192, 221, 81, 2},
    {"blendermqo_mirrored_multiple_axes.mqo", 11, MqoEncoding::kCp932, 1, 16, 4, 0, 0, 4, 0, 1},
    {"blendermqo_scene.mqo", 11, MqoEncoding::kCp932, 0, 0, 0, 0, 0, 0, 0, 1},
    {"blendermqo_simple.mqo", 11, MqoEncoding::kCp932, 0, 0, 0, 0, 0, 0, 0, 1},
    {"blendermqo_single_material_with_materialex2.mqo", 11, MqoEncoding::kCp932, 1, 8, 6, 0, 0, 6, 0, 1},
    {"blendermqo_single_object_with_bvertex.mqo", 11, MqoEncoding::kCp932, 1, 8, 6, 0, 0, 6, 0, 1},
    {"blendermqo_single_object_with_dup_vertices.mqo", 11, MqoEncoding::kCp932, 1, 8, 6, 0, 0, 5, 1, 1},
    {"blendermqo_single_object_with_edge.mqo", 11, MqoEncoding::kCp932, 1, 11, 8, 2, 0, 6, 0, 1},
    {"blendermqo_texture.mqo", 11, MqoEncoding::kCp932, 1, 8, 6, 0, 0, 6, 0, 1},
    {"blendermqo_vertexattr.mqo", 11, MqoEncoding::kCp932, 1, 8, 6, 0, 0, 6, 0, 1},
    {"gvc_am_kobra.mqo", 11, MqoEncoding::kCp932, 3, 140, 226, 0, 220, 6, 0, 2},
    {"gvc_block_gunrack_rti2.mqo", 10, MqoEncoding::kCp932, 6, 7470, 12612, 0, 12612, 0, 0, 1},
    {"gvc_magazine.mqo", 10, MqoEncoding::kCp932, 1, 72, 54, 0, 0, 54, 0, 1},
    {"psc_mug.mqo", 10, MqoEncoding::kCp932, 1, 1025, 1978, 0, 1978, 0, 0, 1},
    {"psc_torus.mqo", 10, MqoEncoding::kCp932, 1, 900, 1800, 0, 1800, 0, 0, 1},
    {"pymeshio_cube.mqo", 10, MqoEncoding::kCp932, 1, 8, 6, 0, 0, 6, 0, 6},
    {"rtm_Model_none.mqo", 11, MqoEncoding::kCp932, 0, 0, 0, 0, 0, 0, 0, 1},
    {"rtm_wood01.mqo", 11, MqoEncoding::kCp932, 60, 13027, 8784, 0, 304, 8480, 0, 1},
    {"shapesphere_kaisoutest.mqo", 11, MqoEncoding::kCp932, 5, 15, 5, 0, 5, 0, 0, 1},
    {"vastspace_A10-cockpit.mqo", 10, MqoEncoding::kCp932, 1, 33, 56, 0, 56, 0, 0, 7},
    {"vastspace_ReZEL.mqo", 10, MqoEncoding::kCp932, 35, 1319, 1396, 38, 458, 900, 0, 8},
    {"vastspace_type90_ver10.mqo", 10, MqoEncoding::kCp932, 4, 169, 135, 2, 35, 98, 0, 3},
    {"vastspace_type90_ver11.mqo", 11, MqoEncoding::kCp932, 5, 171, 136, 3, 35, 98, 0, 3},
    {"wanwan_cube02.mqo", 10, MqoEncoding::kCp932, 1, 8, 12, 0, 12, 0, 0, 1},
    {"wanwan_cube_crlf.mqo", 10, MqoEncoding::kCp932, 1, 8, 6, 0, 0, 6, 0, 1},
    {"wanwan_cube_lf.mqo", 10, MqoEncoding::kCp932, 1, 8, 6, 0, 0, 6, 0, 1},
    {"wanwan_includexml.mqo", 10, MqoEncoding::kCp932, 1, 8, 6, 0, 0, 6, 0, 1},
    {"wanwan_miku01.mqo", 10, MqoEncoding::kCp932, 3, 1364, 2369, 0, 2367, 2, 0, 2},
    {"wanwan_trialnoise.mqo", 10, MqoEncoding::kCp932, 1, 8, 6, 0, 0, 6, 0, 1},
    {"wertrain_dice.mqo", 10, MqoEncoding::kCp932, 1, 8, 6, 0, 0, 6, 0, 1},
    {"wertrain_heisi.mqo", 10, MqoEncoding::kCp932, 7, 464, 470, 6, 236, 228, 0, 5},
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

CMeshwright EmptyScene() {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  return s;
}

TEST(MqoTestData, EveryDocumentImportsWithItsCounts) {
  MW_REQUIRE_TESTDATA();
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(test::TestData("mqo")))
    files += entry.path().extension() == ".mqo";
  EXPECT_EQ(files, std::size(kFiles)) << "a document in the test data has no row here";
  for (const Expected& e : kFiles) {
    CMeshwright s = EmptyScene();
    MqoReadInfo info;
    const bool ok = ImportMetasequoia(s, test::TestData(std::string("mqo/") + e.file).string(), &info);
    EXPECT_TRUE(ok) << e.file << " " << MqoErrorName(info.code);
    EXPECT_EQ(info.version, e.version) << e.file;
    EXPECT_EQ(info.encoding, e.encoding) << e.file;
    EXPECT_TRUE(info.warnings.empty()) << e.file << ": " << (info.warnings.empty() ? "" : info.warnings[0]);
    std::size_t v, f;
    Counts(s, v, f);
    std::size_t byCorners[5] = {};  // 2, 3, 4, more, other
    for (const CModel& m : s.models)
      for (const CFace& face : m.faces) {
        const std::size_t n = face.indices.size();
        ++byCorners[n >= 2 && n <= 4 ? n - 2 : (n > 4 ? 3 : 4)];
      }
    EXPECT_EQ(s.models.size(), e.models) << e.file;
    EXPECT_EQ(v, e.vertices) << e.file;
    EXPECT_EQ(f, e.faces) << e.file;
    EXPECT_EQ(byCorners[0], e.faces2) << e.file;
    EXPECT_EQ(byCorners[1], e.faces3) << e.file;
    EXPECT_EQ(byCorners[2], e.faces4) << e.file;
    EXPECT_EQ(byCorners[3], e.facesMore) << e.file;
    EXPECT_EQ(byCorners[4], 0u) << e.file;
    EXPECT_EQ(s.materials.size(), e.materials) << e.file;
  }
}

TEST(MqoTestData, RoundTripsKeepGeometryMaterialsAndUVs) {
  MW_REQUIRE_TESTDATA();
  test::TempDir dir;
  for (const Expected& g : kFiles) {
    CMeshwright a = EmptyScene();
    ASSERT_TRUE(ImportMetasequoia(a, test::TestData(std::string("mqo/") + g.file).string()));
    // Mirrors are applied at import; the copies are ordinary geometry afterwards.
    for (CModel& m : a.models) m.mirrorAxis = 0;
    // Through the archive first, then out as a Metasequoia document again.
    std::vector<std::uint8_t> archived;
    WriteScene(a, archived);
    CMeshwright fromArchive;
    ASSERT_TRUE(ReadScene(fromArchive, archived.data(), archived.size()).ok()) << g.file;
    const std::string path = (dir / "rt.mqo").string();
    MqoWriteInfo written;
    ASSERT_TRUE(ExportMetasequoia(fromArchive, path, nullptr, &written)) << g.file;
    EXPECT_TRUE(written.warnings.empty()) << g.file;
    EXPECT_EQ(written.version, g.facesMore ? 11 : 10) << g.file;
    CMeshwright b = EmptyScene();
    ASSERT_TRUE(ImportMetasequoia(b, path)) << g.file;
    // The archive keeps no display state; straight out and back in, hidden and locked objects stay so.
    {
      ASSERT_TRUE(ExportMetasequoia(a, path)) << g.file;
      CMeshwright direct = EmptyScene();
      ASSERT_TRUE(ImportMetasequoia(direct, path)) << g.file;
      ASSERT_EQ(direct.models.size(), a.models.size()) << g.file;
      for (std::size_t i = 0; i < a.models.size(); ++i) EXPECT_EQ(direct.models[i].state, a.models[i].state) << g.file;
    }
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
      EXPECT_EQ(x.facet, y.facet);
      ASSERT_EQ(x.vertices.size(), y.vertices.size()) << g.file;
      for (std::size_t k = 0; k < x.vertices.size(); ++k) {
        EXPECT_NEAR(x.vertices[k].position.x, y.vertices[k].position.x,
                    1e-6 * (1 + std::fabs(x.vertices[k].position.x)));
        EXPECT_NEAR(x.vertices[k].position.z, y.vertices[k].position.z,
                    1e-6 * (1 + std::fabs(x.vertices[k].position.z)));
      }
      ASSERT_EQ(x.faces.size(), y.faces.size()) << g.file;
      for (std::size_t k = 0; k < x.faces.size(); ++k) {
        EXPECT_EQ(x.faces[k].indices, y.faces[k].indices);
        EXPECT_EQ(x.faces[k].material, y.faces[k].material);
        if (x.faces[k].indices.size() >= 3) {
          ASSERT_EQ(x.faces[k].uvs.size(), y.faces[k].uvs.size()) << g.file << " face " << k;
          for (std::size_t c = 0; c < x.faces[k].uvs.size(); ++c) {
            EXPECT_NEAR(x.faces[k].uvs[c].u, y.faces[k].uvs[c].u, 1e-6);
            EXPECT_NEAR(x.faces[k].uvs[c].v, y.faces[k].uvs[c].v, 1e-6);
          }
        }
      }
    }
  }
}

// Documents as writers that know only UTF-8 produce them: the same text with its names in UTF-8,
// once without a CodePage line (detected) and once declaring "CodePage utf8". Names come back as
// the CP932 bytes of the original.
TEST(MqoTestData, UtfEightCopiesReadWithTheSameNames) {
  MW_REQUIRE_TESTDATA();
  test::TempDir dir;
  std::size_t converted = 0;
  for (const Expected& e : kFiles) {
    const auto bytes = test::ReadBytes(test::TestData(std::string("mqo/") + e.file));
    const std::string original(bytes.begin(), bytes.end());
    if (original.find('\0') != std::string::npos) continue;  // binary blocks stay as they are
    std::string utf8 = Cp932ToUtf8(original);
    if (utf8 == original) continue;  // nothing beyond ASCII
    ++converted;
    const std::size_t codePage = utf8.find("CodePage 932");
    if (codePage != std::string::npos) utf8.erase(codePage, utf8.find('\n', codePage) + 1 - codePage);
    const std::size_t afterHeader = utf8.find('\n', utf8.find('\n') + 1) + 1;
    std::string declared = utf8;
    declared.insert(afterHeader, "CodePage utf8\r\n");
    CMeshwright a = EmptyScene();
    ASSERT_TRUE(ImportMetasequoia(a, test::TestData(std::string("mqo/") + e.file).string()));
    for (int variant = 0; variant < 2; ++variant) {
      const std::string& text = variant ? declared : utf8;
      const std::string path = (dir / "utf8.mqo").string();
      test::WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
      CMeshwright b = EmptyScene();
      MqoReadInfo info;
      ASSERT_TRUE(ImportMetasequoia(b, path, &info)) << e.file << " " << MqoErrorName(info.code);
      EXPECT_EQ(info.encoding, MqoEncoding::kUtf8) << e.file;
      EXPECT_EQ(info.codePageDeclared, variant == 1) << e.file;
      EXPECT_TRUE(info.warnings.empty()) << e.file;
      ASSERT_EQ(b.models.size(), a.models.size()) << e.file;
      for (std::size_t i = 0; i < a.models.size(); ++i) {
        EXPECT_EQ(b.models[i].name, a.models[i].name) << e.file;
        EXPECT_EQ(b.models[i].vertices.size(), a.models[i].vertices.size()) << e.file;
        EXPECT_EQ(b.models[i].faces.size(), a.models[i].faces.size()) << e.file;
      }
      ASSERT_EQ(b.materials.size(), a.materials.size()) << e.file;
      for (std::size_t i = 0; i < a.materials.size(); ++i) {
        EXPECT_EQ(b.materials[i].name, a.materials[i].name) << e.file;
        EXPECT_EQ(b.materials[i].texture, a.materials[i].texture) << e.file;
        EXPECT_EQ(b.materials[i].alphaPlane, a.materials[i].alphaPlane) << e.file;
      }
    }
  }
  EXPECT_GE(converted, 2u);
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
