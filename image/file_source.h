// Small helpers shared by the image readers.
#pragma once

#include <cstdint>
#include <cstdio>

namespace mw {

// Bytes from the current position to the end of the file, or -1 when it cannot be told.
long RemainingBytes(std::FILE* f);

// Opens for binary reading; the readers work on a FILE* so they can also read from memory.
class ImageFile {
 public:
  explicit ImageFile(const char* path) : f_(std::fopen(path, "rb")) {}
  ~ImageFile() {
    if (f_) std::fclose(f_);
  }
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;
  std::FILE* get() const { return f_; }

 private:
  std::FILE* f_;
};

inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
inline std::uint32_t Be32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

}  // namespace mw
