#include "io/fixed_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace mw {
namespace {

// The digits of v, at least `minDigits` of them (zeros in front), written at out.
char* Digits(std::uint64_t v, int minDigits, char* out) {
  char buf[24];
  int n = 0;
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  while (n < minDigits) buf[n++] = '0';
  while (n) *out++ = buf[--n];
  return out;
}

}  // namespace

char* FormatFixed6(float f, char* out) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, 4);
  const bool negative = bits >> 31;
  const int biased = static_cast<int>((bits >> 23) & 0xFF);
  std::uint32_t mantissa = bits & 0x7FFFFF;
  if (biased == 0xFF) {
    const char* text = mantissa ? (negative ? "-nan" : "nan") : (negative ? "-inf" : "inf");
    const std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return out + n;
  }
  // f = mantissa * 2^exponent exactly.
  int exponent;
  if (biased == 0) {
    exponent = -149;
  } else {
    mantissa |= 0x800000;
    exponent = biased - 150;
  }
  // f * 10^6 = mantissa * 10^6 * 2^exponent, and mantissa * 10^6 < 2^44: with a shift of at most
  // 19 places left it stays exact in 64 bits. Larger values (above half a million, four times
  // over) go to the standard library's exact formatting.
  constexpr std::uint64_t kMillion = 1000000;
  const std::uint64_t scaled = static_cast<std::uint64_t>(mantissa) * kMillion;
  std::uint64_t units;  // f * 10^6 rounded, ties to even
  if (exponent >= 0) {
    if (exponent > 19) {
      const auto r = std::to_chars(out, out + kFixedFloatChars, static_cast<double>(f), std::chars_format::fixed, 6);
      return r.ptr;
    }
    units = scaled << exponent;
  } else if (exponent <= -64) {
    units = 0;  // below 2^-20: far under half a millionth
  } else {
    const int shift = -exponent;
    units = scaled >> shift;
    const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (units & 1))) ++units;
  }
  if (negative) *out++ = '-';
  out = Digits(units / kMillion, 1, out);
  *out++ = '.';
  return Digits(units % kMillion, 6, out);
}

}  // namespace mw
