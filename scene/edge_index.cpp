#include "scene/edge_index.h"

#include <algorithm>
#include <memory>

namespace mw {
namespace {

// The far end of the side leaving corner k of a face, or -1 when the side makes no edge.
std::int32_t SideEnd(const CFace& f, std::size_t k, std::size_t vertexCount) {
  const std::size_t n = f.indices.size();
  if (n < 2 || (n == 2 && k == 1)) return -1;  // a line's way back is the same edge
  // No modulo: a division per corner was a fifth of building the index.
  const std::int32_t a = f.indices[k], b = f.indices[k + 1 == n ? 0 : k + 1];
  const auto inRange = [vertexCount](std::int32_t i) { return i >= 0 && static_cast<std::size_t>(i) < vertexCount; };
  if (!inRange(a) || !inRange(b) || a == b) return -1;
  return b;
}

}  // namespace

std::uint64_t TopologyKey(const CModel& model) {
  // FNV-style mixing of 64-bit words; two corners go in per step so a million quads cost a few
  // milliseconds, well under what building their index costs.
  std::uint64_t h = 0xcbf29ce484222325ull ^ model.vertices.size();
  const auto mix = [&h](std::uint64_t w) {
    h ^= w;
    h *= 0x100000001b3ull;
    h ^= h >> 29;
  };
  mix(model.faces.size());
  for (const CFace& f : model.faces) {
    const std::int32_t* i = f.indices.data();
    const std::size_t n = f.indices.size();
    mix(n);
    std::size_t k = 0;
    for (; k + 1 < n; k += 2)
      mix(static_cast<std::uint64_t>(static_cast<std::uint32_t>(i[k])) << 32 | static_cast<std::uint32_t>(i[k + 1]));
    if (k < n) mix(static_cast<std::uint32_t>(i[k]));
  }
  return h;
}

EdgeIndex::EdgeIndex(const CModel& model, std::uint64_t key) : key_(key) {
  const std::size_t vertexCount = model.vertices.size(), faceCount = model.faces.size();
  // One pass over the face records (large, so read once): each corner's side as
  // (lower << 32 | upper), all ones where the side makes no edge.
  constexpr std::uint64_t kNoSide = ~std::uint64_t{0};
  cornerStart_.resize(faceCount + 1);
  std::vector<std::uint64_t> ends;
  ends.reserve(4 * faceCount);
  std::vector<std::uint32_t> bucket(vertexCount + 1, 0);
  for (std::size_t f = 0; f < faceCount; ++f) {
    const CFace& face = model.faces[f];
    cornerStart_[f] = static_cast<std::uint32_t>(ends.size());
    for (std::size_t k = 0; k < face.indices.size(); ++k) {
      const std::int32_t b = SideEnd(face, k, vertexCount);
      if (b < 0) {
        ends.push_back(kNoSide);
        continue;
      }
      const std::int32_t a = face.indices[k];
      const auto lo = static_cast<std::uint32_t>(std::min(a, b)), hi = static_cast<std::uint32_t>(std::max(a, b));
      ends.push_back(static_cast<std::uint64_t>(lo) << 32 | hi);
      ++bucket[lo];
    }
  }
  const std::size_t corners = ends.size();
  cornerStart_[faceCount] = static_cast<std::uint32_t>(corners);
  sides_.assign(corners, kNone);

  // Sides bucketed by their lower vertex: (upper << 32 | corner) in each bucket. The bucket
  // array is the write cursor and ends as each bucket's end, which is the next one's start.
  std::uint32_t sum = 0;
  for (std::size_t v = 0; v < vertexCount; ++v) {
    sum += bucket[v];
    bucket[v] = sum;
  }
  bucket[vertexCount] = sum;
  // Every element is written below, so the buffer is not zeroed first.
  std::unique_ptr<std::uint64_t[]> sides(new std::uint64_t[sum]);
  for (std::size_t c = corners; c-- > 0;) {
    const std::uint64_t e = ends[c];
    if (e == kNoSide) continue;
    sides[--bucket[static_cast<std::size_t>(e >> 32)]] = (e << 32) | c;
  }
  std::vector<std::uint64_t>().swap(ends);

  // Each bucket sorted by upper vertex (buckets hold a handful, so insertion sort), equal uppers
  // made one edge.
  ends_.reserve(sum / 2 + 1);
  lowerStart_.resize(vertexCount + 1);
  std::vector<std::uint32_t> sideCount;
  sideCount.reserve(sum / 2 + 1);
  for (std::size_t v = 0; v < vertexCount; ++v) {
    lowerStart_[v] = static_cast<std::uint32_t>(ends_.size());
    std::uint64_t* first = sides.get() + bucket[v];
    std::uint64_t* last = sides.get() + bucket[v + 1];
    for (std::uint64_t* i = first + 1; i < last; ++i)
      for (std::uint64_t* j = i; j > first && j[-1] > j[0]; --j) std::swap(j[-1], j[0]);
    std::uint32_t previous = 0xffffffffu;
    for (std::uint64_t* i = first; i < last; ++i) {
      const auto upper = static_cast<std::uint32_t>(*i >> 32);
      if (upper != previous) {
        ends_.emplace_back(static_cast<std::int32_t>(v), static_cast<std::int32_t>(upper));
        sideCount.push_back(0);
        previous = upper;
      }
      sides_[static_cast<std::uint32_t>(*i)] = static_cast<std::int32_t>(ends_.size() - 1);
      ++sideCount.back();
    }
  }
  lowerStart_[vertexCount] = static_cast<std::uint32_t>(ends_.size());
  sides.reset();
  std::vector<std::uint32_t>().swap(bucket);
  ends_.shrink_to_fit();  // borders make more edges than half the sides the reservation guessed

  const std::size_t edgeCount = ends_.size();
  faceStart_.resize(edgeCount + 1);
  sum = 0;
  for (std::size_t e = 0; e < edgeCount; ++e) {
    faceStart_[e] = sum;
    sum += sideCount[e];
  }
  faceStart_[edgeCount] = sum;
  faces_.resize(sum);
  std::vector<std::uint32_t>& fill = sideCount;  // reused as the write positions
  for (std::size_t e = 0; e < edgeCount; ++e) fill[e] = faceStart_[e];
  for (std::size_t fi = 0; fi < faceCount; ++fi)
    for (std::uint32_t c = cornerStart_[fi]; c < cornerStart_[fi + 1]; ++c)
      if (sides_[c] != kNone) faces_[fill[static_cast<std::size_t>(sides_[c])]++] = static_cast<std::int32_t>(fi);
  std::vector<std::uint32_t>().swap(sideCount);

  valence_.assign(vertexCount, 0);
  for (const auto& [a, b] : ends_) {
    ++valence_[static_cast<std::size_t>(a)];
    ++valence_[static_cast<std::size_t>(b)];
  }
}

int EdgeIndex::SideOf(std::int32_t f, std::int32_t e) const {
  const std::size_t n = SideCount(f);
  for (std::size_t k = 0; k < n; ++k)
    if (SideEdge(f, k) == e) return static_cast<int>(k);
  return -1;
}

std::int32_t EdgeIndex::Find(std::int32_t a, std::int32_t b) const {
  if (a > b) std::swap(a, b);
  if (a < 0 || static_cast<std::size_t>(b) >= valence_.size() || a == b) return kNone;
  const auto first = ends_.begin() + lowerStart_[static_cast<std::size_t>(a)];
  const auto last = ends_.begin() + lowerStart_[static_cast<std::size_t>(a) + 1];
  const auto it = std::lower_bound(first, last, b, [](const auto& end, std::int32_t v) { return end.second < v; });
  return it != last && it->second == b ? static_cast<std::int32_t>(it - ends_.begin()) : kNone;
}

std::size_t EdgeIndex::Bytes() const {
  return sizeof(*this) + ends_.capacity() * sizeof(ends_[0]) +
         (faceStart_.capacity() + cornerStart_.capacity() + lowerStart_.capacity() + valence_.capacity()) *
             sizeof(std::uint32_t) +
         (faces_.capacity() + sides_.capacity()) * sizeof(std::int32_t);
}

std::shared_ptr<const EdgeIndex> EdgeIndexCache::Get(const CModel& model) {
  const std::uint64_t key = TopologyKey(model);
  for (auto it = kept_.begin(); it != kept_.end(); ++it) {
    if ((*it)->Key() != key || (*it)->VertexCount() != model.vertices.size() ||
        (*it)->FaceCount() != model.faces.size())
      continue;
    std::shared_ptr<const EdgeIndex> found = *it;
    kept_.erase(it);
    kept_.push_back(found);
    return found;
  }
  auto built = std::make_shared<const EdgeIndex>(model, key);
  ++builds_;
  if (kept_.size() == kKept) kept_.erase(kept_.begin());
  kept_.push_back(built);
  return built;
}

}  // namespace mw
