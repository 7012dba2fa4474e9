// A transform; the scene's one instance is the camera of the perspective pane.
#pragma once

#include <cstdint>

#include "scene/vector.h"

namespace mw {

class CAnimation {
 public:
  CVector translation;
  CVector rotation;                 // degrees about X, then Y, then Z
  CVector scale{1.0f, 1.0f, 1.0f};  // archived only; drawing uses the scene's zoom
  std::int32_t frame = 0;

  void SetTranslation(const CVector& v) { translation = v; }
  void SetRotation(const CVector& v) { rotation = v; }
  void AddTranslation(const CVector& v) { translation += v; }
  void AddRotation(const CVector& v) { rotation += v; }
};

}  // namespace mw
