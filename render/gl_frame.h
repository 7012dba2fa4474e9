// OpenGL state of the perspective pane. Called with the pane's context current.
#pragma once

#include <cstdint>

namespace mw {

// Clear colour from a 0x00BBGGRR colour, opaque.
void SetClearColor(std::uint32_t bgr);

// Components of a 0x00BBGGRR colour as 0..1 floats (r, g, b).
inline void ColorToFloats(std::uint32_t bgr, float out[3]) {
  out[0] = static_cast<float>(bgr & 0xFF) / 255.0f;
  out[1] = static_cast<float>((bgr >> 8) & 0xFF) / 255.0f;
  out[2] = static_cast<float>((bgr >> 16) & 0xFF) / 255.0f;
}

}  // namespace mw
