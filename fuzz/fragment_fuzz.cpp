// The clipboard's fragment on arbitrary bytes: decoding must fail cleanly or give a fragment that
// pastes into a document, leaving every corner on a vertex, and copies out again.
#include <cstdint>
#include <cstdlib>

#include "scene/fragment.h"
#include "scene/scene_delta.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mw::SceneFragment fragment;
  if (!mw::DecodeFragment(data, size, fragment).ok()) return 0;
  mw::CMeshwright scene;
  scene.ResetScene();
  scene.AddMaterial();
  scene.materials[0].name = "mat";
  if (!mw::PasteFragment(scene, fragment)) return 0;
  const mw::CModel& m = scene.models[0];
  for (const mw::CFace& f : m.faces)
    for (std::int32_t i : f.indices)
      if (!m.HasVertex(i)) std::abort();
  if (!mw::FaceRefsCurrent(m)) std::abort();
  const std::vector<std::uint8_t> again = mw::EncodeFragment(mw::ExtractSelection(scene));
  mw::SceneFragment back;
  if (!mw::DecodeFragment(again.data(), again.size(), back).ok()) std::abort();
  return 0;
}
