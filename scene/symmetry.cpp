#include "scene/symmetry.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "scene/edge_index.h"
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

void MirrorSelection(CModel& m, SelectMode mode) {
  if (m.symmetryAxis < 1 || m.symmetryAxis > 3) return;
  if (m.counterparts.size() != m.vertices.size()) BuildCounterparts(m, m.symmetryAxis);
  const std::vector<std::int32_t>& c = m.counterparts;
  const auto twin = [&](std::int32_t v) { return m.HasVertex(v) ? c[static_cast<std::size_t>(v)] : -1; };
  if (mode == kSelectEdges) {
    std::vector<std::uint64_t> edges = m.selectedEdges;
    for (std::uint64_t key : m.selectedEdges) {
      const std::int32_t a = twin(static_cast<std::int32_t>(key >> 32)), b = twin(static_cast<std::int32_t>(key & 0xFFFFFFFFu));
      if (a >= 0 && b >= 0 && a != b) edges.push_back(EdgeKey(a, b));
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    m.selectedEdges = std::move(edges);
  } else if (mode == kSelectFaces) {
    // A face's mirror is the face with the counterparts of its corners, whichever corner it starts at.
    std::unordered_map<std::uint64_t, std::vector<std::int32_t>> byCorners;
    const auto key = [](std::vector<std::int32_t> corners) {
      std::sort(corners.begin(), corners.end());
      std::uint64_t h = corners.size();
      for (std::int32_t v : corners) h = h * 1099511628211ull ^ static_cast<std::uint32_t>(v);
      return h;
    };
    std::vector<std::int32_t> corners;
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
      corners.assign(m.faces[f].indices.begin(), m.faces[f].indices.end());
      byCorners[key(corners)].push_back(static_cast<std::int32_t>(f));
    }
    std::vector<std::int32_t> mirrored;
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
      if (!m.faces[f].selected) continue;
      corners.clear();
      for (std::int32_t v : m.faces[f].indices) corners.push_back(twin(v));
      if (std::find(corners.begin(), corners.end(), -1) != corners.end()) continue;
      std::vector<std::int32_t> sortedCorners = corners;
      std::sort(sortedCorners.begin(), sortedCorners.end());
      const auto it = byCorners.find(key(corners));
      if (it == byCorners.end()) continue;
      for (std::int32_t g : it->second) {
        std::vector<std::int32_t> other(m.faces[static_cast<std::size_t>(g)].indices.begin(),
                                        m.faces[static_cast<std::size_t>(g)].indices.end());
        std::sort(other.begin(), other.end());
        if (other == sortedCorners) mirrored.push_back(g);
      }
    }
    for (std::int32_t g : mirrored)
      if (!m.faces[static_cast<std::size_t>(g)].hidden) m.faces[static_cast<std::size_t>(g)].selected = 1;
  }
  if (mode != kSelectVertices) {
    SelectVerticesOfElements(m, mode);
    return;
  }
  std::vector<std::int32_t> add;
  for (std::size_t i = 0; i < m.vertices.size(); ++i)
    if (m.vertices[i].selected && c[i] >= 0) add.push_back(c[i]);
  for (std::int32_t v : add)
    if (!m.vertices[static_cast<std::size_t>(v)].hidden) m.vertices[static_cast<std::size_t>(v)].selected = 1;
  m.UpdateFaceSelection();
}

void MirrorSelectionForVerb(CMeshwright& scene) {
  const SelectMode mode = SelectModeOf(scene);
  for (CModel& m : scene.models)
    if (m.IsEditable()) MirrorSelection(m, mode);
}

void FindCounterpartsAfterVerb(CMeshwright& scene) {
  for (CModel& m : scene.models)
    if (m.IsEditable() && m.symmetryAxis >= 1 && m.symmetryAxis <= 3) BuildCounterparts(m, m.symmetryAxis);
}

bool MirrorsSelection(EditKind k) {
  switch (k) {
    case EditKind::kLoopCut:
    case EditKind::kConnect:
    case EditKind::kSubdivide:
    case EditKind::kDissolve:
    case EditKind::kDeleteElements:
    case EditKind::kCollapse:
    case EditKind::kTriangulate:
    case EditKind::kTrisToQuads:
    case EditKind::kExtrude:
    case EditKind::kInset:
    case EditKind::kBevel: return true;
    default: return false;
  }
}

bool RenumbersVertices(EditKind k) {
  switch (k) {
    case EditKind::kKnife:
    case EditKind::kBridge:
    case EditKind::kFill:
    case EditKind::kSpin:
    case EditKind::kSolidify:
    case EditKind::kSeparate:
    case EditKind::kMirrorCopy:
    case EditKind::kDelete:
    case EditKind::kCut:
    case EditKind::kWeld:
    case EditKind::kDuplicate:
    case EditKind::kPaste:
    case EditKind::kFaceBuild:
    case EditKind::kCreateBox:
    case EditKind::kCommitFace:
    case EditKind::kAddPrimitive:
    case EditKind::kApplySubdivision: return true;
    default: return MirrorsSelection(k);
  }
}

CModel KeptHalf(const CModel& m, std::size_t* crossing) {
  if (crossing) *crossing = 0;
  if (m.symmetryAxis < 1 || m.symmetryAxis > 3) return m;
  const int a = m.symmetryAxis - 1;
  // The whole record, then its geometry and what names vertices replaced by the half's.
  CModel half = m;
  half.vertices.clear();
  half.faces.clear();
  half.counterparts.clear();
  half.selectedEdges.clear();
  half.creases.clear();
  half.sharpVertices.clear();
  // Sides by the same tolerance the counterparts are found with: -1 the mirrored side, 0 the
  // plane, 1 the kept side.
  std::vector<std::int8_t> side(m.vertices.size());
  std::vector<std::int32_t> renumbered(m.vertices.size(), -1);
  for (std::size_t i = 0; i < m.vertices.size(); ++i) {
    const float c = Component(m.vertices[i].position, a);
    side[i] = std::fabs(c) <= kSymmetryTolerance ? 0 : (c > 0 ? 1 : -1);
  }
  std::vector<const CFace*> kept;
  for (const CFace& f : m.faces) {
    bool positive = true, negative = true;
    for (std::int32_t i : f.indices) {
      if (!m.HasVertex(i)) {
        positive = negative = false;
        break;
      }
      positive = positive && side[static_cast<std::size_t>(i)] >= 0;
      negative = negative && side[static_cast<std::size_t>(i)] <= 0;
    }
    if (positive) kept.push_back(&f);
    else if (!negative && crossing) {
      ++*crossing;
    }
  }
  // Every vertex of the kept side stays, loose ones too: the mirror makes their twins.
  for (std::size_t i = 0; i < m.vertices.size(); ++i) {
    if (side[i] < 0) continue;
    renumbered[i] = static_cast<std::int32_t>(half.vertices.size());
    half.vertices.push_back(m.vertices[i]);
    if (side[i] == 0) Component(half.vertices.back().position, a) = 0.0f;
    half.vertices.back().faceRefs.clear();
  }
  half.faces.reserve(kept.size());
  for (const CFace* f : kept) {
    half.faces.push_back(*f);
    for (std::int32_t& i : half.faces.back().indices) i = renumbered[static_cast<std::size_t>(i)];
  }
  for (const EdgeCrease& c : m.creases) {
    const auto lo = static_cast<std::size_t>(c.edge >> 32), hi = static_cast<std::size_t>(c.edge & 0xFFFFFFFFu);
    if (lo < renumbered.size() && hi < renumbered.size() && renumbered[lo] >= 0 && renumbered[hi] >= 0)
      half.creases.push_back({EdgeKey(renumbered[lo], renumbered[hi]), c.sharpness});
  }
  // Renumbering keeps the order of kept vertices, so both lists stay sorted.
  for (const VertexCorner& c : m.sharpVertices)
    if (m.HasVertex(c.vertex) && renumbered[static_cast<std::size_t>(c.vertex)] >= 0)
      half.sharpVertices.push_back({renumbered[static_cast<std::size_t>(c.vertex)], c.sharpness});
  half.RebuildFaceRefs();
  return half;
}

}  // namespace mw
