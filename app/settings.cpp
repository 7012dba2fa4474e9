#include "app/settings.h"

#include <QSettings>

#include "platform/paths.h"

namespace mw {
namespace {
QSettings Store() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Orlux Meshwright アプリケーション"),
                   QStringLiteral("Meshwright"));
}
}  // namespace

QStringList LoadRecentFiles() {
  QSettings s = Store();
  s.beginGroup(QStringLiteral("Recent File List"));
  QStringList files;
  for (int i = 1; i <= 4; ++i) {
    const QString f = s.value(QStringLiteral("File%1").arg(i)).toString();
    if (!f.isEmpty()) files << f;
  }
  return files;
}

void StoreRecentFiles(const QStringList& files) {
  QSettings s = Store();
  s.beginGroup(QStringLiteral("Recent File List"));
  for (int i = 1; i <= 4; ++i) {
    if (i <= files.size()) s.setValue(QStringLiteral("File%1").arg(i), files[i - 1]);
    else s.remove(QStringLiteral("File%1").arg(i));
  }
}

QString DialogFolder() { return QString::fromStdString(ProgramFolder()); }

UndoLimits LoadUndoLimits() {
  QSettings s = Store();
  UndoLimits limits;
  bool ok = false;
  const int steps = s.value(QStringLiteral("Undo/Steps"), limits.steps).toInt(&ok);
  if (ok && steps >= 1) limits.steps = steps;
  const qint64 megabytes = s.value(QStringLiteral("Undo/Megabytes"), 512).toLongLong(&ok);
  if (ok && megabytes >= 1) limits.bytes = megabytes * 1024 * 1024;
  return limits;
}

int LoadAutosaveSeconds() {
  QSettings s = Store();
  bool ok = false;
  const int seconds = s.value(QStringLiteral("Autosave/IntervalSeconds"), 120).toInt(&ok);
  return ok && seconds >= 0 ? seconds : 120;
}

}  // namespace mw
