// Files named by files: a document from elsewhere names a file outside its folder in every way a
// format allows ("..", an absolute path, file://, a symbolic link leading out, %2e%2e, Windows
// backslashes), and none of that file's bytes may reach the scene. Each reference is read the way
// the program reads it: Assimp's formats in this process and by the helper under strace (which
// must never open the outside folder), textures through the texture lookup.
#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "image/material_texture.h"
#include "io/assimp_io.h"
#include "io/loader_mqo.h"
#include "io/loader_mqoz.h"
#include "platform/message.h"
#include "tests/hostile/hostile_files.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

namespace fs = std::filesystem;

// The outside file's floats: a leak shows as vertices at exactly these coordinates.
constexpr float kSecret[9] = {101.5f, 202.25f, 303.125f, 404.5f, 505.25f, 606.125f, 707.5f, 808.25f, 909.125f};

std::string TextOf(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

class NamedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    outside_ = root_ / "outside";
    doc_ = root_ / "doc";
    fs::create_directories(outside_);
    fs::create_directories(doc_ / "sub");
    std::ofstream(outside_ / "secret.bin", std::ios::binary).write(reinterpret_cast<const char*>(kSecret), sizeof kSecret);
    WriteText(outside_ / "leak.mtl", "newmtl leak\nKd 0.125 0.375 0.625\n");
    const test::Bytes png = test::ZeroPng(4, 4);
    test::WriteBytes(outside_ / "t.png", png);
    test::WriteBytes(doc_ / "sub" / "ok.png", png);
    fs::copy_file(outside_ / "secret.bin", doc_ / "inside.bin");
    fs::create_symlink("../outside/secret.bin", doc_ / "link.bin");
    fs::create_symlink("../outside/leak.mtl", doc_ / "link.mtl");
    fs::create_symlink("../outside/t.png", doc_ / "link.png");
    fs::create_symlink("sub/ok.png", doc_ / "ok_link.png");  // a link that stays inside
    previousSink_ = SetMessageSink([this](std::string_view text, MessageIcon) { messages_ += std::string(text); });
  }
  void TearDown() override { SetMessageSink(previousSink_); }

  // Every way of naming outside/`file` from a document in doc/.
  std::vector<std::string> Forms(const std::string& file, const std::string& linkName) const {
    const std::string absolute = (outside_ / file).string();
    return {"../outside/" + file, absolute, "file://" + absolute, linkName, "%2e%2e/outside/" + file,
            "..\\outside\\" + file};
  }
  // Whether any coordinate of the scene is one of the outside file's floats.
  static bool Leaked(const CMeshwright& scene) {
    for (const CModel& m : scene.models)
      for (const CVertex& v : m.vertices)
        for (float c : {v.position.x, v.position.y, v.position.z})
          for (float s : kSecret)
            if (c == s) return true;
    return false;
  }
  static std::string Gltf(const std::string& uri) {
    return R"({"asset":{"version":"2.0"},"buffers":[{"uri":")" + uri +
           R"(","byteLength":36}],"bufferViews":[{"buffer":0,"byteLength":36}],)"
           R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3",)"
           R"("min":[0,0,0],"max":[1000,1000,1000]}],"meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],)"
           R"("nodes":[{"mesh":0}],"scenes":[{"nodes":[0]}],"scene":0})";
  }
  static std::string Obj(const std::string& mtllib) {
    return "mtllib " + mtllib + "\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl leak\nf 1 2 3\n";
  }
  static std::string JsonEscaped(const std::string& s) {
    std::string out;
    for (char c : s) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out;
  }

  test::TempDir root_;
  fs::path outside_, doc_;
  std::string messages_;
  MessageSink previousSink_;
};

TEST_F(NamedFiles, AnInsideBufferIsReadSoTheLeakCheckCanSeeOne) {
  WriteText(doc_ / "in.gltf", Gltf("inside.bin"));
  CMeshwright scene;
  ASSERT_TRUE(ImportAssimp(scene, (doc_ / "in.gltf").string()).ok());
  EXPECT_TRUE(Leaked(scene));
}

TEST_F(NamedFiles, GltfBuffersAndObjMaterialLibrariesOutsideAreNotRead) {
  int form = 0;
  for (const std::string& uri : Forms("secret.bin", "link.bin")) {
    const fs::path path = doc_ / ("b" + std::to_string(form) + ".gltf");
    WriteText(path, Gltf(JsonEscaped(uri)));
    CMeshwright scene;
    const DocumentResult r = ImportAssimp(scene, path.string());
    EXPECT_FALSE(Leaked(scene)) << uri;
    std::string said = r.detail;
    for (const std::string& w : r.warnings) said += w;
    // The forms that do lead to the file are named as refused.
    if (form < 2 || form == 3) {
      EXPECT_NE(said.find(form == 3 ? "link.bin" : "secret.bin"), std::string::npos) << uri;
    }
    ++form;
  }
  form = 0;
  for (const std::string& lib : Forms("leak.mtl", "link.mtl")) {
    const fs::path path = doc_ / ("m" + std::to_string(form) + ".obj");
    WriteText(path, Obj(lib));
    CMeshwright scene;
    const DocumentResult r = ImportAssimp(scene, path.string());
    ASSERT_TRUE(r.ok()) << lib;
    for (const CMaterial& m : scene.materials) EXPECT_NE(m.color[0], 0.125f) << lib;
    // (Assimp puts the document's folder before an absolute library name: that leads nowhere.)
    if (form == 0 || form == 3) {
      ASSERT_EQ(r.warnings.size(), 1u) << lib;
      EXPECT_NE(r.warnings[0].find(form == 3 ? "link.mtl" : "leak.mtl"), std::string::npos) << r.warnings[0];
    }
    ++form;
  }
  // The inside library is still read.
  WriteText(doc_ / "leak.mtl", "newmtl leak\nKd 0.125 0.375 0.625\n");
  CMeshwright scene;
  ASSERT_TRUE(ImportAssimp(scene, (doc_ / "m0.obj").string()).ok());  // "../outside" is refused...
  WriteText(doc_ / "ok.obj", Obj("leak.mtl"));
  ASSERT_TRUE(ImportAssimp(scene, (doc_ / "ok.obj").string()).ok());
  EXPECT_EQ(scene.materials.back().color[0], 0.125f);  // ...the same name inside is read
}

// The helper reads them in its own process: strace shows every file it opens.
TEST_F(NamedFiles, TheHelperOpensNothingOutsideTheFolder) {
  ASSERT_EQ(std::system("strace -V >/dev/null 2>&1"), 0) << "strace is needed (scripts/setup.sh installs it)";
  std::vector<fs::path> documents;
  int form = 0;
  for (const std::string& uri : Forms("secret.bin", "link.bin")) {
    documents.push_back(doc_ / ("b" + std::to_string(form++) + ".gltf"));
    WriteText(documents.back(), Gltf(JsonEscaped(uri)));
  }
  for (const std::string& lib : Forms("leak.mtl", "link.mtl")) {
    documents.push_back(doc_ / ("m" + std::to_string(form++) + ".obj"));
    WriteText(documents.back(), Obj(lib));
  }
  const fs::path out = root_ / "out";
  fs::create_directories(out);
  for (const fs::path& d : documents) {
    const fs::path log = root_ / "strace.log";
    const std::string command = "strace -f -qq -e trace=open,openat,openat2,creat -o '" + log.string() + "' '" +
                                MW_BIN_DIR + "/meshwright-import' 0 20 '" + d.string() + "' '" + out.string() +
                                "' >/dev/null 2>&1";
    std::system(command.c_str());
    const std::string trace = TextOf(log);
    ASSERT_NE(trace.find(d.filename().string()), std::string::npos) << "the trace shows no opens: " << command;
    EXPECT_EQ(trace.find(outside_.string()), std::string::npos) << d << " opened a file outside:\n" << trace;
    EXPECT_EQ(trace.find("secret.bin"), std::string::npos) << d;
    EXPECT_EQ(trace.find("leak.mtl"), std::string::npos) << d;
  }
}

// Texture names of every format end in one lookup: outside the document's folder and the texture
// folder nothing is read, a link staying inside is, and the message names what was refused.
TEST_F(NamedFiles, TextureNamesOutsideAreRefusedAndNamed) {
  const fs::path textureFolder = root_ / "TEXTURE";
  fs::create_directories(textureFolder);
  test::WriteBytes(textureFolder / "own.png", test::ZeroPng(2, 2));
  MaterialTextures textures(nullptr, textureFolder.string());
  TextureService* previous = SetTextureService(&textures);
  std::vector<std::string> names = Forms("t.png", "link.png");
  names.push_back("../TEXTURE/../outside/t.png");
  {
    DocumentTextureScope scope((doc_ / "a.mqo").string());
    for (const std::string& name : names) {
      CMaterial m;
      m.texture = name;
      textures.Load(m);
      EXPECT_FALSE(TextureLoaded(m)) << name;
    }
    for (const char* good : {"ok_link.png", "sub/ok.png", "own.png", "sub\\..\\sub\\ok.png"}) {
      CMaterial m;
      m.texture = good;
      textures.Load(m);
      EXPECT_TRUE(TextureLoaded(m)) << good;
    }
  }
  SetTextureService(previous);
  for (std::size_t i : {0u, 1u, 3u, 5u, 6u}) {
    const std::string line = names[i] + kTextureOutsideNote;
    EXPECT_NE(messages_.find(line), std::string::npos) << names[i] << " in\n" << messages_;
  }
  EXPECT_EQ(messages_.find("ok.png"), std::string::npos) << messages_;
}

// The same through whole documents: COLLADA and FBX (through Assimp), .mqo and .mqoz.
TEST_F(NamedFiles, DocumentsOfEveryFormatLoadNoTextureFromOutside) {
  MW_REQUIRE_TESTDATA();
  MaterialTextures textures(nullptr, (root_ / "TEXTURE").string());
  TextureService* previous = SetTextureService(&textures);
  auto loadedAny = [](const CMeshwright& scene) {
    for (const CMaterial& m : scene.materials)
      if (TextureLoaded(m)) return true;
    return false;
  };
  const std::string absolute = (outside_ / "t.png").string();
  // COLLADA: its first image named in each way.
  const std::string dae = TextOf(test::TestData("dae/assimp_kwxport_test_vcolors.dae"));
  int form = 0;
  for (const std::string& name : Forms("t.png", "link.png")) {
    std::string text = dae;
    for (const char* image : {"./../X/top.tga", "./../X/bottom.tga", "./../X/updown.tga"})
      text.replace(text.find(image), std::strlen(image), name);
    const fs::path path = doc_ / ("c" + std::to_string(form++) + ".dae");
    WriteText(path, text);
    CMeshwright scene;
    DocumentTextureScope scope(path.string());
    ASSERT_TRUE(ImportAssimp(scene, path.string()).ok()) << name;
    EXPECT_FALSE(loadedAny(scene)) << name;
  }
  // FBX: its absolute texture names, of the same length, turned to lead out.
  std::vector<std::uint8_t> fbx = test::ReadBytes(test::TestData("fbx/ufbx_maya_absolute_texture_7700_binary.fbx"));
  fs::create_directories(doc_ / "f");
  for (const char* from : {"W:/checkerboard_diffuse.png", "W:\\checkerboard_diffuse.png"}) {
    const std::string to = "../../outside/chk_diffu.png";  // same length as the names it replaces
    ASSERT_EQ(to.size(), std::strlen(from));
    for (auto at = std::search(fbx.begin(), fbx.end(), from, from + to.size()); at != fbx.end();
         at = std::search(at, fbx.end(), from, from + to.size()))
      std::copy(to.begin(), to.end(), at);
  }
  fs::copy_file(outside_ / "t.png", outside_ / "chk_diffu.png");
  test::WriteBytes(doc_ / "f" / "a.fbx", fbx);
  {
    CMeshwright scene;
    DocumentTextureScope scope((doc_ / "f" / "a.fbx").string());
    ASSERT_TRUE(ImportAssimp(scene, (doc_ / "f" / "a.fbx").string()).ok());
    ASSERT_FALSE(scene.materials.empty());
    EXPECT_FALSE(loadedAny(scene));
  }
  EXPECT_NE(messages_.find("chk_diffu.png" + std::string(kTextureOutsideNote)), std::string::npos) << messages_;
  // Metasequoia, plain and in an archive (whose document is read from a folder of its own, so
  // the outside file is reached by absolute path or by enough "..").
  auto mqo = [](const std::string& name) {
    return "Metasequoia Document\r\nFormat Text Ver 1.0\r\n\r\nMaterial 1 {\r\n\t\"m\" col(1 1 1 1) tex(\"" + name +
           "\")\r\n}\r\nObject \"o\" {\r\n\tvertex 3 {\r\n\t\t0 0 0\r\n\t\t1 0 0\r\n\t\t0 1 0\r\n\t}\r\n\tface 1 {\r\n"
           "\t\t3 V(0 1 2) M(0)\r\n\t}\r\n}\r\nEof\r\n";
  };
  std::vector<std::string> names = Forms("t.png", "link.png");
  std::string up;
  for (int i = 0; i < 24; ++i) up += "../";
  names.push_back(up + absolute.substr(1));
  form = 0;
  for (const std::string& name : names) {
    const fs::path plain = doc_ / ("q" + std::to_string(form) + ".mqo");
    WriteText(plain, mqo(name));
    CMeshwright scene;
    scene.ResetScene();
    {
      DocumentTextureScope scope(plain.string());
      ASSERT_TRUE(ImportMetasequoia(scene, plain.string())) << name;
    }
    EXPECT_FALSE(loadedAny(scene)) << name;
    const fs::path archive = doc_ / ("z" + std::to_string(form++) + ".mqoz");
    int error = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_TRUE(zip);
    const std::string text = mqo(name);
    zip_source_t* source = zip_source_buffer(zip, text.data(), text.size(), 0);
    ASSERT_GE(zip_file_add(zip, "doc.mqo", source, ZIP_FL_OVERWRITE), 0);
    ASSERT_EQ(zip_close(zip), 0);
    CMeshwright packed;
    packed.ResetScene();
    {
      DocumentTextureScope scope(archive.string());
      ASSERT_TRUE(ImportCompressedMetasequoia(packed, archive.string(), nullptr)) << name;
    }
    EXPECT_FALSE(loadedAny(packed)) << name;
  }
  SetTextureService(previous);
}

}  // namespace
}  // namespace mw
