// The scene as JSON, for `mwconv --info`.
#pragma once

#include <cstdio>
#include <string>

#include "io/document_io.h"
#include "scene/meshwright.h"

namespace mw {

// Names are converted from CP932 to UTF-8; floats use %.9g so they read back to the same float32
// (non-finite values, which JSON cannot hold, are written as null). With `summary`, per-vertex
// and per-face arrays are replaced by counts.
std::string SceneToJson(const CMeshwright& scene, bool summary, const DocumentResult& open);
// The same written to `file` as it is made, in blocks, so that a large scene's text is never
// held whole. False when a write failed.
bool WriteSceneJson(const CMeshwright& scene, bool summary, const DocumentResult& open, std::FILE* file);

}  // namespace mw
