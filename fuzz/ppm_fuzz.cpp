// The PPM/PGM reader on arbitrary bytes, read from memory as from a file; whatever it keeps must be
// a consistent image.
#include <cstdint>
#include <cstdio>

#include "image/image_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (!f) return 0;
  mw::DibStream image;
  mw::LoadPpm(f, image);
  std::fclose(f);
  if (!image.IsEmpty()) {
    image.ConvertTo(24);
    image.Resample(16, 16);
  }
  return 0;
}
