// main() for test programs that need a QApplication on a real display (OpenGL, widgets).
//
// Listing tests must work without a display, so --gtest_list_tests is answered before Qt starts.
// Without a display the tests skip, unless MW_REQUIRE_DISPLAY is set (the test command sets it),
// in which case they fail: CI must never go green without running them.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "render/surface_format.h"

namespace {
bool g_haveDisplay = false;
}  // namespace

namespace mw::test {
bool HaveDisplay() { return g_haveDisplay; }
}  // namespace mw::test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) return RUN_ALL_TESTS();

  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const bool offscreen = platform && std::string(platform) == "offscreen";
  g_haveDisplay = offscreen || std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
  std::unique_ptr<QApplication> app;
  if (g_haveDisplay) {
    mw::SetDefaultSurfaceFormat();
    app = std::make_unique<QApplication>(argc, argv);
  }
  return RUN_ALL_TESTS();
}
