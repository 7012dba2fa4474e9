#include "platform/confined_path.h"

#include <limits.h>
#include <stdlib.h>

#include <memory>

namespace mw {

std::string RealPathOf(const std::string& path) {
  if (path.empty()) return std::string();
  std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

FolderConfinement::FolderConfinement(const std::vector<std::string>& folders) {
  for (const std::string& f : folders) Allow(f);
}

FolderConfinement FolderConfinement::OfDocument(const std::string& documentPath) {
  FolderConfinement c;
  if (documentPath.empty()) return c;
  const std::size_t slash = documentPath.rfind('/');
  c.Allow(slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : documentPath.substr(0, slash));
  return c;
}

void FolderConfinement::Allow(const std::string& folder) {
  std::string real = RealPathOf(folder);
  if (real.empty()) return;
  while (real.size() > 1 && real.back() == '/') real.pop_back();
  for (const std::string& r : roots_)
    if (r == real) return;
  roots_.push_back(std::move(real));
}

Confinement FolderConfinement::Check(const std::string& path, std::string* resolved) const {
  const std::string real = RealPathOf(path);
  if (real.empty()) return Confinement::kMissing;
  for (const std::string& root : roots_) {
    // Inside means below the folder: "/a/bc" is not inside "/a/b".
    const bool inside = root == "/" || (real.size() > root.size() && real.compare(0, root.size(), root) == 0 &&
                                        real[root.size()] == '/');
    if (inside) {
      if (resolved) *resolved = real;
      return Confinement::kInside;
    }
  }
  return Confinement::kOutside;
}

}  // namespace mw
