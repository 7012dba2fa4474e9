// The three orthographic planes: which model axes a pane shows, and how model units and pane
// pixels convert. Drawing, rubber-band selection, face building, the transforms and scrolling all
// map through here, so what a pane draws and what a click or a rectangle reaches cannot drift apart.
//
// The conversions keep the program's long-standing arithmetic exactly: products and quotients in
// double, truncation toward zero where a whole number is needed, and negation of whole pixel
// counts done by swapping the operands of a subtraction (so a zero stays +0, as it always has).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "scene/vector.h"

namespace mw {

// Each plane shows two model axes, u to the right and v downward:
// Top u = x, v = z; Face u = x, v = -y; Left u = -z, v = -y.
enum Plane : std::int32_t { kPlaneTop = 0, kPlaneFace = 1, kPlaneLeft = 2 };

constexpr bool IsPlane(std::int32_t plane) { return plane >= kPlaneTop && plane <= kPlaneLeft; }

// A model axis (0 x, 1 y, 2 z) as a screen direction; `flipped` when the screen direction runs
// toward the axis's negative end.
struct ScreenAxis {
  int axis;
  bool flipped;
};

struct PlaneAxes {
  ScreenAxis u, v;  // to the right, downward
  int hidden;       // the axis the pane looks along
  // A positive turn takes turnFrom toward turnTo: (x, z) in Top, (x, y) in Face, (y, z) in Left,
  // so on screen Face and Left turn the other way from Top.
  int turnFrom, turnTo;
};

// Anything but Top or Face maps as Left, as the panes have always drawn it; operations that must
// not act on a wrong plane check IsPlane first.
constexpr PlaneAxes AxesOf(std::int32_t plane) {
  switch (plane) {
    case kPlaneTop: return PlaneAxes{{0, false}, {2, false}, 1, 0, 2};
    case kPlaneFace: return PlaneAxes{{0, false}, {1, true}, 2, 0, 1};
    default: return PlaneAxes{{2, true}, {1, true}, 0, 1, 2};
  }
}

// The plane that hides `axis`: x -> Left, y -> Top, z -> Face.
constexpr Plane PlaneHiding(int axis) { return axis == 0 ? kPlaneLeft : axis == 1 ? kPlaneTop : kPlaneFace; }

inline float Component(const CVector& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }
inline float& Component(CVector& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

// ---- Model units and pixels ----

// std::trunc without the library call the x86-64 baseline makes of it. Doubles of magnitude 2^52
// and above are whole already; NaN and infinities pass through.
inline double TruncTowardZero(double x) {
  return (x > -4.5e15 && x < 4.5e15) ? static_cast<double>(static_cast<std::int64_t>(x)) : x;
}

// A distance in model units as pixels from the pane centre: units x zoom / 100, truncated toward
// zero. Unclamped, so hit tests can compare far-away and non-finite values (which match nothing).
inline double PixelsFromUnits(double units, float zoom) {
  return TruncTowardZero(units * static_cast<double>(zoom) / 100.0);
}

// The same as a drawable int: kept within +-1e8, well inside what the painter handles; NaN lands
// on the centre. Equal to PixelsFromUnits wherever that is inside the limits.
inline int DrawablePixels(double units, float zoom) {
  const double s = PixelsFromUnits(units, zoom);
  if (!(s > -1e8)) return s != s ? 0 : -100000000;
  if (s > 1e8) return 100000000;
  return static_cast<int>(s);
}

// Pixels as whole model units, for pivots: trunc(pixels x 100 / zoom) within the int32 range; NaN
// (zoom 0 on a blank scene) gives 0.
inline double WholeUnitsFromPixels(int pixels, float zoom) {
  const double units = std::trunc(static_cast<double>(pixels) * 100.0 / static_cast<double>(zoom));
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  if (!(units >= lo)) return units != units ? 0.0 : lo;
  return units > hi ? hi : units;
}

// Pixels as model units, not rounded to whole units: pixels / zoom x 100 (face corners, move drags).
inline float UnitsFromPixels(double pixels, float zoom) { return static_cast<float>(pixels / zoom * 100.0); }

// The grid the panes draw: dotted lines GridPixels and half of that from the centre. Zoom is whole
// pixels per 100 model units (truncated); a non-finite zoom draws as 100.
inline int GridPixels(float zoom) {
  if (!std::isfinite(zoom)) return 100;
  return zoom >= 1e8f ? 100000000 : zoom <= -1e8f ? -100000000 : static_cast<int>(zoom);
}

// One grid step in model units: the distance between neighbouring drawn lines, half the grid
// (the whole grid where half of it is under a pixel). Zoom below 1 or non-finite (a blank scene)
// gives the step at zoom 100.
inline float GridStepUnits(float zoom) {
  if (!std::isfinite(zoom) || zoom < 1.0f) return 50.0f;
  const int d = GridPixels(zoom);
  return UnitsFromPixels(d >= 2 ? d / 2 : d, zoom);
}

// ---- Model positions and the pane ----

struct ViewPoint {
  double u, v;
};

// A model position in the plane's screen directions, in model units.
inline ViewPoint ToView(std::int32_t plane, const CVector& p) {
  const PlaneAxes a = AxesOf(plane);
  const double u = Component(p, a.u.axis), v = Component(p, a.v.axis);
  return ViewPoint{a.u.flipped ? -u : u, a.v.flipped ? -v : v};
}

struct PanePoint {
  double x, y;
};

// Where a model position lands in a pane whose centre is (cx, cy), unclamped (for hit tests).
inline PanePoint ToPane(std::int32_t plane, const CVector& p, float zoom, int cx, int cy) {
  const ViewPoint w = ToView(plane, p);
  return PanePoint{cx + PixelsFromUnits(w.u, zoom), cy + PixelsFromUnits(w.v, zoom)};
}

struct PanePixel {
  int x, y;
};

// The pixel a model position is drawn at: the same point as ToPane, kept drawable.
inline PanePixel ToPanePixel(std::int32_t plane, const CVector& p, float zoom, int cx, int cy) {
  const ViewPoint w = ToView(plane, p);
  return PanePixel{cx + DrawablePixels(w.u, zoom), cy + DrawablePixels(w.v, zoom)};
}

struct ModelPixels {
  double x, y, z;
  double& operator[](int axis) { return axis == 0 ? x : axis == 1 ? y : z; }
  double operator[](int axis) const { return axis == 0 ? x : axis == 1 ? y : z; }
};

// A pane pixel as a model position in pixels from the centre (convert with UnitsFromPixels); the
// axis the plane hides takes `hidden`. With a centre of (0, 0) it turns a drag into a model delta.
inline ModelPixels FromPane(std::int32_t plane, int px, int py, int cx, int cy, double hidden) {
  const PlaneAxes a = AxesOf(plane);
  ModelPixels m{0.0, 0.0, 0.0};
  m[a.u.axis] = a.u.flipped ? static_cast<double>(cx) - px : static_cast<double>(px) - cx;
  m[a.v.axis] = a.v.flipped ? static_cast<double>(cy) - py : static_cast<double>(py) - cy;
  m[a.hidden] = hidden;
  return m;
}

// ---- Offsets kept per model axis ----
//
// The face-building cursor and the panes' shared scroll are pixel offsets kept per model axis, y
// counted downward as every pane shows it. A plane reads and writes the two axes it shows; the
// cursor's third axis supplies the coordinate a click cannot give.

struct Cursor3 {
  std::int32_t x = 0, y = 0, z = 0;
  std::int32_t& operator[](int axis) { return axis == 0 ? x : axis == 1 ? y : z; }
  std::int32_t operator[](int axis) const { return axis == 0 ? x : axis == 1 ? y : z; }
};

// Scroll offsets shared by the three orthographic panes (middle drags and the arrow keys).
struct PanOffsets {
  int panX = 0, panY = 0, panZ = 0;
  int& operator[](int axis) { return axis == 0 ? panX : axis == 1 ? panY : panZ; }
  int operator[](int axis) const { return axis == 0 ? panX : axis == 1 ? panY : panZ; }
};

// True when a stored offset runs against the screen direction showing its axis.
constexpr bool StoredAgainst(ScreenAxis s) { return s.flipped != (s.axis == 1); }

// (x0, y0) moved by the offsets the plane shows: a pane's centre from its half size and the
// scroll, or the cursor cross from the centre.
template <typename Offsets>
PanePixel ShiftedBy(std::int32_t plane, int x0, int y0, const Offsets& o) {
  const PlaneAxes a = AxesOf(plane);
  const int du = o[a.u.axis], dv = o[a.v.axis];
  return PanePixel{StoredAgainst(a.u) ? x0 - du : x0 + du, StoredAgainst(a.v) ? y0 - dv : y0 + dv};
}

// Moves what the plane shows by (du, dv) screen pixels.
template <typename Offsets>
void ShiftShown(std::int32_t plane, Offsets& o, int du, int dv) {
  const PlaneAxes a = AxesOf(plane);
  if (StoredAgainst(a.u)) o[a.u.axis] -= du;
  else o[a.u.axis] += du;
  if (StoredAgainst(a.v)) o[a.v.axis] -= dv;
  else o[a.v.axis] += dv;
}

// Sets the two shown offsets so that pixel (px, py) lies at them from (cx, cy); the third stays.
template <typename Offsets>
void SetShown(std::int32_t plane, Offsets& o, int px, int py, int cx, int cy) {
  const PlaneAxes a = AxesOf(plane);
  o[a.u.axis] = StoredAgainst(a.u) ? cx - px : px - cx;
  o[a.v.axis] = StoredAgainst(a.v) ? cy - py : py - cy;
}

// The hidden axis's offset as a model coordinate in pixels.
template <typename Offsets>
double HiddenOffset(std::int32_t plane, const Offsets& o) {
  const int h = AxesOf(plane).hidden;
  return h == 1 ? -static_cast<double>(o[h]) : static_cast<double>(o[h]);
}

// The arrow keys scroll the Left pane the other way from Top and Face, as they always have.
constexpr int ArrowScrollSign(std::int32_t plane) { return plane == kPlaneLeft ? -1 : 1; }

}  // namespace mw
