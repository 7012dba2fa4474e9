// Opening and saving documents by file extension, as the program's open and save-as commands do.
// Shared by the application and the converter so both treat every file the same way.
#pragma once

#include <string>

#include "scene/meshwright.h"

namespace mw {

enum class DocumentKind { kOther, kArchive, kMetasequoia };

// "mwr" -> kArchive, "mqo" -> kMetasequoia (case ignored), anything else kOther.
DocumentKind DocumentKindOf(const std::string& path);

struct DocumentResult {
  bool ok = true;
  std::string errorName;  // short English name of the failure ("UnexpectedFormat", ...), empty on success
  std::string message;    // UTF-8 text for the user, empty on success
};

// kArchive: reads the file into the scene (the scene is untouched on failure), then loads the
// textures, derives the material colours and recomputes normals. kMetasequoia: appends the
// document's models and materials (what was read before an error stays, as the open command
// keeps it). kOther: loads nothing and fails with "UnsupportedExtension".
DocumentResult OpenDocumentFile(CMeshwright& scene, const std::string& path);

// kArchive: writes the archive; kMetasequoia: exports. Both atomic. kOther fails.
DocumentResult SaveDocumentFile(const CMeshwright& scene, const std::string& path);

}  // namespace mw
