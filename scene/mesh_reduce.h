// Modelling verbs that take away: dissolving vertices, edges and faces into the faces around them,
// deleting by element, collapsing to one vertex, separating faces into new models, and turning
// polygons into triangles and pairs of triangles into quads.
//
// Model-level forms act on one model whatever its display state; the scene-level forms act on the
// selection of the editable models. Hidden faces and faces with a corner naming no vertex are never
// changed; faces left with fewer than three different corners and faces repeating another's
// corners go; a vertex is removed only when the verb left it without faces. Afterwards face
// references, normals and face selection are current, and the face under construction is
// renumbered with the vertices.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scene/edge_index.h"
#include "scene/meshwright.h"

namespace mw {

enum class DissolveWhat : std::uint8_t { kVertices, kEdges, kFaces };

// Merges faces into one polygon each, with no hole left:
//   kVertices  the faces around each selected vertex inside the surface (every edge there has two
//              faces), the vertex removed;
//   kEdges     the two faces of each selected edge (edge mode: those picked);
//   kFaces     each connected group of selected faces.
// Groups of faces that touch are merged together. A group whose outline is not one closed loop
// (it would leave a hole, or the faces meet at a single corner) is left as it was. The merged face
// takes the material of the group's first face and the texture coordinates of each outline corner
// from the face it came from. Returns the number of faces merged away.
std::size_t Dissolve(CModel& m, const EdgeIndex& ix, DissolveWhat what, bool edgeMode, std::int32_t smooth);

enum class DeleteWhat : std::uint8_t {
  kVertices,        // the selected vertices and every face using one
  kEdges,           // the faces having a selected edge, and the vertices left without faces
  kFaces,           // the selected faces, and the vertices left without faces
  kEdgesFacesOnly,  // the faces having a selected edge; every vertex stays
};
// Returns the number of faces removed.
std::size_t DeleteElements(CModel& m, const EdgeIndex& ix, DeleteWhat what, bool edgeMode, std::int32_t smooth);

enum class CollapseAt : std::uint8_t { kCentre, kFirst, kLast };
enum class CollapseGroups : std::uint8_t {
  kAll,    // every selected vertex of the model
  kEdges,  // each connected run of selected edges
  kFaces,  // each connected group of selected faces
};
// Every group becomes one vertex: at the group's centre, or where its first or last vertex (by
// number) is. Returns the number of vertices removed.
std::size_t Collapse(CModel& m, const EdgeIndex& ix, CollapseAt at, CollapseGroups groups, bool edgeMode,
                     std::int32_t smooth);

enum class SeparateBy : std::uint8_t { kSelection, kMaterial, kLooseParts };

// Splits every face that has more than three corners among those whose corners are all selected
// (or every face in sight) into triangles. Returns the number of faces split.
std::size_t TriangulateSelectedFaces(CModel& m, bool selectedOnly, std::int32_t smooth);
// Joins pairs of triangles (all corners selected, or every one in sight, with `selectedOnly`
// false) sharing an edge into quads where the triangles' normals differ by at most `maxAngle`
// degrees, they have the same material, and the quad is convex. Flattest pairs first. Returns the
// number of quads made.
std::size_t TrisToQuads(CModel& m, const EdgeIndex& ix, double maxAngle, bool selectedOnly, std::int32_t smooth);

// The program's commands on the editable models.
std::size_t DissolveSelected(CMeshwright& scene, DissolveWhat what);
std::size_t DeleteSelectedElements(CMeshwright& scene, DeleteWhat what);
std::size_t CollapseSelected(CMeshwright& scene, CollapseAt at, CollapseGroups groups);
// Moves faces of each editable model into new models appended to the list, named after the model
// ("name_1", "name_2"... the first number no model has): the selected faces; or one model per
// material after the first; or one per connected part after the first. The new models are
// selected, the source keeps the rest. Returns the number of models made.
std::size_t Separate(CMeshwright& scene, SeparateBy by);
std::size_t TriangulateSelected(CMeshwright& scene);
std::size_t TrisToQuadsSelected(CMeshwright& scene, double maxAngle);
// Batch conversion: every model.
std::size_t TrisToQuadsAll(CMeshwright& scene, double maxAngle);

}  // namespace mw
