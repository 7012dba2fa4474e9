// Files named by files: a document may name other files (textures, material libraries, buffers,
// archive members), and a document from elsewhere must not be able to make the program read the
// user's other files with them. Whatever a document names is therefore read only from inside the
// document's folder (or below it), judged after every symbolic link is followed; the caller may
// allow further folders (the program's texture folder for texture names).
//
// A path that leaves its folders is "outside" and must not be opened; the caller names it to the
// user with the files that were missing. Existence is checked as part of the resolution: a path
// that leads nowhere is "missing", whichever folder it would have been in.
#pragma once

#include <string>
#include <vector>

namespace mw {

enum class Confinement { kInside, kOutside, kMissing };

class FolderConfinement {
 public:
  FolderConfinement() = default;
  // `folders` are UTF-8 paths (with or without a trailing '/'); folders that do not exist are
  // left out, so they allow nothing.
  explicit FolderConfinement(const std::vector<std::string>& folders);

  // The folder of the document at `documentPath` ("" allows no folder).
  static FolderConfinement OfDocument(const std::string& documentPath);
  void Allow(const std::string& folder);

  // Where `path` leads once every link is followed: inside one of the folders, outside all of
  // them, or nowhere. `resolved` receives the followed path for kInside (open that one, not
  // `path`, so a link changed in between cannot lead elsewhere).
  Confinement Check(const std::string& path, std::string* resolved = nullptr) const;

  const std::vector<std::string>& folders() const { return roots_; }

 private:
  std::vector<std::string> roots_;  // real paths, without a trailing '/' ("/" stays "/")
};

// The real path of `path` (every link followed, "." and ".." taken out), or "" when it leads nowhere.
std::string RealPathOf(const std::string& path);

}  // namespace mw
