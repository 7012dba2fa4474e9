#include "tests/hostile/hostile_files.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>  // after <cstdio>

namespace mw::test {
namespace {

void Be32(Bytes& b, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Be16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v >> 8));
  b.push_back(static_cast<std::uint8_t>(v));
}
void Le16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Le32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Text(Bytes& b, const char* s) { b.insert(b.end(), s, s + std::strlen(s)); }

void Chunk(Bytes& out, const char* type, const Bytes& data) {
  Be32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  Text(out, type);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
  Be32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

Bytes PngFile(std::uint32_t width, std::uint32_t height, int bitDepth, int colorType, const Bytes& idat, bool end) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  Be32(ihdr, width);
  Be32(ihdr, height);
  ihdr.push_back(static_cast<std::uint8_t>(bitDepth));
  ihdr.push_back(static_cast<std::uint8_t>(colorType));
  ihdr.insert(ihdr.end(), {0, 0, 0});
  Chunk(out, "IHDR", ihdr);
  Chunk(out, "IDAT", idat);
  if (end) Chunk(out, "IEND", {});
  return out;
}

Bytes DeflatedZeroRows(std::uint64_t rowBytes, std::uint64_t rows) {
  z_stream z{};
  // Run-length matching only: as small as full deflate on zeros, and much faster.
  if (deflateInit2(&z, 9, Z_DEFLATED, 15, 9, Z_RLE) != Z_OK) throw std::runtime_error("deflateInit");
  const Bytes zeros(static_cast<std::size_t>(rowBytes + 1), 0);
  Bytes out;
  std::uint8_t buffer[1 << 16];
  for (std::uint64_t r = 0; r <= rows; ++r) {
    const bool last = r == rows;
    z.next_in = const_cast<Bytef*>(zeros.data());
    z.avail_in = last ? 0 : static_cast<uInt>(zeros.size());
    do {
      z.next_out = buffer;
      z.avail_out = sizeof buffer;
      deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
      out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
    } while (z.avail_out == 0 || z.avail_in != 0);
  }
  deflateEnd(&z);
  return out;
}

Bytes PngWithLyingChunk(const char* type, std::uint32_t statedLength, bool afterImage) {
  const Bytes whole = ZeroPng(32, 32);
  // The signature and IHDR take 33 bytes; IEND the last 12.
  Bytes out(whole.begin(), whole.begin() + (afterImage ? static_cast<std::ptrdiff_t>(whole.size() - 12) : 33));
  Be32(out, statedLength);
  Text(out, type);
  // A few plausible bytes, then the rest of the file as it was.
  Text(out, "Comment\0\0x\x9c\x03\0\0\0\0\x01");
  out.insert(out.end(), whole.begin() + (afterImage ? static_cast<std::ptrdiff_t>(whole.size() - 12) : 33), whole.end());
  return out;
}

Bytes ZeroPng(std::uint32_t width, std::uint32_t height) {
  return PngFile(width, height, 8, 2, DeflatedZeroRows(3ull * width, height));
}

Bytes SmallJpeg(int width, int height, bool progressive) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<JSAMPLE>(x * 255 / (width > 1 ? width - 1 : 1));
      row[3 * x + 1] = static_cast<JSAMPLE>(c.next_scanline * 255 / static_cast<unsigned>(height));
      row[3 * x + 2] = static_cast<JSAMPLE>(128);
    }
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&c, &p, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes out(mem, mem + size);
  std::free(mem);
  return out;
}

Bytes WithJpegSize(Bytes jpeg, std::uint16_t width, std::uint16_t height) {
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<std::uint8_t>(height);
      jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<std::uint8_t>(width);
      return jpeg;
    }
  }
  throw std::runtime_error("no frame header");
}

Bytes BmpFile(std::int32_t width, std::int32_t height, int bits, std::uint32_t compression, const Bytes& data) {
  const std::uint32_t table = bits <= 8 ? 4u << bits : 0;
  Bytes b;
  Text(b, "BM");
  Le32(b, 54 + table + static_cast<std::uint32_t>(data.size()));
  Le32(b, 0);
  Le32(b, 54 + table);
  Le32(b, 40);
  Le32(b, static_cast<std::uint32_t>(width));
  Le32(b, static_cast<std::uint32_t>(height));
  Le16(b, 1);
  Le16(b, static_cast<unsigned>(bits));
  Le32(b, compression);
  Le32(b, compression ? static_cast<std::uint32_t>(data.size()) : 0);
  for (int i = 0; i < 4; ++i) Le32(b, 0);
  for (std::uint32_t i = 0; i < table / 4; ++i)
    b.insert(b.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), 0});
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes TgaHeader(int type, int width, int height, int depth, int descriptor) {
  Bytes b = {0, 0, static_cast<std::uint8_t>(type)};
  Le16(b, 0);
  Le16(b, 0);
  b.push_back(0);
  Le16(b, 0);
  Le16(b, 0);
  Le16(b, static_cast<unsigned>(width));
  Le16(b, static_cast<unsigned>(height));
  b.push_back(static_cast<std::uint8_t>(depth));
  b.push_back(static_cast<std::uint8_t>(descriptor));
  return b;
}

Bytes IlbmFile(int width, int height, int planes, int compression, const Bytes& body) {
  Bytes form;
  Text(form, "ILBM");
  Text(form, "BMHD");
  Be32(form, 20);
  Be16(form, static_cast<unsigned>(width));
  Be16(form, static_cast<unsigned>(height));
  Be32(form, 0);
  form.push_back(static_cast<std::uint8_t>(planes));
  form.push_back(0);
  form.push_back(static_cast<std::uint8_t>(compression));
  form.push_back(0);
  Be16(form, 0);
  form.insert(form.end(), {1, 1});
  Be16(form, static_cast<unsigned>(width));
  Be16(form, static_cast<unsigned>(height));
  Text(form, "BODY");
  Be32(form, static_cast<std::uint32_t>(body.size()));
  form.insert(form.end(), body.begin(), body.end());
  if (body.size() & 1) form.push_back(0);
  Bytes file;
  Text(file, "FORM");
  Be32(file, static_cast<std::uint32_t>(form.size()));
  file.insert(file.end(), form.begin(), form.end());
  return file;
}

std::string MqoMaterialLines(std::size_t count, std::size_t announced) {
  std::string s = "Metasequoia Document\nFormat Text Ver 1.0\n\nMaterial " + std::to_string(announced) + " {\n";
  s.reserve(s.size() + 2 * count + 16);
  for (std::size_t i = 0; i < count; ++i) s += "a\n";
  s += "}\nEof\n";
  return s;
}

}  // namespace mw::test
