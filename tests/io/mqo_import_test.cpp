#include <gtest/gtest.h>

#include <cstdio>

#include "io/loader_mqo.h"
#include "scene/texture_service.h"

namespace mw {
namespace {

const char* kHeader = "Metasequoia Document\r\nFormat Text Ver 1.0\r\n";

struct Imported {
  bool ok;
  int code;
};

Imported Import(CMeshwright& s, const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  int code = 0;
  bool ok = ImportMetasequoia(s, f, &code);
  std::fclose(f);
  return {ok, code};
}

CMeshwright Empty() {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  return s;
}

std::string Quad(const std::string& faceExtra = "", const std::string& objectExtra = "") {
  return "Object \"q\" {\n" + objectExtra +
         "\tvertex 4 {\n\t\t0 0 0\n\t\t1 0 0\n\t\t1 1 0\n\t\t0 1 0\n\t}\n"
         "\tface 1 {\n\t\t4 V(0 1 2 3)" +
         faceExtra + "\n\t}\n}\n";
}

TEST(MqoHeader, OnlyTheHeaderAddsTheDefaultMaterial) {
  CMeshwright s = Empty();
  Imported r = Import(s, kHeader);
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(s.models.empty());
  ASSERT_EQ(s.materials.size(), 1u);
  EXPECT_EQ(s.materials[0].name, "NoMaterial");
  EXPECT_EQ(s.materials[0].id, 0);
  EXPECT_EQ(s.nextMaterialId, 1);
}

TEST(MqoHeader, Variants) {
  struct Case {
    const char* text;
    int code;
  };
  // A named array, not a braced list in the loop: GCC 12 at -O3 reused the list's stack slots while
  // the loop still read them (a null text came out once the loop body's scene grew).
  const Case cases[] = {Case{"metasequoia document\nformat text ver 1.00\n", kMqoOk},
                        Case{"Metasequoia Document extra\nFormat Text Ver 1 more\n", kMqoOk},
                        Case{"\xEF\xBB\xBFMetasequoia Document\nFormat Text Ver 1.0\n", kMqoNotMetasequoia},
                        Case{"\nMetasequoia Document\nFormat Text Ver 1.0\n", kMqoNotMetasequoia},
                        Case{"Metasequoia\n", kMqoNotMetasequoia}, Case{"", kMqoNotMetasequoia},
                        Case{"Metasequoia Document\nFormat Text Ver 1.1\n", kMqoOk},
                        Case{"Metasequoia Document\nFormat Text Ver 1.10\n", kMqoOk},
                        Case{"Metasequoia Document\nFormat Text Ver 2.0\n", kMqoUnsupportedFormat},
                        Case{"Metasequoia Document\nFormat Text Ver 1.2\n", kMqoUnsupportedFormat},
                        Case{"Metasequoia Document\nFormat Binary Ver 1.1\n", kMqoUnsupportedFormat},
                        Case{"Metasequoia Document\nFormat Text Ver\n", kMqoUnsupportedFormat},
                        Case{"Metasequoia Document\n", kMqoUnsupportedFormat}};
  for (const Case& c : cases) {
    CMeshwright s = Empty();
    Imported r = Import(s, c.text);
    EXPECT_EQ(r.code, c.code) << c.text;
    EXPECT_EQ(s.materials.size(), 1u) << "default material even after a failure";
  }
}

TEST(MqoMaterials, AttributesAndIdentifiers) {
  CMeshwright s = Empty();
  Imported r = Import(s, std::string(kHeader) +
                             "Material 3 {\n"
                             "\t\"m\" shader(3) extra(1) col(1 0 0 1) dif(0.5)\n"
                             "\t\"n\" dif 0.5 col(1 0 0 1)\n"
                             "\t\"\x8D\xDE\" col(0.1 0.2 0.3 0.4) amb(0.6) emi(0.7) spc(0.8) power(30) "
                             "tex(\"wood.bmp\") aplane(\"a.bmp\") bump(\"b.bmp\")\n"
                             "\t\"p\" col(1 1 1 1 dif(0.5)\n"
                             "\t\"q\" weird(a b c\n"
                             "}\n");
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(s.materials.size(), 5u);
  const CMaterial& m = s.materials[0];
  EXPECT_EQ(m.name, "m");
  EXPECT_EQ(m.color[0], 1.0f);
  EXPECT_EQ(m.color[1], 0.0f);
  EXPECT_EQ(m.diffuse, 0.5f);
  EXPECT_EQ(m.diffuseRGBA[0], 0.5f);
  const CMaterial& n = s.materials[1];
  EXPECT_EQ(n.diffuse, 1.0f);
  EXPECT_EQ(n.color[1], 0.8f);
  const CMaterial& j = s.materials[2];
  EXPECT_EQ(j.name, "\x8D\xDE");
  EXPECT_EQ(j.color[3], 0.4f);
  EXPECT_EQ(j.ambient, 0.6f);
  EXPECT_EQ(j.emissive, 0.7f);
  EXPECT_EQ(j.specular, 0.8f);
  EXPECT_EQ(j.power, 30.0f);
  EXPECT_EQ(j.texture, "wood.bmp");
  EXPECT_EQ(j.alphaPlane, "a.bmp");
  EXPECT_EQ(j.bump, "b.bmp");
  EXPECT_EQ(s.materials[3].color[0], 0.8f);  // col without its ")" stops the line
  for (int i = 0; i < 5; ++i) EXPECT_EQ(s.materials[static_cast<std::size_t>(i)].id, i);
  EXPECT_EQ(s.nextMaterialId, 5);
}

TEST(MqoMaterials, TexturesLoadWhileTheLineIsRead) {
  struct Recorder : TextureService {
    std::vector<std::string> loaded;
    void Load(CMaterial& m) override { loaded.push_back(m.texture); }
    void Release(CMaterial&) override {}
  } rec;
  TextureService* old = SetTextureService(&rec);
  CMeshwright s = Empty();
  Import(s, std::string(kHeader) + "Material 1 {\n\"m\" tex(\"a.bmp\")\n}\n");
  SetTextureService(old);
  EXPECT_EQ(rec.loaded, std::vector<std::string>{"a.bmp"});
}

// Materials must be paid for by the bytes read up to them: lines of two bytes are refused once
// the free count is used up, real lines of a hundred bytes are read however many there are.
TEST(MqoMaterials, MoreMaterialsThanTheFileCanJustifyAreRefused) {
  auto lines = [](std::size_t count, const std::string& line) {
    std::string text = std::string(kHeader) + "Material " + std::to_string(count) + " {\n";
    for (std::size_t i = 0; i < count; ++i) text += line;
    return text + "}\n";
  };
  const std::string tiny = "a\n";
  // Up to the free count (and what the header and the lines themselves pay for), they are read.
  for (const std::size_t n : {kMqoFreeMaterials, kMqoFreeMaterials + 8}) {
    CMeshwright s;
    s.ResetScene();
    EXPECT_TRUE(Import(s, lines(n, tiny)).ok) << n;
    EXPECT_EQ(s.materials.size(), n);
  }
  CMeshwright s;
  s.ResetScene();
  const Imported refused = Import(s, lines(100000, tiny));
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.code, kMqoTooManyMaterials);
  EXPECT_LT(s.materials.size(), 2000u);
  const std::string real =
      "\t\"mat\" shader(3) col(0.800 0.800 0.800 1.000) dif(0.800) amb(0.600) emi(0.000) spc(0.000) power(5.00)\n";
  ASSERT_GE(real.size(), static_cast<std::size_t>(kMqoBytesPerMaterial));
  CMeshwright many;
  many.ResetScene();
  EXPECT_TRUE(Import(many, lines(20000, real)).ok);
  EXPECT_EQ(many.materials.size(), 20000u);
}

TEST(MqoMaterials, BasesAcrossTwoImports) {
  const std::string doc = std::string(kHeader) + "Material 2 {\n\"a\"\n\"b\"\n}\n" + Quad(" M(1)");
  CMeshwright s = Empty();
  ASSERT_TRUE(Import(s, doc).ok);
  ASSERT_TRUE(Import(s, doc).ok);
  ASSERT_EQ(s.models.size(), 2u);
  ASSERT_EQ(s.materials.size(), 4u);
  EXPECT_EQ(s.models[0].faces[0].material, 1);
  EXPECT_EQ(s.models[1].faces[0].material, 3);
  EXPECT_EQ(s.materials[3].id, 3);
  EXPECT_EQ(s.materials[3].name, "b");
}

TEST(MqoMaterials, ExistingMaterialsAndADocumentWithoutAny) {
  CMeshwright s = Empty();
  for (int i = 0; i < 5; ++i) s.AddMaterial();
  ASSERT_TRUE(Import(s, std::string(kHeader) + Quad() + Quad(" M(2)")).ok);
  EXPECT_EQ(s.materials.size(), 5u);
  EXPECT_EQ(s.models[0].faces[0].material, 5);  // materialBase: no material has it
  EXPECT_EQ(s.models[1].faces[0].material, 7);
}

TEST(MqoObjects, NamesFacesVerticesAndRebuiltReferences) {
  CMeshwright s = Empty();
  ASSERT_TRUE(Import(s, std::string(kHeader) + Quad(" M(0) UV(0 0 0 1 1 1 1 0)", "\tfacet 59.5\n\tvisible 15\n")).ok);
  ASSERT_EQ(s.models.size(), 1u);
  const CModel& m = s.models[0];
  EXPECT_EQ(m.name, "q");
  EXPECT_EQ(m.facet, 59.5f);
  ASSERT_EQ(m.vertices.size(), 4u);
  EXPECT_EQ(m.vertices[2].position, CVector(1, 1, 0));
  ASSERT_EQ(m.faces.size(), 1u);
  EXPECT_EQ(m.faces[0].indices, (IndexList{0, 1, 2, 3}));
  EXPECT_EQ(m.faces[0].uvs, (UVList{CUV(0, 0), CUV(0, 1), CUV(1, 1), CUV(1, 0)}));
  EXPECT_EQ(m.vertices[3].faceRefs, (FaceRefList{0}));
  EXPECT_NE(m.faces[0].normal, CVector());  // normals computed after the import
}

TEST(MqoObjects, WithoutFacesNotAddedAndTwoTokenObjectIsCalledModel) {
  CMeshwright s = Empty();
  ASSERT_TRUE(Import(s, std::string(kHeader) +
                            "Object \"novertex\" {\n\tvertex 1 {\n\t\t0 0 0\n\t}\n}\n"
                            "Object {\n\tvertex 3 {\n0 0 0\n1 0 0\n0 1 0\n}\n\tface {\n3 V(0 1 2)\n}\n}\n")
                  .ok);
  ASSERT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].name, "Model");
  EXPECT_EQ(s.models[0].faces.size(), 1u);
}

TEST(MqoObjects, VertexChunkWithoutCountIsSkipped) {
  CMeshwright s = Empty();
  ASSERT_TRUE(
      Import(s, std::string(kHeader) + "Object \"o\" {\n\tvertex {\n0 0 0\n1 0 0\n}\n\tface 1 {\n2 V(0 1)\n}\n}\n").ok);
  // The face names vertices the object does not have: it is dropped, so is the faceless object.
  EXPECT_TRUE(s.models.empty());
}

TEST(MqoFaces, LineForms) {
  CMeshwright s = Empty();
  ASSERT_TRUE(Import(s, std::string(kHeader) +
                            "Object \"o\" {\nvertex 5 {\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n2 2 2\n}\nface 4 {\n"
                            "5 V(0 1 2 3 4) M(0)\n"
                            "3 V(0 1) M(0)\n"
                            "3 V 0 1 2 M(0)\n"
                            "\n"
                            "2 V(0 4) UV(0 0 1 1)\n"
                            "3 V(0 1 2) M 0\n"
                            "}\n}\n")
                  .ok);
  const CModel& m = s.models[0];
  ASSERT_EQ(m.faces.size(), 3u);
  EXPECT_EQ(m.faces[0].indices, (IndexList{0, 1, 2, 3, 4}));  // every corner, in version 1.0 too
  EXPECT_EQ(m.faces[1].indices, (IndexList{0, 4}));
  EXPECT_EQ(m.faces[1].uvs.size(), 2u);
  EXPECT_EQ(m.faces[2].material, 0);  // "M 0" is not an M group: materialBase
}

TEST(MqoFaces, ShortVGroupAndLoneWordsAreSyntaxErrors) {
  for (const char* line : {"3 V(0 1)", "word", "3 X(0 1 2)"}) {
    CMeshwright s = Empty();
    Imported r = Import(s, std::string(kHeader) +
                               "Object \"o\" {\nvertex 3 {\n0 0 0\n1 0 0\n0 1 0\n}\nface 2 {\n"
                               "3 V(0 1 2)\n" +
                               line + "\n}\n}\n");
    EXPECT_EQ(r.code, kMqoSyntaxError) << line;
    ASSERT_EQ(s.models.size(), 1u) << "the partly read model stays";
    EXPECT_EQ(s.models[0].faces.size(), 1u);
  }
}

TEST(MqoFaces, VertexNumbersOutsideTheObjectDropOnlyThatFace) {
  CMeshwright s = Empty();
  ASSERT_TRUE(Import(s, std::string(kHeader) + "Object \"o\" {\nvertex 3 {\n0 0 0\n1 0 0\n0 1 0\n}\nface 3 {\n"
                                               "3 V(0 1 2)\n3 V(0 1 3)\n3 V(-1 1 2)\n}\n}\n")
                  .ok);
  ASSERT_EQ(s.models[0].faces.size(), 1u);
  EXPECT_EQ(s.models[0].vertices.size(), 3u);
}

TEST(MqoFaces, MaterialNumberIsOffsetByTheBase) {
  CMeshwright s = Empty();
  for (int i = 0; i < 5; ++i) s.AddMaterial();
  ASSERT_TRUE(Import(s, std::string(kHeader) + Quad(" M(2)")).ok);
  EXPECT_EQ(s.models[0].faces[0].material, 7);
}

TEST(MqoMirror, AxisThreeMirrorsOverXThenY) {
  CMeshwright s = Empty();
  ASSERT_TRUE(Import(s, std::string(kHeader) + Quad(" UV(0 0 0 1 1 1 1 0)", "\tmirror 1\n\tmirror_axis 3\n")).ok);
  const CModel& m = s.models[0];
  EXPECT_EQ(m.mirrorAxis, 3);
  ASSERT_EQ(m.vertices.size(), 16u);
  ASSERT_EQ(m.faces.size(), 4u);
  EXPECT_EQ(m.faces[1].indices, (IndexList{7, 6, 5, 4}));
  EXPECT_EQ(m.faces[1].uvs, (UVList{CUV(1, 0), CUV(1, 1), CUV(0, 1), CUV(0, 0)}));
  EXPECT_EQ(m.vertices[5].position, CVector(-1, 0, 0));
  EXPECT_EQ(m.vertices[9].position, CVector(1, -0.0f, 0));
  EXPECT_EQ(m.vertices[13].position, CVector(-1, -0.0f, 0));
}

TEST(MqoMirror, EveryAxisCombination) {
  const int expectedCopies[8] = {1, 2, 2, 4, 2, 4, 4, 8};
  for (int axis = -1; axis <= 8; ++axis) {
    CModel m;
    m.vertices = {CVertex(1, 2, 3)};
    CFace f;
    f.indices = {0};
    m.faces = {f};
    m.mirrorAxis = axis;
    EXPECT_TRUE(m.ApplyMirror());
    const std::size_t copies = (axis >= 0 && axis <= 7) ? static_cast<std::size_t>(expectedCopies[axis]) : 1u;
    EXPECT_EQ(m.vertices.size(), copies) << axis;
    EXPECT_EQ(m.faces.size(), copies) << axis;
    if (axis == 4) {
      EXPECT_EQ(m.vertices[1].position, CVector(1, 2, -3));
    }
    if (axis == 6) {
      EXPECT_EQ(m.vertices[1].position, CVector(1, -2, 3));
      EXPECT_EQ(m.vertices[3].position, CVector(1, -2, -3));
    }
  }
  CModel empty;
  empty.mirrorAxis = 1;
  EXPECT_FALSE(empty.ApplyMirror());
}

TEST(MqoSkipping, NestedChunksAndBinaryBlocks) {
  CMeshwright s = Empty();
  std::string doc = std::string(kHeader) +
                    "Scene {\n\tpos 0 0 1500\n\tdirlights 1 {\n\t\tlight {\n\t\t\tdir 0 0 1\n\t\t}\n\t}\n"
                    "\tblob 1 [12]\n" +
                    std::string("}}}{{{\n\n\x01\x02\x03", 12) + "}\n" + "Thumbnail 1 1 24 rgb raw dummy [3]\n" +
                    std::string("{\n{", 3) + Quad();
  Imported r = Import(s, doc);
  EXPECT_TRUE(r.ok) << r.code;
  EXPECT_EQ(s.models.size(), 1u);
}

TEST(MqoSkipping, BinaryCountsThatCannotBeSkipped) {
  for (const char* count : {"-5", "-2147483648"}) {
    CMeshwright s = Empty();
    Imported r = Import(s, std::string(kHeader) + "Blob [" + count + "]\n" + Quad());
    EXPECT_EQ(r.code, kMqoSyntaxError) << count;
  }
  CMeshwright s = Empty();
  // Past the end: nothing more to read at the top level, which is the end of the document.
  EXPECT_TRUE(Import(s, std::string(kHeader) + "Blob [100000]\nabc").ok);
  EXPECT_EQ(Import(s, std::string(kHeader) + "Chunk {\nBlob [100000]\nabc").code, kMqoUnexpectedEnd);
}

TEST(MqoErrors, UnexpectedEndKeepsThePartialModel) {
  CMeshwright s = Empty();
  Imported r = Import(s, std::string(kHeader) +
                             "Material 1 {\n\"m\"\n}\nObject \"o\" {\nvertex 3 {\n0 0 0\n1 0 0\n"
                             "0 1 0\n}\nface 2 {\n3 V(0 1 2)\n3 V(0 1 7)\n");
  EXPECT_EQ(r.code, kMqoUnexpectedEnd);
  ASSERT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].vertices.size(), 3u);
  EXPECT_EQ(s.models[0].faces.size(), 1u);  // the face naming vertex 7 was dropped all the same
  EXPECT_EQ(s.materials.size(), 1u);
  EXPECT_EQ(s.nextMaterialId, 1);
  for (const char* doc : {"Material 1 {\n\"m\"\n", "Object \"o\" {\n", "Chunk {\n{\n}\n"}) {
    CMeshwright t = Empty();
    EXPECT_EQ(Import(t, std::string(kHeader) + doc).code, kMqoUnexpectedEnd) << doc;
  }
}

TEST(MqoErrors, ChunkHeadersWithoutBraces) {
  for (const char* doc :
       {"Material 1\n", "Object \"o\"\n", "Object \"o\" {\nvertex 3 x\n}\n", "Object \"o\" {\nface 3 x\n}\n"}) {
    CMeshwright s = Empty();
    EXPECT_EQ(Import(s, std::string(kHeader) + doc).code, kMqoSyntaxError) << doc;
  }
}

TEST(MqoErrors, EofIsAnOrdinaryLine) {
  CMeshwright s = Empty();
  ASSERT_TRUE(Import(s, std::string(kHeader) + "Eof\n" + Quad()).ok);
  EXPECT_EQ(s.models.size(), 1u);
}

TEST(MqoFile, MissingFileChangesNothing) {
  CMeshwright s = Empty();
  int code = 0;
  EXPECT_FALSE(ImportMetasequoia(s, std::string("/nonexistent/x.mqo"), &code));
  EXPECT_EQ(code, kMqoCannotOpen);
  EXPECT_TRUE(s.materials.empty());
}

}  // namespace
}  // namespace mw
