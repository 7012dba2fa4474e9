// Running a Python script on a document inside a program (Meshwright's スクリプト → 実行…,
// `mwconv --script`): the interpreter is started on the first script and kept; the script finds
// the document as `doc` (also `meshwright.document`) and the whole `meshwright` module.
//
// The script changes the scene in place. When it fails or is cancelled the scene is as far as the
// script got: the caller, who took the scene's state before (the program's undo step), puts it
// back. After the script, whatever it kept of the document (arrays, models) no longer reaches the
// scene, so the program may change and free it freely.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace mw {

class CMeshwright;

struct ScriptHooks {
  std::function<void(std::string_view)> output;  // what the script prints, stdout and stderr alike
  // Asked about every 50 ms while Python runs (a window keeps itself alive here); true stops the
  // script with KeyboardInterrupt.
  std::function<bool()> cancelRequested;
};

struct ScriptResult {
  bool ok = false;
  bool cancelled = false;
  std::string error;  // the traceback, as Python prints it (UTF-8); empty on success
};

// Runs the file at `scriptPath` (UTF-8) on `scene`, opened from `documentPath` (may be empty).
// Recomputes the normals after a script that succeeded.
ScriptResult RunScript(CMeshwright& scene, const std::string& scriptPath, const std::string& documentPath,
                       const ScriptHooks& hooks);

}  // namespace mw
