#include "io/fixed_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace mw {
namespace {

std::string Ours(float f) {
  char buf[kFixedFloatChars];
  return std::string(buf, FormatFixed6(f, buf));
}

std::string Printf(float f) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%f", static_cast<double>(f));
  return buf;
}

float FromBits(std::uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

// Stops at the first few mismatches so a broken build does not flood the log.
void ExpectLikePrintf(float f, int& failures) {
  if (failures > 20) return;
  const std::string ours = Ours(f), theirs = Printf(f);
  if (ours != theirs) {
    ++failures;
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    ADD_FAILURE() << "bits 0x" << std::hex << bits << ": ours " << ours << ", printf " << theirs;
  }
}

TEST(FixedFormat, ValuesWithoutDigitsAndZeros) {
  EXPECT_EQ(Ours(0.0f), "0.000000");
  EXPECT_EQ(Ours(-0.0f), "-0.000000");
  EXPECT_EQ(Ours(std::numeric_limits<float>::infinity()), "inf");
  EXPECT_EQ(Ours(-std::numeric_limits<float>::infinity()), "-inf");
  EXPECT_EQ(Ours(std::numeric_limits<float>::quiet_NaN()), Printf(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_EQ(Ours(-std::numeric_limits<float>::quiet_NaN()), Printf(-std::numeric_limits<float>::quiet_NaN()));
  EXPECT_EQ(Ours(FromBits(0x7F800001)), "nan");  // a signalling payload
  EXPECT_EQ(Ours(FromBits(0xFFC00123)), "-nan");
  // Negative values that round to zero keep their sign, as printf's do.
  EXPECT_EQ(Ours(-4e-7f), "-0.000000");
  EXPECT_EQ(Ours(-6e-7f), "-0.000001");
  EXPECT_EQ(Ours(FromBits(0x80000001)), "-0.000000");  // the smallest negative denormal
  EXPECT_EQ(Ours(FLT_MAX), Printf(FLT_MAX));
  EXPECT_EQ(Ours(-FLT_MAX), Printf(-FLT_MAX));
}

// Exact ties exist only at odd multiples of 1/128 (then f * 10^6 ends in .5): they go to even.
TEST(FixedFormat, TiesGoToEvenAtEveryMagnitude) {
  EXPECT_EQ(Ours(1.0f / 128), "0.007812");
  EXPECT_EQ(Ours(3.0f / 128), "0.023438");
  EXPECT_EQ(Ours(-5.0f / 128), "-0.039062");
  int failures = 0;
  for (std::uint32_t odd = 1; odd < (1u << 24); odd += 2 * 977) {
    ExpectLikePrintf(static_cast<float>(odd) / 128.0f, failures);
    ExpectLikePrintf(-static_cast<float>(odd) / 128.0f, failures);
  }
}

// Every exponent, with mantissas at their ends and in between; the boundary where the exact
// path hands over to the library (2^43 and up) included.
TEST(FixedFormat, EveryExponentAndMantissaEdgeMatchesPrintf) {
  int failures = 0;
  for (std::uint32_t exponent = 0; exponent < 255; ++exponent)
    for (std::uint32_t mantissa : {0u, 1u, 2u, 0x3FFFFFu, 0x400000u, 0x400001u, 0x7FFFFEu, 0x7FFFFFu, 0x2AAAAAu, 0x555555u})
      for (std::uint32_t sign : {0u, 1u}) ExpectLikePrintf(FromBits(sign << 31 | exponent << 23 | mantissa), failures);
  for (float f : {0.1f, 0.5f, 1.0f / 3, 2.0f / 3, 37.0f, 0.000001f, 0.0000005f, 0.0000015f, 999999.5f, 1e7f, 123456.789f,
                  8388608.0f, 16777217.0f, 1e10f, 3e12f, 8.796093e12f, 8.796094e12f, 1e20f, 1e30f})
    ExpectLikePrintf(f, failures);
}

TEST(FixedFormat, ManyRandomFloatsMatchPrintf) {
  std::mt19937 random(20261207);
  int failures = 0;
  // Random bit patterns cover every magnitude; values near the usual coordinates get their own share.
  for (int i = 0; i < 300000; ++i) ExpectLikePrintf(FromBits(static_cast<std::uint32_t>(random())), failures);
  std::uniform_real_distribution<float> coordinate(-5000.0f, 5000.0f);
  for (int i = 0; i < 300000; ++i) ExpectLikePrintf(coordinate(random), failures);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  for (int i = 0; i < 100000; ++i) ExpectLikePrintf(unit(random) * 1e-5f, failures);
}

}  // namespace
}  // namespace mw
