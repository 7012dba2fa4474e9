#include "scene/mesh_edit_support.h"

#include <algorithm>
#include <unordered_map>

#include "scene/element_selection.h"
#include "scene/polygon_triangles.h"
#include "scene/uv_ops.h"

namespace mw {

namespace {

void SetCorners(CFace& f, const CornerList& corners, bool uvs) {
  f.indices.clear();
  f.uvs.clear();
  for (const Corner& c : corners) {
    f.indices.push_back(c.vertex);
    if (uvs) f.uvs.push_back(c.uv);
  }
}

}  // namespace

void PlacePiece(CModel& m, std::size_t source, const CornerList& corners, bool first) {
  const bool uvs = HasUVs(m.faces[source]);
  if (first) {
    SetCorners(m.faces[source], corners, uvs);
    return;
  }
  CFace piece;
  piece.material = m.faces[source].material;
  piece.selected = m.faces[source].selected;
  piece.allSelected = 0;
  piece.hidden = 0;
  SetCorners(piece, corners, uvs);
  m.faces.push_back(std::move(piece));
}

// Splits the listed faces into triangles (ear clipping in their plane), in place and appended.
void SplitIntoTriangles(CModel& m, const std::vector<std::size_t>& faces) {
  std::vector<CVector> points;
  std::vector<std::uint32_t> tris;
  CornerList corners;
  for (std::size_t fi : faces) {
    const CFace f = m.faces[fi];
    if (f.indices.size() <= 3) continue;
    points.clear();
    for (std::int32_t i : f.indices) points.push_back(m.vertices[static_cast<std::size_t>(i)].position);
    tris.clear();
    TriangulatePolygon(points, tris);
    for (std::size_t t = 0; t + 2 < tris.size(); t += 3) {
      corners.clear();
      for (std::size_t c = 0; c < 3; ++c) corners.push_back({f.indices[tris[t + c]], UVAt(f, tris[t + c])});
      PlacePiece(m, fi, corners, t == 0);
    }
  }
}

bool CornersValid(const CModel& m, const CFace& f) {
  return std::all_of(f.indices.begin(), f.indices.end(), [&m](std::int32_t i) { return m.HasVertex(i); });
}

bool FaceSelectedForEdit(const CModel& m, const CFace& f) {
  if (f.hidden || f.indices.empty() || !CornersValid(m, f)) return false;
  return std::all_of(f.indices.begin(), f.indices.end(),
                     [&m](std::int32_t i) { return m.vertices[static_cast<std::size_t>(i)].selected != 0; });
}

std::vector<std::int32_t> SelectedEdgesForEdit(const CModel& m, const EdgeIndex& ix, bool edgeMode) {
  std::vector<std::int32_t> out;
  if (edgeMode) {
    for (std::uint64_t key : m.selectedEdges) {
      const auto a = static_cast<std::int32_t>(key >> 32), b = static_cast<std::int32_t>(key & 0xffffffffu);
      const std::int32_t e = ix.Find(a, b);
      if (e != EdgeIndex::kNone && EdgeVisible(m, ix, e)) out.push_back(e);
    }
    return out;
  }
  for (std::int32_t e = 0; e < static_cast<std::int32_t>(ix.EdgeCount()); ++e)
    if (m.vertices[static_cast<std::size_t>(ix.Lower(e))].selected &&
        m.vertices[static_cast<std::size_t>(ix.Upper(e))].selected && EdgeVisible(m, ix, e))
      out.push_back(e);
  return out;
}

void FinishRebuild(CModel& m, std::int32_t smooth) {
  m.RebuildFaceRefs();
  m.ComputeNormals(smooth);
  m.UpdateFaceSelection();
}

void RemoveDroppedVertices(CModel& m, std::vector<std::uint8_t>& drop) {
  drop.resize(m.vertices.size(), 0);
  for (const CFace& f : m.faces)
    for (std::int32_t i : f.indices)
      if (m.HasVertex(i)) drop[static_cast<std::size_t>(i)] = 0;
  std::vector<std::int32_t> renumber(m.vertices.size(), -1);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < m.vertices.size(); ++i) {
    if (drop[i]) continue;
    renumber[i] = static_cast<std::int32_t>(kept);
    if (kept != i) m.vertices[kept] = std::move(m.vertices[i]);
    ++kept;
  }
  if (kept == m.vertices.size()) return;
  m.vertices.resize(kept);
  for (CFace& f : m.faces)
    for (auto& i : f.indices)
      if (i >= 0 && static_cast<std::size_t>(i) < renumber.size()) i = renumber[static_cast<std::size_t>(i)];
  RemapSeams(m, renumber);
  // The face under construction names committed vertices by number as well; a corner on a vertex
  // that went is dropped with its texture coordinate.
  CFace& p = m.pendingFace;
  IndexList indices;
  UVList uvs;
  for (std::size_t k = 0; k < p.indices.size(); ++k) {
    std::int32_t i = p.indices[k];
    if (i >= 0 && static_cast<std::size_t>(i) < renumber.size()) {
      if (renumber[static_cast<std::size_t>(i)] < 0) continue;
      i = renumber[static_cast<std::size_t>(i)];
    } else if (i >= static_cast<std::int32_t>(renumber.size())) {
      i -= static_cast<std::int32_t>(renumber.size() - kept);  // a pending vertex, after the committed ones
    }
    indices.push_back(i);
    if (k < p.uvs.size()) uvs.push_back(p.uvs[k]);
  }
  p.indices = indices;
  p.uvs = uvs;
}

namespace {

// A face that passes through one vertex twice (after vertices were merged) is split there into
// simple loops: walking its corners, a loop closes whenever a corner comes back to one still open.
void SplitPinchedFaces(CModel& m) {
  const std::size_t count = m.faces.size();
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < count; ++i) {
    const CFace& f = m.faces[i];
    if (f.indices.size() < 4) continue;
    bool repeats = false;
    for (std::size_t a = 0; a < f.indices.size() && !repeats; ++a)
      for (std::size_t b = a + 1; b < f.indices.size() && !repeats; ++b) repeats = f.indices[a] == f.indices[b];
    if (!repeats) continue;
    const CFace source = f;
    std::vector<CornerList> loops;
    CornerList stack;
    for (std::size_t k = 0; k < source.indices.size(); ++k) {
      const Corner c{source.indices[k], UVAt(source, k)};
      auto it = std::find_if(stack.begin(), stack.end(), [&c](const Corner& o) { return o.vertex == c.vertex; });
      if (it != stack.end()) {
        loops.emplace_back(it, stack.end());
        stack.erase(it, stack.end());
      }
      stack.push_back(c);
    }
    loops.push_back(stack);
    std::erase_if(loops, [](const CornerList& l) { return l.size() < 3; });
    if (loops.empty()) loops.emplace_back();  // nothing left: the face goes below
    bool first = true;
    for (const CornerList& loop : loops) {
      PlacePiece(m, i, loop, first);
      first = false;
    }
  }
}

}  // namespace

std::size_t RemoveDegenerateFaces(CModel& m) {
  SplitPinchedFaces(m);
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> byHash;
  const auto canonical = [](const CFace& f) {
    // Rotated so the lowest vertex comes first: two faces with the same cycle compare equal.
    std::vector<std::int32_t> c(f.indices.begin(), f.indices.end());
    std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
    return c;
  };
  std::size_t removed = 0, kept = 0;
  std::vector<std::vector<std::int32_t>> keptCycles;
  for (std::size_t i = 0; i < m.faces.size(); ++i) {
    CFace& f = m.faces[i];
    const bool line = f.indices.size() == 2;  // a line stays one while its ends differ
    // Corners repeating the one before go, with their texture coordinates.
    if (f.indices.size() >= 2) {
      IndexList indices;
      UVList uvs;
      const bool hasUVs = f.uvs.size() == f.indices.size();
      for (std::size_t k = 0; k < f.indices.size(); ++k) {
        if (!indices.empty() && indices.back() == f.indices[k]) continue;
        indices.push_back(f.indices[k]);
        if (hasUVs) uvs.push_back(f.uvs[k]);
      }
      while (indices.size() > 1 && indices.back() == indices[0]) {
        indices.resize(indices.size() - 1);
        if (hasUVs) uvs.resize(uvs.size() - 1);
      }
      if (indices.size() != f.indices.size()) {
        f.indices = indices;
        if (hasUVs) f.uvs = uvs;
      }
    }
    std::vector<std::int32_t> sorted(f.indices.begin(), f.indices.end());
    std::sort(sorted.begin(), sorted.end());
    bool degenerate = f.indices.size() < 2 || (line ? f.indices.size() != 2 : f.indices.size() < 3) ||
                      (!line && std::unique(sorted.begin(), sorted.end()) - sorted.begin() < 3);
    if (!degenerate && f.indices.size() >= 3) {
      std::vector<std::int32_t> c = canonical(f);
      std::uint64_t h = c.size();
      for (std::int32_t v : c) h = h * 1000003u ^ static_cast<std::uint32_t>(v);
      auto& bucket = byHash[h];
      for (std::size_t other : bucket)
        if (keptCycles[other] == c) degenerate = true;
      if (!degenerate) {
        bucket.push_back(keptCycles.size());
        keptCycles.push_back(std::move(c));
      }
    }
    if (degenerate) {
      ++removed;
      continue;
    }
    if (kept != i) m.faces[kept] = std::move(m.faces[i]);
    ++kept;
  }
  m.faces.resize(kept);
  return removed;
}

}  // namespace mw
