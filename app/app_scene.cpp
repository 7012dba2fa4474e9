#include "app/app_scene.h"

#include "scene/meshwright.h"

namespace mw {
CMeshwright& TheScene() {
  static CMeshwright scene;
  return scene;
}
}  // namespace mw
