// Version 1.1 documents and the ways other writers fill the format: faces of any size, binary
// vertex blocks, chunks to pass over, encodings, non-finite numbers, mirrors, object state.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "io/loader_mqo.h"

namespace mw {
namespace {

const char* kV11 = "Metasequoia Document\r\nFormat Text Ver 1.1\r\n";
const char* kV10 = "Metasequoia Document\r\nFormat Text Ver 1.0\r\n";

MqoReadInfo Import(CMeshwright& s, const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  MqoReadInfo info;
  ImportMetasequoia(s, f, &info);
  std::fclose(f);
  return info;
}

CMeshwright Empty() {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  return s;
}

std::string Hexagon(const std::string& faceLine, const std::string& objectExtra = "") {
  return "Object \"h\" {\n" + objectExtra +
         "\tvertex 6 {\n\t\t2 0 0\n\t\t1 2 0\n\t\t-1 2 0\n\t\t-2 0 0\n\t\t-1 -2 0\n\t\t1 -2 0\n\t}\n"
         "\tface 1 {\n\t\t" +
         faceLine + "\n\t}\n}\n";
}

std::string Floats(std::initializer_list<float> values) {
  std::string out;
  for (float v : values) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    for (int k = 0; k < 4; ++k) out += static_cast<char>((bits >> (8 * k)) & 0xFF);
  }
  return out;
}

TEST(MqoVersion11, FacesOfAnySizeWithGroupsInAnyOrder) {
  CMeshwright s = Empty();
  MqoReadInfo info = Import(
      s, std::string(kV11) + "Material 2 {\n\"a\"\n\"b\"\n}\n" +
             Hexagon("6 V(0 1 2 3 4 5) UID(12) UV(0 0 0.125 1 0.25 0 0.375 1 0.5 0 0.625 1) COL(4294967295) M(1)"));
  ASSERT_EQ(info.code, kMqoOk);
  EXPECT_EQ(info.version, 11);
  EXPECT_EQ(info.ngonFaces, 1u);
  ASSERT_EQ(s.models.size(), 1u);
  const CFace& f = s.models[0].faces.at(0);
  EXPECT_EQ(f.indices, (IndexList{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(f.material, 1);
  ASSERT_EQ(f.uvs.size(), 6u);
  EXPECT_EQ(f.uvs[1], CUV(0.125f, 1));
  EXPECT_EQ(f.uvs[5], CUV(0.625f, 1));
  for (std::int32_t i = 0; i < 6; ++i) EXPECT_EQ(s.models[0].vertices[static_cast<std::size_t>(i)].faceRefs.size(), 1u);

  // Malformed groups drop the line as in version 1.0; a stray word ends the groups.
  for (const char* line : {"6 V(0 1 2 3 4 5) UV(0 0 1 1)", "6 V(0 1 2 3 4 5) M(1 2)", "6 V(0 1 2 3 4 5) M()"}) {
    CMeshwright t = Empty();
    Import(t, std::string(kV11) + Hexagon(line) + Hexagon("3 V(0 1 2)"));
    ASSERT_EQ(t.models.size(), 1u) << line;
    EXPECT_EQ(t.models[0].faces.at(0).CornerCount(), 3u) << line;
  }
  CMeshwright t = Empty();
  Import(t, std::string(kV11) + Hexagon("5 V(0 1 2 3 4) junk M(1) UV(0 0 0 0 0 0 0 0 0 0) M(1"));
  ASSERT_EQ(t.models.size(), 1u);
  EXPECT_EQ(t.models[0].faces[0].material, 0);
  EXPECT_TRUE(t.models[0].faces[0].uvs.empty());
}

TEST(MqoVersion11, VersionOnePointZeroKeepsItsGroupOrder) {
  // UV before M, or behind an unknown group, is not read in version 1.0 (as before), but every
  // corner of a large face is.
  CMeshwright s = Empty();
  Import(s, std::string(kV10) + Hexagon("6 V(5 4 3 2 1 0) UID(1) M(3) UV(0 0 0 0 0 0 0 0 0 0 0 0)"));
  const CFace& f = s.models.at(0).faces.at(0);
  EXPECT_EQ(f.indices, (IndexList{5, 4, 3, 2, 1, 0}));
  EXPECT_EQ(f.material, 0);
  EXPECT_TRUE(f.uvs.empty());
  // Faces without corners are no faces; one-corner faces stay.
  CMeshwright t = Empty();
  Import(t, std::string(kV10) + Hexagon("0 V()") + Hexagon("1 V(4)"));
  ASSERT_EQ(t.models.size(), 1u);
  EXPECT_EQ(t.models[0].faces.at(0).indices, (IndexList{4}));
}

TEST(MqoVersion11, BinaryVertexBlocks) {
  const std::string block = Floats({1.0f, -2.5f, 0.017452406f, -1234.5678f, 1e-40f, 3.4e38f, 0, 0, 1});
  const std::string doc =
      std::string(kV11) + "Object \"b\" {\r\n\tBVertex 3 {\r\n\t\tVector 3 [36]\r\n" + block +
      "\r\n\t\tweit 1 {\r\n\t\t\t0 1\r\n\t\t}\r\n\t}\r\n\tface 1 {\r\n\t\t3 V(0 1 2)\r\n\t}\r\n}\r\nEof\r\n";
  CMeshwright s = Empty();
  MqoReadInfo info = Import(s, doc);
  ASSERT_EQ(info.code, kMqoOk);
  ASSERT_EQ(s.models.size(), 1u);
  const auto& v = s.models[0].vertices;
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[0].position, CVector(1.0f, -2.5f, 0.017452406f));
  EXPECT_EQ(v[1].position, CVector(-1234.5678f, 1e-40f, 3.4e38f));
  EXPECT_EQ(v[2].position, CVector(0, 0, 1));
  EXPECT_TRUE(info.warnings.empty());

  // A block whose size does not match its count is passed over: no vertices, so no face.
  CMeshwright t = Empty();
  info = Import(t, std::string(kV11) + "Object \"b\" {\nBVertex 3 {\nVector 3 [35]\n" + block.substr(0, 35) +
                       "\n}\nface 1 {\n3 V(0 1 2)\n}\n}\n");
  EXPECT_EQ(info.code, kMqoOk);
  EXPECT_TRUE(t.models.empty());

  // So is a block longer than its count says, and one of no bytes for its count.
  for (const char* header : {"Vector 3 [48]\n", "Vector 3 [0]\n"}) {
    CMeshwright longer = Empty();
    const std::string bytes = header[10] == '4' ? block + Floats({7, 8, 9}) : std::string();
    info = Import(longer, std::string(kV11) + "Object \"b\" {\nBVertex 3 {\n" + header + bytes +
                              "\n}\nface 1 {\n3 V(0 1 2)\n}\n}\n");
    EXPECT_EQ(info.code, kMqoOk) << header;
    EXPECT_TRUE(longer.models.empty()) << header;
  }

  // Non-finite coordinates become 0 and are reported.
  CMeshwright u = Empty();
  info = Import(u, std::string(kV11) + "Object \"b\" {\nBVertex 1 {\nVector 1 [12]\n" + Floats({NAN, INFINITY, 5}) +
                       "\n}\nface 1 {\n2 V(0 0)\n}\n}\n");
  ASSERT_EQ(u.models.size(), 1u);
  EXPECT_EQ(u.models[0].vertices.at(0).position, CVector(0, 0, 5));
  ASSERT_EQ(info.warnings.size(), 1u);
  EXPECT_NE(info.warnings[0].find("2 個"), std::string::npos) << info.warnings[0];
}

TEST(MqoVersion11, TruncatedAndHostileBinaryVertexBlocks) {
  // The input ends inside the block.
  CMeshwright s = Empty();
  EXPECT_EQ(Import(s, std::string(kV11) + "Object \"b\" {\nBVertex 2 {\nVector 2 [24]\n" + Floats({1, 2, 3, 4})).code,
            kMqoUnexpectedEnd);
  // A count of a hundred million vertices in a small file must not reserve for them: under a
  // 512 MiB address-space limit the import fails cleanly instead of running out of memory.
  rlimit old{};
  getrlimit(RLIMIT_AS, &old);
  // (The address sanitizer reserves far more address space than that for itself.)
#if defined(__SANITIZE_ADDRESS__)
  const bool sanitized = true;
#else
  const bool sanitized = false;
#endif
  if (!sanitized) {
    rlimit tight = old;
    tight.rlim_cur = 512ull << 20;
    setrlimit(RLIMIT_AS, &tight);
  }
  CMeshwright t = Empty();
  const int code =
      Import(t, std::string(kV11) + "Object \"b\" {\nBVertex 100000000 {\nVector 100000000 [1200000000]\n" +
                    Floats({1, 2, 3}) + "\n}\n}\n")
          .code;
  if (!sanitized) setrlimit(RLIMIT_AS, &old);
  EXPECT_EQ(code, kMqoUnexpectedEnd);
  ASSERT_EQ(t.models.size(), 1u);
  EXPECT_EQ(t.models[0].vertices.size(), 0u);  // the first slice was short: nothing half-read
  // A negative count is passed over like any other mismatched block... and then the bytes skipped.
  CMeshwright u = Empty();
  EXPECT_EQ(Import(u, std::string(kV11) + "Object \"b\" {\nBVertex 1 {\nVector -1 [-12]\n}\n}\n").code,
            kMqoSyntaxError);
}

TEST(MqoVersion11, ChunksCarryingNothingShownArePassedOver) {
  const std::string doc =
      std::string(kV11) +
      "CodePage 932\r\n"
      "Thumbnail 4 2 24 rgb raw {\r\n\t0000FF0000FF0000FF0000FF\r\n\t00FF0000FF0000FF0000FF00\r\n}\r\n"
      "IncludeXml \"doc.mqx\"\r\n"
      "Scene {\r\n\tpos 0 0 1500\r\n\tdirlights 1 {\r\n\t\tlight {\r\n\t\t\tdir 0.408 0.408 "
      "0.816\r\n\t\t}\r\n\t}\r\n}\r\n"
      "BackImage {\r\n\tpers \"C:\\\\img\\\\a.bmp\" 0 0 100 100\r\n}\r\n"
      "Material 1 {\r\n\t\"m\" shader(3) vcol(1) col(1 0 0 1) reflect(0.188) refract(1.3) proj_type(1)\r\n}\r\n"
      "MaterialEx2 1 {\r\n\tmaterial 0 {\r\n\t\tshaderparam 1 {\r\n\t\t\tMetallic float 0.25\r\n\t\t}\r\n\t}\r\n}\r\n"
      "Blob 1 [5]\r\n}}{{\n\r\n" +
      Hexagon("6 V(0 1 2 3 4 5) M(0)",
              "\tdepth 0\n\tfolding 1\n\tscale 1 1 1\n\trotation 0 0 0\n\ttranslation 0 0 0\n\tnormal_weight 1\n"
              "\tpatch 3\n\tsegment 1\n\tlathe 0\n\tvertexattr {\n\t\tweit {\n\t\t\t0 0.5\n\t\t}\n\t\tuid {\n\t\t\t0 "
              "1\n\t\t}\n\t}\n"
              "\tfuture_attribute { nested { } }\n") +
      "Eof\r\n";
  CMeshwright s = Empty();
  MqoReadInfo info = Import(s, doc);
  EXPECT_EQ(info.code, kMqoOk);
  EXPECT_TRUE(info.codePageDeclared);
  EXPECT_EQ(info.encoding, MqoEncoding::kCp932);
  ASSERT_EQ(s.materials.size(), 1u);
  EXPECT_EQ(s.materials[0].color[0], 1.0f);
  EXPECT_EQ(s.materials[0].color[1], 0.0f);
  ASSERT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].vertices.size(), 6u);
  EXPECT_EQ(s.models[0].faces.at(0).CornerCount(), 6u);
}

TEST(MqoEncodings, Utf8NamesBecomeCp932) {
  // "モデル", "接続" (its last byte, 0x9A, is a CP932 lead byte that would swallow the quote),
  // "木目.png".
  const std::string names = "Material 1 {\n\"\xE6\x8E\xA5\xE7\xB6\x9A\" tex(\"\xE6\x9C\xA8\xE7\x9B\xAE.png\")\n}\n";
  const std::string object =
      "Object \"\xE3\x83\xA2\xE3\x83\x87\xE3\x83\xAB\" {\nvertex 2 {\n0 0 0\n1 0 0\n}\n"
      "face 1 {\n2 V(0 1)\n}\n}\n";
  for (const std::string& declaration : {std::string(), std::string("CodePage utf8\n"), std::string("codepage UTF-8\n"),
                                         std::string("CodePage 65001\n")}) {
    CMeshwright s = Empty();
    MqoReadInfo info = Import(s, std::string(kV11) + declaration + names + object);
    ASSERT_EQ(info.code, kMqoOk) << declaration;
    EXPECT_EQ(info.encoding, MqoEncoding::kUtf8);
    EXPECT_EQ(info.codePageDeclared, !declaration.empty());
    ASSERT_EQ(s.models.size(), 1u);
    EXPECT_EQ(s.models[0].name, "\x83\x82\x83\x66\x83\x8B");
    EXPECT_EQ(s.materials.at(0).name, "\x90\xDA\x91\xB1");
    EXPECT_EQ(s.materials[0].texture, "\x96\xD8\x96\xDA.png");
    EXPECT_TRUE(info.warnings.empty());
  }
  // The same bytes declared CP932 stay bytes (and the quote is swallowed: the name runs on).
  CMeshwright s = Empty();
  MqoReadInfo info = Import(s, std::string(kV10) + "CodePage 932\n" + object);
  EXPECT_EQ(info.encoding, MqoEncoding::kCp932);
  ASSERT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].name, "\xE3\x83\xA2\xE3\x83\x87\xE3\x83\xAB");
}

TEST(MqoEncodings, DetectionWithoutCodePage) {
  // CP932 text is not valid UTF-8: read as before. ASCII only: CP932 (nothing to decide).
  const std::string cp932 =
      "Object \"\x83\x82\x83\x66\x83\x8B\" {\nvertex 2 {\n0 0 0\n1 0 0\n}\nface 1 {\n2 V(0 1)\n}\n}\n";
  CMeshwright s = Empty();
  MqoReadInfo info = Import(s, std::string(kV10) + cp932);
  EXPECT_EQ(info.encoding, MqoEncoding::kCp932);
  EXPECT_EQ(s.models.at(0).name, "\x83\x82\x83\x66\x83\x8B");
  CMeshwright a = Empty();
  EXPECT_EQ(Import(a, std::string(kV10) + "Object \"x\" {\n}\n").encoding, MqoEncoding::kCp932);
  // One CP932 name anywhere, even after many UTF-8 ones, keeps the whole document CP932; a
  // binary block full of high bytes does not count.
  CMeshwright b = Empty();
  info = Import(b, std::string(kV10) + "Blob [4]\n\xFF\xFE\x80\x81\nMaterial 2 {\n\"\xE6\x9C\xA8\"\n\"\x96\xD8\"\n}\n");
  EXPECT_EQ(info.encoding, MqoEncoding::kCp932);
  EXPECT_EQ(b.materials.at(0).name, "\xE6\x9C\xA8");
  CMeshwright c = Empty();
  info = Import(c, std::string(kV10) + "Blob [4]\n\xFF\xFE\x80\x81\nMaterial 1 {\n\"\xE6\x9C\xA8\"\n}\n");
  EXPECT_EQ(info.encoding, MqoEncoding::kUtf8);
  EXPECT_EQ(c.materials.at(0).name, "\x96\xD8");
}

TEST(MqoEncodings, UnmappableCharactersAreReplacedVisiblyAndReportedOnce) {
  // "é" and an emoji have no CP932 form; a real '?' in a name is not counted.
  CMeshwright s = Empty();
  MqoReadInfo info = Import(s, std::string(kV11) +
                                   "CodePage utf8\nMaterial 3 {\n\"caf\xC3\xA9?\"\n\"\xF0\x9F\x98\x80\"\n"
                                   "\"\xC3\xA9\xC3\xA9\"\n}\n");
  ASSERT_EQ(s.materials.size(), 3u);
  EXPECT_EQ(s.materials[0].name, "caf??");
  EXPECT_EQ(s.materials[1].name, "?");
  EXPECT_EQ(s.materials[2].name, "??");
  ASSERT_EQ(info.warnings.size(), 1u);
  EXPECT_NE(info.warnings[0].find(" 4 "), std::string::npos) << info.warnings[0];
}

TEST(MqoNumbers, NonFiniteValuesBecomeZeroAndAreReportedOnce) {
  CMeshwright s = Empty();
  MqoReadInfo info = Import(s, std::string(kV10) +
                                   "Material 1 {\n\"m\" col(nan 0.5 inf 1) dif(1e999) power(-inf)\n}\n"
                                   "Object \"o\" {\nfacet NaN\nvertex 3 {\n0 0 0\n1 nan 0\n0 1 -1e40\n}\n"
                                   "face 1 {\n3 V(0 1 2) UV(0 0 inf 1 1 1)\n}\n}\n");
  ASSERT_EQ(info.code, kMqoOk);
  const CMaterial& m = s.materials.at(0);
  EXPECT_EQ(m.color[0], 0.0f);
  EXPECT_EQ(m.color[1], 0.5f);
  EXPECT_EQ(m.color[2], 0.0f);
  EXPECT_EQ(m.diffuse, 0.0f);
  EXPECT_EQ(m.power, 0.0f);
  const CModel& o = s.models.at(0);
  EXPECT_EQ(o.facet, 0.0f);
  EXPECT_EQ(o.vertices[1].position, CVector(1, 0, 0));
  EXPECT_EQ(o.vertices[2].position, CVector(0, 1, 0));
  EXPECT_EQ(o.faces.at(0).uvs[1], CUV(0, 1));
  for (const CVertex& v : o.vertices) EXPECT_TRUE(std::isfinite(v.normal.x) && std::isfinite(v.normal.y));
  ASSERT_EQ(info.warnings.size(), 1u);
  EXPECT_NE(info.warnings[0].find("8 個"), std::string::npos) << info.warnings[0];
  EXPECT_NE(info.warnings[0].find("4 行目"), std::string::npos) << info.warnings[0];
}

TEST(MqoMirror, MirrorAndAxisCombinations) {
  // One triangle off every plane: copies = 2^(axes), vertices likewise.
  struct Case {
    const char* attributes;
    std::size_t copies;
  };
  for (Case c : {Case{"", 1}, Case{"mirror_axis 1\n", 1}, Case{"mirror 0\nmirror_axis 1\n", 1},
                 Case{"mirror 0\nmirror_axis 7\n", 1}, Case{"mirror 1\n", 2}, Case{"mirror 2\n", 2},
                 Case{"mirror 1\nmirror_axis 1\n", 2}, Case{"mirror 2\nmirror_axis 3\n", 4},
                 Case{"mirror 1\nmirror_axis 6\n", 4}, Case{"mirror 2\nmirror_axis 7\n", 8},
                 Case{"mirror 1\nmirror_axis 0\n", 1}, Case{"mirror 3\nmirror_axis 1\n", 1},
                 Case{"mirror_axis 1\nmirror 1\n", 2}}) {
    CMeshwright s = Empty();
    Import(s, std::string(kV10) + "Object \"o\" {\n" + c.attributes +
                  "vertex 3 {\n1 1 1\n2 1 1\n1 2 1\n}\nface 1 {\n3 V(0 1 2) UV(0 0 1 0 0 1)\n}\n}\n");
    ASSERT_EQ(s.models.size(), 1u) << c.attributes;
    EXPECT_EQ(s.models[0].faces.size(), c.copies) << c.attributes;
    EXPECT_EQ(s.models[0].vertices.size(), 3 * c.copies) << c.attributes;
  }
  // Without an axis the mirror is over X.
  CMeshwright s = Empty();
  Import(s, std::string(kV10) +
                "Object \"o\" {\nmirror 1\nvertex 3 {\n1 1 1\n2 1 1\n1 2 1\n}\nface 1 {\n3 V(0 1 2)\n}\n}\n");
  EXPECT_EQ(s.models.at(0).vertices.at(4).position, CVector(-2, 1, 1));
  EXPECT_EQ(s.models[0].mirrorAxis, 1);
}

TEST(MqoMirror, ConnectedMirrorSharesTheVerticesOnThePlane) {
  // A quad with two corners on the X plane (one at -0) and one at 0.3 from it.
  const std::string quad =
      "vertex 4 {\n0 0 0\n-0 1 0\n0.3 1 0\n2 0 0\n}\nface 1 {\n4 V(0 1 2 3) UV(0 0 0 1 1 1 1 0)\n}\n}\n";
  CMeshwright s = Empty();
  Import(s, std::string(kV10) + "Object \"o\" {\nmirror 2\nmirror_axis 1\n" + quad);
  const CModel& m = s.models.at(0);
  ASSERT_EQ(m.vertices.size(), 6u);
  EXPECT_EQ(m.vertices[4].position, CVector(-0.3f, 1, 0));
  EXPECT_EQ(m.vertices[5].position, CVector(-2, 0, 0));
  ASSERT_EQ(m.faces.size(), 2u);
  EXPECT_EQ(m.faces[1].indices, (IndexList{5, 4, 1, 0}));
  EXPECT_EQ(m.faces[1].uvs, (UVList{CUV(1, 0), CUV(1, 1), CUV(0, 1), CUV(0, 0)}));
  for (std::int32_t shared : {0, 1}) EXPECT_EQ(m.vertices[static_cast<std::size_t>(shared)].faceRefs.size(), 2u);

  // Within mirror_dis 0.5 the vertex at 0.3 is shared too; at 0.25 it is not.
  CMeshwright t = Empty();
  Import(t, std::string(kV10) + "Object \"o\" {\nmirror 2\nmirror_dis 0.5\n" + quad);
  EXPECT_EQ(t.models.at(0).vertices.size(), 5u);
  EXPECT_EQ(t.models[0].faces.at(1).indices, (IndexList{4, 2, 1, 0}));
  CMeshwright u = Empty();
  Import(u, std::string(kV10) + "Object \"o\" {\nmirror 2\nmirror_dis 0.25\n" + quad);
  EXPECT_EQ(u.models.at(0).vertices.size(), 6u);

  // Separate halves keep their own vertices; over X then Y the plane vertices join per pass.
  CMeshwright v = Empty();
  Import(v, std::string(kV10) + "Object \"o\" {\nmirror 1\nmirror_axis 1\n" + quad);
  EXPECT_EQ(v.models.at(0).vertices.size(), 8u);
  CMeshwright w = Empty();
  Import(w, std::string(kV10) + "Object \"o\" {\nmirror 2\nmirror_axis 3\n" + quad);
  // X: 4 + 2; Y: vertices 0 and 3 and the copy of 3 lie on y = 0: 6 + 3.
  EXPECT_EQ(w.models.at(0).vertices.size(), 9u);
  EXPECT_EQ(w.models[0].faces.size(), 4u);
}

TEST(MqoMirror, AVertexExactlyAtTheMirrorDistanceIsShared) {
  // Corners at 0, +0.5 and -0.5 from the X plane, and one at 2.
  const std::string quad = "vertex 4 {\n0 0 0\n0.5 1 0\n-0.5 2 0\n2 0 0\n}\nface 1 {\n4 V(0 1 2 3)\n}\n}\n";
  struct Case {
    const char* distance;
    std::size_t vertices;
  };
  for (Case c : {Case{"0.5", 5}, Case{"0.49999997", 7}, Case{"0.50000006", 5}, Case{"0", 7}}) {
    CMeshwright s = Empty();
    Import(s, std::string(kV10) + "Object \"o\" {\nmirror 2\nmirror_axis 1\nmirror_dis " + c.distance + "\n" + quad);
    EXPECT_EQ(s.models.at(0).vertices.size(), c.vertices) << c.distance;
  }
}

TEST(MqoObjects, VisibleAndLockingGiveTheState) {
  struct Case {
    const char* attributes;
    std::int32_t state;
  };
  for (Case c :
       {Case{"visible 15\nlocking 0\n", kStateNormal}, Case{"visible 0\n", kStateHidden},
        Case{"locking 1\n", kStateLocked}, Case{"visible 0\nlocking 1\n", kStateHidden}, Case{"", kStateNormal}}) {
    CMeshwright s = Empty();
    Import(s, std::string(kV10) + Hexagon("3 V(0 1 2)", c.attributes));
    ASSERT_EQ(s.models.size(), 1u);
    EXPECT_EQ(s.models[0].state, c.state) << c.attributes;
  }
}

}  // namespace
}  // namespace mw
