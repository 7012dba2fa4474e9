#include "tests/support/reference_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_PNM
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>

namespace mw::test {

bool StbDecode(const std::string& path, ReferenceImage& out) {
  int w, h, c;
  unsigned char* data = stbi_load(path.c_str(), &w, &h, &c, 4);
  if (!data) return false;
  out.width = w;
  out.height = h;
  out.rgba.assign(data, data + static_cast<std::size_t>(w) * h * 4);
  stbi_image_free(data);
  return true;
}

namespace {
struct JpegError {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};
void OnJpegError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
void Quiet(j_common_ptr) {}
}  // namespace

bool LibjpegDecode(const std::string& path, ReferenceImage& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  static jpeg_decompress_struct cinfo;
  static JpegError err;
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnJpegError;
  err.base.output_message = Quiet;
  static std::vector<std::uint8_t> row;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_start_decompress(&cinfo);
  out.width = static_cast<int>(cinfo.output_width);
  out.height = static_cast<int>(cinfo.output_height);
  out.rgba.assign(static_cast<std::size_t>(out.width) * out.height * 4, 255);
  row.assign(static_cast<std::size_t>(out.width) * 3, 0);
  while (cinfo.output_scanline < cinfo.output_height) {
    const std::size_t y = cinfo.output_scanline;
    JSAMPROW r = row.data();
    jpeg_read_scanlines(&cinfo, &r, 1);
    for (int x = 0; x < out.width; ++x) {
      std::uint8_t* px = out.rgba.data() + (y * static_cast<std::size_t>(out.width) + x) * 4;
      if (cinfo.output_components == 1) px[0] = px[1] = px[2] = row[static_cast<std::size_t>(x)];
      else std::memcpy(px, row.data() + 3 * x, 3);
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(f);
  return true;
}

}  // namespace mw::test
