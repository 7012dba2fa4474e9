#include "io/document_formats.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "io/assimp_child.h"
#include "io/assimp_io.h"
#include "io/loader_mqo.h"
#include "io/loader_mqoz.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "scene/archive.h"

namespace mw {
namespace {

// Each reader and writer turns its format's own way of failing into a DocumentResult.

DocumentResult FromArchive(const ArchiveResult& r, DocumentError fileError) {
  switch (r.error) {
    case ArchiveError::kNone: return DocumentResult{};
    case ArchiveError::kUnexpectedFormat: return DocumentFailure(DocumentError::kUnexpectedFormat);
    case ArchiveError::kOpenFailed: return DocumentFailure(DocumentError::kTooLarge);
    case ArchiveError::kFileError: return DocumentFailure(fileError, r.systemError);
    case ArchiveError::kCancelled: return DocumentFailure(DocumentError::kCancelled);
  }
  return DocumentFailure(fileError, r.systemError);
}

DocumentResult ReadArchive(CMeshwright& scene, const std::string& path) {
  const ArchiveResult r = OpenSceneFile(scene, path);
  if (!r.ok()) return FromArchive(r, DocumentError::kCannotOpen);
  scene.LoadTextures();
  scene.UpdateMaterialColors();
  scene.ComputeNormals();
  DocumentResult done;
  done.warnings = r.warnings;
  return done;
}

DocumentResult WriteArchive(const CMeshwright& scene, const std::string& path) {
  return FromArchive(SaveSceneFile(scene, path), DocumentError::kWriteFailed);
}

DocumentResult FromMqoCode(int code) {
  switch (code) {
    case kMqoOk: return DocumentResult{};
    case kMqoSyntaxError: return DocumentFailure(DocumentError::kSyntaxError);
    case kMqoUnexpectedEnd: return DocumentFailure(DocumentError::kTruncated);
    case kMqoNotMetasequoia: return DocumentFailure(DocumentError::kNotThisFormat);
    case kMqoUnsupportedFormat: return DocumentFailure(DocumentError::kUnsupportedVersion);
    case kMqoDamagedArchive: return DocumentFailure(DocumentError::kUnexpectedFormat);
    case kMqoArchiveTooLarge: return DocumentFailure(DocumentError::kTooLarge);
    case kMqoCannotOpen: return DocumentFailure(DocumentError::kCannotOpen);
    case kMqoCancelled: return DocumentFailure(DocumentError::kCancelled);
    case kMqoTooManyMaterials: {
      DocumentResult r = DocumentFailure(DocumentError::kTooLarge);
      r.detail = "ファイルの大きさに比べて材質が多すぎます";
      return r;
    }
  }
  return DocumentFailure(DocumentError::kSyntaxError);
}

// The result of a Metasequoia import: its code, how the document was read, what to tell.
DocumentResult FromMqoImport(MqoReadInfo& info) {
  DocumentResult r = FromMqoCode(info.code);
  if (info.version) {
    r.version = info.version == 11 ? "1.1" : "1.0";
    r.encoding = info.encoding == MqoEncoding::kUtf8 ? "utf8" : "cp932";
  }
  r.warnings = std::move(info.warnings);
  if (!r.ok()) r.detail = std::move(info.detail);
  return r;
}

DocumentResult ReadMetasequoia(CMeshwright& scene, const std::string& path) {
  // Opened here rather than by the importer so that the system's reason is kept.
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return DocumentFailure(DocumentError::kCannotOpen, errno);
  struct stat info;
  if (fstat(fileno(f), &info) == 0 && S_ISDIR(info.st_mode)) {
    std::fclose(f);
    return DocumentFailure(DocumentError::kCannotOpen, EISDIR);
  }
  MqoReadInfo read;
  ImportMetasequoia(scene, f, &read);
  std::fclose(f);
  return FromMqoImport(read);
}

DocumentResult ReadCompressedMetasequoia(CMeshwright& scene, const std::string& path) {
  // The system's reason for a file that cannot be read, as for a plain document.
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return DocumentFailure(DocumentError::kCannotOpen, errno);
  std::fclose(f);
  MqoReadInfo info;
  ImportCompressedMetasequoia(scene, path, &info);
  return FromMqoImport(info);
}

DocumentResult WriteMetasequoiaWithOptions(const CMeshwright& scene, const std::string& path,
                                           const SaveOptions& options) {
  AtomicFileWriter out(path);
  MqoWriteInfo info;
  MqoWriteOptions mqo;
  mqo.keepMirror = options.keepMirror;
  // Streamed in blocks: a large document is never held as one text.
  const bool written = mw::WriteMetasequoia(
      scene, [&out](const char* data, std::size_t n) { return out.Write(data, n); }, mqo, &info);
  if (!written || !out.Commit())
    return DocumentFailure(DocumentError::kWriteFailed, out.errorNumber());
  DocumentResult r;
  r.version = info.version == 11 ? "1.1" : "1.0";
  r.encoding = "cp932";
  r.warnings = std::move(info.warnings);
  return r;
}

DocumentResult WriteMetasequoia(const CMeshwright& scene, const std::string& path) {
  return WriteMetasequoiaWithOptions(scene, path, SaveOptions{});
}

const std::vector<DocumentFormat>& Rows() {
  static const std::vector<DocumentFormat> rows = {
      {{"mwr"}, "Meshwright", OpenEffect::kReplaces, SaveEffect::kDocument, ReadArchive, WriteArchive},
      {{"mqo"}, "Metasequoia", OpenEffect::kAppends, SaveEffect::kExport, ReadMetasequoia, WriteMetasequoia, false,
       WriteMetasequoiaWithOptions},
      // A zip archive of a .mqo document and its textures; opening only.
      {{"mqoz"}, "Metasequoia 圧縮", OpenEffect::kAppends, SaveEffect::kExport, ReadCompressedMetasequoia, nullptr,
       true},
      // Other programs' formats, through Assimp (io/assimp_io.h) in a separate process (io/assimp_child.h).
      {{"obj"}, "Wavefront OBJ", OpenEffect::kAppends, SaveEffect::kExport, ImportAssimpInChild, ExportObj},
      {{"ply"}, "PLY", OpenEffect::kAppends, SaveEffect::kExport, ImportAssimpInChild, ExportPly},
      {{"stl"}, "STL", OpenEffect::kAppends, SaveEffect::kExport, ImportAssimpInChild, ExportStl},
      {{"glb", "gltf"}, "glTF 2.0", OpenEffect::kAppends, SaveEffect::kExport, ImportAssimpInChild, ExportGltf},
      {{"fbx"}, "FBX", OpenEffect::kAppends, SaveEffect::kExport, ImportAssimpInChild, nullptr},
      {{"3ds"}, "3DS", OpenEffect::kAppends, SaveEffect::kExport, ImportAssimpInChild, nullptr},
      {{"dae"}, "COLLADA", OpenEffect::kAppends, SaveEffect::kExport, ImportAssimpInChild, nullptr},
      {{"off"}, "OFF", OpenEffect::kAppends, SaveEffect::kExport, ImportAssimpInChild, nullptr},
      {{"lwo"}, "LightWave", OpenEffect::kAppends, SaveEffect::kExport, ImportAssimpInChild, nullptr},
  };
  return rows;
}

std::string Globs(const DocumentFormat& format) {
  std::string globs;
  for (const std::string& ext : format.extensions) {
    if (!globs.empty()) globs += ' ';
    globs += "*." + ext;
  }
  return globs;
}

}  // namespace

std::string DocumentFormat::DialogFilter() const { return name + "ファイル(" + Globs(*this) + ")"; }

std::span<const DocumentFormat> DocumentFormats() { return Rows(); }

const DocumentFormat* FindDocumentFormat(const std::string& path) {
  const std::string ext = PathExtension(path);
  if (ext.empty()) return nullptr;
  for (const DocumentFormat& format : Rows())
    for (const std::string& e : format.extensions)
      if (EqualsIgnoreCase(ext, e)) return &format;
  return nullptr;
}

const DocumentFormat& NativeDocumentFormat() {
  for (const DocumentFormat& format : Rows())
    if (format.saving == SaveEffect::kDocument && format.CanSave() && format.CanOpen()) return format;
  return Rows().front();
}

bool IsDocumentFile(const std::string& path) {
  const DocumentFormat* format = FindDocumentFormat(path);
  return format && format->saving == SaveEffect::kDocument && format->CanSave();
}

std::string OpenDialogFilter() {
  std::string all, each;
  for (const DocumentFormat& format : Rows()) {
    if (!format.CanOpen()) continue;
    if (!all.empty()) all += ' ';
    all += Globs(format);
    each += ";;" + format.DialogFilter();
  }
  return "全ての形式(" + all + ")" + each;
}

std::string SaveDialogFilter() {
  std::string filter;
  for (const DocumentFormat& format : Rows()) {
    if (!format.CanSave()) continue;
    if (!filter.empty()) filter += ";;";
    filter += format.DialogFilter();
  }
  return filter;
}

std::string SavePathWithChosenType(const std::string& typed, const std::string& chosenFilter) {
  if (typed.empty() || !PathExtension(typed).empty()) return typed;
  const DocumentFormat* chosen = &NativeDocumentFormat();
  for (const DocumentFormat& format : Rows())
    if (format.CanSave() && format.DialogFilter() == chosenFilter) chosen = &format;
  // "name." asks for the type's extension as much as "name" does.
  return (typed.back() == '.' ? typed : typed + '.') + chosen->extensions.front();
}

}  // namespace mw
