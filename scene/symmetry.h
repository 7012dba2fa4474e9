// Symmetric modelling and the mirror copy.
//
// A model with symmetric modelling on (CModel::symmetryAxis 1 x, 2 y, 3 z) keeps, for each vertex,
// its counterpart across the plane where that coordinate is 0: the vertex at the mirrored position
// within a tolerance, itself for a vertex on the plane, -1 for one without a match. Every transform
// of the selection (the scene's Move/Rotate/Size/Stretch operations and the numeric ones) then
// puts the counterpart of each moved vertex at its mirror image, unless that counterpart was
// selected too, and keeps vertices on the plane on it. The undo history keeps the counterparts'
// positions with the selection's.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/meshwright.h"

namespace mw {

inline constexpr double kSymmetryTolerance = 1e-3;

// Finds the counterparts of every vertex of `m` across `axis` (1..3; 0 clears them). Time about
// linear: vertices are hashed into cells of the tolerance's size.
std::vector<std::int32_t> FindCounterparts(const CModel& m, std::int32_t axis, double tolerance = kSymmetryTolerance);
void BuildCounterparts(CModel& m, std::int32_t axis, double tolerance = kSymmetryTolerance);
// Switches symmetric modelling of `m` to `axis` (0 off), finding the counterparts.
void SetSymmetry(CModel& m, std::int32_t axis);
// After the selected vertices of `m` moved: their counterparts follow (see above). Counterparts
// found for another vertex count are found again first.
void MirrorSelectedEdits(CModel& m);
// Which vertices a transform of the selection changes: the selected ones and, with symmetric
// modelling on, their counterparts.
std::vector<std::uint8_t> VerticesMovedWithSymmetry(const CModel& m);

// Copies the faces whose corners are all selected to the other side of the model's symmetry plane
// (x when symmetric modelling is off), wound the other way; corners on the plane are shared with
// the original, so the copy is welded at the seam. The copies are selected with the originals.
// Returns the number of faces copied.
std::size_t MirrorCopy(CModel& m, std::int32_t smooth);
std::size_t MirrorCopySelected(CMeshwright& scene);

}  // namespace mw
