#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace mw::test {
bool HaveDisplay();

// Pixels in which two pictures differ; -1 when their sizes do.
inline int DifferingPixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return -1;
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
  return n;
}

// For its lifetime the process has no display in its environment, as the picture commands run
// (the off-screen context must need none).
class WithoutDisplay {
 public:
  WithoutDisplay() {
    for (const char* name : kNames) {
      const char* v = std::getenv(name);
      saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
      unsetenv(name);
    }
  }
  ~WithoutDisplay() {
    for (std::size_t i = 0; i < saved_.size(); ++i)
      if (saved_[i]) setenv(kNames[i], saved_[i]->c_str(), 1);
  }
  WithoutDisplay(const WithoutDisplay&) = delete;
  WithoutDisplay& operator=(const WithoutDisplay&) = delete;

 private:
  static constexpr const char* kNames[] = {"DISPLAY", "WAYLAND_DISPLAY"};
  std::vector<std::optional<std::string>> saved_;
};
}  // namespace mw::test

// First statement of every test that needs the display.
#define MW_REQUIRE_DISPLAY()                                                              \
  do {                                                                                    \
    if (!mw::test::HaveDisplay()) {                                                       \
      if (std::getenv("MW_REQUIRE_DISPLAY") || std::getenv("CI")) FAIL() << "no display"; \
      GTEST_SKIP() << "no display (run under xvfb-run)";                                  \
    }                                                                                     \
  } while (0)
