// Vertex selection and the transforms of the selection.
//
// The arithmetic follows the program's long-standing behaviour exactly: float32 inputs, products
// and sums in double, results stored as float32, pixel pivots truncated toward zero to whole model
// units. Files can hold any float, so nothing here converts a float to an integer unchecked.
#include <cmath>

#include "scene/meshwright.h"
#include "scene/symmetry.h"

namespace mw {
namespace {

constexpr double kTwoPi = 6.2831854820251465;

// Cosine and sine rounded to float32, as the program has always turned. Kept as floats so the
// rounding is part of the type: with double members GCC 12 at -O2 passed the unrounded sincos
// results on, and turns came out a few units in the last place off.
struct Turn {
  float c, s;
};

Turn AngleToTurn(float degrees) {
  const float radians = static_cast<float>(static_cast<double>(degrees) / 360.0 * kTwoPi);
  return Turn{static_cast<float>(std::cos(static_cast<double>(radians))),
              static_cast<float>(std::sin(static_cast<double>(radians)))};
}

template <typename Fn>
void ForEachSelectedEditable(std::vector<CModel>& models, Fn&& fn) {
  for (CModel& m : models) {
    if (!m.IsEditable()) continue;
    // Counterparts are found again, when the vertices changed, from the positions before the move.
    if (m.symmetryAxis && m.counterparts.size() != m.vertices.size()) BuildCounterparts(m, m.symmetryAxis);
    for (CVertex& v : m.vertices)
      if (v.selected) fn(v.position);
    if (m.symmetryAxis) MirrorSelectedEdits(m);  // the other half follows
  }
}

// A coordinate's distance from a pivot given along a screen direction, and back. A flipped
// direction adds the pivot where an unflipped one subtracts it; the operands keep their order so
// that even a NaN pivot comes out as it always has.
double FromPivot(double coordinate, double pivot, bool flipped) {
  return flipped ? coordinate + pivot : coordinate - pivot;
}
double ToPivot(double pivot, double delta, bool flipped) { return flipped ? delta - pivot : pivot + delta; }

// The rotation shared by the mouse and the numeric dialog; (pu, pv) in model units along the
// plane's screen directions.
void Rotate(std::vector<CModel>& models, Plane plane, Turn t, double pu, double pv) {
  if (!IsPlane(plane)) return;
  const PlaneAxes a = AxesOf(plane);
  const bool uFirst = a.turnFrom == a.u.axis;
  const ScreenAxis first = uFirst ? a.u : a.v, second = uFirst ? a.v : a.u;
  const double p1 = uFirst ? pu : pv, p2 = uFirst ? pv : pu;
  const double c = t.c, s = t.s;
  ForEachSelectedEditable(models, [&](CVector& p) {
    float& f = Component(p, first.axis);
    float& g = Component(p, second.axis);
    const double d1 = static_cast<float>(FromPivot(f, p1, first.flipped));
    const double d2 = static_cast<float>(FromPivot(g, p2, second.flipped));
    f = static_cast<float>(ToPivot(p1, c * d1 + s * d2, first.flipped));
    g = static_cast<float>(ToPivot(p2, c * d2 - s * d1, second.flipped));
  });
}

// Adds ku and kv times the distances from the pivot along the plane's two axes, and kPerp times
// the coordinate along the axis the plane hides unless `perpendicular` is false (stretching
// leaves that axis exactly as it is).
void Scale(std::vector<CModel>& models, Plane plane, double ku, double kv, bool perpendicular, double kPerp, double pu,
           double pv) {
  if (!IsPlane(plane)) return;
  const PlaneAxes a = AxesOf(plane);
  ForEachSelectedEditable(models, [&](CVector& p) {
    float& u = Component(p, a.u.axis);
    float& v = Component(p, a.v.axis);
    const double u0 = u, v0 = v;
    u = static_cast<float>(u0 + ku * FromPivot(u0, pu, a.u.flipped));
    v = static_cast<float>(v0 + kv * FromPivot(v0, pv, a.v.flipped));
    if (perpendicular) {
      float& h = Component(p, a.hidden);
      const double h0 = h;
      h = static_cast<float>(h0 + kPerp * h0);
    }
  });
}

}  // namespace

void CMeshwright::SelectInRect(int left, int top, int right, int bottom, Plane plane, std::uint8_t value, int cx,
                               int cy) {
  if (!IsPlane(plane)) return;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  for (CModel& m : models) {
    if (value && !m.IsEditable()) continue;
    for (CVertex& vx : m.vertices) {
      // The pixel the vertex is drawn at, compared in double: the same as the integer pixel test
      // for every representable pixel, and no overflow for far-away or non-finite coordinates
      // (which then never match).
      const PanePoint p = ToPane(plane, vx.position, zoom, cx, cy);
      if (left < p.x && p.x < right && top < p.y && p.y < bottom && !(value && vx.hidden)) vx.selected = value;
    }
    m.UpdateFaceSelection();
  }
}

void CMeshwright::SetAllSelected(std::uint8_t value) {
  for (CModel& m : models) {
    for (CVertex& v : m.vertices) v.selected = value && !v.hidden;
    m.UpdateFaceSelection();
  }
}

void CMeshwright::SetModelSelected(std::uint8_t value) {
  if (!HasCurrentModel()) return;
  CModel& m = models[static_cast<std::size_t>(currentModel)];
  for (CVertex& v : m.vertices) v.selected = value && !v.hidden;
  m.UpdateFaceSelection();
}

void CMeshwright::MoveSelected(float dx, float dy, float dz) {
  const CVector delta(UnitsFromPixels(dx, zoom), UnitsFromPixels(dy, zoom), UnitsFromPixels(dz, zoom));
  ForEachSelectedEditable(models, [&delta](CVector& p) { p += delta; });
}

std::vector<CVector> CMeshwright::SelectedPositions() const {
  std::vector<CVector> out;
  for (const CModel& m : models) {
    if (!m.IsEditable()) continue;
    for (const CVertex& v : m.vertices)
      if (v.selected) out.push_back(v.position);
  }
  return out;
}

void CMeshwright::RestoreSelectedPositions(const std::vector<CVector>& positions) {
  std::size_t i = 0;
  ForEachSelectedEditable(models, [&](CVector& p) {
    if (i < positions.size()) p = positions[i++];
  });
}

void CMeshwright::TranslateSelected(double ux, double uy, double uz) {
  ForEachSelectedEditable(models, [&](CVector& p) {
    p = CVector(static_cast<float>(p.x + ux), static_cast<float>(p.y + uy), static_cast<float>(p.z + uz));
  });
}

void CMeshwright::RotateSelected(Plane plane, float angle, int pivotU, int pivotV) {
  Rotate(models, plane, AngleToTurn(angle), WholeUnitsFromPixels(pivotU, zoom), WholeUnitsFromPixels(pivotV, zoom));
}

void CMeshwright::RotateSelectedAbout(Plane plane, float angle, const CVector& centre) {
  // The dialog's centre is read along the plane's axes without their screen signs, so in Face and
  // Left the turn goes about -y (and in Left about -z): long-standing behaviour.
  if (!IsPlane(plane)) return;
  const PlaneAxes a = AxesOf(plane);
  Rotate(models, plane, AngleToTurn(angle), Component(centre, a.u.axis), Component(centre, a.v.axis));
}

void CMeshwright::SizeSelected(Plane plane, float amount, int pivotU, int pivotV) {
  const double k = static_cast<float>(static_cast<double>(amount) / zoom);
  Scale(models, plane, k, k, true, k, WholeUnitsFromPixels(pivotU, zoom), WholeUnitsFromPixels(pivotV, zoom));
}

void CMeshwright::StretchSelected(Plane plane, float amountU, float amountV, int pivotU, int pivotV) {
  const double ku = static_cast<float>(static_cast<double>(amountU) / zoom);
  const double kv = static_cast<float>(static_cast<double>(amountV) / zoom);
  Scale(models, plane, ku, kv, false, 0.0, WholeUnitsFromPixels(pivotU, zoom), WholeUnitsFromPixels(pivotV, zoom));
}

void CMeshwright::ScaleSelectedAbout(const CVector& centre, const CVector& factor) {
  const double cx = centre.x, cy = centre.y, cz = centre.z;
  ForEachSelectedEditable(models, [&](CVector& p) {
    p.x = static_cast<float>(cx + factor.x * (p.x - cx));
    p.y = static_cast<float>(cy + factor.y * (p.y - cy));
    p.z = static_cast<float>(cz + factor.z * (p.z - cz));
  });
}

}  // namespace mw
