#include "io/document_io.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "io/document_formats.h"
#include "platform/message.h"
#include "scene/texture_service.h"

namespace mw {
namespace {

struct ErrorRow {
  DocumentError error;
  const char* name;
  const char* text;  // UTF-8; "%1" stands for the name of the format the file was taken for
};

// The one place the user's texts for a failed open or save are written.
constexpr ErrorRow kErrors[] = {
    {DocumentError::kNone, "", ""},
    {DocumentError::kCannotOpen, "CannotOpen", "ファイルを開けません。"},
    {DocumentError::kUnexpectedFormat, "UnexpectedFormat", "予期しないファイル形式です。"},
    {DocumentError::kNotThisFormat, "NotThisFormat", "%1 の文書ではありません。"},
    {DocumentError::kUnsupportedVersion, "UnsupportedVersion",
     "この版の形式には対応していません (Format Text Ver 1.0 と 1.1 のみ)。"},
    {DocumentError::kTruncated, "Truncated", "文書が途中で終わっています。"},
    {DocumentError::kSyntaxError, "SyntaxError", "文書の書式に誤りがあります。"},
    {DocumentError::kTooLarge, "TooLarge", "ドキュメントを開くことに失敗しました。"},
    {DocumentError::kWriteFailed, "WriteFailed", "保存できませんでした。"},
    {DocumentError::kUnsupportedExtension, "UnsupportedExtension", "対応していない種類のファイルです。"},
    {DocumentError::kReadFailed, "ReadFailed", "%1 ファイルとして読み込めませんでした。"},
    {DocumentError::kNoPolygonMesh, "NoPolygonMesh", "ポリゴンメッシュが含まれていません。"},
    {DocumentError::kReaderCrashed, "ReaderCrashed", "%1 ファイルの読み込み中に読み込み処理が異常終了しました。"},
    {DocumentError::kReaderTimedOut, "ReaderTimedOut", "%1 ファイルの読み込みが制限時間内に終わりませんでした。"},
    {DocumentError::kReaderOutOfMemory, "ReaderOutOfMemory",
     "%1 ファイルの読み込みに使えるメモリの上限を超えました。"},
    {DocumentError::kReaderMissing, "ReaderMissing", "読み込み用のプログラムを起動できません。"},
    {DocumentError::kCancelled, "Cancelled", "読み込みを中止しました。"},
};

const ErrorRow& RowOf(DocumentError error) {
  for (const ErrorRow& row : kErrors)
    if (row.error == error) return row;
  return kErrors[0];
}

// One message for all the warnings about one file.
void ShowWarnings(const std::string& path, const std::vector<std::string>& warnings) {
  if (warnings.empty()) return;
  std::string text = path + ":";
  for (const std::string& w : warnings) text += "\n" + w;
  ShowMessage(text, MessageIcon::Warning);
}

}  // namespace

const char* DocumentErrorName(DocumentError error) { return RowOf(error).name; }

std::string SystemErrorText(int error) {
  switch (error) {
    case 0: return std::string();
    case ENOENT: return "ファイルまたはフォルダーが見つかりません。";
    case EACCES:
    case EPERM: return "アクセスが許可されていません。";
    case EISDIR: return "ファイルではなくフォルダーです。";
    case ENOTDIR: return "パスの途中にフォルダーでないものがあります。";
    case ENOSPC:
    case EDQUOT: return "ディスクの空き容量が足りません。";
    case EROFS: return "読み取り専用の場所には書き込めません。";
    case ENAMETOOLONG: return "ファイル名が長すぎます。";
    case EEXIST: return "同じ名前のファイルが既にあります。";
    case EIO: return "入出力エラーが起きました。";
    case EMFILE:
    case ENFILE: return "開いているファイルが多すぎます。";
    case ENOMEM: return "メモリが足りません。";
    case EFBIG: return "ファイルが大きすぎます。";
    case ELOOP: return "シンボリックリンクが多すぎます。";
    case EBUSY:
    case ETXTBSY: return "ファイルが使用中です。";
  }
  return std::string("(") + std::strerror(error) + ")";
}

std::string DocumentErrorText(const DocumentResult& result) {
  std::string text = RowOf(result.error).text;
  if (const std::size_t at = text.find("%1"); at != std::string::npos) text.replace(at, 2, result.formatName);
  if (!result.ok()) text += SystemErrorText(result.systemError);
  if (!result.ok() && !result.detail.empty()) text += "(" + result.detail + ")";
  return text;
}

std::string DocumentMessage(const DocumentResult& result, std::string_view fileName, std::string_view separator) {
  std::string message(fileName);
  message += separator;
  message += DocumentErrorText(result);
  return message;
}

DocumentResult OpenDocumentFile(CMeshwright& scene, const std::string& path) {
  const DocumentFormat* format = FindDocumentFormat(path);
  if (!format || !format->CanOpen()) return DocumentFailure(DocumentError::kUnsupportedExtension);
  DocumentTextureScope textures(path);
  DocumentResult result = format->read(scene, path);
  if (!result.ok()) result.formatName = format->name;
  ShowWarnings(path, result.warnings);
  return result;
}

DocumentRead PrepareDocumentRead(const CMeshwright& scene, const std::string& path) {
  DocumentRead read;
  read.path = path;
  read.scene = std::make_unique<CMeshwright>();
  const DocumentFormat* format = FindDocumentFormat(path);
  if (!format || !format->CanOpen()) {
    read.result = DocumentFailure(DocumentError::kUnsupportedExtension);
    return read;
  }
  read.replaces = format->opening == OpenEffect::kReplaces;
  read.sceneThreadOnly = format->texturesWhileReading;
  // Every setting, then the lists: the models are never needed, the materials only by an append.
  CMeshwright& into = *read.scene;
  into.camera = scene.camera;
  into.reservedWord = scene.reservedWord;
  into.smoothing = scene.smoothing;
  into.fieldOfView = scene.fieldOfView;
  into.viewportWidth = scene.viewportWidth;
  into.viewportHeight = scene.viewportHeight;
  into.nextMaterialId = scene.nextMaterialId;
  into.backgroundColor = scene.backgroundColor;
  into.zoom = scene.zoom;
  into.editMode = scene.editMode;
  into.currentModel = scene.currentModel;
  into.currentMaterial = scene.currentMaterial;
  into.cursor = scene.cursor;
  if (!read.replaces) {
    into.materials = scene.materials;  // copies share their images; the read never releases them
    read.keptMaterials = scene.materials.size();
  }
  return read;
}

void RunDocumentRead(DocumentRead& read, ReadProgress* progress) {
  if (read.result.error != DocumentError::kNone) return;
  const DocumentFormat* format = FindDocumentFormat(read.path);
  if (!format || !format->CanOpen()) {
    read.result = DocumentFailure(DocumentError::kUnsupportedExtension);
    return;
  }
  ReadProgressScope reporting(progress);
  // Textures wait for ApplyDocumentRead, on the thread that may upload them, unless the reader
  // can only decode them now.
  std::optional<ThreadTextureServiceScope> noTextures;
  if (!read.sceneThreadOnly) noTextures.emplace(nullptr);
  if (read.replaces) {
    struct stat info;
    read.emptyFile = stat(read.path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
  }
  std::optional<DocumentTextureScope> textures;
  if (read.sceneThreadOnly) textures.emplace(read.path);
  read.result = format->read(*read.scene, read.path);
  if (!read.result.ok()) read.result.formatName = format->name;
  if (progress && progress->cancelled()) read.result = DocumentFailure(DocumentError::kCancelled);
}

bool ApplyDocumentRead(CMeshwright& scene, DocumentRead& read) {
  if (!read.result.ok() || !read.scene) return false;
  CMeshwright& from = *read.scene;
  {
    DocumentTextureScope textures(read.path);
    if (read.replaces && read.emptyFile) {
      scene.LoadTextures();
      scene.UpdateMaterialColors();
      scene.ComputeNormals();
    } else if (read.replaces) {
      scene.ReleaseTextures();
      scene.models = std::move(from.models);
      scene.materials = std::move(from.materials);
      scene.camera = from.camera;
      scene.referencePictures = std::move(from.referencePictures);
      scene.reservedWord = from.reservedWord;
      scene.nextMaterialId = from.nextMaterialId;
      scene.smoothing = from.smoothing;
      scene.LoadTextures();
    } else {
      scene.models.reserve(scene.models.size() + from.models.size());
      for (CModel& m : from.models) scene.models.push_back(std::move(m));
      for (std::size_t i = read.keptMaterials; i < from.materials.size(); ++i) {
        scene.materials.push_back(std::move(from.materials[i]));
        if (!read.sceneThreadOnly && !scene.materials.back().texture.empty()) scene.materials.back().LoadTexture();
      }
      scene.nextMaterialId = from.nextMaterialId;
    }
  }
  read.scene.reset();
  ShowWarnings(read.path, read.result.warnings);
  return true;
}

DocumentResult SaveDocumentFile(const CMeshwright& scene, const std::string& path) {
  return SaveDocumentFile(scene, path, SaveOptions{});
}

DocumentResult SaveDocumentFile(const CMeshwright& scene, const std::string& path, const SaveOptions& options) {
  const DocumentFormat* format = FindDocumentFormat(path);
  if (!format || !format->CanSave()) return DocumentFailure(DocumentError::kUnsupportedExtension);
  DocumentResult result =
      format->writeWithOptions ? format->writeWithOptions(scene, path, options) : format->write(scene, path);
  if (!result.ok()) result.formatName = format->name;
  ShowWarnings(path, result.warnings);
  return result;
}

}  // namespace mw
