// The document: its path, its modified flag, and the file and scene commands that act on the
// one scene. It tells the views to refresh through updateAllViews.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUndoStack>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "scene/edit_kind.h"
#include "scene/mesh_tools.h"
#include "scene/scene_delta.h"
#include "scene/vector.h"

namespace mw {

class CMeshwright;
struct DocumentResult;
struct DocumentRead;

// Where an open came from; it decides what the opened file becomes.
enum class OpenedFrom {
  // The open command: a format that replaces the scene makes the file the document (its path, not
  // modified); one that appends adds to the document, which keeps its path and becomes modified.
  kOpenCommand,
  // The recent-file list, the command line and dropped files: the file becomes the document's
  // path, not modified, whether its format replaces the scene or appends to it.
  kShell,
};

class CMeshwrightDoc : public QObject {
  Q_OBJECT
 public:
  explicit CMeshwrightDoc(CMeshwright& scene, QObject* parent = nullptr);

  CMeshwright& scene() { return scene_; }
  // The window the document's messages and questions appear over.
  void SetWindow(QWidget* window) { window_ = window; }
  QWidget* window() const { return window_; }
  const QString& path() const { return path_; }
  // Unsaved changes: a step that changes the document lies between the last save and now (or
  // something was marked modified outright, as a recovered document is).
  bool modified() const { return modified_; }
  // False: the present state is the saved one. True: modified whatever the history says.
  void SetModified(bool modified = true);
  QUndoStack& undoStack() { return undo_; }
  void Undo();
  void Redo();
  // Takes the contents of a recovery file (app/autosave.h) as the document: its scene, and the
  // path it had (its textures are looked up beside it), modified. False, with the document as it
  // was, when the scene cannot be read.
  bool Recover(const std::vector<std::uint8_t>& contents);
  // "無題" for an untitled document, else the file name.
  QString Title() const;

  // New document: release textures, reset the scene, no path, not modified.
  void NewDocument();
  // Opens `path` through the table of formats (io/document_formats.h); no save-changes question
  // here, the callers ask. The file is read into a scene of its own (through the reader set by
  // SetReader, else here and now) and taken over only when the whole file was read: a failure is
  // shown to the user, and a failure or a cancel leaves the document as it was, scene, path,
  // recent-file list and modified flag. False while another open is still reading.
  bool OpenDocument(const QString& path, OpenedFrom from);
  // How the reading step of an open runs: the window reads on a worker thread and keeps painting
  // until it is done (or cancelled). It must return only when the read has ended.
  using Reader = std::function<void(DocumentRead& read)>;
  void SetReader(Reader reader) { reader_ = std::move(reader); }
  // An open is reading: edits are refused until it is done.
  bool loading() const { return loading_; }
  // Saves through the path's format. A format that holds the whole document gives the document
  // this path and clears the modified flag; an export leaves both. A failure is shown.
  // `keepMirror`: 「鏡面をファイルに残す」 for a format that can keep one (io/document_io.h).
  bool SaveDocument(const QString& path, bool keepMirror = false);

  // Whether the document may be replaced: asks "%1 への変更を保存しますか?" when modified and
  // saves on yes. False when the user cancels or saving failed.
  bool SaveModified(QWidget* parent);

  // Recent files, newest first, at most four, kept in the settings.
  QStringList RecentFiles() const;

  // The one way the scene changes. `change` runs as one edit of `kind`; afterwards the document
  // is marked modified when the edit can change what a save writes (never for selection), and
  // the views refresh as the kind needs.
  void Edit(EditKind kind, const std::function<void()>& change);
  // A drag: opened before its first change, closed after its last. Edits made while one is open
  // belong to it; the refresh and the flag come when it closes.
  void BeginEdit(EditKind kind);
  void EndEdit();
  // An edit that may fail part way (a script): `change` returns whether it succeeded; when it
  // did not, the scene is put back as it was before and no step is kept. False also when another
  // edit is open or a document is being read.
  bool EditOrRevert(EditKind kind, const std::function<bool()>& change);
  bool editing() const { return editDepth_ > 0; }

  // Scene commands.
  // Deletes the selection (the fully selected faces, then every vertex no face uses).
  void Delete();
  // Copies the fully selected faces to the clipboard, then deletes the selection as Delete does.
  // Nothing is deleted when the copy failed.
  void Cut();
  // Puts the fully selected faces, their vertices and materials on the system clipboard. False
  // (clipboard untouched, the user told why) when nothing is selected or the copy is too large.
  bool Copy();
  // Adds the clipboard's fragment to the current model, selected. A damaged or foreign payload is
  // refused with a message and changes nothing.
  bool Paste();
  // Copies the fully selected faces in place, moved by `offset`, the copies selected.
  void Duplicate(const CVector& offset);
  void SelectAll(bool select);
  // The mesh tools on the selection of the editable models, each one edit; they return what they
  // did, for the status bar.
  WeldResult Weld(double distance);
  std::size_t FlipFaces();
  void InvertSelection();
  void SelectConnected();
  void AssignCurrentMaterial();
  void ToggleSmoothing();
  void SetEditMode(int mode);
  // Selection by element (scene/element_selection.h), each one step that can be taken back.
  void SetSelectMode(int mode);
  void GrowSelection(bool grow);
  // The loops (rings) through the selected edges, added to the selection; in face mode the faces
  // the rings of the selected faces' sides cross. False when no edge is selected.
  bool SelectLoops(bool ring);
  void SelectByMaterial();
  // Hides the selection (or, with `unselected`, the rest); false when nothing was hidden.
  bool Hide(bool unselected);
  bool Reveal();

 signals:
  void updateAllViews(int hint);
  void titleChanged();
  void modifiedChanged(bool modified);
  void recentFilesChanged();
  // A document was opened, or one was read into the open document, without a failure.
  void documentOpened();
  // A remark for the status bar: what an opened file held that the document cannot (cameras,
  // lights, animations), or characters that had to be replaced. Failures get a message box.
  void notice(const QString& text);

 private:
  void SetPath(const QString& path);
  void AddRecentFile(const QString& path);
  void Refresh(int hint) { emit updateAllViews(hint); }
  static int HintOf(EditKind kind);
  void Push(std::unique_ptr<SceneDelta> delta);
  void UpdateModified();
  void TrimHistory();

  void ShowFailure(const DocumentResult& result, const QString& path);

  CMeshwright& scene_;
  QWidget* window_ = nullptr;
  QString path_;
  bool modified_ = false;
  bool forcedModified_ = false;
  int editDepth_ = 0;
  bool dragOpen_ = false;  // the open edit is a drag (BeginEdit), not a change made at once
  EditKind editKind_ = EditKind::kMove;
  std::size_t materialsBefore_ = 0;  // the material count when the open edit began
  std::unique_ptr<SceneDelta> open_;  // what the open edit may change
  QUndoStack undo_;
  qint64 undoBytes_ = 0;
  bool rebuilding_ = false;
  bool loading_ = false;
  Reader reader_;
};

}  // namespace mw
