#include "platform/child_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>

extern char** environ;

namespace mw {

ChildOutcome RunChildProcess(const std::string& program, const std::vector<std::string>& args, double seconds) {
  ChildOutcome outcome;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  // Its own process group, so that a kill at the deadline reaches anything it started too.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t child = -1;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    outcome.systemError = spawned;
    return outcome;
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  auto pause = std::chrono::microseconds(200);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (done < 0 && errno != EINTR) {
      outcome.systemError = errno;
      return outcome;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(-child, SIGKILL);
      kill(child, SIGKILL);
      while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
      outcome.kind = ChildOutcome::Kind::kTimedOut;
      return outcome;
    }
    // Short waits first: most files are read in a few milliseconds.
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(20000));
  }
  if (WIFSIGNALED(status)) {
    outcome.kind = ChildOutcome::Kind::kSignalled;
    outcome.signal = WTERMSIG(status);
  } else {
    outcome.kind = ChildOutcome::Kind::kExited;
    outcome.exitCode = WEXITSTATUS(status);
  }
  return outcome;
}

std::string MakePrivateTempFolder(const char* prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
  if (!mkdtemp(pattern.data())) return std::string();  // mkdtemp makes it 0700
  return pattern;
}

namespace {

constexpr const char* kLockName = ".lock";

std::string TempRoot() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

void RemoveAll(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);  // links inside are removed, never followed
}

}  // namespace

TempFolder::TempFolder(const char* prefix) {
  std::string path = MakePrivateTempFolder(prefix);
  if (path.empty()) return;
  const std::string lock = path + "/" + kLockName;
  lock_ = open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (lock_ < 0 || flock(lock_, LOCK_EX) != 0) {
    const int error = errno;
    if (lock_ >= 0) close(lock_);
    lock_ = -1;
    RemoveAll(path);
    errno = error;
    return;
  }
  path_ = std::move(path);
}

TempFolder::~TempFolder() {
  if (!path_.empty()) RemoveAll(path_);  // before the lock goes: no sweeper takes it meanwhile
  if (lock_ >= 0) close(lock_);
}

void RemoveStaleTempFolders() {
  const std::string root = TempRoot();
  DIR* dir = opendir(root.c_str());
  if (!dir) return;
  const int rootFd = dirfd(dir);
  const auto now = std::time(nullptr);
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    bool ours = false;
    for (const char* prefix : {kImportTempPrefix, kMqozTempPrefix}) {
      const std::string p = std::string(prefix) + "-";
      ours = ours || (name.size() == p.size() + 6 && name.compare(0, p.size(), p) == 0);
    }
    if (!ours) continue;
    struct stat st;
    if (fstatat(rootFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != getuid())
      continue;
    const std::string folder = root + "/" + name;
    const int lock = open((folder + "/" + kLockName).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    bool stale;
    if (lock >= 0) {
      stale = flock(lock, LOCK_EX | LOCK_NB) == 0;
    } else {
      // Made before locks were kept, or killed in the instant between making and locking it.
      stale = errno == ENOENT && now - st.st_mtime > 60;
    }
    if (stale) RemoveAll(folder);
    if (lock >= 0) close(lock);
  }
  closedir(dir);
}

void RemoveTempFolder(const std::string& folder) {
  if (folder.empty()) return;
  if (DIR* d = opendir(folder.c_str())) {
    while (const dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") unlink((folder + "/" + name).c_str());
    }
    closedir(d);
  }
  rmdir(folder.c_str());
}

}  // namespace mw
