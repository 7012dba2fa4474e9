// Modelling verbs that add geometry: extrude, inset, solidify, bevel, bridge, fill and spin.
//
// Each model-level verb takes a model, the edge index of its present faces and the elements it
// works on (face, edge or vertex numbers; hidden faces and the edges only they have are never
// passed by the scene-level forms), changes the model in place and returns whether it changed
// anything. They all keep the program's winding (the lit side is the one from which the corners
// run clockwise): a new face is wound so that every edge it shares with an old face is run the
// other way round, as two neighbouring faces of one surface run it. New faces take the material
// of the face they grew from and texture coordinates interpolated from it (none when it has none).
// Afterwards the new part is selected (the vertices, and in face and edge mode the elements, of
// what a following move should carry), face references are rebuilt and normals recomputed.
//
// The scene-level forms act on the selection of the editable models (neither locked nor hidden),
// in the scene's selection mode, and return how many models changed; each is one edit
// (EditKind::kExtrude ... kSpin).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "scene/edge_index.h"
#include "scene/meshwright.h"
#include "scene/ortho_plane.h"

namespace mw {

// ---- Extrude --------------------------------------------------------------------------------

enum class ExtrudeKind : std::uint8_t { kRegion, kIndividual };

// Faces as a region (edges between two of them stay inside; the region's rim gets a wall of
// quadrilaterals) or one by one, moved `distance` along the region's average lit-side normal (or
// each face's own). Vertices where the region touches itself only at a corner are split per fan, so
// two faces meeting at a corner come away separately.
bool ExtrudeFaces(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> faces, ExtrudeKind kind,
                  double distance);
// Border edges (one face or none) become a strip of quadrilaterals whose far side is moved by
// `offset`. Edges between two faces are left alone: a third face on them would tear the surface.
bool ExtrudeEdges(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges, const CVector& offset);
// Each vertex gets a new vertex at `offset` from it and a line (a face of two corners) to it.
bool ExtrudeVertices(CModel& m, std::span<const std::int32_t> vertices, const CVector& offset);

// ---- Inset and solidify -----------------------------------------------------------------------

// The faces shrink into themselves by `thickness` (measured across each rim edge, in the face's
// plane) and move `depth` along the lit-side normal; a ring of quadrilaterals joins old rim and new.
bool InsetFaces(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> faces, bool individual, double thickness,
                double depth);
// The faces get a back: a copy moved `thickness` against the lit-side vertex normals, wound the
// other way, joined to them along the region's rim by quadrilaterals.
bool SolidifyFaces(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> faces, double thickness);

// ---- Bevel ------------------------------------------------------------------------------------

struct BevelParams {
  double width = 10.0;
  int segments = 1;      // 1..10
  double profile = 0.5;  // 0 a flat chamfer, 0.5 a round, 1 a square corner
};
// Edges between two faces or on the border are cut off by a strip of `segments` rows; where
// bevelled edges end, the corner is closed by one face (a cube corner with its three edges
// bevelled gets a triangle, or an n-gon through the rows). With no edges, the given vertices are
// cut off: every edge at them is cut `width` from the vertex and a face closes the hole. Each
// vertex worked on must have its faces in one fan, wound alike (a manifold surface); otherwise
// nothing changes and false is returned.
bool BevelEdges(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges, const BevelParams& p);
bool BevelVertices(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> vertices, const BevelParams& p);

// ---- Bridge and fill --------------------------------------------------------------------------

// The edges must form exactly two chains, both closed or both open; they are joined by
// quadrilaterals (triangles where their lengths differ), matched with the twist and direction
// that give the least total length of the joining edges.
bool BridgeEdgeLoops(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges);
// Every closed chain of border edges among `edges` becomes one face, or with `quads` and an even
// number of edges a ladder of quadrilaterals across it.
bool FillBorders(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges, bool quads);
// One face through the given vertices (two give a line), in their order round their centre,
// wound so that it continues the faces around it (seen from outside for a loose set).
bool FaceFromVertices(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> vertices, std::int32_t material);

// ---- Spin -------------------------------------------------------------------------------------

// The edges (a profile) are swept round the axis through `centre` along the pane's depth
// (Top: y, Front: z, Side: x) by `degrees` in `steps` steps; a full turn closes on itself.
bool SpinEdges(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges, Plane plane, const CVector& centre,
               double degrees, int steps);
// The faces swept the same way, as an extrusion along the arc: their rim makes the walls and the
// faces move to where the turn ends; after a full turn the faces (with the vertices only they
// used) go, the walls closing on themselves.
bool SpinFaces(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> faces, Plane plane, const CVector& centre,
               double degrees, int steps);

// ---- The program's commands -----------------------------------------------------------------

struct ExtrudeParams {
  double distance = 50.0;
  bool individual = false;
  CVector offset;  // edges and vertices: the move of the new part
};
struct InsetParams {
  double thickness = 10.0, depth = 0.0;
  bool individual = false;
};
struct SpinParams {
  double degrees = 360.0;
  int steps = 12;
  Plane plane = kPlaneTop;
  CVector centre;
};

// Faces when some are selected (in vertex mode: whose corners are all selected), else the border
// edges among the selected edges, else the selected vertices.
std::size_t ExtrudeSelected(CMeshwright& scene, const ExtrudeParams& p);
std::size_t InsetSelected(CMeshwright& scene, const InsetParams& p);
std::size_t SolidifySelected(CMeshwright& scene, double thickness);
// Edges when some are selected, else vertices.
std::size_t BevelSelected(CMeshwright& scene, const BevelParams& p);
std::size_t BridgeSelected(CMeshwright& scene);
// Closed border chains when some are selected, else one face through the selected vertices.
std::size_t FillSelected(CMeshwright& scene, bool quads);
// Faces when some are selected, else edges.
std::size_t SpinSelected(CMeshwright& scene, const SpinParams& p);

// Whether any editable model has something a verb can take: faces, edges, vertices.
bool HasSelectedVertices(const CMeshwright& scene);

// ---- Extrude following the pointer ------------------------------------------------------------

// What ExtrudeSelected would move: faces along their average lit-side normal (unit length), or
// edges and vertices freely; nothing when no editable model has a vertex selected.
struct ExtrudeAxis {
  bool faces = false;
  CVector normal;  // faces only
};
std::optional<ExtrudeAxis> SelectedExtrudeAxis(const CMeshwright& scene);

// The distance along `normal` whose picture in an orthographic pane of `plane` lies nearest to a
// pointer moved by (dx, dy) pixels. A normal that points (nearly) into the pane has no picture to
// follow: the pointer's upward motion gives the distance instead.
double PointerDistanceAlong(Plane plane, const CVector& normal, int dx, int dy, float zoom);

}  // namespace mw
