// Start-up: the command line, the desktop's file-type registration, the automation mode, the
// window.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

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

// The thumbnailer's file name; it is installed beside the program.
inline constexpr const char* kThumbnailerName = "meshwright-thumbnailer";

// `meshwright --render OUT.png [--size W×H] FILE` (x also separates the sides; 640×480 unless
// given): draws FILE as the perspective pane would, fitted to the picture, into OUT.png, with no
// window and no display. Returns the exit status (0 written, 1 FILE could not be read, 2 usage,
// 3 OUT could not be drawn or written), or nothing when the arguments hold no --render.
std::optional<int> RunRenderCommand(int argc, char** argv);

// Runs the program; returns the process exit code.
int RunApplication(int argc, char** argv);

}  // namespace mw
