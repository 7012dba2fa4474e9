// mlibpng.so: PNG decoding for the program, on libpng.
//
// Every PNG comes out as 24-bit blue-green-red, or 32-bit blue-green-red-alpha when it has alpha
// or a transparency chunk: palettes and low bit depths are expanded, 16-bit samples reduced, grey
// turned to colour, interlacing undone. Rows are stored bottom first, padded to 4 bytes, with a
// bitmap information header, both blocks allocated with malloc.
//
// A file that ends early or holds damaged data fails, unless every row was already decoded (a
// file cut after its image data is still a whole picture). Pictures beyond picture_budget.h, and
// image data too short to decompress to the size the header announces, are refused before the
// pixel block is allocated. No chunk may state a length beyond the bytes left in the file.
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "plugins/mlib_api.h"

namespace {

struct Session {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::FILE* file = nullptr;
  unsigned char* header = nullptr;
  unsigned char* pixels = nullptr;
  png_bytep* rows = nullptr;
  long long fileBytes = 0;
  long long position = 0;     // bytes handed to libpng so far
  long long nextChunk = 8;    // where the next chunk's length field starts (after the signature)
  bool rowsDone = false;  // every row decoded: what follows the image data cannot spoil it
  int warnings = 0;
};

void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
// Warnings are about ancillary chunks (colour profiles, text, extra data after the image); they
// are counted for a debugger's sake and do not fail the picture.
void OnWarning(png_structp png, png_const_charp) {
  if (auto* s = static_cast<Session*>(png_get_error_ptr(png))) ++s->warnings;
}

void Put32(unsigned char* p, unsigned v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

std::uint32_t Be32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// libpng reads through this. Before it sees a chunk's length, the length is checked against the
// bytes left in the file: libpng allocates some chunks (text, profiles) by their stated length
// before reading them, and a few bytes of file must not be able to cost gigabytes.
void ReadData(png_structp png, png_bytep data, png_size_t length) {
  auto* s = static_cast<Session*>(png_get_io_ptr(png));
  if (std::fread(data, 1, length, s->file) != length) png_error(png, "file ends early");
  const long long start = s->position, end = s->position + static_cast<long long>(length);
  s->position = end;
  // Every chunk whose length field begins in this read (libpng reads the length and type of a
  // chunk together, so a field lies wholly within one read).
  while (s->nextChunk >= start && s->nextChunk < end) {
    if (s->nextChunk + 8 > end) png_error(png, "chunk header split across reads");
    const long long chunkLength = Be32(data + (s->nextChunk - start));
    const long long left = s->fileBytes - (s->nextChunk + 12);  // after its length, type and CRC
    if (chunkLength > left) png_error(png, "chunk longer than the file");
    s->nextChunk += 12 + chunkLength;
  }
}

int Decode(Session* s, OnPngProgressFn onProgress, void* context) {
  png_set_read_fn(s->png, s, ReadData);
  png_read_info(s->png, s->info);
  // The compressed rows (one filter byte each) must fit, deflated, in the file.
  const unsigned long long rawBytes = static_cast<unsigned long long>(png_get_image_height(s->png, s->info)) *
                                      (png_get_rowbytes(s->png, s->info) + 1ull);
  if (!MwCompressedPlausible(rawBytes, static_cast<unsigned long long>(s->fileBytes), MW_DEFLATE_MAX_EXPANSION))
    return 0;
  png_set_expand(s->png);
  png_set_strip_16(s->png);
  png_set_gray_to_rgb(s->png);
  png_set_bgr(s->png);
  const int passes = png_set_interlace_handling(s->png);
  png_read_update_info(s->png, s->info);
  const png_uint_32 width = png_get_image_width(s->png, s->info);
  const png_uint_32 height = png_get_image_height(s->png, s->info);
  const int channels = png_get_channels(s->png, s->info);
  if (channels != 3 && channels != 4) return 0;
  if (!MwPictureWithinBudget(width, height, channels * 8)) return 0;
  const unsigned long long stride = ((static_cast<unsigned long long>(width) * channels * 8 + 31) / 32) * 4;
  s->header = static_cast<unsigned char*>(std::calloc(1, 40));
  s->pixels = static_cast<unsigned char*>(std::calloc(1, static_cast<std::size_t>(stride * height)));
  s->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
  if (!s->header || !s->pixels || !s->rows) return 0;
  for (png_uint_32 y = 0; y < height; ++y) s->rows[y] = s->pixels + static_cast<std::size_t>(height - 1 - y) * stride;
  const double total = static_cast<double>(passes) * height;
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(s->png, s->rows[y], nullptr);
      if (onProgress && !onProgress(static_cast<float>((pass * static_cast<double>(height) + y) / total), context))
        return 0;
    }
  }
  unsigned char* h = s->header;
  Put32(h, 40);
  Put32(h + 4, width);
  Put32(h + 8, height);
  h[12] = 1;
  h[14] = static_cast<unsigned char>(channels * 8);
  Put32(h + 20, static_cast<unsigned>(stride * height));
  s->rowsDone = true;
  // Reads the chunks after the image data; a failure there jumps out with the picture whole.
  png_read_end(s->png, nullptr);
  return 1;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int LoadPNG(const char* path, unsigned char** header,
                                                              unsigned char** pixels, OnPngProgressFn onProgress,
                                                              void* context) {
  if (!path || !header || !pixels) return 0;
  *header = nullptr;
  *pixels = nullptr;
  Session* s = new Session();
  s->file = std::fopen(path, "rb");
  int result = 0;
  if (s->file && std::fseek(s->file, 0, SEEK_END) == 0) {
    s->fileBytes = std::ftell(s->file);
    if (s->fileBytes < 0 || std::fseek(s->file, 0, SEEK_SET) != 0) s->fileBytes = -1;
  }
  if (s->file && s->fileBytes >= 0) {
    s->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, s, OnError, OnWarning);
    if (s->png) s->info = png_create_info_struct(s->png);
    if (s->png && s->info) {
      // libpng's own guards stay on, at the program's limits: IHDR beyond the side limit is
      // refused before any row is allocated, and no ancillary chunk may make it allocate more
      // than 8 MB or keep more than 1000 chunks.
      png_set_user_limits(s->png, MW_PICTURE_MAX_SIDE, MW_PICTURE_MAX_SIDE);
      png_set_chunk_malloc_max(s->png, 8u * 1000u * 1000u);
      png_set_chunk_cache_max(s->png, 1000);
      if (setjmp(png_jmpbuf(s->png)) == 0) result = Decode(s, onProgress, context);
      else result = s->rowsDone ? 1 : 0;
    }
  }
  if (s->png) png_destroy_read_struct(&s->png, s->info ? &s->info : nullptr, nullptr);
  if (s->file) std::fclose(s->file);
  std::free(s->rows);
  if (result) {
    *header = s->header;
    *pixels = s->pixels;
  } else {
    std::free(s->header);
    std::free(s->pixels);
  }
  delete s;
  return result;
}
