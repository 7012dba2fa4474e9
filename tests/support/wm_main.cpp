// main() for tests of the window as a window manager treats it: a private virtual X display with
// openbox managing it, so that resizing and maximising go through a real window manager without
// touching the display other tests share.
//
// As in gui_main.cpp, listing tests needs no display. When the display or the window manager
// cannot be started the tests skip, or fail when MW_REQUIRE_DISPLAY is set.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "render/surface_format.h"
// clang-format off
#include <X11/Xlib.h>
// clang-format on

namespace {
bool g_haveDisplay = false;

// Starts `argv` as a child that dies with this process; its pid, or -1.
pid_t Spawn(const std::vector<std::string>& args, int keepFd = -1) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  for (int fd = 3; fd < 256; ++fd)
    if (fd != keepFd) close(fd);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// The X server writes its display number to the pipe once it accepts connections.
std::string StartServer(pid_t* pid) {
  int fds[2];
  if (pipe(fds) != 0) return std::string();
  *pid =
      Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1600x1200x24", "-nolisten", "tcp"}, fds[1]);
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  return number.empty() ? std::string() : ":" + number;
}

// Whether a window manager has announced itself on the root window (EWMH), waiting a while.
bool WaitForWindowManager(const std::string& display) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
  bool found = false;
  for (int i = 0; i < 200 && !found; ++i) {
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        count > 0)
      found = true;
    if (data) XFree(data);
    if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  XCloseDisplay(d);
  return found;
}
}  // namespace

namespace mw::test {
bool HaveDisplay() { return g_haveDisplay; }
}  // namespace mw::test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) return RUN_ALL_TESTS();

  pid_t server = -1, manager = -1;
  const std::string display = StartServer(&server);
  if (!display.empty()) {
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    manager = Spawn({"openbox", "--sm-disable"});
    g_haveDisplay = WaitForWindowManager(display);
    if (!g_haveDisplay) std::fprintf(stderr, "openbox did not start on %s\n", display.c_str());
  } else {
    std::fprintf(stderr, "Xvfb did not start\n");
  }
  int result;
  {
    std::unique_ptr<QApplication> app;
    if (g_haveDisplay) {
      mw::SetDefaultSurfaceFormat();
      app = std::make_unique<QApplication>(argc, argv);
    }
    result = RUN_ALL_TESTS();
  }
  Stop(manager);
  Stop(server);
  return result;
}
