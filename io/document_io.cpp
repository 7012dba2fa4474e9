#include "io/document_io.h"

#include <cerrno>
#include <cstring>

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

DocumentResult SaveDocumentFile(const CMeshwright& scene, const std::string& path) {
  const DocumentFormat* format = FindDocumentFormat(path);
  if (!format || !format->CanSave()) return DocumentFailure(DocumentError::kUnsupportedExtension);
  DocumentResult result = format->write(scene, path);
  if (!result.ok()) result.formatName = format->name;
  ShowWarnings(path, result.warnings);
  return result;
}

}  // namespace mw
