// The Metasequoia importer on arbitrary bytes, read from memory as from a file, then the exporter
// on whatever was imported.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "io/loader_mqo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (!f) return 0;
  mw::CMeshwright scene;
  scene.ResetScene();
  mw::ImportMetasequoia(scene, f);
  std::fclose(f);
  for (const mw::CModel& m : scene.models)
    for (const mw::CFace& face : m.faces)
      for (std::int32_t i : face.indices)
        if (!m.HasVertex(i)) std::abort();
  scene.SetAllSelected(1);
  scene.DeleteSelection();
  (void)mw::MetasequoiaText(scene);
  return 0;
}
