// Shapes to start from: plane, grid, box, UV sphere, icosphere, cylinder, cone, torus and disk,
// with their segment counts.
//
// Every shape is built centred on the origin and standing along its axis, then moved to where it
// is wanted. Vertices that the shape shares are shared (a closed shape is watertight: each edge
// lies in exactly two faces); faces are wound as the box of the box mode is, so the side seen from
// outside (for the flat shapes, from the axis's positive end) is lit; texture coordinates lie in
// [0, 1], and where a texture seam runs (round a sphere, a cylinder, a torus) only the texture
// coordinates differ, never the positions.
//
// Vertex and face counts (S segments or sides, R rings, H height segments, M major and m minor
// segments, X/Y/Z segments, n subdivisions):
//   plane      4, 1                  grid      (X+1)(Y+1), XY
//   box        (X+1)(Y+1)(Z+1) - (X-1)(Y-1)(Z-1), 2(XY + YZ + ZX)
//   sphere     S(R-1) + 2, SR (triangles at the poles, quadrilaterals between)
//   icosphere  10*4^n + 2, 20*4^n (triangles)
//   cylinder   S(H+1) [+2 with fan caps], SH + caps (n-gon: 2, fan: 2S, none: 0)
//   cone       as the cylinder; with top radius 0 the top row is one vertex (SH + 1) and has no cap
//   torus      Mm, Mm                disk      SR + 1, SR (triangles round the centre)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "scene/model.h"
#include "scene/ortho_plane.h"
#include "scene/vector.h"

namespace mw {

class CMeshwright;

enum class PrimitiveKind : std::uint8_t { kPlane, kGrid, kBox, kSphere, kIcosphere, kCylinder, kCone, kTorus, kDisk };
inline constexpr int kPrimitiveKindCount = 9;

// How the ends of a cylinder or cone are closed.
enum class CapFill : std::uint8_t { kNgon, kFan, kNone };

// What to build. Each shape reads only its own fields; the others keep their values, so a dialog
// can switch between shapes without losing what was typed for each.
struct PrimitiveParams {
  PrimitiveKind kind = PrimitiveKind::kSphere;
  // The axis the shape stands along (0 x, 1 y, 2 z): the normal of a plane, grid or disk, the
  // poles of a sphere, the length of a cylinder or cone, the hole of a torus. The box ignores it.
  int axis = 1;
  double width = 100, height = 100, depth = 100;  // plane and grid: width x depth; box: all three
  double radius = 50;                             // sphere, icosphere, cylinder, cone (at its base), disk; torus: major
  double topRadius = 0;                           // cone: 0 ends in a point
  double minorRadius = 15;                        // torus: the tube, below radius (wider closes the hole)
  int segments = 32;                              // sphere, torus: round the axis
  int rings = 16;                                 // sphere: pole to pole; disk: centre to rim
  int sides = 32;                                 // cylinder, cone, disk
  int heightSegments = 1;                         // cylinder, cone
  int minorSegments = 12;                         // torus: round the tube
  int xSegments = 1, ySegments = 1, zSegments = 1;  // grid: x and y (along width and depth); box: all
  int subdivisions = 2;                             // icosphere
  CapFill caps = CapFill::kNgon;
};

// Limits of the counts (inclusive): large enough for any modelling start, small enough that the
// largest shape (a box of kMaxSegments on each axis) still fits in memory several times over.
inline constexpr int kMaxSegments = 1000;
inline constexpr int kMaxSubdivisions = 6;
// The smallest counts: segments round an axis (sphere and torus segments, sides, torus minor
// segments) need 3, sphere rings 2, every other count 1; subdivisions start at 0.
inline constexpr int kMinAround = 3;
inline constexpr int kMinSphereRings = 2;

// The keyword of a shape ("sphere"), also the name of the model a shape is added as.
const char* PrimitiveKeyword(PrimitiveKind kind);

// Empty when `params` can be built; else what is wrong, in English, naming the key as
// ParsePrimitive reads it ("rings must be a whole number from 2 to 1000").
std::string CheckPrimitive(const PrimitiveParams& params);

// "SHAPE[:key=value,...]" as mwconv's --add takes it, for example
// "sphere:segments=32,rings=16,radius=50". Keys and shape names ignore case. Keys a shape does not
// read are refused, as are values out of range. `centre` takes the keys x, y and z (default 0).
// False with the reason in `error`; `params` and `centre` are then unspecified.
bool ParsePrimitive(std::string_view text, PrimitiveParams& params, CVector& centre, std::string& error);

// The shape centred on `centre`, as a model named after it, with every face in `material`.
// `params` must pass CheckPrimitive; an empty model is returned otherwise.
CModel BuildPrimitive(const PrimitiveParams& params, const CVector& centre, std::int32_t material);

// Adds the shape to the document: into the current model, or (with `newModel`) as a new model
// named after it at the end of the list. Its faces become the selection, everything else is
// deselected, and the normals of the model it went into are recomputed. False, with nothing
// changed, when `params` does not pass CheckPrimitive or there is no editable current model to
// add into. The current model stays the current one either way.
bool AddPrimitive(CMeshwright& scene, const PrimitiveParams& params, const CVector& centre, bool newModel);

// The material a new shape's faces take: the current one, after giving a document without
// materials a new current material. The one place where that is chosen.
std::int32_t PrimitiveMaterial(CMeshwright& scene);

// Where the orthographic panes put a new shape: the face-building cursor, and the model point at
// the centre of the panes (their shared scroll), both in model units at `zoom`.
CVector CursorPoint(const CMeshwright& scene);
CVector ViewCentrePoint(const PanOffsets& pan, float zoom);

// A size that fits a pane of `panePixels` (its shorter side) at `zoom`: about half of it, rounded
// down to 1, 2 or 5 times a power of ten. 100 when the zoom or the pane gives nothing sensible.
double FittingPrimitiveSize(float zoom, int panePixels);

}  // namespace mw
