// The model list: every model by name with its display state, the current model, and the
// model commands of its context menu.
#pragma once

#include <QListWidget>
#include <functional>

class QMenu;

namespace mw {

class CMeshwrightDoc;

enum ModelCommand : int {
  kCmdModelRename = 32800,
  kCmdModelSelect = 32801,
  kCmdModelDeselect = 32802,
  kCmdModelAdd = 32803,
  kCmdModelDelete = 32804,
  kCmdModelUp = 32805,
  kCmdModelDown = 32806,
  kCmdModelMergeUp = 32807,
  kCmdModelMergeDown = 32808,
};

class CModelView : public QListWidget {
  Q_OBJECT
 public:
  explicit CModelView(CMeshwrightDoc& doc, QWidget* parent = nullptr);

  // Rebuilds on hint 0 only.
  void OnUpdate(int hint);
  void OnModelCommand(int id);
  QMenu* contextMenu() const { return menu_; }
  // Hook for tests: the menu is shown through this (the real one pops up at the cursor).
  std::function<void(QMenu*)> showMenu;

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  int HitTest(const QPoint& pos) const;

  CMeshwrightDoc& doc_;
  QMenu* menu_;
  bool renameAllowed_ = false;
  QString nameBeforeEdit_;
};

}  // namespace mw
