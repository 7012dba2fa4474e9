#include "render/gl_frame.h"

#include <GL/gl.h>

namespace mw {

void SetClearColor(std::uint32_t bgr) {
  float c[3];
  ColorToFloats(bgr, c);
  glClearColor(c[0], c[1], c[2], 1.0f);
}

}  // namespace mw
