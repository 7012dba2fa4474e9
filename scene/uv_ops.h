// Texture coordinates shaped by the user: projections, seams, unwrapping into islands, packing them
// into the unit square, and the checks of stretch and overlap. Every function takes a list of face
// numbers of one model (hidden faces and faces of fewer than three corners are left alone) and
// gives each face one UV per corner; a face that had none gets them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "scene/model.h"

namespace mw {

// ---- the faces to work on ----

// The selected faces of a model that UV commands change: all corners selected, not hidden, at
// least three corners.
std::vector<std::int32_t> SelectedUVFaces(const CModel& model);

// ---- projections ----

enum class UVProjection : std::int32_t {
  kPlanarX,    // looking along X: u from z, v from y
  kPlanarY,    // looking along Y (from above): u from x, v from z
  kPlanarZ,    // looking along Z (from the front): u from x, v from y
  kView,       // along a given view direction, with a given up direction
  kBox,        // each face planar along its normal's dominant axis
  kCylinder,   // around an axis through the faces' centre: u the angle, v the height
  kSphere,     // around the same axis: u the longitude, v the latitude
};

struct UVProjectionOptions {
  UVProjection kind = UVProjection::kPlanarZ;
  // kView: the direction looked along and the screen's up; kCylinder and kSphere: the axis (up).
  CVector direction{0.0f, 0.0f, 1.0f};
  CVector up{0.0f, 1.0f, 0.0f};
};

// Projects the faces and fits the result into 0..1, keeping the aspect (the longer side spans 0..1,
// the shorter is centred). Returns how many faces changed.
std::size_t ProjectUVs(CModel& model, std::span<const std::int32_t> faces, const UVProjectionOptions& options);

// The texture coordinate a new face of n corners gets at corner i (the default table).
CUV DefaultCornerUV(std::size_t i, std::size_t n);
// Gives the faces the default table again. Returns how many faces changed.
std::size_t ResetUVs(CModel& model, std::span<const std::int32_t> faces);

// ---- seams (model.seamEdges, sorted EdgeKey values) ----

// Whether the edge between a and b is a seam.
bool IsSeam(const CModel& model, std::int32_t a, std::int32_t b);
// Marks or clears the seam of the edge between a and b.
void SetSeam(CModel& model, std::int32_t a, std::int32_t b, bool seam);
// Marks (or clears) the selected edges as seams: with `pickedEdges` (edge mode) the edges in
// selectedEdges, otherwise every side of a visible face whose two ends are selected. Returns how
// many edges changed.
std::size_t MarkSelectedSeams(CModel& model, bool pickedEdges, bool seam);
// Marks the edges between two of the faces that meet at more than `degrees` as seams. Returns how
// many edges changed.
std::size_t MarkSharpSeams(CModel& model, std::span<const std::int32_t> faces, double degrees);
// Seams follow a renumbering of vertices (newIndex[old] = new, or -1 for a vertex that went);
// seams on a vertex that went, or that now join a vertex to itself, are dropped.
void RemapSeams(CModel& model, std::span<const std::int32_t> newIndex);
// Drops seams that name no vertex of the model.
void PruneSeams(CModel& model);

// ---- islands, unwrapping, packing ----

// The faces connected through shared UVs: two faces are connected across an edge when they share
// its two vertices with the same UVs at both ends and the edge is not a seam. Faces without UVs
// are islands of their own. Each island lists its faces in ascending order; islands are ordered
// by their first face.
std::vector<std::vector<std::int32_t>> FindUVIslands(const CModel& model, std::span<const std::int32_t> faces);

// The faces connected through edges that are not seams (the islands an unwrap makes).
std::vector<std::vector<std::int32_t>> FindSeamIslands(const CModel& model, std::span<const std::int32_t> faces);

// Unwraps the faces: islands cut at seams and borders, each flattened by a least-squares conformal
// map, then packed into 0..1 (PackUVIslands). Returns the number of islands.
std::size_t UnwrapUVs(CModel& model, std::span<const std::int32_t> faces, double margin = 0.01);

// Scales the UV islands of the faces by their 3D area, turns each to its smallest bounding
// rectangle and places them into 0..1 without overlap, `margin` apart (in UV units). Returns the
// number of islands.
std::size_t PackUVIslands(CModel& model, std::span<const std::int32_t> faces, double margin = 0.01);

// ---- checks ----

struct FaceStretch {
  // The face's share of the UV area over its share of the 3D area among the faces measured: 1 is
  // none, 2 twice as large in the texture as its neighbours on average, 0 collapsed or without UVs.
  float areaRatio = 1.0f;
  // The mean difference of the corner angles in the texture from those in space, over pi: 0 is
  // none, 1 the most possible.
  float angleDistortion = 0.0f;
};
// Stretch of each face (one entry per listed face, in order).
std::vector<FaceStretch> MeasureUVStretch(const CModel& model, std::span<const std::int32_t> faces);

// How many of the faces overlap another of them in UV space (sharing only an edge or corner is
// no overlap).
std::size_t CountOverlappingUVFaces(const CModel& model, std::span<const std::int32_t> faces);

}  // namespace mw
