#include "image/dib_stream.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace mw {
namespace {

void Put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

bool SupportedBits(std::int32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

std::uint32_t ColorsUsedFor(std::int32_t bits) { return bits == 1 ? 2u : bits == 4 ? 16u : bits == 8 ? 256u : 0u; }

// The 40-byte information header of a new image.
void WriteInfoHeader(std::uint8_t* h, std::int32_t width, std::int32_t height, std::int32_t bits,
                     std::uint32_t stride) {
  std::memset(h, 0, 40);
  Put32(h, 40);
  Put32(h + 4, static_cast<std::uint32_t>(width));
  Put32(h + 8, static_cast<std::uint32_t>(height));
  Put16(h + 12, 1);
  Put16(h + 14, static_cast<std::uint16_t>(bits));
  const std::uint64_t absHeight = height < 0 ? -static_cast<std::int64_t>(height) : height;
  Put32(h + 20, static_cast<std::uint32_t>(stride * absHeight));
  Put32(h + 32, ColorsUsedFor(bits));
}

// A pixel block must stay below 2^31 bytes: the header's size fields are 32-bit.
bool PixelSize(std::int32_t width, std::int32_t height, std::int32_t bits, std::uint32_t& stride, std::size_t& bytes) {
  if (width <= 0 || height == 0 || height == INT32_MIN) return false;
  const std::uint64_t s = RowStrideFor(width, bits);
  const std::uint64_t total = s * static_cast<std::uint64_t>(height < 0 ? -height : height);
  if (s == 0 || total == 0 || total >= 0x80000000ull) return false;
  stride = static_cast<std::uint32_t>(s);
  bytes = static_cast<std::size_t>(total);
  return true;
}

}  // namespace

DibStream::~DibStream() { Clear(); }

void DibStream::Clear() {
  FreeBlock(headerKind_, header_);
  FreeBlock(pixelKind_, pixels_);
  header_ = pixels_ = nullptr;
  headerKind_ = pixelKind_ = kNoMemory;
  headerBytes_ = pixelBytes_ = 0;
}

std::uint32_t DibStream::Field32(std::size_t offset) const {
  const std::uint8_t* p = header_ + offset;
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t DibStream::Width() const { return static_cast<std::int32_t>(Field32(4)); }
std::int32_t DibStream::SignedHeight() const { return static_cast<std::int32_t>(Field32(8)); }
std::int32_t DibStream::Height() const {
  const std::int32_t h = SignedHeight();
  return h == INT32_MIN ? INT32_MAX : (h < 0 ? -h : h);
}
std::int32_t DibStream::BitCount() const { return header_[14] | (header_[15] << 8); }
std::uint32_t DibStream::RowStride() const {
  const std::uint64_t s = RowStrideFor(Width(), BitCount());
  return s > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(s);
}
std::int32_t DibStream::ColorCount() const {
  const std::uint32_t used = Field32(32);
  if (used != 0) return static_cast<std::int32_t>(used > 0x7FFFFFFF ? 0x7FFFFFFF : used);
  const std::int32_t bits = BitCount();
  return bits <= 8 ? (1 << bits) : 0;
}
std::uint32_t DibStream::ImageSize() const {
  const std::uint32_t size = Field32(20);
  return size ? size : static_cast<std::uint32_t>(static_cast<std::uint64_t>(RowStride()) * Height());
}

std::size_t DibStream::ColorTableEntries() const {
  if (!header_) return 0;
  const std::size_t count = static_cast<std::size_t>(ColorCount());
  if (headerBytes_ == 0) return count;
  const std::size_t room = headerBytes_ > 40 ? (headerBytes_ - 40) / 4 : 0;
  return count < room ? count : room;
}

std::uint8_t* DibStream::Row(std::int32_t y) {
  const std::int32_t h = Height();
  const std::int32_t stored = IsTopDown() ? y : h - 1 - y;
  return pixels_ + static_cast<std::size_t>(stored) * RowStride();
}
const std::uint8_t* DibStream::Row(std::int32_t y) const { return const_cast<DibStream*>(this)->Row(y); }

bool DibStream::Create(std::int32_t width, std::int32_t height, std::int32_t bits) {
  Clear();
  std::uint32_t stride;
  std::size_t bytes;
  if (!SupportedBits(bits) || !PixelSize(width, height, bits, stride, bytes)) return false;
  const std::size_t colors = ColorsUsedFor(bits);
  const std::size_t headerBytes = 40 + 4 * colors;
  auto* header = static_cast<std::uint8_t*>(AllocateBlock(kGlobalFixed, headerBytes));
  auto* pixels = static_cast<std::uint8_t*>(AllocateBlock(kGlobalFixed, bytes));
  if (!header || !pixels) {
    FreeBlock(kGlobalFixed, header);
    FreeBlock(kGlobalFixed, pixels);
    return false;
  }
  WriteInfoHeader(header, width, height, bits, stride);
  std::uint8_t* table = header + 40;
  if (bits == 1) {
    std::memset(table, 0, 8);
    std::memset(table + 4, 255, 3);
  } else if (bits == 8) {
    for (int i = 0; i < 256; ++i) {
      table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = static_cast<std::uint8_t>(i);
      table[4 * i + 3] = 0;
    }
  } else if (bits == 4) {
    std::memset(table, 0, 64);  // left for the caller; zero rather than whatever the heap held
  }
  header_ = header;
  pixels_ = pixels;
  headerKind_ = pixelKind_ = kGlobalFixed;
  headerBytes_ = headerBytes;
  pixelBytes_ = bytes;
  return true;
}

bool DibStream::Attach(std::uint8_t* header, MemoryKind headerKind, std::uint8_t* pixels, MemoryKind pixelKind,
                       std::size_t headerBytes, std::size_t pixelBytes) {
  if (!header || !pixels) return false;
  Clear();
  header_ = header;
  pixels_ = pixels;
  headerKind_ = headerKind;
  pixelKind_ = pixelKind;
  headerBytes_ = headerBytes;
  pixelBytes_ = pixelBytes ? pixelBytes : static_cast<std::size_t>(RowStride()) * static_cast<std::size_t>(Height());
  return true;
}

void DibStream::SetGreyPalette() {
  if (!header_) return;
  const std::int32_t bits = BitCount();
  std::uint8_t* table = ColorTable();
  const std::size_t entries = ColorTableEntries();
  auto set = [&](std::size_t i, int v) {
    if (i >= entries) return;
    table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = static_cast<std::uint8_t>(v);
    table[4 * i + 3] = 0;
  };
  if (bits == 1) {
    set(0, 0);
    set(1, 255);
  } else if (bits == 4) {
    for (int i = 0; i < 16; ++i) set(static_cast<std::size_t>(i), i * 17);
  } else if (bits == 8) {
    for (int i = 0; i < 256; ++i) set(static_cast<std::size_t>(i), i);
  }
}

// Converts without a second copy of the picture: 24 bits stay where they are, 32 bits are packed
// down in place (every pixel moves to a lower address, so no pixel is overwritten before it is
// read), and smaller pixels are converted row by row into a new block that replaces the old one.
bool DibStream::ConvertTo(std::int32_t bits) {
  if (!pixels_ || !header_ || bits != 24) return false;
  const std::int32_t from = BitCount();
  if (!SupportedBits(from)) return false;
  const std::int32_t width = Width(), height = Height(), signedHeight = SignedHeight();
  const std::uint32_t stride = RowStride();
  if (static_cast<std::uint64_t>(stride) * height > pixelBytes_) return false;
  std::uint32_t newStride;
  std::size_t newBytes;
  if (!PixelSize(width, signedHeight, 24, newStride, newBytes)) return false;
  if (from == 24 || from == 32) {
    if (from == 32) {
      for (std::int32_t r = 0; r < height; ++r) {
        const std::uint8_t* src = pixels_ + static_cast<std::size_t>(r) * stride;
        std::uint8_t* dst = pixels_ + static_cast<std::size_t>(r) * newStride;
        for (std::int32_t x = 0; x < width; ++x) {
          const std::uint8_t b = src[4 * x], g = src[4 * x + 1], red = src[4 * x + 2];
          dst[3 * x] = b;
          dst[3 * x + 1] = g;
          dst[3 * x + 2] = red;
        }
        std::memset(dst + 3 * static_cast<std::size_t>(width), 0, newStride - 3 * static_cast<std::size_t>(width));
      }
      // Give the spare quarter back when the block is ours to resize.
      if (pixelKind_ == kGlobalFixed || pixelKind_ == kLocalFixed) {
        if (void* smaller = std::realloc(pixels_, newBytes)) pixels_ = static_cast<std::uint8_t*>(smaller);
      }
      pixelBytes_ = newBytes;
    }
    WriteInfoHeader(header_, width, signedHeight, 24, newStride);
    return true;
  }
  auto* out = static_cast<std::uint8_t*>(AllocateBlock(kGlobalFixed, newBytes));
  if (!out) return false;
  const std::uint8_t* table = ColorTable();
  const std::size_t entries = ColorTableEntries();
  for (std::int32_t r = 0; r < height; ++r) {
    const std::uint8_t* src = pixels_ + static_cast<std::size_t>(r) * stride;
    std::uint8_t* dst = out + static_cast<std::size_t>(r) * newStride;
    std::memset(dst + 3 * static_cast<std::size_t>(width), 0, newStride - 3 * static_cast<std::size_t>(width));
    for (std::int32_t x = 0; x < width; ++x, dst += 3) {
      std::size_t index = 0;
      switch (from) {
        case 1: index = (src[x >> 3] >> (7 - (x & 7))) & 1u; break;
        case 4: index = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4); break;
        case 8: index = src[x]; break;
        case 16: {
          const unsigned v = src[2 * x] | (src[2 * x + 1] << 8);
          dst[0] = static_cast<std::uint8_t>((v & 31) << 3);
          dst[1] = static_cast<std::uint8_t>(((v >> 5) & 31) << 3);
          dst[2] = static_cast<std::uint8_t>(((v >> 10) & 31) << 3);
          continue;
        }
      }
      // An index past the colour table (a damaged file) reads as black.
      if (index < entries) std::memcpy(dst, table + 4 * index, 3);
      else dst[0] = dst[1] = dst[2] = 0;
    }
  }
  FreeBlock(pixelKind_, pixels_);
  pixels_ = out;
  pixelKind_ = kGlobalFixed;
  pixelBytes_ = newBytes;
  WriteInfoHeader(header_, width, signedHeight, 24, newStride);
  return true;
}

namespace {

struct Tap {
  std::int32_t index;
  std::uint16_t w0, w1;
};

// One entry per destination position: source index and smoothstep weights in 1/256.
std::vector<Tap> Taps(std::int32_t source, std::int32_t dest) {
  std::vector<Tap> taps(static_cast<std::size_t>(dest));
  if (source < 2) {
    for (Tap& t : taps) t = Tap{0, 256, 0};
    return taps;
  }
  const double step = dest > 1 ? static_cast<double>(source - 1) / (dest - 1) : 0.0;
  double p = 0.0;
  for (std::int32_t i = 0; i < dest; ++i, p += step) {
    std::int32_t index = static_cast<std::int32_t>(p);
    const double t = p - index;
    const auto w1 = static_cast<std::uint16_t>(t * (t * (t * -2.0 + 3.0)) * 256.0);
    if (index > source - 2) index = source - 2;  // rounding at the far end
    taps[static_cast<std::size_t>(i)] = Tap{index, static_cast<std::uint16_t>(256 - w1), w1};
  }
  if (dest > 1) taps.back() = Tap{source - 2, 0, 256};
  return taps;
}

}  // namespace

bool DibStream::Resample(std::int32_t newWidth, std::int32_t newHeight) {
  if (!pixels_ || !header_ || newWidth <= 0 || newHeight <= 0) return false;
  const std::int32_t bits = BitCount();
  if (!SupportedBits(bits)) return false;
  const std::int32_t width = Width(), height = Height();
  const std::uint32_t stride = RowStride();
  if (static_cast<std::uint64_t>(stride) * height > pixelBytes_) return false;
  const std::int32_t signedNew = IsTopDown() ? -newHeight : newHeight;
  std::uint32_t newStride;
  std::size_t newBytes;
  if (!PixelSize(newWidth, signedNew, bits, newStride, newBytes)) return false;
  std::vector<Tap> columns, rows;
  try {
    columns = Taps(width, newWidth);
    rows = Taps(height, newHeight);
  } catch (const std::bad_alloc&) {
    return false;
  }
  auto* out = static_cast<std::uint8_t*>(AllocateBlock(kGlobalFixed, newBytes));
  if (!out) return false;
  if (bits <= 4) std::memset(out, 0, newBytes);
  const std::int32_t lastColumn = width - 1, lastRow = height - 1;
  for (std::int32_t y = 0; y < newHeight; ++y) {
    const Tap& r = rows[static_cast<std::size_t>(y)];
    const std::uint8_t* row0 = pixels_ + static_cast<std::size_t>(r.index) * stride;
    const std::uint8_t* row1 = pixels_ + static_cast<std::size_t>(r.index < lastRow ? r.index + 1 : r.index) * stride;
    std::uint8_t* dst = out + static_cast<std::size_t>(y) * newStride;
    if (bits == 24 || bits == 32) {
      const int channels = bits / 8;
      for (std::int32_t x = 0; x < newWidth; ++x) {
        const Tap& c = columns[static_cast<std::size_t>(x)];
        const std::size_t j0 = static_cast<std::size_t>(c.index) * channels;
        const std::size_t j1 = static_cast<std::size_t>(c.index < lastColumn ? c.index + 1 : c.index) * channels;
        for (int k = 0; k < channels; ++k) {
          const std::uint32_t top = row0[j0 + k] * c.w0 + row0[j1 + k] * c.w1;
          const std::uint32_t bottom = row1[j0 + k] * c.w0 + row1[j1 + k] * c.w1;
          dst[static_cast<std::size_t>(x) * channels + k] =
              static_cast<std::uint8_t>((top * r.w0 + bottom * r.w1) >> 16);
        }
      }
      continue;
    }
    // Indexed and 16-bit pixels are not blended: take the nearer neighbour.
    const std::uint8_t* src = r.w0 < 128 ? row1 : row0;
    for (std::int32_t x = 0; x < newWidth; ++x) {
      const Tap& c = columns[static_cast<std::size_t>(x)];
      std::int32_t j = c.w0 < 128 ? c.index + 1 : c.index;
      if (j > lastColumn) j = lastColumn;
      switch (bits) {
        case 1:
          if ((src[j >> 3] >> (7 - (j & 7))) & 1) dst[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
          break;
        case 4: {
          const unsigned v = (j & 1) ? (src[j >> 1] & 0x0F) : (src[j >> 1] >> 4);
          dst[x >> 1] |= static_cast<std::uint8_t>((x & 1) ? v : (v << 4));
          break;
        }
        case 8: dst[x] = src[j]; break;
        case 16: std::memcpy(dst + 2 * x, src + 2 * j, 2); break;
      }
    }
  }
  // The new geometry goes over the first 40 bytes; the colour table stays where it is, and so
  // does its size field, which must keep describing the table the block really holds.
  const std::uint32_t colorsUsed = Field32(32);
  WriteInfoHeader(header_, newWidth, signedNew, bits, newStride);
  Put32(header_ + 32, colorsUsed);
  FreeBlock(pixelKind_, pixels_);
  pixels_ = out;
  pixelKind_ = kGlobalFixed;
  pixelBytes_ = newBytes;
  return true;
}

}  // namespace mw
