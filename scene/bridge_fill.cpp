// Bridge, fill, a face from vertices and spin (declared in scene/grow_ops.h): the verbs that join
// or sweep chains of edges.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>
#include <vector>

#include "scene/grow_ops.h"
#include "scene/grow_ops_support.h"

namespace mw {

using namespace grow;

namespace {

struct Chain {
  std::vector<std::int32_t> v;  // in order; a closed chain does not repeat its first vertex
  bool closed = false;
};

// The edges as chains of vertices; false when a vertex has more than two of them.
bool Chains(const EdgeIndex& ix, std::span<const std::int32_t> edges, std::vector<Chain>& out) {
  std::unordered_map<std::int32_t, std::vector<std::int32_t>> next;
  std::vector<std::uint8_t> seen(ix.EdgeCount(), 0);
  for (std::int32_t e : edges) {
    if (e < 0 || static_cast<std::size_t>(e) >= ix.EdgeCount() || seen[static_cast<std::size_t>(e)]) continue;
    seen[static_cast<std::size_t>(e)] = 1;
    next[ix.Lower(e)].push_back(ix.Upper(e));
    next[ix.Upper(e)].push_back(ix.Lower(e));
  }
  std::vector<std::int32_t> starts;
  for (const auto& [v, n] : next) {
    if (n.size() > 2) return false;
    starts.push_back(v);
  }
  std::sort(starts.begin(), starts.end());
  // Open chains from their ends first, then what is left is closed.
  std::stable_partition(starts.begin(), starts.end(), [&next](std::int32_t v) { return next[v].size() == 1; });
  std::unordered_map<std::int32_t, std::uint8_t> used;
  for (std::int32_t s : starts) {
    if (used[s]) continue;
    Chain c;
    std::int32_t prev = -1, cur = s;
    while (true) {
      used[cur] = 1;
      c.v.push_back(cur);
      std::int32_t to = -1;
      for (std::int32_t n : next[cur])
        if (n != prev && !used[n]) {
          to = n;
          break;
        }
      if (to < 0) {
        c.closed = c.v.size() > 2 && next[cur].size() == 2 &&
                   std::find(next[cur].begin(), next[cur].end(), s) != next[cur].end();
        break;
      }
      prev = cur;
      cur = to;
    }
    out.push_back(std::move(c));
  }
  return true;
}

// Whether a face in sight runs from a to b (true), from b to a (false), or neither (nullopt as -1).
int FaceRuns(const CModel& m, const EdgeIndex& ix, std::int32_t a, std::int32_t b, std::int32_t* material) {
  const std::int32_t e = ix.Find(a, b);
  if (e == EdgeIndex::kNone) return -1;
  for (const std::int32_t* f = ix.FacesBegin(e); f != ix.FacesEnd(e); ++f) {
    const CFace& face = m.faces[static_cast<std::size_t>(*f)];
    if (face.indices.size() < 3) continue;
    const auto k = static_cast<std::size_t>(ix.SideOf(*f, e));
    if (material) *material = face.material;
    return face.indices[k] == a ? 1 : 0;
  }
  return -1;
}

// The texture coordinate a vertex has in the first face using it that has them.
bool VertexUV(const CModel& m, std::int32_t v, CUV& uv) {
  for (std::int32_t r : m.vertices[static_cast<std::size_t>(v)].faceRefs) {
    if (r < 0 || static_cast<std::size_t>(r) >= m.faces.size()) continue;
    const CFace& f = m.faces[static_cast<std::size_t>(r)];
    if (f.uvs.size() != f.indices.size()) continue;
    for (std::size_t k = 0; k < f.indices.size(); ++k)
      if (f.indices[k] == v) {
        uv = f.uvs[k];
        return true;
      }
  }
  return false;
}

// Adds a face through the corners, with the corners' texture coordinates when all have them.
bool AddJoined(CModel& m, std::vector<std::int32_t> idx, std::int32_t material) {
  std::vector<CUV> uvs(idx.size());
  bool withUVs = true;
  for (std::size_t k = 0; k < idx.size(); ++k) withUVs = withUVs && VertexUV(m, idx[k], uvs[k]);
  return PushCleanFace(m, idx, uvs, withUVs, material);
}

double Dist(const CModel& m, std::int32_t a, std::int32_t b) { return Length(Pos(m, a) - Pos(m, b)); }

}  // namespace

bool BridgeEdgeLoops(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges) {
  std::vector<Chain> chains;
  if (!Chains(ix, edges, chains) || chains.size() != 2 || chains[0].closed != chains[1].closed) return false;
  Chain a = chains[0], b = chains[1];
  const bool closed = a.closed;
  if (a.v.size() < (closed ? 3u : 2u) || b.v.size() < (closed ? 3u : 2u)) return false;
  m.RebuildFaceRefs();
  // Run A as its face does; the bridge then runs each of A's edges the other way.
  std::int32_t material = 0;
  for (std::size_t i = 0; i + 1 < a.v.size() || (closed && i < a.v.size()); ++i) {
    const int r = FaceRuns(m, ix, a.v[i], a.v[(i + 1) % a.v.size()], &material);
    if (r < 0) continue;
    if (r == 0) std::reverse(a.v.begin(), a.v.end());
    break;
  }
  const std::size_t na = a.v.size(), nb = b.v.size();
  // B's start and direction: the least total length of the joining edges.
  std::vector<std::int32_t> best;
  double bestLen = INFINITY;
  for (int dir = 0; dir < 2; ++dir) {
    std::vector<std::int32_t> bv = b.v;
    if (dir) std::reverse(bv.begin(), bv.end());
    for (std::size_t s = 0; s < (closed ? nb : 1); ++s) {
      std::rotate(bv.begin(), bv.begin() + static_cast<std::ptrdiff_t>(s ? 1 : 0), bv.end());
      double len = 0;
      if (na == nb) {
        for (std::size_t i = 0; i < na; ++i) len += Dist(m, a.v[i], bv[i]);
      } else {
        len = Dist(m, a.v[0], bv[0]) + Dist(m, a.v[na - 1], bv[nb - 1]) + Dist(m, a.v[na / 2], bv[nb / 2]);
      }
      if (len < bestLen) {
        bestLen = len;
        best = bv;
      }
    }
  }
  std::vector<std::int32_t> av = a.v, bv = best;
  if (closed) {
    av.push_back(av[0]);
    bv.push_back(bv[0]);
  }
  const std::size_t pa = av.size() - 1, pb = bv.size() - 1;
  std::vector<std::vector<std::int32_t>> faces;
  std::size_t i = 0, j = 0;
  while (i < pa || j < pb) {
    if (na == nb) {
      faces.push_back({av[i + 1], av[i], bv[j], bv[j + 1]});
      ++i;
      ++j;
      continue;
    }
    // Advance along the side whose diagonal is shorter, as far as both sides last.
    const bool stepA = j == pb || (i < pa && Dist(m, av[i + 1], bv[j]) * static_cast<double>(pb) <=
                                                 Dist(m, av[i], bv[j + 1]) * static_cast<double>(pa));
    if (stepA) {
      faces.push_back({av[i + 1], av[i], bv[j]});
      ++i;
    } else {
      faces.push_back({av[i], bv[j], bv[j + 1]});
      ++j;
    }
  }
  // A joining edge that is there already (two sides of one face) would get a third face.
  for (const auto& f : faces)
    for (std::size_t k = 0; k < f.size(); ++k) {
      const std::int32_t x = f[k], y = f[(k + 1) % f.size()];
      const bool alongA =
          std::find(av.begin(), av.end(), x) != av.end() && std::find(av.begin(), av.end(), y) != av.end();
      const bool alongB =
          std::find(bv.begin(), bv.end(), x) != bv.end() && std::find(bv.begin(), bv.end(), y) != bv.end();
      if (!alongA && !alongB && ix.Find(x, y) != EdgeIndex::kNone) return false;
    }
  for (auto& f : faces) AddJoined(m, f, material);
  std::vector<std::int32_t> sel(av);
  sel.insert(sel.end(), bv.begin(), bv.end());
  SelectOnly(m, sel, {});
  return true;
}

bool FillBorders(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges, bool quads) {
  std::vector<std::int32_t> border;
  for (std::int32_t e : edges)
    if (e >= 0 && static_cast<std::size_t>(e) < ix.EdgeCount() && ix.FaceCountOf(e) == 1) border.push_back(e);
  std::vector<Chain> chains;
  if (!Chains(ix, border, chains)) return false;
  m.RebuildFaceRefs();
  std::vector<std::int32_t> sel;
  const std::size_t before = m.faces.size();
  for (Chain& c : chains) {
    if (!c.closed) continue;
    std::int32_t material = 0;
    if (FaceRuns(m, ix, c.v[0], c.v[1], &material) == 1) std::reverse(c.v.begin(), c.v.end());
    const std::size_t n = c.v.size();
    if (quads && n % 2 == 0 && n >= 6) {
      // Rails from s forward and from s - 1 backward, joined by rungs; s makes the rungs shortest.
      const std::size_t k = n / 2;
      auto at = [&](std::ptrdiff_t i) {
        return c.v[static_cast<std::size_t>((i % static_cast<std::ptrdiff_t>(n) + static_cast<std::ptrdiff_t>(n)) %
                                            static_cast<std::ptrdiff_t>(n))];
      };
      std::size_t bestS = 0;
      double bestLen = INFINITY;
      for (std::size_t s = 0; s < k; ++s) {
        double len = 0;
        for (std::size_t i = 1; i + 1 < k; ++i)
          len += Dist(m, at(static_cast<std::ptrdiff_t>(s + i)),
                      at(static_cast<std::ptrdiff_t>(s) - 1 - static_cast<std::ptrdiff_t>(i)));
        if (len < bestLen) {
          bestLen = len;
          bestS = s;
        }
      }
      const auto s = static_cast<std::ptrdiff_t>(bestS);
      for (std::ptrdiff_t i = 0; i + 1 < static_cast<std::ptrdiff_t>(k); ++i)
        AddJoined(m, {at(s + i), at(s + i + 1), at(s - 2 - i), at(s - 1 - i)}, material);
    } else {
      AddJoined(m, c.v, material);
    }
    sel.insert(sel.end(), c.v.begin(), c.v.end());
  }
  if (m.faces.size() == before) return false;
  std::vector<std::int32_t> faces;
  for (std::size_t f = before; f < m.faces.size(); ++f) faces.push_back(static_cast<std::int32_t>(f));
  SelectOnly(m, sel, faces);
  return true;
}

bool FaceFromVertices(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> vertices, std::int32_t material) {
  std::vector<std::int32_t> v;
  for (std::int32_t i : vertices)
    if (m.HasVertex(i)) v.push_back(i);
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
  if (v.size() < 2) return false;
  m.RebuildFaceRefs();
  if (v.size() == 2) {
    if (ix.Find(v[0], v[1]) != EdgeIndex::kNone) return false;
    AddFace(m, {v[0], v[1]}, nullptr, material);
    SelectOnly(m, v, {});
    return true;
  }
  // Round the centre in the plane the points spread over most.
  D3 c;
  for (std::int32_t i : v) c = c + Pos(m, i);
  c = c * (1.0 / static_cast<double>(v.size()));
  std::int32_t far = v[0];
  for (std::int32_t i : v)
    if (Length(Pos(m, i) - c) > Length(Pos(m, far) - c)) far = i;
  const D3 u = Unit(Pos(m, far) - c);
  D3 normal;
  for (std::int32_t i : v) {
    const D3 n = CrossD(u, Pos(m, i) - c);
    if (Length(n) > Length(normal)) normal = n;
  }
  normal = Unit(normal);
  if (Length(normal) == 0) return false;  // all on one line
  const D3 w = CrossD(normal, u);
  std::sort(v.begin(), v.end(), [&](std::int32_t a, std::int32_t b) {
    const D3 pa = Pos(m, a) - c, pb = Pos(m, b) - c;
    return std::atan2(Dot(pa, w), Dot(pa, u)) < std::atan2(Dot(pb, w), Dot(pb, u));
  });
  // Continue the faces round it; a loose set faces away from the model's centre.
  int vote = 0;
  for (std::size_t k = 0; k < v.size(); ++k) {
    const int r = FaceRuns(m, ix, v[k], v[(k + 1) % v.size()], &material);
    if (r >= 0) vote += r ? -1 : 1;
  }
  if (vote == 0) {
    D3 centre;
    for (const CVertex& x : m.vertices) centre = centre + D3(x.position);
    centre = centre * (1.0 / static_cast<double>(m.vertices.size()));
    // The order runs counter-clockwise about `normal`; lit from the other side.
    vote = Dot(normal, c - centre) > 0 ? -1 : 1;
  }
  if (vote < 0) std::reverse(v.begin(), v.end());
  const std::size_t before = m.faces.size();
  if (!AddJoined(m, v, material)) return false;
  SelectOnly(m, v, {static_cast<std::int32_t>(before)});
  return true;
}

namespace {

// Copies of vertices turned round an axis of a pane, step by step; a vertex on the axis is its own
// copy at every step, so no face there collapses into a repeated corner.
struct Sweep {
  CModel& m;
  int axis;
  D3 origin;
  double degrees;
  int steps, rings;
  std::unordered_map<std::int32_t, std::vector<std::int32_t>> ring;
  std::vector<std::int32_t> made;

  Sweep(CModel& model, Plane plane, const CVector& centre, double deg, int n)
      : m(model),
        axis(plane == kPlaneTop ? 1 : (plane == kPlaneFace ? 2 : 0)),
        origin(centre),
        degrees(deg),
        steps(n),
        rings(std::fabs(deg) >= 360.0 - 1e-9 ? n : n + 1) {}
  bool Full() const { return rings == steps; }

  D3 Turned(const D3& p, double angle) const {
    const D3 d = p - origin;
    double q[3] = {d.x, d.y, d.z};
    const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
    const double x = q[a1], y = q[a2], cs = std::cos(angle), sn = std::sin(angle);
    q[a1] = x * cs - y * sn;
    q[a2] = x * sn + y * cs;
    return origin + D3(q[0], q[1], q[2]);
  }
  bool OnAxis(const D3& p) const {
    const D3 d = p - origin;
    const double q[3] = {d.x, d.y, d.z};
    return std::hypot(q[(axis + 1) % 3], q[(axis + 2) % 3]) < 1e-6;
  }
  // The vertex at every step, known by `key` (the vertex itself, or a fan of a region's corners).
  const std::vector<std::int32_t>& Of(std::int32_t v) { return Of(v, v); }
  const std::vector<std::int32_t>& Of(std::int32_t key, std::int32_t v) {
    auto [it, added] = ring.try_emplace(key);
    if (!added) return it->second;
    const D3 p = Pos(m, v);
    it->second.push_back(v);
    for (int s = 1; s < rings; ++s) {
      if (OnAxis(p)) {
        it->second.push_back(v);
        continue;
      }
      CVertex nv;
      nv.position = ToVec(Turned(p, degrees * std::numbers::pi / 180.0 * s / steps));
      it->second.push_back(static_cast<std::int32_t>(m.vertices.size()));
      made.push_back(it->second.back());
      m.vertices.push_back(nv);
    }
    return it->second;
  }
  // The wall of side a -> b of a face (or a profile run that way), from step s to the next.
  std::vector<std::int32_t> Wall(std::int32_t a, std::int32_t b, int s) { return Wall(a, a, b, b, s); }
  std::vector<std::int32_t> Wall(std::int32_t keyA, std::int32_t a, std::int32_t keyB, std::int32_t b, int s) {
    const std::vector<std::int32_t> ra = Of(keyA, a), rb = Of(keyB, b);
    const auto s0 = static_cast<std::size_t>(s), s1 = static_cast<std::size_t>((s + 1) % rings);
    return {rb[s0], ra[s0], ra[s1], rb[s1]};
  }
};

bool SpinUsable(Plane plane, double degrees, int steps) {
  return IsPlane(plane) && steps >= 1 && std::isfinite(degrees) && degrees != 0;
}

}  // namespace

bool SpinEdges(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges, Plane plane, const CVector& centre,
               double degrees, int steps) {
  if (!SpinUsable(plane, degrees, steps)) return false;
  // Each chain's edges in its order, so the strips of neighbouring edges are wound alike; a chain
  // along a face is run as the face runs it, and its strip runs against it.
  std::vector<Chain> chains;
  if (!Chains(ix, edges, chains)) return false;
  m.RebuildFaceRefs();
  std::vector<std::pair<std::int32_t, std::int32_t>> list;
  for (Chain& c : chains) {
    const std::size_t n = c.v.size(), sides = c.closed ? n : n - 1;
    for (std::size_t i = 0; i < sides; ++i) {
      const int r = FaceRuns(m, ix, c.v[i], c.v[(i + 1) % n], nullptr);
      if (r < 0) continue;
      if (r == 0) std::reverse(c.v.begin(), c.v.end());
      break;
    }
    for (std::size_t i = 0; i < sides; ++i) list.emplace_back(c.v[i], c.v[(i + 1) % n]);
  }
  if (list.empty()) return false;
  Sweep sweep(m, plane, centre, degrees, steps);
  const std::size_t before = m.faces.size();
  for (auto [a, b] : list) {
    std::int32_t material = 0;
    FaceRuns(m, ix, a, b, &material);
    for (int s = 0; s < steps; ++s) AddJoined(m, sweep.Wall(a, b, s), material);
  }
  if (m.faces.size() == before) return false;
  SelectOnly(m, sweep.made, {});
  return true;
}

bool SpinFaces(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> faceList, Plane plane,
               const CVector& centre, double degrees, int steps) {
  if (!SpinUsable(plane, degrees, steps)) return false;
  std::vector<std::int32_t> faces;
  for (std::int32_t f : faceList)
    if (f >= 0 && static_cast<std::size_t>(f) < m.faces.size() &&
        m.faces[static_cast<std::size_t>(f)].indices.size() >= 3)
      faces.push_back(f);
  if (faces.empty()) return false;
  m.RebuildFaceRefs();
  // As extruding along an arc: the rim's fans sweep out the walls and the faces end where the turn
  // ends; a fan inside the region that nothing else uses just turns with it.
  const RegionCorners rc(m, ix, faces, false);
  const std::vector<std::uint8_t> outside = UsedOutside(m, rc.inRegion);
  std::vector<std::int32_t> perVertex(m.vertices.size(), 0);
  for (std::int32_t g = 0; g < rc.groups; ++g)
    ++perVertex[static_cast<std::size_t>(rc.groupVertex[static_cast<std::size_t>(g)])];
  Sweep sweep(m, plane, centre, degrees, steps);
  auto swept = [&](std::int32_t g) {
    const std::int32_t v = rc.groupVertex[static_cast<std::size_t>(g)];
    return rc.groupBoundary[static_cast<std::size_t>(g)] || outside[static_cast<std::size_t>(v)] ||
           perVertex[static_cast<std::size_t>(v)] > 1;
  };
  std::vector<std::int32_t> regionVertices, end(static_cast<std::size_t>(rc.groups), -1);
  const double turn = degrees * std::numbers::pi / 180.0;
  for (std::int32_t f : rc.list) {
    const CFace face = m.faces[static_cast<std::size_t>(f)];
    const std::size_t c = face.indices.size();
    for (std::size_t k = 0; k < c; ++k) {
      const std::int32_t g = rc.GroupOf(f, k), v = face.indices[k];
      regionVertices.push_back(v);
      if (!swept(g)) {
        if (end[static_cast<std::size_t>(g)] < 0) {
          m.vertices[static_cast<std::size_t>(v)].position = ToVec(sweep.Turned(Pos(m, v), turn));
          end[static_cast<std::size_t>(g)] = v;
        }
        continue;
      }
      end[static_cast<std::size_t>(g)] = sweep.Of(g, v).back();
      if (sweep.Full()) end[static_cast<std::size_t>(g)] = v;
      if (!rc.BoundarySide(f, k)) continue;
      const std::size_t k1 = (k + 1) % c;
      // The faces leave their rim: the wall runs the rim as they did, the other way from a profile's.
      for (int s = 0; s < steps; ++s) {
        std::vector<std::int32_t> wall = sweep.Wall(g, v, rc.GroupOf(f, k1), face.indices[k1], s);
        std::reverse(wall.begin(), wall.end());
        AddJoined(m, wall, face.material);
      }
    }
  }
  if (sweep.Full()) {
    // The start and the end are one place: the faces would lie across the inside of the ring.
    std::vector<std::uint8_t> gone(m.faces.size(), 0);
    for (std::int32_t f : rc.list) gone[static_cast<std::size_t>(f)] = 1;
    std::size_t w = 0;
    for (std::size_t f = 0; f < m.faces.size(); ++f)
      if (!gone[f]) m.faces[w++] = std::move(m.faces[f]);
    m.faces.resize(w);
    const std::vector<std::int32_t> remap = DropUnused(m, regionVertices);
    std::vector<std::int32_t> sel;
    for (std::int32_t v : sweep.made) sel.push_back(remap[static_cast<std::size_t>(v)]);
    SelectOnly(m, sel, {});
    return true;
  }
  std::vector<std::int32_t> sel;
  for (std::int32_t f : rc.list) {
    CFace& face = m.faces[static_cast<std::size_t>(f)];
    for (std::size_t k = 0; k < face.indices.size(); ++k) {
      face.indices[k] = end[static_cast<std::size_t>(rc.GroupOf(f, k))];
      sel.push_back(face.indices[k]);
    }
  }
  SelectOnly(m, sel, rc.list);
  return true;
}

}  // namespace mw
