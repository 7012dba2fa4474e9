#include "scene/symmetry.h"

#include <cmath>
#include <unordered_map>

#include "scene/mesh_edit_support.h"
#include "scene/ortho_plane.h"

namespace mw {

namespace {

CVector Mirrored(CVector p, int axis) {
  Component(p, axis) = -Component(p, axis);
  return p;
}

std::uint64_t CellKey(std::int64_t x, std::int64_t y, std::int64_t z) {
  return (static_cast<std::uint64_t>(x) * 73856093u) ^ (static_cast<std::uint64_t>(y) * 19349663u) ^
         (static_cast<std::uint64_t>(z) * 83492791u);
}

}  // namespace

std::vector<std::int32_t> FindCounterparts(const CModel& m, std::int32_t axis, double tolerance) {
  std::vector<std::int32_t> out;
  if (axis < 1 || axis > 3) return out;
  const int a = axis - 1;
  const std::size_t n = m.vertices.size();
  out.assign(n, -1);
  const auto cell = [tolerance](double v) { return static_cast<std::int64_t>(std::floor(v / tolerance)); };
  std::unordered_multimap<std::uint64_t, std::int32_t> grid;
  grid.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const CVector& p = m.vertices[i].position;
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) continue;
    grid.emplace(CellKey(cell(p.x), cell(p.y), cell(p.z)), static_cast<std::int32_t>(i));
  }
  for (std::size_t i = 0; i < n; ++i) {
    const CVector p = m.vertices[i].position;
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) continue;
    if (std::fabs(Component(p, a)) <= tolerance) {
      out[i] = static_cast<std::int32_t>(i);
      continue;
    }
    const CVector q = Mirrored(p, a);
    double best = tolerance * tolerance;
    const std::int64_t cx = cell(q.x), cy = cell(q.y), cz = cell(q.z);
    for (std::int64_t dx = -1; dx <= 1; ++dx)
      for (std::int64_t dy = -1; dy <= 1; ++dy)
        for (std::int64_t dz = -1; dz <= 1; ++dz) {
          const auto range = grid.equal_range(CellKey(cx + dx, cy + dy, cz + dz));
          for (auto it = range.first; it != range.second; ++it) {
            const CVector r = m.vertices[static_cast<std::size_t>(it->second)].position;
            const double ex = double(r.x) - q.x, ey = double(r.y) - q.y, ez = double(r.z) - q.z;
            const double d = ex * ex + ey * ey + ez * ez;
            if (d <= best && static_cast<std::size_t>(it->second) != i) {
              best = d;
              out[i] = it->second;
            }
          }
        }
  }
  return out;
}

void BuildCounterparts(CModel& m, std::int32_t axis, double tolerance) {
  m.counterparts = FindCounterparts(m, axis, tolerance);
}

void SetSymmetry(CModel& m, std::int32_t axis) {
  m.symmetryAxis = axis >= 1 && axis <= 3 ? axis : 0;
  BuildCounterparts(m, m.symmetryAxis);
}

void MirrorSelectedEdits(CModel& m) {
  if (m.symmetryAxis < 1 || m.symmetryAxis > 3) return;
  if (m.counterparts.size() != m.vertices.size()) BuildCounterparts(m, m.symmetryAxis);
  const int a = m.symmetryAxis - 1;
  for (std::size_t i = 0; i < m.vertices.size(); ++i) {
    if (!m.vertices[i].selected) continue;
    const std::int32_t c = m.counterparts[i];
    if (c < 0) continue;
    if (static_cast<std::size_t>(c) == i) {
      Component(m.vertices[i].position, a) = 0.0f;  // on the plane it stays
    } else if (!m.vertices[static_cast<std::size_t>(c)].selected) {
      m.vertices[static_cast<std::size_t>(c)].position = Mirrored(m.vertices[i].position, a);
    }
  }
}

std::vector<std::uint8_t> VerticesMovedWithSymmetry(const CModel& m) {
  std::vector<std::uint8_t> out(m.vertices.size(), 0);
  if (m.symmetryAxis < 1 || m.symmetryAxis > 3) return out;
  // Stale counterparts are what the transform will find before it moves anything.
  std::vector<std::int32_t> found;
  const std::vector<std::int32_t>& counterparts =
      m.counterparts.size() == m.vertices.size() ? m.counterparts
                                                 : (found = FindCounterparts(m, m.symmetryAxis, kSymmetryTolerance));
  for (std::size_t i = 0; i < m.vertices.size(); ++i) {
    if (!m.vertices[i].selected) continue;
    out[i] = 1;
    if (counterparts[i] >= 0) out[static_cast<std::size_t>(counterparts[i])] = 1;
  }
  return out;
}

std::size_t MirrorCopy(CModel& m, std::int32_t smooth) {
  const int a = (m.symmetryAxis >= 1 && m.symmetryAxis <= 3 ? m.symmetryAxis : 1) - 1;
  const std::size_t faceCount = m.faces.size(), vertexCount = m.vertices.size();
  std::vector<std::int32_t> copyOf(vertexCount, -1);
  std::size_t copied = 0;
  for (std::size_t f = 0; f < faceCount; ++f) {
    if (!FaceSelectedForEdit(m, m.faces[f]) || m.faces[f].indices.size() < 3) continue;
    CFace face = m.faces[f];
    CornerList corners;
    for (std::size_t k = face.indices.size(); k-- > 0;) {
      const auto v = static_cast<std::size_t>(face.indices[k]);
      if (copyOf[v] < 0) {
        const CVector p = m.vertices[v].position;
        if (std::fabs(Component(p, a)) <= kSymmetryTolerance) {
          copyOf[v] = static_cast<std::int32_t>(v);  // on the seam: shared
        } else {
          CVertex c(p.x, p.y, p.z);
          c.position = Mirrored(p, a);
          c.selected = 1;
          m.vertices.push_back(c);
          copyOf[v] = static_cast<std::int32_t>(m.vertices.size() - 1);
        }
      }
      corners.push_back({copyOf[v], UVAt(face, k)});
    }
    PlacePiece(m, f, corners, false);
    ++copied;
  }
  if (copied == 0) return 0;
  const auto added = static_cast<std::int32_t>(m.vertices.size() - vertexCount);
  for (auto& i : m.pendingFace.indices)
    if (i >= static_cast<std::int32_t>(vertexCount)) i += added;
  RemoveDegenerateFaces(m);  // a face lying in the plane would come back as itself
  if (m.symmetryAxis) BuildCounterparts(m, m.symmetryAxis);
  FinishRebuild(m, smooth);
  return copied;
}

std::size_t MirrorCopySelected(CMeshwright& scene) {
  std::size_t n = 0;
  for (CModel& m : scene.models)
    if (m.IsEditable()) n += MirrorCopy(m, scene.smoothing);
  return n;
}

}  // namespace mw
