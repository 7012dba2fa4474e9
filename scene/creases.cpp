#include "scene/creases.h"

#include <algorithm>

#include "scene/edge_index.h"

namespace mw {

void RenumberCreases(CModel& model, std::span<const std::int32_t> newIndex) {
  const std::size_t n = newIndex.size();
  const auto rename = [&](std::int32_t v) {
    return v >= 0 && static_cast<std::size_t>(v) < n ? newIndex[static_cast<std::size_t>(v)] : v;
  };
  std::vector<EdgeCrease> creases;
  creases.reserve(model.creases.size());
  for (const EdgeCrease& c : model.creases) {
    const std::int32_t a = rename(static_cast<std::int32_t>(c.edge >> 32));
    const std::int32_t b = rename(static_cast<std::int32_t>(c.edge & 0xFFFFFFFFu));
    if (a >= 0 && b >= 0 && a != b) creases.push_back({EdgeKey(a, b), c.sharpness});
  }
  std::sort(creases.begin(), creases.end(), [](const EdgeCrease& x, const EdgeCrease& y) {
    return x.edge != y.edge ? x.edge < y.edge : x.sharpness > y.sharpness;
  });
  creases.erase(std::unique(creases.begin(), creases.end(),
                            [](const EdgeCrease& x, const EdgeCrease& y) { return x.edge == y.edge; }),
                creases.end());
  model.creases = std::move(creases);

  std::vector<VertexCorner> corners;
  corners.reserve(model.sharpVertices.size());
  for (const VertexCorner& c : model.sharpVertices) {
    const std::int32_t v = rename(c.vertex);
    if (v >= 0) corners.push_back({v, c.sharpness});
  }
  std::sort(corners.begin(), corners.end(), [](const VertexCorner& x, const VertexCorner& y) {
    return x.vertex != y.vertex ? x.vertex < y.vertex : x.sharpness > y.sharpness;
  });
  corners.erase(std::unique(corners.begin(), corners.end(),
                            [](const VertexCorner& x, const VertexCorner& y) { return x.vertex == y.vertex; }),
                corners.end());
  model.sharpVertices = std::move(corners);
  PruneCreases(model);
}

void PruneCreases(CModel& model) {
  std::erase_if(model.sharpVertices, [&model](const VertexCorner& c) { return !model.HasVertex(c.vertex); });
  if (model.creases.empty()) return;
  // Only the edges of faces are looked up: a model with creases is one being modelled, and
  // building the whole edge index here would cost more than the verb that called.
  std::vector<std::uint64_t> edges;
  for (const CFace& f : model.faces) {
    const std::size_t k = f.indices.size();
    if (k < 2) continue;
    for (std::size_t i = 0; i < k; ++i) {
      const std::int32_t a = f.indices[i], b = f.indices[(i + 1) % k];
      if (a != b && model.HasVertex(a) && model.HasVertex(b)) edges.push_back(EdgeKey(a, b));
    }
  }
  std::sort(edges.begin(), edges.end());
  std::erase_if(model.creases, [&edges](const EdgeCrease& c) {
    return !std::binary_search(edges.begin(), edges.end(), c.edge);
  });
}

}  // namespace mw
