#include "scene/uv_ops.h"

#include <Eigen/Sparse>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>

#include "scene/edge_index.h"
#include "scene/grow_ops_support.h"
#include "scene/ortho_plane.h"
#include "scene/polygon_triangles.h"

namespace mw {

namespace {

constexpr CUV kDefaultUV[4] = {CUV(0, 0), CUV(0, 1), CUV(1, 1), CUV(1, 0)};

using grow::CrossD;
using grow::D3;
using grow::Dot;
using grow::Length;
using grow::NewellNormal;
using grow::Pos;
using grow::Unit;

struct D2 {
  double u = 0, v = 0;
};

bool Usable(const CModel& m, std::int32_t f) {
  if (f < 0 || static_cast<std::size_t>(f) >= m.faces.size()) return false;
  const CFace& face = m.faces[static_cast<std::size_t>(f)];
  if (face.hidden || face.indices.size() < 3) return false;
  return std::all_of(face.indices.begin(), face.indices.end(), [&m](std::int32_t i) { return m.HasVertex(i); });
}

// The usable faces of the list, each once, ascending.
std::vector<std::int32_t> UsableFaces(const CModel& m, std::span<const std::int32_t> faces) {
  std::vector<std::int32_t> out;
  out.reserve(faces.size());
  for (std::int32_t f : faces)
    if (Usable(m, f)) out.push_back(f);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}


bool HasCornerUVs(const CFace& f) { return !f.uvs.empty() && f.uvs.size() == f.indices.size(); }


double UVArea(const CFace& f) {
  double a = 0;
  const std::size_t k = f.uvs.size();
  for (std::size_t i = 0; i < k; ++i) {
    const CUV& p = f.uvs[i];
    const CUV& q = f.uvs[(i + 1) % k];
    a += static_cast<double>(p.u) * q.v - static_cast<double>(q.u) * p.v;
  }
  return a / 2;
}

// Raw coordinates of each corner, in model units, then fitted into 0..1 with the aspect kept.
void FitAndStore(CModel& m, std::span<const std::int32_t> faces, const std::vector<std::vector<D2>>& raw) {
  double lu = std::numeric_limits<double>::infinity(), lv = lu, hu = -lu, hv = -lu;
  for (const auto& face : raw)
    for (const D2& p : face) lu = std::min(lu, p.u), hu = std::max(hu, p.u), lv = std::min(lv, p.v), hv = std::max(hv, p.v);
  const double w = hu - lu, h = hv - lv, side = std::max(w, h);
  const bool flat = !(side > 0) || !std::isfinite(side);
  for (std::size_t i = 0; i < faces.size(); ++i) {
    CFace& f = m.faces[static_cast<std::size_t>(faces[i])];
    f.uvs.resize(f.indices.size());
    for (std::size_t k = 0; k < f.indices.size(); ++k) {
      const D2& p = raw[i][k];
      f.uvs[k] = flat ? CUV(0.5f, 0.5f)
                      : CUV(static_cast<float>((p.u - lu + (side - w) / 2) / side),
                            static_cast<float>((p.v - lv + (side - h) / 2) / side));
    }
  }
}

// The picture as an orthographic pane shows it (u to the right, v downward), the texture upright
// for a face seen from the pane's side; seen from behind, u runs the other way so it is not mirrored.
D2 PaneUV(const D3& p, int hiddenAxis, bool fromBehind) {
  const PlaneAxes axes = AxesOf(PlaneHiding(hiddenAxis));
  const double u = axes.u.flipped ? -p[axes.u.axis] : p[axes.u.axis];
  const double v = axes.v.flipped ? -p[axes.v.axis] : p[axes.v.axis];
  return {fromBehind ? -u : u, v};
}

int DominantAxis(const D3& n) {
  const double ax = std::abs(n.x), ay = std::abs(n.y), az = std::abs(n.z);
  return ax >= ay && ax >= az ? 0 : ay >= az ? 1 : 2;
}

// Each pane looks from the positive end of the axis it hides. A face shows its lit side where its
// corners run clockwise, the side opposite its right-hand normal.
bool SeenFromBehind(const D3& rightHandNormal, int axis) { return -rightHandNormal[axis] < 0; }

// Corners grouped into the points an unwrap solves for: two corners are one point when they name
// one vertex and their faces meet across an edge at that vertex that is not a seam.
struct CornerPoints {
  std::vector<std::uint32_t> cornerStart;  // per listed face + 1
  std::vector<std::int32_t> point;         // per corner
  std::vector<std::int32_t> pointVertex;   // per point
  std::vector<std::vector<std::int32_t>> islands;  // positions in the face list
};

struct UnionFind {
  std::vector<std::int32_t> parent;
  explicit UnionFind(std::size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
  std::int32_t Find(std::int32_t i) {
    while (parent[static_cast<std::size_t>(i)] != i) {
      parent[static_cast<std::size_t>(i)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(i)])];
      i = parent[static_cast<std::size_t>(i)];
    }
    return i;
  }
  void Join(std::int32_t a, std::int32_t b) {
    a = Find(a), b = Find(b);
    if (a != b) parent[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
  }
};

// Faces connected across the edges `joins` accepts (an edge of the index, two positions in the
// list and the corners of each at the edge's ends); corners joined at both ends.
template <typename Joins>
CornerPoints Connect(const CModel& m, std::span<const std::int32_t> list, Joins joins) {
  CornerPoints out;
  const EdgeIndex ix(m);
  std::vector<std::int32_t> position(m.faces.size(), -1);
  out.cornerStart.push_back(0);
  for (std::size_t i = 0; i < list.size(); ++i) {
    position[static_cast<std::size_t>(list[i])] = static_cast<std::int32_t>(i);
    out.cornerStart.push_back(out.cornerStart.back() +
                              static_cast<std::uint32_t>(m.faces[static_cast<std::size_t>(list[i])].indices.size()));
  }
  UnionFind corners(out.cornerStart.back()), faces(list.size());
  std::vector<std::int32_t> sharing;
  for (std::size_t e = 0; e < ix.EdgeCount(); ++e) {
    const auto edge = static_cast<std::int32_t>(e);
    if (ix.FaceCountOf(edge) < 2) continue;
    sharing.clear();
    for (const std::int32_t* f = ix.FacesBegin(edge); f != ix.FacesEnd(edge); ++f)
      if (position[static_cast<std::size_t>(*f)] >= 0) sharing.push_back(*f);
    if (sharing.size() < 2) continue;
    const std::int32_t a = ix.Lower(edge), b = ix.Upper(edge);
    auto cornerOf = [&m](std::int32_t f, std::int32_t v) {
      const IndexList& idx = m.faces[static_cast<std::size_t>(f)].indices;
      return static_cast<std::int32_t>(std::find(idx.begin(), idx.end(), v) - idx.begin());
    };
    for (std::size_t s = 0; s < sharing.size(); ++s) {
      for (std::size_t t = s + 1; t < sharing.size(); ++t) {
        const std::int32_t f = sharing[s], g = sharing[t];
        if (f == g) continue;
        const std::int32_t fa = cornerOf(f, a), fb = cornerOf(f, b), ga = cornerOf(g, a), gb = cornerOf(g, b);
        if (!joins(ix.KeyOf(edge), f, fa, fb, g, ga, gb)) continue;
        const std::int32_t pf = position[static_cast<std::size_t>(f)], pg = position[static_cast<std::size_t>(g)];
        faces.Join(pf, pg);
        const auto base = [&out](std::int32_t p) { return static_cast<std::int32_t>(out.cornerStart[static_cast<std::size_t>(p)]); };
        corners.Join(base(pf) + fa, base(pg) + ga);
        corners.Join(base(pf) + fb, base(pg) + gb);
      }
    }
  }
  out.point.assign(out.cornerStart.back(), -1);
  std::vector<std::int32_t> pointOfRoot(out.cornerStart.back(), -1);
  for (std::size_t i = 0; i < list.size(); ++i) {
    const IndexList& idx = m.faces[static_cast<std::size_t>(list[i])].indices;
    for (std::size_t k = 0; k < idx.size(); ++k) {
      const auto c = static_cast<std::int32_t>(out.cornerStart[i] + k);
      std::int32_t& p = pointOfRoot[static_cast<std::size_t>(corners.Find(c))];
      if (p < 0) {
        p = static_cast<std::int32_t>(out.pointVertex.size());
        out.pointVertex.push_back(idx[k]);
      }
      out.point[static_cast<std::size_t>(c)] = p;
    }
  }
  std::vector<std::int32_t> islandOfRoot(list.size(), -1);
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::int32_t& isl = islandOfRoot[static_cast<std::size_t>(faces.Find(static_cast<std::int32_t>(i)))];
    if (isl < 0) {
      isl = static_cast<std::int32_t>(out.islands.size());
      out.islands.emplace_back();
    }
    out.islands[static_cast<std::size_t>(isl)].push_back(static_cast<std::int32_t>(i));
  }
  return out;
}

CornerPoints ConnectThroughSeams(const CModel& m, std::span<const std::int32_t> list) {
  return Connect(m, list, [&m](std::uint64_t key, auto...) {
    return !std::binary_search(m.seamEdges.begin(), m.seamEdges.end(), key);
  });
}

CornerPoints ConnectThroughUVs(const CModel& m, std::span<const std::int32_t> list) {
  return Connect(m, list,
                 [&m](std::uint64_t key, std::int32_t f, std::int32_t fa, std::int32_t fb, std::int32_t g,
                      std::int32_t ga, std::int32_t gb) {
                   const CFace& x = m.faces[static_cast<std::size_t>(f)];
                   const CFace& y = m.faces[static_cast<std::size_t>(g)];
                   if (!HasCornerUVs(x) || !HasCornerUVs(y)) return false;
                   if (std::binary_search(m.seamEdges.begin(), m.seamEdges.end(), key)) return false;
                   const auto at = [](const CFace& face, std::int32_t k) { return face.uvs[static_cast<std::size_t>(k)]; };
                   return at(x, fa) == at(y, ga) && at(x, fb) == at(y, gb);
                 });
}

std::vector<std::vector<std::int32_t>> IslandFaces(const CornerPoints& c, std::span<const std::int32_t> list) {
  std::vector<std::vector<std::int32_t>> out;
  out.reserve(c.islands.size());
  for (const auto& island : c.islands) {
    auto& faces = out.emplace_back();
    for (std::int32_t p : island) faces.push_back(list[static_cast<std::size_t>(p)]);
  }
  return out;
}

// One island flattened by a least-squares conformal map: the UV of each of its points. For each
// triangle, in its own plane with its corners turning counter-clockwise, the map's gradients must
// satisfy grad v = rot90(grad u); the squared residual weighted by the area is minimised with two
// points pinned. Returns false when the island has no triangle of any area.
//
// `local` (one entry per point, all -1) is scratch kept across islands, so that many small islands
// cost their own size rather than the model's; it is all -1 again on return. `byPoint` (one entry
// per point) receives the island's UVs.
bool SolveConformal(const CModel& m, std::span<const std::int32_t> list, const CornerPoints& c,
                    const std::vector<std::int32_t>& island, std::vector<std::int32_t>& local,
                    std::vector<D2>& byPoint) {
  std::vector<std::int32_t> points;
  struct Reset {
    std::vector<std::int32_t>& local;
    const std::vector<std::int32_t>& points;
    ~Reset() {
      for (std::int32_t p : points) local[static_cast<std::size_t>(p)] = -1;
    }
  } reset{local, points};
  std::vector<D2> uv;
  struct Tri {
    std::array<std::int32_t, 3> p;
    std::array<D2, 3> e;  // the side opposite each corner, in the triangle's plane
    double weight;
  };
  std::vector<Tri> tris;
  std::vector<CVector> outline;
  std::vector<std::uint32_t> split;
  for (std::int32_t pos : island) {
    const CFace& f = m.faces[static_cast<std::size_t>(list[static_cast<std::size_t>(pos)])];
    const std::uint32_t base = c.cornerStart[static_cast<std::size_t>(pos)];
    outline.clear();
    for (std::int32_t v : f.indices) outline.push_back(m.vertices[static_cast<std::size_t>(v)].position);
    split.clear();
    if (outline.size() == 3) split = {0, 1, 2};
    else TriangulatePolygon(outline, split);
    for (std::size_t t = 0; t + 2 < split.size(); t += 3) {
      Tri tri;
      std::array<D3, 3> q;
      for (int k = 0; k < 3; ++k) {
        const std::int32_t pt = c.point[base + split[t + static_cast<std::size_t>(k)]];
        std::int32_t& l = local[static_cast<std::size_t>(pt)];
        if (l < 0) l = static_cast<std::int32_t>(points.size()), points.push_back(pt);
        tri.p[static_cast<std::size_t>(k)] = l;
        q[static_cast<std::size_t>(k)] = D3(outline[split[t + static_cast<std::size_t>(k)]]);
      }
      const D3 ex = q[1] - q[0], n = CrossD(ex, q[2] - q[0]);
      const double twiceArea = Length(n);
      const double scale = std::max({Length(ex), Length(q[2] - q[0]), Length(q[2] - q[1])});
      if (!(twiceArea > 1e-12 * scale * scale) || !std::isfinite(twiceArea)) continue;
      const D3 x = Unit(ex), y = Unit(CrossD(n, ex));
      std::array<D2, 3> p2;
      for (int k = 0; k < 3; ++k) {
        const D3 d = q[static_cast<std::size_t>(k)] - q[0];
        p2[static_cast<std::size_t>(k)] = {Dot(d, x), Dot(d, y)};
      }
      for (int k = 0; k < 3; ++k) {
        const D2& a = p2[static_cast<std::size_t>((k + 1) % 3)];
        const D2& b = p2[static_cast<std::size_t>((k + 2) % 3)];
        tri.e[static_cast<std::size_t>(k)] = {b.u - a.u, b.v - a.v};
      }
      tri.weight = 1.0 / std::sqrt(2.0 * twiceArea);
      tris.push_back(tri);
    }
  }
  for (std::int32_t pos : island) {  // points only on degenerate triangles still need a place
    const std::uint32_t base = c.cornerStart[static_cast<std::size_t>(pos)];
    for (std::uint32_t k = base; k < c.cornerStart[static_cast<std::size_t>(pos) + 1]; ++k) {
      std::int32_t& l = local[static_cast<std::size_t>(c.point[k])];
      if (l < 0) l = static_cast<std::int32_t>(points.size()), points.push_back(c.point[k]);
    }
  }
  const std::size_t n = points.size();
  uv.assign(n, D2{});
  if (tris.empty() || n < 3) return false;

  // The pins: two points far apart (the farthest from a first one, then the farthest from that).
  auto farthest = [&](std::size_t from) {
    const D3 o = Pos(m, c.pointVertex[static_cast<std::size_t>(points[from])]);
    std::size_t best = from;
    double bestD = -1;
    for (std::size_t i = 0; i < n; ++i) {
      const double d = Length(Pos(m, c.pointVertex[static_cast<std::size_t>(points[i])]) - o);
      if (d > bestD) bestD = d, best = i;
    }
    return std::pair{best, bestD};
  };
  const std::size_t pinA = farthest(0).first;
  const auto [pinB, span] = farthest(pinA);
  if (!(span > 0) || pinA == pinB) return false;
  // Unknowns: u and v of every point but the pins.
  std::vector<std::int32_t> column(n, -1);
  std::int32_t free = 0;
  for (std::size_t i = 0; i < n; ++i)
    if (i != pinA && i != pinB) column[i] = free++;
  std::vector<D2> pinned(n);
  pinned[pinA] = {0, 0};
  pinned[pinB] = {span, 0};

  std::vector<Eigen::Triplet<double>> entries;
  entries.reserve(tris.size() * 12);
  Eigen::VectorXd rhs = Eigen::VectorXd::Zero(static_cast<Eigen::Index>(2 * tris.size()));
  // Row x: sum_j (u_j ex_j - v_j ey_j); row y: sum_j (u_j ey_j + v_j ex_j).
  for (std::size_t t = 0; t < tris.size(); ++t) {
    const Tri& tri = tris[t];
    const auto rx = static_cast<std::int32_t>(2 * t), ry = rx + 1;
    for (int k = 0; k < 3; ++k) {
      const auto p = static_cast<std::size_t>(tri.p[static_cast<std::size_t>(k)]);
      const double ex = tri.e[static_cast<std::size_t>(k)].u * tri.weight, ey = tri.e[static_cast<std::size_t>(k)].v * tri.weight;
      if (column[p] >= 0) {
        const std::int32_t cu = 2 * column[p], cv = cu + 1;
        entries.emplace_back(rx, cu, ex);
        entries.emplace_back(rx, cv, -ey);
        entries.emplace_back(ry, cu, ey);
        entries.emplace_back(ry, cv, ex);
      } else {
        rhs[rx] -= pinned[p].u * ex - pinned[p].v * ey;
        rhs[ry] -= pinned[p].u * ey + pinned[p].v * ex;
      }
    }
  }
  Eigen::SparseMatrix<double> a(static_cast<Eigen::Index>(2 * tris.size()), 2 * free);
  a.setFromTriplets(entries.begin(), entries.end());
  const Eigen::SparseMatrix<double> normal = a.transpose() * a;
  Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> solver(normal);
  if (solver.info() != Eigen::Success) return false;
  const Eigen::VectorXd x = solver.solve(a.transpose() * rhs);
  if (solver.info() != Eigen::Success || !x.allFinite()) return false;
  for (std::size_t i = 0; i < n; ++i)
    uv[i] = column[i] < 0 ? pinned[i] : D2{x[2 * column[i]], x[2 * column[i] + 1]};
  // The texture must not come out mirrored: the triangles keep the turn they have in space.
  double turn = 0;
  for (const Tri& tri : tris) {
    const D2 &p = uv[static_cast<std::size_t>(tri.p[0])], &q = uv[static_cast<std::size_t>(tri.p[1])],
             &r = uv[static_cast<std::size_t>(tri.p[2])];
    turn += (q.u - p.u) * (r.v - p.v) - (q.v - p.v) * (r.u - p.u);
  }
  if (turn < 0)
    for (D2& p : uv) p.u = -p.u;
  for (std::size_t i = 0; i < n; ++i) byPoint[static_cast<std::size_t>(points[i])] = uv[i];
  return true;
}

// ---- packing ----

struct Box {
  double w = 0, h = 0, x = 0, y = 0;
};

// Lower convex hull then upper (Andrew's monotone chain), counter-clockwise.
std::vector<D2> Hull(std::vector<D2> p) {
  std::sort(p.begin(), p.end(), [](const D2& a, const D2& b) { return a.u < b.u || (a.u == b.u && a.v < b.v); });
  if (p.size() < 3) return p;
  std::vector<D2> h(2 * p.size());
  std::size_t k = 0;
  auto cross = [](const D2& o, const D2& a, const D2& b) { return (a.u - o.u) * (b.v - o.v) - (a.v - o.v) * (b.u - o.u); };
  for (const D2& q : p) {
    while (k >= 2 && cross(h[k - 2], h[k - 1], q) <= 0) --k;
    h[k++] = q;
  }
  for (std::size_t i = p.size() - 1, t = k + 1; i-- > 0;) {
    while (k >= t && cross(h[k - 2], h[k - 1], p[i]) <= 0) --k;
    h[k++] = p[i];
  }
  h.resize(k - 1);
  return h;
}

// Shelves of at most `width`, tallest first: the extent used (the larger of width and height).
double Shelves(std::vector<Box>& boxes, const std::vector<std::size_t>& order, double width, double gap) {
  double x = gap / 2, y = gap / 2, rowH = 0, usedW = 0;
  for (std::size_t i : order) {
    Box& b = boxes[i];
    if (x > gap / 2 && x + b.w + gap / 2 > width) y += rowH + gap, x = gap / 2, rowH = 0;
    b.x = x, b.y = y;
    x += b.w + gap;
    rowH = std::max(rowH, b.h);
    usedW = std::max(usedW, x - gap / 2);
  }
  return std::max(usedW, y + rowH + gap / 2);
}

struct Placement {
  double cos = 1, sin = 0, scale = 1, du = 0, dv = 0;  // uv' = R(uv) * scale + d
};

// Places islands given by their corners' UVs, each with its 3D area, into 0..1.
std::vector<Placement> PlaceIslands(const std::vector<std::vector<D2>>& islandPoints, const std::vector<double>& area3,
                                    const std::vector<double>& areaUV, double margin) {
  const std::size_t n = islandPoints.size();
  std::vector<Placement> place(n);
  std::vector<Box> boxes(n);
  double total = 0;
  for (std::size_t i = 0; i < n; ++i) {
    Placement& p = place[i];
    const std::vector<D2> hull = Hull(islandPoints[i]);
    // The turn that gives the smallest bounding rectangle is one that lays a hull side flat.
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k < hull.size(); ++k) {
      const D2 &a = hull[k], &b = hull[(k + 1) % hull.size()];
      const double dx = b.u - a.u, dy = b.v - a.v, l = std::hypot(dx, dy);
      if (!(l > 0)) continue;
      const double c = dx / l, s = -dy / l;
      double lu = std::numeric_limits<double>::infinity(), lv = lu, hu = -lu, hv = -lu;
      for (const D2& q : hull) {
        const double u = q.u * c - q.v * s, v = q.u * s + q.v * c;
        lu = std::min(lu, u), hu = std::max(hu, u), lv = std::min(lv, v), hv = std::max(hv, v);
      }
      const double boxArea = (hu - lu) * (hv - lv);
      if (boxArea < best * (1 - 1e-12)) {
        best = boxArea;
        // Lying down: shelves fill better with wide boxes.
        if (hv - lv > hu - lu) p.cos = -s, p.sin = c;
        else p.cos = c, p.sin = s;
      }
    }
    double lu = std::numeric_limits<double>::infinity(), lv = lu, hu = -lu, hv = -lu;
    for (const D2& q : islandPoints[i]) {
      const double u = q.u * p.cos - q.v * p.sin, v = q.u * p.sin + q.v * p.cos;
      lu = std::min(lu, u), hu = std::max(hu, u), lv = std::min(lv, v), hv = std::max(hv, v);
    }
    if (!std::isfinite(lu)) lu = lv = hu = hv = 0;
    // Islands keep their share of the surface: scaled so that UV area follows 3D area.
    double s = areaUV[i] > 0 && area3[i] > 0 ? std::sqrt(area3[i] / areaUV[i]) : 0;
    if (!(s > 0) || !std::isfinite(s)) {
      const double side = std::max(hu - lu, hv - lv);
      s = side > 0 ? std::sqrt(std::max(area3[i], 0.0)) / side : 0;
      if (!(s > 0) || !std::isfinite(s)) s = 1;
    }
    p.scale = s;
    p.du = -lu * s, p.dv = -lv * s;
    boxes[i].w = (hu - lu) * s, boxes[i].h = (hv - lv) * s;
    total += boxes[i].w * boxes[i].h;
  }
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&boxes](std::size_t a, std::size_t b) { return boxes[a].h > boxes[b].h; });
  double widest = 0, tallest = 0;
  for (const Box& b : boxes) widest = std::max(widest, b.w), tallest = std::max(tallest, b.h);
  double extent = std::max({std::sqrt(total), widest, tallest});
  if (!(extent > 0)) extent = 1;
  // The gap is a margin in the final square, so it depends on the extent it helps decide: two
  // rounds settle it, and a few shelf widths find the squarest packing.
  double bestExtent = std::numeric_limits<double>::infinity(), bestWidth = 0, gap = margin * extent;
  for (int pass = 0; pass < 3; ++pass) {
    bestExtent = std::numeric_limits<double>::infinity();
    const double base = std::max(std::sqrt(total) * 1.05, widest) + gap;
    for (double f : {1.0, 1.1, 1.2, 1.35, 1.5, 0.9}) {
      const double width = std::max(base * f, widest + gap);
      const double e = Shelves(boxes, order, width, gap);
      if (e < bestExtent) bestExtent = e, bestWidth = width;
    }
    gap = margin * bestExtent;
  }
  const double e = Shelves(boxes, order, bestWidth, gap);
  const double unit = e > 0 && std::isfinite(e) ? 1.0 / e : 1.0;
  for (std::size_t i = 0; i < n; ++i) {
    Placement& p = place[i];
    p.scale *= unit;
    p.du = (p.du + boxes[i].x) * unit;
    p.dv = (p.dv + boxes[i].y) * unit;
  }
  return place;
}

CUV Apply(const Placement& p, const CUV& uv) {
  const double u = uv.u * p.cos - uv.v * p.sin, v = uv.u * p.sin + uv.v * p.cos;
  // Rounding must not carry a corner out of the square.
  return CUV(static_cast<float>(std::clamp(u * p.scale + p.du, 0.0, 1.0)),
             static_cast<float>(std::clamp(v * p.scale + p.dv, 0.0, 1.0)));
}

double FaceArea3(const CModel& m, const CFace& f) { return Length(NewellNormal(m, f)) / 2; }

// Packs the islands (lists of faces that all have UVs).
void PackIslands(CModel& m, const std::vector<std::vector<std::int32_t>>& islands, double margin) {
  std::vector<std::vector<D2>> points(islands.size());
  std::vector<double> area3(islands.size()), areaUV(islands.size());
  for (std::size_t i = 0; i < islands.size(); ++i) {
    for (std::int32_t f : islands[i]) {
      const CFace& face = m.faces[static_cast<std::size_t>(f)];
      for (const CUV& uv : face.uvs) points[i].push_back({uv.u, uv.v});
      area3[i] += FaceArea3(m, face);
      areaUV[i] += std::abs(UVArea(face));
    }
  }
  const std::vector<Placement> place = PlaceIslands(points, area3, areaUV, std::clamp(margin, 0.0, 0.2));
  for (std::size_t i = 0; i < islands.size(); ++i)
    for (std::int32_t f : islands[i])
      for (CUV& uv : m.faces[static_cast<std::size_t>(f)].uvs) uv = Apply(place[i], uv);
}

// ---- checks ----

struct Tri2 {
  std::array<D2, 3> p;
};

// Whether two triangles' insides overlap: no side of either separates them by more than `eps`.
bool Overlap(const Tri2& a, const Tri2& b, double eps) {
  for (const Tri2* t : {&a, &b}) {
    for (int k = 0; k < 3; ++k) {
      const D2& p = t->p[static_cast<std::size_t>(k)];
      const D2& q = t->p[static_cast<std::size_t>((k + 1) % 3)];
      const double nx = -(q.v - p.v), ny = q.u - p.u;
      double la = std::numeric_limits<double>::infinity(), ha = -la, lb = la, hb = -la;
      for (const D2& r : a.p) {
        const double d = nx * r.u + ny * r.v;
        la = std::min(la, d), ha = std::max(ha, d);
      }
      for (const D2& r : b.p) {
        const double d = nx * r.u + ny * r.v;
        lb = std::min(lb, d), hb = std::max(hb, d);
      }
      const double tol = eps * std::hypot(nx, ny);
      if (ha <= lb + tol || hb <= la + tol) return false;
    }
  }
  return true;
}

}  // namespace

// Up to four corners take the table. More (faces read from files) are spread evenly round the
// edge of the unit square in the table's order, (0,0) -> (0,1) -> (1,1) -> (1,0) -> back: corner i
// sits 4i/n of the way round the perimeter of length 4, so every side gets its share and no two
// corners share a place. (For n = 4 the rule gives the table.) Fractions are taken from whole
// numbers, so 1 - f is as exact as f.
CUV DefaultCornerUV(std::size_t i, std::size_t n) {
  if (n <= 4) return kDefaultUV[i % 4];
  const std::size_t along = 4 * i;
  const std::size_t side = along / n, rest = along % n;
  const auto f = static_cast<float>(static_cast<double>(rest) / static_cast<double>(n));
  const auto g = static_cast<float>(static_cast<double>(n - rest) / static_cast<double>(n));
  switch (side) {
    case 0: return CUV(0, f);
    case 1: return CUV(f, 1);
    case 2: return CUV(1, g);
    default: return CUV(g, 0);
  }
}

std::vector<std::int32_t> SelectedUVFaces(const CModel& model) {
  std::vector<std::int32_t> out;
  for (std::size_t f = 0; f < model.faces.size(); ++f) {
    const auto i = static_cast<std::int32_t>(f);
    if (!Usable(model, i)) continue;
    const IndexList& idx = model.faces[f].indices;
    if (std::all_of(idx.begin(), idx.end(), [&model](std::int32_t v) { return model.vertices[static_cast<std::size_t>(v)].selected != 0; }))
      out.push_back(i);
  }
  return out;
}

std::size_t ProjectUVs(CModel& model, std::span<const std::int32_t> faces, const UVProjectionOptions& options) {
  const std::vector<std::int32_t> list = UsableFaces(model, faces);
  if (list.empty()) return 0;
  // The centre of the faces' corners' bounding box: the axis of the round projections runs through it.
  D3 lo(std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::infinity());
  D3 hi = lo * -1.0;
  for (std::int32_t f : list)
    for (std::int32_t v : model.faces[static_cast<std::size_t>(f)].indices) {
      const D3 p = Pos(model, v);
      lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
      hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
  const D3 centre = (lo + hi) * 0.5;
  D3 axis = Unit(D3(options.direction));
  if (Length(axis) == 0) axis = options.kind == UVProjection::kView ? D3(0, 0, -1) : D3(0, 1, 0);
  // An orthonormal frame: e1, e2 across the axis with e2 = axis x e1, so that from outside u runs
  // to the right.
  D3 upHint = D3(options.up);
  if (options.kind != UVProjection::kView) upHint = std::abs(axis.z) < 0.9 ? D3(0, 0, 1) : D3(1, 0, 0);
  D3 right = Unit(CrossD(axis, upHint));
  if (Length(right) == 0) right = Unit(CrossD(axis, std::abs(axis.x) < 0.9 ? D3(1, 0, 0) : D3(0, 1, 0)));
  const D3 up = CrossD(right, axis);
  const D3 e1 = right, e2 = CrossD(axis, e1);

  std::vector<std::vector<D2>> raw(list.size());
  double radius = 0, weight = 0;
  if (options.kind == UVProjection::kCylinder || options.kind == UVProjection::kSphere) {
    for (std::int32_t f : list)
      for (std::int32_t v : model.faces[static_cast<std::size_t>(f)].indices) {
        const D3 d = Pos(model, v) - centre;
        const D3 across = options.kind == UVProjection::kSphere ? d : d - axis * Dot(d, axis);
        radius += Length(across), weight += 1;
      }
    radius = weight > 0 ? radius / weight : 0;
    if (!(radius > 0)) radius = 1;
  }
  const bool aroundAxis = options.kind == UVProjection::kCylinder || options.kind == UVProjection::kSphere;
  std::vector<std::vector<bool>> poles(list.size());
  std::vector<double> angles;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const CFace& f = model.faces[static_cast<std::size_t>(list[i])];
    std::vector<D2>& out = raw[i];
    out.resize(f.indices.size());
    poles[i].assign(f.indices.size(), false);
    const D3 n = NewellNormal(model, f);
    const int dominant = DominantAxis(n);
    for (std::size_t k = 0; k < f.indices.size(); ++k) {
      const D3 p = Pos(model, f.indices[k]);
      const D3 d = p - centre;
      switch (options.kind) {
        case UVProjection::kPlanarX: out[k] = PaneUV(p, 0, false); break;
        case UVProjection::kPlanarY: out[k] = PaneUV(p, 1, false); break;
        case UVProjection::kPlanarZ: out[k] = PaneUV(p, 2, false); break;
        case UVProjection::kBox: out[k] = PaneUV(p, dominant, SeenFromBehind(n, dominant)); break;
        case UVProjection::kView: out[k] = {Dot(p, right), -Dot(p, up)}; break;
        case UVProjection::kCylinder:
        case UVProjection::kSphere: {
          const double h = Dot(d, axis);
          const double a = Dot(d, e1), b = Dot(d, e2);
          poles[i][k] = std::hypot(a, b) <= 1e-9 * std::max(1.0, Length(d));
          const double height = options.kind == UVProjection::kCylinder ? h : std::atan2(h, std::hypot(a, b)) * radius;
          out[k] = {std::atan2(b, a), -height};
          if (!poles[i][k]) angles.push_back(out[k].u);
          break;
        }
      }
    }
  }
  if (aroundAxis) {
    // The texture's edge goes where the faces leave the widest gap round the axis, at the corner
    // after it, so that a part of a round shape is not cut and a whole one is cut along a side.
    std::sort(angles.begin(), angles.end());
    double start = angles.empty() ? 0 : angles.front(), widest = -1;
    for (std::size_t k = 0; k < angles.size(); ++k) {
      const double next = k + 1 < angles.size() ? angles[k + 1] : angles.front() + 2 * std::numbers::pi;
      if (next - angles[k] > widest) widest = next - angles[k], start = k + 1 < angles.size() ? angles[k + 1] : angles.front();
    }
    const double turn = 2 * std::numbers::pi;
    for (std::size_t i = 0; i < list.size(); ++i) {
      std::vector<D2>& out = raw[i];
      double lu = std::numeric_limits<double>::infinity(), hu = -lu, sum = 0, count = 0;
      for (std::size_t k = 0; k < out.size(); ++k) {
        if (poles[i][k]) continue;
        double u = out[k].u - start;
        if (u < 0) u += turn;
        out[k].u = u;
        lu = std::min(lu, u), hu = std::max(hu, u);
      }
      // A face across the edge takes its corners from the far side of it.
      for (std::size_t k = 0; k < out.size(); ++k) {
        if (poles[i][k]) continue;
        if (hu - lu > turn / 2 && out[k].u < turn / 2) out[k].u += turn;
        sum += out[k].u, count += 1;
      }
      // A corner on the axis has no angle of its own: it takes the mean of the others.
      for (std::size_t k = 0; k < out.size(); ++k)
        if (poles[i][k]) out[k].u = count > 0 ? sum / count : 0;
      for (D2& q : out) q.u *= radius;
    }
  }
  FitAndStore(model, list, raw);
  return list.size();
}

std::size_t ResetUVs(CModel& model, std::span<const std::int32_t> faces) {
  std::size_t changed = 0;
  for (std::int32_t f : UsableFaces(model, faces)) {
    CFace& face = model.faces[static_cast<std::size_t>(f)];
    const std::size_t n = face.indices.size();
    UVList uvs;
    for (std::size_t k = 0; k < n; ++k) uvs.push_back(DefaultCornerUV(k, n));
    if (face.uvs.size() == n && std::equal(uvs.begin(), uvs.end(), face.uvs.begin())) continue;
    face.uvs = uvs;
    ++changed;
  }
  return changed;
}

bool IsSeam(const CModel& model, std::int32_t a, std::int32_t b) {
  return std::binary_search(model.seamEdges.begin(), model.seamEdges.end(), EdgeKey(a, b));
}

void SetSeam(CModel& model, std::int32_t a, std::int32_t b, bool seam) {
  if (a == b || !model.HasVertex(a) || !model.HasVertex(b)) return;
  const std::uint64_t key = EdgeKey(a, b);
  const auto it = std::lower_bound(model.seamEdges.begin(), model.seamEdges.end(), key);
  const bool present = it != model.seamEdges.end() && *it == key;
  if (seam && !present) model.seamEdges.insert(it, key);
  if (!seam && present) model.seamEdges.erase(it);
}

std::size_t MarkSelectedSeams(CModel& model, bool pickedEdges, bool seam) {
  if (!model.IsEditable()) return 0;
  std::vector<std::uint64_t> keys;
  if (pickedEdges) {
    keys = model.selectedEdges;
  } else {
    for (const CFace& f : model.faces) {
      if (f.hidden || f.indices.size() < 2) continue;
      const std::size_t n = f.indices.size();
      for (std::size_t k = 0; k < (n == 2 ? 1 : n); ++k) {
        const std::int32_t a = f.indices[k], b = f.indices[(k + 1) % n];
        if (a != b && model.HasVertex(a) && model.HasVertex(b) && model.vertices[static_cast<std::size_t>(a)].selected &&
            model.vertices[static_cast<std::size_t>(b)].selected)
          keys.push_back(EdgeKey(a, b));
      }
    }
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::vector<std::uint64_t> merged;
  std::size_t changed = 0;
  if (seam) {
    std::set_union(model.seamEdges.begin(), model.seamEdges.end(), keys.begin(), keys.end(), std::back_inserter(merged));
    changed = merged.size() - model.seamEdges.size();
  } else {
    std::set_difference(model.seamEdges.begin(), model.seamEdges.end(), keys.begin(), keys.end(),
                        std::back_inserter(merged));
    changed = model.seamEdges.size() - merged.size();
  }
  model.seamEdges = std::move(merged);
  return changed;
}

std::size_t MarkSharpSeams(CModel& model, std::span<const std::int32_t> faces, double degrees) {
  const std::vector<std::int32_t> list = UsableFaces(model, faces);
  std::vector<std::uint8_t> listed(model.faces.size(), 0);
  for (std::int32_t f : list) listed[static_cast<std::size_t>(f)] = 1;
  const EdgeIndex ix(model);
  const double limit = std::cos(std::clamp(degrees, 0.0, 180.0) * std::numbers::pi / 180.0);
  std::vector<std::uint64_t> keys;
  for (std::size_t e = 0; e < ix.EdgeCount(); ++e) {
    const auto edge = static_cast<std::int32_t>(e);
    std::vector<D3> normals;
    for (const std::int32_t* f = ix.FacesBegin(edge); f != ix.FacesEnd(edge); ++f)
      if (listed[static_cast<std::size_t>(*f)]) normals.push_back(Unit(NewellNormal(model, model.faces[static_cast<std::size_t>(*f)])));
    bool sharp = false;
    for (std::size_t i = 0; i < normals.size(); ++i)
      for (std::size_t j = i + 1; j < normals.size(); ++j) sharp = sharp || Dot(normals[i], normals[j]) < limit - 1e-9;
    if (sharp) keys.push_back(ix.KeyOf(edge));
  }
  std::vector<std::uint64_t> merged;
  std::set_union(model.seamEdges.begin(), model.seamEdges.end(), keys.begin(), keys.end(), std::back_inserter(merged));
  const std::size_t changed = merged.size() - model.seamEdges.size();
  model.seamEdges = std::move(merged);
  return changed;
}

void RemapSeams(CModel& model, std::span<const std::int32_t> newIndex) {
  const std::size_t n = newIndex.size();
  std::vector<std::uint64_t> kept;
  kept.reserve(model.seamEdges.size());
  for (const std::uint64_t key : model.seamEdges) {
    const auto a = static_cast<std::size_t>(key >> 32), b = static_cast<std::size_t>(key & 0xFFFFFFFFu);
    if (a >= n || b >= n) continue;
    const std::int32_t na = newIndex[a], nb = newIndex[b];
    if (na >= 0 && nb >= 0 && na != nb) kept.push_back(EdgeKey(na, nb));
  }
  // Merged vertices can turn two seams into one, and renumbering can reorder keys.
  std::sort(kept.begin(), kept.end());
  kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
  model.seamEdges = std::move(kept);
}

void PruneSeams(CModel& model) {
  std::erase_if(model.seamEdges, [&model](std::uint64_t key) {
    return !model.HasVertex(static_cast<std::int32_t>(key >> 32)) ||
           !model.HasVertex(static_cast<std::int32_t>(key & 0xFFFFFFFFu));
  });
}

std::vector<std::vector<std::int32_t>> FindUVIslands(const CModel& model, std::span<const std::int32_t> faces) {
  const std::vector<std::int32_t> list = UsableFaces(model, faces);
  return IslandFaces(ConnectThroughUVs(model, list), list);
}

std::vector<std::vector<std::int32_t>> FindSeamIslands(const CModel& model, std::span<const std::int32_t> faces) {
  const std::vector<std::int32_t> list = UsableFaces(model, faces);
  return IslandFaces(ConnectThroughSeams(model, list), list);
}

std::size_t UnwrapUVs(CModel& model, std::span<const std::int32_t> faces, double margin) {
  const std::vector<std::int32_t> list = UsableFaces(model, faces);
  if (list.empty()) return 0;
  const CornerPoints c = ConnectThroughSeams(model, list);
  std::vector<D2> uv(c.pointVertex.size());
  std::vector<std::int32_t> local(c.pointVertex.size(), -1);
  for (const auto& island : c.islands) {
    if (SolveConformal(model, list, c, island, local, uv)) {
      for (std::int32_t pos : island) {
        CFace& f = model.faces[static_cast<std::size_t>(list[static_cast<std::size_t>(pos)])];
        f.uvs.resize(f.indices.size());
        for (std::size_t k = 0; k < f.indices.size(); ++k) {
          const D2& p = uv[static_cast<std::size_t>(c.point[c.cornerStart[static_cast<std::size_t>(pos)] + k])];
          f.uvs[k] = CUV(static_cast<float>(p.u), static_cast<float>(p.v));
        }
      }
    } else {
      // No area to solve for: a planar projection along the island's own normal keeps its place.
      std::vector<std::int32_t> faceList;
      D3 n;
      for (std::int32_t pos : island) {
        faceList.push_back(list[static_cast<std::size_t>(pos)]);
        n = n + NewellNormal(model, model.faces[static_cast<std::size_t>(faceList.back())]);
      }
      UVProjectionOptions o;
      o.kind = UVProjection::kView;
      const D3 d = Length(n) > 0 ? Unit(n) : D3(0, 0, 1);
      o.direction = CVector(static_cast<float>(d.x), static_cast<float>(d.y), static_cast<float>(d.z));
      o.up = std::abs(d.y) < 0.9 ? CVector(0, 1, 0) : CVector(0, 0, 1);
      ProjectUVs(model, faceList, o);
    }
  }
  PackIslands(model, IslandFaces(c, list), margin);
  return c.islands.size();
}

std::size_t PackUVIslands(CModel& model, std::span<const std::int32_t> faces, double margin) {
  const std::vector<std::int32_t> list = UsableFaces(model, faces);
  for (std::int32_t f : list) {
    CFace& face = model.faces[static_cast<std::size_t>(f)];
    if (!HasCornerUVs(face)) {
      face.uvs.clear();
      for (std::size_t k = 0; k < face.indices.size(); ++k) face.uvs.push_back(DefaultCornerUV(k, face.indices.size()));
    }
  }
  const auto islands = FindUVIslands(model, list);
  PackIslands(model, islands, margin);
  return islands.size();
}

std::vector<FaceStretch> MeasureUVStretch(const CModel& model, std::span<const std::int32_t> faces) {
  std::vector<FaceStretch> out(faces.size());
  std::vector<double> a3(faces.size(), 0), a2(faces.size(), 0);
  double total3 = 0, total2 = 0;
  for (std::size_t i = 0; i < faces.size(); ++i) {
    if (!Usable(model, faces[i])) continue;
    const CFace& f = model.faces[static_cast<std::size_t>(faces[i])];
    if (!HasCornerUVs(f)) continue;
    a3[i] = FaceArea3(model, f), a2[i] = std::abs(UVArea(f));
    total3 += a3[i], total2 += a2[i];
  }
  for (std::size_t i = 0; i < faces.size(); ++i) {
    FaceStretch& s = out[i];
    if (!Usable(model, faces[i]) || !HasCornerUVs(model.faces[static_cast<std::size_t>(faces[i])])) {
      s.areaRatio = 0;
      continue;
    }
    const CFace& f = model.faces[static_cast<std::size_t>(faces[i])];
    s.areaRatio = a3[i] > 0 && total2 > 0 ? static_cast<float>((a2[i] / total2) / (a3[i] / total3)) : 0.0f;
    const std::size_t n = f.indices.size();
    double diff = 0;
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t prev = (k + n - 1) % n, next = (k + 1) % n;
      const D3 p = Pos(model, f.indices[k]);
      const D3 a = Pos(model, f.indices[prev]) - p, b = Pos(model, f.indices[next]) - p;
      const double angle3 = std::atan2(Length(CrossD(a, b)), Dot(a, b));
      const double au = f.uvs[prev].u - static_cast<double>(f.uvs[k].u), av = f.uvs[prev].v - static_cast<double>(f.uvs[k].v);
      const double bu = f.uvs[next].u - static_cast<double>(f.uvs[k].u), bv = f.uvs[next].v - static_cast<double>(f.uvs[k].v);
      const double angle2 = std::atan2(std::abs(au * bv - av * bu), au * bu + av * bv);
      diff += std::abs(angle3 - angle2);
    }
    s.angleDistortion = static_cast<float>(std::min(1.0, diff / static_cast<double>(n) / std::numbers::pi));
  }
  return out;
}

std::size_t CountOverlappingUVFaces(const CModel& model, std::span<const std::int32_t> faces) {
  const std::vector<std::int32_t> list = UsableFaces(model, faces);
  // Each face as triangles in UV space, with its bounding box.
  std::vector<std::vector<Tri2>> tris(list.size());
  std::vector<std::array<double, 4>> box(list.size());
  std::vector<CVector> outline;
  std::vector<std::uint32_t> split;
  double lu = std::numeric_limits<double>::infinity(), lv = lu, hu = -lu, hv = -lu;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const CFace& f = model.faces[static_cast<std::size_t>(list[i])];
    box[i] = {1, 1, 0, 0};
    if (!HasCornerUVs(f)) continue;
    outline.clear();
    for (std::int32_t v : f.indices) outline.push_back(model.vertices[static_cast<std::size_t>(v)].position);
    split.clear();
    TriangulatePolygon(outline, split);
    double bu = std::numeric_limits<double>::infinity(), bv = bu, tu = -bu, tv = -bu;
    for (std::size_t t = 0; t + 2 < split.size(); t += 3) {
      Tri2 tri;
      for (int k = 0; k < 3; ++k) {
        const CUV& uv = f.uvs[split[t + static_cast<std::size_t>(k)]];
        tri.p[static_cast<std::size_t>(k)] = {uv.u, uv.v};
        bu = std::min(bu, static_cast<double>(uv.u)), tu = std::max(tu, static_cast<double>(uv.u));
        bv = std::min(bv, static_cast<double>(uv.v)), tv = std::max(tv, static_cast<double>(uv.v));
      }
      const double area = (tri.p[1].u - tri.p[0].u) * (tri.p[2].v - tri.p[0].v) -
                          (tri.p[1].v - tri.p[0].v) * (tri.p[2].u - tri.p[0].u);
      if (std::abs(area) > 0 && std::isfinite(area)) tris[i].push_back(tri);
    }
    if (tris[i].empty()) continue;
    box[i] = {bu, bv, tu, tv};
    lu = std::min(lu, bu), lv = std::min(lv, bv), hu = std::max(hu, tu), hv = std::max(hv, tv);
  }
  if (!std::isfinite(lu)) return 0;
  // A grid of about one face per cell finds the candidates.
  const auto cells = static_cast<std::size_t>(std::clamp(std::sqrt(static_cast<double>(list.size())), 1.0, 1024.0));
  const double cw = std::max(hu - lu, 1e-12) / static_cast<double>(cells), ch = std::max(hv - lv, 1e-12) / static_cast<double>(cells);
  auto cellOf = [&](double x, double lo, double size) {
    return static_cast<std::size_t>(std::clamp((x - lo) / size, 0.0, static_cast<double>(cells - 1)));
  };
  std::vector<std::vector<std::uint32_t>> grid(cells * cells);
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (tris[i].empty()) continue;
    for (std::size_t y = cellOf(box[i][1], lv, ch); y <= cellOf(box[i][3], lv, ch); ++y)
      for (std::size_t x = cellOf(box[i][0], lu, cw); x <= cellOf(box[i][2], lu, cw); ++x)
        grid[y * cells + x].push_back(static_cast<std::uint32_t>(i));
  }
  std::vector<std::uint8_t> overlapping(list.size(), 0);
  std::vector<std::size_t> seen(list.size(), static_cast<std::size_t>(-1));
  const double eps = 1e-7 * std::max({hu - lu, hv - lv, 1e-12});
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (tris[i].empty()) continue;
    for (std::size_t y = cellOf(box[i][1], lv, ch); y <= cellOf(box[i][3], lv, ch); ++y)
      for (std::size_t x = cellOf(box[i][0], lu, cw); x <= cellOf(box[i][2], lu, cw); ++x)
        for (std::uint32_t j : grid[y * cells + x]) {
          if (j <= i || seen[j] == i) continue;
          seen[j] = i;
          if (box[j][0] >= box[i][2] || box[i][0] >= box[j][2] || box[j][1] >= box[i][3] || box[i][1] >= box[j][3]) continue;
          bool hit = false;
          for (const Tri2& a : tris[i])
            for (const Tri2& b : tris[j]) hit = hit || Overlap(a, b, eps);
          if (hit) overlapping[i] = overlapping[j] = 1;
        }
  }
  return static_cast<std::size_t>(std::count(overlapping.begin(), overlapping.end(), 1));
}

}  // namespace mw
