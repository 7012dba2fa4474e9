#include "scene/grow_ops.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>
#include <vector>

#include "scene/creases.h"
#include "scene/element_selection.h"
#include "scene/grow_ops_support.h"
#include "scene/uv_ops.h"

namespace mw {

using namespace grow;

namespace grow {

D3 NewellNormal(const CModel& m, const CFace& f) {
  D3 n;
  const std::size_t c = f.indices.size();
  for (std::size_t k = 0; k < c; ++k) {
    const D3 a = Pos(m, f.indices[k]), b = Pos(m, f.indices[(k + 1) % c]);
    n.x += (a.y - b.y) * (a.z + b.z);
    n.y += (a.z - b.z) * (a.x + b.x);
    n.z += (a.x - b.x) * (a.y + b.y);
  }
  return n;
}

CVector LitNormal(const CModel& m, const CFace& f) {
  // Newell's sum turns with the corners' right hand; the lit side is where they run clockwise.
  return ToVec(NewellNormal(m, f) * -1.0);
}

D3 Centroid(const CModel& m, const CFace& f) {
  D3 c;
  for (std::int32_t i : f.indices) c = c + Pos(m, i);
  return f.indices.empty() ? c : c * (1.0 / static_cast<double>(f.indices.size()));
}

void AddFace(CModel& m, std::initializer_list<std::int32_t> corners, const std::vector<CUV>* uvs,
             std::int32_t material) {
  CFace f;
  f.material = material;
  std::size_t k = 0;
  for (std::int32_t c : corners) {
    f.indices.push_back(c);
    if (uvs) f.uvs.push_back((*uvs)[k]);
    ++k;
  }
  m.faces.push_back(std::move(f));
}

bool PushCleanFace(CModel& m, std::vector<std::int32_t>& idx, std::vector<CUV>& uvs, bool withUVs,
                   std::int32_t material) {
  // Repeated neighbours (a collapsed side) are dropped, the last against the first too.
  std::size_t w = 0;
  for (std::size_t k = 0; k < idx.size(); ++k) {
    if (w > 0 && idx[w - 1] == idx[k]) continue;
    idx[w] = idx[k];
    if (withUVs) uvs[w] = uvs[k];
    ++w;
  }
  while (w > 1 && idx[w - 1] == idx[0]) --w;
  idx.resize(w);
  if (withUVs) uvs.resize(w);
  if (w < 3) return false;
  std::vector<std::int32_t> sorted(idx);
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) return false;
  CFace f;
  f.material = material;
  for (std::size_t k = 0; k < w; ++k) {
    f.indices.push_back(idx[k]);
    if (withUVs) f.uvs.push_back(uvs[k]);
  }
  m.faces.push_back(std::move(f));
  return true;
}

RegionCorners::RegionCorners(const CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> faces,
                             bool individual) {
  inRegion.assign(m.faces.size(), 0);
  for (std::int32_t f : faces) inRegion[static_cast<std::size_t>(f)] = 1;
  base.assign(m.faces.size(), -1);
  std::int32_t n = 0;
  for (std::int32_t f : faces) {
    if (base[static_cast<std::size_t>(f)] >= 0) continue;
    base[static_cast<std::size_t>(f)] = n;
    n += static_cast<std::int32_t>(m.faces[static_cast<std::size_t>(f)].indices.size());
    list.push_back(f);
  }
  parent.resize(static_cast<std::size_t>(n));
  std::iota(parent.begin(), parent.end(), 0);
  boundarySide.assign(static_cast<std::size_t>(n), 0);
  for (std::int32_t f : list) {
    const CFace& face = m.faces[static_cast<std::size_t>(f)];
    const std::size_t c = face.indices.size();
    for (std::size_t k = 0; k < c; ++k) {
      const std::int32_t e = ix.SideEdge(f, k);
      std::int32_t other = -1, count = 0;
      if (e != EdgeIndex::kNone)
        for (const std::int32_t* g = ix.FacesBegin(e); g != ix.FacesEnd(e); ++g)
          if (inRegion[static_cast<std::size_t>(*g)]) {
            ++count;
            if (*g != f) other = *g;
          }
      if (individual || count != 2 || other < 0) {
        boundarySide[static_cast<std::size_t>(base[static_cast<std::size_t>(f)]) + k] = 1;
        continue;
      }
      if (other < f) continue;  // joined once, from the lower face
      const int kg = ix.SideOf(other, e);
      const CFace& g = m.faces[static_cast<std::size_t>(other)];
      const std::size_t cg = g.indices.size();
      const std::int32_t a = face.indices[k], b = face.indices[(k + 1) % c];
      for (std::size_t j : {static_cast<std::size_t>(kg), (static_cast<std::size_t>(kg) + 1) % cg}) {
        const std::int32_t v = g.indices[j];
        const std::size_t mine = v == a ? k : (v == b ? (k + 1) % c : c);
        if (mine < c) Join(Corner(f, mine), Corner(other, j));
      }
    }
  }
  group.assign(static_cast<std::size_t>(n), -1);
  for (std::int32_t i = 0; i < n; ++i) {
    const std::int32_t r = Find(i);
    if (group[static_cast<std::size_t>(r)] < 0) {
      group[static_cast<std::size_t>(r)] = groups++;
      groupBoundary.push_back(0);
      groupVertex.push_back(-1);
    }
    group[static_cast<std::size_t>(i)] = group[static_cast<std::size_t>(r)];
  }
  for (std::int32_t f : list) {
    const CFace& face = m.faces[static_cast<std::size_t>(f)];
    const std::size_t c = face.indices.size();
    for (std::size_t k = 0; k < c; ++k) {
      const std::int32_t g = GroupOf(f, k);
      groupVertex[static_cast<std::size_t>(g)] = face.indices[k];
      if (BoundarySide(f, k) || BoundarySide(f, (k + c - 1) % c)) groupBoundary[static_cast<std::size_t>(g)] = 1;
    }
  }
}

std::int32_t RegionCorners::Find(std::int32_t i) {
  while (parent[static_cast<std::size_t>(i)] != i) {
    parent[static_cast<std::size_t>(i)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(i)])];
    i = parent[static_cast<std::size_t>(i)];
  }
  return i;
}

void RegionCorners::Join(std::int32_t a, std::int32_t b) {
  a = Find(a);
  b = Find(b);
  if (a != b) parent[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
}

std::vector<std::uint8_t> UsedOutside(const CModel& m, const std::vector<std::uint8_t>& inRegion) {
  std::vector<std::uint8_t> used(m.vertices.size(), 0);
  for (std::size_t f = 0; f < m.faces.size(); ++f) {
    if (inRegion[f]) continue;
    for (std::int32_t i : m.faces[f].indices)
      if (m.HasVertex(i)) used[static_cast<std::size_t>(i)] = 1;
  }
  return used;
}

void SelectOnly(CModel& m, const std::vector<std::int32_t>& vertices, const std::vector<std::int32_t>& faces) {
  for (CVertex& v : m.vertices) v.selected = 0;
  for (CFace& f : m.faces) f.selected = 0;
  m.selectedEdges.clear();
  for (std::int32_t v : vertices) m.vertices[static_cast<std::size_t>(v)].selected = 1;
  for (std::int32_t f : faces) m.faces[static_cast<std::size_t>(f)].selected = 1;
}

std::vector<std::int32_t> DropUnused(CModel& m, std::span<const std::int32_t> candidates) {
  m.RebuildFaceRefs();
  const std::size_t count = m.vertices.size();
  std::vector<std::uint8_t> drop(count, 0);
  for (std::int32_t v : candidates)
    if (m.HasVertex(v) && m.vertices[static_cast<std::size_t>(v)].faceRefs.empty())
      drop[static_cast<std::size_t>(v)] = 1;
  std::vector<std::int32_t> remap(count);
  std::int32_t next = 0;
  for (std::size_t v = 0; v < count; ++v) {
    remap[v] = drop[v] ? -1 : next;
    if (!drop[v]) m.vertices[static_cast<std::size_t>(next++)] = std::move(m.vertices[v]);
  }
  m.vertices.resize(static_cast<std::size_t>(next));
  auto renumber = [&](std::int32_t i) {
    return i >= 0 && static_cast<std::size_t>(i) < count ? remap[static_cast<std::size_t>(i)] : i;
  };
  for (CFace& face : m.faces)
    for (auto& i : face.indices) i = renumber(i);
  CFace& pf = m.pendingFace;
  for (std::size_t k = 0; k < pf.indices.size();) {
    const std::int32_t i = pf.indices[k];
    if (i >= 0 && static_cast<std::size_t>(i) < count && remap[static_cast<std::size_t>(i)] < 0) {
      pf.indices.erase(k);
      if (k < pf.uvs.size()) pf.uvs.erase(k);
      continue;
    }
    pf.indices[k] = renumber(i);
    ++k;
  }
  RenumberCreases(m, remap);
  RemapSeams(m, remap);
  return remap;
}

void Finish(CModel& m, std::int32_t smooth) {
  m.RebuildFaceRefs();
  m.ComputeNormals(smooth);
  m.UpdateFaceSelection();
}

}  // namespace grow

namespace {

// The region's faces with their groups of corners turned into vertices: a group that the region
// shares with anything else (its rim, an outside face, another group at the vertex) gets a new
// vertex, the others keep theirs. Returns the vertex of each group.
std::vector<std::int32_t> SplitGroups(CModel& m, const RegionCorners& rc, const std::vector<std::uint8_t>& usedOutside,
                                      const std::vector<D3>& groupOffset, bool alwaysNew) {
  std::vector<std::int32_t> perVertex(m.vertices.size(), 0);
  for (std::int32_t g = 0; g < rc.groups; ++g)
    ++perVertex[static_cast<std::size_t>(rc.groupVertex[static_cast<std::size_t>(g)])];
  std::vector<std::int32_t> out(static_cast<std::size_t>(rc.groups));
  for (std::int32_t g = 0; g < rc.groups; ++g) {
    const auto gs = static_cast<std::size_t>(g);
    const std::int32_t v = rc.groupVertex[gs];
    const D3 p = Pos(m, v) + groupOffset[gs];
    if (alwaysNew || rc.groupBoundary[gs] || usedOutside[static_cast<std::size_t>(v)] ||
        perVertex[static_cast<std::size_t>(v)] > 1) {
      out[gs] = static_cast<std::int32_t>(m.vertices.size());
      CVertex nv;
      nv.position = ToVec(p);
      m.vertices.push_back(nv);
    } else {
      out[gs] = v;
      m.vertices[static_cast<std::size_t>(v)].position = ToVec(p);
    }
  }
  return out;
}

D3 RegionNormal(const CModel& m, const RegionCorners& rc) {
  D3 n;
  for (std::int32_t f : rc.list) n = n + Unit(D3(LitNormal(m, m.faces[static_cast<std::size_t>(f)])));
  return Unit(n);
}

// The direction each group moves: the region's normal, or (individually) its own face's.
std::vector<D3> GroupDirections(const CModel& m, const RegionCorners& rc, bool individual) {
  std::vector<D3> dir(static_cast<std::size_t>(rc.groups));
  const D3 regionNormal = individual ? D3() : RegionNormal(m, rc);
  for (std::int32_t f : rc.list) {
    const D3 own = individual ? Unit(D3(LitNormal(m, m.faces[static_cast<std::size_t>(f)]))) : regionNormal;
    for (std::size_t k = 0; k < m.faces[static_cast<std::size_t>(f)].indices.size(); ++k)
      dir[static_cast<std::size_t>(rc.GroupOf(f, k))] = own;
  }
  return dir;
}

// The faces handed to a region verb, checked: each once, in sight, of three corners or more, all
// naming vertices.
std::vector<std::int32_t> UsableFaces(const CModel& m, std::span<const std::int32_t> faces) {
  std::vector<std::uint8_t> seen(m.faces.size(), 0);
  std::vector<std::int32_t> out;
  for (std::int32_t f : faces) {
    if (f < 0 || static_cast<std::size_t>(f) >= m.faces.size() || seen[static_cast<std::size_t>(f)]) continue;
    const CFace& face = m.faces[static_cast<std::size_t>(f)];
    if (face.hidden || face.indices.size() < 3) continue;
    if (!std::all_of(face.indices.begin(), face.indices.end(), [&m](std::int32_t i) { return m.HasVertex(i); }))
      continue;
    seen[static_cast<std::size_t>(f)] = 1;
    out.push_back(f);
  }
  return out;
}

}  // namespace

bool ExtrudeFaces(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> faceList, ExtrudeKind kind,
                  double distance) {
  const std::vector<std::int32_t> faces = UsableFaces(m, faceList);
  if (faces.empty()) return false;
  const bool individual = kind == ExtrudeKind::kIndividual;
  const RegionCorners rc(m, ix, faces, individual);
  const std::vector<std::uint8_t> outside = UsedOutside(m, rc.inRegion);
  std::vector<D3> offset = GroupDirections(m, rc, individual);
  for (D3& d : offset) d = d * distance;
  const std::vector<std::int32_t> top = SplitGroups(m, rc, outside, offset, false);
  // Walls along the rim, each from the face it rises from: its top side runs against the face's.
  std::vector<CUV> uvs(4);
  for (std::int32_t f : rc.list) {
    const CFace face = m.faces[static_cast<std::size_t>(f)];
    const std::size_t c = face.indices.size();
    const bool withUVs = face.uvs.size() == c;
    for (std::size_t k = 0; k < c; ++k) {
      if (!rc.BoundarySide(f, k)) continue;
      const std::size_t k1 = (k + 1) % c;
      const std::int32_t a = face.indices[k], b = face.indices[k1];
      const std::int32_t at = top[static_cast<std::size_t>(rc.GroupOf(f, k))],
                         bt = top[static_cast<std::size_t>(rc.GroupOf(f, k1))];
      if (withUVs) uvs = {face.uvs[k1], face.uvs[k], face.uvs[k], face.uvs[k1]};
      AddFace(m, {bt, at, a, b}, withUVs ? &uvs : nullptr, face.material);
    }
  }
  std::vector<std::int32_t> selected;
  for (std::int32_t f : rc.list) {
    CFace& face = m.faces[static_cast<std::size_t>(f)];
    for (std::size_t k = 0; k < face.indices.size(); ++k) {
      face.indices[k] = top[static_cast<std::size_t>(rc.GroupOf(f, k))];
      selected.push_back(face.indices[k]);
    }
  }
  SelectOnly(m, selected, rc.list);
  return true;
}

bool ExtrudeEdges(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges, const CVector& offset) {
  std::unordered_map<std::int32_t, std::int32_t> copy;
  std::vector<std::int32_t> selected;
  const D3 d(offset);
  auto copyOf = [&](std::int32_t v) {
    auto [it, added] = copy.try_emplace(v, 0);
    if (added) {
      it->second = static_cast<std::int32_t>(m.vertices.size());
      CVertex nv;
      nv.position = ToVec(Pos(m, v) + d);
      m.vertices.push_back(nv);
      selected.push_back(it->second);
    }
    return it->second;
  };
  std::vector<std::uint8_t> seen(ix.EdgeCount(), 0);
  bool any = false;
  std::vector<CUV> uvs(4);
  for (std::int32_t e : edges) {
    if (e < 0 || static_cast<std::size_t>(e) >= ix.EdgeCount() || seen[static_cast<std::size_t>(e)]) continue;
    seen[static_cast<std::size_t>(e)] = 1;
    if (ix.FaceCountOf(e) > 1) continue;
    std::int32_t a = ix.Lower(e), b = ix.Upper(e), material = 0;
    const CFace* from = nullptr;
    std::size_t ka = 0, kb = 0;
    if (ix.FaceCountOf(e) == 1) {
      const std::int32_t f = *ix.FacesBegin(e);
      from = &m.faces[static_cast<std::size_t>(f)];
      if (from->hidden) continue;
      const std::size_t c = from->indices.size();
      const auto k = static_cast<std::size_t>(ix.SideOf(f, e));
      ka = k;
      kb = (k + 1) % c;
      a = from->indices[ka];
      b = from->indices[kb];
      material = from->material;
    }
    const std::int32_t at = copyOf(a), bt = copyOf(b);
    // The face runs a to b; the strip runs b to a on that side, and carries its texture outward.
    const bool withUVs = from && from->uvs.size() == from->indices.size();
    if (withUVs) uvs = {from->uvs[kb], from->uvs[ka], from->uvs[ka], from->uvs[kb]};
    AddFace(m, {b, a, at, bt}, withUVs ? &uvs : nullptr, material);
    any = true;
  }
  if (any) SelectOnly(m, selected, {});
  return any;
}

bool ExtrudeVertices(CModel& m, std::span<const std::int32_t> vertices, const CVector& offset) {
  std::vector<std::int32_t> selected;
  std::vector<std::uint8_t> seen(m.vertices.size(), 0);
  const D3 d(offset);
  for (std::int32_t v : vertices) {
    if (!m.HasVertex(v) || seen[static_cast<std::size_t>(v)]) continue;
    seen[static_cast<std::size_t>(v)] = 1;
    std::int32_t material = 0;
    for (std::int32_t r : m.vertices[static_cast<std::size_t>(v)].faceRefs)
      if (r >= 0 && static_cast<std::size_t>(r) < m.faces.size()) {
        material = m.faces[static_cast<std::size_t>(r)].material;
        break;
      }
    const auto nv = static_cast<std::int32_t>(m.vertices.size());
    CVertex vert;
    vert.position = ToVec(Pos(m, v) + d);
    m.vertices.push_back(vert);
    AddFace(m, {v, nv}, nullptr, material);
    selected.push_back(nv);
  }
  if (selected.empty()) return false;
  SelectOnly(m, selected, {});
  return true;
}

bool InsetFaces(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> faceList, bool individual,
                double thickness, double depth) {
  const std::vector<std::int32_t> faces = UsableFaces(m, faceList);
  if (faces.empty()) return false;
  const RegionCorners rc(m, ix, faces, individual);
  const std::vector<std::uint8_t> outside = UsedOutside(m, rc.inRegion);
  const std::vector<D3> dir = GroupDirections(m, rc, individual);
  // Each rim group moves inward along the mitre of the rim sides it has, far enough that every
  // one of them ends `thickness` from its old line.
  std::vector<D3> inward(static_cast<std::size_t>(rc.groups)), firstSide(static_cast<std::size_t>(rc.groups));
  for (std::int32_t f : rc.list) {
    const CFace& face = m.faces[static_cast<std::size_t>(f)];
    const std::size_t c = face.indices.size();
    const D3 centre = Centroid(m, face);
    for (std::size_t k = 0; k < c; ++k) {
      if (!rc.BoundarySide(f, k)) continue;
      const D3 p = Pos(m, face.indices[k]), q = Pos(m, face.indices[(k + 1) % c]);
      const D3 t = Unit(q - p), toCentre = centre - p;
      const D3 in = Unit(toCentre - t * Dot(toCentre, t));
      for (std::size_t j : {k, (k + 1) % c}) {
        const auto g = static_cast<std::size_t>(rc.GroupOf(f, j));
        if (Length(firstSide[g]) == 0.0) firstSide[g] = in;
        inward[g] = inward[g] + in;
      }
    }
  }
  std::vector<D3> offset(static_cast<std::size_t>(rc.groups));
  for (std::size_t g = 0; g < offset.size(); ++g) {
    D3 o = dir[g] * depth;
    if (rc.groupBoundary[g]) {
      const D3 u = Unit(inward[g]);
      const double c = std::max(Dot(u, firstSide[g]), 0.25);
      o = o + u * (thickness / c);
    }
    offset[g] = o;
  }
  const std::vector<CVector> before = [&] {
    std::vector<CVector> p;
    p.reserve(m.vertices.size());
    for (const CVertex& v : m.vertices) p.push_back(v.position);
    return p;
  }();
  const std::vector<std::int32_t> inner = SplitGroups(m, rc, outside, offset, false);
  std::vector<CUV> uvs(4);
  std::vector<std::int32_t> selected;
  for (std::int32_t f : rc.list) {
    const CFace face = m.faces[static_cast<std::size_t>(f)];
    const std::size_t c = face.indices.size();
    const bool withUVs = face.uvs.size() == c;
    // Texture coordinates of the shrunken corners, drawn toward the face's centre as far as the
    // corner moved toward it.
    std::vector<CUV> innerUV(c);
    if (withUVs) {
      D3 centre;
      double cu = 0, cv = 0;
      for (std::size_t k = 0; k < c; ++k) {
        centre = centre + D3(before[static_cast<std::size_t>(face.indices[k])]);
        cu += face.uvs[k].u;
        cv += face.uvs[k].v;
      }
      centre = centre * (1.0 / static_cast<double>(c));
      cu /= static_cast<double>(c);
      cv /= static_cast<double>(c);
      for (std::size_t k = 0; k < c; ++k) {
        const D3 p(before[static_cast<std::size_t>(face.indices[k])]);
        const double span = Length(centre - p);
        const double t =
            span > 0
                ? std::clamp(Length(Pos(m, inner[static_cast<std::size_t>(rc.GroupOf(f, k))]) - p) / span, 0.0, 1.0)
                : 0.0;
        innerUV[k] = CUV(static_cast<float>(face.uvs[k].u + (cu - face.uvs[k].u) * t),
                         static_cast<float>(face.uvs[k].v + (cv - face.uvs[k].v) * t));
      }
    }
    for (std::size_t k = 0; k < c; ++k) {
      if (!rc.BoundarySide(f, k)) continue;
      const std::size_t k1 = (k + 1) % c;
      const std::int32_t a = face.indices[k], b = face.indices[k1];
      const std::int32_t ai = inner[static_cast<std::size_t>(rc.GroupOf(f, k))],
                         bi = inner[static_cast<std::size_t>(rc.GroupOf(f, k1))];
      if (withUVs) uvs = {face.uvs[k], face.uvs[k1], innerUV[k1], innerUV[k]};
      AddFace(m, {a, b, bi, ai}, withUVs ? &uvs : nullptr, face.material);
    }
    CFace& now = m.faces[static_cast<std::size_t>(f)];
    for (std::size_t k = 0; k < c; ++k) {
      now.indices[k] = inner[static_cast<std::size_t>(rc.GroupOf(f, k))];
      if (withUVs && rc.groupBoundary[static_cast<std::size_t>(rc.GroupOf(f, k))]) now.uvs[k] = innerUV[k];
      selected.push_back(now.indices[k]);
    }
  }
  SelectOnly(m, selected, rc.list);
  return true;
}

bool SolidifyFaces(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> faceList, double thickness) {
  const std::vector<std::int32_t> faces = UsableFaces(m, faceList);
  if (faces.empty()) return false;
  const RegionCorners rc(m, ix, faces, false);
  const std::vector<std::uint8_t> outside = UsedOutside(m, rc.inRegion);
  std::vector<D3> normal(static_cast<std::size_t>(rc.groups));
  for (std::int32_t f : rc.list) {
    const D3 n = Unit(D3(LitNormal(m, m.faces[static_cast<std::size_t>(f)])));
    for (std::size_t k = 0; k < m.faces[static_cast<std::size_t>(f)].indices.size(); ++k)
      normal[static_cast<std::size_t>(rc.GroupOf(f, k))] = normal[static_cast<std::size_t>(rc.GroupOf(f, k))] + n;
  }
  for (D3& n : normal) n = Unit(n) * -thickness;
  const std::vector<std::int32_t> back = SplitGroups(m, rc, outside, normal, true);
  std::vector<CUV> uvs(4);
  std::vector<std::int32_t> selected;
  for (std::int32_t f : rc.list) {
    const CFace face = m.faces[static_cast<std::size_t>(f)];
    const std::size_t c = face.indices.size();
    const bool withUVs = face.uvs.size() == c;
    CFace copy;
    copy.material = face.material;
    for (std::size_t k = c; k-- > 0;) {
      copy.indices.push_back(back[static_cast<std::size_t>(rc.GroupOf(f, k))]);
      if (withUVs) copy.uvs.push_back(face.uvs[k]);
    }
    m.faces.push_back(std::move(copy));
    for (std::size_t k = 0; k < c; ++k) {
      selected.push_back(face.indices[k]);
      selected.push_back(back[static_cast<std::size_t>(rc.GroupOf(f, k))]);
      // A rim only where the surface ends: where the region meets other faces, a third face on
      // the edge would tear it.
      const std::int32_t e = ix.SideEdge(f, k);
      if (!rc.BoundarySide(f, k) || e == EdgeIndex::kNone || ix.FaceCountOf(e) != 1) continue;
      const std::size_t k1 = (k + 1) % c;
      const std::int32_t a = face.indices[k], b = face.indices[k1];
      const std::int32_t ab = back[static_cast<std::size_t>(rc.GroupOf(f, k))],
                         bb = back[static_cast<std::size_t>(rc.GroupOf(f, k1))];
      if (withUVs) uvs = {face.uvs[k1], face.uvs[k], face.uvs[k], face.uvs[k1]};
      AddFace(m, {b, a, ab, bb}, withUVs ? &uvs : nullptr, face.material);
    }
  }
  SelectOnly(m, selected, rc.list);
  return true;
}

}  // namespace mw
