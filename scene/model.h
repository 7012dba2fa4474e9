// One polygon object: its vertices, faces and display state, and the face being built.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/face.h"
#include "scene/vertex.h"

namespace mw {

enum ModelState : std::int32_t { kStateNormal = 1, kStateLocked = 2, kStateHidden = 3 };

// The smooth surface a model's faces stand for (scene/subdivision.h draws and bakes it).
enum SubdivisionScheme : std::int32_t { kSubdivisionNone = 0, kSubdivisionCatmullClark = 1, kSubdivisionLoop = 2 };
inline constexpr std::int32_t kSubdivisionMinLevel = 1, kSubdivisionMaxLevel = 4;
inline constexpr float kMaxSharpness = 10.0f;

// Sharpness of one edge, named as EdgeKey(a, b) of its two vertices (scene/edge_index.h), or of
// one vertex; 0 is smooth, 10 and above infinitely sharp.
struct EdgeCrease {
  std::uint64_t edge = 0;
  float sharpness = 0.0f;
  friend bool operator==(const EdgeCrease&, const EdgeCrease&) = default;
};
struct VertexCorner {
  std::int32_t vertex = 0;
  float sharpness = 0.0f;
  friend bool operator==(const VertexCorner&, const VertexCorner&) = default;
};

class CModel {
 public:
  std::string name = "Model";         // CP932 bytes
  std::int32_t reservedInt = 0;       // carried by the archive only
  std::string secondName = "<NULL>";  // carried by the archive only
  std::int32_t mirrorAxis = 0;        // Metasequoia "mirror_axis", stored only
  float facet = 0.0f;                 // Metasequoia "facet", stored only
  std::vector<CVertex> vertices;
  std::vector<CFace> faces;
  std::int32_t state = kStateNormal;
  // Edges picked in edge mode, as EdgeKey(a, b) of their two vertices, sorted; their ends are
  // selected too. Meaningful only in edge mode (see scene/element_selection.h).
  std::vector<std::uint64_t> selectedEdges;
  std::int32_t subdivisionScheme = kSubdivisionNone;  // a SubdivisionScheme
  std::int32_t subdivisionLevel = 2;                  // kSubdivisionMinLevel..kSubdivisionMaxLevel
  std::vector<EdgeCrease> creases;                    // sorted by edge, sharpness above 0
  std::vector<VertexCorner> sharpVertices;            // sorted by vertex, sharpness above 0
  // Symmetric modelling (scene/symmetry.h): the axis edits are mirrored across (0 off, 1 x, 2 y,
  // 3 z) and each vertex's counterpart on the other side (itself on the plane, -1 without one),
  // found by position when the setting was switched on or the vertices changed.
  std::int32_t symmetryAxis = 0;
  std::vector<std::int32_t> counterparts;
  // Edges the texture is cut along when unwrapping (scene/uv_ops.h), as EdgeKey(a, b), sorted.
  std::vector<std::uint64_t> seamEdges;
  CFace pendingFace;                     // face under construction; never archived
  std::vector<CVertex> pendingVertices;  // its new vertices, not yet in `vertices`

  CModel() = default;
  // Copying takes everything but the face under construction, which belongs to the list
  // position: moving a model up or down by assignment leaves each slot's pending face in place.
  CModel(const CModel& o) { *this = o; }
  CModel& operator=(const CModel& o);
  // Moving (what std::vector does when it grows or closes a gap) carries the whole record.
  CModel(CModel&&) noexcept = default;
  CModel& operator=(CModel&&) noexcept = default;

  bool IsEditable() const { return state != kStateLocked && state != kStateHidden; }

  // Face normals from the first three corners, or from the whole outline for faces of more than
  // four corners (faces with fewer than three keep theirs); with `smooth`,
  // every vertex normal becomes the sum of the normals of the faces in its faceRefs.
  void ComputeNormals(std::int32_t smooth);
  // faceRefs of every vertex, rebuilt from the faces in order. Corners naming no vertex are
  // skipped (they cannot come from the program's own operations, only from damaged input).
  void RebuildFaceRefs();
  // allSelected of every face from its corners' selection.
  void UpdateFaceSelection();

  // Face building: a point in pixels at `zoom` becomes a corner, reusing the first committed
  // vertex within 5 units on every axis; the fourth corner commits the face.
  void AddPendingPoint(float x, float y, float z, float zoom, std::int32_t materialId);
  // The same for a corner already in model units.
  void AddPendingCorner(const CVector& position, std::int32_t materialId);
  void CommitPendingFace(std::int32_t materialId);
  // Removes the faces whose corners are all selected, then every vertex no face uses, renumbering
  // the corners, those of the face under construction too (a corner on a removed vertex goes);
  // linear in the model's size.
  void DeleteSelectedFaces();
  void AssignMaterialToSelected(std::int32_t materialId);

  // Mirrors the geometry over the axes chosen by mirrorAxis (1 X, 2 Y, 4 Z, summed; each pass
  // doubles vertices and faces, reversing the corner order of the copies). Returns whether the
  // model has at least one face.
  bool ApplyMirror();

  // True when `i` names a vertex of this model.
  bool HasVertex(std::int32_t i) const { return i >= 0 && static_cast<std::size_t>(i) < vertices.size(); }
};

}  // namespace mw
