// Vertex selection and the transforms of the selection.
//
// The arithmetic follows the program's long-standing behaviour exactly: float32 inputs, products
// and sums in double, results stored as float32, pixel pivots truncated toward zero to whole model
// units. Files can hold any float, so nothing here converts a float to an integer unchecked.
#include <cmath>
#include <limits>

#include "scene/meshwright.h"

namespace mw {
namespace {

constexpr double kTwoPi = 6.2831854820251465;

bool ValidPlane(std::int32_t plane) { return plane >= 0 && plane <= 2; }

// std::trunc without the library call the x86-64 baseline makes of it. Doubles of magnitude 2^52
// and above are whole already; NaN passes through.
inline double Trunc(double x) {
  return (x > -4.5e15 && x < 4.5e15) ? static_cast<double>(static_cast<std::int64_t>(x)) : x;
}

// (u, v) view coordinates of a position in a plane.
void ViewCoordinates(std::int32_t plane, const CVector& p, double& u, double& v) {
  switch (plane) {
    case kPlaneTop: u = p.x; v = p.z; break;
    case kPlaneFace: u = p.x; v = -static_cast<double>(p.y); break;
    default: u = -static_cast<double>(p.z); v = -static_cast<double>(p.y); break;
  }
}

// trunc(pixels * 100 / zoom) as an int32, saturating instead of overflowing.
double PivotUnits(int pixels, float zoom) {
  double units = std::trunc(static_cast<double>(pixels) * 100.0 / static_cast<double>(zoom));
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  if (!(units >= lo)) return units != units ? 0.0 : lo;  // NaN (zoom 0 on a blank scene) -> 0
  return units > hi ? hi : units;
}

struct Turn {
  double c, s;
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
    for (CVertex& v : m.vertices)
      if (v.selected) fn(v.position);
  }
}

// The rotation shared by the mouse and the numeric dialog; (pu, pv) in model units.
void Rotate(std::vector<CModel>& models, std::int32_t plane, Turn t, double pu, double pv) {
  if (!ValidPlane(plane)) return;
  const double c = t.c, s = t.s;
  ForEachSelectedEditable(models, [&](CVector& p) {
    switch (plane) {
      case kPlaneTop: {
        const double dx = static_cast<float>(p.x - pu), dz = static_cast<float>(p.z - pv);
        p.x = static_cast<float>(pu + (c * dx + s * dz));
        p.z = static_cast<float>(pv + (c * dz - s * dx));
        break;
      }
      case kPlaneFace: {
        const double dx = static_cast<float>(p.x - pu), dy = static_cast<float>(p.y + pv);
        p.x = static_cast<float>(pu + (c * dx + s * dy));
        p.y = static_cast<float>((c * dy - s * dx) - pv);
        break;
      }
      default: {
        const double dy = static_cast<float>(p.y + pv), dz = static_cast<float>(p.z + pu);
        p.y = static_cast<float>((c * dy + s * dz) - pv);
        p.z = static_cast<float>((c * dz - s * dy) - pu);
        break;
      }
    }
  });
}

// Adds (ku * (u-part), kv * (v-part)) per plane, and kPerp times the coordinate along the axis the
// plane hides unless `perpendicular` is false (stretching leaves that axis exactly as it is).
void Scale(std::vector<CModel>& models, std::int32_t plane, double ku, double kv, bool perpendicular, double kPerp,
           double pu, double pv) {
  if (!ValidPlane(plane)) return;
  ForEachSelectedEditable(models, [&](CVector& p) {
    const double x = p.x, y = p.y, z = p.z;
    switch (plane) {
      case kPlaneTop:
        p.x = static_cast<float>(x + ku * (x - pu));
        if (perpendicular) p.y = static_cast<float>(y + kPerp * y);
        p.z = static_cast<float>(z + kv * (z - pv));
        break;
      case kPlaneFace:
        p.x = static_cast<float>(x + ku * (x - pu));
        p.y = static_cast<float>(y + kv * (y + pv));
        if (perpendicular) p.z = static_cast<float>(z + kPerp * z);
        break;
      default:
        if (perpendicular) p.x = static_cast<float>(x + kPerp * x);
        p.y = static_cast<float>(y + kv * (y + pv));
        p.z = static_cast<float>(z + ku * (z + pu));
        break;
    }
  });
}

}  // namespace

void CMeshwright::SelectInRect(int left, int top, int right, int bottom, std::int32_t plane, std::uint8_t value,
                               int cx, int cy) {
  if (!ValidPlane(plane)) return;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  for (CModel& m : models) {
    if (value && !m.IsEditable()) continue;
    for (CVertex& vx : m.vertices) {
      double u, v;
      ViewCoordinates(plane, vx.position, u, v);
      // Compare in double: the same as the integer pixel test for every representable pixel, and
      // no overflow for far-away or non-finite coordinates (which then never match).
      const double pu = cx + Trunc(u * static_cast<double>(zoom) / 100.0);
      if (!(left < pu && pu < right)) continue;
      const double pv = cy + Trunc(v * static_cast<double>(zoom) / 100.0);
      if (!(top < pv && pv < bottom)) continue;
      vx.selected = value;
    }
    m.UpdateFaceSelection();
  }
}

void CMeshwright::SetAllSelected(std::uint8_t value) {
  for (CModel& m : models) {
    for (CVertex& v : m.vertices) v.selected = value;
    m.UpdateFaceSelection();
  }
}

void CMeshwright::SetModelSelected(std::uint8_t value) {
  if (!HasCurrentModel()) return;
  CModel& m = models[static_cast<std::size_t>(currentModel)];
  for (CVertex& v : m.vertices) v.selected = value;
  m.UpdateFaceSelection();
}

void CMeshwright::MoveSelected(float dx, float dy, float dz) {
  const CVector delta(static_cast<float>(static_cast<double>(dx) / zoom * 100.0),
                      static_cast<float>(static_cast<double>(dy) / zoom * 100.0),
                      static_cast<float>(static_cast<double>(dz) / zoom * 100.0));
  ForEachSelectedEditable(models, [&delta](CVector& p) { p += delta; });
}

void CMeshwright::RotateSelected(std::int32_t plane, float angle, int pivotU, int pivotV) {
  Rotate(models, plane, AngleToTurn(angle), PivotUnits(pivotU, zoom), PivotUnits(pivotV, zoom));
}

void CMeshwright::RotateSelectedAbout(std::int32_t plane, float angle, const CVector& centre) {
  double pu = 0, pv = 0;
  switch (plane) {
    case kPlaneTop: pu = centre.x; pv = centre.z; break;
    case kPlaneFace: pu = centre.x; pv = centre.y; break;
    case kPlaneLeft: pu = centre.z; pv = centre.y; break;
    default: return;
  }
  Rotate(models, plane, AngleToTurn(angle), pu, pv);
}

void CMeshwright::SizeSelected(std::int32_t plane, float amount, int pivotU, int pivotV) {
  const double k = static_cast<float>(static_cast<double>(amount) / zoom);
  Scale(models, plane, k, k, true, k, PivotUnits(pivotU, zoom), PivotUnits(pivotV, zoom));
}

void CMeshwright::StretchSelected(std::int32_t plane, float amountU, float amountV, int pivotU, int pivotV) {
  const double ku = static_cast<float>(static_cast<double>(amountU) / zoom);
  const double kv = static_cast<float>(static_cast<double>(amountV) / zoom);
  Scale(models, plane, ku, kv, false, 0.0, PivotUnits(pivotU, zoom), PivotUnits(pivotV, zoom));
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
