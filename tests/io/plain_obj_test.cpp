// The plain OBJ reader (io/plain_obj.h) against Assimp's: every file it takes, from the shared
// test files and a table of small ones, must give the very document Assimp's reader gives, and
// every file with more in it must be left to Assimp.
#include "io/plain_obj.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "io/assimp_io.h"
#include "scene/archive.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> Bytes(const CMeshwright& s) {
  std::vector<std::uint8_t> out;
  WriteScene(s, out);
  return out;
}

// Whether the plain reader took the file; when it did, Assimp's reading must be the same document.
bool SameAsAssimp(const fs::path& path) {
  CMeshwright plain, assimp;
  plain.ResetScene();
  assimp.ResetScene();
  assimp.smoothing = plain.smoothing = 1;
  DocumentResult r;
  if (!ReadPlainObj(plain, path.string(), r)) return false;
  EXPECT_TRUE(r.ok()) << path;
  const DocumentResult a = ImportAssimp(assimp, path.string());
  EXPECT_TRUE(a.ok()) << path << ": " << a.detail;
  EXPECT_TRUE(a.warnings.empty()) << path << ": " << (a.warnings.empty() ? "" : a.warnings[0]);
  EXPECT_EQ(Bytes(plain), Bytes(assimp)) << path;
  for (std::size_t m = 0; m < plain.models.size() && m < assimp.models.size(); ++m)
    for (std::size_t v = 0; v < plain.models[m].vertices.size() && v < assimp.models[m].vertices.size(); ++v)
      EXPECT_EQ(plain.models[m].vertices[v].normal, assimp.models[m].vertices[v].normal) << path;
  return true;
}

TEST(PlainObj, FilesItTakesReadAsAssimpReadsThemAndTheRestAreLeftToAssimp) {
  const test::TempDir dir;
  struct Case {
    const char* name;
    const char* text;
    bool plain;
  };
  const std::vector<Case> cases = {
      {"quad", "v -1 0 -1\nv -1 0 1\nv 1 0 1\nv 1 0 -1\nf 1 2 3 4\n", true},
      {"uvs and normals", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1 0.5\nvn 0 0 1\n"
                          "f 1/1/1 2/2/1 3/3/1\nf 1/1 3/3 4/2\n", true},
      // Two positions at one place (0 and -0 too) are one vertex; an unused position is none.
      {"shared places", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv -0 0 0\nv 5 5 5\nv 1 1 0\nf 1 2 3\nf 4 6 2\n", true},
      {"negative indices", "v 0 0 0\nv 1 0 0\nv 1 1 0\nf -3 -2 -1\nv 0 1 0\nf 1 -2 -1\n", true},
      {"crlf and comments", "# made elsewhere\r\nv 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nf 1 2 3\r\n", true},
      {"mixed uvs", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0 0\nf 1/1 2/1 3/1\nf 2 4 3\n", false},
      {"library", "mtllib none.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", false},
      {"material", "v 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl red\nf 1 2 3\n", false},
      {"groups", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\ng a\nf 1 2 3\ng b\nf 2 4 3\n", false},
      {"object", "o thing\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", false},
      {"line", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nl 1 2\n", false},
      {"two-corner face", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2\n", false},
      {"out of range", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 99\n", false},
      {"zero index", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n", false},
      {"colours", "v 0 0 0 1 0 0\nv 1 0 0 1 0 0\nv 0 1 0 1 0 0\nf 1 2 3\n", false},
      {"no faces", "v 0 0 0\nv 1 0 0\n", false},
  };
  for (const Case& c : cases) {
    const fs::path path = dir / (std::string(c.name) + ".obj");
    test::WriteBytes(path, std::vector<std::uint8_t>(c.text, c.text + std::string_view(c.text).size()));
    EXPECT_EQ(SameAsAssimp(path), c.plain) << c.name;
  }
  // A face of 300 corners, more than the library's count of a face holds.
  std::string big;
  for (int i = 0; i < 300; ++i) big += "v " + std::to_string(i) + " " + std::to_string(i % 7) + " 0\n";
  big += "f";
  for (int i = 1; i <= 300; ++i) big += " " + std::to_string(i);
  big += "\n";
  test::WriteBytes(dir / "big.obj", std::vector<std::uint8_t>(big.begin(), big.end()));
  EXPECT_FALSE(SameAsAssimp(dir / "big.obj"));

  MW_REQUIRE_TESTDATA();
  std::size_t plain = 0;
  for (const auto& entry : fs::recursive_directory_iterator(test::TestData("obj")))
    if (entry.path().extension() == ".obj") plain += SameAsAssimp(entry.path());
  EXPECT_GE(plain, 2u);  // the torus with creases and the negative indices are plain
}

}  // namespace
}  // namespace mw
