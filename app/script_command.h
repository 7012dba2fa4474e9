// スクリプト menu: runs a Python file on the open document as one step of the history, shows what
// it prints in an output pane, and keeps the last scripts in a recent list.
//
// The script runs on the interface thread; the window is blocked meanwhile, and after half a
// second a small dialog offers キャンセル, which stops Python at its next line. A script that
// fails or is cancelled leaves the document exactly as it was and no step behind.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QDockWidget;
class QMainWindow;
class QMenu;
class QPlainTextEdit;

namespace mw {

class CMeshwrightDoc;

class ScriptCommands : public QObject {
  Q_OBJECT
 public:
  ScriptCommands(CMeshwrightDoc& doc, QMainWindow* window);

  // 実行…: asks for a file, then Run.
  void RunChosen();
  // Runs the script at `path`; true when it finished without an error.
  bool Run(const QString& path);
  void ToggleOutput();
  bool OutputVisible() const;
  // The recent scripts, newest first (at most four), as items of `menu`.
  void FillRecentMenu(QMenu* menu);
  QStringList RecentScripts() const;
  QPlainTextEdit* output() const { return text_; }

 signals:
  void status(const QString& text);

 private:
  void Append(const QString& text);
  CMeshwrightDoc& doc_;
  QMainWindow* window_;
  QDockWidget* dock_;
  QPlainTextEdit* text_;
};

}  // namespace mw
