// The converter as a user runs it: through the shell, judged by exit status, output and files.
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <vector>

#include "io/document_io.h"
#include "scene/frame_view.h"
#include "scene/archive.h"
#include "scene/uv_ops.h"
#include "tests/support/scene_samples.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

struct RunResult {
  int status = -1;
  std::string out;
};

// `out` is what the converter printed on stdout, or with `errors` on stderr.
RunResult Mwconv(const std::string& args, bool errors = false) {
  std::string cmd = MW_BIN_DIR;
  cmd.append("/mwconv ").append(args).append(errors ? " 2>&1 >/dev/null" : " 2>/dev/null");
  RunResult r;
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string Q(const std::filesystem::path& p) {
  std::string quoted(1, '\'');
  quoted.append(p.string()).push_back('\'');
  return quoted;
}

TEST(Mwconv, NewWritesTheEmptyDocument) {
  test::TempDir dir;
  EXPECT_EQ(Mwconv("--new " + Q(dir / "a.mwr")).status, 0);
  EXPECT_EQ(std::filesystem::file_size(dir / "a.mwr"), 89u);
  EXPECT_EQ(Mwconv("--new " + Q(dir / "a.MWR")).status, 0);
}

TEST(Mwconv, FormatsListsWhatItReadsAndWritesAndConvertsAmongThem) {
  RunResult r = Mwconv("--formats");
  EXPECT_EQ(r.status, 0);
  for (const char* line : {"yes  yes   .mwr             Meshwright\n", "yes  yes   .obj             Wavefront OBJ\n",
                           "yes  yes   .glb .gltf       glTF 2.0\n", "yes  no    .fbx             FBX\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << " not in\n" << r.out;
  EXPECT_EQ(Mwconv("--formats extra").status, 2);

  // OBJ -> MQO -> STL -> PLY + OBJ into one -> GLB, each step read back by the next.
  test::TempDir dir;
  const std::string obj = Q(std::filesystem::path(MW_SOURCE_DIR) / "tests/data/assimp/meshio_grid.obj");
  EXPECT_EQ(Mwconv(obj + " " + Q(dir / "a.mqo")).status, 0);
  EXPECT_EQ(Mwconv(Q(dir / "a.mqo") + " " + Q(dir / "b.stl")).status, 0);
  EXPECT_EQ(Mwconv(Q(dir / "b.stl") + " " + obj + " " + Q(dir / "c.ply")).status, 0);
  EXPECT_EQ(Mwconv(Q(dir / "c.ply") + " " + Q(dir / "d.glb")).status, 0);
  RunResult info = Mwconv("--info --summary " + Q(dir / "d.glb"));
  EXPECT_EQ(info.status, 0);
  // The OBJ's 9 faces twice: once through the .mqo and the STL, triangulated (2 + 6 x 2 + 4), once
  // straight from the OBJ, kept whole through PLY and glTF (its FB_ngon_encoding read back).
  EXPECT_NE(info.out.find("\"faceCount\":27"), std::string::npos) << info.out;
  // An input Assimp refuses: exit 1, the reason on stderr, no output file.
  test::WriteBytes(dir / "bad.ply", {'p', 'l', 'y', '\n', 'x'});
  RunResult bad = Mwconv(Q(dir / "bad.ply") + " " + Q(dir / "e.obj"), true);
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("PLY ファイルとして読み込めませんでした。("), std::string::npos) << bad.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "e.obj"));
  EXPECT_FALSE(std::filesystem::exists(dir / "e.mtl"));
  // FBX is read only: writing it is a usage error.
  EXPECT_EQ(Mwconv(Q(dir / "a.mqo") + " " + Q(dir / "f.fbx")).status, 2);
}

TEST(Mwconv, InfoPrintsTheSceneAsJson) {
  test::TempDir dir;
  ASSERT_EQ(Mwconv("--new " + Q(dir / "a.mwr")).status, 0);
  RunResult r = Mwconv("--info " + Q(dir / "a.mwr"));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\"smoothing\":1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"name\":\"Model\""), std::string::npos);
  EXPECT_NE(r.out.find("\"translation\":[0,0,-2000]"), std::string::npos);
  EXPECT_NE(r.out.find("\"open\":{\"ok\":true,\"error\":null}"), std::string::npos);
  RunResult s = Mwconv("--info --summary " + Q(dir / "a.mwr"));
  EXPECT_NE(s.out.find("\"vertexCount\":0"), std::string::npos) << s.out;
}

TEST(Mwconv, ConvertsAndRefusesBrokenInputsWithoutPartialOutput) {
  test::TempDir dir;
  ASSERT_EQ(Mwconv("--new " + Q(dir / "a.mwr")).status, 0);
  EXPECT_EQ(Mwconv(Q(dir / "a.mwr") + " " + Q(dir / "b.mwr")).status, 0);
  EXPECT_EQ(test::ReadBytes(dir / "a.mwr"), test::ReadBytes(dir / "b.mwr"));

  auto broken = test::ReadBytes(dir / "a.mwr");
  broken.resize(50);
  test::WriteBytes(dir / "broken.mwr", broken);
  EXPECT_EQ(Mwconv(Q(dir / "broken.mwr") + " " + Q(dir / "c.mwr")).status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "c.mwr"));
  RunResult info = Mwconv("--info " + Q(dir / "broken.mwr"));
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.out.find("\"error\":\"UnexpectedFormat\""), std::string::npos) << info.out;

  EXPECT_EQ(Mwconv(Q(dir / "missing.mwr") + " " + Q(dir / "c.mwr")).status, 1);
  EXPECT_EQ(Mwconv(Q(dir / "a.mwr") + " " + Q(dir / "no/such/dir/c.mwr")).status, 3);
  EXPECT_EQ(Mwconv(Q(dir / "a.mwr") + " " + Q(dir / "c.txt")).status, 2);
  EXPECT_EQ(Mwconv(Q(dir / "a.txt") + " " + Q(dir / "c.mwr")).status, 1);
}

TEST(Mwconv, MetasequoiaBothWaysAndSeveralInputs) {
  MW_REQUIRE_TESTDATA();
  test::TempDir dir;
  const auto cube = test::TestData("mqo/wanwan_cube_crlf.mqo");
  EXPECT_EQ(Mwconv(Q(cube) + " " + Q(dir / "c.mwr")).status, 0);
  EXPECT_EQ(Mwconv(Q(dir / "c.mwr") + " " + Q(dir / "c.MQO")).status, 0);
  RunResult info = Mwconv("--info --summary " + Q(dir / "c.MQO"));
  EXPECT_EQ(info.status, 0);
  // A new document's empty "Model" plus the cube from each document opened.
  EXPECT_NE(info.out.find("\"vertexCount\":8"), std::string::npos) << info.out;
  RunResult two = Mwconv("--info --summary " + Q(cube) + " " + Q(cube));
  EXPECT_EQ(two.status, 0);
  std::size_t cubes = 0;
  for (std::size_t at = 0; (at = two.out.find("\"vertexCount\":8", at)) != std::string::npos; ++at) ++cubes;
  EXPECT_EQ(cubes, 2u);
  EXPECT_EQ(Mwconv(Q(cube) + " " + Q(cube) + " " + Q(dir / "two.mwr")).status, 0);
}

TEST(Mwconv, RefusedMetasequoiaDocumentsReportTheErrorAndWriteNothing) {
  test::TempDir dir;
  const std::string text = "Metasequoia Document\r\nFormat Text Ver 2.0\r\nEof\r\n";
  test::WriteBytes(dir / "v2.mqo", std::vector<std::uint8_t>(text.begin(), text.end()));
  RunResult info = Mwconv("--info " + Q(dir / "v2.mqo"));
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.out.find("\"open\":{\"ok\":false,\"error\":\"UnsupportedVersion\"}"), std::string::npos) << info.out;
  EXPECT_EQ(Mwconv(Q(dir / "v2.mqo") + " " + Q(dir / "x.mwr")).status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.mwr"));
}

TEST(Mwconv, InfoTellsTheVersionEncodingLargeFacesAndWarnings) {
  test::TempDir dir;
  // UTF-8 without a CodePage line, a pentagon and a hexagon, a name CP932 cannot hold, a nan.
  const std::string text =
      "Metasequoia Document\nFormat Text Ver 1.1\nMaterial 1 {\n\"\xC3\xA9t\xC3\xA9\" col(1 1 1 1)\n}\n"
      "Object \"\xE7\xAE\xB1\" {\n\tvertex 6 {\n\t\t0 0 0\n\t\t1 0 0\n\t\t2 1 nan\n\t\t1 2 0\n\t\t0 2 0\n\t\t-1 1 "
      "0\n\t}\n"
      "\tface 3 {\n\t\t6 V(0 1 2 3 4 5)\n\t\t5 V(0 1 2 3 4)\n\t\t3 V(0 1 2)\n\t}\n}\nEof\n";
  test::WriteBytes(dir / "u.mqo", std::vector<std::uint8_t>(text.begin(), text.end()));
  const std::string err = (dir / "err.txt").string();
  RunResult info = Mwconv("--info --summary " + Q(dir / "u.mqo") + " 2>" + Q(err) + " #");
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("\"ngonFaces\":2,"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("\"name\":\"\xE7\xAE\xB1\""), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("\"open\":{\"ok\":true,\"error\":null,\"version\":\"1.1\",\"encoding\":\"utf8\","
                          "\"warnings\":["),
            std::string::npos)
      << info.out;
  const auto bytes = test::ReadBytes(err);
  const std::string stderrText(bytes.begin(), bytes.end());
  // Both warnings in one message, printed once.
  EXPECT_EQ(stderrText.find("mwconv: warning: "), stderrText.rfind("mwconv: warning: ")) << stderrText;
  EXPECT_NE(stderrText.find("「?」"), std::string::npos) << stderrText;
  EXPECT_NE(stderrText.find("nan"), std::string::npos) << stderrText;
  // Converted to .mqo, the large faces make a version 1.1 document; a 1.0 file stays 1.0.
  EXPECT_EQ(Mwconv(Q(dir / "u.mqo") + " " + Q(dir / "out.mqo")).status, 0);
  RunResult again = Mwconv("--info --summary " + Q(dir / "out.mqo"));
  EXPECT_NE(again.out.find("\"version\":\"1.1\",\"encoding\":\"cp932\"}"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find("\"ngonFaces\":2,"), std::string::npos) << again.out;
}

TEST(Mwconv, InfoTellsWhereEachTextureWasFound) {
  MW_REQUIRE_TESTDATA();
  // Each run is given a texture folder of its own, so nothing is written beside the program.
  test::TempDir textures, empty, doc;
  const auto jpg = test::TestData("jpg/mqo-texture/pymeshio_front.jpg");
  const auto cube = test::TestData("mqo/pymeshio_cube.mqo");
  std::filesystem::copy_file(jpg, textures / "front.jpg");
  const std::string fields = "\"texture\":\"front.jpg\",\"alphaPlane\":\"\",\"bump\":\"\",\"texturePath\":";
  const std::string withTextures = "--textures " + Q(textures.path()) + " --info --summary " + Q(cube);
  RunResult info = Mwconv(withTextures);
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find(fields + "\"" + (textures / "front.jpg").string() +
                          "\",\"textureLoaded\":true,\"width\":256,\"height\":256,\"bits\":24"),
            std::string::npos)
      << info.out;
  EXPECT_EQ(Mwconv(withTextures, true).out, "");
  // A texture beside the document comes first.
  std::filesystem::copy_file(cube, doc / "cube.mqo");
  std::filesystem::copy_file(jpg, doc / "front.jpg");
  RunResult beside = Mwconv("--textures " + Q(textures.path()) + " --info --summary " + Q(doc / "cube.mqo"));
  EXPECT_NE(beside.out.find(fields + "\"" + (doc / "front.jpg").string() + "\",\"textureLoaded\":true"),
            std::string::npos)
      << beside.out;
  // Found nowhere: the name is kept, reported as not found, and said once on stderr.
  const std::string withoutTextures = "--textures " + Q(empty.path()) + " --info --summary " + Q(cube);
  RunResult missing = Mwconv(withoutTextures);
  EXPECT_EQ(missing.status, 0);
  EXPECT_NE(missing.out.find(fields + "null,\"textureLoaded\":false}"), std::string::npos) << missing.out;
  EXPECT_EQ(Mwconv(withoutTextures, true).out, "mwconv: warning: テクスチャの読み込みに失敗しました\nfront.jpg\n");
  // Written out, the name is unchanged.
  EXPECT_EQ(Mwconv("--textures " + Q(empty.path()) + " " + Q(cube) + " " + Q(doc / "out.mwr")).status, 0);
  EXPECT_NE(Mwconv("--info --summary " + Q(doc / "out.mwr")).out.find("\"texture\":\"front.jpg\""), std::string::npos);
}

TEST(Mwconv, ADocumentWithSeveralMissingTexturesSaysSoOnce) {
  test::TempDir dir;
  const std::string mqo =
      "Metasequoia Document\r\nFormat Text Ver 1.0\r\n\r\nMaterial 4 {\r\n"
      "\t\"a\" col(1.000 1.000 1.000 1.000) dif(0.800) amb(0.600) emi(0.000) spc(0.000) power(5.00) "
      "tex(\"one.png\")\r\n"
      "\t\"b\" col(1.000 1.000 1.000 1.000) dif(0.800) amb(0.600) emi(0.000) spc(0.000) power(5.00) "
      "tex(\"maps\\two.bmp\")\r\n"
      "\t\"c\" col(1.000 1.000 1.000 1.000) dif(0.800) amb(0.600) emi(0.000) spc(0.000) power(5.00) "
      "tex(\"one.png\")\r\n"
      "\t\"d\" col(1.000 1.000 1.000 1.000) dif(0.800) amb(0.600) emi(0.000) spc(0.000) power(5.00) "
      "tex(\"C:\\t\\three.tga\")\r\n"
      "}\r\nEof\r\n";
  test::WriteBytes(dir / "m.mqo", std::vector<std::uint8_t>(mqo.begin(), mqo.end()));
  RunResult r =
      Mwconv("--textures " + Q(dir.path()) + " --info --summary " + Q(dir / "m.mqo") + " " + Q(dir / "m.mqo"), true);
  EXPECT_EQ(r.status, 0) << r.out;
  // One message per document opened, each naming every missing texture once.
  const std::string message =
      "mwconv: warning: テクスチャの読み込みに失敗しました\none.png\nmaps\\two.bmp\nC:\\t\\three.tga\n";
  EXPECT_EQ(r.out, message + message);
}

TEST(Mwconv, TexturesOptionNeedsAFolder) {
  EXPECT_EQ(Mwconv("--textures").status, 2);
  EXPECT_EQ(Mwconv("--textures ''  --new x.mwr").status, 2);
  EXPECT_EQ(Mwconv("--textures /tmp").status, 2);
}

TEST(Mwconv, EachFailureNamesTheFileOnceInJapanese) {
  test::TempDir dir;
  const std::string missing = (dir / "a.mwr").string();
  RunResult r = Mwconv(Q(missing) + " " + Q(dir / "b.mwr"), true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "mwconv: " + missing + ": ファイルを開けません。ファイルまたはフォルダーが見つかりません。\n");
  r = Mwconv("--info " + Q(missing), true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "mwconv: " + missing + ": ファイルを開けません。ファイルまたはフォルダーが見つかりません。\n");
  EXPECT_NE(Mwconv("--info " + Q(missing)).out.find("\"open\":{\"ok\":false,\"error\":\"CannotOpen\"}"),
            std::string::npos);

  const std::string unwritable = (dir / "no/such/c.mqo").string();
  ASSERT_EQ(Mwconv("--new " + Q(dir / "a.mwr")).status, 0);
  r = Mwconv(Q(dir / "a.mwr") + " " + Q(unwritable), true);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "mwconv: " + unwritable + ": 保存できませんでした。ファイルまたはフォルダーが見つかりません。\n");
  r = Mwconv("--new " + Q(dir / "x.txt"), true);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "mwconv: " + (dir / "x.txt").string() + ": 対応していない種類のファイルです。\n");
  r = Mwconv(Q(dir / "a.mwr") + " " + Q(dir / "c.txt"), true);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "mwconv: " + (dir / "c.txt").string() + ": 対応していない種類のファイルです。\n");
}

TEST(Mwconv, FrameSetsTheCameraAsTheProgramsFrameAllBeforeWriting) {
  test::TempDir dir;
  const std::filesystem::path cockpit = std::filesystem::path(MW_TESTDATA_DIR) / "mqo/vastspace_A10-cockpit.mqo";
  MW_REQUIRE_TESTDATA();
  // The option may come anywhere before the output.
  ASSERT_EQ(Mwconv(Q(cockpit) + " --frame " + Q(dir / "a.mwr")).status, 0);
  ASSERT_EQ(Mwconv("--frame " + Q(cockpit) + " " + Q(dir / "b.mwr")).status, 0);
  ASSERT_EQ(Mwconv(Q(cockpit) + " " + Q(dir / "plain.mwr")).status, 0);

  CMeshwright expected;
  expected.ResetScene();
  ASSERT_TRUE(OpenDocumentFile(expected, cockpit.string()).ok());
  PanOffsets pan;
  ASSERT_TRUE(FrameScene(expected, pan, DefaultViewports(), false));
  for (const char* name : {"a.mwr", "b.mwr"}) {
    CMeshwright got;
    got.ResetScene();
    ASSERT_TRUE(OpenDocumentFile(got, (dir / name).string()).ok());
    EXPECT_EQ(got.camera.translation, expected.camera.translation) << name;
    EXPECT_EQ(got.camera.rotation, CVector(20, 10, 0));  // framing turns nothing
    // Every vertex in front of the camera, inside the default perspective pane.
    got.zoom = expected.zoom;
    got.viewportWidth = static_cast<float>(DefaultViewports().perspective.width);
    got.viewportHeight = static_cast<float>(DefaultViewports().perspective.height);
    for (const CModel& m : got.models)
      for (const CVertex& v : m.vertices) {
        const CVector n = PerspectiveNdc(got, v.position);
        EXPECT_LT(std::fabs(n.x), 1.0f);
        EXPECT_LT(std::fabs(n.y), 1.0f);
        EXPECT_LT(std::fabs(n.z), 1.0f);
      }
  }
  CMeshwright plain;
  plain.ResetScene();
  ASSERT_TRUE(OpenDocumentFile(plain, (dir / "plain.mwr").string()).ok());
  EXPECT_EQ(plain.camera.translation, CVector(0, 0, -2000));

  // --info shows the framed camera; with nothing visible the camera stays.
  RunResult info = Mwconv("--info --summary --frame " + Q(cockpit));
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.out.find("\"translation\":[0,0,-2000]"), std::string::npos) << info.out;
  ASSERT_EQ(Mwconv("--new " + Q(dir / "empty.mwr")).status, 0);
  info = Mwconv("--info --frame " + Q(dir / "empty.mwr"));
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("\"translation\":[0,0,-2000]"), std::string::npos) << info.out;
  EXPECT_EQ(Mwconv("--frame").status, 2);
  EXPECT_EQ(Mwconv("--frame " + Q(dir / "out.mwr")).status, 2);
}

TEST(Mwconv, UsageErrors) {
  EXPECT_EQ(Mwconv("").status, 2);
  EXPECT_EQ(Mwconv("--info").status, 2);
  EXPECT_EQ(Mwconv("--new").status, 2);
  EXPECT_EQ(Mwconv("--bogus a b").status, 2);
  EXPECT_EQ(Mwconv("only-one.mwr").status, 2);
}

// The converter on a terminal: stdout and stderr both go to a pseudo-terminal; what it printed.
RunResult MwconvOnTerminal(const std::vector<std::string>& args) {
  RunResult r;
  const std::string program = std::string(MW_BIN_DIR) + "/mwconv";
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child < 0) return r;
  if (child == 0) {
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  char buf[4096];
  for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) r.out.append(buf, static_cast<std::size_t>(n));
  close(master);
  int st = 0;
  waitpid(child, &st, 0);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

// A grid of 301 x 301 vertices: about 9 MB as .mwr, over the size that gets a bar.
void WriteLargeDocument(const std::filesystem::path& path) {
  CMeshwright s;
  s.ResetScene();
  test::FillGrid(s.models[0], 301);
  ASSERT_TRUE(SaveSceneFile(s, path.string()).ok());
}

TEST(Mwconv, ALargeReadShowsABarOnATerminalOnly) {
  test::TempDir dir;
  WriteLargeDocument(dir / "big.mwr");
  const RunResult terminal = MwconvOnTerminal({(dir / "big.mwr").string(), (dir / "a.mqo").string()});
  EXPECT_EQ(terminal.status, 0);
  EXPECT_NE(terminal.out.find("mwconv: big.mwr を読み込んでいます ["), std::string::npos) << terminal.out;
  EXPECT_NE(terminal.out.find("\r\033[K"), std::string::npos) << "the bar is cleared at the end";
  EXPECT_TRUE(std::filesystem::exists(dir / "a.mqo"));
  // Not on a pipe, and not for a small file on a terminal.
  const RunResult piped = Mwconv(Q(dir / "big.mwr") + " " + Q(dir / "b.mqo"), true);
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.out, "");
  ASSERT_EQ(Mwconv("--new " + Q(dir / "small.mwr")).status, 0);
  const RunResult small = MwconvOnTerminal({(dir / "small.mwr").string(), (dir / "c.mqo").string()});
  EXPECT_EQ(small.status, 0);
  EXPECT_EQ(small.out, "");
}

// A model left as a triangle-soup export leaves it: two quadrilaterals whose shared edge is there
// twice, a little apart, and a small triangle of three near copies of one point.
void WriteSoup(const std::filesystem::path& path) {
  const std::string text =
      "Metasequoia Document\r\nFormat Text Ver 1.0\r\n\r\nObject \"soup\" {\r\n\tvertex 11 {\r\n"
      "\t\t0 0 0\r\n\t\t1 0 0\r\n\t\t1 1 0\r\n\t\t0 1 0\r\n\t\t1.0004 0 0\r\n\t\t2 0 0\r\n\t\t2 1 0\r\n"
      "\t\t1 1.0003 0\r\n\t\t5 5 0\r\n\t\t5.0002 5 0\r\n\t\t5 5.0002 0\r\n\t}\r\n\tface 3 {\r\n"
      "\t\t4 V(0 1 2 3)\r\n\t\t4 V(4 5 6 7) UV(0 0 0.25 0 0.5 0 0.75 0)\r\n\t\t3 V(8 9 10)\r\n\t}\r\n}\r\nEof\r\n";
  test::WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

TEST(Mwconv, WeldMergesCloseVerticesAndDropsCollapsedFacesBeforeWriting) {
  test::TempDir dir;
  WriteSoup(dir / "soup.mqo");
  ASSERT_EQ(Mwconv("--weld 0.001 " + Q(dir / "soup.mqo") + " " + Q(dir / "welded.mwr")).status, 0);
  RunResult info = Mwconv("--info " + Q(dir / "welded.mwr"));
  EXPECT_EQ(info.status, 0);
  // Each pair and the triangle's three points become one vertex at their average; the triangle goes.
  EXPECT_NE(info.out.find("\"vertices\":[[0,0,0],[1.00020003,0,0],[1,1.00014997,0],[0,1,0],[2,0,0],[2,1,0],"
                          "[5.00006676,5.00006676,0]]"),
            std::string::npos)
      << info.out;
  EXPECT_NE(info.out.find("\"faces\":[{\"indices\":[0,1,2,3],\"material\":0,\"uvs\":[],\"normal\":[0,0,1.00035]},"
                          "{\"indices\":[1,4,5,2],\"material\":0,\"uvs\":[[0,0],[0.25,0],[0.5,0],[0.75,0]]"),
            std::string::npos)
      << info.out;
  // A distance below every gap welds nothing; --info takes the operations too.
  RunResult fine = Mwconv("--weld 1e-5 --info --summary " + Q(dir / "soup.mqo"));
  EXPECT_EQ(fine.status, 0);
  EXPECT_NE(fine.out.find("\"vertexCount\":11,\"faceCount\":3"), std::string::npos) << fine.out;
}

TEST(Mwconv, FlipAndTriangulateRunInTheOrderGiven) {
  test::TempDir dir;
  const std::string obj = Q(std::filesystem::path(MW_SOURCE_DIR) / "tests/data/assimp/meshio_grid.obj");
  const std::string plain = Mwconv("--info " + obj).out;
  // Flipping twice gives back every face, normals too.
  EXPECT_EQ(Mwconv("--flip --flip --info " + obj).out, plain);
  RunResult flipped = Mwconv("--flip --info " + obj);
  EXPECT_EQ(flipped.status, 0);
  EXPECT_NE(plain.find("{\"indices\":[0,1,2,3],"), std::string::npos) << plain;
  EXPECT_NE(flipped.out.find("{\"indices\":[3,2,1,0],"), std::string::npos) << flipped.out;
  // Six quadrilaterals, two triangles and a hexagon make 6 x 2 + 2 + 4 triangles.
  ASSERT_EQ(Mwconv("--triangulate " + obj + " " + Q(dir / "t.mwr")).status, 0);
  RunResult tri = Mwconv("--info --summary " + Q(dir / "t.mwr"));
  EXPECT_NE(tri.out.find("\"ngonFaces\":0,"), std::string::npos) << tri.out;
  EXPECT_NE(tri.out.find("\"vertexCount\":21,\"faceCount\":18"), std::string::npos) << tri.out;
  // Flipping before splitting starts the ear clipping elsewhere than splitting and then flipping.
  const std::string a = Mwconv("--flip --triangulate --info " + obj).out;
  const std::string b = Mwconv("--triangulate --flip --info " + obj).out;
  EXPECT_NE(a, b);
  EXPECT_NE(a.find("\"faces\":[{\"indices\":[0,3,2]"), std::string::npos) << a;
  EXPECT_NE(b.find("\"faces\":[{\"indices\":[1,0,3]"), std::string::npos) << b;
}

CMeshwright ReadMwr(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  CMeshwright scene;
  EXPECT_TRUE(ReadScene(scene, bytes.data(), bytes.size()).ok()) << path;
  return scene;
}

// A box cut at its sharp edges unwraps into six islands apart from each other inside the square;
// the seams go into the .mwr, the UVs through .mqo and back.
TEST(Mwconv, UnwrapCutsAtSharpEdgesAndItsUVsSurviveBothFormats) {
  test::TempDir dir;
  ASSERT_EQ(Mwconv("--add box --unwrap " + Q(dir / "u.mwr")).status, 0);
  ASSERT_EQ(Mwconv("--add box --unwrap " + Q(dir / "u.mqo")).status, 0);
  ASSERT_EQ(Mwconv(Q(dir / "u.mqo") + " " + Q(dir / "back.mwr")).status, 0);
  const CMeshwright a = ReadMwr(dir / "u.mwr"), b = ReadMwr(dir / "back.mwr");
  ASSERT_FALSE(a.models.empty());
  const CModel& m = a.models.back();  // the box, after the new document's empty model
  EXPECT_EQ(m.seamEdges.size(), 12u);
  std::vector<std::int32_t> all(m.faces.size());
  for (std::size_t f = 0; f < all.size(); ++f) all[f] = static_cast<std::int32_t>(f);
  EXPECT_EQ(FindUVIslands(m, all).size(), 6u);
  EXPECT_EQ(CountOverlappingUVFaces(m, all), 0u);
  ASSERT_EQ(b.models.size(), a.models.size());
  const CModel& n = b.models.back();
  ASSERT_EQ(n.faces.size(), m.faces.size());
  for (std::size_t f = 0; f < m.faces.size(); ++f) {
    ASSERT_EQ(n.faces[f].uvs.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
      const CUV uv = m.faces[f].uvs[k];
      EXPECT_TRUE(uv.u >= 0 && uv.u <= 1 && uv.v >= 0 && uv.v <= 1);
      EXPECT_NEAR(n.faces[f].uvs[k].u, uv.u, 1e-6);  // .mqo writes six decimals
      EXPECT_NEAR(n.faces[f].uvs[k].v, uv.v, 1e-6);
    }
  }
}

TEST(Mwconv, SubdivideAndTrisToQuadsCountFaces) {
  const std::string obj = Q(std::filesystem::path(MW_SOURCE_DIR) / "tests/data/assimp/meshio_grid.obj");
  struct Case {
    const char* ops;
    const char* counts;
  };
  // Six quads, two triangles and a hexagon: N x N each for quads and triangles; the hexagon gives a
  // quad per corner at 2 and three triangles per side from its centre at 3. Pairs of the split quads
  // come back as quads, whatever the angle allowed, as the grid is flat.
  for (const Case& c : {Case{"--subdivide 2", "\"vertexCount\":55,\"faceCount\":38"},
                        Case{"--subdivide 3", "\"vertexCount\":102,\"faceCount\":90"},
                        Case{"--triangulate --tris-to-quads 0", "\"vertexCount\":21,\"faceCount\":12"},
                        Case{"--triangulate --tris-to-quads 180", "\"vertexCount\":21,\"faceCount\":12"}}) {
    RunResult r = Mwconv(std::string(c.ops) + " --info --summary " + obj);
    EXPECT_EQ(r.status, 0) << c.ops;
    EXPECT_NE(r.out.find(c.counts), std::string::npos) << c.ops << ": " << r.out;
  }
  for (const char* bad : {"--subdivide 1", "--subdivide 33", "--subdivide 2.5", "--subdivide x", "--tris-to-quads -1",
                          "--tris-to-quads 181", "--tris-to-quads nan"}) {
    RunResult r = Mwconv(std::string(bad) + " --info " + obj, true);
    EXPECT_EQ(r.status, 2) << bad;
  }
}

TEST(Mwconv, OperationsGivenWronglyAreUsageErrorsAndWriteNothing) {
  test::TempDir dir;
  WriteSoup(dir / "soup.mqo");
  for (const char* bad : {"--weld", "--weld 0", "--weld -1", "--weld nan", "--weld inf", "--weld 1mm", "--weld ''"}) {
    RunResult r = Mwconv(std::string(bad) + " " + Q(dir / "soup.mqo") + " " + Q(dir / "out.mwr"), true);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.out.find("--weld needs a distance"), std::string::npos) << bad << ": " << r.out;
  }
  EXPECT_EQ(Mwconv("--flip --new " + Q(dir / "out.mwr")).status, 2);
  EXPECT_EQ(Mwconv("--flip --formats").status, 2);
  EXPECT_EQ(Mwconv("--flip").status, 2);
  EXPECT_FALSE(std::filesystem::exists(dir / "out.mwr"));
  // Operations may stand among the inputs; they still run after every input is read.
  ASSERT_EQ(Mwconv(Q(dir / "soup.mqo") + " --weld 0.001 " + Q(dir / "soup.mqo") + " " + Q(dir / "two.mwr")).status, 0);
  RunResult two = Mwconv("--info --summary " + Q(dir / "two.mwr"));
  EXPECT_NE(two.out.find("\"vertexCount\":7,\"faceCount\":2},\n{\"name\":\"soup\",\"state\":1,\"mirrorAxis\":0,"
                         "\"facet\":0,\"vertexCount\":7,\"faceCount\":2}"),
            std::string::npos)
      << two.out;
  // An input that cannot be read stops the run before any operation or output.
  EXPECT_EQ(Mwconv("--flip " + Q(dir / "missing.mqo") + " " + Q(dir / "out.mwr")).status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "out.mwr"));
}

// A PNG chunk stating nearly 2 GB in a file of a hundred bytes: libpng would reserve the stated
// size before reading (address space, not touched, so only the system calls show it). The texture
// is loaded as --info loads it, under strace, and no mapping may come near that size.
TEST(Mwconv, APngChunkStatingGigabytesReservesNothingOfThem) {
  ASSERT_EQ(std::system("strace -V >/dev/null 2>&1"), 0) << "strace is needed (scripts/setup.sh installs it)";
  test::TempDir dir;
  auto be32 = [](std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 3; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  // The signature and IHDR of a 32 x 32 picture, then a zTXt header claiming 0x71C71C71 bytes.
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  be32(png, 32);
  be32(png, 32);
  png.insert(png.end(), {8, 2, 0, 0, 0, 0xFC, 0x18, 0xED, 0xA3});
  be32(png, 0x71C71C71u);
  for (const char c : std::string("zTXtComment\0\0x", 14)) png.push_back(static_cast<std::uint8_t>(c));
  test::WriteBytes(dir / "z.png", png);
  const std::string mqo = "Metasequoia Document\r\nFormat Text Ver 1.0\r\n\r\nMaterial 1 {\r\n\t\"m\" tex(\"z.png\")\r\n}\r\nEof\r\n";
  test::WriteBytes(dir / "z.mqo", std::vector<std::uint8_t>(mqo.begin(), mqo.end()));
  const std::string log = (dir / "trace").string();
  const std::string command = "strace -f -qq -e trace=mmap,mremap -o '" + log + "' " + MW_BIN_DIR + "/mwconv --info " +
                              Q(dir / "z.mqo") + " >/dev/null 2>&1";
  std::system(command.c_str());
  std::ifstream in(log);
  std::string line;
  unsigned long long largest = 0;
  int calls = 0;
  while (std::getline(in, line)) {
    const std::size_t at = line.find("mmap(");
    // Reservations that hold no memory (a sanitizer's shadow and allocator regions) do not count.
    if (at == std::string::npos || line.find("MAP_NORESERVE") != std::string::npos ||
        line.find("PROT_NONE") != std::string::npos || line.find("MAP_FIXED") != std::string::npos)
      continue;
    ++calls;
    const std::size_t comma = line.find(", ", at);
    if (comma != std::string::npos) largest = std::max(largest, std::strtoull(line.c_str() + comma + 2, nullptr, 10));
  }
  ASSERT_GT(calls, 0) << "no mappings traced: " << command;
  EXPECT_LT(largest, 64ull << 20) << "a mapping of " << largest << " bytes";
}

// Peak resident memory of one run of the converter (KiB), its output thrown away.
long PeakKiB(const std::vector<std::string>& args) {
  const std::string program = std::string(MW_BIN_DIR) + "/mwconv";
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss;
}

// --info writes its JSON as it goes: printing a scene costs no more than converting it, although
// the text is several times the document.
TEST(Mwconv, InfoOfALargeSceneIsStreamed) {
  test::TempDir dir;
  CMeshwright scene;
  scene.ResetScene();
  CModel& m = scene.models[0];
  const int side = 300;
  for (int y = 0; y <= side; ++y)
    for (int x = 0; x <= side; ++x) m.vertices.emplace_back(x * 1.25f, y * 0.75f, 0.5f);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int a = y * (side + 1) + x;
      for (const std::array<int, 3>& t : {std::array<int, 3>{a, a + 1, a + side + 2}, std::array<int, 3>{a, a + side + 2, a + side + 1}}) {
        CFace& f = m.faces.emplace_back();
        f.indices = {t[0], t[1], t[2]};
        f.uvs = {CUV(0.125f, 0.25f), CUV(0.5f, 0.75f), CUV(1, 0)};
      }
    }
  m.RebuildFaceRefs();
  const std::string in = (dir / "big.mwr").string();
  ASSERT_TRUE(SaveSceneFile(scene, in).ok());
  const long input = static_cast<long>(std::filesystem::file_size(in)) / 1024;
  const long converting = PeakKiB({in, (dir / "copy.mwr").string()});
  const long printing = PeakKiB({"--info", in});
  ASSERT_GT(converting, 0);
  ASSERT_GT(printing, 0);
  EXPECT_LE(printing - converting, input / 2 + 12 * 1024)
      << "--info took " << printing / 1024 << " MiB, converting " << converting / 1024 << " MiB, for "
      << input / 1024 << " MiB of document";
  // The text itself is unchanged: the start and end of what --info prints.
  const RunResult r = Mwconv("--info " + Q(in));
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("{\"smoothing\":", 0), 0u);
  EXPECT_NE(r.out.find("\"open\":{\"ok\":true"), std::string::npos);
  EXPECT_EQ(r.out.back(), '\n');
}

TEST(Mwconv, AddMakesShapesAsModelsOfTheirOwnWithOrWithoutInputs) {
  test::TempDir dir;
  // No input needed; each shape a model named after it, in the order given, after the inputs.
  RunResult info = Mwconv("--add sphere:segments=8,rings=4 --add 'BOX:size=10,x=100' --info --summary");
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("{\"name\":\"sphere\",\"state\":1,\"mirrorAxis\":0,\"facet\":0,\"vertexCount\":26,"
                          "\"faceCount\":32},\n{\"name\":\"box\",\"state\":1,\"mirrorAxis\":0,\"facet\":0,"
                          "\"vertexCount\":8,\"faceCount\":6}"),
            std::string::npos)
      << info.out;
  WriteSoup(dir / "soup.mqo");
  ASSERT_EQ(Mwconv("--add torus:segments=3,minorsegments=3 " + Q(dir / "soup.mqo") + " " + Q(dir / "t.mwr")).status, 0);
  RunResult both = Mwconv("--info --summary " + Q(dir / "t.mwr"));
  EXPECT_NE(both.out.find("\"vertexCount\":11,\"faceCount\":3},\n{\"name\":\"torus\""), std::string::npos) << both.out;
  // A shape that cannot be built is a usage error naming the setting, and writes nothing.
  for (const char* bad : {"--add", "--add ball", "--add sphere:rings=1", "--add cone:sides=3,radius=0",
                          "--add sphere:sides=5"}) {
    RunResult r = Mwconv(std::string(bad) + " " + Q(dir / "out.obj"), true);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.out.find("mwconv: --add"), std::string::npos) << bad << ": " << r.out;
  }
  RunResult rings = Mwconv("--add sphere:rings=1 " + Q(dir / "out.obj"), true);
  EXPECT_NE(rings.out.find("rings must be a whole number from 2 to 1000"), std::string::npos) << rings.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "out.obj"));
}

}  // namespace
}  // namespace mw

namespace mw {
namespace {

TEST(Mwconv, SubdivideSmoothBakesEveryModelAndRefusesLevelsOutsideOneToFour) {
  test::TempDir dir;
  // A box's six quadrilaterals become 6 x 4^N; the 26 vertices of one level are the scheme's.
  RunResult one = Mwconv("--add box:size=10 --add 'plane:width=4,depth=4' --subdivide-smooth 1 --info --summary");
  EXPECT_EQ(one.status, 0);
  EXPECT_NE(one.out.find("\"vertexCount\":26,\"faceCount\":24}"), std::string::npos) << one.out;
  EXPECT_NE(one.out.find("\"vertexCount\":9,\"faceCount\":4}"), std::string::npos) << one.out;
  RunResult four = Mwconv("--add box:size=10 --subdivide-smooth 4 --info --summary");
  EXPECT_NE(four.out.find("\"faceCount\":1536}"), std::string::npos) << four.out;
  for (const char* bad : {"0", "5", "", "1.5", "2x", "-1"}) {
    RunResult r = Mwconv(std::string("--add box --subdivide-smooth '") + bad + "' " + Q(dir / "out.mwr"), true);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.out.find("--subdivide-smooth needs a level"), std::string::npos) << bad << ": " << r.out;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "out.mwr"));
}

}  // namespace
}  // namespace mw
