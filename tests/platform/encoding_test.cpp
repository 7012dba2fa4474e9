#include "platform/encoding.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

TEST(Encoding, Cp932JapaneseRoundTripsThroughUtf8) {
  const std::string cp932 = "\x83\x65\x83\x58\x83\x67";  // テスト
  EXPECT_EQ(Cp932ToUtf8(cp932), "テスト");
  EXPECT_EQ(Utf8ToCp932("テスト"), cp932);
}

TEST(Encoding, Cp932KeepsBackslashAndTrailBytesThatLookLikeAscii) {
  // 表 is 0x95 0x5C in CP932: its trail byte is '\'. 0x5C alone is a backslash, not a yen sign.
  EXPECT_EQ(Cp932ToUtf8("\x95\x5C"), "表");
  EXPECT_EQ(Cp932ToUtf8("a\\b"), "a\\b");
  EXPECT_EQ(Utf8ToCp932("表\\"), "\x95\x5C\\");
}

TEST(Encoding, UnmappableCharactersBecomeOneQuestionMarkEach) {
  EXPECT_EQ(Utf8ToCp932("a\xF0\x9F\x98\x80z"), "a?z");  // emoji
  EXPECT_EQ(Utf8ToCp932("a\xC3\xA9z"), "a?z");          // é has no CP932 form
  EXPECT_EQ(Utf8ToCp932("a\xFFz"), "a?z");              // not UTF-8 at all
  EXPECT_EQ(Utf8ToCp932("a\xE3\x81"), "a?");            // cut-off sequence
}

TEST(Encoding, Utf16leToCp932) {
  const unsigned char text[] = {0x4D, 0x00, 0xC6, 0x30, 0x3D, 0xD8, 0x00, 0xDE, 0x21, 0x00};  // M, テ, 😀, !
  EXPECT_EQ(Utf16leToCp932(text, 5), "M\x83\x65?!");
  EXPECT_EQ(Utf16leToCp932(text, 0), "");
}

TEST(Encoding, InvalidCp932NeverFails) {
  std::string bad = "\x81";  // lead byte without trail
  EXPECT_FALSE(Cp932ToUtf8(bad).empty());
  EXPECT_EQ(Cp932ToUtf8(""), "");
}

TEST(Encoding, LeadByteRanges) {
  EXPECT_FALSE(IsCp932LeadByte(0x80));
  EXPECT_TRUE(IsCp932LeadByte(0x81));
  EXPECT_TRUE(IsCp932LeadByte(0x9F));
  EXPECT_FALSE(IsCp932LeadByte(0xA0));
  EXPECT_FALSE(IsCp932LeadByte(0xDF));
  EXPECT_TRUE(IsCp932LeadByte(0xE0));
  EXPECT_TRUE(IsCp932LeadByte(0xFC));
  EXPECT_FALSE(IsCp932LeadByte(0xFD));
}

}  // namespace
}  // namespace mw
