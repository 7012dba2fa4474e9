#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace mw {

AtomicFileWriter::AtomicFileWriter(std::string targetPath) : target_(std::move(targetPath)) {
  temp_ = target_ + ".XXXXXX";
  int fd = mkstemp(temp_.data());
  if (fd < 0) {
    Fail(errno);
    temp_.clear();
    return;
  }
  // mkstemp creates 0600; give the file the permissions an ordinary create would.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  file_ = fdopen(fd, "wb");
  if (!file_) {
    Fail(errno);
    close(fd);
    unlink(temp_.c_str());
    temp_.clear();
  }
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::Fail(int err) {
  errorNumber_ = err;
  error_ = target_ + ": " + std::strerror(err);
}

void AtomicFileWriter::Discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_.empty()) {
    unlink(temp_.c_str());
    temp_.clear();
  }
}

bool AtomicFileWriter::Write(const void* data, std::size_t size) {
  if (!ok()) return false;
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) {
    Fail(errno);
    return false;
  }
  return true;
}

bool AtomicFileWriter::Commit() {
  if (!file_) {
    if (error_.empty()) error_ = target_ + ": already closed";
    return false;
  }
  bool good = error_.empty() && !std::ferror(file_);
  if (good && std::fflush(file_) != 0) good = false;
  if (good && fsync(fileno(file_)) != 0 && errno != EINVAL) good = false;
  int closeResult = std::fclose(file_);
  file_ = nullptr;
  if (good && closeResult != 0) good = false;
  if (good && std::rename(temp_.c_str(), target_.c_str()) != 0) good = false;
  if (!good) {
    if (error_.empty()) Fail(errno ? errno : EIO);
    Discard();
    return false;
  }
  temp_.clear();
  return true;
}

}  // namespace mw
