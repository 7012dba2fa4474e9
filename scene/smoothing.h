// Relaxing vertices toward the mean of their neighbours (the vertices they share an edge with).
//
// Laplacian smoothing moves each vertex by `factor` of the way to that mean, every pass; it rounds
// and shrinks. Taubin's lambda|mu smoothing follows each such pass with one of negative factor
// (mu = 1 / (0.1 - 1 / lambda)), which takes back the shrinking and keeps the volume. Passes are
// Jacobi steps: every vertex moves from the positions of the previous pass, so the result does not
// depend on the vertex order. Time and memory are linear in the model's corners.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scene/meshwright.h"

namespace mw {

enum class SmoothMethod : std::uint8_t { kLaplacian, kTaubin };

struct SmoothOptions {
  SmoothMethod method = SmoothMethod::kLaplacian;
  int iterations = 5;   // 1..100
  double factor = 0.5;  // 0..1
  bool keepBorders = true;  // vertices on an edge of one face (and those of lines) stay where they are
};
inline constexpr int kMaxSmoothIterations = 100;

// Smooths the selected, visible vertices of `model` (or all visible ones when `selectedOnly` is
// false); neighbours that are not selected pull but do not move. Vertices without neighbours and
// with coordinates that are not finite stay. Returns how many vertices moved. Normals are
// recomputed with `smooth`.
std::size_t SmoothVertices(CModel& model, const SmoothOptions& options, bool selectedOnly, std::int32_t smooth);
// The command: the selected vertices of every editable model.
std::size_t SmoothSelected(CMeshwright& scene, const SmoothOptions& options);

}  // namespace mw
