#include "app/startup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "render/surface_format.h"

namespace mw {

void PrepareEnvironment() {
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    std::string dir = "/tmp/meshwright-runtime-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    chmod(dir.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 0);
  }
  SetDefaultSurfaceFormat();
}

}  // namespace mw
