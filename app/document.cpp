#include "app/document.h"

#include <QFileInfo>
#include <QSettings>

#include "app/commands.h"
#include "app/settings.h"
#include "app/ui_seam.h"
#include "io/document_formats.h"
#include "io/document_io.h"
#include "scene/meshwright.h"
#include "scene/texture_service.h"

namespace mw {

namespace {

// A failed open or save, as the user is told it: the file's name, then what went wrong.
void ShowFailure(const DocumentResult& result, const QString& path) {
  Ui().Message(nullptr, QString::fromStdString(DocumentMessage(result, QFileInfo(path).fileName().toStdString())),
               QMessageBox::Warning);
}

}  // namespace

CMeshwrightDoc::CMeshwrightDoc(CMeshwright& scene, QObject* parent) : QObject(parent), scene_(scene) {}

void CMeshwrightDoc::SetModified(bool modified) { modified_ = modified; }

QString CMeshwrightDoc::Title() const {
  return path_.isEmpty() ? QStringLiteral("無題") : QFileInfo(path_).fileName();
}

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
  modified_ = false;
  emit titleChanged();
  Refresh(kHintAll);
}

bool CMeshwrightDoc::OpenDocument(const QString& path, OpenedFrom from) {
  const std::string file = path.toStdString();
  const DocumentFormat* format = FindDocumentFormat(file);
  const bool appends = format && format->opening == OpenEffect::kAppends;
  const DocumentResult r = OpenDocumentFile(scene_, file);
  if (!r.ok()) {
    ShowFailure(r, path);
    // An import that stopped part-way keeps what it read: closing must not lose that silently.
    if (appends && r.error != DocumentError::kCannotOpen) {
      modified_ = true;
      Refresh(kHintAll);
    }
    return false;
  }
  if (from == OpenedFrom::kShell || !appends) {
    modified_ = false;
    SetPath(path);
  } else {
    // The import added to the document: closing it must not lose that silently.
    modified_ = true;
  }
  Refresh(kHintAll);
  return true;
}

bool CMeshwrightDoc::SaveDocument(const QString& path) {
  const std::string file = path.toStdString();
  const DocumentResult r = SaveDocumentFile(scene_, file);
  if (!r.ok()) {
    ShowFailure(r, path);
    return false;
  }
  if (IsDocumentFile(file)) {
    modified_ = false;
    SetPath(path);
  }
  return true;
}

bool CMeshwrightDoc::SaveModified(QWidget* parent) {
  if (!modified_) return true;
  const QMessageBox::StandardButton answer = Ui().Ask(parent, QStringLiteral("%1 への変更を保存しますか?").arg(Title()));
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::No) return true;
  // Yes: save where the document lives, or ask where when it has no file of its own format.
  QString target = path_;
  if (!IsDocumentFile(target.toStdString())) {
    const DocumentFormat& native = NativeDocumentFormat();
    const QString extension = QString::fromStdString(native.extensions.front());
    target = Ui().SaveFileName(parent, DialogFolder(), QString::fromStdString(native.DialogFilter()), extension);
    if (target.isEmpty()) return false;
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
    case EditKind::kSelect:
    case EditKind::kDeselect:
    case EditKind::kFaceBuild:
    case EditKind::kOtherDrag:
    case EditKind::kCamera:
    case EditKind::kNumericMove:
    case EditKind::kNumericRotate:
    case EditKind::kNumericSize:
    case EditKind::kNumericStretch:
    case EditKind::kCommitFace:
    case EditKind::kModelRename: return kHint3D;  // the panes repaint themselves; the list shows the new name
    case EditKind::kSelectAll:
    case EditKind::kDeselectAll:
    case EditKind::kModelState: return kHintSelection;
    default: return kHintAll;
  }
}

void CMeshwrightDoc::Edit(EditKind kind, const std::function<void()>& change) {
  BeginEdit(kind);
  change();
  EndEdit();
}

void CMeshwrightDoc::BeginEdit(EditKind kind) {
  if (editDepth_++ == 0) editKind_ = kind;
}

void CMeshwrightDoc::EndEdit() {
  if (editDepth_ == 0 || --editDepth_ > 0) return;
  if (ChangesDocument(editKind_)) modified_ = true;
  Refresh(HintOf(editKind_));
}

void CMeshwrightDoc::Cut() {
  Edit(EditKind::kDelete, [this]() { scene_.DeleteSelection(); });
}

void CMeshwrightDoc::SelectAll(bool select) {
  Edit(select ? EditKind::kSelectAll : EditKind::kDeselectAll, [this, select]() { scene_.SetAllSelected(select ? 1 : 0); });
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
