// Edge loops and rings, walked over a model's edge index.
//
// A loop runs along edges end to end through quadrilaterals: at each end it goes on with the edge
// straight across the vertex (the one sharing no face with it among the four quads there). It stops
// at a pole (a vertex where other than four edges meet), at a face of other than four corners, at a
// hidden face and at a border; it is closed when it comes back to where it began. A loop started
// on a border edge runs along the border through the vertices where three edges meet.
//
// A ring runs across quadrilaterals: from an edge to the opposite side of each of its quads, and on
// into the next quad; it stops at a face of other than four corners (whose edge is not taken), at
// a hidden face and at a border, and is closed when it comes back. The faces a ring crosses are the
// face loop.
//
// Each returns every edge (face) once: `e` (its first face) first, then those found one way, then
// those found the other way; an edge number outside the index gives nothing. Time is linear in
// what is returned, times its length where a damaged mesh makes a walk meet itself.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/edge_index.h"

namespace mw {

std::vector<std::int32_t> EdgeLoop(const CModel& m, const EdgeIndex& ix, std::int32_t e);
std::vector<std::int32_t> EdgeRing(const CModel& m, const EdgeIndex& ix, std::int32_t e);
std::vector<std::int32_t> FaceLoop(const CModel& m, const EdgeIndex& ix, std::int32_t e);

}  // namespace mw
