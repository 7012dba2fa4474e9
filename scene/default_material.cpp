#include "scene/default_material.h"

namespace mw {

bool EnsureDefaultMaterial(CMeshwright& scene) {
  if (!scene.materials.empty()) return false;
  scene.AddMaterial();
  scene.currentMaterial = 0;
  return true;
}

bool CanBuildInCurrentModel(const CMeshwright& scene) {
  return scene.HasCurrentModel() && scene.models[static_cast<std::size_t>(scene.currentModel)].IsEditable();
}

}  // namespace mw
