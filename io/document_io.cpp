#include "io/document_io.h"

#include "platform/paths.h"
#include "scene/archive.h"

namespace mw {
namespace {

const char* ArchiveErrorName(ArchiveError e) {
  switch (e) {
    case ArchiveError::kNone: return "";
    case ArchiveError::kUnexpectedFormat: return "UnexpectedFormat";
    case ArchiveError::kOpenFailed: return "OpenFailed";
    case ArchiveError::kFileError: return "FileError";
  }
  return "";
}

DocumentResult FromArchive(const ArchiveResult& r) {
  if (r.ok()) return DocumentResult{};
  return DocumentResult{false, ArchiveErrorName(r.error), ArchiveErrorMessage(r)};
}

}  // namespace

DocumentKind DocumentKindOf(const std::string& path) {
  const std::string ext = PathExtension(path);
  if (EqualsIgnoreCase(ext, "mwr")) return DocumentKind::kArchive;
  if (EqualsIgnoreCase(ext, "mqo")) return DocumentKind::kMetasequoia;
  return DocumentKind::kOther;
}

DocumentResult OpenDocumentFile(CMeshwright& scene, const std::string& path) {
  switch (DocumentKindOf(path)) {
    case DocumentKind::kArchive: {
      ArchiveResult r = OpenSceneFile(scene, path);
      if (!r.ok()) return FromArchive(r);
      scene.LoadTextures();
      scene.UpdateMaterialColors();
      scene.ComputeNormals();
      return DocumentResult{};
    }
    case DocumentKind::kMetasequoia:
      return DocumentResult{false, "UnsupportedExtension", path + ": Metasequoia documents cannot be read yet"};
    case DocumentKind::kOther:
      break;
  }
  return DocumentResult{false, "UnsupportedExtension", path + ": not a .mwr or .mqo file"};
}

DocumentResult SaveDocumentFile(const CMeshwright& scene, const std::string& path) {
  switch (DocumentKindOf(path)) {
    case DocumentKind::kArchive:
      return FromArchive(SaveSceneFile(scene, path));
    case DocumentKind::kMetasequoia:
      return DocumentResult{false, "UnsupportedExtension", path + ": Metasequoia documents cannot be written yet"};
    case DocumentKind::kOther:
      break;
  }
  return DocumentResult{false, "UnsupportedExtension", path + ": not a .mwr or .mqo file"};
}

}  // namespace mw
