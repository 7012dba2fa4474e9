// Windows bitmaps: 40-byte information header, uncompressed or RLE8, 1 to 32 bits.
#include <cstring>
#include <vector>

#include "image/dib_stream.h"
#include "image/file_source.h"

namespace mw {

bool DibStream::LoadBmp(const char* path, std::uint32_t depthMask) {
  Clear();
  ImageFile file(path);
  if (!file.get()) return false;
  return LoadBmp(file.get(), depthMask);
}

namespace {

// RLE8 into a cleared pixel block; false when the data would write outside it.
bool DecodeRle8(const std::uint8_t* in, std::size_t length, std::uint8_t* pixels, std::uint32_t stride,
                std::uint32_t width, std::int32_t height) {
  std::size_t i = 0;
  std::uint64_t x = 0, y = 0;
  auto put = [&](std::uint8_t v) {
    if (x >= width) return false;  // a run past the row's pixels
    pixels[y * stride + x] = v;
    ++x;
    return true;
  };
  while (i < length && y < static_cast<std::uint64_t>(height)) {
    const std::uint8_t n = in[i++];
    if (n > 0) {
      if (i >= length) break;
      const std::uint8_t v = in[i++];
      for (int k = 0; k < n; ++k)
        if (!put(v)) return false;
      continue;
    }
    if (i >= length) break;
    const std::uint8_t e = in[i++];
    if (e == 0) {
      x = 0;
      ++y;
    } else if (e == 1) {
      break;
    } else if (e == 2) {
      if (i + 2 > length) break;
      x += in[i];
      y += in[i + 1];
      i += 2;
    } else {
      for (int k = 0; k < e; ++k) {
        if (i >= length) return true;
        if (!put(in[i++])) return false;
      }
      if (e & 1) ++i;
    }
  }
  return true;
}

}  // namespace

bool DibStream::LoadBmp(std::FILE* f, std::uint32_t depthMask) {
  Clear();
  const long fileStart = std::ftell(f);
  const long fileSize = RemainingBytes(f);
  if (fileStart < 0 || fileSize < 0) return false;
  std::uint8_t fileHeader[14];
  std::uint8_t info[40];
  if (std::fread(fileHeader, 1, 14, f) != 14 || Le16(fileHeader) != 0x4D42) return false;
  const std::uint32_t offset = Le32(fileHeader + 10);
  if (std::fread(info, 1, 40, f) != 40 || Le32(info) != 40) return false;
  const auto width = static_cast<std::int32_t>(Le32(info + 4));
  const auto height = static_cast<std::int32_t>(Le32(info + 8));
  const std::int32_t bits = Le16(info + 14);
  const std::uint32_t compression = Le32(info + 16);
  if (compression != 0 && !(compression == 1 && bits == 8)) return false;
  const std::uint32_t compressedLength = Le32(info + 20);
  if (Le16(info + 12) != 1) return false;  // one plane, as every bitmap we can hold has
  std::uint32_t depthBit = 0;
  switch (bits) {
    case 1: depthBit = kDepth1; break;
    case 4: depthBit = kDepth4; break;
    case 8: depthBit = kDepth8; break;
    case 16: depthBit = kDepth16; break;
    case 24: depthBit = kDepth24; break;
    case 32: depthBit = kDepth32; break;
    default: return false;
  }
  if (!(depthMask & depthBit)) return false;
  std::uint32_t colors = 0;
  if (bits <= 8) {
    colors = Le32(info + 32);
    if (colors == 0) colors = 1u << bits;
    // More entries than the depth can index is not a bitmap we can hold; refusing also keeps a
    // damaged count from sizing the header block.
    if (colors > (1u << bits)) return false;
  }
  if (width <= 0 || height == 0 || height == INT32_MIN) return false;
  const std::uint64_t stride = RowStrideFor(width, bits);
  const std::uint64_t rows = static_cast<std::uint64_t>(height < 0 ? -static_cast<std::int64_t>(height) : height);
  const std::uint64_t pixelSize = stride * rows;
  if (pixelSize == 0 || !MwPictureWithinBudget(width, static_cast<std::int64_t>(rows), bits)) return false;
  // Nothing larger than the file could fill gets allocated: raw pixels must be in the file, and
  // run-length data must be long enough to describe the picture (a compressed size of 0 means
  // the rest of the file).
  const std::uint64_t room = static_cast<std::uint64_t>(fileSize);
  if (compression == 0 && pixelSize > room) return false;
  if (compression == 1 &&
      (compressedLength > room ||
       !MwCompressedPlausible(pixelSize, compressedLength ? compressedLength : room, MW_RLE8_MAX_EXPANSION)))
    return false;
  if (4ull * colors > room) return false;
  // Pixel data that starts inside the colour table cannot be a consistent file.
  if (offset != 0 && offset < 14u + 40u + 4u * colors) return false;

  const std::size_t headerBytes = 40 + 4 * static_cast<std::size_t>(colors);
  auto* header = static_cast<std::uint8_t*>(AllocateBlock(kGlobalFixed, headerBytes));
  auto* pixels = static_cast<std::uint8_t*>(AllocateBlock(kGlobalFixed, static_cast<std::size_t>(pixelSize)));
  if (!header || !pixels) {
    FreeBlock(kGlobalFixed, header);
    FreeBlock(kGlobalFixed, pixels);
    return false;
  }
  header_ = header;
  pixels_ = pixels;
  headerKind_ = pixelKind_ = kGlobalFixed;
  headerBytes_ = headerBytes;
  pixelBytes_ = static_cast<std::size_t>(pixelSize);
  std::memcpy(header_, info, 40);
  auto fail = [this]() {
    Clear();
    return false;
  };
  if (colors && std::fread(header_ + 40, 1, 4 * colors, f) != 4 * colors) return fail();
  if (offset != 0 && std::fseek(f, fileStart + static_cast<long>(offset), SEEK_SET) != 0) return fail();
  if (compression == 0) {
    if (std::fread(pixels_, 1, pixelBytes_, f) != pixelBytes_) return fail();
  } else {
    // Writers that leave the compressed size at 0 mean "the rest of the file".
    std::uint64_t length = compressedLength;
    if (length == 0) {
      const long rest = RemainingBytes(f);
      if (rest < 0) return fail();
      length = static_cast<std::uint64_t>(rest);
    }
    std::vector<std::uint8_t> packed(static_cast<std::size_t>(length));
    if (length && std::fread(packed.data(), 1, packed.size(), f) != packed.size()) return fail();
    std::memset(pixels_, 0, pixelBytes_);
    if (!DecodeRle8(packed.data(), packed.size(), pixels_, static_cast<std::uint32_t>(stride),
                    static_cast<std::uint32_t>(width), static_cast<std::int32_t>(rows)))
      return fail();
    // Held as an uncompressed image from now on.
    std::memset(header_ + 16, 0, 4);
    const auto size = static_cast<std::uint32_t>(pixelSize);
    std::memcpy(header_ + 20, &size, 4);
  }
  // The header's colour count must describe the table we hold.
  if (bits <= 8) std::memcpy(header_ + 32, &colors, 4);
  return true;
}

}  // namespace mw
