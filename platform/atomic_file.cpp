#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace mw {
namespace {

constexpr std::size_t kRandomChars = 6;  // what mkstemp fills in

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path ends at once symbolic links in its last component are followed; the path itself
// when it names no link (or nothing yet). False with errno set for a loop of links.
bool FollowLinks(std::string path, std::string& out) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      out = path;
      return true;
    }
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
    const ssize_t n = readlink(path.c_str(), link.data(), link.size());
    if (n < 0) return false;
    link.resize(static_cast<std::size_t>(n));
    path = (!link.empty() && link[0] == '/') ? link : FolderOf(path) + "/" + link;
  }
  errno = ELOOP;
  return false;
}

bool IsTemporaryName(const char* name) {
  const std::size_t prefix = std::strlen(AtomicFileWriter::kTemporaryPrefix);
  if (std::strncmp(name, AtomicFileWriter::kTemporaryPrefix, prefix) != 0 || std::strlen(name) != prefix + kRandomChars)
    return false;
  for (const char* p = name + prefix; *p; ++p) {
    const char c = *p;
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

// Removes the temporaries of saves into `folder` that were killed: a save locks its temporary for
// as long as it lives, so one whose lock can be taken has no writer left.
void RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  const int dirFd = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    if (!IsTemporaryName(entry->d_name)) continue;
    const int fd = openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat open, named;
    if (fstat(fd, &open) == 0 && S_ISREG(open.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == open.st_dev &&
        named.st_ino == open.st_ino)
      unlinkat(dirFd, entry->d_name, 0);
    close(fd);
  }
  closedir(dir);
}

// Makes and locks a temporary in `folder`. A cleaner in another save may take the lock of a
// temporary in the instant between its creation and its locking, and remove it: the name then no
// longer leads to the file, and another one is made.
int CreateLockedTemporary(const std::string& folder, std::string& name) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    name = folder + "/" + AtomicFileWriter::kTemporaryPrefix + std::string(kRandomChars, 'X');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat open, named;
    if (flock(fd, LOCK_EX) == 0 && fstat(fd, &open) == 0 && stat(name.c_str(), &named) == 0 &&
        named.st_dev == open.st_dev && named.st_ino == open.st_ino)
      return fd;
    close(fd);
  }
  errno = EAGAIN;
  return -1;
}

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // the rename is durable once the folder is; failure here loses nothing already saved
  close(fd);
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string targetPath) : target_(std::move(targetPath)) {
  if (!FollowLinks(target_, real_)) {
    Fail(AtomicFileError::kCreate, errno);
    return;
  }
  struct stat old;
  const bool exists = stat(real_.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) {
    Fail(AtomicFileError::kCreate, EISDIR);
    return;
  }
  // A file the user has write-protected stays as it is, even for a process that could write it.
  if (exists && (access(real_.c_str(), W_OK) != 0 || (old.st_mode & 0222) == 0)) {
    Fail(AtomicFileError::kReadOnly, errno == EROFS ? EROFS : EACCES);
    return;
  }
  const std::string folder = FolderOf(real_);
  RemoveStaleTemporaries(folder);
  const int fd = CreateLockedTemporary(folder, temp_);
  if (fd < 0) {
    Fail(AtomicFileError::kCreate, errno);
    temp_.clear();
    return;
  }
  // The folder as it is now: should it be moved or renamed while the save runs, the rename fails
  // and the temporary is still removed, wherever the folder went.
  folderFd_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (exists) {
    if (old.st_uid != geteuid() || old.st_gid != getegid()) {
      if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Not ours to give away: the new file keeps our owner, as any editor's save would.
      }
    }
    fchmod(fd, old.st_mode & 07777);
  } else {
    // mkstemp creates 0600; give the file the permissions an ordinary create would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  file_ = fdopen(fd, "wb");
  if (!file_) {
    Fail(AtomicFileError::kCreate, errno);
    close(fd);
    unlink(temp_.c_str());
    temp_.clear();
  }
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::Fail(AtomicFileError kind, int number, const char* what) {
  if (kind_ != AtomicFileError::kNone) return;  // the first failure is the one to report
  kind_ = kind;
  errno_ = number ? number : EIO;
  error_ = target_ + ": ";
  if (what) error_ += std::string(what) + " (" + std::strerror(errno_) + ")";
  else error_ += std::strerror(errno_);
}

void AtomicFileWriter::Discard() {
  if (!temp_.empty()) {
    // Before closing: while we hold the lock no cleaner touches it.
    if (folderFd_ < 0 || unlinkat(folderFd_, temp_.substr(temp_.rfind('/') + 1).c_str(), 0) != 0) unlink(temp_.c_str());
    temp_.clear();
  }
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (folderFd_ >= 0) {
    close(folderFd_);
    folderFd_ = -1;
  }
}

bool AtomicFileWriter::Write(const void* data, std::size_t size) {
  if (!ok()) return false;
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) {
    Fail(AtomicFileError::kWrite, errno);
    return false;
  }
  return true;
}

bool AtomicFileWriter::Commit() {
  if (!file_) {
    Fail(AtomicFileError::kClosed, EBADF, "already closed");
    return false;
  }
  errno = 0;
  if (kind_ == AtomicFileError::kNone && (std::ferror(file_) || std::fflush(file_) != 0))
    Fail(AtomicFileError::kWrite, errno);
  if (kind_ == AtomicFileError::kNone && fsync(fileno(file_)) != 0 && errno != EINVAL)
    Fail(AtomicFileError::kWrite, errno);
  // Renamed while still open and locked, so that no other save takes it for a stale one.
  if (kind_ == AtomicFileError::kNone && std::rename(temp_.c_str(), real_.c_str()) != 0)
    Fail(AtomicFileError::kReplace, errno, "the file cannot be replaced here");
  if (kind_ != AtomicFileError::kNone) {
    Discard();
    return false;
  }
  temp_.clear();
  if (folderFd_ >= 0) {
    close(folderFd_);
    folderFd_ = -1;
  }
  const int closeResult = std::fclose(file_);
  file_ = nullptr;
  if (closeResult != 0) {
    Fail(AtomicFileError::kWrite, errno);
    return false;
  }
  SyncFolder(FolderOf(real_));
  return true;
}

}  // namespace mw
