// An image held as a Windows device-independent bitmap: a header block (40-byte information
// header and colour table) and a block of pixel rows padded to 4 bytes, in blue-green-red order.
//
// Every block records how it was allocated so that blocks made by a plugin are freed correctly.
// An image is either empty (no blocks) or holds both. Accessors that read the header must only be
// called on a non-empty image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/memory.h"
#include "plugins/picture_budget.h"

namespace mw {

// Bits of the depth mask that LoadBmp accepts: 1, 2, 4, 8, 16, 32 for 1, 4, 8, 16, 24, 32 bits.
enum DepthMask : std::uint32_t {
  kDepth1 = 1,
  kDepth4 = 2,
  kDepth8 = 4,
  kDepth16 = 8,
  kDepth24 = 16,
  kDepth32 = 32,
  kAllDepths = 63,
};

class DibStream {
 public:
  DibStream() = default;
  virtual ~DibStream();
  DibStream(const DibStream&) = delete;
  DibStream& operator=(const DibStream&) = delete;

  void Clear();
  // False, with the image empty, for a bit count other than 1, 4, 8, 16, 24, 32, a width that is
  // not positive, a height of 0, a pixel block of 2^31 bytes or more, or a failed allocation.
  bool Create(std::int32_t width, std::int32_t height, std::int32_t bits);
  // Adopts both blocks (false, nothing changed, when either is null). The sizes, when given, are
  // checked against the header; 0 means "trust the header".
  bool Attach(std::uint8_t* header, MemoryKind headerKind, std::uint8_t* pixels, MemoryKind pixelKind,
              std::size_t headerBytes = 0, std::size_t pixelBytes = 0);

  bool IsEmpty() const { return header_ == nullptr; }
  std::int32_t Width() const;
  std::int32_t Height() const;
  std::int32_t SignedHeight() const;
  std::int32_t BitCount() const;
  std::uint32_t RowStride() const;
  std::int32_t ColorCount() const;
  std::uint32_t ImageSize() const;
  bool IsTopDown() const { return SignedHeight() < 0; }

  std::uint8_t* Header() { return header_; }
  const std::uint8_t* Header() const { return header_; }
  std::uint8_t* ColorTable() { return header_ ? header_ + 40 : nullptr; }
  const std::uint8_t* ColorTable() const { return header_ ? header_ + 40 : nullptr; }
  std::uint8_t* Pixels() { return pixels_; }
  const std::uint8_t* Pixels() const { return pixels_; }
  std::size_t PixelBytes() const { return pixelBytes_; }
  // Picture row y counted from the top.
  std::uint8_t* Row(std::int32_t y);
  const std::uint8_t* Row(std::int32_t y) const;

  void SetGreyPalette();
  // Only 24 is supported. The image is unchanged on failure. Costs no second copy of the picture:
  // 24 bits are kept, 32 bits packed in place, smaller depths converted into a new block.
  bool ConvertTo(std::int32_t bits);
  // Smoothstep-weighted resize in place. Sources or destinations narrower or lower than 2 pixels
  // are handled by repeating the single column or row.
  bool Resample(std::int32_t newWidth, std::int32_t newHeight);

  // Windows bitmaps with a 40-byte information header, uncompressed or RLE8. Always leaves the
  // image empty on failure.
  bool LoadBmp(const char* path, std::uint32_t depthMask);
  bool LoadBmp(std::FILE* file, std::uint32_t depthMask);

 private:
  std::uint32_t Field32(std::size_t offset) const;
  std::size_t ColorTableEntries() const;  // entries the header block really holds

  std::uint8_t* header_ = nullptr;
  std::uint8_t* pixels_ = nullptr;
  MemoryKind headerKind_ = kNoMemory;
  MemoryKind pixelKind_ = kNoMemory;
  std::size_t headerBytes_ = 0;
  std::size_t pixelBytes_ = 0;
};

// ((bits * width + 31) / 32) * 4 in 64 bits; never overflows for 32-bit inputs.
inline std::uint64_t RowStrideFor(std::int64_t width, std::int64_t bits) {
  return static_cast<std::uint64_t>((bits * width + 31) / 32) * 4u;
}

}  // namespace mw
