// The readers on small files made here, each built to show one rule.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "image/image_readers.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Le16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Le32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Be16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v >> 8));
  b.push_back(static_cast<std::uint8_t>(v));
}
void Be32(Bytes& b, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Text(Bytes& b, const char* s) { b.insert(b.end(), s, s + std::strlen(s)); }

Bytes Bmp(std::int32_t width, std::int32_t height, int bits, std::uint32_t compression, const Bytes& pixels,
          std::uint32_t headerSize = 40, std::uint32_t colors = 0) {
  const std::uint32_t tableBytes = bits <= 8 ? 4u * (colors ? colors : (1u << bits)) : 0;
  Bytes b;
  Text(b, "BM");
  Le32(b, 14 + headerSize + tableBytes + static_cast<std::uint32_t>(pixels.size()));
  Le32(b, 0);
  Le32(b, 14 + headerSize + tableBytes);
  Le32(b, headerSize);
  Le32(b, static_cast<std::uint32_t>(width));
  Le32(b, static_cast<std::uint32_t>(height));
  Le16(b, 1);
  Le16(b, static_cast<unsigned>(bits));
  Le32(b, compression);
  Le32(b, compression ? static_cast<std::uint32_t>(pixels.size()) : 0);
  Le32(b, 0);
  Le32(b, 0);
  Le32(b, colors);
  Le32(b, 0);
  b.resize(14 + headerSize, 0);
  for (std::uint32_t i = 0; i < tableBytes / 4; ++i) {
    b.push_back(static_cast<std::uint8_t>(i));
    b.push_back(static_cast<std::uint8_t>(i));
    b.push_back(static_cast<std::uint8_t>(i));
    b.push_back(0);
  }
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

class Files : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const Bytes& bytes) {
    const auto path = dir_ / name;
    test::WriteBytes(path, bytes);
    return path.string();
  }
  test::TempDir dir_;
};

TEST_F(Files, BmpUncompressedAndDepthMask) {
  Bytes pixels = {1, 2, 3, 0, 4, 5, 6, 0};  // 1 x 2, 24 bits, bottom row first
  const std::string path = Write("a.bmp", Bmp(1, 2, 24, 0, pixels));
  DibStream d;
  ASSERT_TRUE(d.LoadBmp(path.c_str(), kAllDepths));
  EXPECT_EQ(d.Row(0)[0], 4);
  EXPECT_EQ(d.Row(1)[0], 1);
  EXPECT_FALSE(d.LoadBmp(path.c_str(), kAllDepths & ~kDepth24));
  EXPECT_TRUE(d.IsEmpty());
}

TEST_F(Files, BmpRefusesOtherHeadersAndCompressions) {
  Bytes pixels(8, 0);
  DibStream d;
  for (std::uint32_t header : {12u, 108u, 124u})
    EXPECT_FALSE(d.LoadBmp(Write("h.bmp", Bmp(1, 2, 24, 0, pixels, header)).c_str(), kAllDepths)) << header;
  EXPECT_FALSE(d.LoadBmp(Write("c3.bmp", Bmp(1, 2, 16, 3, pixels)).c_str(), kAllDepths));
  EXPECT_FALSE(d.LoadBmp(Write("c2.bmp", Bmp(2, 2, 4, 2, pixels)).c_str(), kAllDepths));
  EXPECT_FALSE(d.LoadBmp(Write("b2.bmp", Bmp(1, 2, 2, 0, pixels)).c_str(), kAllDepths));
}

TEST_F(Files, BmpRle8DeltaLeavesSkippedPixelsZero) {
  // 4 x 3: a delta of (3, 1) from the start, a run of 1 x 9 there, end of bitmap.
  const Bytes rle = {0, 2, 3, 1, 1, 9, 0, 1};
  DibStream d;
  ASSERT_TRUE(d.LoadBmp(Write("r.bmp", Bmp(4, 3, 8, 1, rle)).c_str(), kAllDepths));
  EXPECT_EQ(std::memcmp(d.Pixels(), "\x00\x00\x00\x00", 4), 0);  // stored row 0, skipped
  const std::uint8_t* stored1 = d.Pixels() + d.RowStride();
  EXPECT_EQ(std::memcmp(stored1, "\x00\x00\x00\x09", 4), 0);
  EXPECT_EQ(d.Header()[16], 0);  // held uncompressed
}

TEST_F(Files, BmpRle8RunsPastTheRowOrImageFail) {
  DibStream d;
  EXPECT_FALSE(d.LoadBmp(Write("r1.bmp", Bmp(4, 2, 8, 1, {5, 1, 0, 1})).c_str(), kAllDepths));
  EXPECT_TRUE(d.IsEmpty());
  EXPECT_FALSE(d.LoadBmp(Write("r2.bmp", Bmp(4, 2, 8, 1, {0, 2, 250, 0, 1, 1})).c_str(), kAllDepths));
  EXPECT_FALSE(d.LoadBmp(Write("r3.bmp", Bmp(4, 2, 8, 1, {0, 5, 1, 2, 3, 4, 5, 0})).c_str(), kAllDepths));
  // Moving past the last row simply ends the picture.
  EXPECT_TRUE(d.LoadBmp(Write("r4.bmp", Bmp(4, 2, 8, 1, {0, 2, 0, 9, 1, 1})).c_str(), kAllDepths));
}

TEST_F(Files, BmpHugeHeaderOnATinyFileFailsWithoutAllocating) {
  Bytes b = Bmp(60000, 60000, 24, 0, Bytes(100, 0));
  DibStream d;
  EXPECT_FALSE(d.LoadBmp(Write("big.bmp", b).c_str(), kAllDepths));
  Bytes rle = Bmp(30000, 30000, 8, 1, Bytes(100, 0));
  EXPECT_FALSE(d.LoadBmp(Write("bigrle.bmp", rle).c_str(), kAllDepths));
}

TEST_F(Files, PpmMagicMustStandAlone) {
  DibStream d;
  Bytes p6;
  Text(p6, "P6\n# comment\n2 1\n255\n");
  p6.insert(p6.end(), {10, 20, 30, 40, 50, 60});
  ASSERT_TRUE(LoadPpm(Write("a.ppm", p6).c_str(), d));
  EXPECT_FALSE(d.IsTopDown());
  EXPECT_EQ(d.Row(0)[0], 30);  // blue first
  EXPECT_EQ(d.Row(0)[5], 40);
  Bytes inline6;
  Text(inline6, "P6 2 1 255\n");
  inline6.insert(inline6.end(), 6, 0);
  EXPECT_FALSE(LoadPpm(Write("b.ppm", inline6).c_str(), d));
  Bytes crlf;
  Text(crlf, "P6\r\n2 1\r\n255\r\n");
  crlf.insert(crlf.end(), 6, 0);
  EXPECT_FALSE(LoadPpm(Write("c.ppm", crlf).c_str(), d));
}

TEST_F(Files, PpmAsciiKeepsLowBytesAndGreyGetsAPalette) {
  DibStream d;
  Bytes p3;
  Text(p3, "P3\n1 1\n65535\n300 2 -1\n");
  ASSERT_TRUE(LoadPpm(Write("a.ppm", p3).c_str(), d));
  EXPECT_EQ(d.Row(0)[2], 300 & 255);
  EXPECT_EQ(d.Row(0)[1], 2);
  EXPECT_EQ(d.Row(0)[0], 255);
  Bytes p2;
  Text(p2, "P2\n2 1\n255\n7 x 9");
  ASSERT_TRUE(LoadPpm(Write("b.pgm", p2).c_str(), d));
  EXPECT_EQ(d.BitCount(), 8);
  EXPECT_EQ(d.Row(0)[1], 9);
  EXPECT_EQ(d.ColorTable()[4 * 9], 9);
  Bytes shortP5;
  Text(shortP5, "P5\n4 4\n255\n");
  shortP5.insert(shortP5.end(), 6, 1);
  EXPECT_FALSE(LoadPpm(Write("c.pgm", shortP5).c_str(), d));
}

TEST_F(Files, PpmProgressCanStopTheRead) {
  Bytes p5;
  Text(p5, "P5\n1 4\n255\n");
  p5.insert(p5.end(), 4, 1);
  int calls = 0;
  DibStream d;
  auto stopAtSecond = [](float, void* user) { return ++*static_cast<int*>(user) < 2; };
  EXPECT_FALSE(LoadPpm(Write("p.pgm", p5).c_str(), d, stopAtSecond, &calls));
  EXPECT_EQ(calls, 2);
}

Bytes TgaHeader(int type, int width, int height, int depth, int descriptor, int mapType = 0, int mapLength = 0,
                int mapBits = 0) {
  Bytes b = {0, static_cast<std::uint8_t>(mapType), static_cast<std::uint8_t>(type)};
  Le16(b, 0);
  Le16(b, static_cast<unsigned>(mapLength));
  b.push_back(static_cast<std::uint8_t>(mapBits));
  Le16(b, 0);
  Le16(b, 0);
  Le16(b, static_cast<unsigned>(width));
  Le16(b, static_cast<unsigned>(height));
  b.push_back(static_cast<std::uint8_t>(depth));
  b.push_back(static_cast<std::uint8_t>(descriptor));
  return b;
}

TEST_F(Files, TgaAlphaIsStoredInvertedAndOriginsAgree) {
  Bytes bottom = TgaHeader(2, 1, 2, 32, 0);
  bottom.insert(bottom.end(), {1, 2, 3, 255, 4, 5, 6, 255});  // bottom row first
  Bytes top = TgaHeader(2, 1, 2, 32, 0x20);
  top.insert(top.end(), {4, 5, 6, 255, 1, 2, 3, 255});  // top row first
  DibStream a, b;
  ASSERT_TRUE(LoadTga(Write("b.tga", bottom).c_str(), a));
  ASSERT_TRUE(LoadTga(Write("t.tga", top).c_str(), b));
  EXPECT_FALSE(a.IsTopDown());
  EXPECT_TRUE(b.IsTopDown());
  EXPECT_EQ(std::memcmp(a.Row(0), b.Row(0), 4), 0);
  EXPECT_EQ(a.Row(0)[0], 4);
  EXPECT_EQ(a.Row(0)[3], 0);  // 255 - 255
}

TEST_F(Files, TgaRunLengthPacketsCrossRowEnds) {
  // 3 x 2, bottom origin: one run of 4 red pixels then 2 raw pixels.
  Bytes f = TgaHeader(10, 3, 2, 24, 0);
  f.insert(f.end(), {0x83, 0, 0, 255, 0x01, 1, 1, 1, 2, 2, 2});
  DibStream d;
  ASSERT_TRUE(LoadTga(Write("r.tga", f).c_str(), d));
  // File rows fill picture rows from the bottom: bottom row all red, top row red then 1 then 2.
  EXPECT_EQ(d.Row(1)[2], 255);
  EXPECT_EQ(d.Row(1)[8], 255);
  EXPECT_EQ(d.Row(0)[2], 255);
  EXPECT_EQ(d.Row(0)[3], 1);
  EXPECT_EQ(d.Row(0)[6], 2);
  // Packets that run past the last row stop there.
  Bytes over = TgaHeader(10, 1, 1, 24, 0);
  over.insert(over.end(), {0xFF, 9, 9, 9});
  EXPECT_TRUE(LoadTga(Write("o.tga", over).c_str(), d));
}

TEST_F(Files, TgaColourMapsAndGrey) {
  Bytes mapped = TgaHeader(1, 2, 1, 8, 0, 1, 2, 24);
  mapped.insert(mapped.end(), {10, 20, 30, 40, 50, 60, 1, 0});
  DibStream d;
  ASSERT_TRUE(LoadTga(Write("m.tga", mapped).c_str(), d));
  EXPECT_EQ(d.ColorTable()[4], 40);
  ASSERT_TRUE(d.ConvertTo(24));
  EXPECT_EQ(d.Row(0)[0], 40);
  Bytes tooMany = TgaHeader(1, 1, 1, 8, 0, 1, 300, 24);
  tooMany.insert(tooMany.end(), 901, 0);
  EXPECT_FALSE(LoadTga(Write("big.tga", tooMany).c_str(), d));
  Bytes grey = TgaHeader(3, 1, 1, 8, 0);
  grey.push_back(77);
  ASSERT_TRUE(LoadTga(Write("g.tga", grey).c_str(), d));
  EXPECT_EQ(d.ColorTable()[4 * 77], 77);
  EXPECT_FALSE(LoadTga(Write("g11.tga", TgaHeader(11, 1, 1, 8, 0)).c_str(), d));
}

Bytes Ilbm(int width, int height, int planes, int compression, const Bytes& body, const Bytes& cmap = {}) {
  Bytes form;
  Text(form, "ILBM");
  Text(form, "BMHD");
  Be32(form, 20);
  Be16(form, static_cast<unsigned>(width));
  Be16(form, static_cast<unsigned>(height));
  Be32(form, 0);
  form.push_back(static_cast<std::uint8_t>(planes));
  form.push_back(0);
  form.push_back(static_cast<std::uint8_t>(compression));
  form.push_back(0);
  Be16(form, 0);
  form.push_back(1);
  form.push_back(1);
  Be16(form, static_cast<unsigned>(width));
  Be16(form, static_cast<unsigned>(height));
  if (!cmap.empty()) {
    Text(form, "CMAP");
    Be32(form, static_cast<std::uint32_t>(cmap.size()));
    form.insert(form.end(), cmap.begin(), cmap.end());
    if (cmap.size() & 1) form.push_back(0);
  }
  Text(form, "BODY");
  Be32(form, static_cast<std::uint32_t>(body.size()));
  form.insert(form.end(), body.begin(), body.end());
  Bytes file;
  Text(file, "FORM");
  Be32(file, static_cast<std::uint32_t>(form.size()));
  file.insert(file.end(), form.begin(), form.end());
  return file;
}

TEST_F(Files, IlbmThreePlanesGiveFourBitIndices) {
  // 8 x 1; plane rows are 2 bytes. Pixel x gets planes (p2 p1 p0) from bit 7 - x.
  const Bytes body = {0xF0, 0, 0xCC, 0, 0xAA, 0};
  const Bytes cmap = {255, 0, 0, 0, 255, 0};
  DibStream d;
  ASSERT_TRUE(LoadIff(Write("a.iff", Ilbm(8, 1, 3, 0, body, cmap)).c_str(), d));
  EXPECT_EQ(d.BitCount(), 4);
  // Planes F0, CC, AA give the indices 7 3 5 1 6 2 4 0 from left to right.
  EXPECT_EQ(d.Row(0)[0], 0x73);
  EXPECT_EQ(d.Row(0)[1], 0x51);
  EXPECT_EQ(d.Row(0)[2], 0x62);
  EXPECT_EQ(d.Row(0)[3], 0x40);
  EXPECT_EQ(d.ColorTable()[2], 255);  // entry 0 red, as blue-green-red
  EXPECT_EQ(d.ColorTable()[5], 255);
}

TEST_F(Files, IlbmByteRunOverrunCarriesIntoTheNextPlaneRow) {
  // 16 x 1, 2 planes, 2 bytes per plane row: one run of 4 bytes 0xFF covers both plane rows.
  const Bytes body = {static_cast<std::uint8_t>(257 - 4), 0xFF};
  DibStream d;
  ASSERT_TRUE(LoadIff(Write("b.iff", Ilbm(16, 1, 2, 1, body)).c_str(), d));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(d.Row(0)[i], 0x33) << i;
  // Runs longer than a row by a few bytes, then a literal for the rest.
  const Bytes body2 = {static_cast<std::uint8_t>(257 - 3), 0x0F, 0, 0xF0};
  ASSERT_TRUE(LoadIff(Write("c.iff", Ilbm(16, 1, 2, 1, body2)).c_str(), d));
  // Plane 0 gets 0F 0F, plane 1 the carried 0F and then F0.
  EXPECT_EQ(d.Row(0)[0], 0x00);
  EXPECT_EQ(d.Row(0)[2], 0x33);
  EXPECT_EQ(d.Row(0)[4], 0x22);
  EXPECT_EQ(d.Row(0)[6], 0x11);
}

TEST_F(Files, IlbmEarlyEndKeepsTheRowsReadAndPlaneCountsChooseDepth) {
  const Bytes body = {0x80, 0x00};  // one of two rows, 1 plane
  DibStream d;
  ASSERT_TRUE(LoadIff(Write("e.iff", Ilbm(16, 2, 1, 0, body)).c_str(), d));
  EXPECT_EQ(d.BitCount(), 1);
  EXPECT_EQ(d.Row(0)[0], 0x80);
  ASSERT_TRUE(LoadIff(Write("p6.iff", Ilbm(16, 1, 6, 0, Bytes(12, 0))).c_str(), d));
  EXPECT_EQ(d.BitCount(), 8);
  ASSERT_TRUE(LoadIff(Write("p24.iff", Ilbm(16, 1, 24, 0, Bytes(48, 0xFF))).c_str(), d));
  EXPECT_EQ(d.BitCount(), 24);
  DibStream e;
  EXPECT_FALSE(LoadIff(Write("p25.iff", Ilbm(16, 1, 25, 0, Bytes(50, 0))).c_str(), e));
  EXPECT_FALSE(LoadIff(Write("big.iff", Ilbm(65535, 65535, 24, 1, Bytes(4, 0))).c_str(), e));
}

TEST(TextureImage, ExtensionsChooseTheReader) {
  DibStream d;
  EXPECT_FALSE(LoadTextureImage("/nonexistent/wood.jpeg", d));
  EXPECT_FALSE(LoadTextureImage("/nonexistent/wood.tif", d));
  EXPECT_FALSE(LoadTextureImage("/nonexistent/wood", d));
}

TEST_F(Files, TextureImageReadsUpperCaseExtensions) {
  DibStream d;
  const std::string path = Write("WOOD.BMP", Bmp(1, 1, 24, 0, {1, 2, 3, 0}));
  EXPECT_TRUE(LoadTextureImage(path, d));
}

TEST_F(Files, EveryPrefixFailsCleanlyOrKeepsWhatItRead) {
  Bytes tgaRle = TgaHeader(10, 3, 2, 24, 0);
  tgaRle.insert(tgaRle.end(), {0x83, 0, 0, 255, 0x01, 1, 1, 1, 2, 2, 2});
  Bytes p3;
  Text(p3, "P3\n2 2\n255\n1 2 3 4 5 6 7 8 9 10 11 12\n");
  const std::pair<const char*, Bytes> files[] = {
      {"x.bmp", Bmp(3, 2, 8, 1, {3, 7, 0, 0, 2, 5, 0, 1})},
      {"y.bmp", Bmp(3, 3, 24, 0, Bytes(36, 9))},
      {"x.tga", tgaRle},
      {"x.ppm", p3},
      {"x.iff", Ilbm(16, 2, 2, 1, {static_cast<std::uint8_t>(257 - 8), 0xFF})},
  };
  for (const auto& [name, bytes] : files) {
    DibStream full;
    ASSERT_TRUE(LoadTextureImage(Write(name, bytes), full)) << name;
    for (std::size_t n = 0; n < bytes.size(); ++n) {
      DibStream d;
      const bool ok = LoadTextureImage(Write(name, Bytes(bytes.begin(), bytes.begin() + static_cast<long>(n))), d);
      // Bitmaps and Targas refuse a short file (a bitmap leaves nothing behind); an ASCII
      // number cut short still reads, and ILBM keeps the rows it got.
      const std::string n2(name);
      if (n2 != "x.iff" && n2 != "x.ppm") {
        EXPECT_FALSE(ok) << name << " prefix " << n;
      }
      if (n2 == "x.bmp" || n2 == "y.bmp") {
        EXPECT_TRUE(d.IsEmpty());
      }
    }
  }
}

}  // namespace
}  // namespace mw

namespace mw {
namespace {

TEST(Plugins, ProgressCallbacksCanStopJpegAndPngReads) {
  MW_REQUIRE_TESTDATA();
  const std::string jpg = test::TestData("jpg/mqo-texture/pymeshio_front.jpg").string();
  const std::string png = test::TestData("png/pngsuite/basn2c08.png").string();
  int calls = 0;
  auto stopAtThird = [](float, void* user) { return ++*static_cast<int*>(user) < 3; };
  auto count = [](float fraction, void* user) {
    EXPECT_GE(fraction, 0.0f);
    EXPECT_LT(fraction, 1.0f);
    ++*static_cast<int*>(user);
    return true;
  };
  DibStream d;
  EXPECT_FALSE(LoadJpg(jpg.c_str(), d, stopAtThird, &calls));
  EXPECT_EQ(calls, 3);
  calls = 0;
  ASSERT_TRUE(LoadJpg(jpg.c_str(), d, count, &calls));
  EXPECT_EQ(calls, d.Height());
  EXPECT_EQ(d.BitCount(), 24);
  calls = 0;
  EXPECT_FALSE(LoadPng(png.c_str(), d, stopAtThird, &calls));
  calls = 0;
  ASSERT_TRUE(LoadPng(png.c_str(), d, count, &calls));
  EXPECT_EQ(calls, d.Height());
  EXPECT_EQ(d.BitCount(), 24);
  EXPECT_FALSE(d.IsTopDown());
}

TEST(Plugins, MissingFilesFailQuietly) {
  DibStream d;
  EXPECT_FALSE(LoadJpg("/nonexistent/a.jpg", d));
  EXPECT_FALSE(LoadPng("/nonexistent/a.png", d));
  EXPECT_TRUE(d.IsEmpty());
}

}  // namespace
}  // namespace mw
