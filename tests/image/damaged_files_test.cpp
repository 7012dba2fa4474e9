// Damaged and borderline files made here: pictures cut short or corrupt must fail unless every row
// was decoded from real data; compressed data must be able to describe the picture it announces;
// conversion for upload must not copy a picture twice.
#include <gtest/gtest.h>

#include <cstring>

#include "image/image_readers.h"
#include "tests/hostile/hostile_files.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

using test::Bytes;

class Damaged : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const Bytes& bytes) {
    const auto path = dir_ / name;
    test::WriteBytes(path, bytes);
    return path.string();
  }
  test::TempDir dir_;
};

// Every picture row equal between two 24-bit images of the same size.
bool SamePixels(const DibStream& a, const DibStream& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitCount() != b.BitCount()) return false;
  const std::size_t row = static_cast<std::size_t>(a.Width()) * static_cast<std::size_t>(a.BitCount() / 8);
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.Row(y), b.Row(y), row) != 0) return false;
  return true;
}

// A 16-row picture whose rows differ, so that a cut shows.
Bytes StripedPng() {
  Bytes raw;
  for (int y = 0; y < 16; ++y) {
    raw.push_back(0);
    for (int x = 0; x < 16; ++x)
      raw.insert(raw.end(), {static_cast<std::uint8_t>(x * 16), static_cast<std::uint8_t>(y * 13), 7});
  }
  // Stored (uncompressed) deflate blocks keep every row's bytes at a known place in the file.
  Bytes z(7 + raw.size() + 4);
  const std::uint8_t head[7] = {0x78,
                                0x01,
                                0x01,
                                static_cast<std::uint8_t>(raw.size()),
                                static_cast<std::uint8_t>(raw.size() >> 8),
                                static_cast<std::uint8_t>(~raw.size()),
                                static_cast<std::uint8_t>(~raw.size() >> 8)};
  std::memcpy(z.data(), head, 7);
  std::memcpy(z.data() + 7, raw.data(), raw.size());
  z.resize(7 + raw.size());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  const std::uint32_t adler = (b << 16) | a;
  for (int i = 3; i >= 0; --i) z.push_back(static_cast<std::uint8_t>(adler >> (8 * i)));
  return test::PngFile(16, 16, 8, 2, z);
}

TEST_F(Damaged, PngCutInsideItsImageDataFailsButACutAfterItIsWhole) {
  const Bytes whole = StripedPng();
  DibStream reference;
  ASSERT_TRUE(LoadPng(Write("whole.png", whole).c_str(), reference));
  const std::size_t iend = whole.size() - 12;
  const std::size_t idatData = 8 + 25 + 8;  // signature, IHDR chunk, IDAT length and type
  // Inside the image data (including its last bytes: the zlib checksum and the chunk CRC).
  for (std::size_t cut : {idatData + 3, idatData + 100, idatData + 500, iend - 6, iend - 1}) {
    DibStream d;
    EXPECT_FALSE(LoadPng(Write("cut.png", Bytes(whole.begin(), whole.begin() + static_cast<long>(cut))).c_str(), d))
        << "cut at " << cut;
  }
  // Without IEND, or with IEND cut: every row is there.
  for (std::size_t cut : {iend, iend + 5}) {
    DibStream d;
    ASSERT_TRUE(LoadPng(Write("noend.png", Bytes(whole.begin(), whole.begin() + static_cast<long>(cut))).c_str(), d))
        << "cut at " << cut;
    EXPECT_TRUE(SamePixels(d, reference));
  }
  // A corrupt row byte with its chunk CRC left as it was.
  Bytes corrupt = whole;
  corrupt[idatData + 200] ^= 0x55;
  DibStream d;
  EXPECT_FALSE(LoadPng(Write("crc.png", corrupt).c_str(), d));
}

TEST_F(Damaged, JpegWithDataMissingFailsButOneLackingOnlyItsEndMarkerIsWhole) {
  const Bytes baseline = test::SmallJpeg(48, 40, false);
  DibStream reference;
  ASSERT_TRUE(LoadJpg(Write("whole.jpg", baseline).c_str(), reference));
  ASSERT_EQ(reference.Width(), 48);
  // Only the end marker missing: a single scan decoded whole.
  DibStream noEnd;
  ASSERT_TRUE(LoadJpg(Write("noend.jpg", Bytes(baseline.begin(), baseline.end() - 2)).c_str(), noEnd));
  EXPECT_TRUE(SamePixels(noEnd, reference));
  // Cut inside the scan, from near its start to its last bytes.
  for (std::size_t back : {std::size_t{4}, std::size_t{20}, std::size_t{60}, baseline.size() / 3}) {
    DibStream d;
    EXPECT_FALSE(
        LoadJpg(Write("cut.jpg", Bytes(baseline.begin(), baseline.end() - static_cast<long>(back))).c_str(), d))
        << back << " bytes short";
  }
  // Junk between two header segments loses nothing and is passed over.
  Bytes junk = baseline;
  const std::size_t afterApp0 = 2 + 2 + ((junk[4] << 8) | junk[5]);
  junk.insert(junk.begin() + static_cast<long>(afterApp0), {0x12, 0x34, 0x56});
  DibStream d;
  ASSERT_TRUE(LoadJpg(Write("junk.jpg", junk).c_str(), d));
  EXPECT_TRUE(SamePixels(d, reference));
}

TEST_F(Damaged, ProgressiveJpegMissingAnyOfItsEndFails) {
  const Bytes progressive = test::SmallJpeg(48, 40, true);
  DibStream d;
  ASSERT_TRUE(LoadJpg(Write("whole.jpg", progressive).c_str(), d));
  // A progressive file cut between scans would still show a picture, only a blurred one: without
  // the end marker there is no telling, so it fails.
  for (std::size_t back : {std::size_t{2}, std::size_t{30}, progressive.size() / 2}) {
    DibStream cut;
    EXPECT_FALSE(
        LoadJpg(Write("cut.jpg", Bytes(progressive.begin(), progressive.end() - static_cast<long>(back))).c_str(), cut))
        << back << " bytes short";
  }
}

TEST_F(Damaged, RunLengthDataMustBeLongEnoughForThePicture) {
  // RLE8 4096 x 4096: each row as 16 runs of 255, one of 16 and an end of line, 36 bytes for 4096
  // pixels (114:1). Read whole; the same header over a quarter of the rows is refused, not read
  // as a mostly empty picture.
  Bytes rows;
  for (int y = 0; y < 4096; ++y) {
    for (int k = 0; k < 16; ++k) rows.insert(rows.end(), {255, static_cast<std::uint8_t>(y)});
    rows.insert(rows.end(), {16, 9, 0, 0});
  }
  DibStream d;
  ASSERT_TRUE(d.LoadBmp(Write("full.bmp", test::BmpFile(4096, 4096, 8, 1, rows)).c_str(), kAllDepths));
  EXPECT_EQ(d.Pixels()[4095 * d.RowStride() + 4095], 9);
  rows.resize(rows.size() / 4);
  EXPECT_FALSE(d.LoadBmp(Write("quarter.bmp", test::BmpFile(4096, 4096, 8, 1, rows)).c_str(), kAllDepths));
  EXPECT_TRUE(d.IsEmpty());
  // Targa run-length at its densest (128 pixels per packet) is read; a quarter of it is refused.
  Bytes tga = test::TgaHeader(10, 4096, 1024, 24);
  for (int k = 0; k < 4096 * 1024 / 128; ++k) tga.insert(tga.end(), {0xFF, 1, 2, 3});
  DibStream t;
  ASSERT_TRUE(LoadTga(Write("full.tga", tga).c_str(), t));
  EXPECT_EQ(t.Row(1023)[3 * 4095 + 2], 3);
  tga.resize(18 + (tga.size() - 18) / 4);
  DibStream u;
  EXPECT_FALSE(LoadTga(Write("quarter.tga", tga).c_str(), u));
  EXPECT_TRUE(u.IsEmpty());
}

// ByteRun1 writes at most 128 bytes for two: a picture is judged by the plane bytes it needs, not by
// its image block, which holds five planes in eight bits.
Bytes ByteRunBody(int width, int height, int planes, std::uint8_t value) {
  const int planeRow = (width + 15) / 16 * 2;
  Bytes body;
  for (long i = 0; i < static_cast<long>(planeRow) * planes * height / 128; ++i)
    body.insert(body.end(), {static_cast<std::uint8_t>(257 - 128), value});
  return body;
}

TEST_F(Damaged, IlbmCompressedAtTheMostByteRun1CanDoIsRead) {
  DibStream d;
  const Bytes body = ByteRunBody(1024, 768, 5, 0xFF);
  ASSERT_EQ(body.size(), 7680u);  // 491520 plane bytes at 64:1
  ASSERT_TRUE(LoadIff(Write("five.iff", test::IlbmFile(1024, 768, 5, 1, body)).c_str(), d));
  EXPECT_EQ(d.BitCount(), 8);
  EXPECT_EQ(d.Row(767)[1023], 31);  // every plane set in the last pixel
  // Beyond the slack, the rule bites at the same ratio: 16 MiB of plane bytes need 256 KiB.
  const Bytes big = ByteRunBody(4096, 4096, 8, 0x80);
  ASSERT_TRUE(LoadIff(Write("eight.iff", test::IlbmFile(4096, 4096, 8, 1, big)).c_str(), d));
  EXPECT_EQ(d.Row(4095)[4088], 255);
  DibStream e;
  EXPECT_FALSE(LoadIff(
      Write("short.iff", test::IlbmFile(4096, 4096, 8, 1, Bytes(big.begin(), big.begin() + 60000))).c_str(), e));
  EXPECT_TRUE(e.IsEmpty());
}

TEST_F(Damaged, PpmCommentsOfAnyLengthAreSkipped) {
  for (std::size_t length :
       {std::size_t{125}, std::size_t{126}, std::size_t{127}, std::size_t{128}, std::size_t{600}}) {
    std::string header = "P5\n#" + std::string(length - 1, 'c') + "\n# 9 9\n2 1\n255\n";
    Bytes file(header.begin(), header.end());
    file.insert(file.end(), {40, 50});
    DibStream d;
    ASSERT_TRUE(LoadPpm(Write("c.pgm", file).c_str(), d)) << length;
    EXPECT_EQ(d.Width(), 2);
    EXPECT_EQ(d.Height(), 1);
    EXPECT_EQ(d.Row(0)[1], 50);
  }
  // A comment that runs to the end of the file leaves no header.
  const std::string open = "P6\n#" + std::string(300, 'x');
  DibStream d;
  EXPECT_FALSE(LoadPpm(Write("open.ppm", Bytes(open.begin(), open.end())).c_str(), d));
}

TEST(ConvertTo, TwentyFourBitsStayPutAndThirtyTwoPackInPlaceRowByRow) {
  DibStream same;
  ASSERT_TRUE(same.Create(5, 3, 24));
  const std::uint8_t* before = same.Pixels();
  same.Row(2)[14] = 77;
  ASSERT_TRUE(same.ConvertTo(24));
  EXPECT_EQ(same.Pixels(), before);  // no copy of the picture
  EXPECT_EQ(same.Row(2)[14], 77);
  for (int height : {3, -3}) {
    DibStream d;
    ASSERT_TRUE(d.Create(5, height, 32));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        for (int k = 0; k < 4; ++k) d.Row(y)[4 * x + k] = static_cast<std::uint8_t>(37 * y + 11 * x + 3 * k + 1);
    ASSERT_TRUE(d.ConvertTo(24));
    EXPECT_EQ(d.BitCount(), 24);
    EXPECT_EQ(d.SignedHeight(), height);
    EXPECT_EQ(d.RowStride(), 16u);
    EXPECT_EQ(d.PixelBytes(), 48u);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x)
        for (int k = 0; k < 3; ++k)
          EXPECT_EQ(d.Row(y)[3 * x + k], static_cast<std::uint8_t>(37 * y + 11 * x + 3 * k + 1))
              << y << "," << x << "," << k;
      EXPECT_EQ(d.Row(y)[15], 0);  // padding cleared
    }
  }
}

}  // namespace
}  // namespace mw
