// Corners at one position become one vertex: the weld every import of another program's format
// goes through (Assimp's readers and the plain OBJ reader alike), so both number the vertices the
// same way, in the order first used, -0 and 0 being one position.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "scene/vector.h"

namespace mw {

struct PositionKey {
  std::array<std::uint32_t, 3> bits;
  // Three compares, not the library's memcmp of the array: this runs for every corner of a big file.
  bool operator==(const PositionKey& o) const { return bits[0] == o.bits[0] && bits[1] == o.bits[1] && bits[2] == o.bits[2]; }
};

inline std::uint64_t HashOf(const PositionKey& k) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::uint32_t b : k.bits) h = (h ^ b) * 1099511628211ull;
  return (h ^ (h >> 29)) * 0x9E3779B97F4A7C15ull;
}

// Positions to vertex numbers 0, 1, 2... in the order first seen. Open addressing over the
// numbers, the keys in one array: a node-based map cost a quarter of a big OBJ's import, where
// every corner (Assimp gives each its own vertex) is looked up.
class PositionWeld {
 public:
  // Room for `n` vertices at once, so that a big mesh is not re-hashed as it grows.
  void Reserve(std::size_t n) {
    if (n * 2 <= slots_.size()) return;
    keys_.reserve(n);
    const std::size_t size = std::bit_ceil(std::max<std::size_t>(64, n * 2));
    shift_ = 64 - std::countr_zero(size);
    slots_.assign(size, -1);
    for (std::size_t k = 0; k < keys_.size(); ++k) {
      std::size_t i = HashOf(keys_[k]) >> shift_;
      while (slots_[i] >= 0) i = (i + 1) & (size - 1);
      slots_[i] = static_cast<std::int32_t>(k);
    }
  }

  // The number of the vertex at `key`; `added` tells whether it is new (then it is the count
  // before the call).
  std::int32_t Find(const PositionKey& key, bool& added) {
    if ((keys_.size() + 1) * 2 > slots_.size()) Grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = HashOf(key) >> shift_;; i = (i + 1) & mask) {
      const std::int32_t at = slots_[i];
      if (at < 0) {
        added = true;
        slots_[i] = static_cast<std::int32_t>(keys_.size());
        keys_.push_back(key);
        return slots_[i];
      }
      if (keys_[static_cast<std::size_t>(at)] == key) {
        added = false;
        return at;
      }
    }
  }

 private:
  void Grow() {
    const std::size_t size = std::max<std::size_t>(64, slots_.size() * 2);
    shift_ = 64 - std::countr_zero(size);
    slots_.assign(size, -1);
    for (std::size_t k = 0; k < keys_.size(); ++k) {
      std::size_t i = HashOf(keys_[k]) >> shift_;
      while (slots_[i] >= 0) i = (i + 1) & (size - 1);
      slots_[i] = static_cast<std::int32_t>(k);
    }
  }

  std::vector<std::int32_t> slots_;  // a vertex number, or -1
  std::vector<PositionKey> keys_;    // by vertex number
  int shift_ = 64;
};

inline PositionKey KeyOf(const CVector& v) {
  PositionKey k;
  const float f[3] = {v.x == 0.0f ? 0.0f : v.x, v.y == 0.0f ? 0.0f : v.y, v.z == 0.0f ? 0.0f : v.z};  // -0 is 0
  std::memcpy(k.bits.data(), f, sizeof f);
  return k;
}

}  // namespace mw
