// Loading material textures with a recorder standing in for OpenGL.
#include "image/material_texture.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/message.h"
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
  EXPECT_EQ(messages_, std::vector<std::string>{"テクスチャの読み込みに失敗しました"});
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

TEST(TexturePath, IsBesideTheProgramAndUtf8) {
  const std::string path = TexturePath("\x96\xD8.bmp");  // 木.bmp
  EXPECT_NE(path.find("/TEXTURE/木.bmp"), std::string::npos) << path;
}

}  // namespace
}  // namespace mw
