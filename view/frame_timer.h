// Paint times on stderr, for measuring frames per second in the running window.
//
// With MW_FRAME_TIMES set to anything but empty or "0", every pane prints one line per paint:
// "frame <pane> <milliseconds>". The perspective pane waits for OpenGL to finish first, so the
// figure is the frame's whole cost, not only the time to hand it over.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace mw {

inline bool FrameTimesWanted() {
  static const bool wanted = [] {
    const char* v = std::getenv("MW_FRAME_TIMES");
    return v && *v && !(v[0] == '0' && v[1] == '\0');
  }();
  return wanted;
}

class FrameTimer {
 public:
  explicit FrameTimer(const char* pane) : pane_(pane), on_(FrameTimesWanted()) {
    if (on_) start_ = std::chrono::steady_clock::now();
  }
  ~FrameTimer() {
    if (!on_) return;
    const std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - start_;
    std::fprintf(stderr, "frame %s %.2f\n", pane_, ms.count());
  }
  FrameTimer(const FrameTimer&) = delete;
  FrameTimer& operator=(const FrameTimer&) = delete;
  bool on() const { return on_; }

 private:
  const char* pane_;
  bool on_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace mw
