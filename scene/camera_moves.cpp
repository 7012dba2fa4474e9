#include "scene/camera_moves.h"

#include <cmath>
#include <numbers>

namespace mw {
namespace {

constexpr double kDegrees = std::numbers::pi / 180.0;

struct D3 {
  double x, y, z;
};

// The frame's turn: about Z first, then Y, then X (glRotate X, Y, Z in that order).
D3 Turn(const CVector& r, D3 p) {
  const double a = r.x * kDegrees, b = r.y * kDegrees, c = r.z * kDegrees;
  D3 q{std::cos(c) * p.x - std::sin(c) * p.y, std::sin(c) * p.x + std::cos(c) * p.y, p.z};
  q = D3{std::cos(b) * q.x + std::sin(b) * q.z, q.y, -std::sin(b) * q.x + std::cos(b) * q.z};
  return D3{q.x, std::cos(a) * q.y - std::sin(a) * q.z, std::sin(a) * q.y + std::cos(a) * q.z};
}

double FieldOfViewOf(const CMeshwright& scene) {
  return scene.fieldOfView > 0.0f && std::isfinite(scene.fieldOfView) ? scene.fieldOfView : 10.0;
}

}  // namespace

CVector EyeOf(const CMeshwright& scene, const CVector& p) {
  const double s = static_cast<double>(scene.zoom) / 100.0;
  const D3 e = Turn(scene.camera.rotation, D3{p.x * s, p.y * s, p.z * s});
  const CVector& t = scene.camera.translation;
  return CVector(static_cast<float>(e.x + t.x), static_cast<float>(e.y + t.y), static_cast<float>(e.z + t.z));
}

void OrbitCamera(CMeshwright& scene, const CVector& turn, const CVector& pivot) {
  const double s = static_cast<double>(scene.zoom) / 100.0;
  const D3 p{pivot.x * s, pivot.y * s, pivot.z * s};
  const D3 before = Turn(scene.camera.rotation, p);
  scene.AddCameraRotation(turn);
  const D3 after = Turn(scene.camera.rotation, p);
  CVector& t = scene.camera.translation;
  t = CVector(static_cast<float>(t.x + before.x - after.x), static_cast<float>(t.y + before.y - after.y),
              static_cast<float>(t.z + before.z - after.z));
}

std::optional<CVector> OrbitPivot(const CMeshwright& scene) {
  for (bool selectedOnly : {true, false}) {
    double sum[3] = {0.0, 0.0, 0.0};
    std::size_t n = 0;
    for (const CModel& m : scene.models) {
      if (m.state == kStateHidden) continue;
      for (const CVertex& v : m.vertices) {
        if (v.hidden || (selectedOnly && !v.selected)) continue;
        sum[0] += v.position.x, sum[1] += v.position.y, sum[2] += v.position.z;
        ++n;
      }
    }
    if (n)
      return CVector(static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n), static_cast<float>(sum[2] / n));
  }
  return std::nullopt;
}

void ZoomTowards(CMeshwright& scene, float delta, double ndcX, double ndcY) {
  const double before = scene.zoom;
  scene.AddZoom(delta);
  if (!(before > 0.0)) return;
  const double k = scene.zoom / before;
  CVector& t = scene.camera.translation;
  const double half = std::abs(static_cast<double>(t.z)) * std::tan(FieldOfViewOf(scene) * kDegrees / 2.0);
  const double aspect = scene.viewportWidth > 0.0f && scene.viewportHeight > 0.0f
                            ? static_cast<double>(scene.viewportWidth) / scene.viewportHeight
                            : 1.0;
  // The point under the pointer at the origin's depth keeps its place while everything scales
  // about the origin's eye position.
  const double qx = ndcX * half * aspect, qy = ndcY * half;
  const double x = qx + k * (t.x - qx), y = qy + k * (t.y - qy);
  if (std::isfinite(x) && std::isfinite(y)) t.x = static_cast<float>(x), t.y = static_cast<float>(y);
}

CVector AxisViewRotation(AxisView view) {
  switch (view) {
    case AxisView::kFront: return CVector(0.0f, 0.0f, 0.0f);
    case AxisView::kBack: return CVector(0.0f, 180.0f, 0.0f);
    case AxisView::kLeft: return CVector(0.0f, -90.0f, 0.0f);
    case AxisView::kRight: return CVector(0.0f, 90.0f, 0.0f);
    case AxisView::kTop: return CVector(90.0f, 0.0f, 0.0f);
    case AxisView::kBottom: return CVector(-90.0f, 0.0f, 0.0f);
  }
  return CVector();
}

CVector BlendRotation(const CVector& from, const CVector& to, double t) {
  auto blend = [t](double a, double b) {
    double d = std::fmod(b - a, 360.0);
    if (d > 180.0) d -= 360.0;
    if (d < -180.0) d += 360.0;
    return static_cast<float>(t >= 1.0 ? b : a + d * t);
  };
  return CVector(blend(from.x, to.x), blend(from.y, to.y), blend(from.z, to.z));
}

}  // namespace mw
