// The Assimp import on arbitrary bytes, as OBJ, PLY or STL by the way the data starts (so that
// seeds of each format keep their reader), then the scene's own invariants and an export.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "io/assimp_io.h"

// Assimp 5.2 leaks parts of its scene on some of its readers' failure paths; those are reported
// once (see the closing note of the harness's run), not by every input that reaches them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libassimp.so\n"; }

namespace {

const char* FormatOf(const std::uint8_t* data, std::size_t size) {
  const std::string_view head(reinterpret_cast<const char*>(data), size < 8 ? size : 8);
  if (head.starts_with("ply")) return "ply";
  if (head.starts_with("solid") || (size >= 84 && (size - 84) % 50 == 0)) return "stl";
  return "obj";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mw::CMeshwright scene;
  scene.ResetScene();
  const std::size_t models = scene.models.size();
  const mw::DocumentResult r = mw::ImportAssimpMemory(scene, data, size, FormatOf(data, size));
  if (!r.ok()) {
    // A refusal changes nothing.
    if (scene.models.size() != models) std::abort();
    return 0;
  }
  for (const mw::CModel& m : scene.models)
    for (const mw::CFace& face : m.faces) {
      for (std::int32_t i : face.indices)
        if (!m.HasVertex(i)) std::abort();
      if (!face.uvs.empty() && face.uvs.size() != face.indices.size()) std::abort();
    }
  return 0;
}
