// Files made to order for the hostile-input tests: headers that promise more than the data
// holds, data cut short, and the largest counts each format can state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mw::test {

using Bytes = std::vector<std::uint8_t>;

// A PNG with the given header and IDAT payload (already deflated); no IEND when `end` is false.
Bytes PngFile(std::uint32_t width, std::uint32_t height, int bitDepth, int colorType, const Bytes& idat,
              bool end = true);
// The zlib stream of `rows` rows of `rowBytes` zero bytes, each led by filter byte 0.
Bytes DeflatedZeroRows(std::uint64_t rowBytes, std::uint64_t rows);
// A whole 24-bit PNG of zeros.
Bytes ZeroPng(std::uint32_t width, std::uint32_t height);
// A 32 x 32 PNG with a chunk of `type` whose header states `statedLength` bytes (the file holds a
// dozen), before the image data or after it.
Bytes PngWithLyingChunk(const char* type, std::uint32_t statedLength, bool afterImage);

// A small JPEG encoded here (a smooth gradient, colour, 4:2:0), baseline or progressive.
Bytes SmallJpeg(int width, int height, bool progressive);
// The same file with its frame header claiming another size: the scans then describe a corner.
Bytes WithJpegSize(Bytes jpeg, std::uint16_t width, std::uint16_t height);

// A bitmap with a 40-byte header: RLE8 data or raw pixels as given, 256 grey entries for 8 bits.
Bytes BmpFile(std::int32_t width, std::int32_t height, int bits, std::uint32_t compression, const Bytes& data);
Bytes TgaHeader(int type, int width, int height, int depth, int descriptor = 0);
Bytes IlbmFile(int width, int height, int planes, int compression, const Bytes& body);

// `count` material lines of one word under one Material chunk that announces `announced`.
std::string MqoMaterialLines(std::size_t count, std::size_t announced);

}  // namespace mw::test
