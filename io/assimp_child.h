// Imports through Assimp in a separate process. Assimp's readers crash, loop or allocate without
// bound on some damaged files, and that is a library we cannot fix: so the program reads other
// programs' formats by starting meshwright-import (installed beside it), which reads the file
// under an address-space and a CPU-time limit and hands the scene back as a .mwr file in a
// private temporary folder, with the result in a small text file beside it. The parent reads that
// back with the .mwr reader's bounds checks and appends it; a crash, a timeout or an exhausted
// limit is a clean failure that leaves the document as it was.
#pragma once

#include <cstdint>
#include <string>

#include "io/document_io.h"
#include "scene/meshwright.h"

namespace mw {

inline constexpr const char* kImportHelperName = "meshwright-import";

struct ImportLimits {
  std::string helper;             // the helper program; empty: kImportHelperName beside this program
  std::int64_t addressBytes = 0;  // address space the reading may take; 0: decided by the file's size
  double seconds = 0;             // time it may take; 0: decided by the file's size
};

// The limits a file of `fileBytes` gets by default: enough for any sound file of that size,
// bounded by the machine's memory.
ImportLimits DefaultImportLimits(std::uint64_t fileBytes);

// The format table's reader for Assimp's formats: the file at `path` read by the helper and
// appended to `scene`, as ImportAssimp would.
DocumentResult ImportAssimpInChild(CMeshwright& scene, const std::string& path);
// The same with the limits given.
DocumentResult ImportAssimpWithLimits(CMeshwright& scene, const std::string& path, const ImportLimits& limits);

// The helper's main(): meshwright-import ADDRESS-BYTES CPU-SECONDS INPUT OUTPUT-FOLDER
// [PARENT-PID WALL-SECONDS]. Given a parent, the helper dies with it (and does not start when it
// is already gone) and ends itself with SIGALRM after WALL-SECONDS.
int ImportHelperMain(int argc, char** argv);

}  // namespace mw
