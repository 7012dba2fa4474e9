#include "app/autosave.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <memory>

#include "app/document.h"
#include "app/ui_seam.h"
#include "platform/atomic_file.h"
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

namespace {

constexpr char kRecoveryMagic[8] = {'M', 'W', 'R', 'E', 'C', 'O', 'V', '1'};

// The state folder is written only when it is a folder of this user's (not a link to one).
bool OwnFolder(const std::string& folder, std::string& error) {
  struct stat st;
  if (lstat(folder.c_str(), &st) != 0) {
    error = folder + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
    error = folder + ": not a folder of this user's";
    return false;
  }
  return true;
}

}  // namespace

bool WriteRecoveryFile(const CMeshwright& scene, const std::string& documentPath, const std::string& target,
                       std::string& error) {
  const std::string folder = target.substr(0, target.rfind('/'));
  if (!OwnFolder(folder, error)) return false;
  // Whatever stands at our name and is not our own file goes first: the writer would replace the
  // file a link leads to, or fail on another user's file at every save.
  struct stat st;
  if (lstat(target.c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_uid != getuid()) &&
      unlink(target.c_str()) != 0) {
    error = target + ": " + std::strerror(errno);
    return false;
  }
  AtomicFileWriter out(target);
  const bool written = WriteScene(scene, [&out](const void* data, std::size_t n) { return out.Write(data, n); });
  const auto length = static_cast<std::uint32_t>(documentPath.size());
  const std::uint8_t count[4] = {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                                 static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
  if (!written || !out.Write(documentPath.data(), documentPath.size()) || !out.Write(count, 4) ||
      !out.Write(kRecoveryMagic, sizeof kRecoveryMagic) || !out.Commit()) {
    error = out.error().empty() ? target + ": write failed" : out.error();
    return false;
  }
  return true;
}

std::size_t SplitRecoveryFile(const std::vector<std::uint8_t>& contents, std::string& documentPath) {
  documentPath.clear();
  const std::size_t n = contents.size();
  if (n < 12 || std::memcmp(contents.data() + n - 8, kRecoveryMagic, 8) != 0) return n;
  const std::uint8_t* c = contents.data() + n - 12;
  const std::uint32_t length = c[0] | (c[1] << 8) | (c[2] << 16) | (static_cast<std::uint32_t>(c[3]) << 24);
  if (length > n - 12 || length > 65536) return n;
  documentPath.assign(reinterpret_cast<const char*>(contents.data()) + (n - 12 - length), length);
  return n - 12 - length;
}

bool ReadOwnRecoveryFile(const QString& path, std::vector<std::uint8_t>& contents) {
  const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == getuid();
  if (ok) {
    contents.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (ok && done < contents.size()) {
      const ssize_t got = read(fd, contents.data() + done, contents.size() - done);
      if (got < 0 && errno == EINTR) continue;
      ok = got > 0;
      if (ok) done += static_cast<std::size_t>(got);
    }
  }
  close(fd);
  return ok;
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

bool Autosaver::Wait() {
  if (!writing_.valid()) return true;
  writing_.wait();
  return Collect();
}

bool Autosaver::Collect() {
  if (!writing_.valid() || writing_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return true;
  const Outcome outcome = writing_.get();
  if (outcome.ok) {
    failureTold_ = false;
  } else if (!failureTold_) {
    failureTold_ = true;
    emit failed(QString::fromUtf8(kAutosaveFailedMessage) + QStringLiteral(": ") + QString::fromStdString(outcome.error));
  }
  return outcome.ok;
}

void Autosaver::Tick() {
  if (writing_.valid()) {
    if (writing_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    Collect();
  }
  if (!doc_.modified()) {
    QFile::remove(path_);
    return;
  }
  // The copy is the only moment the interface waits; the file is written from it off the UI thread.
  auto snapshot = std::make_shared<const CMeshwright>(doc_.scene());
  const QString folder = RecoveryFolder();
  const std::string target = path_.toStdString();
  const std::string documentPath = doc_.path().toStdString();
  writing_ = std::async(std::launch::async, [this, snapshot, folder, target, documentPath]() {
    Outcome outcome;
    if (!QDir().mkpath(folder)) {
      outcome.ok = false;
      outcome.error = folder.toStdString() + ": " + std::strerror(errno);
    } else {
      QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
      outcome.ok = WriteRecoveryFile(*snapshot, documentPath, target, outcome.error);
    }
    // Told as soon as it is known, on the interface's thread (dropped if the saver is gone).
    QMetaObject::invokeMethod(this, [this]() { Collect(); }, Qt::QueuedConnection);
    return outcome;
  });
}

bool OfferRecovery(QWidget* parent, CMeshwrightDoc& doc, const QString& ownPath) {
  // Only this user's own regular files are offered: a link (which would lead restoring, and every
  // later autosave, to another file) or another user's file is named and left alone.
  QStringList offered, refused;
  std::vector<std::vector<std::uint8_t>> contents;
  for (const QString& file : OrphanRecoveryFiles()) {
    std::vector<std::uint8_t> bytes;
    if (ReadOwnRecoveryFile(file, bytes)) {
      offered << file;
      contents.push_back(std::move(bytes));
    } else {
      refused << file;
    }
  }
  if (!refused.isEmpty())
    Ui().Message(parent,
                 QStringLiteral("次の自動保存ファイルはシンボリックリンクか、ほかのユーザーのファイルのため、復元しません。\n") +
                     refused.join(QLatin1Char('\n')),
                 QMessageBox::Warning);
  for (qsizetype i = 0; i < offered.size(); ++i) {
    const QString& file = offered[i];
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
    if (!doc.Recover(contents[static_cast<std::size_t>(i)])) {
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
