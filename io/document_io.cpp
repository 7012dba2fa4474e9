#include "io/document_io.h"

#include "io/loader_mqo.h"
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

const char* MqoErrorText(int code) {
  switch (code) {
    case kMqoSyntaxError: return "文書の書式に誤りがあります。";
    case kMqoUnexpectedEnd: return "文書が途中で終わっています。";
    case kMqoNotMetasequoia: return "Metasequoia の文書ではありません。";
    case kMqoUnsupportedFormat: return "この版の形式には対応していません (Format Text Ver 1.0 のみ)。";
    case kMqoCannotOpen: return "ファイルを開けません。";
  }
  return "読み込みに失敗しました。";
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
    case DocumentKind::kMetasequoia: {
      int code = kMqoOk;
      if (ImportMetasequoia(scene, path, &code)) return DocumentResult{};
      return DocumentResult{false, MqoErrorName(code), path + ": " + MqoErrorText(code)};
    }
    case DocumentKind::kOther:
      break;
  }
  return DocumentResult{false, "UnsupportedExtension", path + ": not a .mwr or .mqo file"};
}

DocumentResult SaveDocumentFile(const CMeshwright& scene, const std::string& path) {
  switch (DocumentKindOf(path)) {
    case DocumentKind::kArchive:
      return FromArchive(SaveSceneFile(scene, path));
    case DocumentKind::kMetasequoia: {
      std::string error;
      if (ExportMetasequoia(scene, path, &error)) return DocumentResult{};
      return DocumentResult{false, "FileError", error};
    }
    case DocumentKind::kOther:
      break;
  }
  return DocumentResult{false, "UnsupportedExtension", path + ": not a .mwr or .mqo file"};
}

}  // namespace mw
