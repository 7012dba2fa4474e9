#include "io/string_separator.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <random>

namespace mw {
namespace {

std::vector<std::string> Tokens(const char* line) {
  StringSeparator s;
  int n = s.Split(line);
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.emplace_back(s.GetToken(i));
  return out;
}

using V = std::vector<std::string>;

TEST(Split, TheTokenTable) {
  EXPECT_EQ(Tokens("Object \"body 1\" {"), (V{"Object", "body 1", "{"}));
  EXPECT_EQ(Tokens("col(1.000 0.500 0.250 1.000)"), (V{"col", "(", "1.000", "0.500", "0.250", "1.000", ")"}));
  EXPECT_EQ(Tokens("tex(\"wood.bmp\")"), (V{"tex", "(", "wood.bmp", ")"}));
  EXPECT_EQ(Tokens("3 V(0 1 2) M(0)"), (V{"3", "V", "(", "0", "1", "2", ")", "M", "(", "0", ")"}));
  EXPECT_EQ(Tokens("block 2 [24]"), (V{"block", "2", "[", "24", "]"}));
  EXPECT_EQ(Tokens("a\"b c\"d"), (V{"a", "b c", "d"}));
  EXPECT_EQ(Tokens("\"\""), (V{""}));
  EXPECT_EQ(Tokens("\"open quote at end"), (V{"open quote at end"}));
  EXPECT_EQ(Tokens(""), V{});
  EXPECT_EQ(Tokens(" \t  \t"), V{});
  EXPECT_EQ(Tokens("\"a(b)\""), (V{"a(b)"}));
  EXPECT_EQ(Tokens("a:b;c=d,e"), (V{"a", ":", "b", ";", "c", "=", "d", ",", "e"}));
}

TEST(Split, LineEndsAndNulStopTheScanEvenInQuotes) {
  EXPECT_EQ(Tokens("a b\r\nc"), (V{"a", "b"}));
  EXPECT_EQ(Tokens("\"a b\nc\""), (V{"a b"}));
  StringSeparator s;
  const char withNul[] = {'a', ' ', '\0', 'b'};
  EXPECT_EQ(s.Split(withNul, sizeof withNul), 1);
}

TEST(Split, ShiftJisTrailBytesThatLookLikeSeparatorsStayInTheToken) {
  // 0x83 0x5B (ー), 0x83 0x5D (ツ? any lead + ']'), 0x83 0x7B, 0x83 0x7D, 0x95 0x5C (表)
  const char line[] = "\"\x83\x5B\x83\x5D\x83\x7B\x83\x7D\x95\x5C\" x\x83\x22y";
  EXPECT_EQ(Tokens(line), (V{"\x83\x5B\x83\x5D\x83\x7B\x83\x7D\x95\x5C", "x\x83\x22y"}));
  // A lead byte right before the end keeps its place and reads nothing past the string.
  EXPECT_EQ(Tokens("ab\x83"), (V{"ab\x83"}));
  // Single-byte katakana (0xA1-0xDF) are ordinary bytes.
  EXPECT_EQ(Tokens("\xB1\xB2 c"), (V{"\xB1\xB2", "c"}));
}

TEST(Split, Utf8LinesTakeEveryByteForItself) {
  // "接続" ends in 0x9A, a CP932 lead byte: read as CP932 it swallows the closing quote.
  const char line[] = "Object \"\xE6\x8E\xA5\xE7\xB6\x9A\" {";
  StringSeparator s;
  ASSERT_EQ(s.Split(line), 2);
  s.SetCp932(false);
  ASSERT_EQ(s.Split(line), 3);
  EXPECT_EQ(s.Token(1), "\xE6\x8E\xA5\xE7\xB6\x9A");
  EXPECT_TRUE(s.IsToken(2, "{"));
  s.SetCp932(true);
  EXPECT_EQ(s.Split(line), 2);
}

TEST(Split, SlotsKeepWorkingAcrossShorterAndLongerLines) {
  StringSeparator s;
  EXPECT_EQ(s.Split("a b c d e"), 5);
  EXPECT_EQ(s.Split("x"), 1);
  EXPECT_STREQ(s.GetToken(0), "x");
  EXPECT_FALSE(s.IsToken(1, "b"));
  EXPECT_EQ(s.GetInt(3), 0);
  s.SetToken(9, "late");
  EXPECT_STREQ(s.GetToken(9), "late");
  EXPECT_EQ(s.Count(), 1);
}

TEST(Accessors, KeywordsIgnoreCaseAndCompareWholeTokens) {
  StringSeparator s;
  s.Split("Material 3 {");
  EXPECT_TRUE(s.IsCommand("material", 1));
  EXPECT_TRUE(s.IsCommand("MATERIAL", 3));
  EXPECT_FALSE(s.IsCommand("material", 4));
  EXPECT_FALSE(s.IsCommand("Materials", 1));
  s.Split("face");
  EXPECT_FALSE(s.IsCommand("face", 2));
  s.Split("3 v(0 1 2)");
  EXPECT_TRUE(s.IsToken(1, "V"));
  EXPECT_FALSE(s.IsToken(-1, "3"));
}

TEST(Accessors, NumbersAreAtoiAndAtof) {
  StringSeparator s;
  s.Split("12abc abc 1.5e2 -7 0x10 .5 -.5e1 1e400 inf");
  EXPECT_EQ(s.GetInt(0), 12);
  EXPECT_EQ(s.GetInt(1), 0);
  EXPECT_EQ(s.GetDouble(2), 150.0);
  EXPECT_EQ(s.GetInt(3), -7);
  EXPECT_EQ(s.GetInt(4), 0);
  EXPECT_EQ(s.GetDouble(4), 16.0);
  EXPECT_EQ(s.GetDouble(5), 0.5);
  EXPECT_EQ(s.GetDouble(6), -5.0);
  EXPECT_TRUE(std::isinf(s.GetDouble(7)));
  EXPECT_TRUE(std::isinf(s.GetDouble(8)));
  EXPECT_EQ(s.GetDouble(9), 0.0);  // no such token
}

TEST(Accessors, ParsersAgreeWithTheCLibraryOnEveryShapeOfNumber) {
  std::setlocale(LC_ALL, "C");
  std::mt19937 rng(12345);
  const char alphabet[] = "0123456789.-+eExXabinfINF \t\v";
  std::vector<std::string> samples = {"",
                                      "-",
                                      "+",
                                      ".",
                                      "-.",
                                      "1e",
                                      "1e+",
                                      "1e-5",
                                      "00012",
                                      "-0",
                                      "+5",
                                      "2147483647",
                                      "2147483648",
                                      "-2147483649",
                                      "99999999999999",
                                      "1.7976931348623157e308",
                                      "4.9e-324",
                                      "1e-400",
                                      "0x1p3",
                                      "0X1P-2",
                                      "nan",
                                      "-nan",
                                      "infinity",
                                      " 12",
                                      "\v7",
                                      "1..2",
                                      "123456789",
                                      "1234567890",
                                      "-123456789",
                                      "0.1",
                                      "3.4028235e38",
                                      "1.00000011920928955078125"};
  for (int i = 0; i < 20000; ++i) {
    std::string t;
    const int len = 1 + static_cast<int>(rng() % 12);
    for (int k = 0; k < len; ++k) t.push_back(alphabet[rng() % (sizeof alphabet - 1)]);
    samples.push_back(t);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*g", static_cast<int>(rng() % 17) + 1,
                  std::ldexp(static_cast<double>(rng()) - 2147483648.0, static_cast<int>(rng() % 80) - 40));
    samples.emplace_back(buf);
    // The shape exporters write: "%f" of floats of every magnitude, and shortened forms.
    const float f = std::ldexp(static_cast<float>(rng() % 100000) - 50000.0f, static_cast<int>(rng() % 40) - 20);
    std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(rng() % 10), static_cast<double>(f));
    samples.emplace_back(buf);
  }
  for (const std::string& t : samples) {
    ASSERT_EQ(ParseInt(t.c_str()), std::atoi(t.c_str())) << '"' << t << '"';
    const double want = std::atof(t.c_str());
    const double got = ParseDouble(t.c_str());
    if (std::isnan(want)) {
      ASSERT_TRUE(std::isnan(got)) << t;
    } else {
      ASSERT_EQ(std::memcmp(&want, &got, sizeof want), 0) << '"' << t << "\" " << want << " vs " << got;
    }
  }
}

std::vector<std::vector<std::string>> ReadAll(FileStringSeparator& src) {
  std::vector<std::vector<std::string>> lines;
  int n;
  while ((n = src.ReadLine()) >= 0) {
    std::vector<std::string> line;
    for (int i = 0; i < n; ++i) line.emplace_back(src.GetToken(i));
    lines.push_back(line);
  }
  EXPECT_EQ(src.ReadLine(), -1);
  return lines;
}

std::FILE* Memory(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  return f;
}

TEST(AsciiFileString, LastLineWithAndWithoutLineEnd) {
  for (const char* text : {"a b\nc", "a b\nc\n", "a b\r\nc\r\n"}) {
    std::FILE* f = Memory(text);
    AsciiFileString src(f);
    EXPECT_EQ(ReadAll(src), (std::vector<V>{{"a", "b"}, {"c"}})) << text;
    std::fclose(f);
  }
}

TEST(AsciiFileString, BlankLinesHaveNoTokensAndLongLinesComeInPieces) {
  std::string text = "x\n \t \n\n" + std::string(10000, 'q') + "\nend\n";
  std::FILE* f = Memory(text);
  AsciiFileString src(f);
  auto lines = ReadAll(src);
  std::fclose(f);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_TRUE(lines[1].empty());
  EXPECT_TRUE(lines[2].empty());
  EXPECT_EQ(lines[3][0].size(), 8190u);
  EXPECT_EQ(lines[4][0].size(), 10000u - 8190u);
  EXPECT_EQ(lines[5], V{"end"});
}

TEST(AsciiFileString, LineNumbersCountPhysicalLines) {
  std::string text = "a\n\n" + std::string(9000, 'q') + "\r\nb\n";
  std::FILE* f = Memory(text);
  AsciiFileString src(f);
  std::vector<long> numbers;
  while (src.ReadLine() >= 0) numbers.push_back(src.LineNumber());
  std::fclose(f);
  EXPECT_EQ(numbers, (std::vector<long>{1, 2, 3, 3, 4}));  // the long line comes in two pieces
}

TEST(AsciiFileString, TheFirstHighByteIsAnnouncedOnceBeforeItsLineIsSplit) {
  // Announced in the second piece of a long line; the callback's choice already splits it, and
  // it may read the stream as long as it puts the position back.
  std::string text = "plain\n" + std::string(8190, 'a') + " \"\xE7\xB6\x9A\" {\n\x83\x65\n";
  std::FILE* f = Memory(text);
  AsciiFileString src(f);
  int calls = 0;
  long start = -1;
  src.beforeFirstHighByte = [&] {
    ++calls;
    start = src.LineStart();
    const long here = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    std::fgetc(f);
    std::fseek(f, here, SEEK_SET);
    src.SetCp932(false);
  };
  std::vector<int> counts;
  for (int n; (n = src.ReadLine()) >= 0;) counts.push_back(n);
  std::fclose(f);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(start, 6);
  EXPECT_EQ(counts, (std::vector<int>{1, 1, 2, 1}));  // the quote after 0x9A still closes the name
}

TEST(AsciiFileString, TextAfterALoneCrIsIgnored) {
  std::FILE* f = Memory("a\rb\nc\n");
  AsciiFileString src(f);
  EXPECT_EQ(ReadAll(src), (std::vector<V>{{"a"}, {"c"}}));
  std::fclose(f);
}

TEST(MacFileString, AcceptsLoneCrCrLfAndLf) {
  std::FILE* f = Memory(std::string("a\rb\r\nc\nd"));
  MacFileString src(f);
  EXPECT_EQ(ReadAll(src), (std::vector<V>{{"a"}, {"b"}, {"c"}, {"d"}}));
  std::fclose(f);
}

TEST(MacFileString, ALineEndRightAfterALeadByteBelongsToTheLine) {
  std::FILE* f = Memory(std::string("x\x83\ny\nz\x83"));
  MacFileString src(f);
  auto lines = ReadAll(src);
  std::fclose(f);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], V{"x\x83\ny"});
  EXPECT_EQ(lines[1], V{"z\x83"});
}

TEST(MacFileString, NoLimitOnLineLength) {
  std::FILE* f = Memory(std::string(100000, 'w') + "\r");
  MacFileString src(f);
  auto lines = ReadAll(src);
  std::fclose(f);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0][0].size(), 100000u);
}

}  // namespace
}  // namespace mw
