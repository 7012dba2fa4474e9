// The material list: a colour swatch and the name of every material, the current material, the
// add and delete commands, and the material dialog on a double click.
#pragma once

#include <QTreeWidget>
#include <functional>

class QMenu;

namespace mw {

class CMeshwrightDoc;
class CMaterial;

// The swatch colour of a material: each of red, green, blue times 255, truncated.
QColor SwatchColour(const CMaterial& material);

enum MaterialCommand : int { kCmdMaterialAdd = 32788, kCmdMaterialDelete = 32830 };

class CMaterialView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit CMaterialView(CMeshwrightDoc& doc, QWidget* parent = nullptr);

  // Rebuilds on every update.
  void OnUpdate(int hint);
  void OnMaterialCommand(int id);
  // Edits material `index` in the material dialog and writes it back on OK.
  void EditMaterial(int index);

  QMenu* contextMenu() const { return menu_; }
  std::function<void(QMenu*)> showMenu;  // replaced by tests

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  int HitTest(const QPoint& pos) const;
  void SelectRow(int row);

  CMeshwrightDoc& doc_;
  QMenu* menu_;
};

}  // namespace mw
