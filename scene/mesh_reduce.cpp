#include "scene/mesh_reduce.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "scene/creases.h"
#include "scene/edge_index.h"
#include "scene/element_selection.h"
#include "scene/mesh_edit_support.h"
#include "scene/uv_ops.h"

namespace mw {

namespace {

struct UnionFind {
  std::vector<std::int32_t> parent;
  explicit UnionFind(std::size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
  std::int32_t Find(std::int32_t x) {
    while (parent[static_cast<std::size_t>(x)] != x) {
      parent[static_cast<std::size_t>(x)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(x)])];
      x = parent[static_cast<std::size_t>(x)];
    }
    return x;
  }
  void Join(std::int32_t a, std::int32_t b) {
    a = Find(a), b = Find(b);
    if (a != b) parent[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);  // the lowest number leads
  }
};

bool Workable(const CModel& m, std::size_t fi) {
  return FaceWorkable(m, m.faces[fi]) && m.faces[fi].indices.size() >= 3;
}

// Removes the marked faces, keeping the order of the rest.
void RemoveFaces(CModel& m, const std::vector<std::uint8_t>& remove) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < m.faces.size(); ++i) {
    if (i < remove.size() && remove[i]) continue;
    if (kept != i) m.faces[kept] = std::move(m.faces[i]);
    ++kept;
  }
  m.faces.resize(kept);
}

// Marks the vertices of the marked faces.
std::vector<std::uint8_t> VerticesOf(const CModel& m, const std::vector<std::uint8_t>& faces) {
  std::vector<std::uint8_t> v(m.vertices.size(), 0);
  for (std::size_t i = 0; i < faces.size(); ++i)
    if (faces[i])
      for (std::int32_t c : m.faces[i].indices) v[static_cast<std::size_t>(c)] = 1;
  return v;
}

// Whether edge e has exactly two faces, both workable and in `inSet` when given.
bool InnerEdge(const CModel& m, const EdgeIndex& ix, std::int32_t e) {
  if (ix.FaceCountOf(e) != 2) return false;
  const std::int32_t f0 = ix.FacesBegin(e)[0], f1 = ix.FacesBegin(e)[1];
  return f0 != f1 && Workable(m, static_cast<std::size_t>(f0)) && Workable(m, static_cast<std::size_t>(f1));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Dissolve

std::size_t Dissolve(CModel& m, const EdgeIndex& ix, DissolveWhat what, bool edgeMode, std::int32_t smooth) {
  const std::size_t faceCount = std::min(m.faces.size(), ix.FaceCount());
  UnionFind groups(faceCount);
  std::vector<std::uint8_t> inGroup(faceCount, 0);
  std::vector<std::uint8_t> dropVertex(m.vertices.size(), 0);
  const auto join = [&](std::int32_t a, std::int32_t b) {
    inGroup[static_cast<std::size_t>(a)] = inGroup[static_cast<std::size_t>(b)] = 1;
    groups.Join(a, b);
  };
  if (what == DissolveWhat::kEdges) {
    for (std::int32_t e : SelectedEdgesForEdit(m, ix, edgeMode))
      if (InnerEdge(m, ix, e)) join(ix.FacesBegin(e)[0], ix.FacesBegin(e)[1]);
  } else if (what == DissolveWhat::kFaces) {
    std::vector<std::uint8_t> chosen(faceCount, 0);
    for (std::size_t f = 0; f < faceCount; ++f) chosen[f] = Workable(m, f) && FaceSelectedForEdit(m, m.faces[f]);
    for (std::int32_t e = 0; e < static_cast<std::int32_t>(ix.EdgeCount()); ++e)
      if (InnerEdge(m, ix, e) && chosen[static_cast<std::size_t>(ix.FacesBegin(e)[0])] &&
          chosen[static_cast<std::size_t>(ix.FacesBegin(e)[1])])
        join(ix.FacesBegin(e)[0], ix.FacesBegin(e)[1]);
  } else {
    // The sides meeting at each selected vertex; the vertex dissolves only when each of them lies
    // between two faces, so the merged face closes around where it was.
    std::vector<std::vector<std::int32_t>> sidesAt(m.vertices.size());
    std::vector<std::uint8_t> blocked(m.vertices.size(), 0);
    for (std::size_t f = 0; f < faceCount; ++f) {
      const CFace& face = m.faces[f];
      const std::size_t n = face.indices.size();
      for (std::size_t k = 0; k < n; ++k) {
        const auto v = static_cast<std::size_t>(face.indices[k]);
        if (v >= m.vertices.size() || !m.vertices[v].selected) continue;
        if (!Workable(m, f)) {
          blocked[v] = 1;
          continue;
        }
        sidesAt[v].push_back(ix.SideEdge(static_cast<std::int32_t>(f), k));
        sidesAt[v].push_back(ix.SideEdge(static_cast<std::int32_t>(f), (k + n - 1) % n));
      }
    }
    for (std::size_t v = 0; v < m.vertices.size(); ++v) {
      if (blocked[v] || sidesAt[v].size() < 4) continue;
      const bool inside = std::all_of(sidesAt[v].begin(), sidesAt[v].end(),
                                      [&](std::int32_t e) { return e != EdgeIndex::kNone && InnerEdge(m, ix, e); });
      if (!inside) continue;
      for (std::int32_t e : sidesAt[v]) join(ix.FacesBegin(e)[0], ix.FacesBegin(e)[1]);
      dropVertex[v] = 1;
    }
  }
  // Each group's outline: the sides whose edge is not shared with another face of the group.
  std::unordered_map<std::int32_t, std::vector<std::int32_t>> members;
  for (std::size_t f = 0; f < faceCount; ++f)
    if (inGroup[f]) members[groups.Find(static_cast<std::int32_t>(f))].push_back(static_cast<std::int32_t>(f));
  std::vector<std::uint8_t> remove(m.faces.size(), 0);
  std::size_t merged = 0;
  std::vector<std::int32_t> roots;
  for (const auto& [root, list] : members) roots.push_back(root);
  std::sort(roots.begin(), roots.end());
  struct Side {
    std::int32_t from, to;
    CUV uv;
  };
  std::vector<Side> outline;
  std::unordered_map<std::int32_t, std::size_t> bySource;
  for (std::int32_t root : roots) {
    const std::vector<std::int32_t>& list = members[root];
    if (list.size() < 2) continue;
    outline.clear();
    bySource.clear();
    bool simple = true, withUVs = true;
    for (std::int32_t f : list) {
      const CFace& face = m.faces[static_cast<std::size_t>(f)];
      withUVs = withUVs && HasUVs(face);
      for (std::size_t k = 0; k < face.indices.size(); ++k) {
        const std::int32_t e = ix.SideEdge(f, k);
        bool inner = false;
        if (e != EdgeIndex::kNone && ix.FaceCountOf(e) == 2) {
          const std::int32_t a = ix.FacesBegin(e)[0], b = ix.FacesBegin(e)[1];
          inner = a != b && inGroup[static_cast<std::size_t>(a)] && inGroup[static_cast<std::size_t>(b)] &&
                  groups.Find(a) == root && groups.Find(b) == root;
        }
        if (inner) continue;
        const Side s{face.indices[k], face.indices[(k + 1) % face.indices.size()], UVAt(face, k)};
        if (!bySource.emplace(s.from, outline.size()).second) simple = false;  // the outline pinches here
        outline.push_back(s);
      }
    }
    if (!simple || outline.size() < 3) continue;
    CornerList corners;
    std::size_t at = 0;
    for (std::size_t step = 0; step < outline.size(); ++step) {
      corners.push_back({outline[at].from, outline[at].uv});
      auto next = bySource.find(outline[at].to);
      if (next == bySource.end()) {
        simple = false;
        break;
      }
      at = next->second;
      if (at == 0 && step + 1 < outline.size()) simple = false;  // more than one loop
    }
    if (!simple || at != 0) continue;
    const auto first = static_cast<std::size_t>(list.front());
    const bool uvsBefore = HasUVs(m.faces[first]);
    PlacePiece(m, first, corners, true);
    if (!withUVs && uvsBefore) m.faces[first].uvs.clear();
    for (std::size_t i = 1; i < list.size(); ++i) {
      for (std::int32_t v : m.faces[static_cast<std::size_t>(list[i])].indices)
        dropVertex[static_cast<std::size_t>(v)] = 1;
      remove[static_cast<std::size_t>(list[i])] = 1;
    }
    merged += list.size() - 1;
  }
  if (merged == 0) return 0;
  RemoveFaces(m, remove);
  RemoveDegenerateFaces(m);
  RemoveDroppedVertices(m, dropVertex);
  FinishRebuild(m, smooth);
  return merged;
}

// ---------------------------------------------------------------------------------------------
// Delete

std::size_t DeleteElements(CModel& m, const EdgeIndex& ix, DeleteWhat what, bool edgeMode, std::int32_t smooth) {
  const std::size_t faceCount = std::min(m.faces.size(), ix.FaceCount());
  std::vector<std::uint8_t> remove(m.faces.size(), 0);
  std::vector<std::uint8_t> drop(m.vertices.size(), 0);
  if (what == DeleteWhat::kVertices) {
    for (std::size_t f = 0; f < faceCount; ++f) {
      if (!FaceWorkable(m, m.faces[f])) continue;
      for (std::int32_t v : m.faces[f].indices) remove[f] |= m.vertices[static_cast<std::size_t>(v)].selected;
    }
    for (std::size_t v = 0; v < m.vertices.size(); ++v) drop[v] = m.vertices[v].selected && !m.vertices[v].hidden;
  } else if (what == DeleteWhat::kFaces) {
    for (std::size_t f = 0; f < faceCount; ++f) remove[f] = FaceSelectedForEdit(m, m.faces[f]);
    drop = VerticesOf(m, remove);
  } else {
    for (std::int32_t e : SelectedEdgesForEdit(m, ix, edgeMode))
      for (const std::int32_t* f = ix.FacesBegin(e); f != ix.FacesEnd(e); ++f)
        if (FaceWorkable(m, m.faces[static_cast<std::size_t>(*f)])) remove[static_cast<std::size_t>(*f)] = 1;
    if (what == DeleteWhat::kEdges) drop = VerticesOf(m, remove);
  }
  const auto removed = static_cast<std::size_t>(std::count(remove.begin(), remove.end(), 1));
  const bool dropsAny = std::any_of(drop.begin(), drop.end(), [](std::uint8_t d) { return d != 0; });
  if (removed == 0 && !dropsAny) return 0;
  RemoveFaces(m, remove);
  const std::size_t before = m.vertices.size();
  RemoveDroppedVertices(m, drop);
  if (removed == 0 && m.vertices.size() == before) return 0;
  FinishRebuild(m, smooth);
  return removed;
}

// ---------------------------------------------------------------------------------------------
// Collapse

std::size_t Collapse(CModel& m, const EdgeIndex& ix, CollapseAt at, CollapseGroups groups, bool edgeMode,
                     std::int32_t smooth) {
  const std::size_t vertexCount = m.vertices.size();
  // A vertex a hidden face uses stays where it is: the hidden face must not change.
  std::vector<std::uint8_t> pinned(vertexCount, 0);
  for (const CFace& f : m.faces)
    if (f.hidden)
      for (std::int32_t v : f.indices)
        if (m.HasVertex(v)) pinned[static_cast<std::size_t>(v)] = 1;
  const auto usable = [&](std::int32_t v) {
    const auto i = static_cast<std::size_t>(v);
    return m.vertices[i].selected && !m.vertices[i].hidden && !pinned[i];
  };
  UnionFind sets(vertexCount);
  std::vector<std::uint8_t> member(vertexCount, 0);
  const auto join = [&](std::int32_t a, std::int32_t b) {
    if (!usable(a) || !usable(b)) return;
    member[static_cast<std::size_t>(a)] = member[static_cast<std::size_t>(b)] = 1;
    sets.Join(a, b);
  };
  if (groups == CollapseGroups::kAll) {
    std::int32_t firstV = -1;
    for (std::size_t v = 0; v < vertexCount; ++v) {
      if (!usable(static_cast<std::int32_t>(v))) continue;
      if (firstV < 0) firstV = static_cast<std::int32_t>(v);
      join(firstV, static_cast<std::int32_t>(v));
    }
  } else if (groups == CollapseGroups::kEdges) {
    for (std::int32_t e : SelectedEdgesForEdit(m, ix, edgeMode)) join(ix.Lower(e), ix.Upper(e));
  } else {
    for (const CFace& f : m.faces)
      if (FaceSelectedForEdit(m, f))
        for (std::int32_t v : f.indices) join(f.indices[0], v);
  }
  // Each group's place, then every member named by its lowest-numbered vertex.
  struct Acc {
    double x = 0, y = 0, z = 0;
    std::size_t n = 0;
    std::int32_t last = -1;
  };
  std::unordered_map<std::int32_t, Acc> acc;
  for (std::size_t v = 0; v < vertexCount; ++v) {
    if (!member[v]) continue;
    Acc& a = acc[sets.Find(static_cast<std::int32_t>(v))];
    const CVector p = m.vertices[v].position;
    a.x += p.x, a.y += p.y, a.z += p.z;
    ++a.n;
    a.last = static_cast<std::int32_t>(v);
  }
  std::size_t groupsFound = 0;
  for (auto& [root, a] : acc) {
    if (a.n < 2) continue;
    ++groupsFound;
    CVector& p = m.vertices[static_cast<std::size_t>(root)].position;
    if (at == CollapseAt::kCentre)
      p = CVector(static_cast<float>(a.x / a.n), static_cast<float>(a.y / a.n), static_cast<float>(a.z / a.n));
    else if (at == CollapseAt::kLast) p = m.vertices[static_cast<std::size_t>(a.last)].position;
  }
  if (groupsFound == 0) return 0;
  std::vector<std::uint8_t> drop(vertexCount, 0);
  for (std::size_t v = 0; v < vertexCount; ++v)
    if (member[v] && sets.Find(static_cast<std::int32_t>(v)) != static_cast<std::int32_t>(v)) drop[v] = 1;
  for (CFace& f : m.faces)
    for (auto& v : f.indices)
      if (m.HasVertex(v) && member[static_cast<std::size_t>(v)]) v = sets.Find(v);
  for (auto& v : m.pendingFace.indices)
    if (m.HasVertex(v) && member[static_cast<std::size_t>(v)]) v = sets.Find(v);
  RemoveDegenerateFaces(m);
  const std::size_t before = m.vertices.size();
  RemoveDroppedVertices(m, drop);
  FinishRebuild(m, smooth);
  return before - m.vertices.size();
}

// ---------------------------------------------------------------------------------------------
// Triangles and quads

std::size_t TriangulateSelectedFaces(CModel& m, bool selectedOnly, std::int32_t smooth) {
  std::vector<std::size_t> faces;
  for (std::size_t f = 0; f < m.faces.size(); ++f)
    if (m.faces[f].indices.size() > 3 && FaceWorkable(m, m.faces[f]) &&
        (!selectedOnly || FaceSelectedForEdit(m, m.faces[f])))
      faces.push_back(f);
  if (faces.empty()) return 0;
  SplitIntoTriangles(m, faces);
  RemoveDegenerateFaces(m);
  FinishRebuild(m, smooth);
  return faces.size();
}

std::size_t TrisToQuads(CModel& m, const EdgeIndex& ix, double maxAngle, bool selectedOnly, std::int32_t smooth) {
  if (!(maxAngle >= 0.0)) return 0;
  const std::size_t faceCount = std::min(m.faces.size(), ix.FaceCount());
  const auto candidate = [&](std::int32_t f) {
    const CFace& face = m.faces[static_cast<std::size_t>(f)];
    return face.indices.size() == 3 && FaceWorkable(m, face) && (!selectedOnly || FaceSelectedForEdit(m, face));
  };
  const auto pos = [&m](std::int32_t v) -> CVector { return m.vertices[static_cast<std::size_t>(v)].position; };
  const auto normal = [&](std::int32_t a, std::int32_t b, std::int32_t c) {
    return Cross(pos(b) - pos(a), pos(c) - pos(a));
  };
  const auto dot = [](const CVector& a, const CVector& b) {
    return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z;
  };
  struct Pair {
    double angle;
    std::int32_t edge;
  };
  std::vector<Pair> pairs;
  for (std::int32_t e = 0; e < static_cast<std::int32_t>(ix.EdgeCount()); ++e) {
    if (ix.FaceCountOf(e) != 2) continue;
    const std::int32_t f0 = ix.FacesBegin(e)[0], f1 = ix.FacesBegin(e)[1];
    if (f0 == f1 || static_cast<std::size_t>(std::max(f0, f1)) >= faceCount || !candidate(f0) || !candidate(f1))
      continue;
    const CFace& a = m.faces[static_cast<std::size_t>(f0)];
    const CFace& b = m.faces[static_cast<std::size_t>(f1)];
    if (a.material != b.material || HasUVs(a) != HasUVs(b)) continue;
    const CVector na = normal(a.indices[0], a.indices[1], a.indices[2]);
    const CVector nb = normal(b.indices[0], b.indices[1], b.indices[2]);
    const double la = std::sqrt(dot(na, na)), lb = std::sqrt(dot(nb, nb));
    if (!(la > 0.0) || !(lb > 0.0)) continue;
    const double angle = std::acos(std::clamp(dot(na, nb) / (la * lb), -1.0, 1.0)) * 180.0 / 3.14159265358979323846;
    if (angle <= maxAngle + 1e-9) pairs.push_back({angle, e});
  }
  std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& x, const Pair& y) { return x.angle < y.angle; });
  std::vector<std::uint8_t> used(faceCount, 0), remove(m.faces.size(), 0);
  std::size_t made = 0;
  for (const Pair& p : pairs) {
    const std::int32_t f0 = ix.FacesBegin(p.edge)[0], f1 = ix.FacesBegin(p.edge)[1];
    if (used[static_cast<std::size_t>(f0)] || used[static_cast<std::size_t>(f1)]) continue;
    const CFace a = m.faces[static_cast<std::size_t>(f0)];
    const CFace& b = m.faces[static_cast<std::size_t>(f1)];
    const int k = ix.SideOf(f0, p.edge), kb = ix.SideOf(f1, p.edge);
    if (k < 0 || kb < 0) continue;
    const auto K = static_cast<std::size_t>(k), KB = static_cast<std::size_t>(kb);
    const std::int32_t P = a.indices[K], Q = a.indices[(K + 1) % 3], R = a.indices[(K + 2) % 3];
    const std::int32_t S = b.indices[(KB + 2) % 3];
    // The shared side must run the other way in the second triangle (the same winding).
    if (b.indices[KB] != Q || b.indices[(KB + 1) % 3] != P || S == R) continue;
    CVector n = normal(P, Q, R);
    n += normal(Q, P, S);
    if (!(dot(normal(P, S, Q), n) > 0 && dot(normal(S, Q, R), n) > 0 && dot(normal(Q, R, P), n) > 0 &&
          dot(normal(R, P, S), n) > 0))
      continue;  // not convex
    CornerList quad{{P, UVAt(a, K)}, {S, UVAt(b, (KB + 2) % 3)}, {Q, UVAt(a, (K + 1) % 3)}, {R, UVAt(a, (K + 2) % 3)}};
    PlacePiece(m, static_cast<std::size_t>(f0), quad, true);
    used[static_cast<std::size_t>(f0)] = used[static_cast<std::size_t>(f1)] = 1;
    remove[static_cast<std::size_t>(f1)] = 1;
    ++made;
  }
  if (made == 0) return 0;
  RemoveFaces(m, remove);
  FinishRebuild(m, smooth);
  return made;
}

// ---------------------------------------------------------------------------------------------
// Separate

namespace {

bool NameTaken(const CMeshwright& scene, const std::string& name) {
  return std::any_of(scene.models.begin(), scene.models.end(), [&name](const CModel& m) { return m.name == name; });
}

std::string SeparatedName(const CMeshwright& scene, const std::string& source) {
  for (int n = 1;; ++n) {
    std::string name = source + "_" + std::to_string(n);
    if (!NameTaken(scene, name)) return name;
  }
}

// The marked faces of `source` as a model of their own (their vertices renumbered in order, all
// selected); they are removed from `source` with the vertices no remaining face uses.
CModel TakeFaces(CModel& source, const std::vector<std::uint8_t>& take) {
  CModel out;
  out.mirrorAxis = source.mirrorAxis;
  out.facet = source.facet;
  std::vector<std::int32_t> renumber(source.vertices.size(), -1);
  for (std::size_t f = 0; f < source.faces.size(); ++f) {
    if (!take[f]) continue;
    CFace face = source.faces[f];
    for (auto& v : face.indices) {
      auto& r = renumber[static_cast<std::size_t>(v)];
      if (r < 0) {
        r = static_cast<std::int32_t>(out.vertices.size());
        CVertex copy = source.vertices[static_cast<std::size_t>(v)];
        copy.selected = 1;
        out.vertices.push_back(std::move(copy));
      }
      v = r;
    }
    out.faces.push_back(std::move(face));
  }
  // Seams, creases and corners go with the edges and vertices they are on.
  out.creases = source.creases;
  out.sharpVertices = source.sharpVertices;
  RenumberCreases(out, renumber);
  out.seamEdges = source.seamEdges;
  RemapSeams(out, renumber);
  if (!out.seamEdges.empty()) {
    const EdgeIndex ix(out);
    std::erase_if(out.seamEdges, [&ix](std::uint64_t key) {
      return ix.Find(static_cast<std::int32_t>(key >> 32), static_cast<std::int32_t>(key & 0xFFFFFFFFu)) ==
             EdgeIndex::kNone;
    });
  }
  std::vector<std::uint8_t> drop = VerticesOf(source, take);
  RemoveFaces(source, take);
  RemoveDroppedVertices(source, drop);
  return out;
}

}  // namespace

std::size_t Separate(CMeshwright& scene, SeparateBy by) {
  const std::size_t modelCount = scene.models.size();
  std::size_t made = 0;
  for (std::size_t mi = 0; mi < modelCount; ++mi) {
    if (!scene.models[mi].IsEditable()) continue;
    // Which new model each face goes to (0 stays), decided before anything moves.
    const CModel& m = scene.models[mi];
    std::vector<std::int32_t> target(m.faces.size(), 0);
    std::int32_t targets = 0;
    if (by == SeparateBy::kSelection) {
      for (std::size_t f = 0; f < m.faces.size(); ++f)
        if (FaceSelectedForEdit(m, m.faces[f])) target[f] = targets = 1;
      // Everything selected: nothing would be left behind, so nothing is separated.
      if (targets && std::all_of(target.begin(), target.end(), [](std::int32_t t) { return t == 1; })) targets = 0;
    } else if (by == SeparateBy::kMaterial) {
      std::unordered_map<std::int32_t, std::int32_t> ofMaterial;
      for (std::size_t f = 0; f < m.faces.size(); ++f) {
        if (!FaceWorkable(m, m.faces[f])) continue;
        auto [it, fresh] = ofMaterial.emplace(m.faces[f].material, static_cast<std::int32_t>(ofMaterial.size()));
        target[f] = it->second;
      }
      targets = static_cast<std::int32_t>(ofMaterial.size()) - 1;
    } else {
      UnionFind parts(m.vertices.size());
      for (const CFace& f : m.faces)
        if (FaceWorkable(m, f))
          for (std::int32_t v : f.indices) parts.Join(f.indices[0], v);
      std::unordered_map<std::int32_t, std::int32_t> ofPart;
      // Hidden faces stay with the source, and so does the part they touch.
      for (const CFace& f : m.faces)
        if (!FaceWorkable(m, f) && !f.indices.empty() && m.HasVertex(f.indices[0]))
          ofPart.emplace(parts.Find(f.indices[0]), 0);
      for (std::size_t f = 0; f < m.faces.size(); ++f) {
        if (!FaceWorkable(m, m.faces[f]) || m.faces[f].indices.empty()) continue;
        const std::int32_t root = parts.Find(m.faces[f].indices[0]);
        auto it = ofPart.find(root);
        if (it == ofPart.end()) it = ofPart.emplace(root, ofPart.empty() ? 0 : ++targets).first;
        target[f] = it->second;
      }
      targets = 0;
      for (const auto& [root, t] : ofPart) targets = std::max(targets, t);
    }
    if (targets <= 0) continue;
    std::vector<CModel> made_models;
    for (std::int32_t t = 1; t <= targets; ++t) {
      std::vector<std::uint8_t> take(scene.models[mi].faces.size(), 0);
      bool any = false;
      for (std::size_t f = 0; f < take.size(); ++f) any |= (take[f] = target[f] == t) != 0;
      if (!any) continue;
      CModel piece = TakeFaces(scene.models[mi], take);
      // The faces that stay are renumbered by the removal: keep `target` in step.
      std::size_t kept = 0;
      for (std::size_t f = 0; f < target.size(); ++f)
        if (!take[f]) target[kept++] = target[f];
      target.resize(kept);
      made_models.push_back(std::move(piece));
    }
    CModel& source = scene.models[mi];
    for (CVertex& v : source.vertices) v.selected = 0;
    source.selectedEdges.clear();
    for (CFace& f : source.faces) f.selected = 0;
    FinishRebuild(source, scene.smoothing);
    for (CModel& piece : made_models) {
      piece.name = SeparatedName(scene, source.name);
      FinishRebuild(piece, scene.smoothing);
      scene.models.push_back(std::move(piece));
      ++made;
    }
  }
  return made;
}

// ---------------------------------------------------------------------------------------------
// The scene

std::size_t DissolveSelected(CMeshwright& scene, DissolveWhat what) {
  std::size_t n = 0;
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    const auto ix = scene.edgeIndexes.Get(m);
    n += Dissolve(m, *ix, what, scene.selectMode == kSelectEdges, scene.smoothing);
  }
  return n;
}

std::size_t DeleteSelectedElements(CMeshwright& scene, DeleteWhat what) {
  std::size_t n = 0;
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    const auto ix = scene.edgeIndexes.Get(m);
    n += DeleteElements(m, *ix, what, scene.selectMode == kSelectEdges, scene.smoothing);
  }
  return n;
}

std::size_t CollapseSelected(CMeshwright& scene, CollapseAt at, CollapseGroups groups) {
  std::size_t n = 0;
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    const auto ix = scene.edgeIndexes.Get(m);
    n += Collapse(m, *ix, at, groups, scene.selectMode == kSelectEdges, scene.smoothing);
  }
  return n;
}

std::size_t TriangulateSelected(CMeshwright& scene) {
  std::size_t n = 0;
  for (CModel& m : scene.models)
    if (m.IsEditable()) n += TriangulateSelectedFaces(m, true, scene.smoothing);
  return n;
}

std::size_t TrisToQuadsSelected(CMeshwright& scene, double maxAngle) {
  std::size_t n = 0;
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    const auto ix = scene.edgeIndexes.Get(m);
    n += TrisToQuads(m, *ix, maxAngle, true, scene.smoothing);
  }
  return n;
}

std::size_t TrisToQuadsAll(CMeshwright& scene, double maxAngle) {
  std::size_t n = 0;
  for (CModel& m : scene.models) {
    const EdgeIndex ix(m);
    n += TrisToQuads(m, ix, maxAngle, false, scene.smoothing);
  }
  return n;
}

}  // namespace mw
