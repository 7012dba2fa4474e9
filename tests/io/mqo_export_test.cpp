#include <gtest/gtest.h>


#include "io/loader_mqo.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

const char* kNewDocument =
    "Metasequoia Document\r\n"
    "Format Text Ver 1.0\r\n"
    "\r\n"
    "Scene {\r\n"
    "\tpos 0.0000 0.0000 1500.0000\r\n"
    "\tlookat 0.0000 0.0000 0.0000\r\n"
    "\thead -0.3800\r\n"
    "\tpich 0.2300\r\n"
    "\tortho 0\r\n"
    "\tzoom2 5.0000\r\n"
    "\tamb 0.250 0.250 0.250\r\n"
    "}\r\n"
    "Material 0 {\r\n"
    "}\r\n"
    "Object \"Model\" {\r\n"
    "\tvisible 15\r\n"
    "\tlocking 0\r\n"
    "\tshading 1\r\n"
    "\tfacet 0\r\n"
    "\tcolor 0.898 0.498 0.698\r\n"
    "\tcolor_type 0\r\n"
    "\tvertex 0 {\r\n"
    "\t}\r\n"
    "\tface 0 {\r\n"
    "\t}\r\n"
    "}\r\n"
    "Eof\r\n";

TEST(MqoExport, NewDocumentByteForByte) {
  CMeshwright s;
  s.ResetScene();
  EXPECT_EQ(MetasequoiaText(s), kNewDocument);
  test::TempDir dir;
  ASSERT_TRUE(ExportMetasequoia(s, (dir / "a.mqo").string()));
  const auto bytes = test::ReadBytes(dir / "a.mqo");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), kNewDocument);
}

TEST(MqoExport, MaterialLinesAndFaceForms) {
  CMeshwright s;
  s.ResetScene();
  s.AddMaterial();
  s.materials[0].name = "m";
  s.AddMaterial();
  s.materials[1].name = "t";
  s.materials[1].texture = "wood.bmp";
  s.materials[1].color[0] = -12.5f;
  CModel& m = s.models[0];
  m.state = kStateHidden;
  m.vertices = {CVertex(0, 0, 0), CVertex(1.5f, -2, 3), CVertex(0, 1, 0), CVertex(1, 1, 0)};
  CFace one, line, tri, quad, triNoUV;
  one.indices = {0};
  line.indices = {0, 1};
  line.uvs = {CUV(0, 0), CUV(1, 1)};
  line.material = 1;
  tri.indices = {2, 1, 0};
  tri.uvs = {CUV(0.25f, 0.5f), CUV(1, 0), CUV(0, 1)};
  tri.material = 0;
  quad.indices = {0, 1, 2, 3};
  quad.uvs = {CUV(0, 0), CUV(0, 1), CUV(1, 1), CUV(1, 0)};
  quad.material = -1;
  triNoUV.indices = {0, 1, 2};
  m.faces = {one, line, tri, quad, triNoUV};
  const std::string text = MetasequoiaText(s);
  EXPECT_NE(text.find("Material 2 {\r\n\t\"m\" shader(3) col(0.800000 0.800000 0.800000 1.000000) dif(1.000000) "
                      "amb(0.250000) emi(0.000000) spc(0.000000) power(5.000000)\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\t\"t\" shader(3) col(-12.500000 0.800000 0.800000 1.000000) dif(1.000000) amb(0.250000) "
                      "emi(0.000000) spc(0.000000) power(5.000000) tex(\"wood.bmp\")\r\n}\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\t\t1.500000 -2.000000 3.000000\r\n"), std::string::npos);
  EXPECT_NE(text.find("\tface 4 {\r\n"
                      "\t\t2 V(0 1) M(1)\r\n"
                      "\t\t3 V(2 1 0) M(0) UV(0.250000 0.500000 1.000000 0.000000 0.000000 1.000000)\r\n"
                      "\t\t4 V(0 1 2 3) M(-1) UV(0.000000 0.000000 0.000000 1.000000 1.000000 1.000000 1.000000 "
                      "0.000000)\r\n"
                      "\t\t3 V(0 1 2) M(0)\r\n"
                      "\t}\r\n"),
            std::string::npos)
      << text;
}

TEST(MqoExport, RoundTripThroughTheImporter) {
  CMeshwright s;
  s.ResetScene();
  s.AddMaterial();
  s.AddMaterial();
  s.materials[1].power = 64.0f;
  s.materials[1].texture = "t.bmp";
  s.models[0].name = "\x83\x65\x83\x58\x83\x67";
  s.models[0].vertices = {CVertex(0, 0, 0), CVertex(10.25f, 0, 0), CVertex(0, -7.5f, 3)};
  CFace f;
  f.indices = {0, 1, 2};
  f.uvs = {CUV(0, 0), CUV(0.5f, 1), CUV(1, 0.125f)};
  f.material = 1;
  CFace l;
  l.indices = {1, 2};
  s.models[0].faces = {f, l};
  test::TempDir dir;
  const std::string path = (dir / "rt.mqo").string();
  ASSERT_TRUE(ExportMetasequoia(s, path));
  CMeshwright t;
  t.ResetScene();
  t.models.clear();
  ASSERT_TRUE(ImportMetasequoia(t, path));
  ASSERT_EQ(t.models.size(), 1u);
  EXPECT_EQ(t.models[0].name, s.models[0].name);
  ASSERT_EQ(t.models[0].vertices.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(t.models[0].vertices[i].position, s.models[0].vertices[i].position);
  ASSERT_EQ(t.models[0].faces.size(), 2u);
  EXPECT_EQ(t.models[0].faces[0].indices, f.indices);
  EXPECT_EQ(t.models[0].faces[0].uvs, f.uvs);
  EXPECT_EQ(t.models[0].faces[0].material, 1);
  EXPECT_EQ(t.models[0].faces[1].indices, l.indices);
  ASSERT_EQ(t.materials.size(), 2u);
  EXPECT_EQ(t.materials[1].power, 64.0f);
  EXPECT_EQ(t.materials[1].texture, "t.bmp");
}

TEST(MqoExport, FailedWritesAreReportedAndLeaveTheOldFile) {
  CMeshwright s;
  s.ResetScene();
  test::TempDir dir;
  std::string error;
  EXPECT_FALSE(ExportMetasequoia(s, (dir / "no/such/x.mqo").string(), &error));
  EXPECT_FALSE(error.empty());
  const auto target = dir / "folder.mqo";
  std::filesystem::create_directory(target);
  EXPECT_FALSE(ExportMetasequoia(s, target.string(), &error));
  EXPECT_TRUE(std::filesystem::is_directory(target));
}

}  // namespace
}  // namespace mw
