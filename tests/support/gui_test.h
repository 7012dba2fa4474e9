#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

namespace mw::test {
bool HaveDisplay();
}

// First statement of every test that needs the display.
#define MW_REQUIRE_DISPLAY()                                                              \
  do {                                                                                    \
    if (!mw::test::HaveDisplay()) {                                                       \
      if (std::getenv("MW_REQUIRE_DISPLAY") || std::getenv("CI")) FAIL() << "no display"; \
      GTEST_SKIP() << "no display (run under xvfb-run)";                                  \
    }                                                                                     \
  } while (0)
