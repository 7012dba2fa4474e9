// The program's settings: INI file under the organisation "Orlux Meshwright アプリケーション",
// application "Meshwright"; the recent-file list is group "Recent File List", keys File1..File4.
#pragma once

#include <QByteArray>
#include <cstddef>
#include <QString>
#include <QStringList>

namespace mw {

QStringList LoadRecentFiles();
void StoreRecentFiles(const QStringList& files);
// The file dialogs start where the user last opened or saved a file; the program's folder the
// first time, or when that folder has gone.
enum class DialogUse { kOpen, kSave };
QString DialogFolder(DialogUse use);
// Remembers the folder of a file chosen in a dialog.
void StoreDialogFolder(DialogUse use, const QString& chosenFile);

// The split of the six panes, as proportions, so that any window size can be laid out from it.
struct PaneSplit {
  int listWidth = 124;    // the model and material lists keep their width in pixels
  double topShare = 0.5;  // the Top/Face column's share of the width the lists leave
  double rowShare = 0.5;  // the upper row's share of the height
};
// Group "Window": the frame's geometry (size, place and maximised state, as QWidget saves it) and
// the split of the panes, read at start and written when the window closes.
struct WindowState {
  QByteArray geometry;  // empty: never saved
  PaneSplit split;
};
WindowState LoadWindowState();
void StoreWindowState(const WindowState& state);

// Group "Undo": how many steps and how many megabytes the undo history keeps at most (the oldest
// steps go first). Group "Autosave": seconds between recovery saves, 0 for none.
struct UndoLimits {
  int steps = 100;
  qint64 bytes = 512LL * 1024 * 1024;
};
UndoLimits LoadUndoLimits();
int LoadAutosaveSeconds();

// Group "View": FrameOnOpen (default true) frames a document once after it opens or is read in,
// when some of it lies outside the panes. Group "Snap": Step, the grid snapping step in model
// units; 0 (the default) follows the zoom.
bool LoadFrameOnOpen();
double LoadSnapStep();
// Group "Select": ThroughBack (default false), clicks and bands in the perspective pane reach what
// faces hide (「背面も選択」).
bool LoadPickThrough();
void StorePickThrough(bool through);

// Group "Primitive": what the 基本図形 dialog was last accepted with: Shape (the keyword mwconv
// --add takes, "sphere"), NewModel (a model of its own) and AtCursor (else the centre of the panes).
struct PrimitiveChoice {
  QString shape = QStringLiteral("sphere");
  bool newModel = false;
  bool atCursor = true;
};
PrimitiveChoice LoadPrimitiveChoice();
void StorePrimitiveChoice(const PrimitiveChoice& choice);

}  // namespace mw

namespace mw {

// Group "View", the view controls of the 表示 menu: Style (the words of --style, "shaded" by
// default), AnimateViews (the views along the axes turn to their place; default true),
// OrbitSelection and ZoomToPointer (default false: the camera drags stay as they always were),
// Axes (the axes in the perspective pane's corner; default false, the pane as it has always been)
// and Grid (the orthographic panes whose grid is shown, Top Face Left as three 0/1 letters;
// default "111").
struct ViewOptions {
  QString style = QStringLiteral("shaded");
  bool animateViews = true;
  bool orbitSelection = false;
  bool zoomToPointer = false;
  bool axes = false;
  bool grid[3] = {true, true, true};
};
ViewOptions LoadViewOptions();
void StoreViewOptions(const ViewOptions& options);

// Group "Export": KeepMirror (default false), 「鏡面をファイルに残す」 as last chosen when a
// document with symmetric modelling was saved as Metasequoia.
bool LoadKeepMirror();
void StoreKeepMirror(bool keep);

// Group "Select": KnifeThroughBack (default false), the perspective pane's knife cuts faces turned
// away or hidden too (「背面も切る」).
bool LoadKnifeThroughBack();
void StoreKnifeThroughBack(bool through);

}  // namespace mw

namespace mw {

// Group "View": StandInFaces, the number of faces in the visible models above which the
// perspective pane draws a simplified stand-in while the camera moves (default 300,000; 0 never).
std::size_t LoadStandInFaces();
// Whether the orthographic panes draw the refined surfaces' wire in grey (off by default).
bool LoadRefinedWire();
void StoreRefinedWire(bool shown);

}  // namespace mw
