// A fragment of a scene as Wavefront OBJ text, for programs that take geometry from the clipboard
// as text. Positions are written as they are, texture V as 1 - v (OBJ counts V upwards), corners
// in their order; faces of one corner become points ("p") and of two lines ("l"). Materials
// appear only by name ("usemtl", UTF-8): there is no .mtl beside clipboard text.
#pragma once

#include <string>

#include "scene/fragment.h"

namespace mw {

std::string FragmentObjText(const SceneFragment& fragment);

}  // namespace mw
