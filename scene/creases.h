// Sharp edges and corners of a model kept on the geometry they were set on while the vertices are
// renumbered or edges go.
//
// Creases name their edge by its two vertex numbers, so every pass that renumbers vertices hands
// its old -> new map here; left alone, a crease would silently move to another edge.
#pragma once

#include <cstdint>
#include <span>

#include "scene/model.h"

namespace mw {

// Renames the ends of every crease and corner through `newIndex` (old number -> new one, -1 for a
// vertex that went; numbers past its end are left as they are). A crease whose ends went or met
// goes; two that became one keep the greater sharpness. Then PruneCreases.
void RenumberCreases(CModel& model, std::span<const std::int32_t> newIndex);

// Drops creases on edges no face of the model has any more (after edges were dissolved or
// collapsed) and corners on vertices that are not there; keeps both lists sorted.
void PruneCreases(CModel& model);

}  // namespace mw
