// Small pieces the modelling verbs (mesh_cut, mesh_reduce, symmetry) share: which faces and edges
// a verb may touch, interpolation of positions and texture coordinates, and tidying a model after
// its faces were rebuilt.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/edge_index.h"
#include "scene/model.h"

namespace mw {

inline CVector LerpPoint(const CVector& a, const CVector& b, double t) {
  return CVector(static_cast<float>(a.x + (static_cast<double>(b.x) - a.x) * t),
                 static_cast<float>(a.y + (static_cast<double>(b.y) - a.y) * t),
                 static_cast<float>(a.z + (static_cast<double>(b.z) - a.z) * t));
}
inline CUV LerpUV(const CUV& a, const CUV& b, double t) {
  CUV r;
  r.u = static_cast<float>(a.u + (static_cast<double>(b.u) - a.u) * t);
  r.v = static_cast<float>(a.v + (static_cast<double>(b.v) - a.v) * t);
  return r;
}

// A corner of a face being rebuilt: its vertex and texture coordinate.
struct Corner {
  std::int32_t vertex;
  CUV uv;
};
using CornerList = std::vector<Corner>;

inline bool HasUVs(const CFace& f) { return !f.uvs.empty() && f.uvs.size() == f.indices.size(); }
inline CUV UVAt(const CFace& f, std::size_t k) { return HasUVs(f) ? f.uvs[k % f.uvs.size()] : CUV{}; }

// A piece of face `source` with the given corners: in the source's own place (`first`), or
// appended to the face list with the source's material and face selection.
void PlacePiece(CModel& m, std::size_t source, const CornerList& corners, bool first);

// Splits the listed faces of more than three corners into triangles (ear clipping in their plane,
// scene/polygon_triangles.h), the first in the face's place and the others appended.
void SplitIntoTriangles(CModel& m, const std::vector<std::size_t>& faces);

// Every corner names a vertex of the model: faces that do not (damaged input) are never rebuilt.
bool CornersValid(const CModel& m, const CFace& f);
// A face a verb may change: in sight, of valid corners.
inline bool FaceWorkable(const CModel& m, const CFace& f) { return !f.hidden && CornersValid(m, f); }
// In sight and every corner selected.
bool FaceSelectedForEdit(const CModel& m, const CFace& f);

// The edges a verb acts on: in edge mode the picked ones, otherwise those whose two ends are
// selected. Only edges with a face in sight count.
std::vector<std::int32_t> SelectedEdgesForEdit(const CModel& m, const EdgeIndex& ix, bool edgeMode);

// After faces were replaced: face references, normals and face selection made current.
void FinishRebuild(CModel& m, std::int32_t smooth);

// Removes the vertices with `drop` set that no face uses, renumbering every corner (the face under
// construction included). Vertices not marked stay even when unused: a verb never takes away a
// loose vertex it did not make loose.
void RemoveDroppedVertices(CModel& m, std::vector<std::uint8_t>& drop);

// Removes faces with fewer than three different corners (a line stays a line while its ends
// differ) and faces repeating another face's corners in the same cyclic order. Returns how many.
std::size_t RemoveDegenerateFaces(CModel& m);

}  // namespace mw
