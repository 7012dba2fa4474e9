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

}  // namespace mw
