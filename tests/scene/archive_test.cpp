#include "scene/archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/read_progress.h"
#include "tests/support/scene_samples.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Write(const CMeshwright& s) {
  Bytes out;
  WriteScene(s, out);
  return out;
}

CMeshwright NewDocument() {
  CMeshwright s;
  s.ResetScene();
  return s;
}

// Several models and materials, a textured quadrilateral, lines, shared vertices, Japanese names.
CMeshwright RichScene() {
  CMeshwright s = NewDocument();
  s.reservedWord = 77;
  s.smoothing = 0;
  s.nextMaterialId = 5;
  s.camera.translation = CVector(1.5f, -2.25f, -1999.0f);
  s.camera.rotation = CVector(33, 44, 55);
  s.camera.scale = CVector(2, 3, 4);
  s.camera.frame = 12;
  CModel& a = s.models[0];
  a.name = "\x83\x65\x83\x58\x83\x67";  // テスト
  a.reservedInt = -5;
  a.secondName = "second";
  a.facet = 59.5f;
  a.vertices = {CVertex(0, 0, 0), CVertex(100, 0, 0), CVertex(100, 100, 0), CVertex(0, 100, 0.125f)};
  CFace quad;
  quad.indices = {0, 1, 2, 3};
  quad.uvs = {CUV(0, 0), CUV(0, 1), CUV(1, 1), CUV(1, 0)};
  quad.material = 3;
  CFace line;
  line.indices = {0, 2};
  line.material = -1;
  CFace tri;
  tri.indices = {1, 2, 3};
  tri.material = 4;
  a.faces = {quad, line, tri};
  a.RebuildFaceRefs();
  a.ComputeNormals(1);
  CModel b;
  b.name = std::string(300, 'n');
  b.vertices = {CVertex(-1, -2, -3)};
  b.mirrorAxis = 7;
  b.state = 3;
  b.vertices[0].selected = 1;
  s.models.push_back(b);
  s.models.emplace_back();
  CMaterial m0(3);
  m0.name = "\x8D\xDE\x8E\xBF";  // 材質
  m0.color[0] = 0.1f;
  m0.color[3] = 0.5f;
  m0.diffuse = 0.9f;
  m0.ambient = 0.3f;
  m0.emissive = 0.2f;
  m0.specular = 0.4f;
  m0.power = 128.0f;
  m0.texture = "wood.bmp";
  m0.alphaPlane = "alpha.bmp";
  m0.bump = "bump.bmp";
  s.materials = {m0, CMaterial(4)};
  return s;
}

void ExpectSameArchivedContent(const CMeshwright& a, const CMeshwright& b) {
  EXPECT_EQ(a.reservedWord, b.reservedWord);
  EXPECT_EQ(a.nextMaterialId, b.nextMaterialId);
  EXPECT_EQ(a.smoothing, b.smoothing);
  EXPECT_EQ(a.camera.translation, b.camera.translation);
  EXPECT_EQ(a.camera.rotation, b.camera.rotation);
  EXPECT_EQ(a.camera.scale, b.camera.scale);
  EXPECT_EQ(a.camera.frame, b.camera.frame);
  ASSERT_EQ(a.models.size(), b.models.size());
  for (std::size_t i = 0; i < a.models.size(); ++i) {
    const CModel& x = a.models[i];
    const CModel& y = b.models[i];
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.reservedInt, y.reservedInt);
    EXPECT_EQ(x.secondName, y.secondName);
    EXPECT_EQ(x.facet, y.facet);
    ASSERT_EQ(x.vertices.size(), y.vertices.size());
    for (std::size_t v = 0; v < x.vertices.size(); ++v) {
      EXPECT_EQ(x.vertices[v].position, y.vertices[v].position);
      EXPECT_EQ(x.vertices[v].faceRefs, y.vertices[v].faceRefs);
    }
    ASSERT_EQ(x.faces.size(), y.faces.size());
    for (std::size_t f = 0; f < x.faces.size(); ++f) {
      EXPECT_EQ(x.faces[f].indices, y.faces[f].indices);
      EXPECT_EQ(x.faces[f].uvs, y.faces[f].uvs);
      EXPECT_EQ(x.faces[f].material, y.faces[f].material);
      EXPECT_EQ(x.faces[f].normal, y.faces[f].normal);
    }
  }
  ASSERT_EQ(a.materials.size(), b.materials.size());
  for (std::size_t i = 0; i < a.materials.size(); ++i) {
    const CMaterial& x = a.materials[i];
    const CMaterial& y = b.materials[i];
    EXPECT_EQ(x.id, y.id);
    test::ExpectSameMaterialFields(x, y);
  }
}

TEST(ArchiveWrite, NewDocumentIsExactlyTheseBytes) {
  const Bytes got = Write(NewDocument());
  const Bytes want = {1,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
                      0,    0,    0,    0,    1,    0,    0,    0,              // counts, reserved, next id, smoothing
                      5,    'M',  'o',  'd',  'e',  'l',  0,    0,    0,    0,  // name, reservedInt (0 here)
                      6,    '<',  'N',  'U',  'L',  'L',  '>',  0,    0,    0,    0,    0,
                      0,    0,    0,    0,    0,    0,    0,  // second name, V, F, facet
                      0,    0,    0,    0,    0,    0,    0,    0,    0x00, 0x00, 0xFA, 0xC4,  // translation
                      0x00, 0x00, 0xA0, 0x41, 0x00, 0x00, 0x20, 0x41, 0,    0,    0,    0,     // rotation
                      0,    0,    0x80, 0x3F, 0,    0,    0x80, 0x3F, 0,    0,    0x80, 0x3F,  // scale
                      0,    0,    0,    0};                                                    // frame
  ASSERT_EQ(got.size(), 89u);
  EXPECT_EQ(got, want);
}

TEST(ArchiveWrite, TextPrefixesAtTheirBoundaries) {
  auto prefix = [](std::uint64_t n) {
    Bytes out;
    AppendTextPrefix(out, n);
    return out;
  };
  EXPECT_EQ(prefix(0), (Bytes{0x00}));
  EXPECT_EQ(prefix(254), (Bytes{0xFE}));
  EXPECT_EQ(prefix(255), (Bytes{0xFF, 0xFF, 0x00}));
  EXPECT_EQ(prefix(65533), (Bytes{0xFF, 0xFD, 0xFF}));
  EXPECT_EQ(prefix(65534), (Bytes{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(prefix(0xFFFFFFFFull),
            (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
}

TEST(ArchiveRead, LongNamesAtEveryPrefixFormRoundTrip) {
  for (std::size_t n : {0u, 254u, 255u, 65533u, 65534u, 70000u}) {
    CMeshwright s = NewDocument();
    s.models[0].name = std::string(n, 'a');
    CMeshwright t = NewDocument();
    const Bytes bytes = Write(s);
    ASSERT_TRUE(ReadScene(t, bytes.data(), bytes.size()).ok()) << n;
    EXPECT_EQ(t.models[0].name.size(), n);
  }
}

TEST(ArchiveRead, WideTextFromAnotherWriterIsConvertedToCp932) {
  Bytes bytes = Write(NewDocument());
  // Replace the model name (offset 20: 05 "Model") with FF FE FF, length 3, UTF-16LE "aテ!".
  const Bytes wide = {0xFF, 0xFE, 0xFF, 0x03, 'a', 0x00, 0xC6, 0x30, '!', 0x00};
  bytes.erase(bytes.begin() + 20, bytes.begin() + 26);
  bytes.insert(bytes.begin() + 20, wide.begin(), wide.end());
  CMeshwright s;
  ASSERT_TRUE(ReadScene(s, bytes.data(), bytes.size()).ok());
  EXPECT_EQ(s.models[0].name, "a\x83\x65!");
}

TEST(ArchiveWrite, RecordSizesOfFacesAndSharedVertices) {
  CMeshwright s = NewDocument();
  const std::size_t base = Write(s).size();
  CModel& m = s.models[0];
  m.vertices = {CVertex(), CVertex(), CVertex(), CVertex()};
  const std::size_t withVertices = Write(s).size();
  EXPECT_EQ(withVertices - base, 4 * 16u);
  CFace line;
  line.indices = {0, 1};
  m.faces = {line};
  EXPECT_EQ(Write(s).size() - withVertices, 32u);
  CFace quad;
  quad.indices = {0, 1, 2, 3};
  quad.uvs = {CUV(), CUV(), CUV(), CUV()};
  m.faces = {quad};
  EXPECT_EQ(Write(s).size() - withVertices, 72u);
  m.faces = {line, line, line};
  m.RebuildFaceRefs();
  EXPECT_EQ(Write(s).size() - withVertices, 3 * 32u + 2 * 12u);  // vertices 0 and 1: three references each
}

// Bytes the rich scene's display states and mirror axes add after the fixed layout (the optional
// block after the last material): a cut inside it leaves the fixed part whole.
std::size_t BlockLength() {
  CMeshwright plain = RichScene();
  for (CModel& m : plain.models) m.state = kStateNormal, m.mirrorAxis = 0;
  return Write(RichScene()).size() - Write(plain).size();
}

TEST(ArchiveRead, RoundTripKeepsEveryArchivedField) {
  const CMeshwright original = RichScene();
  const Bytes bytes = Write(original);
  CMeshwright loaded = NewDocument();
  loaded.zoom = 250.0f;
  loaded.editMode = 3;
  ASSERT_TRUE(ReadScene(loaded, bytes.data(), bytes.size()).ok());
  ExpectSameArchivedContent(original, loaded);
  // Display state and mirror axes come back through the block after the materials; what the file
  // does not carry falls back to defaults or stays as it was.
  EXPECT_EQ(loaded.models[1].state, 3);
  EXPECT_EQ(loaded.models[1].mirrorAxis, 7);
  EXPECT_EQ(loaded.models[1].vertices[0].selected, 0);
  EXPECT_EQ(loaded.zoom, 250.0f);
  EXPECT_EQ(loaded.editMode, 3);
  // Derived colours match the loaded factors.
  EXPECT_FLOAT_EQ(loaded.materials[0].diffuseRGBA[0], 0.1f * 0.9f);
  EXPECT_EQ(Write(loaded), bytes);
}

// Faces of 5, 6, 7 and `size` corners (past the inline storage of a face's lists), with and
// without texture coordinates, awkward values in every field; `size` vertices, at least 20.
CMeshwright ManyCornerScene(int size = 300) {
  CMeshwright s = NewDocument();
  CModel& m = s.models[0];
  for (int i = 0; i < size; ++i)
    m.vertices.emplace_back(static_cast<float>(std::cos(i / 47.7)) * 1234.567f, -0.1f * i,
                            1e-3f * static_cast<float>(i * i));
  CFace hexagon;
  hexagon.indices = {0, 7, 3, size - 1, 19, 8};
  hexagon.uvs = {CUV(0.1f, -0.2f), CUV(1.0f / 3, 2.5f), CUV(-7.75f, 0),
                 CUV(1e-8f, 1e8f), CUV(0.5f, 0.5f),     CUV(-0.0f, 9)};
  hexagon.material = 0x7FFFFFFF;
  hexagon.normal = CVector(-0.37f, 1e-30f, 6.02e23f);
  CFace pentagon;
  pentagon.indices = {4, 3, 2, 1, 0};
  pentagon.material = -1;
  CFace heptagon;
  heptagon.indices = {10, 11, 12, 13, 14, 15, 16};
  heptagon.uvs = {CUV(1, 2), CUV(3, 4)};  // fewer than its corners: kept as it is
  heptagon.material = 6;
  CFace big;
  for (int i = size - 1; i >= 0; --i) {
    big.AddIndex(i);
    big.AddUV(CUV(static_cast<float>(i) / static_cast<float>(size - 1), static_cast<float>(i % 7) / 7.0f));
  }
  big.material = 2;
  m.faces = {hexagon, pentagon, heptagon, big};
  m.RebuildFaceRefs();
  return s;
}

TEST(ArchiveRead, FacesOfManyCornersRoundTripWithEveryField) {
  const CMeshwright original = ManyCornerScene();
  const Bytes bytes = Write(original);
  CMeshwright loaded = NewDocument();
  ASSERT_TRUE(ReadScene(loaded, bytes.data(), bytes.size()).ok());
  ExpectSameArchivedContent(original, loaded);
  ASSERT_EQ(loaded.models[0].faces.size(), 4u);
  EXPECT_EQ(loaded.models[0].faces[3].CornerCount(), 300u);
  EXPECT_EQ(loaded.models[0].faces[2].UVCount(), 2u);
  EXPECT_EQ(Write(loaded), bytes);
  // A face record is 24 bytes and 4 per corner and 8 per texture coordinate.
  CMeshwright one = NewDocument();
  one.models[0].vertices = original.models[0].vertices;
  one.models[0].faces = {original.models[0].faces[0]};
  CMeshwright none = one;
  none.models[0].faces.clear();
  for (CMeshwright* s : {&one, &none}) s->models[0].RebuildFaceRefs();
  EXPECT_EQ(Write(one).size() - Write(none).size(), 24u + 6 * 4 + 6 * 8 + 6 * 4);  // + a reference per corner
}

TEST(ArchiveRead, EveryPrefixOfManyCornerFacesFailsCleanly) {
  const Bytes bytes = Write(ManyCornerScene(20));
  const Bytes beforeBytes = Write(NewDocument());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    CMeshwright s = NewDocument();
    ASSERT_EQ(ReadScene(s, bytes.data(), n).error, ArchiveError::kUnexpectedFormat) << "prefix " << n;
    ASSERT_EQ(Write(s), beforeBytes) << "prefix " << n;
  }
}

TEST(ArchiveRead, EveryPrefixFailsCleanlyAndLeavesTheSceneAlone) {
  const Bytes bytes = Write(RichScene());
  const CMeshwright before = NewDocument();
  const Bytes beforeBytes = Write(before);
  for (std::size_t n = 0; n < bytes.size() - BlockLength(); ++n) {
    CMeshwright s = NewDocument();
    ArchiveResult r = ReadScene(s, bytes.data(), n);
    ASSERT_FALSE(r.ok()) << "prefix " << n;
    EXPECT_EQ(r.error, ArchiveError::kUnexpectedFormat) << "prefix " << n;
    ASSERT_EQ(Write(s), beforeBytes) << "prefix " << n;
  }
}

TEST(ArchiveRead, FileEndingInsideTheLastBumpNameIsUnexpectedFormat) {
  const Bytes bytes = Write(RichScene());
  CMeshwright s = NewDocument();
  ArchiveResult r = ReadScene(s, bytes.data(), bytes.size() - BlockLength() - 1);
  EXPECT_EQ(r.error, ArchiveError::kUnexpectedFormat);
  ASSERT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].name, "Model");
}

void Poke32(Bytes& b, std::size_t at, std::int32_t v) { std::memcpy(b.data() + at, &v, 4); }

TEST(ArchiveRead, NegativeAndOversizedCountsFailBeforeAllocating) {
  const Bytes good = Write(NewDocument());
  struct Case {
    std::size_t offset;
    std::int32_t value;
  };
  // 0: models, 4: materials, 37: vertex count, 41: face count of the one model.
  for (Case c : {Case{0, -1}, Case{4, -1}, Case{0, 0x7FFFFFFF}, Case{4, 0x7FFFFFFF}, Case{37, -3}, Case{41, -3},
                 Case{37, 0x7FFFFFFF}, Case{41, 0x40000000}}) {
    Bytes b = good;
    Poke32(b, c.offset, c.value);
    CMeshwright s = NewDocument();
    ArchiveResult r = ReadScene(s, b.data(), b.size());
    EXPECT_EQ(r.error, ArchiveError::kUnexpectedFormat) << c.offset << " = " << c.value;
    EXPECT_EQ(Write(s), good);
  }
}

TEST(ArchiveRead, CountsInsideRecordsAreBoundedByTheFile) {
  CMeshwright s = NewDocument();
  s.models[0].vertices = {CVertex(1, 2, 3)};
  CFace f;
  f.indices = {0};
  s.models[0].faces = {f};
  s.models[0].RebuildFaceRefs();
  const Bytes good = Write(s);
  // The vertex record starts at 49: position (12), R at 61.
  for (std::size_t at : {std::size_t{61}}) {
    for (std::int32_t v : {-1, 0x20000000}) {
      Bytes b = good;
      Poke32(b, at, v);
      CMeshwright t = NewDocument();
      EXPECT_EQ(ReadScene(t, b.data(), b.size()).error, ArchiveError::kUnexpectedFormat);
    }
  }
  // The face record at 69: normal (12) and material (4), K at 85, the index at 89, T at 93.
  for (std::size_t at : {std::size_t{85}, std::size_t{93}}) {
    for (std::int32_t v : {-1, 0x20000000}) {
      Bytes b = good;
      Poke32(b, at, v);
      CMeshwright t = NewDocument();
      EXPECT_EQ(ReadScene(t, b.data(), b.size()).error, ArchiveError::kUnexpectedFormat) << at << " " << v;
    }
  }
}

TEST(ArchiveRead, IndicesOutsideTheirListsFail) {
  CMeshwright s = NewDocument();
  s.models[0].vertices = {CVertex(1, 2, 3)};
  CFace f;
  f.indices = {0};
  s.models[0].faces = {f};
  s.models[0].RebuildFaceRefs();
  const Bytes good = Write(s);
  {
    CMeshwright t = NewDocument();
    ASSERT_TRUE(ReadScene(t, good.data(), good.size()).ok());
  }
  for (auto [at, v] : {std::pair<std::size_t, std::int32_t>{89, 1}, {89, -1}, {65, 1}, {65, -1}}) {
    Bytes b = good;
    Poke32(b, at, v);
    CMeshwright t = NewDocument();
    EXPECT_EQ(ReadScene(t, b.data(), b.size()).error, ArchiveError::kUnexpectedFormat) << at << " " << v;
    EXPECT_EQ(t.models[0].vertices.size(), 0u);
  }
}

TEST(ArchiveRead, TextLengthAboveTheLimitIsTheGeneralOpenFailure) {
  Bytes b = Write(NewDocument());
  const Bytes huge = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0, 0, 0, 0};
  b.erase(b.begin() + 20, b.begin() + 26);
  b.insert(b.begin() + 20, huge.begin(), huge.end());
  CMeshwright s = NewDocument();
  ArchiveResult r = ReadScene(s, b.data(), b.size());
  EXPECT_EQ(r.error, ArchiveError::kOpenFailed);
}

TEST(ArchiveFile, EmptyFileOpensAndChangesNothing) {
  test::TempDir dir;
  const auto path = dir / "empty.mwr";
  test::WriteBytes(path, {});
  CMeshwright s = RichScene();
  const Bytes before = Write(s);
  EXPECT_TRUE(OpenSceneFile(s, path.string()).ok());
  EXPECT_EQ(Write(s), before);
}

TEST(ArchiveFile, SaveThenOpenAndMissingFiles) {
  test::TempDir dir;
  const auto path = dir / "scene.mwr";
  const CMeshwright original = RichScene();
  ASSERT_TRUE(SaveSceneFile(original, path.string()).ok());
  CMeshwright loaded = NewDocument();
  ASSERT_TRUE(OpenSceneFile(loaded, path.string()).ok());
  ExpectSameArchivedContent(original, loaded);

  ArchiveResult missing = OpenSceneFile(loaded, (dir / "nope.mwr").string());
  EXPECT_EQ(missing.error, ArchiveError::kFileError);
  EXPECT_EQ(missing.systemError, ENOENT);
  ArchiveResult unwritable = SaveSceneFile(original, (dir / "no/dir/x.mwr").string());
  EXPECT_EQ(unwritable.error, ArchiveError::kFileError);
  EXPECT_EQ(unwritable.systemError, ENOENT);
  // A folder opens for reading; it must not be taken for a document.
  ArchiveResult folder = OpenSceneFile(loaded, dir.path().string());
  EXPECT_EQ(folder.error, ArchiveError::kFileError);
  EXPECT_EQ(folder.systemError, EISDIR);
}

// A file several times the reader's window, whose records come in every size: vertices with 0 to
// 9 face references, faces of 1 to 11 corners with and without texture coordinates, a name longer
// than the window and a wide name, so records and texts straddle window edges at many offsets.
Bytes StraddlingFile() {
  CMeshwright s = RichScene();
  CModel& m = s.models[0];
  m.name = std::string(700 * 1024 + 3, 'w');
  const int n = 30011;
  m.vertices.clear();
  m.faces.clear();
  for (int i = 0; i < n; ++i)
    m.vertices.emplace_back(0.5f * static_cast<float>(i), -1.0f / static_cast<float>(i + 3), 7e-3f);
  for (int i = 0; i < n; ++i) {
    CFace f;
    const int corners = 1 + (i * 7) % 11;
    for (int c = 0; c < corners; ++c) {
      f.AddIndex((i + c * 13) % n);
      if (i % 3 != 0) f.AddUV(CUV(static_cast<float>(c) / 3.0f, -static_cast<float>(i)));
    }
    f.material = i % 5 - 1;
    f.normal = CVector(static_cast<float>(i), 1.25f, -3);
    m.faces.push_back(f);
  }
  m.RebuildFaceRefs();
  Bytes bytes = Write(s);
  // The second model's name as another writer stores it: UTF-16, here "テスト".
  const Bytes plain = {0xFF, 0x2C, 0x01};  // the 300-byte name's prefix
  const auto at = std::search(bytes.begin(), bytes.end(), plain.begin(), plain.end());
  EXPECT_NE(at, bytes.end());
  const Bytes wide = {0xFF, 0xFE, 0xFF, 3, 0xC6, 0x30, 0xB9, 0x30, 0xC8, 0x30};
  const auto offset = at - bytes.begin();
  bytes.erase(bytes.begin() + offset, bytes.begin() + offset + 3 + 300);
  bytes.insert(bytes.begin() + offset, wide.begin(), wide.end());
  return bytes;
}

TEST(ArchiveFile, LargeFileReadsExactlyAsFromMemory) {
  test::TempDir dir;
  const auto path = dir / "large.mwr";
  const Bytes bytes = StraddlingFile();
  ASSERT_GT(bytes.size(), 3u * 256 * 1024);
  test::WriteBytes(path, bytes);
  CMeshwright fromMemory = NewDocument();
  ASSERT_TRUE(ReadScene(fromMemory, bytes.data(), bytes.size()).ok());
  CMeshwright fromFile = NewDocument();
  ASSERT_TRUE(OpenSceneFile(fromFile, path.string()).ok());
  ExpectSameArchivedContent(fromMemory, fromFile);
  EXPECT_EQ(fromFile.models[1].name, "\x83\x65\x83\x58\x83\x67");
  EXPECT_EQ(Write(fromFile), Write(fromMemory));
}

TEST(ArchiveFile, FilesCutShortAroundWindowEdgesFailAndLeaveTheScene) {
  test::TempDir dir;
  const Bytes bytes = StraddlingFile();
  const CMeshwright rich = RichScene();
  const Bytes before = Write(rich);
  constexpr std::size_t kWindow = 256 * 1024;
  for (std::size_t n : {std::size_t{5}, kWindow - 1, kWindow, kWindow + 1, 2 * kWindow + 17, 3 * kWindow,
                        bytes.size() - BlockLength() - 40, bytes.size() - BlockLength() - 1}) {
    const auto path = dir / ("cut" + std::to_string(n) + ".mwr");
    test::WriteBytes(path, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)));
    CMeshwright s = rich;
    EXPECT_EQ(OpenSceneFile(s, path.string()).error, ArchiveError::kUnexpectedFormat) << n;
    EXPECT_EQ(Write(s), before) << n;
  }
  // A bad index far into the file, after several windows were decoded, still leaves the scene.
  Bytes bad = bytes;
  CMeshwright probe = NewDocument();
  ASSERT_TRUE(ReadScene(probe, bad.data(), bad.size()).ok());
  const auto path = dir / "bad.mwr";
  const CFace& last = probe.models[0].faces.back();
  // Find the last face's record by its normal, then point its first corner past the vertices.
  float normal[3] = {last.normal.x, last.normal.y, last.normal.z};
  std::int32_t material = last.material;
  Bytes key(16);
  std::memcpy(key.data(), normal, 12);
  std::memcpy(key.data() + 12, &material, 4);
  const auto at = std::search(bad.begin(), bad.end(), key.begin(), key.end());
  ASSERT_NE(at, bad.end());
  const std::int32_t outside = static_cast<std::int32_t>(probe.models[0].vertices.size());
  std::memcpy(&*(at + 20), &outside, 4);
  test::WriteBytes(path, bad);
  CMeshwright s = rich;
  ArchiveResult r = OpenSceneFile(s, path.string());
  EXPECT_EQ(r.error, ArchiveError::kUnexpectedFormat);
  EXPECT_EQ(r.detail, "face corner names no vertex");
  EXPECT_EQ(Write(s), before);
}

// A model of a few hundred thousand faces through the file reader: every field arrives, progress
// reaches the end, and a cancelled read changes nothing.
TEST(ArchiveFile, LargeModelsReadWholeAndCancelCleanly) {
  CMeshwright big = RichScene();
  CModel& m = big.models[0];
  m.vertices.clear();
  m.faces.clear();
  const int side = 460;  // 211,600 vertices: a file of some eighty reader windows
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x)
      m.vertices.emplace_back(static_cast<float>(x) * 0.37f, std::sin(static_cast<float>(x * z)) * 1e-3f,
                              -static_cast<float>(z) / 7.0f);
  for (int z = 0; z + 1 < side; ++z)
    for (int x = 0; x + 1 < side; ++x) {
      CFace f;
      for (int c : {z * side + x, z * side + x + 1, (z + 1) * side + x + 1, (z + 1) * side + x}) f.AddIndex(c);
      for (int c = 0; c < 4; ++c) f.AddUV(CUV(static_cast<float>(x + c) / 459.0f, static_cast<float>(z) / 3.0f));
      f.material = (x + z) % 3;
      f.normal = CVector(0.1f * static_cast<float>(x), 1.0f / static_cast<float>(z + 1), -2.5f);
      m.faces.push_back(f);
    }
  m.vertices[17].SetSelected(1);
  m.RebuildFaceRefs();
  test::TempDir dir;
  const auto path = dir / "big.mwr";
  const Bytes bytes = Write(big);
  test::WriteBytes(path, bytes);

  CMeshwright read = NewDocument();
  ReadProgress progress;
  {
    ReadProgressScope scope(&progress);
    ASSERT_TRUE(OpenSceneFile(read, path.string()).ok());
  }
  ExpectSameArchivedContent(big, read);
  EXPECT_EQ(Write(read), bytes);
  EXPECT_EQ(progress.done(), bytes.size());
  EXPECT_EQ(progress.total(), bytes.size());

  CMeshwright s = RichScene();
  const Bytes before = Write(s);
  ReadProgress cancelled;
  cancelled.Cancel();
  ReadProgressScope scope(&cancelled);
  EXPECT_EQ(OpenSceneFile(s, path.string()).error, ArchiveError::kCancelled);
  EXPECT_LT(cancelled.done(), bytes.size());
  EXPECT_EQ(Write(s), before);
}

TEST(ArchiveFile, FailedSaveLeavesWhatWasThereAndNoTemporaryFile) {
  test::TempDir dir;
  // The target is a folder with a file in it: the final rename must fail, whoever runs the test.
  const auto target = dir / "scene.mwr";
  std::filesystem::create_directory(target);
  test::WriteBytes(target / "keep", {1, 2, 3});
  ArchiveResult r = SaveSceneFile(RichScene(), target.string());
  EXPECT_EQ(r.error, ArchiveError::kFileError);
  EXPECT_EQ(r.systemError, EISDIR);
  EXPECT_EQ(test::ReadBytes(target / "keep"), (Bytes{1, 2, 3}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

}  // namespace
}  // namespace mw
