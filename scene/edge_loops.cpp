#include "scene/edge_loops.h"

#include <algorithm>

namespace mw {
namespace {

constexpr std::int32_t kNone = EdgeIndex::kNone;

bool Quad(const CModel& m, const EdgeIndex& ix, std::int32_t f) {
  return f >= 0 && ix.SideCount(f) == 4 && !m.faces[static_cast<std::size_t>(f)].hidden;
}

// The face of e other than f when e has exactly two, else kNone.
std::int32_t OtherFace(const EdgeIndex& ix, std::int32_t e, std::int32_t f) {
  if (ix.FaceCountOf(e) != 2) return kNone;
  const std::int32_t* faces = ix.FacesBegin(e);
  if (faces[0] == f) return faces[1] == f ? kNone : faces[1];
  return faces[1] == f ? faces[0] : kNone;
}

// The side of quad f other than e that meets vertex v.
std::int32_t OtherSideAt(const CModel& m, const EdgeIndex& ix, std::int32_t f, std::int32_t e, std::int32_t v) {
  const int k = ix.SideOf(f, e);
  if (k < 0) return kNone;
  const CFace& face = m.faces[static_cast<std::size_t>(f)];
  const std::size_t n = 4;
  if (face.indices[static_cast<std::size_t>(k)] == v) return ix.SideEdge(f, (static_cast<std::size_t>(k) + n - 1) % n);
  if (face.indices[(static_cast<std::size_t>(k) + 1) % n] == v) return ix.SideEdge(f, (static_cast<std::size_t>(k) + 1) % n);
  return kNone;
}

std::int32_t FarEnd(const EdgeIndex& ix, std::int32_t e, std::int32_t v) { return ix.Lower(e) == v ? ix.Upper(e) : ix.Lower(e); }

// One step of a loop from edge `cur` across vertex v, or kNone where the loop stops.
std::int32_t LoopStep(const CModel& m, const EdgeIndex& ix, std::int32_t cur, std::int32_t v, bool border) {
  if (ix.FaceCountOf(cur) != (border ? 1u : 2u) || ix.Valence(v) != (border ? 3u : 4u)) return kNone;
  const std::int32_t f1 = *ix.FacesBegin(cur);
  if (!Quad(m, ix, f1)) return kNone;
  const std::int32_t e1 = OtherSideAt(m, ix, f1, cur, v);
  if (e1 == kNone) return kNone;
  const std::int32_t f2 = OtherFace(ix, e1, f1);
  if (!Quad(m, ix, f2)) return kNone;
  if (!border) {
    // The quads on both sides of cur must be the ones around v besides f2 and the next.
    const std::int32_t g = OtherFace(ix, cur, f1);
    if (!Quad(m, ix, g) || g == f2) return kNone;
  }
  const std::int32_t e2 = OtherSideAt(m, ix, f2, e1, v);
  if (e2 == kNone || e2 == cur) return kNone;
  if (border && ix.FaceCountOf(e2) != 1) return kNone;
  if (!border && ix.FaceCountOf(e2) != 2) return kNone;
  return e2;
}

bool Valid(const EdgeIndex& ix, std::int32_t e) { return e >= 0 && static_cast<std::size_t>(e) < ix.EdgeCount(); }

}  // namespace

std::vector<std::int32_t> EdgeLoop(const CModel& m, const EdgeIndex& ix, std::int32_t e) {
  if (!Valid(ix, e)) return {};
  std::vector<std::int32_t> out{e};
  const bool border = ix.FaceCountOf(e) == 1;
  std::vector<std::int32_t> back;
  for (int direction = 0; direction < 2; ++direction) {
    std::vector<std::int32_t>& into = direction == 0 ? out : back;
    std::int32_t cur = e, v = direction == 0 ? ix.Upper(e) : ix.Lower(e);
    for (;;) {
      const std::int32_t next = LoopStep(m, ix, cur, v, border);
      if (next == kNone) break;
      if (next == e) return out;  // closed: the first direction came round
      if (std::find(out.begin(), out.end(), next) != out.end() ||
          std::find(back.begin(), back.end(), next) != back.end())
        break;  // a figure of eight through a damaged mesh: stop before going round again
      into.push_back(next);
      v = FarEnd(ix, next, v);
      cur = next;
    }
  }
  out.insert(out.begin(), back.rbegin(), back.rend());
  // Walking order starting at e: put e first, the rest of the open loop after it in order.
  std::rotate(out.begin(), std::find(out.begin(), out.end(), e), out.end());
  return out;
}

namespace {

// Walks a ring from edge e into face f; appends the edges after e and the faces crossed.
void RingWalk(const CModel& m, const EdgeIndex& ix, std::int32_t e, std::int32_t f, std::vector<std::int32_t>& edges,
              std::vector<std::int32_t>& faces, bool& closed) {
  std::int32_t cur = e;
  while (Quad(m, ix, f)) {
    if (std::find(faces.begin(), faces.end(), f) != faces.end()) {
      closed = true;
      return;
    }
    faces.push_back(f);
    const int k = ix.SideOf(f, cur);
    if (k < 0) return;
    const std::int32_t opposite = ix.SideEdge(f, (static_cast<std::size_t>(k) + 2) % 4);
    if (opposite == kNone) return;
    if (opposite == e) {
      closed = true;
      return;
    }
    edges.push_back(opposite);
    f = OtherFace(ix, opposite, f);
    cur = opposite;
  }
}

void Ring(const CModel& m, const EdgeIndex& ix, std::int32_t e, std::vector<std::int32_t>& edges,
          std::vector<std::int32_t>& faces) {
  if (!Valid(ix, e)) return;
  edges.push_back(e);
  const std::size_t count = ix.FaceCountOf(e);
  if (count == 0 || count > 2) return;
  bool closed = false;
  RingWalk(m, ix, e, ix.FacesBegin(e)[0], edges, faces, closed);
  if (closed || count < 2) return;
  std::vector<std::int32_t> backEdges, backFaces;
  RingWalk(m, ix, e, ix.FacesBegin(e)[1], backEdges, backFaces, closed);
  edges.insert(edges.end(), backEdges.begin(), backEdges.end());
  faces.insert(faces.end(), backFaces.begin(), backFaces.end());
}

}  // namespace

std::vector<std::int32_t> EdgeRing(const CModel& m, const EdgeIndex& ix, std::int32_t e) {
  std::vector<std::int32_t> edges, faces;
  Ring(m, ix, e, edges, faces);
  return edges;
}

std::vector<std::int32_t> FaceLoop(const CModel& m, const EdgeIndex& ix, std::int32_t e) {
  std::vector<std::int32_t> edges, faces;
  Ring(m, ix, e, edges, faces);
  return faces;
}

}  // namespace mw
