// Recovery saves: while the document has unsaved changes it is written every few minutes to a
// file of this process in the user's state folder, so a crash loses at most one interval. A
// clean exit removes the file; at start, files left by processes that are gone are offered back.
//
// A recovery file is the scene as a .mwr stream followed by the document's path (so a restored
// document keeps its name, and its textures are found beside it again): the path's UTF-8 bytes,
// their count as a 32-bit little-endian number, and the eight bytes "MWRECOV1". The state folder
// is the user's own: only regular files owned by the user are offered or written over, never a
// symbolic link or another user's file.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <future>
#include <string>
#include <vector>

class QWidget;

namespace mw {

class CMeshwright;
class CMeshwrightDoc;

// Writes the recovery file of `scene` for the document at `documentPath` ("" for an untitled
// one) to `target`, replacing whatever is at that name (a link is replaced, not followed). False
// with `error` (English) set when the folder is not the user's own or the write fails.
bool WriteRecoveryFile(const CMeshwright& scene, const std::string& documentPath, const std::string& target,
                       std::string& error);
// Splits the contents of a recovery file: the number of bytes of its scene stream, and the
// document's path ("" when it had none, or the file has no path at its end).
std::size_t SplitRecoveryFile(const std::vector<std::uint8_t>& contents, std::string& documentPath);
// Reads the recovery file at `path` whole, only when it is a regular file of this user (opened
// without following a link, checked on what was opened). False otherwise.
bool ReadOwnRecoveryFile(const QString& path, std::vector<std::uint8_t>& contents);

// $XDG_STATE_HOME/meshwright, or ~/.local/state/meshwright.
QString RecoveryFolder();
// The recovery file of process `pid`.
QString RecoveryPath(qint64 pid);
// Recovery files whose process is gone, newest first.
QStringList OrphanRecoveryFiles();

inline constexpr const char* kAutosaveFailedMessage = "自動保存できませんでした";

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

 signals:
  // A write failed: "自動保存できませんでした: <reason>", for the status bar. Told once, and again
  // only after a write has succeeded in between.
  void failed(const QString& message);

 private:
  struct Outcome {
    bool ok = true;
    std::string error;
  };
  // Takes the finished write's outcome, if there is one, and tells a failure.
  bool Collect();

  CMeshwrightDoc& doc_;
  QString path_;
  QTimer timer_;
  std::future<Outcome> writing_;
  bool failureTold_ = false;
};

// Asks whether to restore each recovery file left behind: yes restores it as a modified document
// under the path it had (the file becomes this process's own until the next save or exit), no
// deletes it, cancel keeps it for the next start. Files that are not this user's regular files
// are not offered; one message names them. Returns whether a document was restored.
bool OfferRecovery(QWidget* parent, CMeshwrightDoc& doc, const QString& ownPath);

}  // namespace mw
