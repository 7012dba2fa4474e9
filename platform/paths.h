// Where the program lives, and the extension rule shared by the document commands and the converter.
#pragma once

#include <string>
#include <string_view>

namespace mw {

// Folder of the running executable with a trailing '/'. The TEXTURE folder, the help and the
// plugins are found there. Falls back to "./" when /proc is not available.
std::string ProgramFolder();

// Text after the last '.' of the last component of a UTF-8 path, or empty when that component has
// no dot. Both '/' and '\\' end the component.
std::string PathExtension(std::string_view path);

// Case-insensitive ASCII comparison (extensions).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace mw
