#include "tests/hostile/child_budget.h"

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace mw::test {
namespace {

// A field of /proc/self/status in bytes (the file gives kB), or -1.
std::int64_t StatusBytes(const char* field) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  std::int64_t value = -1;
  const std::size_t n = std::strlen(field);
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
      value = std::strtoll(line + n + 1, nullptr, 10) * 1024;
      break;
    }
  }
  std::fclose(f);
  return value;
}

struct Report {
  int result;
  std::int64_t held;
  std::int64_t peak;
  double seconds;
};

}  // namespace

ChildCost RunInChild(const std::function<bool(std::int64_t&)>& work, std::int64_t addressBytes, double seconds) {
  ChildCost cost;
  int fds[2];
  if (pipe(fds) != 0) {
    cost.failure = "pipe failed";
    return cost;
  }
  std::fflush(nullptr);
  // Free memory the test kept resident (files it built) would be reused by the child without
  // showing in its peak: it goes back to the system first.
  malloc_trim(0);
  const pid_t child = fork();
  if (child < 0) {
    cost.failure = "fork failed";
    close(fds[0]);
    close(fds[1]);
    return cost;
  }
  if (child == 0) {
    close(fds[0]);
    // The peak is counted from here: reset the high-water mark to what is resident now.
    if (const int clear = open("/proc/self/clear_refs", O_WRONLY); clear >= 0) {
      if (write(clear, "5", 1) != 1) _exit(3);
      close(clear);
    }
    const std::int64_t start = StatusBytes("VmRSS");
    const std::int64_t mapped = StatusBytes("VmSize");
    const rlimit as{static_cast<rlim_t>(mapped + addressBytes), static_cast<rlim_t>(mapped + addressBytes)};
    if (start < 0 || mapped < 0 || setrlimit(RLIMIT_AS, &as) != 0) _exit(4);
    const auto t0 = std::chrono::steady_clock::now();
    Report r{};
    r.result = work(r.held) ? 1 : 0;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.peak = StatusBytes("VmHWM") - start;
    if (write(fds[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) _exit(5);
    _exit(0);  // no destructors, no leak check: the parent owns the test's state
  }
  close(fds[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      cost.failure = "still running after " + std::to_string(seconds) + " s";
      close(fds[0]);
      return cost;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  Report r{};
  const bool reported = read(fds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r);
  close(fds[0]);
  if (WIFSIGNALED(status)) {
    cost.failure = std::string("killed by signal ") + strsignal(WTERMSIG(status)) + " (over the address limit?)";
  } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !reported) {
    cost.failure = "exited with status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
                   " (an allocation over the address limit?)";
  } else {
    cost.finished = true;
    cost.result = r.result != 0;
    cost.held = r.held;
    cost.peak = r.peak;
    cost.seconds = r.seconds;
  }
  return cost;
}

}  // namespace mw::test
