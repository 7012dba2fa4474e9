// Texture coordinate. The perspective pane passes v negated to OpenGL.
#pragma once

namespace mw {

struct CUV {
  float u = 0.0f;
  float v = 0.0f;

  CUV() = default;
  constexpr CUV(float au, float av) : u(au), v(av) {}
  friend bool operator==(const CUV& a, const CUV& b) { return a.u == b.u && a.v == b.v; }
};

}  // namespace mw
