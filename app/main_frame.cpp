#include "app/main_frame.h"

#include <QListWidget>
#include <QSplitter>
#include <QTreeWidget>

#include "scene/meshwright.h"
#include "view/ortho_pane.h"
#include "view/perspective_pane.h"

namespace mw {

CMainFrame::CMainFrame(CMeshwright& scene, QWidget* parent) : QMainWindow(parent), scene_(scene) {
  setWindowTitle(QStringLiteral("無題 - Meshwright"));

  // One horizontal splitter of three vertical ones; the vertical splitters are kept in step so
  // the rows line up across the columns like one 2 x 3 grid.
  columns_ = new QSplitter(Qt::Horizontal, this);
  for (auto& column : rows_) {
    column = new QSplitter(Qt::Vertical, columns_);
    column->setChildrenCollapsible(false);
    columns_->addWidget(column);
  }
  columns_->setChildrenCollapsible(false);

  modelList_ = new QListWidget(rows_[0]);
  materialList_ = new QTreeWidget(rows_[0]);
  materialList_->setHeaderHidden(true);
  materialList_->setColumnCount(2);
  rows_[0]->addWidget(modelList_);
  rows_[0]->addWidget(materialList_);

  perspective_ = new PerspectivePane(scene_, rows_[2]);
  ortho_[kPlaneTop] = new OrthoPane(scene_, orthoShared_, kPlaneTop, rows_[1]);
  ortho_[kPlaneFace] = new OrthoPane(scene_, orthoShared_, kPlaneFace, rows_[1]);
  ortho_[kPlaneLeft] = new OrthoPane(scene_, orthoShared_, kPlaneLeft, rows_[2]);
  rows_[1]->addWidget(ortho_[kPlaneTop]);
  rows_[1]->addWidget(ortho_[kPlaneFace]);
  rows_[2]->addWidget(perspective_);
  rows_[2]->addWidget(ortho_[kPlaneLeft]);

  for (QSplitter* column : rows_) {
    connect(column, &QSplitter::splitterMoved, this, [this, column]() {
      const QList<int> sizes = column->sizes();
      for (QSplitter* other : rows_)
        if (other != column) other->setSizes(sizes);
    });
  }

  setCentralWidget(columns_);
  resize(1024, 768);
  columns_->setSizes({124, 450, 450});
  KeepRowsAligned();
}

void CMainFrame::KeepRowsAligned() {
  for (QSplitter* column : rows_) column->setSizes({1, 1});
}

}  // namespace mw
