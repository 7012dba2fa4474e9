// Running a helper program of ours as a separate process, for work that must not be able to take
// the program down: code we cannot fix that may crash, loop or allocate without bound on hostile
// input. The child is started with posix_spawn (no fork of a multi-threaded program) and killed
// when its time is up; its standard input is /dev/null, its output goes where ours does.
#pragma once

#include <string>
#include <vector>

namespace mw {

struct ChildOutcome {
  enum class Kind {
    kExited,        // it ended by itself: exitCode
    kSignalled,     // a signal ended it (a crash): signal
    kTimedOut,      // still running at the deadline, killed
    kFailedToStart  // spawning failed: systemError
  };
  Kind kind = Kind::kFailedToStart;
  int exitCode = 0;
  int signal = 0;
  int systemError = 0;
};

// Runs `program` with `args` (argv[1]...) and waits at most `seconds` of wall-clock time.
ChildOutcome RunChildProcess(const std::string& program, const std::vector<std::string>& args, double seconds);

// Creates a folder only this user can enter, under $TMPDIR or /tmp; "" on failure (errno set).
std::string MakePrivateTempFolder(const char* prefix);
// Removes the files directly inside `folder`, then the folder itself.
void RemoveTempFolder(const std::string& folder);

}  // namespace mw
