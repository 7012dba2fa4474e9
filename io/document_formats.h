// The document formats, one row each. Everything that decides by a file's name asks this table:
// the open and save dialogs, the save-changes question, drag and drop, the recent-file list, the
// command line and the converter. A new format is one row in document_formats.cpp plus its reader
// and writer.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "io/document_io.h"

namespace mw {

// What opening a file of the format does to the scene in the window.
enum class OpenEffect {
  kReplaces,  // the file becomes the whole scene (unsaved work would be lost: the caller asks first)
  kAppends,   // its models and materials are added after the scene's own
};

// What a saved file of the format is to the document.
enum class SaveEffect {
  kDocument,  // it holds the whole document: saving there gives the document its path, and the
              // save command writes to it without asking
  kExport,    // a copy in another format: the document keeps its path and its modified flag
};

struct DocumentFormat {
  std::vector<std::string> extensions;  // lower case, without the dot; a save adds the first
  std::string name;                     // "Meshwright": the dialogs call it "Meshwrightファイル"
  OpenEffect opening = OpenEffect::kReplaces;
  SaveEffect saving = SaveEffect::kDocument;
  DocumentResult (*read)(CMeshwright& scene, const std::string& path) = nullptr;         // null: cannot open
  DocumentResult (*write)(const CMeshwright& scene, const std::string& path) = nullptr;  // null: cannot save
  // The reader decodes textures while it reads (they exist only then, as in an archive): it must
  // run on the thread that owns the textures' context, not on a worker.
  bool texturesWhileReading = false;
  // The writer again for a format that takes the user's choices (null: `write` for every save).
  DocumentResult (*writeWithOptions)(const CMeshwright& scene, const std::string& path,
                                     const SaveOptions& options) = nullptr;

  bool CanOpen() const { return read != nullptr; }
  bool CanSave() const { return write != nullptr; }
  // "Meshwrightファイル(*.mwr)": one entry of a file dialog's filter.
  std::string DialogFilter() const;
};

// Every row, in the order the dialogs list them.
std::span<const DocumentFormat> DocumentFormats();

// The row whose extensions include the path's (case ignored), or null.
const DocumentFormat* FindDocumentFormat(const std::string& path);

// The program's own format: the first row that holds the whole document. The save-changes question
// offers only it, and the dialogs default to its extension.
const DocumentFormat& NativeDocumentFormat();

// Whether the save command may write to `path` as it stands: its format holds the whole document.
bool IsDocumentFile(const std::string& path);

// File dialog filters, entries separated by ";;" as Qt's dialogs take them. The open dialog starts
// with "全ての形式(...)" covering every format it lists.
std::string OpenDialogFilter();
std::string SaveDialogFilter();

// What a save dialog's answer names: the typed name as it stands when it has an extension, else
// the name with the first extension of the file type chosen in the dialog (`chosenFilter`, one
// entry of SaveDialogFilter), or of the program's own format when no entry of the table is chosen.
std::string SavePathWithChosenType(const std::string& typed, const std::string& chosenFilter);

}  // namespace mw
