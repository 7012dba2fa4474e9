#include "scene/drag_selection.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace mw {
namespace {

constexpr double kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr double kIntMax = std::numeric_limits<std::int32_t>::max();

std::uint64_t Entry(std::int32_t key, std::uint32_t flat) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(key) ^ 0x80000000u) << 32 | flat;
}
std::uint64_t KeyBound(std::int64_t key) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(key)) ^ 0x80000000u) << 32;
}

// Stable sort by the upper 32 bits, in two passes of 16 bits: linear, where a comparison sort of a
// few million entries would hold the first motion of a drag up noticeably.
void SortByKey(std::vector<std::uint64_t>& v) {
  std::vector<std::uint64_t> tmp(v.size());
  for (int shift : {32, 48}) {
    std::vector<std::size_t> count(65537, 0);
    for (std::uint64_t e : v) ++count[((e >> shift) & 0xFFFF) + 1];
    for (std::size_t i = 1; i < count.size(); ++i) count[i] += count[i - 1];
    for (std::uint64_t e : v) tmp[count[(e >> shift) & 0xFFFF]++] = e;
    v.swap(tmp);
  }
}

// The rectangle's inside as whole pixels: left < x < right.
struct Span {
  std::int64_t lo, hi;
};
Span Inside(int a, int b) { return Span{static_cast<std::int64_t>(a) + 1, static_cast<std::int64_t>(b) - 1}; }

}  // namespace

void DragSelection::Forget() {
  valid_ = false;
  std::vector<ModelIndex>().swap(models_);
  std::vector<std::int32_t>().swap(px_);
  std::vector<std::int32_t>().swap(py_);
  std::vector<std::uint64_t>().swap(byColumn_);
  std::vector<std::uint64_t>().swap(byRow_);
}

bool DragSelection::Matches(const CMeshwright& scene, Plane plane, std::uint8_t value, int cx, int cy) const {
  if (!valid_ || plane != plane_ || value != value_ || cx != cx_ || cy != cy_ ||
      std::memcmp(&zoom_, &scene.zoom, sizeof zoom_) != 0 || models_.size() != scene.models.size())
    return false;
  for (std::size_t i = 0; i < models_.size(); ++i) {
    const CModel& m = scene.models[i];
    const ModelIndex& k = models_[i];
    if (k.vertices != m.vertices.data() || k.vertexCount != m.vertices.size() || k.faces != m.faces.data() ||
        k.faceCount != m.faces.size() || k.editable != m.IsEditable())
      return false;
  }
  return true;
}

bool DragSelection::Extend(CMeshwright& scene, int left, int top, int right, int bottom, Plane plane,
                           std::uint8_t value, int cx, int cy) {
  if (!IsPlane(plane)) return false;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (!Matches(scene, plane, value, cx, cy)) return SelectAll(scene, left, top, right, bottom, plane, value, cx, cy);
  // Only what the new rectangle has outside the one gone over so far; the rest is set already.
  const Span x1 = Inside(left, right), y1 = Inside(top, bottom);
  const Span x0 = Inside(left_, right_), y0 = Inside(top_, bottom_);
  std::size_t changed = 0;
  // Columns of the new rectangle outside the old one's, every row of the new one.
  changed += Visit(scene, byColumn_, true, x1.lo, std::min(x1.hi, x0.lo - 1), y1.lo, y1.hi);
  changed += Visit(scene, byColumn_, true, std::max(x1.lo, x0.hi + 1), x1.hi, y1.lo, y1.hi);
  // Rows outside the old rectangle's, in the columns both share (the others were just visited).
  const std::int64_t sharedLo = std::max(x0.lo, x1.lo), sharedHi = std::min(x0.hi, x1.hi);
  changed += Visit(scene, byRow_, false, y1.lo, std::min(y1.hi, y0.lo - 1), sharedLo, sharedHi);
  changed += Visit(scene, byRow_, false, std::max(y1.lo, y0.hi + 1), y1.hi, sharedLo, sharedHi);
  // Every vertex inside this rectangle now has the value (those inside the previous one had it
  // already), which is all the next call needs to know.
  left_ = left, top_ = top, right_ = right, bottom_ = bottom;
  return changed > 0;
}

std::size_t DragSelection::Visit(CMeshwright& scene, const std::vector<std::uint64_t>& sorted, bool byColumn,
                                 std::int64_t lo, std::int64_t hi, std::int64_t otherLo, std::int64_t otherHi) {
  lo = std::max<std::int64_t>(lo, std::numeric_limits<std::int32_t>::min());
  hi = std::min<std::int64_t>(hi, std::numeric_limits<std::int32_t>::max());
  if (lo > hi || otherLo > otherHi) return 0;
  std::size_t changed = 0;
  auto it = std::lower_bound(sorted.begin(), sorted.end(), KeyBound(lo));
  const std::uint64_t end = hi == std::numeric_limits<std::int32_t>::max() ? ~0ull : KeyBound(hi + 1);
  for (; it != sorted.end() && *it < end; ++it) {
    const auto flat = static_cast<std::uint32_t>(*it);
    const std::int64_t other = byColumn ? py_[flat] : px_[flat];
    if (other < otherLo || other > otherHi) continue;
    Set(scene, flat, changed);
  }
  return changed;
}

void DragSelection::Set(CMeshwright& scene, std::uint32_t flat, std::size_t& changed) {
  // The model holding flat vertex `flat`: the last whose first vertex is not past it.
  std::size_t mi = models_.size() - 1;
  if (models_.size() > 1) {
    auto it = std::upper_bound(models_.begin(), models_.end(), flat,
                               [](std::uint32_t f, const ModelIndex& k) { return f < k.first; });
    mi = static_cast<std::size_t>(it - models_.begin()) - 1;
    while (!models_[mi].indexed) --mi;  // unindexed models own no flat numbers
  }
  ModelIndex& k = models_[mi];
  CModel& m = scene.models[mi];
  CVertex& v = m.vertices[flat - k.first];
  if (v.selected == value_ || (value_ && v.hidden)) return;
  v.selected = value_;
  ++changed;
  // Only the faces at this corner can have changed; the same test as CModel::UpdateFaceSelection.
  const std::size_t vertexCount = m.vertices.size();
  const std::size_t local = flat - k.first;
  for (std::uint32_t j = k.faceStart[local]; j < k.faceStart[local + 1]; ++j) {
    CFace& f = m.faces[k.faceList[j]];
    std::uint8_t all = f.hidden ? 0 : 1;
    for (std::int32_t i : f.indices)
      if (i < 0 || static_cast<std::size_t>(i) >= vertexCount || !m.vertices[static_cast<std::size_t>(i)].selected) {
        all = 0;
        break;
      }
    f.allSelected = all;
  }
}

bool DragSelection::SelectAll(CMeshwright& scene, int left, int top, int right, int bottom, Plane plane,
                              std::uint8_t value, int cx, int cy) {
  scene.SelectInRect(left, top, right, bottom, plane, value, cx, cy);
  Build(scene, plane, value, cx, cy);
  left_ = left, top_ = top, right_ = right, bottom_ = bottom;
  return true;
}

void DragSelection::Build(const CMeshwright& scene, Plane plane, std::uint8_t value, int cx, int cy) {
  valid_ = false;
  plane_ = plane, value_ = value, cx_ = cx, cy_ = cy, zoom_ = scene.zoom;
  models_.assign(scene.models.size(), ModelIndex());
  std::size_t total = 0;
  for (std::size_t i = 0; i < scene.models.size(); ++i) {
    const CModel& m = scene.models[i];
    ModelIndex& k = models_[i];
    k.vertices = m.vertices.data(), k.faces = m.faces.data();
    k.vertexCount = m.vertices.size(), k.faceCount = m.faces.size();
    k.editable = m.IsEditable();
    k.indexed = !value || k.editable;
    k.first = static_cast<std::uint32_t>(total);
    if (k.indexed) total += m.vertices.size();
  }
  byColumn_.clear();
  byRow_.clear();
  // Flat numbers are 32 bits; a scene beyond that is gone over whole at every motion.
  if (total >= std::numeric_limits<std::uint32_t>::max()) return;
  px_.assign(total, 0);
  py_.assign(total, 0);
  byColumn_.reserve(total);
  byRow_.reserve(total);
  for (std::size_t i = 0; i < scene.models.size(); ++i) {
    const CModel& m = scene.models[i];
    ModelIndex& k = models_[i];
    if (!k.indexed) continue;
    for (std::size_t v = 0; v < m.vertices.size(); ++v) {
      // Exactly the pixel SelectInRect compares; one outside the int range can lie inside no
      // rectangle of int corners, and NaN inside none at all.
      const PanePoint p = ToPane(plane, m.vertices[v].position, scene.zoom, cx, cy);
      if (!(p.x > kIntMin && p.x < kIntMax && p.y > kIntMin && p.y < kIntMax)) continue;
      const auto flat = static_cast<std::uint32_t>(k.first + v);
      px_[flat] = static_cast<std::int32_t>(p.x);
      py_[flat] = static_cast<std::int32_t>(p.y);
      byColumn_.push_back(Entry(px_[flat], flat));
      byRow_.push_back(Entry(py_[flat], flat));
    }
    // Faces by corner, each face once per vertex it names however often it names it.
    const std::size_t n = m.vertices.size();
    k.faceStart.assign(n + 1, 0);
    for (const CFace& f : m.faces)
      for (std::int32_t c : f.indices)
        if (c >= 0 && static_cast<std::size_t>(c) < n) ++k.faceStart[static_cast<std::size_t>(c) + 1];
    for (std::size_t v = 0; v < n; ++v) k.faceStart[v + 1] += k.faceStart[v];
    k.faceList.assign(k.faceStart[n], 0);
    std::vector<std::uint32_t> fill(k.faceStart.begin(), k.faceStart.end() - 1);
    for (std::size_t fi = 0; fi < m.faces.size(); ++fi)
      for (std::int32_t c : m.faces[fi].indices)
        if (c >= 0 && static_cast<std::size_t>(c) < n) k.faceList[fill[static_cast<std::size_t>(c)]++] = static_cast<std::uint32_t>(fi);
  }
  SortByKey(byColumn_);
  SortByKey(byRow_);
  valid_ = true;
}

}  // namespace mw
