// Whole-mesh tools: welding close vertices, flipping faces, splitting faces into triangles, and
// growing or inverting the selection.
//
// Each has a model-level form, which acts on one model whatever its display state, and a scene-level
// form. The scene-level forms for the program's commands act on the selection of the editable
// models (neither locked nor hidden); the ones for batch conversion act on every model. All of
// them leave face selection, face references and normals as the scene's own operations do, and
// renumber the face under construction with the vertices.
#pragma once

#include <cstddef>

#include "scene/meshwright.h"

namespace mw {

struct WeldResult {
  std::size_t verticesRemoved = 0;
  std::size_t facesRemoved = 0;
};

// Welds vertices that lie closer together than `distance` (Euclidean, strictly less) into one
// vertex at their average. Closeness is not transitive; the rule is that of connected groups: two
// vertices closer than `distance` end up as one vertex, and so do chains of such pairs, however
// long. The result therefore does not depend on the order of the vertices. Each group keeps the
// lowest-numbered of its vertices (so a vertex's number only falls); the others go, and every
// corner that named them names the kept one.
//
// A face then loses corners that repeat the one before them (the last against the first too), and
// the texture coordinate of each corner that goes goes with it. A face that had three or more
// corners and is left with fewer than three different vertices is removed, as is a line (two
// corners) whose ends became one vertex. Corners that name no vertex (damaged input) are left alone.
//
// With `selectedOnly`, only selected vertices take part. Vertices whose coordinates are not finite
// never weld. A distance that is not positive and finite welds nothing. Time is about n log n in
// the vertices taking part: they are sorted into cells a little over half the distance wide, and
// compared in pairs only between two neighbouring cells whose bounding boxes neither settle that
// all their vertices weld nor that none do.
WeldResult WeldVertices(CModel& model, double distance, bool selectedOnly, std::int32_t smooth);

// Reverses the corner order (and the texture coordinates with it) of every face whose corners are
// all selected, or of every face; normals are recomputed. Returns the number of faces reversed.
// Reversing twice gives back the faces exactly.
std::size_t FlipFaces(CModel& model, bool selectedOnly, std::int32_t smooth);

// Replaces every face of more than three corners by n - 2 triangles (ear clipping, as drawing
// splits them), in place of the face and in its winding; each triangle keeps the face's material
// and its corners' texture coordinates. Faces with a corner that names no vertex are kept as they
// are. Returns the number of faces split.
std::size_t TriangulateFaces(CModel& model, std::int32_t smooth);

// The program's commands: the selection of the editable models.
WeldResult WeldSelected(CMeshwright& scene, double distance);
std::size_t FlipSelectedFaces(CMeshwright& scene);
// Every vertex of an editable model changes its selection; other models keep theirs.
void InvertSelection(CMeshwright& scene);
// Grows the selection of each editable model across faces: every vertex that shares a face with
// a selected vertex, directly or through other faces, becomes selected.
void SelectConnected(CMeshwright& scene);

// Batch conversion: every model, every vertex and face.
WeldResult WeldAll(CMeshwright& scene, double distance);
std::size_t FlipAll(CMeshwright& scene);
std::size_t TriangulateAll(CMeshwright& scene);

}  // namespace mw
