#include "io/confined_io_system.h"

#include <algorithm>
#include <cstring>

namespace mw {

ConfinedIOSystem::ConfinedIOSystem(const std::string& documentPath)
    : document_(documentPath), realDocument_(RealPathOf(documentPath)), folder_(FolderConfinement::OfDocument(documentPath)) {}

std::string ConfinedIOSystem::Resolve(const char* path) const {
  if (!path || !*path) return std::string();
  const std::string asked(path);
  // The document itself is read wherever its link leads: the user chose it.
  if (asked == document_) return realDocument_.empty() ? asked : realDocument_;
  std::string resolved;
  switch (folder_.Check(asked, &resolved)) {
    case Confinement::kInside: return resolved;
    case Confinement::kMissing: return std::string();
    case Confinement::kOutside:
      if (!realDocument_.empty() && RealPathOf(asked) == realDocument_) return realDocument_;
      if (std::find(refused_.begin(), refused_.end(), asked) == refused_.end()) refused_.push_back(asked);
      return std::string();
  }
  return std::string();
}

bool ConfinedIOSystem::Exists(const char* path) const { return !Resolve(path).empty(); }

Assimp::IOStream* ConfinedIOSystem::Open(const char* path, const char* mode) {
  if (!mode || std::strpbrk(mode, "wa+")) return nullptr;
  const std::string resolved = Resolve(path);
  if (resolved.empty()) return nullptr;
  Assimp::IOStream* stream = DefaultIOSystem::Open(resolved.c_str(), mode);
  if (stream) opened_.push_back(resolved);
  return stream;
}

std::string RefusedReferencesWarning(const std::vector<std::string>& refused) {
  if (refused.empty()) return std::string();
  std::string text = "文書のフォルダの外を指しているため読み込まなかったファイル:";
  for (const std::string& r : refused) text += " " + r;
  return text;
}

}  // namespace mw
