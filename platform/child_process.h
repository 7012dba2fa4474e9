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

// A private temporary folder "<prefix>-XXXXXX" under $TMPDIR or /tmp, removed with everything in
// it when the object goes. It holds a lock file for as long as the object lives, so a folder left
// by a process that was killed is told from one in use and removed by RemoveStaleTempFolders.
class TempFolder {
 public:
  explicit TempFolder(const char* prefix);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // Empty when the folder could not be made (errno set).
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int lock_ = -1;
};

// The prefixes of the program's temporary folders: the import helper's hand-over folder and the
// extracted .mqoz archive.
inline constexpr const char* kImportTempPrefix = "meshwright-import";
inline constexpr const char* kMqozTempPrefix = "meshwright-mqoz";

// Removes this user's folders of those prefixes whose process is gone (their lock can be taken;
// one without a lock file once it is a minute old). Called at start.
void RemoveStaleTempFolders();

}  // namespace mw
