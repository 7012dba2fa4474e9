// Process set-up that must happen before the QApplication exists.
#pragma once

namespace mw {
// Default surface format (compatibility profile, depth 24, RGBA8, double buffer) and a private
// XDG_RUNTIME_DIR when none is set (running as root otherwise makes Qt complain).
void PrepareEnvironment();
}  // namespace mw
