// Opening and saving documents, and what the user is told when that fails.
//
// Above this layer a failure is a DocumentResult: what kind of failure, and for the file system's
// own failures the error number. The readers' own conventions (the archive's ArchiveResult, the
// Metasequoia reader's codes) stop here. The user's texts live here too, in one table, so the
// program and the converter say the same thing; the file's name is added once, by DocumentMessage.
//
// Which reader or writer a file gets is decided by its extension through the table of formats
// (io/document_formats.h).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/read_progress.h"
#include "scene/meshwright.h"

namespace mw {

enum class DocumentError {
  kNone,
  kCannotOpen,            // the file could not be opened or read (systemError says why)
  kUnexpectedFormat,      // the content does not follow the layout: damaged, or (in a format without a
                          // header, where the two look alike) some other kind of file
  kNotThisFormat,         // the header says it is some other kind of file
  kUnsupportedVersion,    // the header names a version this program does not read
  kTruncated,             // the file ends before the document does
  kSyntaxError,           // a line of a text format cannot be read
  kTooLarge,              // a part of the document is larger than the program can hold
  kWriteFailed,           // the file could not be written (systemError says why); what was there stays
  kUnsupportedExtension,  // no document format has this file name's extension
  kReadFailed,            // a reader of another program's format refused the file (detail says why)
  kNoPolygonMesh,         // the file was read but holds nothing that becomes a face
  // The separate reading process (io/assimp_child.h) did not finish: the document is untouched.
  kReaderCrashed,      // it crashed (detail: the signal or status)
  kReaderTimedOut,     // it ran out of time and was stopped
  kReaderOutOfMemory,  // it needed more memory than it is allowed
  kReaderMissing,      // it could not be started (systemError says why, detail names it)
  kCancelled,             // the user stopped the read; nothing was changed
};

struct DocumentResult {
  DocumentError error = DocumentError::kNone;
  int systemError = 0;     // errno for kCannotOpen and kWriteFailed; 0 when the system gave no reason
  std::string formatName;  // the format the file was taken for ("Metasequoia"), for the texts that name it
  // What a text document was read or written as ("1.0"/"1.1", "cp932"/"utf8"); empty when the
  // format has no such choice.
  std::string version;
  std::string encoding;
  std::string detail;  // a library's own reason (one line, English), added to the text in parentheses
  // What the user should know although the file was read or written (UTF-8), such as characters
  // that had to be replaced: OpenDocumentFile and SaveDocumentFile show them once, together,
  // through the message sink.
  std::vector<std::string> warnings;
  bool ok() const { return error == DocumentError::kNone; }
};

// A failure as the readers and writers report it (the format's name is filled in above them).
inline DocumentResult DocumentFailure(DocumentError error, int systemError = 0) {
  DocumentResult r;
  r.error = error;
  r.systemError = systemError;
  return r;
}

// What went wrong, in the program's words (UTF-8): the kind's sentence, followed for a file-system
// failure by the reason and for a library's refusal by its detail. Empty on success.
std::string DocumentErrorText(const DocumentResult& result);

// The message the user sees: the file's name, `separator`, then DocumentErrorText. The application
// passes the name without its folder and a line break, the converter the path as given and ": ".
std::string DocumentMessage(const DocumentResult& result, std::string_view fileName, std::string_view separator = "\n");

// A system error number's reason in Japanese for the ones users meet (a missing file, no
// permission, a full disk, ...); the C library's text in parentheses for the rare rest; empty for 0.
std::string SystemErrorText(int error);

// A stable English name of the kind ("CannotOpen", ...), for machine-readable output; "" for kNone.
const char* DocumentErrorName(DocumentError error);

// Opens `path` into `scene` with the reader of its format. A format that replaces the scene leaves
// it untouched on failure; one that appends keeps what was read before the error (the scene was
// changed only when the error is not kCannotOpen). An unknown extension loads nothing.
// Texture names are looked up beside `path` first, and the textures that fail are reported in one
// message.
DocumentResult OpenDocumentFile(CMeshwright& scene, const std::string& path);

// Opening in three steps, so that the reading can run on a worker thread while the window keeps
// using the scene: PrepareDocumentRead and ApplyDocumentRead on the thread that owns the scene,
// RunDocumentRead on any thread. The read goes into a scene of its own; the document's scene is
// changed only by ApplyDocumentRead, and only for a read that succeeded, so a read that failed or
// was cancelled leaves it exactly as it was.
struct DocumentRead {
  std::string path;
  bool replaces = false;            // the format replaces the scene; else it appends to it
  bool sceneThreadOnly = false;     // the reader must run on the scene's thread (it decodes textures)
  bool emptyFile = false;           // a document of no bytes: opens, and changes nothing
  std::size_t keptMaterials = 0;    // for an append: the scene's own materials, copied in first
  std::unique_ptr<CMeshwright> scene;  // what was read into
  DocumentResult result;
};

// Sets a read of `path` up for `scene`: an append starts from a copy of the scene's materials and
// settings (the readers number new materials after them), without its models. An unknown
// extension is a failed read already.
DocumentRead PrepareDocumentRead(const CMeshwright& scene, const std::string& path);
// Reads. Progress goes to `progress` (may be null), which can also cancel it: the result is then
// kCancelled, also when the reader had already finished. Shows nothing and loads no texture.
void RunDocumentRead(DocumentRead& read, ReadProgress* progress);
// Takes a successful read over into `scene`: replaces or appends as the format does, loads the
// new textures (failures reported together) and shows the read's warnings. Returns false, and
// changes nothing, for a read that failed or was cancelled.
bool ApplyDocumentRead(CMeshwright& scene, DocumentRead& read);

// Saves through the writer of the path's format, atomically: on failure the file is as it was.
DocumentResult SaveDocumentFile(const CMeshwright& scene, const std::string& path);

// What the user chose for a save beyond its path; a format that has no use for a choice ignores it.
struct SaveOptions {
  bool keepMirror = false;  // 「鏡面をファイルに残す」 (io/loader_mqo.h MqoWriteOptions)
};
DocumentResult SaveDocumentFile(const CMeshwright& scene, const std::string& path, const SaveOptions& options);

}  // namespace mw
