#include "scene/smoothing.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "scene/edge_index.h"

namespace mw {

std::size_t SmoothVertices(CModel& model, const SmoothOptions& options, bool selectedOnly, std::int32_t smooth) {
  const std::size_t n = model.vertices.size();
  const int iterations = std::clamp(options.iterations, 0, kMaxSmoothIterations);
  const double lambda = std::clamp(options.factor, 0.0, 1.0);
  if (n == 0 || iterations == 0 || !(lambda > 0.0)) return 0;

  // Neighbours of every vertex from the edges, as one list with a start per vertex.
  const EdgeIndex edges(model);
  std::vector<std::uint32_t> start(n + 1, 0);
  std::vector<std::uint8_t> moves(n, 0);
  for (std::size_t v = 0; v < n; ++v) {
    const CVertex& vx = model.vertices[v];
    const CVector& p = vx.position;
    moves[v] = !vx.hidden && (!selectedOnly || vx.selected) && std::isfinite(p.x) && std::isfinite(p.y) &&
               std::isfinite(p.z);
  }
  for (std::size_t e = 0; e < edges.EdgeCount(); ++e) {
    const auto ei = static_cast<std::int32_t>(e);
    ++start[static_cast<std::size_t>(edges.Lower(ei)) + 1], ++start[static_cast<std::size_t>(edges.Upper(ei)) + 1];
    if (options.keepBorders && edges.FaceCountOf(ei) < 2) {
      moves[static_cast<std::size_t>(edges.Lower(ei))] = 0;
      moves[static_cast<std::size_t>(edges.Upper(ei))] = 0;
    }
  }
  for (std::size_t v = 0; v < n; ++v) start[v + 1] += start[v];
  std::vector<std::int32_t> next(n + 1, 0), around(start[n]);
  for (std::size_t v = 0; v < n; ++v) next[v] = static_cast<std::int32_t>(start[v]);
  for (std::size_t e = 0; e < edges.EdgeCount(); ++e) {
    const auto ei = static_cast<std::int32_t>(e);
    const std::int32_t a = edges.Lower(ei), b = edges.Upper(ei);
    around[static_cast<std::size_t>(next[static_cast<std::size_t>(a)]++)] = b;
    around[static_cast<std::size_t>(next[static_cast<std::size_t>(b)]++)] = a;
  }
  std::vector<std::uint32_t> moving;
  for (std::size_t v = 0; v < n; ++v)
    if (moves[v] && start[v + 1] > start[v]) moving.push_back(static_cast<std::uint32_t>(v));
  if (moving.empty()) return 0;

  struct P {
    double x, y, z;
  };
  std::vector<P> cur(n), nxt;
  for (std::size_t v = 0; v < n; ++v) {
    const CVector& p = model.vertices[v].position;
    cur[v] = {p.x, p.y, p.z};
  }
  nxt = cur;
  const auto pass = [&](double f) {
    for (const std::uint32_t v : moving) {
      double sx = 0, sy = 0, sz = 0;
      std::size_t k = 0;
      for (std::uint32_t i = start[v]; i < start[v + 1]; ++i) {
        const P& q = cur[static_cast<std::size_t>(around[i])];
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z)) continue;
        sx += q.x, sy += q.y, sz += q.z, ++k;
      }
      if (k == 0) continue;
      const P& p = cur[v];
      const double inv = 1.0 / static_cast<double>(k);
      nxt[v] = {p.x + f * (sx * inv - p.x), p.y + f * (sy * inv - p.y), p.z + f * (sz * inv - p.z)};
    }
    for (const std::uint32_t v : moving) cur[v] = nxt[v];
  };
  const double mu = 1.0 / (0.1 - 1.0 / lambda);
  for (int i = 0; i < iterations; ++i) {
    pass(lambda);
    if (options.method == SmoothMethod::kTaubin) pass(mu);
  }
  std::size_t moved = 0;
  for (const std::uint32_t v : moving) {
    CVector& p = model.vertices[v].position;
    const CVector q(static_cast<float>(cur[v].x), static_cast<float>(cur[v].y), static_cast<float>(cur[v].z));
    if (!(q == p)) ++moved;
    p = q;
  }
  model.ComputeNormals(smooth);
  return moved;
}

std::size_t SmoothSelected(CMeshwright& scene, const SmoothOptions& options) {
  std::size_t moved = 0;
  for (CModel& m : scene.models)
    if (m.IsEditable() && std::any_of(m.vertices.begin(), m.vertices.end(), [](const CVertex& v) { return v.selected; }))
      moved += SmoothVertices(m, options, true, scene.smoothing);
  return moved;
}

}  // namespace mw
