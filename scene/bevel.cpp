// Bevel of edges and vertices (declared in scene/grow_ops.h).
//
// Every face corner at a bevelled vertex is replaced by the points it is cut back to: along each
// edge that is not bevelled, one point shared by the faces on both sides; between two bevelled
// edges, a point of its own. Each bevelled edge becomes a strip of rows between the two faces'
// points, bent by the profile; what is left round the vertex (the cube corner's triangle) is one
// face through the points in the order of the fan, so nothing is left open or covered twice.
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "scene/grow_ops.h"
#include "scene/grow_ops_support.h"

namespace mw {

using namespace grow;

namespace {

struct FanCorner {
  std::int32_t face;
  std::size_t corner;
};

// The faces round v in the order a face's next side leads to the following face, or nothing
// when they are not one fan of consistently wound faces (or a face there is hidden).
bool Fan(const CModel& m, const EdgeIndex& ix, std::int32_t v, std::vector<FanCorner>& fan, bool& closed) {
  fan.clear();
  closed = false;
  const FaceRefList& refs = m.vertices[static_cast<std::size_t>(v)].faceRefs;
  if (refs.empty()) return false;
  auto cornerOf = [&](std::int32_t f) -> int {
    const CFace& face = m.faces[static_cast<std::size_t>(f)];
    int found = -1;
    for (std::size_t k = 0; k < face.indices.size(); ++k)
      if (face.indices[k] == v) {
        if (found >= 0) return -2;
        found = static_cast<int>(k);
      }
    return found;
  };
  auto prevSide = [&](const FanCorner& c) {
    const std::size_t n = m.faces[static_cast<std::size_t>(c.face)].indices.size();
    return ix.SideEdge(c.face, (c.corner + n - 1) % n);
  };
  auto nextSide = [&](const FanCorner& c) { return ix.SideEdge(c.face, c.corner); };
  auto across = [&](std::int32_t e, std::int32_t from, FanCorner& out) -> int {  // 1 found, 0 border, -1 bad
    if (e == EdgeIndex::kNone) return -1;
    const std::size_t count = ix.FaceCountOf(e);
    if (count == 1) return 0;
    if (count != 2) return -1;
    const std::int32_t g = ix.FacesBegin(e)[0] == from ? ix.FacesBegin(e)[1] : ix.FacesBegin(e)[0];
    if (g == from) return -1;
    const int k = cornerOf(g);
    if (k < 0) return -1;
    out = {g, static_cast<std::size_t>(k)};
    return 1;
  };
  const std::int32_t f0 = refs[0];
  const int k0 = cornerOf(f0);
  if (k0 < 0 || m.faces[static_cast<std::size_t>(f0)].indices.size() < 3) return false;
  FanCorner start{f0, static_cast<std::size_t>(k0)};
  // Back to the first face of an open fan.
  FanCorner c = start;
  for (std::size_t guard = 0; guard <= refs.size(); ++guard) {
    FanCorner p{};
    const int r = across(prevSide(c), c.face, p);
    if (r < 0) return false;
    if (r == 0) break;
    if (nextSide(p) != prevSide(c)) return false;  // wound against its neighbour
    c = p;
    if (c.face == start.face) break;
  }
  start = c;
  for (std::size_t guard = 0; guard <= refs.size(); ++guard) {
    const CFace& face = m.faces[static_cast<std::size_t>(c.face)];
    if (face.hidden || face.indices.size() < 3) return false;
    fan.push_back(c);
    FanCorner n{};
    const int r = across(nextSide(c), c.face, n);
    if (r < 0) return false;
    if (r == 0) break;
    if (prevSide(n) != nextSide(c)) return false;
    if (n.face == start.face) {
      closed = true;
      break;
    }
    c = n;
  }
  return fan.size() == refs.size();
}

struct Item {
  std::int32_t vertex;
  CUV uv;
};

std::uint64_t Key(std::int32_t a, std::size_t b) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32 | b;
}

bool Bevel(CModel& m, const EdgeIndex& ix, const std::vector<std::uint8_t>& edgeSel, std::vector<std::int32_t> verts,
           const BevelParams& p) {
  std::sort(verts.begin(), verts.end());
  verts.erase(std::unique(verts.begin(), verts.end()), verts.end());
  if (verts.empty()) return false;
  m.RebuildFaceRefs();
  std::erase_if(verts, [&m](std::int32_t v) { return m.vertices[static_cast<std::size_t>(v)].faceRefs.empty(); });
  if (verts.empty()) return false;
  const std::size_t firstNew = m.vertices.size();
  auto selected = [&](std::int32_t e) {
    return e != EdgeIndex::kNone && edgeSel[static_cast<std::size_t>(e)] && ix.FaceCountOf(e) >= 1 &&
           ix.FaceCountOf(e) <= 2;
  };
  // Check every fan before changing anything.
  std::vector<std::vector<FanCorner>> fans(verts.size());
  std::vector<std::uint8_t> closedFan(verts.size());
  for (std::size_t i = 0; i < verts.size(); ++i) {
    bool closed = false;
    if (!Fan(m, ix, verts[i], fans[i], closed)) return false;
    closedFan[i] = closed;
  }
  const double width = std::max(0.0, p.width);
  const int segments = std::clamp(p.segments, 1, 10);
  const bool withUVs =
      std::all_of(m.faces.begin(), m.faces.end(),
                  [](const CFace& f) { return f.uvs.size() == f.indices.size() || f.indices.size() < 3; }) &&
      std::any_of(m.faces.begin(), m.faces.end(), [](const CFace& f) { return !f.uvs.empty(); });
  std::vector<CUV> vertexUV;  // of the new vertices and the kept ones, for the new faces
  auto newVertex = [&](const D3& pos, const CUV& uv) {
    CVertex nv;
    nv.position = ToVec(pos);
    m.vertices.push_back(nv);
    vertexUV.resize(m.vertices.size());
    vertexUV.back() = uv;
    return static_cast<std::int32_t>(m.vertices.size() - 1);
  };
  vertexUV.resize(m.vertices.size());
  auto uvOf = [](const CFace& f, std::size_t k) { return f.uvs.size() == f.indices.size() ? f.uvs[k] : CUV(); };
  auto lerpUV = [](const CUV& a, const CUV& b, double t) {
    return CUV(static_cast<float>(a.u + (b.u - a.u) * t), static_cast<float>(a.v + (b.v - a.v) * t));
  };
  // Points cut back along edges that are not bevelled, one per (edge, vertex).
  std::unordered_map<std::uint64_t, std::int32_t> slide;
  std::unordered_map<std::uint64_t, std::vector<Item>> items;  // per (face, corner)
  for (std::size_t i = 0; i < verts.size(); ++i) {
    const std::int32_t v = verts[i];
    const D3 pv = Pos(m, v);
    for (const FanCorner& c : fans[i]) {
      const CFace face = m.faces[static_cast<std::size_t>(c.face)];
      const std::size_t n = face.indices.size(), kp = (c.corner + n - 1) % n, kn = (c.corner + 1) % n;
      vertexUV[static_cast<std::size_t>(v)] = uvOf(face, c.corner);
      const std::int32_t ep = ix.SideEdge(c.face, kp), en = ix.SideEdge(c.face, c.corner);
      const bool sp = selected(ep), sn = selected(en);
      const D3 prev = Pos(m, face.indices[kp]), next = Pos(m, face.indices[kn]);
      auto along = [&](std::int32_t e, const D3& far, std::size_t kFar) {
        const double len = Length(far - pv), d = len > 0 ? std::min(width, 0.5 * len) : 0.0;
        const CUV uv = lerpUV(uvOf(face, c.corner), uvOf(face, kFar), len > 0 ? d / len : 0.0);
        auto [it, added] = slide.try_emplace(Key(e, static_cast<std::size_t>(v)), 0);
        if (added) it->second = newVertex(pv + Unit(far - pv) * d, uv);
        return Item{it->second, uv};
      };
      std::vector<Item>& out = items[Key(c.face, c.corner)];
      if (sp && sn) {
        const D3 up = Unit(prev - pv), un = Unit(next - pv);
        const double s = std::max(Length(CrossD(up, un)), 0.1), d = width / s;
        const double lp = Length(prev - pv), ln = Length(next - pv);
        const CUV u0 = uvOf(face, c.corner), a = uvOf(face, kp), b = uvOf(face, kn);
        const double tp = lp > 0 ? d / lp : 0, tn = ln > 0 ? d / ln : 0;
        const CUV uv(static_cast<float>(u0.u + (a.u - u0.u) * tp + (b.u - u0.u) * tn),
                     static_cast<float>(u0.v + (a.v - u0.v) * tp + (b.v - u0.v) * tn));
        out.push_back({newVertex(pv + (up + un) * d, uv), uv});
      } else if (sp) {
        out.push_back(along(en, next, kn));
      } else if (sn) {
        out.push_back(along(ep, prev, kp));
      } else {
        out.push_back(along(ep, prev, kp));
        out.push_back(along(en, next, kn));
      }
    }
  }
  // Strips. At each end x the rows run from the face whose side starts at x to the face whose
  // side ends there (x itself on the border); `between` keeps the rows' inner points in that order.
  std::unordered_map<std::uint64_t, std::vector<std::int32_t>> between;
  const double bend = std::clamp(p.profile, 0.0, 1.0) * 2.0;
  std::vector<std::int32_t> idx;
  std::vector<CUV> uvs;
  for (std::size_t e = 0; e < edgeSel.size(); ++e) {
    const auto edge = static_cast<std::int32_t>(e);
    if (!selected(edge)) continue;
    const std::int32_t f = ix.FacesBegin(edge)[0];
    const std::int32_t g = ix.FaceCountOf(edge) == 2 ? ix.FacesBegin(edge)[1] : -1;
    const CFace& ff = m.faces[static_cast<std::size_t>(f)];
    const std::int32_t material = ff.material;
    const std::size_t n = ff.indices.size(), k = static_cast<std::size_t>(ix.SideOf(f, edge));
    const std::int32_t a = ff.indices[k], b = ff.indices[(k + 1) % n];
    auto cornerIn = [&](std::int32_t face, std::int32_t v) {
      const CFace& fc = m.faces[static_cast<std::size_t>(face)];
      for (std::size_t j = 0; j < fc.indices.size(); ++j)
        if (fc.indices[j] == v) return j;
      return std::size_t{0};
    };
    // Rows at one end: from f's point to g's (or the vertex itself).
    auto rows = [&](std::int32_t x, bool fFirstItem) {
      std::vector<Item> r;
      const auto& fi = items[Key(f, cornerIn(f, x))];
      r.push_back(fFirstItem ? fi.front() : fi.back());
      Item last{x, vertexUV[static_cast<std::size_t>(x)]};
      if (g >= 0) {
        const auto& gi = items[Key(g, cornerIn(g, x))];
        last = fFirstItem ? gi.back() : gi.front();
      }
      const D3 pf = Pos(m, r.front().vertex), pg = Pos(m, last.vertex), mid = (pf + pg) * 0.5;
      const D3 control = mid + (Pos(m, x) - mid) * bend;
      for (int s = 1; s < segments; ++s) {
        const double t = static_cast<double>(s) / segments;
        const D3 q = pf * ((1 - t) * (1 - t)) + control * (2 * t * (1 - t)) + pg * (t * t);
        const CUV uv = lerpUV(r.front().uv, last.uv, t);
        r.push_back({newVertex(q, uv), uv});
      }
      r.push_back(last);
      return r;
    };
    const std::vector<Item> la = rows(a, false), lb = rows(b, true);
    std::vector<std::int32_t> ia, ib;
    for (std::size_t s = 1; s + 1 < la.size(); ++s) ia.push_back(la[s].vertex);
    for (std::size_t s = lb.size() - 1; s-- > 1;) ib.push_back(lb[s].vertex);
    between[Key(edge, static_cast<std::size_t>(a))] = ia;
    between[Key(edge, static_cast<std::size_t>(b))] = ib;
    for (int s = 0; s < segments; ++s) {
      const auto s0 = static_cast<std::size_t>(s), s1 = s0 + 1;
      idx = {lb[s0].vertex, la[s0].vertex, la[s1].vertex, lb[s1].vertex};
      uvs = {lb[s0].uv, la[s0].uv, la[s1].uv, lb[s1].uv};
      PushCleanFace(m, idx, uvs, withUVs, material);
    }
  }
  // Where one bevelled edge ends at a corner of three faces, the face across from it takes the
  // strip's rows into its cut, so the rows' bend closes against it and no face is needed there.
  std::vector<std::uint8_t> closedByFace(verts.size(), 0);
  for (std::size_t i = 0; i < verts.size(); ++i) {
    const auto& fan = fans[i];
    if (!closedFan[i] || fan.size() != 3 || segments < 2) continue;
    std::int32_t only = EdgeIndex::kNone;
    int count = 0;
    for (const FanCorner& c : fan)
      if (selected(ix.SideEdge(c.face, c.corner))) {
        only = ix.SideEdge(c.face, c.corner);
        ++count;
      }
    if (count != 1) continue;
    for (const FanCorner& c : fan) {
      std::vector<Item>& it = items[Key(c.face, c.corner)];
      if (it.size() != 2) continue;
      const std::vector<std::int32_t>& rows = between[Key(only, static_cast<std::size_t>(verts[i]))];
      std::vector<Item> now{it[0]};
      for (auto r = rows.rbegin(); r != rows.rend(); ++r) now.push_back({*r, vertexUV[static_cast<std::size_t>(*r)]});
      now.push_back(it[1]);
      it = std::move(now);
      closedByFace[i] = 1;
    }
  }
  // The faces round each vertex: through the points in fan order, wound against it.
  for (std::size_t i = 0; i < verts.size(); ++i) {
    if (closedByFace[i]) continue;
    const std::int32_t v = verts[i];
    const auto& fan = fans[i];
    std::vector<Item> chain;
    auto addBetween = [&](std::int32_t e) {
      for (std::int32_t x : between[Key(e, static_cast<std::size_t>(v))])
        chain.push_back({x, vertexUV[static_cast<std::size_t>(x)]});
    };
    const CFace& first = m.faces[static_cast<std::size_t>(fan.front().face)];
    const std::int32_t material = first.material;
    const std::int32_t firstPrev =
        ix.SideEdge(fan.front().face, (fan.front().corner + first.indices.size() - 1) % first.indices.size());
    if (!closedFan[i] && selected(firstPrev)) {
      chain.push_back({v, vertexUV[static_cast<std::size_t>(v)]});
      addBetween(firstPrev);
    }
    for (std::size_t j = 0; j < fan.size(); ++j) {
      for (const Item& it : items[Key(fan[j].face, fan[j].corner)]) chain.push_back(it);
      const std::int32_t en = ix.SideEdge(fan[j].face, fan[j].corner);
      if (!selected(en)) continue;
      addBetween(en);
      if (j + 1 == fan.size() && !closedFan[i]) chain.push_back({v, vertexUV[static_cast<std::size_t>(v)]});
    }
    idx.clear();
    uvs.clear();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      idx.push_back(it->vertex);
      uvs.push_back(it->uv);
    }
    PushCleanFace(m, idx, uvs, withUVs, material);
  }
  // The faces that had the vertices take their points instead.
  std::vector<std::uint8_t> touched(m.faces.size(), 0);
  for (const auto& fan : fans)
    for (const FanCorner& c : fan) touched[static_cast<std::size_t>(c.face)] = 1;
  for (std::size_t f = 0; f < touched.size(); ++f) {
    if (!touched[f]) continue;
    CFace& face = m.faces[f];
    const bool faceUVs = face.uvs.size() == face.indices.size();
    CFace now;
    now.material = face.material;
    now.hidden = face.hidden;
    for (std::size_t k = 0; k < face.indices.size(); ++k) {
      auto it = items.find(Key(static_cast<std::int32_t>(f), k));
      if (it == items.end()) {
        now.indices.push_back(face.indices[k]);
        if (faceUVs) now.uvs.push_back(face.uvs[k]);
        continue;
      }
      for (const Item& x : it->second) {
        if (!now.indices.empty() && now.indices.back() == x.vertex) continue;
        now.indices.push_back(x.vertex);
        if (faceUVs) now.uvs.push_back(x.uv);
      }
    }
    while (now.indices.size() > 1 && now.indices.back() == now.indices[0]) {
      now.indices.resize(now.indices.size() - 1);
      if (faceUVs) now.uvs.resize(now.uvs.size() - 1);
    }
    face = std::move(now);
  }
  // The bevelled vertices no face uses any more go; the others are renumbered down.
  const std::vector<std::int32_t> remap = DropUnused(m, verts);
  std::vector<std::int32_t> made;
  for (std::size_t v = firstNew; v < remap.size(); ++v)
    if (remap[v] >= 0) made.push_back(remap[v]);
  SelectOnly(m, made, {});
  return true;
}

}  // namespace

bool BevelEdges(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges, const BevelParams& p) {
  std::vector<std::uint8_t> sel(ix.EdgeCount(), 0);
  std::vector<std::int32_t> verts;
  for (std::int32_t e : edges) {
    if (e < 0 || static_cast<std::size_t>(e) >= ix.EdgeCount()) continue;
    if (ix.FaceCountOf(e) < 1 || ix.FaceCountOf(e) > 2) continue;
    sel[static_cast<std::size_t>(e)] = 1;
    verts.push_back(ix.Lower(e));
    verts.push_back(ix.Upper(e));
  }
  return Bevel(m, ix, sel, std::move(verts), p);
}

bool BevelVertices(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> vertices, const BevelParams& p) {
  std::vector<std::int32_t> verts;
  for (std::int32_t v : vertices)
    if (m.HasVertex(v)) verts.push_back(v);
  return Bevel(m, ix, std::vector<std::uint8_t>(ix.EdgeCount(), 0), std::move(verts), p);
}

}  // namespace mw
