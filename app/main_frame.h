// The main window: six panes in two rows and three columns.
//
//   model list    | Top  | perspective
//   material list | Face | Left
#pragma once

#include <QMainWindow>

#include "view/ortho_pane.h"

class QListWidget;
class QSplitter;
class QTreeWidget;

namespace mw {

class CMeshwright;
class OrthoPane;
class PerspectivePane;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(CMeshwright& scene, QWidget* parent = nullptr);

  PerspectivePane* perspectivePane() const { return perspective_; }
  OrthoPane* orthoPane(int plane) const { return ortho_[plane]; }
  QListWidget* modelList() const { return modelList_; }
  QTreeWidget* materialList() const { return materialList_; }

 private:
  void KeepRowsAligned();

  CMeshwright& scene_;
  OrthoShared orthoShared_;
  QSplitter* columns_ = nullptr;
  QSplitter* rows_[3] = {};
  QListWidget* modelList_ = nullptr;
  QTreeWidget* materialList_ = nullptr;
  OrthoPane* ortho_[3] = {};
  PerspectivePane* perspective_ = nullptr;
};

}  // namespace mw
