#include "app/startup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QSurfaceFormat>
#include <cstdlib>
#include <string>

namespace mw {

void PrepareEnvironment() {
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    std::string dir = "/tmp/meshwright-runtime-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    chmod(dir.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 0);
  }
  QSurfaceFormat format;
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setProfile(QSurfaceFormat::CompatibilityProfile);
  format.setVersion(2, 1);
  format.setDepthBufferSize(24);
  format.setRedBufferSize(8);
  format.setGreenBufferSize(8);
  format.setBlueBufferSize(8);
  format.setAlphaBufferSize(8);
  format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
  QSurfaceFormat::setDefaultFormat(format);
}

}  // namespace mw
