// Writing a file so that it is either completely replaced or left as it was.
//
// The data goes to a temporary file in the target's folder; Commit() flushes it to disk and renames
// it over the target. If anything fails, or the writer is destroyed without Commit(), the temporary
// file is removed and the target is untouched.
//
// What a save keeps:
// - A symbolic link: the file it leads to is replaced (the temporary is made beside that file, so
//   the rename stays in one folder) and the link stays as it was.
// - The old file's permission bits, and its owner and group where the process may set them; a new
//   file gets what an ordinary create would (0666 less the umask).
// - Write protection: a file with no write permission for us, or none for anybody, is not
//   replaced; the save fails with EACCES as a plain write would.
// - Long names: the temporary's name is short (".mw~" and six random characters), so any name the
//   file system takes can be saved.
// Temporaries left by a save that was killed are recognised by that name and removed by the next
// save into the same folder. A live save holds a lock on its temporary, so no save removes another
// one's work.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace mw {

// Where a save failed. Every failure also records the system's error number.
enum class AtomicFileError {
  kNone,
  kCreate,    // the temporary could not be made (no folder, no permission, target is a folder, …)
  kReadOnly,  // the target is write-protected; nothing was written
  kWrite,     // writing, flushing or syncing the data failed (a full disk, say)
  kReplace,   // the rename over the target failed: this file system or folder cannot replace it
  kClosed,    // Commit() called twice, or after a failure
};

class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string targetPath);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // False when the temporary file could not be created; error() says why.
  bool ok() const { return file_ != nullptr && kind_ == AtomicFileError::kNone; }
  // "<target>: <reason>", in English; for callers that show no text of their own.
  const std::string& error() const { return error_; }
  AtomicFileError errorKind() const { return kind_; }
  // The errno behind error(): 0 while nothing failed, never 0 after a failure.
  int errorNumber() const { return errno_; }

  // The open stream, for writers that use stdio directly. Null when !ok() at opening.
  std::FILE* file() { return file_; }
  // The file that Commit() replaces: the target with symbolic links followed.
  const std::string& replacedPath() const { return real_; }

  bool Write(const void* data, std::size_t size);

  // Flushes, syncs, closes and renames. Returns false (and removes the temporary file) when any
  // write so far, the flush, the close or the rename failed.
  bool Commit();

  // Name prefix of the temporaries; exposed for tests.
  static constexpr const char* kTemporaryPrefix = ".mw~";

 private:
  void Fail(AtomicFileError kind, int number, const char* what = nullptr);
  void Discard();

  std::string target_;
  std::string real_;
  std::string temp_;
  std::FILE* file_ = nullptr;
  int folderFd_ = -1;  // the temporary's folder, held open until the save ends
  std::string error_;
  AtomicFileError kind_ = AtomicFileError::kNone;
  int errno_ = 0;
};

}  // namespace mw
