#include "scene/mesh_cut.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>

#include "scene/edge_loops.h"
#include "scene/element_selection.h"
#include "scene/mesh_edit_support.h"
#include "scene/polygon_triangles.h"

namespace mw {

namespace {

// New vertices on one edge, ordered from its lower vertex, with their parameter from it.
using EdgePoints = std::vector<std::pair<double, std::int32_t>>;

// Corner k of face f followed by the points on its side toward corner k + 1.
template <class Lookup>
void EmitSide(const CFace& f, const EdgeIndex& ix, std::int32_t fi, std::size_t k, const Lookup& lookup,
              CornerList& out) {
  const std::size_t n = f.indices.size();
  out.push_back({f.indices[k], UVAt(f, k)});
  const std::int32_t e = ix.SideEdge(fi, k);
  if (e == EdgeIndex::kNone) return;
  const EdgePoints* points = lookup(e);
  if (!points || points->empty()) return;
  const bool forward = f.indices[k] == ix.Lower(e);
  const CUV a = UVAt(f, k), b = UVAt(f, (k + 1) % n);
  const std::size_t count = points->size();
  for (std::size_t i = 0; i < count; ++i) {
    const auto& [t, v] = (*points)[forward ? i : count - 1 - i];
    out.push_back({v, LerpUV(a, b, forward ? t : 1.0 - t)});
  }
}

// Every face along edge e may change: a vertex put on an edge of a hidden face would change it.
bool EdgeFree(const CModel& m, const EdgeIndex& ix, std::int32_t e) {
  for (const std::int32_t* f = ix.FacesBegin(e); f != ix.FacesEnd(e); ++f)
    if (!FaceWorkable(m, m.faces[static_cast<std::size_t>(*f)])) return false;
  return true;
}

std::int32_t AddVertex(CModel& m, const CVector& p) {
  m.vertices.emplace_back(p.x, p.y, p.z);
  return static_cast<std::int32_t>(m.vertices.size() - 1);
}

// Vertices were appended after the committed ones: the face under construction's own new vertices
// (numbered after the committed ones) move up by as many.
void ShiftPending(CModel& m, std::size_t oldCount) {
  const auto added = static_cast<std::int32_t>(m.vertices.size() - oldCount);
  if (added == 0) return;
  for (auto& i : m.pendingFace.indices)
    if (i >= static_cast<std::int32_t>(oldCount)) i += added;
}

// Only the vertices from `first` on stay selected.
void SelectFrom(CModel& m, std::size_t first) {
  for (std::size_t i = 0; i < m.vertices.size(); ++i) m.vertices[i].selected = i >= first ? 1 : 0;
  for (CFace& f : m.faces) f.selected = 0;
  m.selectedEdges.clear();
}

// Faces not split but holding a side with new points take them as corners.
template <class Lookup>
void InsertIntoNeighbours(CModel& m, const EdgeIndex& ix, const std::vector<std::uint8_t>& split, const Lookup& lookup,
                          std::vector<std::size_t>* grown) {
  CornerList corners;
  const std::size_t faceCount = std::min(ix.FaceCount(), split.size());
  for (std::size_t fi = 0; fi < faceCount; ++fi) {
    if (split[fi]) continue;
    const CFace& f = m.faces[fi];
    if (!CornersValid(m, f) || f.indices.size() < 2) continue;
    bool any = false;
    for (std::size_t k = 0; k < f.indices.size() && !any; ++k) {
      const std::int32_t e = ix.SideEdge(static_cast<std::int32_t>(fi), k);
      const EdgePoints* p = e == EdgeIndex::kNone ? nullptr : lookup(e);
      any = p && !p->empty();
    }
    if (!any) continue;
    corners.clear();
    for (std::size_t k = 0; k < f.indices.size(); ++k)
      EmitSide(f, ix, static_cast<std::int32_t>(fi), k, lookup, corners);
    PlacePiece(m, fi, corners, true);
    if (grown) grown->push_back(fi);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Loop cut

namespace {

// The faces a loop cut splits and the edges it puts vertices on.
struct RingPlan {
  std::unordered_map<std::int32_t, std::int32_t> start;  // edge -> the vertex its cuts are measured from
  std::unordered_map<std::int32_t, int> cutSide;         // face -> corner k of its first cut side (k and k+2 cut)
  std::vector<std::int32_t> cutEdges;                    // sorted, once each
};

RingPlan PlanRings(const CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges) {
  RingPlan plan;
  auto& start = plan.start;
  auto& cutSide = plan.cutSide;
  auto& cutEdges = plan.cutEdges;
  const std::size_t edgeCount = ix.EdgeCount();
  // The ring edges, each with the vertex its cuts are measured from, so that cuts line up from
  // one quad to the next: walking across a quad, the start of the far side is the corner on the
  // same side of the quad as the start of the near one.
  std::vector<std::int32_t> queue;
  for (std::int32_t e0 : edges) {
    if (e0 < 0 || static_cast<std::size_t>(e0) >= edgeCount || start.count(e0)) continue;
    const std::vector<std::int32_t> ring = EdgeRing(m, ix, e0);
    if (ring.empty()) continue;
    std::unordered_map<std::int32_t, bool> inRing;
    for (std::int32_t e : ring) inRing[e] = true;
    start[e0] = ix.Lower(e0);
    queue.assign(1, e0);
    while (!queue.empty()) {
      const std::int32_t e = queue.back();
      queue.pop_back();
      for (const std::int32_t* fp = ix.FacesBegin(e); fp != ix.FacesEnd(e); ++fp) {
        const std::int32_t fi = *fp;
        const CFace& f = m.faces[static_cast<std::size_t>(fi)];
        if (f.indices.size() != 4 || !FaceWorkable(m, f) || cutSide.count(fi)) continue;
        const int k = ix.SideOf(fi, e);
        if (k < 0) continue;
        const std::int32_t far = ix.SideEdge(fi, static_cast<std::size_t>((k + 2) % 4));
        if (far == EdgeIndex::kNone || !inRing.count(far) || far == e || !EdgeFree(m, ix, e) || !EdgeFree(m, ix, far))
          continue;
        const std::int32_t s = start[e];
        const std::int32_t farStart = s == f.indices[static_cast<std::size_t>(k)]
                                          ? f.indices[static_cast<std::size_t>((k + 3) % 4)]
                                          : f.indices[static_cast<std::size_t>((k + 2) % 4)];
        if (start.count(far) && start[far] != farStart) continue;  // a twisted ring: leave that face whole
        cutSide[fi] = k % 2;
        cutEdges.push_back(e);
        cutEdges.push_back(far);
        if (!start.count(far)) {
          start[far] = farStart;
          queue.push_back(far);
        }
      }
    }
  }
  std::sort(cutEdges.begin(), cutEdges.end());
  cutEdges.erase(std::unique(cutEdges.begin(), cutEdges.end()), cutEdges.end());
  return plan;
}

double CutAt(int i, int cuts, double slide) {
  return (i + std::clamp(std::isfinite(slide) ? slide : 0.0, -0.95, 0.95)) / (cuts + 1);
}

}  // namespace

std::vector<std::pair<CVector, CVector>> LoopCutPreview(const CModel& m, const EdgeIndex& ix, std::int32_t edge,
                                                        int cuts, double slide) {
  std::vector<std::pair<CVector, CVector>> out;
  if (cuts < 1) return out;
  cuts = std::min(cuts, kMaxLoopCuts);
  const std::int32_t edges[] = {edge};
  const RingPlan plan = PlanRings(m, ix, edges);
  const auto along = [&](std::int32_t e, double t) {
    const std::int32_t s = plan.start.at(e);
    const std::int32_t other = s == ix.Lower(e) ? ix.Upper(e) : ix.Lower(e);
    return LerpPoint(m.vertices[static_cast<std::size_t>(s)].position,
                     m.vertices[static_cast<std::size_t>(other)].position, t);
  };
  for (const auto& [fi, k] : plan.cutSide) {
    const std::int32_t e1 = ix.SideEdge(fi, static_cast<std::size_t>(k)),
                       e2 = ix.SideEdge(fi, static_cast<std::size_t>(k + 2));
    for (int i = 1; i <= cuts; ++i)
      out.emplace_back(along(e1, CutAt(i, cuts, slide)), along(e2, CutAt(i, cuts, slide)));
  }
  return out;
}

std::size_t LoopCut(CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> edges, int cuts, double slide,
                    std::int32_t smooth) {
  if (cuts < 1 || edges.empty()) return 0;
  cuts = std::min(cuts, kMaxLoopCuts);
  RingPlan plan = PlanRings(m, ix, edges);
  auto& start = plan.start;
  auto& cutSide = plan.cutSide;
  const auto& cutEdges = plan.cutEdges;
  if (cutSide.empty()) return 0;
  // The new vertices on every ring edge that borders a cut face.
  const std::size_t oldCount = m.vertices.size();
  std::unordered_map<std::int32_t, EdgePoints> points;
  for (const std::int32_t e : cutEdges) {
    const std::int32_t s = start[e];
    const std::int32_t other = s == ix.Lower(e) ? ix.Upper(e) : ix.Lower(e);
    const CVector a = m.vertices[static_cast<std::size_t>(s)].position;
    const CVector b = m.vertices[static_cast<std::size_t>(other)].position;
    EdgePoints& list = points[e];
    for (int i = 1; i <= cuts; ++i) {
      const double t = CutAt(i, cuts, slide);
      const std::int32_t v = AddVertex(m, LerpPoint(a, b, t));
      list.emplace_back(s == ix.Lower(e) ? t : 1.0 - t, v);
    }
    std::sort(list.begin(), list.end());
  }
  ShiftPending(m, oldCount);
  const auto lookup = [&points](std::int32_t e) -> const EdgePoints* {
    auto it = points.find(e);
    return it == points.end() ? nullptr : &it->second;
  };
  std::vector<std::uint8_t> split(ix.FaceCount(), 0);
  std::vector<std::int32_t> order;
  for (const auto& [fi, k] : cutSide) order.push_back(fi);
  std::sort(order.begin(), order.end());  // pieces appended in face order, whatever the hash order
  CornerList side, strip, far;
  for (std::int32_t fi : order) {
    const int k = cutSide[fi];
    split[static_cast<std::size_t>(fi)] = 1;
    const CFace f = m.faces[static_cast<std::size_t>(fi)];
    // Corners a b c d from the cut side a-b; the opposite side runs c-d.
    side.clear();
    EmitSide(f, ix, fi, static_cast<std::size_t>(k), lookup, side);  // a, P1..PN
    far.clear();
    EmitSide(f, ix, fi, static_cast<std::size_t>(k + 2), lookup, far);  // c, QN..Q1
    CornerList bc, da;
    EmitSide(f, ix, fi, static_cast<std::size_t>(k + 1), lookup, bc);        // b and what lies toward c
    EmitSide(f, ix, fi, static_cast<std::size_t>((k + 3) % 4), lookup, da);  // d and what lies toward a
    const std::size_t n = side.size() - 1;
    if (far.size() - 1 != n) continue;
    for (std::size_t i = 0; i <= n; ++i) {
      strip.clear();
      // Strip i runs from P_i to P_i+1 along a-b and back from Q_i+1 to Q_i along c-d (P_0 = a,
      // P_n+1 = b, Q the same from d to c).
      strip.push_back(side[i]);
      if (i == n) strip.insert(strip.end(), bc.begin(), bc.end());
      else strip.push_back(side[i + 1]);
      strip.push_back(far[n - i]);
      if (i == 0) strip.insert(strip.end(), da.begin(), da.end());
      else strip.push_back(far[n - i + 1]);
      PlacePiece(m, static_cast<std::size_t>(fi), strip, i == 0);
    }
  }
  InsertIntoNeighbours(m, ix, split, lookup, nullptr);
  SelectFrom(m, oldCount);
  FinishRebuild(m, smooth);
  return order.size();
}

// ---------------------------------------------------------------------------------------------
// Connect

std::size_t ConnectVertices(CModel& m, std::int32_t smooth) {
  std::size_t splitCount = 0;
  const std::size_t faceCount = m.faces.size();
  std::vector<std::size_t> chosen;
  CornerList piece;
  for (std::size_t fi = 0; fi < faceCount; ++fi) {
    const CFace f = m.faces[fi];
    const std::size_t n = f.indices.size();
    if (n < 4 || !FaceWorkable(m, f)) continue;
    chosen.clear();
    for (std::size_t k = 0; k < n; ++k)
      if (m.vertices[static_cast<std::size_t>(f.indices[k])].selected) chosen.push_back(k);
    if (chosen.size() < 2) continue;
    // Pieces between consecutive chosen corners (those that are not neighbours along the face).
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
      const std::size_t from = chosen[i], to = chosen[(i + 1) % chosen.size()];
      const std::size_t length = (to + n - from) % n;  // sides from `from` to `to`
      if (length >= 2 || chosen.size() == 1) spans.emplace_back(from, to);
    }
    // Two chosen corners give at most two spans; with two that are neighbours nothing is cut.
    if (spans.size() < 2 && !(chosen.size() >= 3 && !spans.empty())) continue;
    if (chosen.size() == 2 && spans.size() != 2) continue;
    bool first = true;
    for (const auto& [from, to] : spans) {
      piece.clear();
      for (std::size_t k = from;; k = (k + 1) % n) {
        piece.push_back({f.indices[k], UVAt(f, k)});
        if (k == to) break;
      }
      PlacePiece(m, fi, piece, first);
      first = false;
    }
    if (chosen.size() >= 3) {
      piece.clear();
      for (std::size_t k : chosen) piece.push_back({f.indices[k], UVAt(f, k)});
      PlacePiece(m, fi, piece, false);
    }
    ++splitCount;
  }
  if (splitCount == 0) return 0;
  RemoveDegenerateFaces(m);
  FinishRebuild(m, smooth);
  return splitCount;
}

// ---------------------------------------------------------------------------------------------
// Subdivide

std::size_t SubdivideFaces(CModel& m, const EdgeIndex& ix, int n, bool selectedOnly, Neighbours neighbours,
                           std::int32_t smooth) {
  if (n < 2 || n > kMaxLoopCuts) return 0;
  const std::size_t faceCount = std::min(m.faces.size(), ix.FaceCount());
  std::vector<std::uint8_t> split(faceCount, 0);
  std::size_t chosen = 0;
  for (std::size_t fi = 0; fi < faceCount; ++fi) {
    const CFace& f = m.faces[fi];
    if (f.indices.size() < 3 || !FaceWorkable(m, f)) continue;
    if (selectedOnly && !FaceSelectedForEdit(m, f)) continue;
    bool free = true;
    for (std::size_t k = 0; k < f.indices.size() && free; ++k) {
      const std::int32_t e = ix.SideEdge(static_cast<std::int32_t>(fi), k);
      free = e != EdgeIndex::kNone && EdgeFree(m, ix, e);
    }
    if (!free) continue;
    split[fi] = 1;
    ++chosen;
  }
  if (chosen == 0) return 0;
  const std::size_t oldCount = m.vertices.size();
  // n - 1 new vertices on every side of a chosen face, made once per edge, from its lower end.
  std::vector<EdgePoints> points(ix.EdgeCount());
  m.vertices.reserve(oldCount + chosen * static_cast<std::size_t>(n * n));
  for (std::size_t fi = 0; fi < faceCount; ++fi) {
    if (!split[fi]) continue;
    for (std::size_t k = 0; k < m.faces[fi].indices.size(); ++k) {
      const std::int32_t e = ix.SideEdge(static_cast<std::int32_t>(fi), k);
      if (e == EdgeIndex::kNone || !points[static_cast<std::size_t>(e)].empty()) continue;
      const CVector a = m.vertices[static_cast<std::size_t>(ix.Lower(e))].position;
      const CVector b = m.vertices[static_cast<std::size_t>(ix.Upper(e))].position;
      EdgePoints& list = points[static_cast<std::size_t>(e)];
      list.reserve(static_cast<std::size_t>(n - 1));
      for (int i = 1; i < n; ++i) {
        const double t = static_cast<double>(i) / n;
        list.emplace_back(t, AddVertex(m, LerpPoint(a, b, t)));
      }
    }
  }
  const auto lookup = [&points](std::int32_t e) -> const EdgePoints* { return &points[static_cast<std::size_t>(e)]; };
  CornerList boundary, piece;
  std::vector<Corner> grid;
  const auto N = static_cast<std::size_t>(n);
  for (std::size_t fi = 0; fi < faceCount; ++fi) {
    if (!split[fi]) continue;
    const CFace f = m.faces[fi];
    const std::size_t c = f.indices.size();
    boundary.clear();
    for (std::size_t k = 0; k < c; ++k) EmitSide(f, ix, static_cast<std::int32_t>(fi), k, lookup, boundary);
    // boundary[k * N + i] is the point i / N of the way along side k.
    if (boundary.size() != c * N) continue;
    const auto at = [&](std::size_t side, std::size_t i) -> const Corner& {
      return boundary[(side * N + i) % (c * N)];
    };
    if (c == 4) {
      // grid[j * (N + 1) + i]: i along a-b, j along a-d.
      grid.assign((N + 1) * (N + 1), Corner{});
      for (std::size_t i = 0; i <= N; ++i) {
        grid[i] = at(0, i);                    // a -> b
        grid[N * (N + 1) + i] = at(2, N - i);  // d -> c is c -> d reversed
      }
      for (std::size_t j = 0; j <= N; ++j) {
        grid[j * (N + 1) + N] = at(1, j);  // b -> c
      }
      for (std::size_t j = 0; j <= N; ++j) grid[j * (N + 1)] = j == 0 ? at(0, 0) : at(3, N - j);
      for (std::size_t j = 1; j < N; ++j)
        for (std::size_t i = 1; i < N; ++i) {
          const double u = static_cast<double>(i) / n;
          const Corner& left = grid[j * (N + 1)];
          const Corner& right = grid[j * (N + 1) + N];
          const CVector pl = m.vertices[static_cast<std::size_t>(left.vertex)].position;
          const CVector pr = m.vertices[static_cast<std::size_t>(right.vertex)].position;
          const std::int32_t id = AddVertex(m, LerpPoint(pl, pr, u));
          grid[j * (N + 1) + i] = {id, LerpUV(left.uv, right.uv, u)};
        }
      for (std::size_t j = 0; j < N; ++j)
        for (std::size_t i = 0; i < N; ++i) {
          piece = {grid[j * (N + 1) + i], grid[j * (N + 1) + i + 1], grid[(j + 1) * (N + 1) + i + 1],
                   grid[(j + 1) * (N + 1) + i]};
          PlacePiece(m, fi, piece, i == 0 && j == 0);
        }
    } else if (c == 3) {
      // Rows j from side a-b toward c: row j holds N - j + 1 points between side c-a and side b-c.
      std::vector<std::vector<Corner>> rows(N + 1);
      for (std::size_t j = 0; j <= N; ++j) {
        const Corner& left = j == 0 ? at(0, 0) : at(2, N - j);  // on c -> a, j / N of the way from a
        const Corner& right = at(1, j);                         // on b -> c
        const std::size_t count = N - j + 1;
        rows[j].resize(count);
        rows[j][0] = left;
        rows[j][count - 1] = right;
        if (j == 0)
          for (std::size_t i = 0; i < count; ++i) rows[j][i] = at(0, i);
        for (std::size_t i = 1; j > 0 && i + 1 < count; ++i) {
          const double u = static_cast<double>(i) / static_cast<double>(count - 1);
          const CVector pl = m.vertices[static_cast<std::size_t>(left.vertex)].position;
          const CVector pr = m.vertices[static_cast<std::size_t>(right.vertex)].position;
          rows[j][i] = {AddVertex(m, LerpPoint(pl, pr, u)), LerpUV(left.uv, right.uv, u)};
        }
      }
      bool first = true;
      for (std::size_t j = 0; j < N; ++j)
        for (std::size_t i = 0; i + j < N; ++i) {
          piece = {rows[j][i], rows[j][i + 1], rows[j + 1][i]};
          PlacePiece(m, fi, piece, first);
          first = false;
          if (i + j + 1 < N) {
            piece = {rows[j][i + 1], rows[j + 1][i + 1], rows[j + 1][i]};
            PlacePiece(m, fi, piece, false);
          }
        }
    } else {
      CVector centre;
      double cx = 0, cy = 0, cz = 0, cu = 0, cv = 0;
      for (std::size_t k = 0; k < c; ++k) {
        const CVector p = m.vertices[static_cast<std::size_t>(f.indices[k])].position;
        cx += p.x, cy += p.y, cz += p.z;
        cu += UVAt(f, k).u, cv += UVAt(f, k).v;
      }
      centre = CVector(static_cast<float>(cx / c), static_cast<float>(cy / c), static_cast<float>(cz / c));
      CUV cuv;
      cuv.u = static_cast<float>(cu / c);
      cuv.v = static_cast<float>(cv / c);
      const Corner middle{AddVertex(m, centre), cuv};
      bool first = true;
      if (n == 2) {
        for (std::size_t k = 0; k < c; ++k) {
          piece = {at(k, 0), at(k, 1), middle, at(k + c - 1, 1)};
          PlacePiece(m, fi, piece, first);
          first = false;
        }
      } else {
        for (std::size_t q = 0; q < boundary.size(); ++q) {
          piece = {boundary[q], boundary[(q + 1) % boundary.size()], middle};
          PlacePiece(m, fi, piece, first);
          first = false;
        }
      }
    }
  }
  const std::size_t piecesEnd = m.faces.size();
  std::vector<std::size_t> grown;
  InsertIntoNeighbours(m, ix, split, lookup, &grown);
  if (neighbours == Neighbours::kTriangles) SplitIntoTriangles(m, grown);
  ShiftPending(m, oldCount);
  // The subdivided faces stay selected, and only they.
  SelectFrom(m, m.vertices.size());
  const auto selectFace = [&m](const CFace& f) {
    for (std::int32_t v : f.indices) m.vertices[static_cast<std::size_t>(v)].selected = 1;
  };
  for (std::size_t fi = 0; fi < faceCount; ++fi)
    if (split[fi]) selectFace(m.faces[fi]);
  for (std::size_t fi = faceCount; fi < piecesEnd; ++fi) selectFace(m.faces[fi]);
  FinishRebuild(m, smooth);
  return chosen;
}

// ---------------------------------------------------------------------------------------------
// Knife

namespace {

// Where a knife sees a model point: screen coordinates, false where it cannot see it at all.
struct KnifePoint {
  double u = 0.0, v = 0.0;
  bool ok = false;
};

// One straight cut from (u0, v0) to (u1, v1) in screen coordinates, or along the whole line
// through them. `project` puts model points on the screen; with `perspective` the screen is a
// perspective one, so the place where an edge crosses is found along the edge in model space
// (the plane through the eye and the cut, not the screen's proportion of the edge). `cuts(face,
// point)` says whether a face the cut crosses at `point` (the middle of its chord, or the one
// crossing of a cut ending inside it) is cut; an edge none of whose faces is cut gains nothing.
template <typename Project, typename Cuts>
std::size_t KnifeSegment(CModel& m, double u0, double v0, double u1, double v1, bool line, bool perspective,
                         const Project& project, const Cuts& cuts) {
  const double du = u1 - u0, dv = v1 - v0;
  if (!(du * du + dv * dv > 0.0) || !std::isfinite(du) || !std::isfinite(dv)) return 0;
  const EdgeIndex ix(m);
  const std::size_t oldCount = m.vertices.size();
  struct Hit {
    std::int32_t edge;
    double s;  // along the edge, in model space
    double r;  // along the cut
  };
  std::vector<Hit> hits;
  std::unordered_map<std::int32_t, std::vector<std::pair<double, std::size_t>>> faceHits;  // face -> (r, hit)
  constexpr double kEnd = 1e-6;
  for (std::int32_t e = 0; e < static_cast<std::int32_t>(ix.EdgeCount()); ++e) {
    bool workable = ix.FacesBegin(e) != ix.FacesEnd(e);
    for (const std::int32_t* f = ix.FacesBegin(e); f != ix.FacesEnd(e); ++f)
      workable = workable && FaceWorkable(m, m.faces[static_cast<std::size_t>(*f)]) &&
                 m.faces[static_cast<std::size_t>(*f)].indices.size() >= 3;
    if (!workable) continue;
    const CVector pa = m.vertices[static_cast<std::size_t>(ix.Lower(e))].position;
    const CVector pb = m.vertices[static_cast<std::size_t>(ix.Upper(e))].position;
    const KnifePoint a = project(pa), b = project(pb);
    if (!a.ok || !b.ok) continue;
    // a + s (b - a) = k0 + r d
    const double au = a.u, av = a.v;
    const double eu = b.u - au, ev = b.v - av;
    const double den = eu * dv - ev * du;
    if (std::fabs(den) < 1e-12 * (std::fabs(eu) + std::fabs(ev)) * (std::fabs(du) + std::fabs(dv)) || den == 0.0)
      continue;
    const double wu = u0 - au, wv = v0 - av;
    double s = (wu * dv - wv * du) / den;
    const double r = (wu * ev - wv * eu) / den;
    if (!(s >= -kEnd && s <= 1.0 + kEnd)) continue;
    if (!line && !(r >= -kEnd && r <= 1.0 + kEnd)) continue;
    if (perspective && s > kEnd && s < 1.0 - kEnd) {
      // The screen is a projective image of the edge: where its middle lands gives the ratio k of
      // the ends' depths, and the screen's s' comes from model space's s as s' = s k / (1 + s (k - 1)).
      const KnifePoint mid = project(LerpPoint(pa, pb, 0.5));
      const double mu = mid.ok ? ((mid.u - au) * eu + (mid.v - av) * ev) / (eu * eu + ev * ev) : 0.5;
      if (mu > 0.0 && mu < 1.0) {
        const double k = mu / (1.0 - mu);
        s = s / (k * (1.0 - s) + s);
      }
    }
    hits.push_back({e, s, r});
    for (const std::int32_t* f = ix.FacesBegin(e); f != ix.FacesEnd(e); ++f)
      faceHits[*f].emplace_back(r, hits.size() - 1);
  }
  const auto hitPoint = [&](const Hit& h) {
    return LerpPoint(m.vertices[static_cast<std::size_t>(ix.Lower(h.edge))].position,
                     m.vertices[static_cast<std::size_t>(ix.Upper(h.edge))].position, h.s);
  };
  // Which faces the cut reaches; an edge takes a vertex when one of its faces is cut.
  std::vector<std::uint8_t> edgeKept(hits.size(), 0);
  std::vector<std::int32_t> order;
  for (auto& [fi, list] : faceHits) {
    std::sort(list.begin(), list.end());
    CVector at = hitPoint(hits[list.front().second]);
    if (list.size() >= 2) at = LerpPoint(at, hitPoint(hits[list[1].second]), 0.5);
    if (!cuts(static_cast<std::size_t>(fi), at)) continue;
    for (const auto& hit : list) edgeKept[hit.second] = 1;
    order.push_back(fi);
  }
  std::unordered_map<std::int32_t, EdgePoints> points;
  std::vector<std::int32_t> vertexOf(hits.size(), -1);
  for (std::size_t h = 0; h < hits.size(); ++h) {
    if (!edgeKept[h]) continue;
    const Hit& hit = hits[h];
    if (hit.s <= kEnd) vertexOf[h] = ix.Lower(hit.edge);
    else if (hit.s >= 1.0 - kEnd) vertexOf[h] = ix.Upper(hit.edge);
    else {
      vertexOf[h] = AddVertex(m, hitPoint(hit));
      points[hit.edge].emplace_back(hit.s, vertexOf[h]);
    }
  }
  std::unordered_map<std::int32_t, std::vector<std::pair<double, std::int32_t>>> crossings;  // face -> (r, vertex)
  for (std::int32_t fi : order)
    for (const auto& [r, h] : faceHits[fi]) crossings[fi].emplace_back(r, vertexOf[h]);
  ShiftPending(m, oldCount);
  const auto lookup = [&points](std::int32_t e) -> const EdgePoints* {
    auto it = points.find(e);
    return it == points.end() ? nullptr : &it->second;
  };
  std::vector<std::uint8_t> split(ix.FaceCount(), 0);
  order.clear();
  for (auto& [fi, list] : crossings) {
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.second == b.second; }),
               list.end());
    if (list.size() >= 2) order.push_back(fi);
  }
  std::sort(order.begin(), order.end());
  std::size_t count = 0;
  CornerList boundary, piece;
  for (std::int32_t fi : order) {
    const CFace f = m.faces[static_cast<std::size_t>(fi)];
    boundary.clear();
    for (std::size_t k = 0; k < f.indices.size(); ++k) EmitSide(f, ix, fi, k, lookup, boundary);
    const auto& list = crossings[fi];
    const auto find = [&boundary](std::int32_t v) {
      for (std::size_t i = 0; i < boundary.size(); ++i)
        if (boundary[i].vertex == v) return i;
      return boundary.size();
    };
    const std::size_t p = find(list[0].second), q = find(list[1].second), n = boundary.size();
    split[static_cast<std::size_t>(fi)] = 1;
    if (p == n || q == n || (q + n - p) % n < 2 || (p + n - q) % n < 2) {
      PlacePiece(m, static_cast<std::size_t>(fi), boundary, true);  // crossed at a corner or along a side
      continue;
    }
    for (int half = 0; half < 2; ++half) {
      const std::size_t from = half == 0 ? p : q, to = half == 0 ? q : p;
      piece.clear();
      for (std::size_t i = from;; i = (i + 1) % n) {
        piece.push_back(boundary[i]);
        if (i == to) break;
      }
      PlacePiece(m, static_cast<std::size_t>(fi), piece, half == 0);
    }
    ++count;
  }
  InsertIntoNeighbours(m, ix, split, lookup, nullptr);
  return count;
}

}  // namespace

std::size_t KnifeCut(CModel& m, const KnifeStroke& stroke, std::int32_t smooth) {
  if (!IsPlane(stroke.plane) || stroke.points.size() < 2) return 0;
  const PlaneAxes axes = AxesOf(stroke.plane);
  const auto project = [&axes](const CVector& p) {
    KnifePoint k{Component(p, axes.u.axis), Component(p, axes.v.axis), true};
    if (axes.u.flipped) k.u = -k.u;
    if (axes.v.flipped) k.v = -k.v;
    return k;
  };
  const auto everyFace = [](std::size_t, const CVector&) { return true; };
  const std::size_t oldCount = m.vertices.size();
  std::size_t count = 0;
  const std::size_t segments = stroke.throughAll ? 1 : stroke.points.size() - 1;
  for (std::size_t i = 0; i < segments; ++i) {
    const auto& [u0, v0] = stroke.points[i];
    const auto& [u1, v1] = stroke.points[i + 1];
    count += KnifeSegment(m, u0, v0, u1, v1, stroke.throughAll, false, project, everyFace);
  }
  if (m.vertices.size() == oldCount && count == 0) return 0;
  // The cut is what is selected: its new vertices and the corners it passed through.
  SelectFrom(m, oldCount);
  FinishRebuild(m, smooth);
  return count;
}

std::size_t KnifeCutInView(CModel& m, const PaneProjection& view, const DepthRaster* raster,
                           const ViewKnifeStroke& stroke, std::int32_t smooth) {
  if (stroke.points.size() < 2) return 0;
  const auto project = [&view](const CVector& p) {
    const ScreenPoint s = view(p);
    return KnifePoint{s.x, s.y, s.ok};
  };
  const auto cuts = [&](std::size_t fi, const CVector& at) {
    if (stroke.throughBack) return true;
    // Turned toward the viewer: its lit side's corners run clockwise on the screen (y down).
    const CFace& f = m.faces[fi];
    double area = 0.0;
    KnifePoint prev = project(m.vertices[static_cast<std::size_t>(f.indices.back())].position);
    for (std::int32_t i : f.indices) {
      const KnifePoint p = project(m.vertices[static_cast<std::size_t>(i)].position);
      if (!p.ok || !prev.ok) return false;
      area += prev.u * p.v - p.u * prev.v;
      prev = p;
    }
    if (!(area > 0.0)) return false;
    if (!raster) return true;
    const ScreenPoint s = view(at);
    return s.ok && raster->Visible(s.x, s.y, s.depth);
  };
  const std::size_t oldCount = m.vertices.size();
  std::size_t count = 0;
  for (std::size_t i = 0; i + 1 < stroke.points.size(); ++i) {
    const auto& [u0, v0] = stroke.points[i];
    const auto& [u1, v1] = stroke.points[i + 1];
    count += KnifeSegment(m, u0, v0, u1, v1, false, view.IsPerspective(), project, cuts);
  }
  if (m.vertices.size() == oldCount && count == 0) return 0;
  SelectFrom(m, oldCount);
  FinishRebuild(m, smooth);
  return count;
}

// ---------------------------------------------------------------------------------------------
// The scene

std::size_t LoopCutSelected(CMeshwright& scene, int cuts, double slide) {
  std::size_t n = 0;
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    const auto ix = scene.edgeIndexes.Get(m);
    const std::vector<std::int32_t> edges = SelectedEdgesForEdit(m, *ix, scene.selectMode == kSelectEdges);
    n += LoopCut(m, *ix, edges, cuts, slide, scene.smoothing);
  }
  return n;
}

std::size_t ConnectSelected(CMeshwright& scene) {
  std::size_t n = 0;
  for (CModel& m : scene.models)
    if (m.IsEditable()) n += ConnectVertices(m, scene.smoothing);
  return n;
}

std::size_t SubdivideSelected(CMeshwright& scene, int n, Neighbours neighbours) {
  std::size_t count = 0;
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    const auto ix = scene.edgeIndexes.Get(m);
    count += SubdivideFaces(m, *ix, n, true, neighbours, scene.smoothing);
  }
  return count;
}

std::size_t KnifeScene(CMeshwright& scene, const KnifeStroke& stroke) {
  std::size_t n = 0;
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    const std::size_t before = m.vertices.size();
    const std::size_t cut = KnifeCut(m, stroke, scene.smoothing);
    n += cut;
    // Symmetric modelling: the line's mirror image cuts the other side, when the pane shows the
    // axis (across it, the line reaches both sides already).
    if (m.symmetryAxis < 1 || m.symmetryAxis > 3 || !IsPlane(stroke.plane)) continue;
    const PlaneAxes axes = AxesOf(stroke.plane);
    const int a = m.symmetryAxis - 1;
    if (axes.u.axis != a && axes.v.axis != a) continue;
    KnifeStroke mirrored = stroke;
    for (auto& [u, v] : mirrored.points) (axes.u.axis == a ? u : v) *= -1.0;
    const std::size_t vertices = m.vertices.size();
    const std::size_t other = KnifeCut(m, mirrored, scene.smoothing);
    n += other;
    if ((cut > 0 || vertices > before) && (other > 0 || m.vertices.size() > vertices)) {
      SelectFrom(m, before);  // both cuts are what is selected
      m.UpdateFaceSelection();
    }
  }
  return n;
}

std::size_t KnifeSceneInView(CMeshwright& scene, const PaneProjection& view, const ViewKnifeStroke& stroke) {
  // The cuts move no surface, so what hides what stays as it was before the first.
  std::optional<DepthRaster> raster;
  if (!stroke.throughBack) raster.emplace(scene, view);
  std::size_t n = 0;
  for (CModel& m : scene.models)
    if (m.IsEditable()) n += KnifeCutInView(m, view, raster ? &*raster : nullptr, stroke, scene.smoothing);
  return n;
}

std::size_t SubdivideAll(CMeshwright& scene, int n) {
  std::size_t count = 0;
  for (CModel& m : scene.models) {
    const EdgeIndex ix(m);
    count += SubdivideFaces(m, ix, n, false, Neighbours::kPolygons, scene.smoothing);
  }
  return count;
}

}  // namespace mw
