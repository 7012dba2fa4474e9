// Modelling verbs that add edges: loop cut over an edge ring, connecting vertices across a face,
// subdividing faces, and the knife.
//
// Each is a free function over one model and its edge index (acting on that model whatever its
// display state), plus a scene-level form acting on the selection of the editable models. They
// share these rules: hidden faces and faces with a corner naming no vertex are never changed; a
// face that is split gives its place in the list to its first piece and the other pieces go to the
// end of the list, so faces elsewhere keep their numbers; every piece keeps the face's material
// and flags; texture coordinates of new corners are interpolated along the sides (bilinearly
// inside a quad); a face that gains a vertex on one of its sides without being split takes it as
// an extra corner, so no T-junction is left. Afterwards face references, normals and face
// selection are current, and the new vertices are what is selected in the model (so edge mode
// shows the new edges). The face under construction keeps naming its own vertices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "scene/edge_index.h"
#include "scene/meshwright.h"
#include "scene/picking.h"

namespace mw {

inline constexpr int kMaxLoopCuts = 32;
// The edit mode (CMeshwright::editMode, beside those of EditMode) in which a drag on an edge of an
// orthographic pane shows the loop cut of its ring, slides it with the pointer and cuts at release.
inline constexpr std::int32_t kModeLoopCut = 8;

// `cuts` (1..32) parallel cuts across the quads of the edge rings through `edges` (scene/
// edge_loops.h). Evenly spaced with `slide` 0; `slide` in [-1, 1] moves every cut by that fraction
// of the spacing toward one end of the ring's edges (kept short of the ends). Returns the number
// of faces split.
std::size_t LoopCut(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges, int cuts, double slide,
                    std::int32_t smooth);

// Where LoopCut(m, ix, {edge}, cuts, slide) would put its new edges, one segment per cut per face,
// without changing anything: what the loop cut mode shows under the pointer.
std::vector<std::pair<CVector, CVector>> LoopCutPreview(const CModel& m, const EdgeIndex& ix, std::int32_t edge,
                                                        int cuts, double slide);

// Splits every face in sight holding two or more selected vertices that are not neighbours along
// it: two such corners give two faces; three or more give the polygon of the selected corners
// and the pieces between them. Returns the number of faces split.
std::size_t ConnectVertices(CModel& m, std::int32_t smooth);

enum class Neighbours : std::uint8_t {
  kPolygons,   // a face next to a subdivided one takes the new vertices as extra corners
  kTriangles,  // ... and is then split into triangles
};

// Splits faces into `n` x `n` pieces (2 <= n <= 32): a quad into a grid of quads, a triangle into
// n^2 triangles; a face of five or more corners into one quad per corner around its centre
// (n = 2) or, for other n, triangles from its centre. With `selectedOnly` the faces whose corners
// are all selected, otherwise every face in sight. Vertices on a side two faces share are made
// once. Returns the number of faces subdivided.
std::size_t SubdivideFaces(CModel& m, const EdgeIndex& ix, int n, bool selectedOnly, Neighbours neighbours,
                           std::int32_t smooth);

// A knife stroke in an orthographic plane: points in model units of the plane's two screen axes
// (scene/ortho_plane.h: u to the right, v downward). With `throughAll` only the first two points
// count, as a line across the whole model.
struct KnifeStroke {
  Plane plane = kPlaneTop;
  std::vector<std::pair<double, double>> points;
  bool throughAll = false;
};

// Each segment of the stroke in turn cuts the faces in sight whose projection it crosses from side
// to side: a vertex on each crossed side, and the face split between the first two crossings along
// the segment. A segment ending inside a face leaves its crossing on that face's side as an extra
// corner. Returns the number of faces split.
std::size_t KnifeCut(CModel& m, const KnifeStroke& stroke, std::int32_t smooth);

// A knife stroke in the perspective pane: points in the pixels of the pane `view` shows. Each
// segment cuts with the wedge from the eye through its two ends: the faces whose picture it
// crosses are split where it crosses their pictured sides, the new vertices lying on the sides
// in the model (where the plane through the eye and the segment meets them). Only faces turned
// toward the viewer and not hidden behind what `raster` holds at the cut are cut, unless
// `throughBack` (「背面も切る」); without a raster nothing is taken as hidden.
struct ViewKnifeStroke {
  std::vector<std::pair<double, double>> points;
  bool throughBack = false;
};
std::size_t KnifeCutInView(CModel& m, const PaneProjection& view, const DepthRaster* raster,
                           const ViewKnifeStroke& stroke, std::int32_t smooth);

// The program's commands, on the editable models.
// Rings through the selected edges (edge mode: those picked; otherwise those with both ends selected).
std::size_t LoopCutSelected(CMeshwright& scene, int cuts, double slide);
std::size_t ConnectSelected(CMeshwright& scene);
std::size_t SubdivideSelected(CMeshwright& scene, int n, Neighbours neighbours);
std::size_t KnifeScene(CMeshwright& scene, const KnifeStroke& stroke);
// The perspective pane's knife, what hides what found once for the whole stroke.
std::size_t KnifeSceneInView(CMeshwright& scene, const PaneProjection& view, const ViewKnifeStroke& stroke);
// Batch conversion: every face of every model.
std::size_t SubdivideAll(CMeshwright& scene, int n);

}  // namespace mw
