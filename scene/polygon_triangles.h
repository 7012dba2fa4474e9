// Triangles for drawing faces of more than four corners.
//
// Documents keep such faces as they are; only drawing needs triangles. A face's corners are
// projected onto the axis plane closest to the face's own plane and split by ear clipping, so
// concave faces come out right. The result never fails: collinear and repeated corners give
// triangles of no area, and a face that is degenerate (no area, non-finite coordinates) or that
// ear clipping cannot finish (it crosses itself) is finished as a fan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "scene/model.h"

namespace mw {

// Appends n - 2 triangles (for n >= 3 corners; nothing for fewer) to `out` as triples of corner
// numbers 0 .. n-1, each wound like the polygon. Time is about quadratic in the corner count for
// ordinary faces and bounded for hostile ones.
void TriangulatePolygon(std::span<const CVector> corners, std::vector<std::uint32_t>& out);

// Newell's normal of a polygon: twice its area along the direction its corners turn about (right
// hand). Unlike the cross product of two edges, it holds for concave faces.
CVector PolygonNormal(std::span<const CVector> corners);

// The triangles of one model's faces, kept until the face changes. Every call checks the face
// against a 64-bit key of its corner indices and their positions, so a changed face is split
// again and an unchanged one costs one pass over its corners. Faces are known by their index in
// the model: deleting, inserting or reordering faces makes keys differ and triangles recomputed.
class PolygonTriangleCache {
 public:
  // Triples of corner numbers of face `face` (n - 2 of them), or nothing when the face has fewer
  // than three corners, a corner naming no vertex, or `face` is not a face of `model`. The span
  // stays valid until the next call.
  std::span<const std::uint32_t> Triangles(const CModel& model, std::size_t face);
  // Releases everything.
  void Clear();
  // How many faces were split since construction (or Clear): tells tests and benchmarks whether
  // the cache held.
  std::size_t Computed() const { return computed_; }

 private:
  struct Slot {
    std::uint64_t key = 0;
    std::size_t first = 0;  // into triangles_
    std::uint32_t corners = 0;
  };
  std::vector<std::uint32_t> slotOf_;  // per face index: slot number + 1, or 0
  std::vector<Slot> slots_;
  std::vector<std::uint32_t> triangles_;
  std::size_t unused_ = 0;  // entries of triangles_ left behind by faces that changed size
  std::size_t computed_ = 0;
  std::vector<CVector> corners_;
  std::vector<std::uint32_t> scratch_;
};

}  // namespace mw
