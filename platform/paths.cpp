#include "platform/paths.h"

#include <unistd.h>

#include <climits>
#include <utility>
#include <vector>

namespace mw {

namespace {
std::string& ProgramFolderOverride() {
  static std::string folder;
  return folder;
}
}  // namespace

void SetProgramFolder(std::string folder) { ProgramFolderOverride() = std::move(folder); }

std::string ProgramFolder() {
  if (!ProgramFolderOverride().empty()) return ProgramFolderOverride();
  std::vector<char> buf(PATH_MAX + 1);
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "./";
  std::string path(buf.data(), static_cast<std::size_t>(n));
  auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string PathExtension(std::string_view path) {
  // Paths here are UTF-8, where '.', '/' and '\\' never occur inside a multibyte character, so
  // a plain byte scan is exact.
  for (std::size_t i = path.size(); i-- > 0;) {
    char c = path[i];
    if (c == '/' || c == '\\') break;
    if (c == '.') return std::string(path.substr(i + 1));
  }
  return std::string();
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace mw
