#include "scene/mesh_tools.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

#include "scene/polygon_triangles.h"
#include "scene/uv_ops.h"

namespace mw {
namespace {

// Disjoint sets with path halving and union by size.
class Groups {
 public:
  explicit Groups(std::size_t n) : parent_(n), size_(n, 1) { std::iota(parent_.begin(), parent_.end(), 0u); }
  std::uint32_t Find(std::uint32_t i) {
    while (parent_[i] != i) {
      parent_[i] = parent_[parent_[i]];
      i = parent_[i];
    }
    return i;
  }
  void Join(std::uint32_t a, std::uint32_t b) {
    a = Find(a);
    b = Find(b);
    if (a == b) return;
    if (size_[a] < size_[b]) std::swap(a, b);
    parent_[b] = a;
    size_[a] += size_[b];
  }

 private:
  std::vector<std::uint32_t> parent_;
  std::vector<std::uint32_t> size_;
};

// ---- weld ----

// Cells of a little over half the distance, so that a cell is narrower than the distance and two
// vertices closer than it lie at most two cells apart on every axis.
constexpr std::int64_t kReach = 2;
// Cell coordinates as sort keys. Usually a model spans fewer than 2^21 cells on every axis and
// the three fit one 64-bit number (x highest), which sorts faster; otherwise they stay three.
struct WideKeys {
  using Key = std::array<std::int64_t, 3>;
  Key Make(std::int64_t x, std::int64_t y, std::int64_t z) const { return {x, y, z}; }
  static Key Shift(const Key& k, std::int64_t dx, std::int64_t dy, std::int64_t dz) {
    return {k[0] + dx, k[1] + dy, k[2] + dz};
  }
};

struct PackedKeys {
  using Key = std::uint64_t;
  static constexpr int kBits = 21;
  static constexpr std::uint64_t kMask = (std::uint64_t{1} << kBits) - 1;
  // The span of cells this packing holds, with room for the neighbours either side.
  static constexpr std::int64_t kSpan = (std::int64_t{1} << kBits) - 1 - 2 * kReach;
  std::int64_t base[3];  // the lowest cell on each axis, less the reach
  Key Make(std::int64_t x, std::int64_t y, std::int64_t z) const {
    return Pack(static_cast<std::uint64_t>(x - base[0]), static_cast<std::uint64_t>(y - base[1]),
                static_cast<std::uint64_t>(z - base[2]));
  }
  static Key Shift(Key k, std::int64_t dx, std::int64_t dy, std::int64_t dz) {
    return Pack((k >> (2 * kBits)) + static_cast<std::uint64_t>(dx), ((k >> kBits) & kMask) + static_cast<std::uint64_t>(dy),
                (k & kMask) + static_cast<std::uint64_t>(dz));
  }
  static Key Pack(std::uint64_t x, std::uint64_t y, std::uint64_t z) { return (x << (2 * kBits)) | (y << kBits) | z; }
};

template <typename Key>
struct WeldItem {
  Key cell;  // sorting by it sorts by x, then y, then z
  std::uint32_t vertex;
  float p[3];  // widened to double wherever they are compared
};

struct WeldCell {
  std::uint32_t begin, end;  // into the sorted items
  double lo[3], hi[3];       // bounding box of its vertices
  bool whole = false;        // every vertex of the cell is already in one group
};

template <typename Keys>
class Welder {
 public:
  using Key = typename Keys::Key;
  using Item = WeldItem<Key>;
  Welder(std::vector<Item>& items, double distance)
      : items_(items), groups_(items.size()), limit_(distance * distance) {}

  void Run() {
    BuildCells();
    const std::size_t count = cells_.size();
    // The cell pairs (c, q) with q after c in key order and within reach: the rest of c's own
    // column, then one sweep pointer per (dx, dy) column ahead. Each pointer only moves forward,
    // because c's columns ahead grow with c in key order.
    struct Column {
      std::int64_t dx, dy;
    };
    std::vector<Column> ahead;
    for (std::int64_t dx = 0; dx <= kReach; ++dx)
      for (std::int64_t dy = -kReach; dy <= kReach; ++dy)
        if (dx > 0 || dy > 0) ahead.push_back({dx, dy});
    std::vector<std::size_t> pointer(ahead.size(), 0);
    for (std::size_t c = 0; c < count; ++c) {
      LinkWithin(cells_[c]);
      const Key& k = CellKey(c);
      const Key columnEnd = Keys::Shift(k, 0, 0, kReach);
      for (std::size_t q = c + 1; q < count && CellKey(q) <= columnEnd; ++q) Link(cells_[c], cells_[q]);
      for (std::size_t t = 0; t < ahead.size(); ++t) {
        const Key low = Keys::Shift(k, ahead[t].dx, ahead[t].dy, -kReach);
        const Key high = Keys::Shift(k, ahead[t].dx, ahead[t].dy, kReach);
        std::size_t& q = pointer[t];
        while (q < count && CellKey(q) < low) ++q;
        for (std::size_t r = q; r < count && CellKey(r) <= high; ++r) Link(cells_[c], cells_[r]);
      }
    }
  }
  Groups& groups() { return groups_; }

 private:
  const Key& CellKey(std::size_t c) const { return items_[cells_[c].begin].cell; }

  void BuildCells() {
    cells_.reserve(items_.size());
    for (std::uint32_t i = 0; i < items_.size();) {
      WeldCell cell{};
      cell.begin = i;
      for (int a = 0; a < 3; ++a) cell.lo[a] = cell.hi[a] = items_[i].p[a];
      for (++i; i < items_.size() && items_[i].cell == items_[cell.begin].cell; ++i)
        for (int a = 0; a < 3; ++a) {
          cell.lo[a] = std::min<double>(cell.lo[a], items_[i].p[a]);
          cell.hi[a] = std::max<double>(cell.hi[a], items_[i].p[a]);
        }
      cell.end = i;
      cells_.push_back(cell);
    }
  }

  bool Close(const Item& a, const Item& b) const {
    const double dx = static_cast<double>(a.p[0]) - b.p[0], dy = static_cast<double>(a.p[1]) - b.p[1],
                 dz = static_cast<double>(a.p[2]) - b.p[2];
    return dx * dx + dy * dy + dz * dz < limit_;
  }

  void JoinAll(const WeldCell& a) {
    for (std::uint32_t i = a.begin + 1; i < a.end; ++i) groups_.Join(a.begin, i);
  }

  // Pairs inside one cell. A cell narrower than the distance (the usual case: its side is at most
  // half of it) is one group without comparing pairs.
  void LinkWithin(WeldCell& a) {
    double span = 0;
    for (int k = 0; k < 3; ++k) span += (a.hi[k] - a.lo[k]) * (a.hi[k] - a.lo[k]);
    if (span < limit_) {
      JoinAll(a);
      a.whole = true;
      return;
    }
    for (std::uint32_t i = a.begin; i < a.end; ++i)
      for (std::uint32_t j = i + 1; j < a.end; ++j)
        if (groups_.Find(i) != groups_.Find(j) && Close(items_[i], items_[j])) groups_.Join(i, j);
  }

  // Pairs across two cells, decided by their boxes where the boxes decide it: computed distances
  // round monotonically, so no pair can be nearer than the boxes' nearest or farther than their
  // farthest points.
  void Link(WeldCell& a, WeldCell& b) {
    if (a.whole && b.whole && groups_.Find(a.begin) == groups_.Find(b.begin)) return;
    double nearest = 0, farthest = 0;
    for (int k = 0; k < 3; ++k) {
      const double gap = std::max({0.0, a.lo[k] - b.hi[k], b.lo[k] - a.hi[k]});
      const double reach = std::max(a.hi[k] - b.lo[k], b.hi[k] - a.lo[k]);
      nearest += gap * gap;
      farthest += reach * reach;
    }
    if (nearest >= limit_) return;
    if (farthest < limit_) {
      JoinAll(a);
      JoinAll(b);
      groups_.Join(a.begin, b.begin);
      a.whole = b.whole = true;
      return;
    }
    // Two cells that are each one group are one group after the first close pair.
    const bool once = a.whole && b.whole;
    for (std::uint32_t i = a.begin; i < a.end; ++i)
      for (std::uint32_t j = b.begin; j < b.end; ++j)
        if (groups_.Find(i) != groups_.Find(j) && Close(items_[i], items_[j])) {
          groups_.Join(i, j);
          if (once) return;
        }
  }

  std::vector<Item>& items_;
  std::vector<WeldCell> cells_;
  Groups groups_;
  double limit_;
};

// Cell coordinates are counted from zero, not from the lowest vertex: a difference of floats far
// apart rounds, a quotient of one float does not lose the order of two close ones. Past 2^60
// floats are so far apart that vertices closer than any distance the cells are made for share
// their coordinates, and so their cell.
std::int64_t CellOf(float x, double side) {
  constexpr double kFarthest = 1152921504606846976.0;  // 2^60
  return static_cast<std::int64_t>(std::clamp(std::floor(static_cast<double>(x) / side), -kFarthest, kFarthest));
}

// Groups the vertices `taking` (in increasing order) by the weld's rule; returns each one's group
// as an index into `taking`.
template <typename Keys>
std::vector<std::uint32_t> GroupCells(const CModel& model, const std::vector<std::uint32_t>& taking, double side,
                                      double distance, const Keys& keys) {
  using Item = WeldItem<typename Keys::Key>;
  std::vector<Item> items;
  items.reserve(taking.size());
  for (std::uint32_t v : taking) {
    const CVector& p = model.vertices[v].position;
    items.push_back({keys.Make(CellOf(p.x, side), CellOf(p.y, side), CellOf(p.z, side)), v, {p.x, p.y, p.z}});
  }
  std::sort(items.begin(), items.end(),
            [](const Item& a, const Item& b) { return a.cell != b.cell ? a.cell < b.cell : a.vertex < b.vertex; });
  Welder<Keys> welder(items, distance);
  welder.Run();
  // Each vertex's group, named by the position in `taking` of its group's first vertex in the
  // sorted order (any fixed name will do: groups are summed in vertex order).
  std::vector<std::uint32_t> position(model.vertices.size());
  for (std::uint32_t i = 0; i < taking.size(); ++i) position[taking[i]] = i;
  std::vector<std::uint32_t> group(taking.size());
  for (std::uint32_t i = 0; i < items.size(); ++i)
    group[position[items[i].vertex]] = position[items[welder.groups().Find(i)].vertex];
  return group;
}

std::size_t Different(IndexList corners) {
  std::sort(corners.begin(), corners.end());
  return static_cast<std::size_t>(std::unique(corners.begin(), corners.end()) - corners.begin());
}

// Rewrites a face's corners through `newIndex`. A corner that now repeats the one before it
// (where the two were different vertices) goes with its texture coordinate. Returns false when
// the weld left the face with too few different vertices and it must go; a face that had too few
// before is kept as it came.
bool RemapFace(CFace& f, const std::vector<std::int32_t>& newIndex, std::int32_t removed) {
  const std::size_t n = f.indices.size(), count = newIndex.size();
  const bool uvs = f.uvs.size() == n;
  auto mapped = [&](std::int32_t i) {
    if (i >= 0 && static_cast<std::size_t>(i) < count) return newIndex[static_cast<std::size_t>(i)];
    return i >= 0 ? i - removed : i;  // past the end: every removed vertex lay below it
  };
  IndexList corners, originals;
  UVList coords;
  for (std::size_t k = 0; k < n; ++k) {
    const std::int32_t original = f.indices[k], now = mapped(original);
    if (!corners.empty() && corners.back() == now && originals.back() != original) continue;
    corners.push_back(now);
    originals.push_back(original);
    if (uvs) coords.push_back(f.uvs[k]);
  }
  while (corners.size() > 1 && corners.back() == corners[0] && originals.back() != originals[0]) {
    corners.resize(corners.size() - 1);
    originals.resize(originals.size() - 1);
    if (uvs) coords.resize(coords.size() - 1);
  }
  const std::size_t after = Different(corners);
  if (after < std::min<std::size_t>(n, 3) && after < Different(f.indices)) return false;
  f.indices = std::move(corners);
  if (uvs) f.uvs = std::move(coords);
  return true;
}

bool CornersAllSelected(const CModel& m, const CFace& f) {
  for (std::int32_t i : f.indices)
    if (!m.HasVertex(i) || !m.vertices[static_cast<std::size_t>(i)].selected) return false;
  return true;
}

// Face references, face selection and normals after the faces changed.
void Refresh(CModel& model, std::int32_t smooth) {
  model.RebuildFaceRefs();
  model.UpdateFaceSelection();
  model.ComputeNormals(smooth);
}

}  // namespace

WeldResult WeldVertices(CModel& model, double distance, bool selectedOnly, std::int32_t smooth) {
  if (!(distance > 0) || !std::isfinite(distance)) return {};
  std::vector<std::uint32_t> taking;
  for (std::uint32_t i = 0; i < model.vertices.size(); ++i) {
    const CVertex& v = model.vertices[i];
    if (selectedOnly && !v.selected) continue;
    if (std::isfinite(v.position.x) && std::isfinite(v.position.y) && std::isfinite(v.position.z)) taking.push_back(i);
  }
  if (taking.size() < 2) return {};
  // Cells a hair over half the distance wide, so rounding cannot put two close vertices three
  // cells apart.
  const double side = distance / 2 * (1 + 1e-6);
  std::int64_t lo[3], hi[3];
  for (int a = 0; a < 3; ++a) {
    lo[a] = std::numeric_limits<std::int64_t>::max();
    hi[a] = std::numeric_limits<std::int64_t>::min();
  }
  for (std::uint32_t v : taking) {
    const CVector& p = model.vertices[v].position;
    const std::int64_t c[3] = {CellOf(p.x, side), CellOf(p.y, side), CellOf(p.z, side)};
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], c[a]);
      hi[a] = std::max(hi[a], c[a]);
    }
  }
  bool packs = true;
  for (int a = 0; a < 3; ++a) packs = packs && hi[a] - lo[a] <= PackedKeys::kSpan;
  const std::vector<std::uint32_t> group =
      packs ? GroupCells(model, taking, side, distance, PackedKeys{{lo[0] - kReach, lo[1] - kReach, lo[2] - kReach}})
            : GroupCells(model, taking, side, distance, WideKeys{});

  // Each group goes to its lowest-numbered vertex, at the group's average position.
  const std::size_t n = model.vertices.size();
  std::vector<std::int32_t> target(n);
  std::iota(target.begin(), target.end(), 0);
  struct Sum {
    std::uint32_t keeper = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t count = 0;
    double p[3] = {0, 0, 0};
    bool selected = false;
  };
  // Summed in vertex order, so the average does not depend on how the cells sorted.
  std::vector<Sum> sums(taking.size());
  std::size_t removed = 0;
  for (std::uint32_t i = 0; i < taking.size(); ++i) {
    const std::uint32_t v = taking[i];
    Sum& s = sums[group[i]];
    if (s.count++ == 0) s.keeper = v;
    else ++removed;
    const CVector& p = model.vertices[v].position;
    s.p[0] += p.x;
    s.p[1] += p.y;
    s.p[2] += p.z;
    s.selected = s.selected || model.vertices[v].selected;
    target[v] = static_cast<std::int32_t>(s.keeper);
  }
  if (removed == 0) return {};
  for (const Sum& s : sums) {
    if (s.count < 2) continue;
    CVertex& keeper = model.vertices[s.keeper];
    keeper.position = CVector(static_cast<float>(s.p[0] / s.count), static_cast<float>(s.p[1] / s.count),
                              static_cast<float>(s.p[2] / s.count));
    keeper.selected = s.selected ? 1 : 0;
  }

  // Old number -> new number; a welded vertex takes its keeper's, which comes before it.
  std::vector<std::int32_t> newIndex(n);
  std::int32_t kept = 0;
  for (std::size_t i = 0; i < n; ++i)
    newIndex[i] = target[i] == static_cast<std::int32_t>(i) ? kept++ : newIndex[static_cast<std::size_t>(target[i])];
  std::size_t out = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (target[i] != static_cast<std::int32_t>(i)) continue;
    if (out != i) model.vertices[out] = std::move(model.vertices[i]);
    ++out;
  }
  model.vertices.resize(out);

  const auto gone = static_cast<std::int32_t>(removed);
  const std::size_t facesBefore = model.faces.size();
  std::size_t keep = 0;
  for (std::size_t f = 0; f < facesBefore; ++f) {
    if (!RemapFace(model.faces[f], newIndex, gone)) continue;
    if (keep != f) model.faces[keep] = std::move(model.faces[f]);
    ++keep;
  }
  model.faces.resize(keep);
  // The face under construction follows: its corners on committed vertices are renamed, those on
  // its own new vertices move down with them.
  for (std::int32_t& i : model.pendingFace.indices) {
    if (i >= 0 && static_cast<std::size_t>(i) < n) i = newIndex[static_cast<std::size_t>(i)];
    else if (i >= 0) i -= gone;
  }
  RemapSeams(model, newIndex);
  Refresh(model, smooth);
  return {removed, facesBefore - keep};
}

std::size_t FlipFaces(CModel& model, bool selectedOnly, std::int32_t smooth) {
  std::size_t flipped = 0;
  for (CFace& f : model.faces) {
    if (f.indices.size() < 2 || (selectedOnly && !CornersAllSelected(model, f))) continue;
    std::reverse(f.indices.begin(), f.indices.end());
    std::reverse(f.uvs.begin(), f.uvs.end());
    ++flipped;
  }
  if (flipped) Refresh(model, smooth);
  return flipped;
}

std::size_t TriangulateFaces(CModel& model, std::int32_t smooth) {
  std::vector<CFace> faces;
  std::vector<CVector> corners;
  std::vector<std::uint32_t> triangles;
  std::size_t split = 0;
  for (CFace& f : model.faces) {
    const std::size_t n = f.indices.size();
    if (n <= 3 || !std::all_of(f.indices.begin(), f.indices.end(), [&](std::int32_t i) { return model.HasVertex(i); })) {
      faces.push_back(std::move(f));
      continue;
    }
    corners.clear();
    for (std::int32_t i : f.indices) corners.push_back(model.vertices[static_cast<std::size_t>(i)].position);
    triangles.clear();
    TriangulatePolygon(corners, triangles);
    const bool uvs = f.uvs.size() == n;
    for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
      CFace& tri = faces.emplace_back();
      tri.material = f.material;
      for (std::size_t k = 0; k < 3; ++k) {
        tri.indices.push_back(f.indices[triangles[t + k]]);
        if (uvs) tri.uvs.push_back(f.uvs[triangles[t + k]]);
      }
    }
    ++split;
  }
  model.faces = std::move(faces);
  if (split) Refresh(model, smooth);
  return split;
}

namespace {

// The window's commands act on the selection of editable models; mwconv's on every model whole.
WeldResult WeldModels(CMeshwright& scene, double distance, bool selectedOnly) {
  WeldResult total;
  for (CModel& m : scene.models) {
    if (selectedOnly && !m.IsEditable()) continue;
    const WeldResult r = WeldVertices(m, distance, selectedOnly, scene.smoothing);
    total.verticesRemoved += r.verticesRemoved;
    total.facesRemoved += r.facesRemoved;
  }
  return total;
}

std::size_t FlipModels(CMeshwright& scene, bool selectedOnly) {
  std::size_t flipped = 0;
  for (CModel& m : scene.models)
    if (!selectedOnly || m.IsEditable()) flipped += FlipFaces(m, selectedOnly, scene.smoothing);
  return flipped;
}

}  // namespace

WeldResult WeldSelected(CMeshwright& scene, double distance) { return WeldModels(scene, distance, true); }

std::size_t FlipSelectedFaces(CMeshwright& scene) { return FlipModels(scene, true); }

void InvertSelection(CMeshwright& scene) {
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    for (CVertex& v : m.vertices) v.selected = v.selected || v.hidden ? 0 : 1;
    m.UpdateFaceSelection();
  }
}

void SelectConnected(CMeshwright& scene) {
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    Groups groups(m.vertices.size());
    for (const CFace& f : m.faces) {
      if (f.hidden) continue;  // what is out of sight does not join what is in sight
      std::int32_t first = -1;
      for (std::int32_t i : f.indices) {
        if (!m.HasVertex(i)) continue;
        if (first < 0) first = i;
        else groups.Join(static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(i));
      }
    }
    std::vector<std::uint8_t> reached(m.vertices.size(), 0);
    for (std::uint32_t i = 0; i < m.vertices.size(); ++i)
      if (m.vertices[i].selected) reached[groups.Find(i)] = 1;
    for (std::uint32_t i = 0; i < m.vertices.size(); ++i)
      if (reached[groups.Find(i)] && !m.vertices[i].hidden) m.vertices[i].selected = 1;
    m.UpdateFaceSelection();
  }
}

WeldResult WeldAll(CMeshwright& scene, double distance) { return WeldModels(scene, distance, false); }

std::size_t FlipAll(CMeshwright& scene) { return FlipModels(scene, false); }

std::size_t TriangulateAll(CMeshwright& scene) {
  std::size_t split = 0;
  for (CModel& m : scene.models) split += TriangulateFaces(m, scene.smoothing);
  return split;
}

}  // namespace mw
