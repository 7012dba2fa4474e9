// mlibjpg.so: JPEG decoding for the program, on libjpeg-turbo.
//
// Greyscale images come as 8 bits with a grey palette, everything else as 24-bit blue-green-red:
// YCbCr and RGB through the library, CMYK and YCCK converted here (Adobe files store CMYK
// inverted). Rows are delivered top first into the rows the program hands out.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>  // after <cstdio>: it uses FILE and size_t without including them

#include "plugins/mlib_api.h"

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr) {}  // warnings (a truncated file, say) are not printed

// Everything that must be released whether decoding finishes or jumps out.
struct Session {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  std::FILE* file = nullptr;
  unsigned char* scratch = nullptr;
  bool created = false;
};

void Finish(Session* s) {
  if (s->created) jpeg_destroy_decompress(&s->cinfo);
  if (s->file) std::fclose(s->file);
  std::free(s->scratch);
}

int Decode(Session* s, OnJpgCreateFn onCreate, OnJpgRowFn onRow, void* context) {
  jpeg_decompress_struct& cinfo = s->cinfo;
  jpeg_create_decompress(&cinfo);
  s->created = true;
  jpeg_stdio_src(&cinfo, s->file);
  jpeg_read_header(&cinfo, TRUE);
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  const bool grey = cinfo.num_components == 1;
  cinfo.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_calc_output_dimensions(&cinfo);
  const unsigned long long rowBytes = ((static_cast<unsigned long long>(cinfo.output_width) * (grey ? 8 : 24) + 31) / 32) * 4;
  if (cinfo.output_width == 0 || cinfo.output_height == 0 || cinfo.output_width > 0x7FFFFFFF ||
      cinfo.output_height > 0x7FFFFFFF || rowBytes * cinfo.output_height > MLIB_MAX_PIXEL_BYTES)
    return 0;
  jpeg_start_decompress(&cinfo);

  unsigned char palette[256 * 4];
  for (int i = 0; i < 256; ++i) {
    palette[4 * i] = palette[4 * i + 1] = palette[4 * i + 2] = static_cast<unsigned char>(i);
    palette[4 * i + 3] = 0;
  }
  JpgImageInfo info;
  info.width = static_cast<int>(cinfo.output_width);
  info.height = static_cast<int>(cinfo.output_height);
  info.bitCount = grey ? 8 : 24;
  info.paletteCount = grey ? 256 : 0;
  info.palette = grey ? palette : nullptr;
  if (!onCreate(&info, context)) return 0;

  if (cmyk) {
    s->scratch = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(cinfo.output_width) * 4));
    if (!s->scratch) return 0;
  }
  const bool inverted = cinfo.saw_Adobe_marker;
  while (cinfo.output_scanline < cinfo.output_height) {
    unsigned char* row = onRow(static_cast<int>(cinfo.output_scanline), context);
    if (!row) return 0;
    JSAMPROW target = cmyk ? s->scratch : row;
    if (jpeg_read_scanlines(&cinfo, &target, 1) != 1) return 0;
    if (cmyk) {
      for (JDIMENSION x = 0; x < cinfo.output_width; ++x) {
        unsigned c = s->scratch[4 * x], m = s->scratch[4 * x + 1], y = s->scratch[4 * x + 2], k = s->scratch[4 * x + 3];
        if (!inverted) {
          c = 255 - c;
          m = 255 - m;
          y = 255 - y;
          k = 255 - k;
        }
        row[3 * x] = static_cast<unsigned char>(y * k / 255);
        row[3 * x + 1] = static_cast<unsigned char>(m * k / 255);
        row[3 * x + 2] = static_cast<unsigned char>(c * k / 255);
      }
    }
  }
  jpeg_finish_decompress(&cinfo);
  return 1;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int LoadJPG(const char* path, OnJpgCreateFn onCreate,
                                                              OnJpgRowFn onRow, void* context) {
  if (!path || !onCreate || !onRow) return 0;
  Session* s = new Session();
  s->file = std::fopen(path, "rb");
  if (!s->file) {
    delete s;
    return 0;
  }
  s->cinfo.err = jpeg_std_error(&s->err.base);
  s->err.base.error_exit = OnError;
  s->err.base.output_message = OnMessage;
  int result = 0;
  if (setjmp(s->err.jump) == 0) result = Decode(s, onCreate, onRow, context);
  Finish(s);
  delete s;
  return result;
}
