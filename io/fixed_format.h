// Floats as printf("%f") writes them in the C locale, fast.
//
// Six decimals, rounded to nearest with ties to even on the exact binary value; "-" kept on
// negative zero and on negative values that round to zero; "inf", "-inf", "nan" and "-nan" for
// the values without digits. Text documents are full of such numbers, so this is the exporter's
// hot path; the result is the same bytes as printf's, always.
#pragma once

#include <cstddef>

namespace mw {

// Enough for any float: "-" and 39 integer digits, ".", six decimals.
constexpr std::size_t kFixedFloatChars = 48;

// Writes `f` at `out` (kFixedFloatChars bytes at least), without a terminating zero, and returns
// the end of what was written.
char* FormatFixed6(float f, char* out);

}  // namespace mw
