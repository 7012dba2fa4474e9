#include "scene/picking.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "scene/frame_view.h"

namespace mw {
namespace {

bool Drawn(const CModel& m) { return m.state != kStateHidden; }

std::vector<ScreenPoint> ProjectModel(const CModel& m, const PaneProjection& view) {
  std::vector<ScreenPoint> out(m.vertices.size());
  for (std::size_t i = 0; i < m.vertices.size(); ++i) out[i] = view(m.vertices[i].position);
  return out;
}

// Twice the signed area of (a, b, p).
double Edge(const ScreenPoint& a, const ScreenPoint& b, double px, double py) {
  return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
}

// The depth of triangle (a, b, c) at (px, py) when the point lies inside it (edges included).
bool DepthInTriangle(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c, double px, double py,
                     double& depth) {
  const double area = Edge(a, b, c.x, c.y);
  if (area == 0.0 || !std::isfinite(area)) return false;
  double w0 = Edge(b, c, px, py), w1 = Edge(c, a, px, py), w2 = Edge(a, b, px, py);
  if (area < 0.0) w0 = -w0, w1 = -w1, w2 = -w2;
  if (w0 < 0.0 || w1 < 0.0 || w2 < 0.0) return false;
  const double s = std::fabs(area);
  depth = (w0 * a.depth + w1 * b.depth + w2 * c.depth) / s;
  return true;
}

// Calls fn(a, b, c) with the corner numbers of every fan triangle of f whose corners all show.
template <typename Fn>
void ForEachTriangle(const CFace& f, const std::vector<ScreenPoint>& pts, Fn&& fn) {
  const std::size_t n = f.indices.size();
  if (n < 3) return;
  const auto ok = [&pts](std::int32_t i) {
    return i >= 0 && static_cast<std::size_t>(i) < pts.size() && pts[static_cast<std::size_t>(i)].ok;
  };
  if (!ok(f.indices[0])) return;
  for (std::size_t k = 1; k + 1 < n; ++k)
    if (ok(f.indices[k]) && ok(f.indices[k + 1])) fn(f.indices[0], f.indices[k], f.indices[k + 1]);
}

// Distance from (px, py) to segment ab, and the depth at its nearest point.
double SegmentDistance(const ScreenPoint& a, const ScreenPoint& b, double px, double py, double& depth) {
  const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  double t = len2 > 0.0 ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  depth = a.depth + t * (b.depth - a.depth);
  return std::hypot(a.x + t * dx - px, a.y + t * dy - py);
}

template <typename Fn>
void ForEachSide(const CFace& f, std::size_t vertexCount, Fn&& fn) {
  const std::size_t n = f.indices.size();
  if (n < 2) return;
  const std::size_t sides = n == 2 ? 1 : n;
  for (std::size_t k = 0; k < sides; ++k) {
    const std::int32_t a = f.indices[k], b = f.indices[(k + 1) % n];
    if (a >= 0 && b >= 0 && static_cast<std::size_t>(a) < vertexCount && static_cast<std::size_t>(b) < vertexCount &&
        a != b)
      fn(a, b);
  }
}

// Orders candidates: nearer on screen, then nearer in depth; earlier ones win what is left.
struct Best {
  double distance = std::numeric_limits<double>::infinity(), depth = std::numeric_limits<double>::infinity();
  bool Better(double d, double z) const { return d < distance || (d == distance && z < depth); }
};

}  // namespace

PaneProjection PaneProjection::Ortho(const CMeshwright& scene, Plane plane, int cx, int cy) {
  PaneProjection p;
  p.scene_ = &scene;
  p.plane_ = plane;
  p.cx_ = cx, p.cy_ = cy, p.width_ = 2 * cx, p.height_ = 2 * cy;
  // Into the screen is right x down.
  const PlaneAxes a = AxesOf(plane);
  double u[3] = {0, 0, 0}, v[3] = {0, 0, 0};
  u[a.u.axis] = a.u.flipped ? -1.0 : 1.0;
  v[a.v.axis] = a.v.flipped ? -1.0 : 1.0;
  p.into_[0] = u[1] * v[2] - u[2] * v[1];
  p.into_[1] = u[2] * v[0] - u[0] * v[2];
  p.into_[2] = u[0] * v[1] - u[1] * v[0];
  return p;
}

PaneProjection PaneProjection::Perspective(const CMeshwright& scene, int width, int height) {
  PaneProjection p;
  p.scene_ = &scene;
  p.perspective_ = true;
  p.width_ = width, p.height_ = height;
  return p;
}

ScreenPoint PaneProjection::operator()(const CVector& p) const {
  ScreenPoint s;
  if (!perspective_) {
    const PanePoint q = ToPane(plane_, p, scene_->zoom, cx_, cy_);
    s.x = q.x, s.y = q.y;
    s.depth = into_[0] * p.x + into_[1] * p.y + into_[2] * p.z;
  } else {
    const CVector ndc = PerspectiveNdc(*scene_, p);
    s.x = (static_cast<double>(ndc.x) + 1.0) * width_ / 2.0;
    s.y = (1.0 - static_cast<double>(ndc.y)) * height_ / 2.0;
    s.depth = ndc.z;
    // Behind the camera the depth comes out above 1, nearer than the near plane below -1.
    if (!(ndc.z >= -1.0f && ndc.z <= 1.0f)) return s;
  }
  s.ok = std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.depth);
  return s;
}

DepthRaster::DepthRaster(const CMeshwright& scene, const PaneProjection& view)
    : width_(std::max(0, view.Width())), height_(std::max(0, view.Height())) {
  const std::size_t pixels = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  depth_.assign(pixels, std::numeric_limits<float>::infinity());
  face_.assign(pixels, 0);
  std::uint32_t flat = 0;
  for (const CModel& m : scene.models) {
    firstFace_.push_back(flat);
    flat += static_cast<std::uint32_t>(m.faces.size());
  }
  shown_.assign(flat, 0);
  for (std::size_t mi = 0; mi < scene.models.size(); ++mi) {
    const CModel& m = scene.models[mi];
    if (!Drawn(m)) continue;
    const std::vector<ScreenPoint> pts = ProjectModel(m, view);
    for (std::size_t fi = 0; fi < m.faces.size(); ++fi) {
      const CFace& f = m.faces[fi];
      if (f.hidden) continue;
      const std::uint32_t id = firstFace_[mi] + static_cast<std::uint32_t>(fi) + 1;
      ForEachTriangle(f, pts, [&](std::int32_t i0, std::int32_t i1, std::int32_t i2) {
        const ScreenPoint &a = pts[static_cast<std::size_t>(i0)], &b = pts[static_cast<std::size_t>(i1)],
                          &c = pts[static_cast<std::size_t>(i2)];
        const double x0 = std::max(0.0, std::floor(std::min({a.x, b.x, c.x}) - 0.5));
        const double x1 = std::min(width_ - 1.0, std::ceil(std::max({a.x, b.x, c.x}) - 0.5));
        const double y0 = std::max(0.0, std::floor(std::min({a.y, b.y, c.y}) - 0.5));
        const double y1 = std::min(height_ - 1.0, std::ceil(std::max({a.y, b.y, c.y}) - 0.5));
        for (double y = y0; y <= y1; ++y)
          for (double x = x0; x <= x1; ++x) {
            double z;
            if (!DepthInTriangle(a, b, c, x + 0.5, y + 0.5, z)) continue;
            const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                   static_cast<std::size_t>(x);
            if (z < depth_[at]) {
              depth_[at] = static_cast<float>(z);
              face_[at] = id;
            }
          }
      });
    }
  }
  for (std::uint32_t id : face_)
    if (id) shown_[id - 1] = 1;
}

bool DepthRaster::Visible(double x, double y, double depth) const {
  if (!(x >= 0.0 && y >= 0.0 && x < width_ && y < height_)) return true;
  const int px = static_cast<int>(x), py = static_cast<int>(y);
  const auto at = [this](int i, int j) { return depth_[static_cast<std::size_t>(j) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(i)]; };
  const float here = at(px, py);
  if (!std::isfinite(here)) return true;
  double slope = 0.0;
  for (int j = std::max(0, py - 1); j <= std::min(height_ - 1, py + 1); ++j)
    for (int i = std::max(0, px - 1); i <= std::min(width_ - 1, px + 1); ++i)
      if (std::isfinite(at(i, j))) slope = std::max(slope, std::fabs(static_cast<double>(at(i, j)) - here));
  return depth <= here + slope + 1e-6;
}

std::pair<std::int32_t, std::int32_t> DepthRaster::FaceAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {-1, -1};
  const std::uint32_t id = face_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
  if (!id) return {-1, -1};
  const auto it = std::upper_bound(firstFace_.begin(), firstFace_.end(), id - 1);
  const auto m = static_cast<std::int32_t>(it - firstFace_.begin()) - 1;
  return {m, static_cast<std::int32_t>(id - 1 - firstFace_[static_cast<std::size_t>(m)])};
}

bool DepthRaster::FaceShown(std::int32_t m, std::int32_t f) const {
  if (m < 0 || static_cast<std::size_t>(m) >= firstFace_.size()) return false;
  const std::size_t flat = firstFace_[static_cast<std::size_t>(m)] + static_cast<std::size_t>(f);
  return flat < shown_.size() && shown_[flat];
}

PickHit PickAt(const CMeshwright& scene, const PaneProjection& view, const DepthRaster* raster, double px, double py,
               const PickOptions& options) {
  const bool hiding = view.IsPerspective() && !options.throughBack && raster;
  PickHit hit;
  Best best;
  for (std::size_t mi = 0; mi < scene.models.size(); ++mi) {
    const CModel& m = scene.models[mi];
    if (!m.IsEditable()) continue;
    const auto model = static_cast<std::int32_t>(mi);
    const std::vector<ScreenPoint> pts = ProjectModel(m, view);
    if (options.mode == kSelectVertices) {
      for (std::size_t i = 0; i < pts.size(); ++i) {
        const ScreenPoint& s = pts[i];
        if (!s.ok || m.vertices[i].hidden) continue;
        const double d = std::hypot(s.x - px, s.y - py);
        if (d > options.radius || !best.Better(d, s.depth)) continue;
        if (hiding && !raster->Visible(s.x, s.y, s.depth)) continue;
        best = Best{d, s.depth};
        hit = PickHit{model, static_cast<std::int32_t>(i), -1, -1, -1};
      }
    } else if (options.mode == kSelectEdges) {
      for (const CFace& f : m.faces) {
        if (f.hidden) continue;
        ForEachSide(f, m.vertices.size(), [&](std::int32_t a, std::int32_t b) {
          const ScreenPoint &sa = pts[static_cast<std::size_t>(a)], &sb = pts[static_cast<std::size_t>(b)];
          if (!sa.ok || !sb.ok) return;
          double z;
          const double d = SegmentDistance(sa, sb, px, py, z);
          if (d > options.radius || !best.Better(d, z)) return;
          // The same edge met again from its other face keeps the first find.
          if (hit.model == model && EdgeKey(hit.a, hit.b) == EdgeKey(a, b)) return;
          if (hiding) {
            const double dx = sb.x - sa.x, dy = sb.y - sa.y, len2 = dx * dx + dy * dy;
            const double u = len2 > 0.0 ? std::clamp(((px - sa.x) * dx + (py - sa.y) * dy) / len2, 0.0, 1.0) : 0.0;
            if (!raster->Visible(sa.x + u * dx, sa.y + u * dy, z)) return;
          }
          best = Best{d, z};
          hit = PickHit{model, -1, std::min(a, b), std::max(a, b), -1};
        });
      }
    } else {
      for (std::size_t fi = 0; fi < m.faces.size(); ++fi) {
        const CFace& f = m.faces[fi];
        if (f.hidden) continue;
        double nearest = std::numeric_limits<double>::infinity();
        ForEachTriangle(f, pts, [&](std::int32_t i0, std::int32_t i1, std::int32_t i2) {
          double z;
          if (DepthInTriangle(pts[static_cast<std::size_t>(i0)], pts[static_cast<std::size_t>(i1)],
                              pts[static_cast<std::size_t>(i2)], px, py, z))
            nearest = std::min(nearest, z);
        });
        if (!std::isfinite(nearest) || !best.Better(0.0, nearest)) continue;
        best = Best{0.0, nearest};
        hit = PickHit{model, -1, -1, -1, static_cast<std::int32_t>(fi)};
      }
    }
  }
  // A face behind a locked model's face is hidden by it: nothing is picked there.
  if (hiding && options.mode == kSelectFaces && hit.Found()) {
    const auto [m, f] = raster->FaceAt(static_cast<int>(std::floor(px)), static_cast<int>(std::floor(py)));
    if (m >= 0 && (m != hit.model || f != hit.face) && !scene.models[static_cast<std::size_t>(m)].IsEditable())
      return PickHit{};
  }
  return hit;
}

namespace {

void ClearSelection(CMeshwright& scene) {
  for (CModel& m : scene.models) {
    for (CVertex& v : m.vertices) v.selected = 0;
    for (CFace& f : m.faces) f.selected = 0, f.allSelected = 0;
    m.selectedEdges.clear();
  }
}

}  // namespace

bool ApplyPick(CMeshwright& scene, const PickHit& hit, PickOp op) {
  const SelectMode mode = SelectModeOf(scene);
  if (op == PickOp::kReplace) ClearSelection(scene);
  if (!hit.Found() || static_cast<std::size_t>(hit.model) >= scene.models.size()) return op == PickOp::kReplace;
  CModel& m = scene.models[static_cast<std::size_t>(hit.model)];
  bool value = true;
  if (mode == kSelectVertices && m.HasVertex(hit.vertex)) {
    CVertex& v = m.vertices[static_cast<std::size_t>(hit.vertex)];
    value = op == PickOp::kToggle ? !v.selected : true;
    v.selected = value;
    m.UpdateFaceSelection();
  } else if (mode == kSelectEdges && m.HasVertex(hit.a) && m.HasVertex(hit.b)) {
    value = op == PickOp::kToggle ? !EdgeSelected(m, hit.a, hit.b) : true;
    MarkEdge(m, hit.a, hit.b, value);
    SelectVerticesOfElements(m, mode);
  } else if (mode == kSelectFaces && hit.face >= 0 && static_cast<std::size_t>(hit.face) < m.faces.size()) {
    CFace& f = m.faces[static_cast<std::size_t>(hit.face)];
    value = op == PickOp::kToggle ? !f.selected : true;
    f.selected = value;
    SelectVerticesOfElements(m, mode);
  }
  return true;
}

void SelectInBand(CMeshwright& scene, const PaneProjection& view, const DepthRaster* raster, double x0, double y0,
                  double x1, double y1, std::uint8_t value, bool throughBack) {
  const SelectMode mode = SelectModeOf(scene);
  const bool hiding = view.IsPerspective() && !throughBack && raster;
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  const auto inside = [&](const ScreenPoint& s) { return s.ok && x0 < s.x && s.x < x1 && y0 < s.y && s.y < y1; };
  for (std::size_t mi = 0; mi < scene.models.size(); ++mi) {
    CModel& m = scene.models[mi];
    if (value && !m.IsEditable()) continue;
    const std::vector<ScreenPoint> pts = ProjectModel(m, view);
    if (mode == kSelectVertices) {
      for (std::size_t i = 0; i < pts.size(); ++i) {
        if (!inside(pts[i]) || (value && m.vertices[i].hidden)) continue;
        if (hiding && !raster->Visible(pts[i].x, pts[i].y, pts[i].depth)) continue;
        m.vertices[i].selected = value;
      }
      m.UpdateFaceSelection();
      continue;
    }
    std::vector<std::uint64_t> edges;  // reached by the band; merged once, not inserted one by one
    for (std::size_t fi = 0; fi < m.faces.size(); ++fi) {
      CFace& f = m.faces[fi];
      if (f.hidden) continue;
      const bool all = !f.indices.empty() && std::all_of(f.indices.begin(), f.indices.end(), [&](std::int32_t i) {
        return m.HasVertex(i) && inside(pts[static_cast<std::size_t>(i)]);
      });
      if (mode == kSelectFaces) {
        if (all && (!hiding || raster->FaceShown(static_cast<std::int32_t>(mi), static_cast<std::int32_t>(fi))))
          f.selected = value;
        continue;
      }
      ForEachSide(f, m.vertices.size(), [&](std::int32_t a, std::int32_t b) {
        const ScreenPoint &sa = pts[static_cast<std::size_t>(a)], &sb = pts[static_cast<std::size_t>(b)];
        if (!inside(sa) || !inside(sb)) return;
        if (hiding && !raster->Visible((sa.x + sb.x) / 2, (sa.y + sb.y) / 2, (sa.depth + sb.depth) / 2)) return;
        edges.push_back(EdgeKey(a, b));
      });
    }
    // An edge inside the band is met once from each of its faces.
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    if (value) {
      std::vector<std::uint64_t> merged;
      std::set_union(m.selectedEdges.begin(), m.selectedEdges.end(), edges.begin(), edges.end(),
                     std::back_inserter(merged));
      m.selectedEdges.swap(merged);
    } else {
      std::erase_if(m.selectedEdges,
                    [&edges](std::uint64_t key) { return std::binary_search(edges.begin(), edges.end(), key); });
    }
    SelectVerticesOfElements(m, mode);
  }
}

}  // namespace mw
