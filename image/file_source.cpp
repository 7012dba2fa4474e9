#include "image/file_source.h"

namespace mw {

long RemainingBytes(std::FILE* f) {
  const long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
  const long end = std::ftell(f);
  if (std::fseek(f, here, SEEK_SET) != 0 || end < here) return -1;
  return end - here;
}

}  // namespace mw
