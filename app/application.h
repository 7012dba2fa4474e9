// Start-up: the command line, the desktop's file-type registration, the automation mode, the
// window.
#pragma once

#include <QString>
#include <QStringList>

namespace mw {

struct CommandLine {
  bool registerTypes = false;
  bool unregisterTypes = false;
  bool automation = false;  // --automation or --embedding: no window
  QString file;
  QString error;
};

CommandLine ParseCommandLine(const QStringList& arguments);

// The desktop entry and the MIME type of .mwr documents under $XDG_DATA_HOME (or
// ~/.local/share). Returns an empty string on success, else what went wrong.
QString RegisterFileTypes(const QString& executable);
QString UnregisterFileTypes();

// Runs the program; returns the process exit code.
int RunApplication(int argc, char** argv);

}  // namespace mw
