#include "app/script_command.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QScrollBar>
#include <QSettings>

#include "app/document.h"
#include "app/settings.h"
#include "app/ui_seam.h"
#include "python/script_runner.h"

namespace mw {

namespace {

constexpr int kRecentScripts = 4;
const char* const kRecentGroup = "Recent Script List";

QSettings Store() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Orlux Meshwright アプリケーション"),
                   QStringLiteral("Meshwright"));
}

void Remember(const QString& path) {
  QSettings s = Store();
  s.beginGroup(QString::fromLatin1(kRecentGroup));
  QStringList list;
  for (int i = 1; i <= kRecentScripts; ++i) {
    const QString f = s.value(QStringLiteral("File%1").arg(i)).toString();
    if (!f.isEmpty() && f != path) list << f;
  }
  list.prepend(path);
  while (list.size() > kRecentScripts) list.removeLast();
  s.remove(QString());
  for (int i = 0; i < list.size(); ++i) s.setValue(QStringLiteral("File%1").arg(i + 1), list[i]);
}

}  // namespace

ScriptCommands::ScriptCommands(CMeshwrightDoc& doc, QMainWindow* window)
    : QObject(window), doc_(doc), window_(window), dock_(new QDockWidget(QStringLiteral("スクリプトの出力"), window)),
      text_(new QPlainTextEdit(dock_)) {
  setObjectName(QStringLiteral("scriptCommands"));
  dock_->setObjectName(QStringLiteral("scriptOutput"));
  text_->setReadOnly(true);
  text_->setMaximumBlockCount(5000);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The pane only shows: Ctrl+Z right after a script must reach the history, not the text.
  text_->setFocusPolicy(Qt::NoFocus);
  dock_->setWidget(text_);
  window->addDockWidget(Qt::BottomDockWidgetArea, dock_);
  dock_->hide();
}

QStringList ScriptCommands::RecentScripts() const {
  QSettings s = Store();
  s.beginGroup(QString::fromLatin1(kRecentGroup));
  QStringList list;
  for (int i = 1; i <= kRecentScripts; ++i) {
    const QString f = s.value(QStringLiteral("File%1").arg(i)).toString();
    if (!f.isEmpty()) list << f;
  }
  return list;
}

void ScriptCommands::FillRecentMenu(QMenu* menu) {
  menu->clear();
  const QStringList list = RecentScripts();
  if (list.isEmpty()) {
    menu->addAction(QStringLiteral("最近使ったスクリプト"))->setEnabled(false);
    return;
  }
  for (int i = 0; i < list.size(); ++i) {
    const QString path = list[i];
    QAction* a = menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
    a->setStatusTip(path);
    connect(a, &QAction::triggered, this, [this, path]() { Run(path); });
  }
}

void ScriptCommands::RunChosen() {
  const QString path = Ui().OpenFileName(window_, DialogFolder(DialogUse::kOpen),
                                         QStringLiteral("Pythonスクリプト(*.py);;全てのファイル(*)"), QStringLiteral("py"));
  if (!path.isEmpty()) Run(path);
}

void ScriptCommands::ToggleOutput() { dock_->setVisible(dock_->isHidden()); }
bool ScriptCommands::OutputVisible() const { return !dock_->isHidden(); }

void ScriptCommands::Append(const QString& text) {
  QTextCursor end(text_->document());
  end.movePosition(QTextCursor::End);
  end.insertText(text);
  text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
}

bool ScriptCommands::Run(const QString& path) {
  if (doc_.loading() || doc_.editing()) return false;
  QPointer<QWidget> focus = QApplication::focusWidget();
  Remember(path);
  dock_->show();
  Append(QStringLiteral("▶ %1\n").arg(QFileInfo(path).fileName()));

  // The dialog appears only for a script that takes a while; until then events are still looked
  // at, so the window repaints.
  QProgressDialog wait(QStringLiteral("スクリプトを実行しています..."), QStringLiteral("キャンセル"), 0, 0, window_);
  wait.setWindowTitle(QStringLiteral("Meshwright"));
  wait.setWindowModality(Qt::ApplicationModal);
  wait.setMinimumDuration(500);
  wait.setAutoReset(false);
  wait.setAutoClose(false);
  bool cancelled = false;
  QElapsedTimer clock;
  clock.start();
  ScriptHooks hooks;
  hooks.output = [this](std::string_view t) { Append(QString::fromUtf8(t.data(), static_cast<int>(t.size()))); };
  hooks.cancelRequested = [&]() {
    if (clock.elapsed() >= 500 && !wait.isVisible()) wait.show();
    QCoreApplication::processEvents();
    cancelled = cancelled || wait.wasCanceled();
    return cancelled;
  };
  ScriptResult result;
  const std::string file = path.toStdString();
  const std::string document = doc_.path().toStdString();
  const bool ok = doc_.EditOrRevert(EditKind::kScript, [&]() {
    result = RunScript(doc_.scene(), file, document, hooks);
    return result.ok;
  });
  wait.hide();
  if (focus) focus->setFocus();
  const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
  if (ok) {
    emit status(QStringLiteral("スクリプト %1 を実行しました (%2 秒)").arg(QFileInfo(path).fileName()).arg(seconds, 0, 'f', 2));
    return true;
  }
  Append(QString::fromStdString(result.error));
  if (!result.error.empty() && result.error.back() != '\n') Append(QStringLiteral("\n"));
  emit status(result.cancelled ? QStringLiteral("スクリプトをキャンセルしました。ドキュメントは元のままです。")
                               : QStringLiteral("スクリプトでエラーが起きました。ドキュメントは元のままです。"));
  return false;
}

}  // namespace mw
