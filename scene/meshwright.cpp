#include "scene/meshwright.h"

namespace mw {

CMeshwright::CMeshwright() = default;

void CMeshwright::ResetScene() {
  materials.clear();
  models.clear();
  models.emplace_back();
  referencePictures.clear();
  camera.rotation = CVector(20.0f, 10.0f, 0.0f);
  camera.translation = CVector(0.0f, 0.0f, -2000.0f);
  fieldOfView = 10.0f;
  smoothing = 1;
  backgroundColor = kDefaultBackground;
  nextMaterialId = 0;
  zoom = 100.0f;
  editMode = kModeSelect;
}

void CMeshwright::ReleaseTextures() {
  for (CMaterial& m : materials) m.ReleaseTexture();
}

void CMeshwright::LoadTextures() {
  for (CMaterial& m : materials) m.LoadTexture();
}

void CMeshwright::UpdateMaterialColors() {
  for (CMaterial& m : materials) m.UpdateMaterialColors();
}

void CMeshwright::ComputeNormals() {
  for (CModel& m : models) m.ComputeNormals(smoothing);
}

void CMeshwright::AddZoom(float delta) {
  float z = static_cast<float>(static_cast<double>(zoom) + delta);
  zoom = z < 1.0f ? 1.0f : z;
}

std::int32_t CMeshwright::CycleModelState(std::int32_t i) {
  if (i < 0 || static_cast<std::size_t>(i) >= models.size()) return 0;
  std::int32_t s = models[i].state + 1;
  if (s > 3) s = 1;
  models[i].state = s;
  return s;
}

}  // namespace mw
