#include "app/autosave.h"

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <memory>

#include "app/document.h"
#include "app/ui_seam.h"
#include "scene/archive.h"
#include "scene/meshwright.h"

namespace mw {
namespace {

QByteArray ProcessName(qint64 pid) {
  QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
  if (!comm.open(QIODevice::ReadOnly)) return QByteArray();
  return comm.readAll().trimmed();
}

// A process of this program that still runs (a reused number of another program does not count).
bool Alive(qint64 pid) {
  if (pid <= 0) return false;
  if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return false;
  return ProcessName(pid) == ProcessName(getpid());
}

}  // namespace

QString RecoveryFolder() {
  const QByteArray env = qgetenv("XDG_STATE_HOME");
  const QString base = env.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/state") : QString::fromLocal8Bit(env);
  return base + QStringLiteral("/meshwright");
}

QString RecoveryPath(qint64 pid) { return RecoveryFolder() + QStringLiteral("/recovery-%1.mwr").arg(pid); }

QStringList OrphanRecoveryFiles() {
  QDir dir(RecoveryFolder());
  QStringList out;
  for (const QFileInfo& f : dir.entryInfoList({QStringLiteral("recovery-*.mwr")}, QDir::Files, QDir::Time)) {
    bool ok = false;
    const qint64 pid = f.completeBaseName().mid(9).toLongLong(&ok);
    if (ok && !Alive(pid)) out << f.absoluteFilePath();
  }
  return out;
}

Autosaver::Autosaver(CMeshwrightDoc& doc, int seconds, QObject* parent)
    : QObject(parent), doc_(doc), path_(RecoveryPath(QCoreApplication::applicationPid())) {
  connect(&timer_, &QTimer::timeout, this, &Autosaver::Tick);
  if (seconds > 0) timer_.start(seconds * 1000);
}

Autosaver::~Autosaver() {
  Wait();
  QFile::remove(path_);
}

bool Autosaver::Wait() { return writing_.valid() ? writing_.get() : true; }

void Autosaver::Tick() {
  if (writing_.valid()) {
    if (writing_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    writing_.get();
  }
  if (!doc_.modified()) {
    QFile::remove(path_);
    return;
  }
  // The copy is the only moment the interface waits; the file is written from it off the UI thread.
  auto snapshot = std::make_shared<const CMeshwright>(doc_.scene());
  const QString folder = RecoveryFolder();
  const std::string target = path_.toStdString();
  writing_ = std::async(std::launch::async, [snapshot, folder, target]() {
    if (!QDir().mkpath(folder)) return false;
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return SaveSceneFile(*snapshot, target).ok();
  });
}

bool OfferRecovery(QWidget* parent, CMeshwrightDoc& doc, const QString& ownPath) {
  for (const QString& file : OrphanRecoveryFiles()) {
    const QString when = QFileInfo(file).lastModified().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    const QMessageBox::StandardButton answer =
        Ui().Ask(parent, QStringLiteral("Meshwright が正常に終了しなかったため、保存されていない変更が残っています"
                                        "(%1 に自動保存)。\n復元しますか?\n\n"
                                        "[いいえ] を選ぶと自動保存されたファイルを削除します。")
                             .arg(when));
    if (answer == QMessageBox::Cancel) continue;
    if (answer == QMessageBox::No) {
      QFile::remove(file);
      continue;
    }
    if (!doc.Recover(file)) {
      Ui().Message(parent, QStringLiteral("自動保存されたファイルを読み込めませんでした。\n") + file,
                   QMessageBox::Warning);
      continue;
    }
    // Until this process saves its own, the restored file stays as its recovery file.
    QFile::remove(ownPath);
    QFile::rename(file, ownPath);
    return true;
  }
  return false;
}

}  // namespace mw
