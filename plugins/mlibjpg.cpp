// mlibjpg.so: JPEG decoding for the program, on libjpeg-turbo.
//
// Greyscale images come as 8 bits with a grey palette, everything else as 24-bit blue-green-red:
// YCbCr and RGB through the library, CMYK and YCCK converted here (Adobe files store CMYK
// inverted). Rows are delivered top first into the rows the program hands out.
//
// libjpeg fills in what a damaged or short file lacks and only warns; here such warnings fail the
// picture at once. A file that lacks nothing but its end marker (one scan, every block decoded
// from real data) is whole and is kept. Pictures beyond picture_budget.h are refused before the
// library allocates its buffers, and the library's own large buffers are held to the same budget.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>  // after <cstdio>: it uses FILE and size_t without including them

#include "plugins/mlib_api.h"

namespace {

// More scans than any encoder writes; a file with thousands of tiny scans only costs time.
constexpr int kMaxScans = 500;

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  int warnings = 0;  // every warning, the harmless ones too, for a debugger's sake
};

void OnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr) {}  // nothing is printed

// Level -1 is a warning; higher levels are trace messages.
void OnEmit(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  ++err->warnings;
  switch (err->base.msg_code) {
    case JWRN_JPEG_EOF:
      // The end marker alone may be missing from a single-scan file; if blocks were missing too,
      // the entropy decoder warns next (JWRN_HIT_MARKER). A progressive or multi-scan file may
      // have lost whole scans without a further word, so it fails here.
      if (cinfo->is_decompressor && jpeg_has_multiple_scans(reinterpret_cast<j_decompress_ptr>(cinfo)))
        std::longjmp(err->jump, 1);
      return;
    case JWRN_EXTRANEOUS_DATA:  // junk between markers, skipped without loss
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC: return;
    default:
      // Everything else means pixels made up: corrupt entropy data, data cut short inside a
      // scan, missing restart markers, an impossible progression.
      std::longjmp(err->jump, 1);
  }
}

void OnProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Everything that must be released whether decoding finishes or jumps out.
struct Session {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_progress_mgr progress;
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
  cinfo.mem->max_memory_to_use = static_cast<long>(MW_PICTURE_MAX_BYTES);
  s->progress.progress_monitor = OnProgress;
  cinfo.progress = &s->progress;
  jpeg_stdio_src(&cinfo, s->file);
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return 0;
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  const bool grey = cinfo.num_components == 1;
  cinfo.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_calc_output_dimensions(&cinfo);
  if (!MwPictureWithinBudget(cinfo.output_width, cinfo.output_height, grey ? 8 : 24)) return 0;
  if (!jpeg_start_decompress(&cinfo)) return 0;

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
  // Reads to the end marker; a made-up one is all right for a single scan read whole.
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
  s->err.base.emit_message = OnEmit;
  int result = 0;
  if (setjmp(s->err.jump) == 0) result = Decode(s, onCreate, onRow, context);
  Finish(s);
  delete s;
  return result;
}
