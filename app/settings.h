// The program's settings: INI file under the organisation "Orlux Meshwright アプリケーション",
// application "Meshwright"; the recent-file list is group "Recent File List", keys File1..File4.
#pragma once

#include <QString>
#include <QStringList>

namespace mw {

QStringList LoadRecentFiles();
void StoreRecentFiles(const QStringList& files);
// Folder the file dialogs open in: the program's folder.
QString DialogFolder();

// Group "Undo": how many steps and how many megabytes the undo history keeps at most (the oldest
// steps go first). Group "Autosave": seconds between recovery saves, 0 for none.
struct UndoLimits {
  int steps = 100;
  qint64 bytes = 512LL * 1024 * 1024;
};
UndoLimits LoadUndoLimits();
int LoadAutosaveSeconds();

}  // namespace mw
