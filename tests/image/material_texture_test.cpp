// Loading material textures with a recorder standing in for OpenGL.
#include "image/material_texture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/message.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

struct UploadRecord {
  int width, height, bits, components;
  std::uint32_t format;
  std::vector<std::uint8_t> firstPixel;
};

class RecordingUploader : public TextureUploader {
 public:
  std::vector<UploadRecord> uploads;
  std::vector<std::uint32_t> deleted;
  std::uint32_t Upload(const DibStream& image, std::int32_t components, std::uint32_t format) override {
    const std::uint8_t* p = image.Pixels();
    uploads.push_back({image.Width(), image.Height(), image.BitCount(), components, format,
                       std::vector<std::uint8_t>(p, p + image.BitCount() / 8)});
    return 100 + static_cast<std::uint32_t>(uploads.size());
  }
  void Delete(std::uint32_t name) override { deleted.push_back(name); }
};

class Textures : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = SetMessageSink([this](std::string_view text, MessageIcon) { messages_.emplace_back(text); });
    folder_ = dir_.path().string() + "/";
  }
  void TearDown() override { SetMessageSink(old_); }

  void WriteBmp(const std::string& name, int width, int height, int bits, std::uint8_t fill) {
    DibStream d;
    ASSERT_TRUE(d.Create(width, height, bits));
    std::memset(d.Pixels(), fill, d.PixelBytes());
    const std::size_t tableBytes = bits <= 8 ? 4u << bits : 0;
    if (bits == 8) {
      d.ColorTable()[4 * fill] = 1;  // blue
      d.ColorTable()[4 * fill + 1] = 2;
      d.ColorTable()[4 * fill + 2] = 3;
    }
    std::vector<std::uint8_t> file = {'B', 'M'};
    auto le32 = [&file](std::uint32_t v) {
      for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    le32(static_cast<std::uint32_t>(54 + tableBytes + d.PixelBytes()));
    le32(0);
    le32(static_cast<std::uint32_t>(54 + tableBytes));
    file.insert(file.end(), d.Header(), d.Header() + 40 + tableBytes);
    file.insert(file.end(), d.Pixels(), d.Pixels() + d.PixelBytes());
    test::WriteBytes(dir_ / name, file);
  }

  test::TempDir dir_;
  std::string folder_;
  std::vector<std::string> messages_;
  MessageSink old_;
  RecordingUploader uploader_;
};

TEST_F(Textures, TwentyFourBitsUploadsAsBgr) {
  WriteBmp("wood.bmp", 256, 256, 24, 9);
  MaterialTextures textures(&uploader_, folder_);
  CMaterial m(0);
  m.texture = "wood.bmp";
  textures.Load(m);
  ASSERT_EQ(uploader_.uploads.size(), 1u);
  EXPECT_EQ(uploader_.uploads[0].width, 256);
  EXPECT_EQ(uploader_.uploads[0].height, 256);
  EXPECT_EQ(m.textureComponents, 3);
  EXPECT_EQ(m.texturePixelFormat, 0x80E0u);
  EXPECT_EQ(m.textureObject, 101u);
  EXPECT_TRUE(TextureLoaded(m));
  EXPECT_TRUE(messages_.empty());
}

TEST_F(Textures, PaletteImagesBecomeTheirColours) {
  WriteBmp("p.bmp", 4, 4, 8, 5);
  MaterialTextures textures(&uploader_, folder_);
  CMaterial m(0);
  m.texture = "p.bmp";
  textures.Load(m);
  ASSERT_EQ(uploader_.uploads.size(), 1u);
  EXPECT_EQ(uploader_.uploads[0].bits, 24);
  EXPECT_EQ(uploader_.uploads[0].firstPixel, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(Textures, ThirtyTwoBitsKeepFourComponentsAndTargaAlphaArrivesInverted) {
  WriteBmp("a.bmp", 2, 2, 32, 200);
  std::vector<std::uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 32, 0, 10, 20, 30, 255};
  test::WriteBytes(dir_ / "a.tga", tga);
  MaterialTextures textures(&uploader_, folder_);
  CMaterial b(0), t(1);
  b.texture = "a.bmp";
  t.texture = "a.tga";
  textures.Load(b);
  textures.Load(t);
  ASSERT_EQ(uploader_.uploads.size(), 2u);
  EXPECT_EQ(b.textureComponents, 4);
  EXPECT_EQ(b.texturePixelFormat, 0x80E1u);
  EXPECT_EQ(uploader_.uploads[0].firstPixel[3], 200);
  EXPECT_EQ(uploader_.uploads[1].firstPixel, (std::vector<std::uint8_t>{10, 20, 30, 0}));
}

TEST_F(Textures, AFailedLoadReportsOnceKeepsTheNameAndIsNotRetried) {
  MaterialTextures textures(&uploader_, folder_);
  CMaterial m(0);
  m.texture = "C:\\textures\\missing.bmp";
  textures.Load(m);
  textures.Load(m);
  EXPECT_EQ(messages_, std::vector<std::string>{"テクスチャの読み込みに失敗しました\nC:\\textures\\missing.bmp"});
  EXPECT_EQ(m.texture, "C:\\textures\\missing.bmp");
  EXPECT_TRUE(m.textureFailed);
  EXPECT_FALSE(TextureLoaded(m));
  EXPECT_TRUE(uploader_.uploads.empty());
  // Once the file is there and the texture released, it loads.
  textures.Release(m);
  EXPECT_FALSE(m.textureFailed);
  WriteBmp("ok.bmp", 4, 4, 24, 1);
  m.texture = "ok.bmp";
  textures.Load(m);
  EXPECT_TRUE(TextureLoaded(m));
  EXPECT_EQ(m.textureFile, folder_ + "ok.bmp");
  textures.Release(m);
  EXPECT_EQ(m.textureFile, "");
}

TEST_F(Textures, EmptyNamesTouchNothingAndReleaseDeletesTheObject) {
  MaterialTextures textures(&uploader_, folder_);
  CMaterial none(0);
  textures.Load(none);
  EXPECT_TRUE(uploader_.uploads.empty());
  EXPECT_TRUE(messages_.empty());
  WriteBmp("w.bmp", 4, 4, 24, 1);
  CMaterial m(1);
  m.texture = "w.bmp";
  textures.Load(m);
  CMaterial copy = m;  // a copy shares the image and outlives the release
  textures.Release(m);
  EXPECT_EQ(uploader_.deleted, std::vector<std::uint32_t>{101});
  EXPECT_EQ(m.textureObject, 0u);
  EXPECT_FALSE(m.textureImage);
  ASSERT_TRUE(copy.textureImage);
  EXPECT_EQ(copy.textureImage->Width(), 4);
}

TEST_F(Textures, WithoutAnUploaderTexturesAreDecodedOnly) {
  WriteBmp("w.bmp", 8, 2, 24, 1);
  MaterialTextures textures(nullptr, folder_);
  CMaterial m(0);
  m.texture = "w.bmp";
  textures.Load(m);
  EXPECT_TRUE(TextureLoaded(m));
  EXPECT_EQ(m.textureObject, 0u);
}

TEST(TexturePath, WithoutAServiceIsBesideTheProgramAndUtf8) {
  TextureService* old = SetTextureService(nullptr);
  const std::string path = TexturePathFor("\x96\xD8.bmp");  // 木.bmp
  SetTextureService(old);
  EXPECT_EQ(path, ProgramFolder() + "TEXTURE/木.bmp");
  EXPECT_EQ(TextureFolderInUse(), ProgramFolder() + "TEXTURE/");
}

TEST(TextureCandidates, DocumentFirstThenTextureFolderThenTheLastComponent) {
  using V = std::vector<std::string>;
  EXPECT_EQ(TextureCandidates("wood.bmp", "/doc/", "/tex/"), (V{"/doc/wood.bmp", "/tex/wood.bmp"}));
  EXPECT_EQ(TextureCandidates("wood.bmp", "", "/tex/"), V{"/tex/wood.bmp"});
  EXPECT_EQ(TextureCandidates("", "/doc/", "/tex/"), V{});
  // Either slash; a path from another machine is also tried by its file name.
  EXPECT_EQ(TextureCandidates("maps\\a.png", "/doc/", "/tex/"),
            (V{"/doc/maps/a.png", "/tex/maps/a.png", "/doc/a.png", "/tex/a.png"}));
  EXPECT_EQ(TextureCandidates("C:\\Program Files\\t\\a.png", "", "/tex/"),
            (V{"/tex/C:/Program Files/t/a.png", "/tex/a.png"}));
  // An absolute name stands as it is; its file name is still looked for in both folders.
  EXPECT_EQ(TextureCandidates("/abs/a.png", "/doc/", "/tex/"), (V{"/abs/a.png", "/doc/a.png", "/tex/a.png"}));
  EXPECT_EQ(TextureCandidates("/a.png", "/doc/", "/tex/"), (V{"/a.png", "/doc/a.png", "/tex/a.png"}));
  // 表 is 0x95 0x5C in CP932: its second byte is the byte of '\' and must not split the name.
  EXPECT_EQ(TextureCandidates("\x95\x5C\\\x96\xD8.bmp", "/doc/", "/tex/"),
            (V{"/doc/表/木.bmp", "/tex/表/木.bmp", "/doc/木.bmp", "/tex/木.bmp"}));
  EXPECT_EQ(TextureCandidates("\x95\x5C.bmp", "", "/tex/"), V{"/tex/表.bmp"});
  EXPECT_EQ(DocumentFolderOf("/x/y/a.mqo"), "/x/y/");
  EXPECT_EQ(DocumentFolderOf("a.mqo"), "./");
  EXPECT_EQ(DocumentFolderOf(""), "");
}

TEST_F(Textures, BesideTheDocumentComesBeforeTheTextureFolder) {
  test::TempDir doc;
  std::filesystem::create_directories(doc / "sub");
  WriteBmp("w.bmp", 4, 4, 24, 7);  // in the texture folder
  MaterialTextures textures(&uploader_, folder_);
  // The texture folder is given without its slash: one is added.
  MaterialTextures bare(nullptr, dir_.path().string());
  EXPECT_EQ(bare.Folder(), folder_);
  // An absolute name replaces the fixture's folder.
  WriteBmp((doc / "w.bmp").string(), 4, 4, 24, 33);
  WriteBmp((doc / "sub" / "s.bmp").string(), 4, 4, 24, 33);
  const std::string docFolder = doc.path().string() + "/";
  textures.SetDocumentPath(docFolder + "scene.mqo");
  CMaterial beside(0), backslash(1), onlyInFolder(2);
  beside.texture = "w.bmp";
  backslash.texture = "sub\\s.bmp";
  onlyInFolder.texture = "elsewhere\\w.bmp";  // not beside the document under that name
  textures.Load(beside);
  textures.Load(backslash);
  textures.Load(onlyInFolder);
  EXPECT_TRUE(messages_.empty());
  ASSERT_EQ(uploader_.uploads.size(), 3u);
  EXPECT_EQ(uploader_.uploads[0].firstPixel, (std::vector<std::uint8_t>{33, 33, 33}));
  EXPECT_EQ(beside.textureFile, docFolder + "w.bmp");
  EXPECT_EQ(backslash.textureFile, docFolder + "sub/s.bmp");
  EXPECT_EQ(backslash.texture, "sub\\s.bmp");  // the name itself is kept as written
  EXPECT_EQ(onlyInFolder.textureFile, docFolder + "w.bmp");
  EXPECT_EQ(textures.PathOf("w.bmp"), docFolder + "w.bmp");
  EXPECT_EQ(textures.PathOf("none\\x.bmp"), folder_ + "none/x.bmp");  // not found: where it belongs
  EXPECT_EQ(textures.PathOf("/none/x.bmp"), "/none/x.bmp");
  // Without a document only the texture folder is searched.
  textures.SetDocumentPath("");
  CMaterial plain(3);
  plain.texture = "w.bmp";
  textures.Load(plain);
  EXPECT_EQ(plain.textureFile, folder_ + "w.bmp");
  EXPECT_EQ(uploader_.uploads.back().firstPixel, (std::vector<std::uint8_t>{7, 7, 7}));
}

TEST_F(Textures, ANameDifferingOnlyInCaseFindsTheFileWhenNoneHasItExactly) {
  test::TempDir doc;
  const std::string docFolder = doc.path().string() + "/";
  WriteBmp((doc / "test.bmp").string(), 4, 4, 24, 33);
  WriteBmp((doc / "Both.bmp").string(), 4, 4, 24, 44);
  WriteBmp((doc / "both.bmp").string(), 4, 4, 24, 55);
  WriteBmp("Folder.BMP", 4, 4, 24, 7);  // in the texture folder
  std::filesystem::create_directories(doc / "dir.bmp");  // a folder is no texture
  MaterialTextures textures(&uploader_, folder_);
  textures.SetDocumentPath(docFolder + "scene.3ds");
  EXPECT_EQ(textures.PathOf("TEST.BMP"), docFolder + "test.bmp");
  EXPECT_EQ(textures.PathOf("C:\\maps\\Test.Bmp"), docFolder + "test.bmp") << "by its last component too";
  EXPECT_EQ(textures.PathOf("both.bmp"), docFolder + "both.bmp") << "the exact name comes first";
  EXPECT_EQ(textures.PathOf("folder.bmp"), folder_ + "Folder.BMP");
  EXPECT_EQ(textures.PathOf("DIR.BMP"), folder_ + "DIR.BMP") << "not found: where it belongs";
  CMaterial m(0);
  m.texture = "TEST.BMP";
  textures.Load(m);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(m.textureFile, docFolder + "test.bmp");
  ASSERT_TRUE(TextureLoaded(m));
}

TEST_F(Textures, ADocumentReportsAllItsMissingTexturesInOneMessage) {
  MaterialTextures textures(&uploader_, folder_);
  TextureService* old = SetTextureService(&textures);
  textures.SetDocumentPath("/before.mwr");
  WriteBmp("ok.bmp", 4, 4, 24, 1);
  std::vector<CMaterial> materials(5);
  materials[0].texture = "a.bmp";
  materials[1].texture = "ok.bmp";
  materials[2].texture = "\x96\xD8\\b.png";  // 木\b.png
  materials[3].texture = "a.bmp";            // the same name twice is listed once
  materials[4].texture = "broken.tga";       // found, but not an image
  test::WriteBytes(dir_ / "broken.tga", std::vector<std::uint8_t>{1, 2, 3});
  {
    DocumentTextureScope scope((dir_ / "doc.mqo").string());
    EXPECT_EQ(textures.DocumentPath(), (dir_ / "doc.mqo").string());
    for (CMaterial& m : materials) m.LoadTexture();
    EXPECT_TRUE(messages_.empty());
  }
  SetTextureService(old);
  EXPECT_EQ(messages_, std::vector<std::string>{"テクスチャの読み込みに失敗しました\na.bmp\n木\\b.png\nbroken.tga"});
  EXPECT_EQ(textures.DocumentPath(), "/before.mwr");  // the scope gives the document back
  EXPECT_TRUE(TextureLoaded(materials[1]));
  EXPECT_EQ(materials[4].textureFile, folder_ + "broken.tga");  // found, though unreadable
  EXPECT_EQ(materials[0].textureFile, "");
  // A document with every texture found says nothing; a failure outside a document is told at once.
  messages_.clear();
  textures.BeginBatch();
  textures.EndBatch();
  textures.EndBatch();  // unbalanced: ignored
  EXPECT_TRUE(messages_.empty());
  CMaterial late;
  late.texture = "c.bmp";
  textures.Load(late);
  EXPECT_EQ(messages_, std::vector<std::string>{"テクスチャの読み込みに失敗しました\nc.bmp"});
  // With no service installed, a scope does nothing.
  old = SetTextureService(nullptr);
  { DocumentTextureScope none("/x.mqo"); }
  SetTextureService(old);
}

TEST_F(Textures, DecodeForThePreviewResamplesBeforeConverting) {
  WriteBmp("p.bmp", 4, 2, 8, 5);
  WriteBmp("a.bmp", 2, 2, 32, 200);
  DecodedTexture t;
  ASSERT_TRUE(DecodeTexture(folder_ + "p.bmp", t, 256));
  EXPECT_EQ(t.image->Width(), 256);
  EXPECT_EQ(t.image->Height(), 256);
  EXPECT_EQ(t.image->BitCount(), 24);
  EXPECT_EQ(t.components, 3);
  EXPECT_EQ(t.format, kGlBgr);
  EXPECT_EQ(std::vector<std::uint8_t>(t.image->Pixels(), t.image->Pixels() + 3), (std::vector<std::uint8_t>{1, 2, 3}));
  ASSERT_TRUE(DecodeTexture(folder_ + "a.bmp", t));
  EXPECT_EQ(t.image->Width(), 2);
  EXPECT_EQ(t.components, 4);
  EXPECT_EQ(t.format, kGlBgra);
  // A failure leaves what was there.
  const DibStream* before = t.image.get();
  EXPECT_FALSE(DecodeTexture(folder_ + "none.bmp", t, 256));
  EXPECT_FALSE(DecodeTexture(folder_ + "a.txt", t));
  EXPECT_EQ(t.image.get(), before);
  EXPECT_EQ(t.components, 4);
}

}  // namespace
}  // namespace mw
