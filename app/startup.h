// Process set-up that must happen before the QApplication exists.
#pragma once

namespace mw {
// The default OpenGL surface format (render/surface_format.h) and a private
// XDG_RUNTIME_DIR when none is set (running as root otherwise makes Qt complain).
void PrepareEnvironment();
}  // namespace mw
