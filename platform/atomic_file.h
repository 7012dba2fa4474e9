// Writing a file so that it is either completely replaced or left as it was.
//
// The data goes to a temporary file in the target's folder; Commit() flushes it to disk and renames
// it over the target. If anything fails, or the writer is destroyed without Commit(), the temporary
// file is removed and the target is untouched.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace mw {

class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string targetPath);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // False when the temporary file could not be created; error() says why.
  bool ok() const { return file_ != nullptr && error_.empty(); }
  const std::string& error() const { return error_; }
  // The errno behind error(), or 0 when there was none to give.
  int errorNumber() const { return errorNumber_; }

  // The open stream, for writers that use stdio directly. Null when !ok() at opening.
  std::FILE* file() { return file_; }

  bool Write(const void* data, std::size_t size);

  // Flushes, syncs, closes and renames. Returns false (and removes the temporary file) when any
  // write so far, the flush, the close or the rename failed.
  bool Commit();

 private:
  void Discard();
  void Fail(int err);

  std::string target_;
  std::string temp_;
  std::FILE* file_ = nullptr;
  std::string error_;
  int errorNumber_ = 0;
};

}  // namespace mw
