#include "scene/uv_edit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <unordered_map>

namespace mw {

namespace {

// A UV value as the grouping compares it: by value, so 0 and -0 are one place.
std::uint32_t Bits(float f) {
  if (f == 0.0f) f = 0.0f;
  std::uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

struct CornerKey {
  std::uint64_t where;  // model, vertex
  std::uint64_t uv;     // u, v bits
  friend bool operator==(const CornerKey&, const CornerKey&) = default;
};
struct CornerKeyHash {
  std::size_t operator()(const CornerKey& k) const {
    std::uint64_t h = k.where * 0x9E3779B97F4A7C15ull;
    h ^= k.uv + 0x632BE59BD9B4E019ull + (h << 6) + (h >> 2);
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
};

double Dist2ToSegment(UVPoint p, UVPoint a, UVPoint b) {
  const double du = b.u - a.u, dv = b.v - a.v;
  const double len2 = du * du + dv * dv;
  double t = len2 > 0.0 ? ((p.u - a.u) * du + (p.v - a.v) * dv) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double eu = a.u + t * du - p.u, ev = a.v + t * dv - p.v;
  return eu * eu + ev * ev;
}

UVPoint At(const UVLayout& l, std::uint32_t g) { return {l.uvs[g].u, l.uvs[g].v}; }

// Stores the groups' layout positions into every corner of theirs in the scene.
void StoreGroup(CMeshwright& scene, const UVLayout& l, std::uint32_t g) {
  for (std::uint32_t k = l.groupFirst[g]; k < l.groupFirst[g + 1]; ++k) {
    const std::uint32_t corner = l.groupCorners[k];
    const UVLayout::Face& f = l.faces[l.FaceOfCorner(corner)];
    scene.models[static_cast<std::size_t>(f.model)].faces[static_cast<std::size_t>(f.face)].uvs[corner - f.first] =
        l.uvs[g];
  }
}

}  // namespace

bool ShowsUVs(const CModel& m, const CFace& f) {
  if (!f.allSelected || f.hidden || f.indices.size() < 3 || f.uvs.size() != f.indices.size()) return false;
  return std::all_of(f.indices.begin(), f.indices.end(), [&m](std::int32_t i) { return m.HasVertex(i); });
}

UVLayout UVLayout::Build(const CMeshwright& scene) {
  UVLayout l;
  std::size_t cornerCount = 0;
  for (std::size_t mi = 0; mi < scene.models.size(); ++mi) {
    const CModel& m = scene.models[mi];
    if (!m.IsEditable()) continue;
    for (std::size_t fi = 0; fi < m.faces.size(); ++fi) {
      const CFace& f = m.faces[fi];
      if (!ShowsUVs(m, f)) continue;
      l.faces.push_back({static_cast<std::int32_t>(mi), static_cast<std::int32_t>(fi),
                         static_cast<std::uint32_t>(cornerCount), static_cast<std::uint32_t>(f.indices.size())});
      cornerCount += f.indices.size();
    }
  }
  l.corners.resize(cornerCount);
  l.cornerFace.resize(cornerCount);
  for (std::uint32_t i = 0; i < l.faces.size(); ++i)
    std::fill_n(l.cornerFace.begin() + l.faces[i].first, l.faces[i].count, i);
  std::unordered_map<CornerKey, std::uint32_t, CornerKeyHash> groups;
  groups.reserve(cornerCount);
  std::vector<std::uint32_t> sizes;
  for (const Face& lf : l.faces) {
    const CFace& f = scene.models[static_cast<std::size_t>(lf.model)].faces[static_cast<std::size_t>(lf.face)];
    for (std::uint32_t k = 0; k < lf.count; ++k) {
      const CornerKey key{(static_cast<std::uint64_t>(static_cast<std::uint32_t>(lf.model)) << 32) |
                              static_cast<std::uint32_t>(f.indices[k]),
                          (static_cast<std::uint64_t>(Bits(f.uvs[k].u)) << 32) | Bits(f.uvs[k].v)};
      const auto [it, added] = groups.try_emplace(key, static_cast<std::uint32_t>(l.uvs.size()));
      if (added) {
        l.uvs.push_back(f.uvs[k]);
        sizes.push_back(0);
      }
      l.corners[lf.first + k] = it->second;
      ++sizes[it->second];
    }
  }
  l.groupFirst.assign(l.uvs.size() + 1, 0);
  for (std::size_t g = 0; g < sizes.size(); ++g) l.groupFirst[g + 1] = l.groupFirst[g] + sizes[g];
  l.groupCorners.resize(cornerCount);
  std::vector<std::uint32_t> next(l.groupFirst.begin(), l.groupFirst.end() - 1);
  for (std::uint32_t c = 0; c < cornerCount; ++c) l.groupCorners[next[l.corners[c]]++] = c;

  std::vector<std::uint64_t> edges;
  edges.reserve(cornerCount);
  for (const Face& lf : l.faces)
    for (std::uint32_t k = 0; k < lf.count; ++k) {
      std::uint32_t a = l.corners[lf.first + k], b = l.corners[lf.first + (k + 1) % lf.count];
      if (a == b) continue;
      if (a > b) std::swap(a, b);
      edges.push_back((static_cast<std::uint64_t>(a) << 32) | b);
    }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  l.edges.reserve(edges.size());
  for (std::uint64_t e : edges) l.edges.emplace_back(static_cast<std::uint32_t>(e >> 32), static_cast<std::uint32_t>(e));
  return l;
}

std::vector<std::int32_t> UVLayout::FacesOf(std::int32_t model) const {
  std::vector<std::int32_t> out;
  for (const Face& f : faces)
    if (f.model == model) out.push_back(f.face);
  return out;
}

std::int32_t PickUVVertex(const UVLayout& l, UVPoint p, double radius) {
  std::int32_t best = -1;
  double bestD = std::numeric_limits<double>::infinity();
  for (std::uint32_t g = 0; g < l.GroupCount(); ++g) {
    const double du = l.uvs[g].u - p.u, dv = l.uvs[g].v - p.v;
    if (std::fabs(du) > radius || std::fabs(dv) > radius) continue;
    const double d = du * du + dv * dv;
    if (d < bestD) bestD = d, best = static_cast<std::int32_t>(g);
  }
  return best;
}

std::int32_t PickUVEdge(const UVLayout& l, UVPoint p, double radius) {
  std::int32_t best = -1;
  double bestD = radius * radius;
  for (std::size_t e = 0; e < l.edges.size(); ++e) {
    const double d = Dist2ToSegment(p, At(l, l.edges[e].first), At(l, l.edges[e].second));
    if (d <= bestD) bestD = d, best = static_cast<std::int32_t>(e);
  }
  return best;
}

std::int32_t PickUVFace(const UVLayout& l, UVPoint p) {
  for (std::size_t i = l.faces.size(); i-- > 0;) {
    const UVLayout::Face& f = l.faces[i];
    bool inside = false;
    for (std::uint32_t k = 0, j = f.count - 1; k < f.count; j = k++) {
      const UVPoint a = At(l, l.corners[f.first + k]), b = At(l, l.corners[f.first + j]);
      if ((a.v > p.v) != (b.v > p.v) && p.u < (b.u - a.u) * (p.v - a.v) / (b.v - a.v) + a.u) inside = !inside;
    }
    if (inside) return static_cast<std::int32_t>(i);
  }
  return -1;
}

std::vector<std::uint32_t> UVVerticesIn(const UVLayout& l, const UVRect& r) {
  std::vector<std::uint32_t> out;
  for (std::uint32_t g = 0; g < l.GroupCount(); ++g) {
    const double u = l.uvs[g].u, v = l.uvs[g].v;
    if (u >= r.u0 && u <= r.u1 && v >= r.v0 && v <= r.v1) out.push_back(g);
  }
  return out;
}

std::vector<std::uint32_t> UVVerticesOfFace(const UVLayout& l, std::uint32_t f) {
  std::vector<std::uint32_t> out;
  const UVLayout::Face& face = l.faces.at(f);
  for (std::uint32_t k = 0; k < face.count; ++k) {
    const std::uint32_t g = l.corners[face.first + k];
    if (std::find(out.begin(), out.end(), g) == out.end()) out.push_back(g);
  }
  return out;
}

std::vector<std::uint32_t> FacesWithin(const UVLayout& l, std::span<const std::uint8_t> selected) {
  std::vector<std::uint32_t> out;
  for (std::uint32_t i = 0; i < l.faces.size(); ++i) {
    const UVLayout::Face& f = l.faces[i];
    bool all = true;
    for (std::uint32_t k = 0; all && k < f.count; ++k) {
      const std::uint32_t g = l.corners[f.first + k];
      all = g < selected.size() && selected[g];
    }
    if (all) out.push_back(i);
  }
  return out;
}

UVRect SelectionBounds(const UVLayout& l, std::span<const std::uint8_t> selected) {
  UVRect r{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
           -std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  for (std::uint32_t g = 0; g < l.GroupCount() && g < selected.size(); ++g) {
    if (!selected[g]) continue;
    r.u0 = std::min<double>(r.u0, l.uvs[g].u), r.u1 = std::max<double>(r.u1, l.uvs[g].u);
    r.v0 = std::min<double>(r.v0, l.uvs[g].v), r.v1 = std::max<double>(r.v1, l.uvs[g].v);
  }
  return r;
}

UVAffine UVAffine::Rotate(double degrees, UVPoint pivot) {
  // Whole quarter turns are exact, so turning a square by 90 degrees lands on its own corners.
  double sine, cosine;
  const double quarters = degrees / 90.0;
  if (quarters == std::round(quarters)) {
    const long k = ((static_cast<long>(std::round(quarters)) % 4) + 4) % 4;
    const double sines[4] = {0.0, 1.0, 0.0, -1.0}, cosines[4] = {1.0, 0.0, -1.0, 0.0};
    sine = sines[k], cosine = cosines[k];
  } else {
    const double radians = degrees * std::numbers::pi / 180.0;
    sine = std::sin(radians), cosine = std::cos(radians);
  }
  // With v downward, (u, v) -> (cos u - sin v, sin u + cos v) turns clockwise on the screen.
  UVAffine t{cosine, -sine, sine, cosine, 0.0, 0.0};
  t.tx = pivot.u - (cosine * pivot.u - sine * pivot.v);
  t.ty = pivot.v - (sine * pivot.u + cosine * pivot.v);
  return t;
}

UVAffine UVAffine::Scale(double su, double sv, UVPoint pivot) {
  return {su, 0.0, 0.0, sv, pivot.u - su * pivot.u, pivot.v - sv * pivot.v};
}

UVPoint SnapToPixels(UVPoint p, std::int32_t width, std::int32_t height) {
  if (width >= 1) p.u = std::round(p.u * width) / width;
  if (height >= 1) p.v = std::round(p.v * height) / height;
  return p;
}

std::vector<UVPoint> SelectedPositions(const UVLayout& l, std::span<const std::uint8_t> selected) {
  std::vector<UVPoint> out;
  for (std::uint32_t g = 0; g < l.GroupCount() && g < selected.size(); ++g)
    if (selected[g]) out.push_back(At(l, g));
  return out;
}

void TransformSelected(CMeshwright& scene, UVLayout& l, std::span<const std::uint8_t> selected,
                       std::span<const UVPoint> from, const UVAffine& t, std::int32_t snapWidth,
                       std::int32_t snapHeight) {
  std::size_t k = 0;
  for (std::uint32_t g = 0; g < l.GroupCount() && g < selected.size(); ++g) {
    if (!selected[g]) continue;
    if (k >= from.size()) return;
    UVPoint p = t.Apply(from[k++]);
    if (snapWidth > 0 || snapHeight > 0) p = SnapToPixels(p, snapWidth, snapHeight);
    const CUV uv(static_cast<float>(p.u), static_cast<float>(p.v));
    if (uv == l.uvs[g]) continue;
    l.uvs[g] = uv;
    StoreGroup(scene, l, g);
  }
}

void AlignSelected(CMeshwright& scene, UVLayout& l, std::span<const std::uint8_t> selected, UVAlign align) {
  const UVRect r = SelectionBounds(l, selected);
  if (r.Empty()) return;
  for (std::uint32_t g = 0; g < l.GroupCount() && g < selected.size(); ++g) {
    if (!selected[g]) continue;
    CUV uv = l.uvs[g];
    switch (align) {
      case UVAlign::kLeft: uv.u = static_cast<float>(r.u0); break;
      case UVAlign::kRight: uv.u = static_cast<float>(r.u1); break;
      case UVAlign::kTop: uv.v = static_cast<float>(r.v0); break;
      case UVAlign::kBottom: uv.v = static_cast<float>(r.v1); break;
    }
    if (uv == l.uvs[g]) continue;
    l.uvs[g] = uv;
    StoreGroup(scene, l, g);
  }
}

void FlipSelected(CMeshwright& scene, UVLayout& l, std::span<const std::uint8_t> selected, bool alongU) {
  const UVRect r = SelectionBounds(l, selected);
  if (r.Empty()) return;
  const UVPoint centre{(r.u0 + r.u1) / 2.0, (r.v0 + r.v1) / 2.0};
  const std::vector<UVPoint> from = SelectedPositions(l, selected);
  TransformSelected(scene, l, selected, from, UVAffine::Scale(alongU ? -1.0 : 1.0, alongU ? 1.0 : -1.0, centre));
}

}  // namespace mw
