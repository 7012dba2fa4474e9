// Editing texture coordinates as the UV window shows them: the faces it shows, their UV vertices
// and edges, picking, and the transforms a selection of UV vertices goes through.
//
// The window shows the selected faces (every corner selected, not hidden, three corners or more,
// one UV per corner) of the editable models. A UV vertex is the group of those faces' corners that
// name the same vertex of the same model with the same UV: moving it moves every corner of the
// group and nothing else, so faces that share a vertex but not its UV stay apart. UV space is shown
// with u to the right and v downward (v 0 is the top row of the picture, as the perspective pane
// maps it).
//
// A layout is built from the scene and stays valid until the shown faces or their UVs change by
// anything other than WriteUVs with that layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "scene/meshwright.h"

namespace mw {

// Whether the UV window shows face `f` of `m` (the model's own state is not looked at).
bool ShowsUVs(const CModel& m, const CFace& f);

// A point of UV space, in double so that transforms build up no rounding before the store.
struct UVPoint {
  double u = 0.0, v = 0.0;
  friend bool operator==(const UVPoint&, const UVPoint&) = default;
};

struct UVRect {
  double u0 = 0.0, v0 = 0.0, u1 = 0.0, v1 = 0.0;  // u0 <= u1, v0 <= v1 when not empty
  bool Empty() const { return u1 < u0 || v1 < v0; }
};

class UVLayout {
 public:
  struct Face {
    std::int32_t model = 0, face = 0;
    std::uint32_t first = 0;  // its corners are first .. first + count - 1 of `corners`
    std::uint32_t count = 0;
  };

  // The shown faces of the editable models in list order, face by face.
  static UVLayout Build(const CMeshwright& scene);

  std::vector<Face> faces;
  // Per corner of the shown faces: its UV vertex, and the face of `faces` it belongs to.
  std::vector<std::uint32_t> corners, cornerFace;
  // Per UV vertex: where it is, and its corners (groupCorners[groupFirst[g] .. groupFirst[g + 1])).
  std::vector<CUV> uvs;
  std::vector<std::uint32_t> groupFirst, groupCorners;
  // The sides of the shown faces as pairs of UV vertices (smaller first), each once.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> edges;

  std::size_t GroupCount() const { return uvs.size(); }
  // The shown faces of model `model`, as face numbers of that model, ascending.
  std::vector<std::int32_t> FacesOf(std::int32_t model) const;
  std::uint32_t FaceOfCorner(std::uint32_t corner) const { return cornerFace[corner]; }
};

// The UV vertex nearest to (u, v) within `radius` (UV units, on both axes), or -1.
std::int32_t PickUVVertex(const UVLayout& layout, UVPoint p, double radius);
// The edge (index into layout.edges) nearest to p within `radius`, or -1.
std::int32_t PickUVEdge(const UVLayout& layout, UVPoint p, double radius);
// The shown face (index into layout.faces) whose outline contains p, the last one listed where
// several do (the one drawn on top), or -1.
std::int32_t PickUVFace(const UVLayout& layout, UVPoint p);
// The UV vertices inside the rectangle (its edges included).
std::vector<std::uint32_t> UVVerticesIn(const UVLayout& layout, const UVRect& r);
// The UV vertices of face f (index into layout.faces), each once.
std::vector<std::uint32_t> UVVerticesOfFace(const UVLayout& layout, std::uint32_t f);
// The faces (indices into layout.faces) whose corners are all in `selected` (one flag per group).
std::vector<std::uint32_t> FacesWithin(const UVLayout& layout, std::span<const std::uint8_t> selected);

// The bounding rectangle of the flagged UV vertices (empty when none is flagged).
UVRect SelectionBounds(const UVLayout& layout, std::span<const std::uint8_t> selected);

// p -> (a b; c d) p + (tx, ty): the transforms of the selection.
struct UVAffine {
  double a = 1.0, b = 0.0, c = 0.0, d = 1.0, tx = 0.0, ty = 0.0;
  static UVAffine Translate(double du, double dv) { return {1.0, 0.0, 0.0, 1.0, du, dv}; }
  // Turns by `degrees` about `pivot`; positive turns clockwise as shown (u right, v down).
  static UVAffine Rotate(double degrees, UVPoint pivot);
  static UVAffine Scale(double su, double sv, UVPoint pivot);
  UVPoint Apply(UVPoint p) const { return {a * p.u + b * p.v + tx, c * p.u + d * p.v + ty}; }
};

// Snapping to the pixels of a texture of width x height: each coordinate to the nearest pixel
// corner (k / width, k / height). Sizes below 1 leave the coordinate as it is.
UVPoint SnapToPixels(UVPoint p, std::int32_t width, std::int32_t height);

// The flagged UV vertices' positions now (the start of a drag or a command).
std::vector<UVPoint> SelectedPositions(const UVLayout& layout, std::span<const std::uint8_t> selected);
// Moves the flagged UV vertices to `t` of the positions in `from` (as SelectedPositions gave them),
// snapped when `snapWidth` and `snapHeight` are given, into the layout and into every corner of
// their groups in the scene. Corners of other groups are not touched.
void TransformSelected(CMeshwright& scene, UVLayout& layout, std::span<const std::uint8_t> selected,
                       std::span<const UVPoint> from, const UVAffine& t, std::int32_t snapWidth = 0,
                       std::int32_t snapHeight = 0);

enum class UVAlign { kLeft, kRight, kTop, kBottom };
// Lines the flagged UV vertices up on the smallest u (left), largest u (right), smallest v (top) or
// largest v (bottom) among them.
void AlignSelected(CMeshwright& scene, UVLayout& layout, std::span<const std::uint8_t> selected, UVAlign align);
// Mirrors the flagged UV vertices across the centre of their bounds, along u or along v.
void FlipSelected(CMeshwright& scene, UVLayout& layout, std::span<const std::uint8_t> selected, bool alongU);

}  // namespace mw
