// The document: its path, its modified flag, and the file and scene commands that act on the
// one scene. It tells the views to refresh through updateAllViews.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace mw {

class CMeshwright;

class CMeshwrightDoc : public QObject {
  Q_OBJECT
 public:
  explicit CMeshwrightDoc(CMeshwright& scene, QObject* parent = nullptr);

  CMeshwright& scene() { return scene_; }
  const QString& path() const { return path_; }
  bool modified() const { return modified_; }
  void SetModified(bool modified = true);
  // "無題" for an untitled document, else the file name.
  QString Title() const;

  // New document: release textures, reset the scene, no path, not modified.
  void NewDocument();
  // Opens `path` as the open command does (no save-changes question here; the callers ask).
  // `framework` is true for the recent-file list, the command line and dropped files, which
  // also record a Metasequoia path as the document's. Failures are shown to the user; a .mwr
  // that cannot be read leaves the scene as it was.
  bool OpenDocument(const QString& path, bool framework);
  // Writes the archive to `path` atomically; on success takes the path and clears the flag.
  bool SaveArchive(const QString& path);
  // Exports a Metasequoia document; path and modified flag stay.
  bool ExportMetasequoia(const QString& path);

  // Whether the document may be replaced: asks "%1 への変更を保存しますか?" when modified and
  // saves on yes. False when the user cancels or saving failed.
  bool SaveModified(QWidget* parent);

  // Recent files, newest first, at most four, kept in the settings.
  QStringList RecentFiles() const;

  // Scene commands.
  void Cut();
  void SelectAll(bool select);
  void AssignCurrentMaterial();
  void ToggleSmoothing();
  void SetEditMode(int mode);

 signals:
  void updateAllViews(int hint);
  void titleChanged();
  void recentFilesChanged();

 private:
  void SetPath(const QString& path);
  void AddRecentFile(const QString& path);
  void Refresh(int hint) { emit updateAllViews(hint); }

  CMeshwright& scene_;
  QString path_;
  bool modified_ = false;
};

// "mwr" / "mqo" / anything else, for a UTF-16 path (case ignored).
QString ExtensionOf(const QString& path);

}  // namespace mw
