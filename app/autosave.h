// Recovery saves: while the document has unsaved changes it is written every few minutes to a
// file of this process in the user's state folder, so a crash loses at most one interval. A
// clean exit removes the file; at start, files left by processes that are gone are offered back.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <future>

class QWidget;

namespace mw {

class CMeshwrightDoc;

// $XDG_STATE_HOME/meshwright, or ~/.local/state/meshwright.
QString RecoveryFolder();
// The recovery file of process `pid`.
QString RecoveryPath(qint64 pid);
// Recovery files whose process is gone, newest first.
QStringList OrphanRecoveryFiles();

class Autosaver : public QObject {
  Q_OBJECT
 public:
  // `seconds` between saves; 0 saves never.
  Autosaver(CMeshwrightDoc& doc, int seconds, QObject* parent = nullptr);
  // Waits for a write in progress and removes the file: only a crash leaves one behind.
  ~Autosaver() override;

  const QString& path() const { return path_; }
  // One tick: with unsaved changes, copies the scene and writes the copy on a worker thread
  // (unless the previous write is still going); without, removes the file. The document's path
  // and modified flag are not touched.
  void Tick();
  // Waits for the write in progress; its result (true when none was running).
  bool Wait();

 private:
  CMeshwrightDoc& doc_;
  QString path_;
  QTimer timer_;
  std::future<bool> writing_;
};

// Asks whether to restore each recovery file left behind: yes restores it as an untitled,
// modified document (the file becomes this process's own until the next save or exit), no
// deletes it, cancel keeps it for the next start. Returns whether a document was restored.
bool OfferRecovery(QWidget* parent, CMeshwrightDoc& doc, const QString& ownPath);

}  // namespace mw
