// The PNG plugin on arbitrary bytes, built in and called through its exported LoadPNG the way the
// program calls it; whatever it hands over must be a consistent image that converts and resamples.
#include <cstdint>

#include "fuzz/plugin_fuzz_input.h"
#include "image/image_readers.h"

extern "C" int LoadPNG(const char* path, unsigned char** header, unsigned char** pixels, OnPngProgressFn onProgress,
                       void* context);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mw::fuzz::MemoryFile file(data, size);
  if (file.path().empty()) return 0;
  mw::DibStream image;
  if (mw::LoadPngThrough(LoadPNG, file.path().c_str(), image) && !image.IsEmpty()) {
    image.ConvertTo(24);
    image.Resample(16, 16);
  }
  return 0;
}
