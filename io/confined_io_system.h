// The file access Assimp's readers get: the document itself, and the files it names (an OBJ's
// material libraries, a glTF's buffers and images, ...) only from inside the document's folder
// (platform/confined_path.h). Everything else is answered as missing, and remembered so the
// import can say which references it refused. Nothing is written.
#pragma once

#include <assimp/DefaultIOSystem.h>

#include <string>
#include <vector>

#include "platform/confined_path.h"

namespace mw {

class ConfinedIOSystem : public Assimp::DefaultIOSystem {
 public:
  explicit ConfinedIOSystem(const std::string& documentPath);

  bool Exists(const char* path) const override;
  Assimp::IOStream* Open(const char* path, const char* mode = "rb") override;
  bool CreateDirectory(const std::string&) override { return false; }
  bool ChangeDirectory(const std::string&) override { return false; }
  bool DeleteFile(const std::string&) override { return false; }

  // The references that led outside the folder, as the reader asked for them, each once.
  const std::vector<std::string>& Refused() const { return refused_; }
  // Every file opened, after links were followed (for tests).
  const std::vector<std::string>& Opened() const { return opened_; }

 private:
  // The path to open for `path`, or "" when it must not be read.
  std::string Resolve(const char* path) const;

  std::string document_;      // as given
  std::string realDocument_;  // with links followed
  FolderConfinement folder_;
  mutable std::vector<std::string> refused_;
  std::vector<std::string> opened_;
};

// The warning naming the refused references ("" when there are none).
std::string RefusedReferencesWarning(const std::vector<std::string>& refused);

}  // namespace mw
