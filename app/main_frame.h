// The main window: menus, toolbar, status bar, and six panes in two rows and three columns.
//
//   model list    | Top  | perspective
//   material list | Face | Left
#pragma once

#include <QMainWindow>
#include <QMap>
#include <functional>

#include "app/command_registry.h"
#include "app/modelling_commands.h"
#include "app/settings.h"
#include "render/display_style.h"
#include "scene/camera_moves.h"
#include "scene/frame_view.h"
#include "view/ortho_pane.h"
#include "view/pane_host.h"

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QMenu;
class QMimeData;
class QSplitter;
class QVariantAnimation;

namespace mw {

class ExtrudeFollow;

class CMeshwright;
class CMeshwrightDoc;
class CModelView;
class CMaterialView;
class ReadProgress;
struct DocumentRead;
class PerspectivePane;
class UVEditorDock;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  CMainFrame(CMeshwright& scene, CMeshwrightDoc& doc, QWidget* parent = nullptr);

  PerspectivePane* perspectivePane() const { return perspective_; }
  OrthoPane* orthoPane(int plane) const { return ortho_[plane]; }
  CModelView* modelList() const { return modelList_; }
  CMaterialView* materialList() const { return materialList_; }
  QAction* action(int command) const { return commands_.Action(command); }
  const CommandRegistry& commands() const { return commands_; }
  // The status bar's counts of the current model: 「頂点 12/480 辺 … 面 …」.
  QLabel* counts() const { return counts_; }
  QMenu* recentMenu() const { return recentMenu_; }
  QSplitter* columns() const { return columns_; }
  QSplitter* column(int i) const { return rows_[i]; }
  // The proportions the panes are laid out in (the user's drags change them).
  const PaneSplit& split() const { return split_; }
  // The CAP, NUM and SCRL panes of the status bar.
  QLabel* indicator(int i) const { return indicators_[i]; }
  // Reads the lock keys into the indicators (also done four times a second).
  void UpdateIndicators();

  // Runs a command as its menu item, button or key does.
  void Execute(int command);
  // Opens a file as the recent-file list, the command line and dropped files do: first the
  // save-changes question (not for a file no format reads: it is refused without one), then the
  // open; the file becomes the document's path only when it was read.
  bool OpenFromShell(const QString& path);
  // A drop on the window: the first local file is opened as from the shell.
  void OpenDropped(const QMimeData& dropped);
  // Repaints the four 3D panes.
  void Refresh3D();
  void RefreshOrtho();
  // Check marks and enabled states from the scene.
  void UpdateCommandStates();
  // While an open reads: the progress bar and the button that cancels it (shown in the status bar
  // once the read has taken a moment).
  QProgressBar* loadProgressBar() const { return loadBar_; }
  QPushButton* loadCancelButton() const { return loadCancel_; }
  // How the numeric input dialogs are run (tests answer them).
  std::function<int(QDialog&)> runDialog;
  // Frame all once after a document opens outside the panes or as a dot in them (the settings'
  // View/FrameOnOpen).
  bool frameOnOpen = true;
  // The client sizes of the four 3D panes.
  FrameViewports Viewports() const;
  // Frames every visible vertex, or the selected ones, in every pane (one step, as the camera
  // changes); false, with a word in the status bar, when there is none.
  bool FrameView(bool selectedOnly);
  // Frames everything when some visible vertex lies outside a pane.
  void FrameIfOutside(bool mayWait = true);
  // Grid snapping and the box being dragged, shared by the orthographic panes.
  PaneTools& paneTools() { return orthoShared_.tools; }
  const PanOffsets& pan() const { return orthoShared_.pan; }
  void ResetPan() {
    orthoShared_.pan = PanOffsets();
    Refresh3D();
  }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  void BuildPanes();
  void ApplySplit();
  void LayOutColumns();
  void LayOutRows(QSplitter& column);
  void UpdateTitle();
  void RebuildRecentMenu();
  void OnUpdateAllViews(int hint);
  void FileOpen();
  void FileSave();
  void FileSaveAs();
  void CyclePane(int step);
  void ReadInBackground(DocumentRead& read);
  // The mesh tools that report in the status bar.
  void Weld();
  void FlipFaces();
  void OpenHelp();
  void UpdateCounts();

  CMeshwright& scene_;
  CMeshwrightDoc& doc_;
  OrthoShared orthoShared_;
  PaneHost host_;
  CommandRegistry commands_{this};
  bool facesSelected_ = false;  // as of the last UpdateCommandStates
  QLabel* counts_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  QSplitter* columns_ = nullptr;
  QSplitter* rows_[3] = {};
  CModelView* modelList_ = nullptr;
  CMaterialView* materialList_ = nullptr;
  OrthoPane* ortho_[3] = {};
  PerspectivePane* perspective_ = nullptr;
  QLabel* indicators_[3] = {};
  PaneSplit split_;
  bool clipboardHasFragment_ = false;
  QProgressBar* loadBar_ = nullptr;
  QPushButton* loadCancel_ = nullptr;
  ReadProgress* reading_ = nullptr;  // the open being read, while it is
  bool closeAfterRead_ = false;
  float weldDistance_ = 0.001f;  // the weld dialog opens with the last distance used
  ExtrudeFollow* extrudeFollow_ = nullptr;  // extrude's pointer-follow, made at its first use

  // The view controls (main_frame_views.cpp).
 public:
  // The pane under the pointer (else the one with the focus) fills the 3D area beside the lists,
  // or the enlarged pane gives the four back their split.
  void ToggleEnlargedPane(QWidget* pane = nullptr);
  QWidget* enlargedPane() const { return enlarged_; }
  // Reads the pictures the document names into the orthographic panes; `report` lists those
  // that cannot be read in one message.
  void SyncReferencePictures(bool report);
  // Sets the reference picture of a pane (or removes it, when `file` is empty); marks the
  // document changed.
  void SetReferencePicture(const ReferencePicture& picture, const QString& file);
  // The status-bar field that shows the grid step.
  QLabel* gridStepLabel() const { return gridStep_; }
  void UpdateGridStep();

 private:
  void BuildViewCommands();
  void ApplyViewOptions();
  void AddViewMenus(QMenu* view);
  void SetStyle(const DisplayStyle& style);
  void ShowAxisView(AxisView view);
  void EditReferencePicture();
  void MeasureReference();
  void StoreViewChoices();
  QWidget* PaneForCommand() const;
  QWidget* enlarged_ = nullptr;
  ViewOptions viewOptions_;
  QLabel* gridStep_ = nullptr;
  QString loadedReferences_[3];  // the file each pane's picture was read from
  QVariantAnimation* viewTurn_ = nullptr;
  ModellingChoices modellingChoices_;  // what the modelling verbs' dialogs were last given

 public:
  // The UV window (app/uv_editor_commands.h).
  UVEditorDock* uvEditor() const { return uvEditor_; }

 private:
  UVEditorDock* uvEditor_ = nullptr;
};

}  // namespace mw
