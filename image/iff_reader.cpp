// IFF ILBM: bit planes, raw or ByteRun1, 1 to 24 planes.
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/file_source.h"
#include "image/image_readers.h"

namespace mw {
namespace {

// Plane rows from the BODY, decoding ByteRun1 across row ends: bytes a run produces past the end
// of one plane row start the next one.
class PlaneRows {
 public:
  PlaneRows(std::FILE* f, bool compressed, std::size_t rowBytes) : f_(f), compressed_(compressed), rowBytes_(rowBytes) {
    pending_.reserve(rowBytes + 256);
  }

  // Fills `out` with the next plane row; false when the data ended first.
  bool Next(std::uint8_t* out) {
    if (!compressed_) return std::fread(out, 1, rowBytes_, f_) == rowBytes_;
    while (pending_.size() - start_ < rowBytes_) {
      if (!Packet()) return false;
    }
    std::memcpy(out, pending_.data() + start_, rowBytes_);
    start_ += rowBytes_;
    // Keep only the carried-over bytes.
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
    return true;
  }

 private:
  bool Packet() {
    const int n = std::fgetc(f_);
    if (n == EOF) return false;
    if (n < 128) {
      const std::size_t count = static_cast<std::size_t>(n) + 1;
      std::uint8_t bytes[128];
      if (std::fread(bytes, 1, count, f_) != count) return false;
      pending_.insert(pending_.end(), bytes, bytes + count);
    } else if (n > 128) {
      const int v = std::fgetc(f_);
      if (v == EOF) return false;
      pending_.insert(pending_.end(), static_cast<std::size_t>(257 - n), static_cast<std::uint8_t>(v));
    }
    return true;
  }

  std::FILE* f_;
  bool compressed_;
  std::size_t rowBytes_;
  std::vector<std::uint8_t> pending_;
  std::size_t start_ = 0;
};

void DecodeBody(std::FILE* f, DibStream& image, int planes, bool compressed, ProgressCallback progress, void* user) {
  const int width = image.Width(), height = image.Height(), bits = image.BitCount();
  const std::size_t rowBytes = static_cast<std::size_t>((width + 15) / 16) * 2;
  // 128 spare bytes per plane buffer, as the format's own decoders keep for overruns.
  std::vector<std::uint8_t> planeData(static_cast<std::size_t>(planes) * (rowBytes + 128));
  PlaneRows source(f, compressed, rowBytes);
  for (int y = 0; y < height; ++y) {
    for (int p = 0; p < planes; ++p)
      if (!source.Next(planeData.data() + static_cast<std::size_t>(p) * (rowBytes + 128))) return;
    std::uint8_t* row = image.Row(y);
    if (bits <= 4) std::memset(row, 0, image.RowStride());
    for (int x = 0; x < width; ++x) {
      std::uint32_t value = 0;
      const std::size_t byte = static_cast<std::size_t>(x) >> 3;
      const int shift = 7 - (x & 7);
      for (int p = planes - 1; p >= 0; --p)
        value = (value << 1) | ((planeData[static_cast<std::size_t>(p) * (rowBytes + 128) + byte] >> shift) & 1u);
      switch (bits) {
        case 1:
          if (value) row[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
          break;
        case 4: row[x >> 1] |= static_cast<std::uint8_t>((x & 1) ? (value & 0x0F) : ((value & 0x0F) << 4)); break;
        case 8: row[x] = static_cast<std::uint8_t>(value); break;
        default:
          row[3 * x] = static_cast<std::uint8_t>(value >> 16);
          row[3 * x + 1] = static_cast<std::uint8_t>(value >> 8);
          row[3 * x + 2] = static_cast<std::uint8_t>(value);
          break;
      }
    }
    if (progress && !progress(static_cast<float>(y) / static_cast<float>(height), user)) return;
  }
}

}  // namespace

bool LoadIff(const char* path, DibStream& image, ProgressCallback progress, void* user) {
  ImageFile file(path);
  return file.get() && LoadIff(file.get(), image, progress, user);
}

bool LoadIff(std::FILE* f, DibStream& image, ProgressCallback progress, void* user) {
  const long start = std::ftell(f);
  const long size = RemainingBytes(f);
  if (start < 0 || size < 0) return false;
  const std::uint64_t end = static_cast<std::uint64_t>(start) + static_cast<std::uint64_t>(size);
  std::uint64_t pos = static_cast<std::uint64_t>(start);
  while (pos + 8 <= end) {
    std::uint8_t chunk[8];
    if (std::fseek(f, static_cast<long>(pos), SEEK_SET) != 0 || std::fread(chunk, 1, 8, f) != 8) return false;
    const std::uint64_t chunkSize = Be32(chunk + 4);
    const std::uint64_t next = pos + 8 + chunkSize + (chunkSize & 1);
    if (std::memcmp(chunk, "FORM", 4) != 0) {
      pos = next;
      continue;
    }
    std::uint8_t formType[4];
    if (std::fread(formType, 1, 4, f) != 4 || std::memcmp(formType, "ILBM", 4) != 0) return false;
    const std::uint64_t formEnd = pos + 8 + chunkSize;
    std::uint64_t sub = pos + 12;
    int planes = 0;
    bool compressed = false, created = false;
    while (sub + 8 <= formEnd && sub + 8 <= end) {
      if (std::fseek(f, static_cast<long>(sub), SEEK_SET) != 0 || std::fread(chunk, 1, 8, f) != 8) return false;
      const std::uint64_t subSize = Be32(chunk + 4);
      if (std::memcmp(chunk, "BMHD", 4) == 0) {
        std::uint8_t bmhd[20];
        if (std::fread(bmhd, 1, 20, f) != 20) return false;
        const int width = Be16(bmhd), height = Be16(bmhd + 2);
        planes = bmhd[8];
        compressed = bmhd[10] != 0;
        int bits = 0;
        if (planes == 1) bits = 1;
        else if (planes == 0 || (planes >= 2 && planes <= 4)) bits = 4;
        else if (planes <= 8) bits = 8;
        else if (planes <= 24) bits = 24;
        created = false;
        if (bits && MwPictureWithinBudget(width, height, bits)) {
          // The body must be able to hold the plane rows the header asks for: raw, byte for byte;
          // ByteRun1, two bytes for at most 128. Compared with the plane bytes, not with the image
          // block, whose depth is rounded up (five planes are held in eight bits).
          const std::uint64_t planeBytes = static_cast<std::uint64_t>((width + 15) / 16) * 2u *
                                           static_cast<std::uint64_t>(planes) * static_cast<std::uint64_t>(height);
          if (MwCompressedPlausible(planeBytes, static_cast<std::uint64_t>(size),
                                    compressed ? MW_BYTERUN1_MAX_EXPANSION : 1))
            created = image.Create(width, height, bits);
        }
      } else if (std::memcmp(chunk, "CMAP", 4) == 0) {
        if (created) {
          const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(subSize / 3),
                                                      static_cast<std::size_t>(image.ColorCount()));
          std::vector<std::uint8_t> rgb(n * 3);
          if (std::fread(rgb.data(), 1, rgb.size(), f) != rgb.size()) return false;
          std::uint8_t* table = image.ColorTable();
          for (std::size_t k = 0; k < n; ++k) {
            table[4 * k] = rgb[3 * k + 2];
            table[4 * k + 1] = rgb[3 * k + 1];
            table[4 * k + 2] = rgb[3 * k];
            table[4 * k + 3] = 0;
          }
        }
      } else if (std::memcmp(chunk, "BODY", 4) == 0) {
        if (created) {
          DecodeBody(f, image, planes, compressed, progress, user);
          return true;
        }
      }
      sub += 8 + subSize + (subSize & 1);
    }
    return false;
  }
  return false;
}

}  // namespace mw
