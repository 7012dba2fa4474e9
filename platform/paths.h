// Where the program lives, and the extension rule shared by the document commands and the converter.
#pragma once

#include <string>
#include <string_view>

namespace mw {

// Folder of the running executable with a trailing '/'. The TEXTURE folder, the help and the
// plugins are found there. Falls back to "./" when /proc is not available.
std::string ProgramFolder();

// Makes ProgramFolder answer `folder` (ending with '/'), for code loaded into another program
// (the Python module inside the interpreter): the import helper, the plugins' TEXTURE folder and the
// help are then looked for there. An empty folder goes back to the executable's.
void SetProgramFolder(std::string folder);

// Text after the last '.' of the last component of a UTF-8 path, or empty when that component has
// no dot. Both '/' and '\\' end the component.
std::string PathExtension(std::string_view path);

// Case-insensitive ASCII comparison (extensions).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace mw
