// Portable pixmaps and graymaps.
#include <tmmintrin.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/file_source.h"
#include "image/image_readers.h"

namespace mw {
namespace {

// One ASCII sample: digits accumulate, '-' makes it negative, anything else ends a started number
// and is otherwise skipped. False at the end of the file before any digit.
bool ReadNumber(std::FILE* f, int& value) {
  int c = std::fgetc(f);
  if (c == EOF) return false;
  bool digits = false, negative = false;
  unsigned v = 0;
  for (; c != EOF; c = std::fgetc(f)) {
    if (c >= '0' && c <= '9') {
      v = v * 10u + static_cast<unsigned>(c - '0');  // wraps on absurd lengths; only the low byte is kept
      digits = true;
    } else if (c == '-') {
      negative = true;
    } else if (digits) {
      break;
    }
  }
  if (!digits) return false;
  value = static_cast<int>(negative ? 0u - v : v);
  return true;
}

// Red-green-blue to blue-green-red for one row. With SSSE3 (checked at run time) five pixels
// are turned per byte shuffle: 16 bytes are loaded and stored, the 16th is rewritten by the next
// step, and the last few pixels go the plain way. `in` and `out` may be the same row.
__attribute__((target("ssse3"))) void SwapRedBlueSsse3(const std::uint8_t* in, std::uint8_t* out, int width) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  int x = 0;
  for (; x + 6 <= width; x += 5) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x), _mm_shuffle_epi8(v, order));
  }
  for (; x < width; ++x) {
    const std::uint8_t r = in[3 * x], g = in[3 * x + 1], b = in[3 * x + 2];
    out[3 * x] = b;
    out[3 * x + 1] = g;
    out[3 * x + 2] = r;
  }
}

void SwapRedBlue(const std::uint8_t* in, std::uint8_t* out, int width) {
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (ssse3) {
    SwapRedBlueSsse3(in, out, width);
    return;
  }
  for (int x = 0; x < width; ++x) {
    const std::uint8_t r = in[3 * x], g = in[3 * x + 1], b = in[3 * x + 2];
    out[3 * x] = b;
    out[3 * x + 1] = g;
    out[3 * x + 2] = r;
  }
}

}  // namespace

bool LoadPpm(const char* path, DibStream& image, ProgressCallback progress, void* user) {
  ImageFile file(path);
  return file.get() && LoadPpm(file.get(), image, progress, user);
}

bool LoadPpm(std::FILE* f, DibStream& image, ProgressCallback progress, void* user) {
  char line[128];
  if (!std::fgets(line, sizeof line, f)) return false;
  int bits;
  bool binary;
  if (std::strcmp(line, "P6\n") == 0) bits = 24, binary = true;
  else if (std::strcmp(line, "P3\n") == 0) bits = 24, binary = false;
  else if (std::strcmp(line, "P5\n") == 0) bits = 8, binary = true;
  else if (std::strcmp(line, "P2\n") == 0) bits = 8, binary = false;
  else return false;
  // Comment lines are skipped whatever their length: the part of a long one that does not fit the
  // buffer is read to its line end, never taken for the size line.
  for (;;) {
    if (!std::fgets(line, sizeof line, f)) return false;
    if (line[0] != '#') break;
    if (std::strchr(line, '\n')) continue;
    int c;
    while ((c = std::fgetc(f)) != EOF && c != '\n') {
    }
    if (c == EOF) return false;
  }
  int width = 0, height = 0, maximum = 0;
  const int fields = std::sscanf(line, "%d %d %d", &width, &height, &maximum);
  if (fields < 2) return false;
  // The maximum usually has a line of its own; when it shares the size line, the next line is
  // already pixel data and must not be swallowed.
  if (fields == 2) {
    if (!std::fgets(line, sizeof line, f)) return false;
    std::sscanf(line, "%d", &maximum);
  }
  if (width <= 0 || height <= 0) return false;
  // Binary files with a maximum above 255 have two bytes per sample; read as one byte each they
  // would come out as noise, so they are refused. ASCII files keep each value's low byte.
  if (binary && maximum > 255) return false;
  // Every sample takes at least one byte of the file.
  const long room = RemainingBytes(f);
  const std::uint64_t samples = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * (bits / 8);
  if (room < 0 || samples > static_cast<std::uint64_t>(room) || !MwPictureWithinBudget(width, height, bits))
    return false;
  if (!image.Create(width, height, bits)) return false;
  if (bits == 8) image.SetGreyPalette();
  const std::size_t rowBytes = static_cast<std::size_t>(width) * (bits / 8);
  if (binary) {
    // Rows are read in batches of about 256 KiB: one large read each, not one per row.
    const std::size_t batch = std::max<std::size_t>(1, (256u << 10) / rowBytes);
    std::vector<std::uint8_t> buffer(batch * rowBytes);
    for (int y = 0; y < height;) {
      const std::size_t want = std::min<std::size_t>(batch, static_cast<std::size_t>(height - y));
      const std::size_t rows = std::fread(buffer.data(), 1, want * rowBytes, f) / rowBytes;
      for (std::size_t k = 0; k < rows; ++k, ++y) {
        const std::uint8_t* in = buffer.data() + k * rowBytes;
        if (bits == 8) std::memcpy(image.Row(y), in, rowBytes);
        else SwapRedBlue(in, image.Row(y), width);
        if (progress && !progress(static_cast<float>(y) / static_cast<float>(height), user)) return false;
      }
      if (rows < want) return false;  // a short file keeps the rows it had
    }
    return true;
  }
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = image.Row(y);
    for (int x = 0; x < width; ++x) {
      if (bits == 8) {
        int v;
        if (!ReadNumber(f, v)) return false;
        row[x] = static_cast<std::uint8_t>(v);
      } else {
        int r, g, b;
        if (!ReadNumber(f, r) || !ReadNumber(f, g) || !ReadNumber(f, b)) return false;
        row[3 * x] = static_cast<std::uint8_t>(b);
        row[3 * x + 1] = static_cast<std::uint8_t>(g);
        row[3 * x + 2] = static_cast<std::uint8_t>(r);
      }
    }
    if (progress && !progress(static_cast<float>(y) / static_cast<float>(height), user)) return false;
  }
  return true;
}

}  // namespace mw
