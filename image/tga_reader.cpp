// Truevision Targa: colour-mapped, true-colour and grey, raw or run-length.
#include <cstring>
#include <vector>

#include "image/file_source.h"
#include "image/image_readers.h"

namespace mw {

bool LoadTga(const char* path, DibStream& image, ProgressCallback progress, void* user) {
  ImageFile file(path);
  return file.get() && LoadTga(file.get(), image, progress, user);
}

bool LoadTga(std::FILE* f, DibStream& image, ProgressCallback, void*) {
  std::uint8_t h[18];
  if (std::fread(h, 1, 18, f) != 18) return false;
  const int idLength = h[0], mapType = h[1], type = h[2];
  const int mapLength = Le16(h + 5), mapEntryBits = h[7];
  const int width = Le16(h + 12), height = Le16(h + 14), depth = h[16];
  const bool topOrigin = (h[17] & 0x20) != 0;
  if (std::fseek(f, idLength, SEEK_CUR) != 0) return false;
  // 15-bit entries take two bytes like 16-bit ones; skipping none would misread every pixel.
  const int entryBytes = mapEntryBits == 8                            ? 1
                         : (mapEntryBits == 15 || mapEntryBits == 16) ? 2
                         : mapEntryBits == 24                         ? 3
                         : mapEntryBits == 32                         ? 4
                                                                      : 0;
  const bool mapped = type == 1 || type == 9;
  const bool rle = type == 9 || type == 10;
  if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10) return false;
  if ((type == 1 || type == 3 || type == 9) && depth != 8) return false;
  if ((type == 2 || type == 10) && depth != 16 && depth != 24 && depth != 32) return false;
  // A colour map feeds an 8-bit image's table: 24-bit entries, no more than 256 of them.
  if (mapped && (mapType == 0 || mapEntryBits != 24 || mapLength > 256)) return false;
  if (width == 0 || height == 0) return false;
  const int pixelBytes = depth / 8;
  const long room = RemainingBytes(f);
  if (room < 0) return false;
  const std::uint64_t raw = static_cast<std::uint64_t>(width) * height * pixelBytes;
  // Raw pixels must be in the file; run-length data must be long enough to describe the picture.
  if (!MwPictureWithinBudget(width, height, depth)) return false;
  if (!rle && raw > static_cast<std::uint64_t>(room)) return false;
  if (rle && !MwCompressedPlausible(raw, static_cast<std::uint64_t>(room), MW_TARGA_RLE_MAX_EXPANSION)) return false;

  const int signedHeight = (!rle && topOrigin) ? -height : height;
  if (!image.Create(width, signedHeight, depth)) return false;
  if (mapped) {
    std::vector<std::uint8_t> map(static_cast<std::size_t>(mapLength) * 3);
    if (std::fread(map.data(), 1, map.size(), f) != map.size()) return false;
    std::uint8_t* table = image.ColorTable();
    for (int k = 0; k < mapLength; ++k) {
      std::memcpy(table + 4 * k, map.data() + 3 * k, 3);
      table[4 * k + 3] = 0;
    }
  } else {
    if (type == 3) image.SetGreyPalette();
    if (mapType != 0 && std::fseek(f, static_cast<long>(mapLength) * entryBytes, SEEK_CUR) != 0) return false;
  }

  const std::size_t rowBytes = static_cast<std::size_t>(width) * pixelBytes;
  bool complete = true;
  if (!rle) {
    const std::uint32_t stride = image.RowStride();
    for (int r = 0; r < height && complete; ++r)
      complete = std::fread(image.Pixels() + static_cast<std::size_t>(r) * stride, 1, rowBytes, f) == rowBytes;
  } else {
    // Decode from memory: the rest of the file is at most what the size check above allowed.
    std::vector<std::uint8_t> data(static_cast<std::size_t>(RemainingBytes(f) > 0 ? RemainingBytes(f) : 0));
    data.resize(std::fread(data.data(), 1, data.size(), f));
    const std::uint8_t* in = data.data();
    const std::uint8_t* const end = in + data.size();
    int row = topOrigin ? 0 : height - 1;
    const int step = topOrigin ? 1 : -1;
    int column = 0;
    std::uint8_t* out = image.Row(row);
    const std::size_t px = static_cast<std::size_t>(pixelBytes);
    // Writes one pixel and moves on, returning false once the last row is done.
    auto advance = [&]() {
      out += px;
      if (++column == width) {
        column = 0;
        row += step;
        if (row < 0 || row >= height) return false;
        out = image.Row(row);
      }
      return true;
    };
    bool more = true;
    while (more) {
      if (in >= end) {
        complete = false;
        break;
      }
      const int packet = *in++;
      const int count = (packet & 0x7F) + 1;
      if (packet & 0x80) {
        if (static_cast<std::size_t>(end - in) < px) {
          complete = false;
          break;
        }
        for (int k = 0; k < count && more; ++k) {
          std::memcpy(out, in, px);
          more = advance();
        }
        in += px;
      } else {
        for (int k = 0; k < count && more; ++k) {
          if (static_cast<std::size_t>(end - in) < px) {
            complete = false;
            more = false;
            break;
          }
          std::memcpy(out, in, px);
          in += px;
          more = advance();
        }
      }
    }
  }
  if (depth == 32) {
    // The image keeps 255 minus the file's alpha, as it always has (rows not read included).
    const std::uint32_t stride = image.RowStride();
    for (int r = 0; r < height; ++r) {
      std::uint8_t* p = image.Pixels() + static_cast<std::size_t>(r) * stride;
      for (int x = 0; x < width; ++x) p[4 * x + 3] = static_cast<std::uint8_t>(255 - p[4 * x + 3]);
    }
  }
  return complete;
}

}  // namespace mw
