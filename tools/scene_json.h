// The scene as JSON, for `mwconv --info`.
#pragma once

#include <string>

#include "io/document_io.h"
#include "scene/meshwright.h"

namespace mw {

// Names are converted from CP932 to UTF-8; floats use %.9g so they read back to the same float32
// (non-finite values, which JSON cannot hold, are written as null). With `summary`, per-vertex
// and per-face arrays are replaced by counts.
std::string SceneToJson(const CMeshwright& scene, bool summary, const DocumentResult& open);

}  // namespace mw
