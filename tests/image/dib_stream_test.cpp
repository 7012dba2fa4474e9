#include "image/dib_stream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace mw {
namespace {

TEST(DibStream, RowStridesPadToFourBytes) {
  DibStream a, b, c;
  ASSERT_TRUE(a.Create(1, 1, 24));
  EXPECT_EQ(a.RowStride(), 4u);
  ASSERT_TRUE(b.Create(5, 1, 24));
  EXPECT_EQ(b.RowStride(), 16u);
  ASSERT_TRUE(c.Create(33, 1, 1));
  EXPECT_EQ(c.RowStride(), 8u);
  EXPECT_EQ(c.ImageSize(), 8u);
}

TEST(DibStream, CreateRefusesWhatItCannotHold) {
  DibStream d;
  EXPECT_FALSE(d.Create(10, 10, 2));
  EXPECT_TRUE(d.IsEmpty());
  EXPECT_FALSE(d.Create(0, 10, 24));
  EXPECT_FALSE(d.Create(10, 0, 24));
  EXPECT_FALSE(d.Create(-5, 10, 24));
  EXPECT_FALSE(d.Create(60000, 60000, 32));  // 2^31 bytes and more
  EXPECT_FALSE(d.Create(10, INT32_MIN, 8));
  EXPECT_TRUE(d.IsEmpty());
}

TEST(DibStream, HeaderIsTheWindowsLayout) {
  DibStream d;
  ASSERT_TRUE(d.Create(3, -2, 8));
  const std::uint8_t* h = d.Header();
  std::uint32_t size, colors;
  std::int32_t height;
  std::memcpy(&size, h, 4);
  std::memcpy(&height, h + 8, 4);
  std::memcpy(&colors, h + 32, 4);
  EXPECT_EQ(size, 40u);
  EXPECT_EQ(height, -2);
  EXPECT_EQ(h[12], 1);
  EXPECT_EQ(h[14], 8);
  EXPECT_EQ(colors, 256u);
  EXPECT_EQ(d.ColorCount(), 256);
  EXPECT_TRUE(d.IsTopDown());
  EXPECT_EQ(d.ColorTable()[4 * 200], 200);  // grey ramp
  DibStream e;
  ASSERT_TRUE(e.Create(3, 2, 24));
  EXPECT_EQ(e.ColorCount(), 0);
}

TEST(DibStream, RowZeroIsTheTopOfThePicture) {
  DibStream up, down;
  ASSERT_TRUE(up.Create(2, 3, 8));
  ASSERT_TRUE(down.Create(2, -3, 8));
  EXPECT_EQ(up.Row(0), up.Pixels() + 2 * up.RowStride());
  EXPECT_EQ(down.Row(0), down.Pixels());
}

TEST(DibStream, AttachRefusesNullBlocksAndOwnsWhatItTakes) {
  DibStream d;
  ASSERT_TRUE(d.Create(2, 2, 24));
  EXPECT_FALSE(d.Attach(nullptr, kGlobalFixed, nullptr, kGlobalFixed));
  EXPECT_FALSE(d.IsEmpty());
  DibStream source;
  ASSERT_TRUE(source.Create(4, 4, 32));
  auto* header = static_cast<std::uint8_t*>(AllocateBlock(kHeapMemory, 40));
  auto* pixels = static_cast<std::uint8_t*>(AllocateBlock(kLocalMovable, 64));
  std::memcpy(header, source.Header(), 40);
  std::memset(pixels, 7, 64);
  ASSERT_TRUE(d.Attach(header, kHeapMemory, pixels, kLocalMovable));
  EXPECT_EQ(d.Width(), 4);
  EXPECT_EQ(d.Row(0)[0], 7);
  // Freed by their own kinds when d goes (the sanitizers check the pairing).
}

TEST(DibStream, GreyPalettes) {
  DibStream one, four;
  ASSERT_TRUE(one.Create(8, 1, 1));
  one.SetGreyPalette();
  EXPECT_EQ(one.ColorTable()[0], 0);
  EXPECT_EQ(one.ColorTable()[4], 255);
  ASSERT_TRUE(four.Create(2, 1, 4));
  four.SetGreyPalette();
  EXPECT_EQ(four.ColorTable()[4 * 15 + 1], 255);
  EXPECT_EQ(four.ColorTable()[4 * 3 + 2], 51);
  EXPECT_EQ(four.ColorTable()[4 * 3 + 3], 0);
}

TEST(DibStream, ConvertTopDownEightBitsTo24ThroughThePalette) {
  DibStream d;
  ASSERT_TRUE(d.Create(2, -2, 8));
  std::uint8_t* table = d.ColorTable();
  table[4 * 5] = 10;  // blue
  table[4 * 5 + 1] = 20;
  table[4 * 5 + 2] = 30;
  d.Row(0)[0] = 5;
  d.Row(0)[1] = 6;
  d.Row(1)[0] = 0;
  d.Row(1)[1] = 255;
  ASSERT_TRUE(d.ConvertTo(24));
  EXPECT_EQ(d.BitCount(), 24);
  EXPECT_TRUE(d.IsTopDown());
  EXPECT_EQ(d.Row(0)[0], 10);
  EXPECT_EQ(d.Row(0)[1], 20);
  EXPECT_EQ(d.Row(0)[2], 30);
  EXPECT_EQ(d.Row(0)[3], 6);  // grey ramp entry 6
  EXPECT_EQ(d.Row(1)[3], 255);
  EXPECT_FALSE(d.ConvertTo(8));
}

TEST(DibStream, SixteenBitsExpandFiveBitChannels) {
  DibStream d;
  ASSERT_TRUE(d.Create(3, 1, 16));
  const std::uint16_t values[3] = {0x7FFF, 0x8000, 0x7C00};
  std::memcpy(d.Row(0), values, 6);
  ASSERT_TRUE(d.ConvertTo(24));
  const std::uint8_t* r = d.Row(0);
  EXPECT_EQ(r[0], 248);
  EXPECT_EQ(r[1], 248);
  EXPECT_EQ(r[2], 248);
  EXPECT_EQ(r[3] | r[4] | r[5], 0);
  EXPECT_EQ(r[6], 0);
  EXPECT_EQ(r[8], 248);  // red
}

TEST(DibStream, IndicesPastTheColourTableReadAsBlack) {
  DibStream d;
  ASSERT_TRUE(d.Create(1, 1, 8));
  std::uint32_t two = 2;
  std::memcpy(d.Header() + 32, &two, 4);  // a table that claims two entries
  d.Row(0)[0] = 200;
  ASSERT_TRUE(d.ConvertTo(24));
  EXPECT_EQ(d.Row(0)[0] | d.Row(0)[1] | d.Row(0)[2], 0);
}

TEST(DibStream, ConvertingOneAndFourBitsAndThirtyTwo) {
  DibStream one, four, full;
  ASSERT_TRUE(one.Create(9, 1, 1));
  one.Row(0)[0] = 0x80;
  one.Row(0)[1] = 0x80;
  ASSERT_TRUE(one.ConvertTo(24));
  EXPECT_EQ(one.Row(0)[0], 255);
  EXPECT_EQ(one.Row(0)[3], 0);
  EXPECT_EQ(one.Row(0)[24], 255);
  ASSERT_TRUE(four.Create(2, 1, 4));
  four.SetGreyPalette();
  four.Row(0)[0] = 0x1F;
  ASSERT_TRUE(four.ConvertTo(24));
  EXPECT_EQ(four.Row(0)[0], 17);
  EXPECT_EQ(four.Row(0)[3], 255);
  ASSERT_TRUE(full.Create(1, 1, 32));
  std::memcpy(full.Row(0), "\x01\x02\x03\x04", 4);
  ASSERT_TRUE(full.ConvertTo(24));
  EXPECT_EQ(std::memcmp(full.Row(0), "\x01\x02\x03", 3), 0);
}

TEST(Resample, CornersOfATwoByTwoImageLandExactly) {
  DibStream d;
  ASSERT_TRUE(d.Create(2, 2, 24));
  const std::uint8_t colours[4][3] = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}};
  std::memcpy(d.Row(0), colours[0], 3);
  std::memcpy(d.Row(0) + 3, colours[1], 3);
  std::memcpy(d.Row(1), colours[2], 3);
  std::memcpy(d.Row(1) + 3, colours[3], 3);
  ASSERT_TRUE(d.Resample(256, 256));
  EXPECT_EQ(d.Width(), 256);
  EXPECT_EQ(d.Height(), 256);
  EXPECT_FALSE(d.IsTopDown());
  EXPECT_EQ(std::memcmp(d.Row(0), colours[0], 3), 0);
  EXPECT_EQ(std::memcmp(d.Row(0) + 255 * 3, colours[1], 3), 0);
  EXPECT_EQ(std::memcmp(d.Row(255), colours[2], 3), 0);
  EXPECT_EQ(std::memcmp(d.Row(255) + 255 * 3, colours[3], 3), 0);
}

TEST(Resample, SmoothstepWeights) {
  // Three source columns onto five: positions 0, 0.5, 1, 1.5, 2.
  DibStream d;
  ASSERT_TRUE(d.Create(3, 2, 24));
  std::memset(d.Pixels(), 0, d.PixelBytes());
  for (int y = 0; y < 2; ++y) {
    d.Row(y)[3] = 255;  // middle column blue 255
  }
  ASSERT_TRUE(d.Resample(5, 2));
  // t = 0.5: cw1 = 128, so 255 * 128 * 256 >> 16 = 127.
  EXPECT_EQ(d.Row(0)[3], 127);
  EXPECT_EQ(d.Row(0)[6], 255);
  // Five source columns onto seventeen: a step of 0.25.
  DibStream e;
  ASSERT_TRUE(e.Create(5, 2, 24));
  std::memset(e.Pixels(), 0, e.PixelBytes());
  e.Row(0)[3] = e.Row(1)[3] = 255;
  ASSERT_TRUE(e.Resample(17, 2));
  // Column 1 sits at 0.25 between source 0 (0) and 1 (255): cw1 = 40 -> 255 * 40 * 256 >> 16 = 39.
  EXPECT_EQ(e.Row(0)[3], 39);
}

TEST(Resample, NarrowSourcesAndDestinationsRepeatTheSingleColumn) {
  DibStream d;
  ASSERT_TRUE(d.Create(1, 1, 24));
  std::memcpy(d.Row(0), "\x09\x08\x07", 3);
  ASSERT_TRUE(d.Resample(4, 3));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(std::memcmp(d.Row(y) + 3 * x, "\x09\x08\x07", 3), 0);
  ASSERT_TRUE(d.Resample(1, 1));
  EXPECT_EQ(std::memcmp(d.Row(0), "\x09\x08\x07", 3), 0);
  EXPECT_FALSE(d.Resample(0, 5));
  DibStream empty;
  EXPECT_FALSE(empty.Resample(4, 4));
}

TEST(Resample, IndexedImagesTakeTheNearestPixelAndKeepTheirTable) {
  DibStream d;
  ASSERT_TRUE(d.Create(2, 2, 4));
  d.ColorTable()[4 * 3] = 99;
  d.Row(0)[0] = 0x3F;
  d.Row(1)[0] = 0x00;
  ASSERT_TRUE(d.Resample(4, 4));
  EXPECT_EQ(d.Row(0)[0] >> 4, 3);
  EXPECT_EQ(d.Row(0)[1] & 0x0F, 15);
  EXPECT_EQ(d.Row(3)[0], 0);
  EXPECT_EQ(d.ColorTable()[4 * 3], 99);
  EXPECT_EQ(d.ColorCount(), 16);
}

}  // namespace
}  // namespace mw
