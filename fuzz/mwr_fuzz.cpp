// The .mwr reader on arbitrary bytes: it must fail cleanly or read a scene whose indices are valid.
#include <cstdint>
#include <cstdlib>

#include "scene/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mw::CMeshwright scene;
  scene.ResetScene();
  if (mw::ReadScene(scene, data, size).ok()) {
    for (const mw::CModel& m : scene.models)
      for (const mw::CFace& f : m.faces)
        for (std::int32_t i : f.indices)
          if (!m.HasVertex(i)) std::abort();
    scene.ComputeNormals();
    std::vector<std::uint8_t> again;
    mw::WriteScene(scene, again);
  }
  return 0;
}
