#include "platform/encoding.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace mw {
namespace {

// Converts with iconv, replacing every input sequence the target cannot represent. `step` is the
// number of input bytes skipped for one bad character; `replacement` is written in its place.
std::string Convert(const char* to, const char* from, const char* in, std::size_t inLeft, std::size_t step,
                    std::string_view replacement) {
  std::string out;
  if (inLeft == 0) return out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // No converter: keep ASCII, replace the rest. Only happens on a system without glibc's gconv.
    for (std::size_t i = 0; i < inLeft; ++i) {
      unsigned char c = static_cast<unsigned char>(in[i]);
      out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
  }
  std::vector<char> buf(inLeft * 4 + 16);
  char* inPtr = const_cast<char*>(in);
  while (inLeft > 0) {
    char* outPtr = buf.data();
    std::size_t outLeft = buf.size();
    std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buf.data(), outPtr);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (truncated sequence at the end): replace and go on.
    std::size_t skip = step < inLeft ? step : inLeft;
    if (step == 2 && skip == 2 && std::string_view(from) == "UTF-16LE") {
      // A high surrogate followed by a low one is one character.
      unsigned hi = static_cast<unsigned char>(inPtr[0]) | (static_cast<unsigned char>(inPtr[1]) << 8);
      if (hi >= 0xD800 && hi <= 0xDBFF && inLeft >= 4) {
        unsigned lo = static_cast<unsigned char>(inPtr[2]) | (static_cast<unsigned char>(inPtr[3]) << 8);
        if (lo >= 0xDC00 && lo <= 0xDFFF) skip = 4;
      }
    }
    inPtr += skip;
    inLeft -= skip;
    out += replacement;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
  return Convert("UTF-8", "CP932", cp932.data(), cp932.size(), 1, "\xEF\xBF\xBD");
}

std::string Utf8ToCp932(std::string_view utf8) {
  // Decode to UTF-16 here so that a malformed byte and an unmappable character both come out as a
  // single '?', then let the UTF-16 path do the mapping.
  std::vector<unsigned char> u16;
  u16.reserve(utf8.size() * 2);
  auto put = [&u16](unsigned v) {
    u16.push_back(static_cast<unsigned char>(v & 0xFF));
    u16.push_back(static_cast<unsigned char>(v >> 8));
  };
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  std::size_t n = utf8.size(), i = 0;
  while (i < n) {
    unsigned c = p[i];
    unsigned need = 0, cp = 0, min = 0;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      need = 1;
      cp = c & 0x1F;
      min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      need = 2;
      cp = c & 0x0F;
      min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      need = 3;
      cp = c & 0x07;
      min = 0x10000;
    } else {
      put('?');
      ++i;
      continue;
    }
    std::size_t j = 1;
    for (; j <= need; ++j) {
      if (i + j >= n || (p[i + j] & 0xC0) != 0x80) break;
      cp = (cp << 6) | (p[i + j] & 0x3F);
    }
    if (j <= need || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      put('?');
      i += j;
      continue;
    }
    i += need + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  return Utf16leToCp932(u16.data(), u16.size() / 2);
}

std::string Utf16leToCp932(const unsigned char* data, std::size_t units) {
  return Convert("CP932", "UTF-16LE", reinterpret_cast<const char*>(data), units * 2, 2, "?");
}

}  // namespace mw
