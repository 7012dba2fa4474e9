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

#include "scene/edit_kind.h"
#include "scene/element_selection.h"
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

// Verbs that change the topology of what is selected, on a model with symmetric modelling: the
// selection is first taken across the plane (each selected vertex's counterpart, the mirror of
// each selected edge and face whose ends or corners all have counterparts), so the verb does on
// the other side what it does on this one; after it the counterparts are found again for the
// vertices the verb left. Models without symmetric modelling, locked or hidden are left alone.
void MirrorSelection(CModel& m, SelectMode mode);
void MirrorSelectionForVerb(CMeshwright& scene);
void FindCounterpartsAfterVerb(CMeshwright& scene);
// The verbs whose selection is taken across the plane first, and those after which the
// counterparts are found again (these, the knife, which mirrors its own line, and the others
// that add or remove vertices).
bool MirrorsSelection(EditKind k);
bool RenumbersVertices(EditKind k);

// The half of a model with symmetric modelling on that a file with a mirror attribute keeps, the
// other half being the mirror's: the vertices on the positive side of the plane and those on it
// (put exactly on it, so that a reader welds the halves there), and the faces whose corners are
// all among them, renumbered. `crossing` gets the number of faces in neither half (across the
// plane), which such a file cannot hold. A model without symmetric modelling comes back whole.
CModel KeptHalf(const CModel& m, std::size_t* crossing = nullptr);

}  // namespace mw
