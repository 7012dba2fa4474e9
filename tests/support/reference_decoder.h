// Other decoders' view of a file, to compare our readers with. Built without the sanitizers:
// the header-only decoder used here has known over-reads that are not ours to find.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mw::test {

struct ReferenceImage {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;  // top row first
};

// stb_image's decode (BMP, TGA, PNM binary, PNG, JPEG), as 8-bit RGBA.
bool StbDecode(const std::string& path, ReferenceImage& out);
// libjpeg-turbo's own decode (RGB or grey expanded to RGBA), the library our plugin is built on.
bool LibjpegDecode(const std::string& path, ReferenceImage& out);

}  // namespace mw::test
