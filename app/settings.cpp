#include "app/settings.h"

#include <QFileInfo>
#include <QSettings>
#include <cmath>

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

namespace {
QString FolderKey(DialogUse use) {
  return use == DialogUse::kOpen ? QStringLiteral("Folders/Open") : QStringLiteral("Folders/Save");
}
}  // namespace

QString DialogFolder(DialogUse use) {
  const QString last = Store().value(FolderKey(use)).toString();
  if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
  return QString::fromStdString(ProgramFolder());
}

void StoreDialogFolder(DialogUse use, const QString& chosenFile) {
  if (chosenFile.isEmpty()) return;
  Store().setValue(FolderKey(use), QFileInfo(chosenFile).absolutePath());
}

WindowState LoadWindowState() {
  QSettings s = Store();
  s.beginGroup(QStringLiteral("Window"));
  WindowState state;
  state.geometry = s.value(QStringLiteral("Geometry")).toByteArray();
  bool ok = false;
  // A hand-edited or damaged value falls back to the opening split rather than hiding a pane.
  const int list = s.value(QStringLiteral("ListColumn")).toInt(&ok);
  if (ok && list >= 0 && list <= 4000) state.split.listWidth = list;
  const double top = s.value(QStringLiteral("TopColumnShare")).toDouble(&ok);
  if (ok && top >= 0.0 && top <= 1.0) state.split.topShare = top;
  const double row = s.value(QStringLiteral("UpperRowShare")).toDouble(&ok);
  if (ok && row >= 0.0 && row <= 1.0) state.split.rowShare = row;
  return state;
}

void StoreWindowState(const WindowState& state) {
  QSettings s = Store();
  s.beginGroup(QStringLiteral("Window"));
  s.setValue(QStringLiteral("Geometry"), state.geometry);
  s.setValue(QStringLiteral("ListColumn"), state.split.listWidth);
  s.setValue(QStringLiteral("TopColumnShare"), state.split.topShare);
  s.setValue(QStringLiteral("UpperRowShare"), state.split.rowShare);
}

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

bool LoadFrameOnOpen() { return Store().value(QStringLiteral("View/FrameOnOpen"), true).toBool(); }

bool LoadPickThrough() { return Store().value(QStringLiteral("Select/ThroughBack"), false).toBool(); }

void StorePickThrough(bool through) { Store().setValue(QStringLiteral("Select/ThroughBack"), through); }

double LoadSnapStep() {
  bool ok = false;
  const double step = Store().value(QStringLiteral("Snap/Step"), 0.0).toDouble(&ok);
  return ok && step > 0.0 && std::isfinite(step) ? step : 0.0;
}

PrimitiveChoice LoadPrimitiveChoice() {
  QSettings s = Store();
  PrimitiveChoice c;
  c.shape = s.value(QStringLiteral("Primitive/Shape"), c.shape).toString();
  c.newModel = s.value(QStringLiteral("Primitive/NewModel"), c.newModel).toBool();
  c.atCursor = s.value(QStringLiteral("Primitive/AtCursor"), c.atCursor).toBool();
  return c;
}

void StorePrimitiveChoice(const PrimitiveChoice& choice) {
  QSettings s = Store();
  s.setValue(QStringLiteral("Primitive/Shape"), choice.shape);
  s.setValue(QStringLiteral("Primitive/NewModel"), choice.newModel);
  s.setValue(QStringLiteral("Primitive/AtCursor"), choice.atCursor);
}

}  // namespace mw

namespace mw {

ViewOptions LoadViewOptions() {
  QSettings s = Store();
  ViewOptions o;
  o.style = s.value(QStringLiteral("View/Style"), o.style).toString();
  o.animateViews = s.value(QStringLiteral("View/AnimateViews"), o.animateViews).toBool();
  o.orbitSelection = s.value(QStringLiteral("View/OrbitSelection"), o.orbitSelection).toBool();
  o.zoomToPointer = s.value(QStringLiteral("View/ZoomToPointer"), o.zoomToPointer).toBool();
  o.axes = s.value(QStringLiteral("View/Axes"), o.axes).toBool();
  const QString grid = s.value(QStringLiteral("View/Grid"), QStringLiteral("111")).toString();
  for (int i = 0; i < 3; ++i) o.grid[i] = i >= grid.size() || grid[i] != QLatin1Char('0');
  return o;
}

void StoreViewOptions(const ViewOptions& o) {
  QSettings s = Store();
  s.setValue(QStringLiteral("View/Style"), o.style);
  s.setValue(QStringLiteral("View/AnimateViews"), o.animateViews);
  s.setValue(QStringLiteral("View/OrbitSelection"), o.orbitSelection);
  s.setValue(QStringLiteral("View/ZoomToPointer"), o.zoomToPointer);
  s.setValue(QStringLiteral("View/Axes"), o.axes);
  QString grid;
  for (bool g : o.grid) grid += g ? QLatin1Char('1') : QLatin1Char('0');
  s.setValue(QStringLiteral("View/Grid"), grid);
}

bool LoadKeepMirror() { return Store().value(QStringLiteral("Export/KeepMirror"), false).toBool(); }

void StoreKeepMirror(bool keep) { Store().setValue(QStringLiteral("Export/KeepMirror"), keep); }

bool LoadKnifeThroughBack() { return Store().value(QStringLiteral("Select/KnifeThroughBack"), false).toBool(); }

void StoreKnifeThroughBack(bool through) { Store().setValue(QStringLiteral("Select/KnifeThroughBack"), through); }

}  // namespace mw

namespace mw {

std::size_t LoadStandInFaces() {
  bool ok = false;
  const qlonglong n = Store().value(QStringLiteral("View/StandInFaces"), 300000).toLongLong(&ok);
  return ok && n >= 0 ? static_cast<std::size_t>(n) : 300000;
}
bool LoadRefinedWire() { return Store().value(QStringLiteral("View/RefinedWire"), false).toBool(); }

void StoreRefinedWire(bool shown) { Store().setValue(QStringLiteral("View/RefinedWire"), shown); }

}  // namespace mw
