#include "app/document.h"

#include <QFileInfo>
#include <QSettings>

#include "app/commands.h"
#include "app/settings.h"
#include "app/ui_seam.h"
#include "io/document_io.h"
#include "io/loader_mqo.h"
#include "platform/paths.h"
#include "scene/archive.h"
#include "scene/meshwright.h"

namespace mw {

QString ExtensionOf(const QString& path) {
  return QString::fromStdString(PathExtension(path.toStdString())).toLower();
}

CMeshwrightDoc::CMeshwrightDoc(CMeshwright& scene, QObject* parent) : QObject(parent), scene_(scene) {}

void CMeshwrightDoc::SetModified(bool modified) { modified_ = modified; }

QString CMeshwrightDoc::Title() const {
  return path_.isEmpty() ? QStringLiteral("無題") : QFileInfo(path_).fileName();
}

void CMeshwrightDoc::SetPath(const QString& path) {
  path_ = path;
  if (!path.isEmpty()) AddRecentFile(path);
  emit titleChanged();
}

void CMeshwrightDoc::NewDocument() {
  scene_.ReleaseTextures();
  scene_.ResetScene();
  path_.clear();
  modified_ = false;
  emit titleChanged();
  Refresh(kHintAll);
}

bool CMeshwrightDoc::OpenDocument(const QString& path, bool framework) {
  const QString ext = ExtensionOf(path);
  const std::string file = path.toStdString();
  bool ok = true;
  if (ext == QLatin1String("mwr")) {
    const DocumentResult r = OpenDocumentFile(scene_, file);
    if (!r.ok) {
      Ui().Message(nullptr, QFileInfo(path).fileName() + QStringLiteral("\n") + QString::fromStdString(r.message),
                   QMessageBox::Warning);
      return false;
    }
    modified_ = false;
    SetPath(path);
  } else if (ext == QLatin1String("mqo")) {
    const DocumentResult r = OpenDocumentFile(scene_, file);
    if (!r.ok) {
      // What was read before the error stays in the scene; say what went wrong.
      Ui().Message(nullptr, QString::fromStdString(r.message), QMessageBox::Warning);
      ok = false;
    }
    if (framework) {
      modified_ = false;
      SetPath(path);
    } else {
      // The import added to the document: closing it must not lose that silently.
      modified_ = true;
    }
  } else {
    ok = false;
  }
  Refresh(kHintAll);
  return ok;
}

bool CMeshwrightDoc::SaveArchive(const QString& path) {
  const ArchiveResult r = SaveSceneFile(scene_, path.toStdString());
  if (!r.ok()) {
    Ui().Message(nullptr, QStringLiteral("保存できませんでした。\n") + QString::fromStdString(r.detail),
                 QMessageBox::Warning);
    return false;
  }
  modified_ = false;
  SetPath(path);
  return true;
}

bool CMeshwrightDoc::ExportMetasequoia(const QString& path) {
  std::string error;
  if (!mw::ExportMetasequoia(scene_, path.toStdString(), &error)) {
    Ui().Message(nullptr, QStringLiteral("保存できませんでした。\n") + QString::fromStdString(error),
                 QMessageBox::Warning);
    return false;
  }
  return true;
}

bool CMeshwrightDoc::SaveModified(QWidget* parent) {
  if (!modified_) return true;
  const QMessageBox::StandardButton answer = Ui().Ask(parent, QStringLiteral("%1 への変更を保存しますか?").arg(Title()));
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::No) return true;
  // Yes: save where the document lives, or ask where when it has no .mwr home.
  QString target = path_;
  if (ExtensionOf(target) != QLatin1String("mwr")) {
    target = Ui().SaveFileName(parent, DialogFolder(), QStringLiteral("Meshwrightファイル(*.mwr)"), QStringLiteral("mwr"));
    if (target.isEmpty()) return false;
    if (ExtensionOf(target) != QLatin1String("mwr")) target += QStringLiteral(".mwr");
  }
  return SaveArchive(target);
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

void CMeshwrightDoc::Cut() {
  scene_.DeleteSelection();
  modified_ = true;
  Refresh(kHintAll);
}

void CMeshwrightDoc::SelectAll(bool select) {
  scene_.SetAllSelected(select ? 1 : 0);
  Refresh(kHintSelection);
}

void CMeshwrightDoc::AssignCurrentMaterial() {
  scene_.AssignCurrentMaterial();
  modified_ = true;
  Refresh(kHintAll);
}

void CMeshwrightDoc::ToggleSmoothing() {
  scene_.ToggleSmoothing();
  Refresh(kHintAll);
}

void CMeshwrightDoc::SetEditMode(int mode) { scene_.editMode = mode; }

}  // namespace mw
