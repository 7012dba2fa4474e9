#include "scene/uv_ops.h"

#include <algorithm>

#include "scene/edge_index.h"

namespace mw {

namespace {
constexpr CUV kDefaultUV[4] = {CUV(0, 0), CUV(0, 1), CUV(1, 1), CUV(1, 0)};
}  // namespace

// Up to four corners take the table. More (faces read from files) are spread evenly round the
// edge of the unit square in the table's order, (0,0) -> (0,1) -> (1,1) -> (1,0) -> back: corner i
// sits 4i/n of the way round the perimeter of length 4, so every side gets its share and no two
// corners share a place. (For n = 4 the rule gives the table.) Fractions are taken from whole
// numbers, so 1 - f is as exact as f.
CUV DefaultCornerUV(std::size_t i, std::size_t n) {
  if (n <= 4) return kDefaultUV[i % 4];
  const std::size_t along = 4 * i;
  const std::size_t side = along / n, rest = along % n;
  const auto f = static_cast<float>(static_cast<double>(rest) / static_cast<double>(n));
  const auto g = static_cast<float>(static_cast<double>(n - rest) / static_cast<double>(n));
  switch (side) {
    case 0: return CUV(0, f);
    case 1: return CUV(f, 1);
    case 2: return CUV(1, g);
    default: return CUV(g, 0);
  }
}

std::vector<std::int32_t> SelectedUVFaces(const CModel&) { return {}; }
std::size_t ProjectUVs(CModel&, std::span<const std::int32_t>, const UVProjectionOptions&) { return 0; }
std::size_t ResetUVs(CModel&, std::span<const std::int32_t>) { return 0; }
bool IsSeam(const CModel& model, std::int32_t a, std::int32_t b) {
  return std::binary_search(model.seamEdges.begin(), model.seamEdges.end(), EdgeKey(a, b));
}
void SetSeam(CModel&, std::int32_t, std::int32_t, bool) {}
std::size_t MarkSelectedSeams(CModel&, bool) { return 0; }
std::size_t MarkSharpSeams(CModel&, std::span<const std::int32_t>, double) { return 0; }
void RemapSeams(CModel& model, std::span<const std::int32_t> newIndex) {
  const std::size_t n = newIndex.size();
  std::vector<std::uint64_t> kept;
  kept.reserve(model.seamEdges.size());
  for (const std::uint64_t key : model.seamEdges) {
    const auto a = static_cast<std::size_t>(key >> 32), b = static_cast<std::size_t>(key & 0xFFFFFFFFu);
    if (a >= n || b >= n) continue;
    const std::int32_t na = newIndex[a], nb = newIndex[b];
    if (na >= 0 && nb >= 0 && na != nb) kept.push_back(EdgeKey(na, nb));
  }
  // Merged vertices can turn two seams into one, and renumbering can reorder keys.
  std::sort(kept.begin(), kept.end());
  kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
  model.seamEdges = std::move(kept);
}

void PruneSeams(CModel& model) {
  std::erase_if(model.seamEdges, [&model](std::uint64_t key) {
    return !model.HasVertex(static_cast<std::int32_t>(key >> 32)) ||
           !model.HasVertex(static_cast<std::int32_t>(key & 0xFFFFFFFFu));
  });
}
std::vector<std::vector<std::int32_t>> FindUVIslands(const CModel&, std::span<const std::int32_t>) { return {}; }
std::vector<std::vector<std::int32_t>> FindSeamIslands(const CModel&, std::span<const std::int32_t>) { return {}; }
std::size_t UnwrapUVs(CModel&, std::span<const std::int32_t>, double) { return 0; }
std::size_t PackUVIslands(CModel&, std::span<const std::int32_t>, double) { return 0; }
std::vector<FaceStretch> MeasureUVStretch(const CModel&, std::span<const std::int32_t> faces) {
  return std::vector<FaceStretch>(faces.size());
}
std::size_t CountOverlappingUVFaces(const CModel&, std::span<const std::int32_t>) { return 0; }

}  // namespace mw
