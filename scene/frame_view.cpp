#include "scene/frame_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mw {
namespace {

// Of each pane side, this share is left free on either side of the framed vertices.
constexpr double kMargin = 0.05;
// Pixels kept free besides: a vertex square reaches one pixel past its point, and truncation can
// put a point one pixel further from the centre than its exact position.
constexpr double kSlackPixels = 4.0;
// The furthest a framed vertex may lie from a pane centre, in pixels: half of what the panes
// draw (ortho_plane.h's DrawablePixels), so the centre plus the offset stays drawable too.
constexpr double kFurthestPixels = 0.5e8;
// The depth range and field of view the perspective pane draws with.
constexpr double kNear = 100.0, kFar = 10000.0, kDefaultFieldOfView = 10.0;
constexpr double kDegrees = 3.14159265358979323846 / 180.0;

bool Finite(const CVector& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

struct D3 {
  double x, y, z;
};

// The camera's turn: about Z, then Y, then X, as the perspective frame applies it.
D3 Turn(const CAnimation& cam, D3 p) {
  const double a = cam.rotation.x * kDegrees, b = cam.rotation.y * kDegrees, c = cam.rotation.z * kDegrees;
  D3 q{std::cos(c) * p.x - std::sin(c) * p.y, std::sin(c) * p.x + std::cos(c) * p.y, p.z};
  q = D3{std::cos(b) * q.x + std::sin(b) * q.z, q.y, -std::sin(b) * q.x + std::cos(b) * q.z};
  return D3{q.x, std::cos(a) * q.y - std::sin(a) * q.z, std::sin(a) * q.y + std::cos(a) * q.z};
}

double FieldOfView(const CMeshwright& scene) {
  return scene.fieldOfView > 0.0f && std::isfinite(scene.fieldOfView) ? scene.fieldOfView : kDefaultFieldOfView;
}

// Width over height of the perspective pane: the given size, else the last viewport, else 1.
double Aspect(const CMeshwright& scene, PaneSize given) {
  if (given.width > 0 && given.height > 0) return static_cast<double>(given.width) / given.height;
  if (scene.viewportWidth > 0.0f && scene.viewportHeight > 0.0f)
    return static_cast<double>(scene.viewportWidth) / scene.viewportHeight;
  return 1.0;
}

// The room a pane side leaves for the framed vertices, in pixels.
double Room(int side) {
  const double room = side * (1.0 - 2.0 * kMargin) - kSlackPixels;
  return room >= 1.0 ? room : std::max(1.0, side * (1.0 - 2.0 * kMargin));
}

}  // namespace

FrameViewports DefaultViewports() {
  // The opening window (1024 x 768) less the list column, the frames, the menu, the toolbar and
  // the status bar, shared by two rows and two columns.
  FrameViewports v;
  for (PaneSize& s : v.ortho) s = PaneSize{441, 300};
  v.perspective = PaneSize{441, 300};
  return v;
}

void Bounds::Add(const CVector& p) {
  if (!Finite(p)) return;
  if (empty) {
    min = max = p;
    empty = false;
    return;
  }
  min = CVector(std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z));
  max = CVector(std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z));
}

Bounds VisibleBounds(const CMeshwright& scene, bool selectedOnly) {
  Bounds b;
  for (const CModel& m : scene.models) {
    if (m.state == kStateHidden) continue;
    for (const CVertex& v : m.vertices)
      if (!v.hidden && (!selectedOnly || v.selected)) b.Add(v.position);
  }
  return b;
}

FrameView ComputeFrame(const CMeshwright& scene, const Bounds& b, const FrameViewports& sizes) {
  FrameView f;
  f.cameraTranslation = scene.camera.translation;
  const bool zoomUsable = scene.zoom > 0.0f && std::isfinite(scene.zoom);
  f.zoom = zoomUsable ? scene.zoom : 100.0f;
  if (b.empty) return f;

  const CVector centre(static_cast<float>((static_cast<double>(b.min.x) + b.max.x) / 2),
                       static_cast<float>((static_cast<double>(b.min.y) + b.max.y) / 2),
                       static_cast<float>((static_cast<double>(b.min.z) + b.max.z) / 2));
  const double span[3] = {static_cast<double>(b.max.x) - b.min.x, static_cast<double>(b.max.y) - b.min.y,
                          static_cast<double>(b.max.z) - b.min.z};

  // The largest zoom at which each pane holds the spans it shows.
  double zoom = HUGE_VAL;
  for (int plane = kPlaneTop; plane <= kPlaneLeft; ++plane) {
    const PlaneAxes a = AxesOf(plane);
    const PaneSize s = sizes.ortho[plane];
    if (span[a.u.axis] > 0.0) zoom = std::min(zoom, 100.0 * Room(s.width) / span[a.u.axis]);
    if (span[a.v.axis] > 0.0) zoom = std::min(zoom, 100.0 * Room(s.height) / span[a.v.axis]);
  }
  if (zoom == HUGE_VAL) zoom = f.zoom;  // a single point: keep the zoom, only centre it
  // No vertex further from a pane centre than the panes can draw.
  double furthest = 0.0;
  for (const CVector& p : {b.min, b.max})
    furthest = std::max({furthest, std::fabs(static_cast<double>(p.x)), std::fabs(static_cast<double>(p.y)),
                         std::fabs(static_cast<double>(p.z))});
  if (furthest > 0.0) zoom = std::min(zoom, kFurthestPixels * 100.0 / furthest);
  f.zoom = static_cast<float>(std::clamp(zoom, static_cast<double>(std::numeric_limits<float>::min()),
                                         static_cast<double>(std::numeric_limits<float>::max())));

  // Each pan puts the centre's pixel on the middle of the panes showing that axis. Top shows x
  // and z, Face gives y.
  PanOffsets face;
  const ViewPoint top = ToView(kPlaneTop, centre), front = ToView(kPlaneFace, centre);
  ShiftShown(kPlaneTop, f.pan, -static_cast<int>(PixelsFromUnits(top.u, f.zoom)),
             -static_cast<int>(PixelsFromUnits(top.v, f.zoom)));
  ShiftShown(kPlaneFace, face, -static_cast<int>(PixelsFromUnits(front.u, f.zoom)),
             -static_cast<int>(PixelsFromUnits(front.v, f.zoom)));
  f.pan.panY = face.panY;

  // The camera looks at the centre from far enough back for the sphere round the box to fit the
  // narrower of the two fields of view, and inside the depth range where it can.
  const double s = static_cast<double>(f.zoom) / 100.0;
  const double radius = 0.5 * std::sqrt(span[0] * span[0] + span[1] * span[1] + span[2] * span[2]) * s;
  const double half = FieldOfView(scene) * kDegrees / 2.0;
  const double narrower = std::min(half, std::atan(std::tan(half) * Aspect(scene, sizes.perspective)));
  double distance = radius > 0.0 ? radius / std::sin(narrower) * (1.0 + 2.0 * kMargin) : 2000.0;
  distance = std::min(distance, kFar - radius * (1.0 + kMargin));
  distance = std::max(distance, kNear + radius * (1.0 + kMargin));
  const D3 turned = Turn(scene.camera, D3{centre.x * s, centre.y * s, centre.z * s});
  f.cameraTranslation =
      CVector(static_cast<float>(-turned.x), static_cast<float>(-turned.y), static_cast<float>(-distance - turned.z));
  return f;
}

bool FrameScene(CMeshwright& scene, PanOffsets& pan, const FrameViewports& sizes, bool selectedOnly) {
  const Bounds b = VisibleBounds(scene, selectedOnly);
  if (b.empty) return false;
  const FrameView f = ComputeFrame(scene, b, sizes);
  scene.SetZoom(f.zoom);
  pan = f.pan;
  scene.SetCameraTranslation(f.cameraTranslation);
  return true;
}

bool AllVisibleInPanes(const CMeshwright& scene, const PanOffsets& pan, const FrameViewports& sizes) {
  for (int plane = kPlaneTop; plane <= kPlaneLeft; ++plane) {
    const PaneSize s = sizes.ortho[plane];
    const PanePixel c = ShiftedBy(plane, s.width / 2, s.height / 2, pan);
    for (const CModel& m : scene.models) {
      if (m.state == kStateHidden) continue;
      for (const CVertex& v : m.vertices) {
        if (v.hidden || !Finite(v.position)) continue;
        const PanePoint p = ToPane(plane, v.position, scene.zoom, c.x, c.y);
        if (!(p.x >= 0 && p.x < s.width && p.y >= 0 && p.y < s.height)) return false;
      }
    }
  }
  return true;
}

bool NeedsFramingOnOpen(const CMeshwright& scene, const PanOffsets& pan, const FrameViewports& sizes) {
  const Bounds b = VisibleBounds(scene, false);
  if (b.empty) return false;
  if (!AllVisibleInPanes(scene, pan, sizes)) return true;
  int shortest = std::numeric_limits<int>::max();
  for (const PaneSize& s : sizes.ortho) shortest = std::min({shortest, s.width, s.height});
  const double extent = std::max({static_cast<double>(b.max.x) - b.min.x, static_cast<double>(b.max.y) - b.min.y,
                                  static_cast<double>(b.max.z) - b.min.z});
  return extent * static_cast<double>(scene.zoom) / 100.0 * 10.0 < shortest;
}

CVector PerspectiveNdc(const CMeshwright& scene, const CVector& p) {
  const double s = static_cast<double>(scene.zoom) / 100.0;
  const D3 turned = Turn(scene.camera, D3{p.x * s, p.y * s, p.z * s});
  const CVector& t = scene.camera.translation;
  const double ex = turned.x + t.x, ey = turned.y + t.y, ez = turned.z + t.z;
  if (scene.parallelCamera) {
    const double h = ParallelHalfHeight(scene);
    const double zo = (-2.0 * ez - (kFar + kNear)) / (kFar - kNear);
    return CVector(static_cast<float>(ex / (h * Aspect(scene, PaneSize{}))), static_cast<float>(ey / h),
                   static_cast<float>(zo));
  }
  const double f = 1.0 / std::tan(FieldOfView(scene) * kDegrees / 2.0);
  const double w = -ez;
  const double zc = (kFar + kNear) / (kNear - kFar) * ez + 2.0 * kFar * kNear / (kNear - kFar);
  return CVector(static_cast<float>(f / Aspect(scene, PaneSize{}) * ex / w), static_cast<float>(f * ey / w),
                 static_cast<float>(zc / w));
}

double ParallelHalfHeight(const CMeshwright& scene) {
  const double distance = std::abs(static_cast<double>(scene.camera.translation.z));
  const double half = distance * std::tan(FieldOfView(scene) * kDegrees / 2.0);
  return std::isfinite(half) ? std::max(half, 1.0) : 1.0;
}

}  // namespace mw
