// The OpenGL surface every context of the program uses; set before the first QGuiApplication.
#pragma once

namespace mw {
// Compatibility profile 2.1 (the drawing is fixed-function), depth 24, RGBA8, double buffer.
void SetDefaultSurfaceFormat();
}  // namespace mw
