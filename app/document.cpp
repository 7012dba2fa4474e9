#include "app/document.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QSettings>

#include "app/autosave.h"
#include "app/clipboard.h"
#include "app/reference_pictures.h"
#include "app/commands.h"
#include "app/edit_command.h"
#include "app/settings.h"
#include "app/ui_seam.h"
#include "io/document_formats.h"
#include "io/document_io.h"
#include "scene/archive.h"
#include "scene/edge_loops.h"
#include "scene/element_selection.h"
#include "scene/fragment.h"
#include "scene/meshwright.h"
#include "scene/symmetry.h"
#include "scene/texture_service.h"

namespace mw {

// A failed open or save, as the user is told it: the file's name, then what went wrong.
void CMeshwrightDoc::ShowFailure(const DocumentResult& result, const QString& path) {
  Ui().Message(window_, QString::fromStdString(DocumentMessage(result, QFileInfo(path).fileName().toStdString())),
               QMessageBox::Warning);
}

CMeshwrightDoc::CMeshwrightDoc(CMeshwright& scene, QObject* parent) : QObject(parent), scene_(scene) {
  undo_.setUndoLimit(LoadUndoLimits().steps);
  connect(&undo_, &QUndoStack::indexChanged, this, &CMeshwrightDoc::UpdateModified);
  connect(&undo_, &QUndoStack::cleanChanged, this, &CMeshwrightDoc::UpdateModified);
}

void CMeshwrightDoc::SetModified(bool modified) {
  forcedModified_ = modified;
  if (!modified) undo_.setClean();
  UpdateModified();
}

void CMeshwrightDoc::UpdateModified() {
  if (rebuilding_) return;
  bool changed = forcedModified_;
  const int clean = undo_.cleanIndex(), index = undo_.index();
  if (!changed && clean < 0) changed = true;
  // Selection steps between the saved state and now leave the document as saved.
  for (int i = std::min(clean, index); !changed && i < std::max(clean, index); ++i) {
    const auto* c = static_cast<const SceneEditCommand*>(undo_.command(i));
    changed = c && ChangesDocument(c->delta()->kind());
  }
  if (changed == modified_) return;
  modified_ = changed;
  emit modifiedChanged(modified_);
}

QString CMeshwrightDoc::Title() const { return path_.isEmpty() ? QStringLiteral("無題") : QFileInfo(path_).fileName(); }

void CMeshwrightDoc::SetPath(const QString& path) {
  path_ = path;
  SetTextureDocument(path.toStdString());
  // Only what can be opened again is offered for opening again.
  const DocumentFormat* format = FindDocumentFormat(path.toStdString());
  if (format && format->CanOpen()) AddRecentFile(path);
  emit titleChanged();
}

void CMeshwrightDoc::NewDocument() {
  scene_.ReleaseTextures();
  scene_.ResetScene();
  path_.clear();
  SetTextureDocument(std::string());
  undo_.clear();
  SetModified(false);
  emit titleChanged();
  Refresh(kHintAll);
}

bool CMeshwrightDoc::OpenDocument(const QString& path, OpenedFrom from) {
  if (loading_) return false;
  const std::string file = path.toStdString();
  const DocumentFormat* format = FindDocumentFormat(file);
  const bool appends = format && format->opening == OpenEffect::kAppends;
  // Reading into the open document is a step like any edit.
  const bool imports = appends && from != OpenedFrom::kShell;
  DocumentRead read = PrepareDocumentRead(scene_, file);
  loading_ = true;
  if (reader_ && !read.sceneThreadOnly) reader_(read);
  else RunDocumentRead(read, nullptr);
  loading_ = false;
  if (read.result.error == DocumentError::kCancelled) return false;  // the user knows
  if (!read.result.ok()) {
    ShowFailure(read.result, path);
    return false;
  }
  // The read's warnings are remarks about a file that opened: the status bar says them, so that
  // every such file does not stop the user with a message box.
  const std::vector<std::string> notes = std::move(read.result.warnings);
  read.result.warnings.clear();
  if (imports) BeginEdit(EditKind::kImport);
  ApplyDocumentRead(scene_, read);
  if (imports) EndEdit();
  if (!imports) {
    undo_.clear();
    SetModified(false);
    SetPath(path);
  }
  Refresh(kHintAll);
  emit documentOpened();
  if (!notes.empty()) {
    QStringList lines;
    for (const std::string& n : notes) lines << QString::fromStdString(n);
    emit notice(QFileInfo(path).fileName() + QStringLiteral(": ") + lines.join(QStringLiteral(" / ")));
  }
  return true;
}

bool CMeshwrightDoc::SaveDocument(const QString& path, bool keepMirror) {
  const std::string file = path.toStdString();
  // Reference pictures are named relative to the document: saved elsewhere, they are renamed so
  // they still lead to the same files.
  const bool renames = IsDocumentFile(file) && path != path_;
  if (renames) RebaseReferenceNames(scene_.referencePictures, path_, path);
  SaveOptions options;
  options.keepMirror = keepMirror;
  const DocumentResult r = SaveDocumentFile(scene_, file, options);
  if (!r.ok()) {
    if (renames) RebaseReferenceNames(scene_.referencePictures, path, path_);
    ShowFailure(r, path);
    return false;
  }
  if (IsDocumentFile(file)) {
    SetModified(false);
    SetPath(path);
  }
  return true;
}

bool CMeshwrightDoc::SaveModified(QWidget* parent) {
  if (!modified_) return true;
  const QMessageBox::StandardButton answer =
      Ui().Ask(parent, QStringLiteral("%1 への変更を保存しますか?").arg(Title()));
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::No) return true;
  // Yes: save where the document lives, or ask where when it has no file of its own format.
  QString target = path_;
  if (!IsDocumentFile(target.toStdString())) {
    const DocumentFormat& native = NativeDocumentFormat();
    const QString extension = QString::fromStdString(native.extensions.front());
    target = Ui().SaveFileName(parent, DialogFolder(DialogUse::kSave), QString::fromStdString(native.DialogFilter()),
                               extension);
    if (target.isEmpty()) return false;
    StoreDialogFolder(DialogUse::kSave, target);
    if (!IsDocumentFile(target.toStdString())) target += QStringLiteral(".") + extension;
  }
  return SaveDocument(target);
}

QStringList CMeshwrightDoc::RecentFiles() const { return LoadRecentFiles(); }

void CMeshwrightDoc::AddRecentFile(const QString& path) {
  QStringList files = LoadRecentFiles();
  const QString full = QFileInfo(path).absoluteFilePath();
  files.removeAll(full);
  files.prepend(full);
  while (files.size() > 4) files.removeLast();
  StoreRecentFiles(files);
  emit recentFilesChanged();
}

int CMeshwrightDoc::HintOf(EditKind kind) {
  switch (kind) {
    case EditKind::kMove:
    case EditKind::kRotate:
    case EditKind::kSize:
    case EditKind::kStretch:
    case EditKind::kFaceBuild:
    case EditKind::kCreateBox:
    case EditKind::kOtherDrag:
    case EditKind::kNumericMove:
    case EditKind::kNumericRotate:
    case EditKind::kNumericSize:
    case EditKind::kNumericStretch:
    case EditKind::kCommitFace:
    case EditKind::kModelRename: return kHint3D;  // the panes repaint themselves; the list shows the new name
    case EditKind::kSelect:
    case EditKind::kDeselect: return kHintOrtho;  // the perspective pane does not show the selection
    case EditKind::kCamera: return kHintDrawn;
    case EditKind::kSelectAll:
    case EditKind::kDeselectAll:
    case EditKind::kInvertSelection:
    case EditKind::kSelectConnected:
    case EditKind::kSelectMode:
    case EditKind::kPick:
    case EditKind::kGrowShrink:
    case EditKind::kSelectLoop:
    case EditKind::kSelectMaterial:
    case EditKind::kModelState: return kHintSelection;
    case EditKind::kUVEdit: return kHint3D;  // texture coordinates only: the lists stay as they are
    default: return kHintAll;
  }
}

void CMeshwrightDoc::Edit(EditKind kind, const std::function<void()>& change) {
  if (loading_) return;  // the scene is about to be replaced or added to: no edit may come between
  if (editDepth_ > 0 && !dragOpen_) {  // an edit made by an edit's own change belongs to it
    change();
    return;
  }
  if (dragOpen_) {
    // A change made at once during a drag (Enter while a button is held) is a step of its own
    // between the two halves of the drag.
    const EditKind drag = editKind_;
    EndEdit();
    Edit(kind, change);
    BeginEdit(drag);
    return;
  }
  BeginEdit(kind);
  dragOpen_ = false;
  change();
  EndEdit();
}

bool CMeshwrightDoc::EditOrRevert(EditKind kind, const std::function<bool()>& change) {
  if (loading_ || editDepth_ > 0) return false;
  BeginEdit(kind);
  dragOpen_ = false;
  if (change()) {
    EndEdit();
    return true;
  }
  editDepth_ = 0;
  std::unique_ptr<SceneDelta> delta = std::move(open_);
  delta->Finish(scene_);
  delta->Undo(scene_);
  Refresh(kHintAll);
  return false;
}

void CMeshwrightDoc::BeginEdit(EditKind kind) {
  if (editDepth_++ > 0) return;
  editKind_ = kind;
  dragOpen_ = true;
  materialsBefore_ = scene_.materials.size();
  open_ = std::make_unique<SceneDelta>(SceneDelta::Capture(kind, scene_));
  // Under symmetric modelling a verb on one side is made on both (scene/symmetry.h).
  if (MirrorsSelection(kind)) MirrorSelectionForVerb(scene_);
}

namespace {

// Edits that change the vertex flags or the faces without knowing of edges and faces picked as
// such: in edge and face mode the picked elements follow the vertices afterwards.
bool FollowsVertices(EditKind k) {
  switch (k) {
    case EditKind::kSelectAll:
    case EditKind::kDeselectAll:
    case EditKind::kSelectConnected:
    case EditKind::kModelSelect:
    case EditKind::kModelDeselect:
    case EditKind::kDelete:
    case EditKind::kCut:
    case EditKind::kWeld:
    case EditKind::kDuplicate:
    case EditKind::kPaste:
    case EditKind::kFaceBuild:
    case EditKind::kCreateBox:
    case EditKind::kCommitFace:
    case EditKind::kAddPrimitive:
    case EditKind::kImport:
    case EditKind::kModelMergeUp:
    case EditKind::kModelMergeDown:
    case EditKind::kLoopCut:
    case EditKind::kConnect:
    case EditKind::kSubdivide:
    case EditKind::kKnife:
    case EditKind::kDissolve:
    case EditKind::kDeleteElements:
    case EditKind::kCollapse:
    case EditKind::kTriangulate:
    case EditKind::kTrisToQuads:
    case EditKind::kSeparate:
    case EditKind::kMirrorCopy: return true;
    default: return false;
  }
}

}  // namespace

void CMeshwrightDoc::EndEdit() {
  if (editDepth_ == 0 || --editDepth_ > 0) return;
  dragOpen_ = false;
  if (FollowsVertices(editKind_)) SyncElementsFromVertices(scene_);
  if (RenumbersVertices(editKind_)) FindCounterpartsAfterVerb(scene_);
  std::unique_ptr<SceneDelta> delta = std::move(open_);
  delta->Finish(scene_);
  if (!delta->Empty()) Push(std::move(delta));
  // Building in a document without materials adds one (scene/default_material.h): the material
  // list shows it too.
  int hint = scene_.materials.size() != materialsBefore_ ? kHintAll : HintOf(editKind_);
  // In edge and face mode the perspective pane shows the selection too.
  if (hint == kHintOrtho && SelectModeOf(scene_) != kSelectVertices) hint = kHintSelection;
  Refresh(hint);
}

void CMeshwrightDoc::Push(std::unique_ptr<SceneDelta> delta) {
  auto* command =
      new SceneEditCommand(scene_, std::shared_ptr<SceneDelta>(std::move(delta)), [this]() { Refresh(kHintAll); });
  undo_.push(command);
  TrimHistory();
}

void CMeshwrightDoc::Undo() {
  if (editDepth_ == 0 && !loading_) undo_.undo();
}

void CMeshwrightDoc::Redo() {
  if (editDepth_ == 0 && !loading_) undo_.redo();
}

// QUndoStack drops its oldest steps by count only. Past the memory bound the history is rebuilt
// without its oldest steps: the kept steps' data moves to new commands, and the stack is brought
// back to where it was without touching the scene.
void CMeshwrightDoc::TrimHistory() {
  const qint64 limit = LoadUndoLimits().bytes;
  const int count = undo_.count(), index = undo_.index(), clean = undo_.cleanIndex();
  std::vector<qint64> sizes;
  qint64 total = 0;
  for (int i = 0; i < count; ++i) {
    sizes.push_back(static_cast<qint64>(static_cast<const SceneEditCommand*>(undo_.command(i))->bytes()));
    total += sizes.back();
  }
  int drop = 0;
  while (total > limit && drop < index - 1) total -= sizes[static_cast<std::size_t>(drop++)];
  undoBytes_ = total;
  if (drop == 0) return;
  // The newest step is kept even alone past the bound; the user should know why undo stops at it.
  if (total > limit)
    emit notice(QStringLiteral("この操作の取り消し情報が上限 (%1 MB) を超えたため、それより前の取り消し履歴を破棄しました")
                    .arg(limit / (1024 * 1024)));
  std::vector<std::shared_ptr<SceneDelta>> kept;
  for (int i = drop; i < count; ++i) kept.push_back(static_cast<const SceneEditCommand*>(undo_.command(i))->delta());
  rebuilding_ = true;
  undo_.clear();
  if (clean == drop) undo_.setClean();
  for (int i = drop; i < count; ++i) {
    undo_.push(new SceneEditCommand(scene_, kept[static_cast<std::size_t>(i - drop)], [this]() { Refresh(kHintAll); }));
    if (i + 1 == clean) undo_.setClean();
  }
  if (clean < drop) undo_.resetClean();
  for (int i = index; i < count; ++i)
    const_cast<SceneEditCommand*>(static_cast<const SceneEditCommand*>(undo_.command(i - drop)))->SkipNextUndo();
  undo_.setIndex(index - drop);
  rebuilding_ = false;
  UpdateModified();
}

bool CMeshwrightDoc::Recover(const std::vector<std::uint8_t>& contents) {
  std::string documentPath;
  const std::size_t sceneBytes = SplitRecoveryFile(contents, documentPath);
  if (!ReadScene(scene_, contents.data(), sceneBytes).ok()) return false;
  // The document's own path again, so its name shows and its textures are found beside it; not
  // added to the recent files, which the user did not open it from.
  path_ = QString::fromStdString(documentPath);
  SetTextureDocument(documentPath);
  {
    DocumentTextureScope textures(documentPath);
    scene_.LoadTextures();
  }
  scene_.UpdateMaterialColors();
  scene_.ComputeNormals();
  undo_.clear();
  SetModified(true);
  emit titleChanged();
  Refresh(kHintAll);
  return true;
}

void CMeshwrightDoc::Delete() {
  Edit(EditKind::kDelete, [this]() { scene_.DeleteSelection(); });
}

void CMeshwrightDoc::Cut() {
  if (!Copy()) return;
  Edit(EditKind::kCut, [this]() { scene_.DeleteSelection(); });
}

bool CMeshwrightDoc::Copy() {
  SceneFragment fragment = ExtractSelection(scene_);
  if (fragment.Empty()) return false;
  if (!path_.isEmpty()) fragment.sourceFolder = QFileInfo(path_).absolutePath().toStdString() + "/";
  std::unique_ptr<QMimeData> data(FragmentMimeData(fragment));
  if (static_cast<std::size_t>(data->data(QString::fromLatin1(kFragmentMimeType)).size()) > kMaxFragmentBytes) {
    Ui().Message(nullptr, QStringLiteral("選択範囲が大きすぎるため、コピーできません。"), QMessageBox::Warning);
    return false;
  }
  QGuiApplication::clipboard()->setMimeData(data.release());
  return true;
}

bool CMeshwrightDoc::Paste() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!HasFragment(data)) return false;
  SceneFragment fragment;
  if (!FragmentFromMimeData(*data, fragment).ok()) {
    Ui().Message(nullptr, QStringLiteral("クリップボードの内容は貼り付けられません。"), QMessageBox::Warning);
    return false;
  }
  if (TextureService* textures = GetTextureService()) {
    // A texture found only where the fragment was copied from is named by its full path and read
    // from there: the user brought it here.
    if (ResolveFragmentTextures(fragment, path_.toStdString(), textures->Folder()) > 0)
      textures->AllowFolder(fragment.sourceFolder);
  }
  bool pasted = false;
  Edit(EditKind::kPaste, [this, &fragment, &pasted]() { pasted = PasteFragment(scene_, std::move(fragment)); });
  return pasted;
}

void CMeshwrightDoc::Duplicate(const CVector& offset) {
  if (!HasSelectedFaces(scene_)) return;
  Edit(EditKind::kDuplicate, [this, &offset]() { DuplicateSelection(scene_, offset); });
}

void CMeshwrightDoc::SelectAll(bool select) {
  Edit(select ? EditKind::kSelectAll : EditKind::kDeselectAll,
       [this, select]() { scene_.SetAllSelected(select ? 1 : 0); });
}

WeldResult CMeshwrightDoc::Weld(double distance) {
  WeldResult result;
  Edit(EditKind::kWeld, [this, distance, &result]() { result = WeldSelected(scene_, distance); });
  return result;
}

std::size_t CMeshwrightDoc::FlipFaces() {
  std::size_t flipped = 0;
  Edit(EditKind::kFlip, [this, &flipped]() { flipped = FlipSelectedFaces(scene_); });
  return flipped;
}

void CMeshwrightDoc::InvertSelection() {
  Edit(EditKind::kInvertSelection, [this]() { InvertElements(scene_); });
}

void CMeshwrightDoc::SetSelectMode(int mode) {
  if (mode == scene_.selectMode) return;
  Edit(EditKind::kSelectMode, [this, mode]() { mw::SetSelectMode(scene_, static_cast<SelectMode>(mode)); });
}

void CMeshwrightDoc::GrowSelection(bool grow) {
  Edit(EditKind::kGrowShrink, [this, grow]() { grow ? mw::GrowSelection(scene_) : ShrinkSelection(scene_); });
}

bool CMeshwrightDoc::SelectLoops(bool ring) {
  bool any = false;
  Edit(EditKind::kSelectLoop, [this, ring, &any]() {
    const SelectMode mode = SelectModeOf(scene_);
    for (CModel& m : scene_.models) {
      if (!m.IsEditable()) continue;
      const auto ix = scene_.edgeIndexes.Get(m);
      // The selected edges: those picked in edge mode, else those whose ends are both selected.
      std::vector<std::int32_t> start;
      for (std::int32_t e = 0; e < static_cast<std::int32_t>(ix->EdgeCount()); ++e) {
        const bool picked = mode == kSelectEdges ? EdgeSelected(m, ix->Lower(e), ix->Upper(e))
                                                 : m.vertices[static_cast<std::size_t>(ix->Lower(e))].selected &&
                                                       m.vertices[static_cast<std::size_t>(ix->Upper(e))].selected;
        if (picked && EdgeVisible(m, *ix, e)) start.push_back(e);
      }
      any = any || !start.empty();
      for (std::int32_t e : start) {
        if (mode == kSelectFaces) {
          for (std::int32_t f : FaceLoop(m, *ix, e)) m.faces[static_cast<std::size_t>(f)].selected = 1;
          continue;
        }
        for (std::int32_t k : ring ? EdgeRing(m, *ix, e) : EdgeLoop(m, *ix, e)) {
          if (mode == kSelectEdges) MarkEdge(m, ix->Lower(k), ix->Upper(k), true);
          m.vertices[static_cast<std::size_t>(ix->Lower(k))].selected = 1;
          m.vertices[static_cast<std::size_t>(ix->Upper(k))].selected = 1;
        }
      }
      if (mode == kSelectVertices) m.UpdateFaceSelection();
      else SelectVerticesOfElements(m, mode);
    }
  });
  return any;
}

void CMeshwrightDoc::SelectByMaterial() {
  if (!scene_.HasCurrentMaterial()) return;
  Edit(EditKind::kSelectMaterial, [this]() { mw::SelectByMaterial(scene_, scene_.CurrentMaterialId()); });
}

bool CMeshwrightDoc::Hide(bool unselected) {
  bool any = false;
  Edit(EditKind::kHide, [this, unselected, &any]() { any = HideSelection(scene_, unselected); });
  return any;
}

bool CMeshwrightDoc::Reveal() {
  bool any = false;
  Edit(EditKind::kReveal, [this, &any]() { any = RevealAll(scene_); });
  return any;
}

void CMeshwrightDoc::SelectConnected() {
  Edit(EditKind::kSelectConnected, [this]() { mw::SelectConnected(scene_); });
}

void CMeshwrightDoc::AssignCurrentMaterial() {
  Edit(EditKind::kAssignMaterial, [this]() { scene_.AssignCurrentMaterial(); });
}

void CMeshwrightDoc::ToggleSmoothing() {
  scene_.ToggleSmoothing();
  Refresh(kHintAll);
}

void CMeshwrightDoc::SetEditMode(int mode) { scene_.editMode = mode; }

}  // namespace mw
