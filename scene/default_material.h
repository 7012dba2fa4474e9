// The material a document without materials is given when geometry is first built in it.
//
// Faces whose material identifier names no material are not drawn in the perspective pane (stored
// documents rely on that), so a box or face built in a new document would be invisible there and in
// pictures. Every tool that builds geometry calls EnsureDefaultMaterial inside the same edit that
// adds it, so the material comes and goes with the geometry in one undo step.
#pragma once

#include "scene/meshwright.h"

namespace mw {

// When the scene has no material at all, adds one new material (the values of a new material,
// identifier nextMaterialId) and makes it current. Returns whether it added one; a scene with
// materials is left as it is, even when none of them is current.
bool EnsureDefaultMaterial(CMeshwright& scene);

// Whether building in the current model can add geometry: there is a current model and it is
// neither locked nor hidden. Tools ask this first, so that a refused build adds no material.
bool CanBuildInCurrentModel(const CMeshwright& scene);

}  // namespace mw
