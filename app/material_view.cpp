#include "app/material_view.h"

#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "app/commands.h"
#include "app/document.h"
#include "app/material_dialog.h"
#include "platform/encoding.h"
#include "scene/meshwright.h"

namespace mw {
namespace {

// Draws the cells as the list always has: the swatch in the material's colour, the highlighted
// row in the system's highlight colours (the swatch keeps its colour).
class SwatchDelegate : public QStyledItemDelegate {
 public:
  SwatchDelegate(CMeshwright& scene, QObject* parent) : QStyledItemDelegate(parent), scene_(scene) {}

  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QPalette& pal = option.palette;
    const bool selected = option.state & QStyle::State_Selected;
    p->fillRect(option.rect, selected ? pal.highlight() : pal.base());
    QColor text = selected ? pal.highlightedText().color() : pal.text().color();
    const int row = index.row();
    if (index.column() == 0 && row >= 0 && static_cast<std::size_t>(row) < scene_.materials.size())
      text = SwatchColour(scene_.materials[static_cast<std::size_t>(row)]);
    const QString s = index.data().toString();
    if (s.isEmpty()) return;
    p->setPen(text);
    p->drawText(option.rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, s);
  }

 private:
  CMeshwright& scene_;
};

}  // namespace

QColor SwatchColour(const CMaterial& m) {
  auto channel = [](float v) {
    const double c = static_cast<double>(v) * 255.0;
    return c >= 255.0 ? 255 : (c > 0.0 ? static_cast<int>(c) : 0);
  };
  return QColor(channel(m.color[0]), channel(m.color[1]), channel(m.color[2]));
}

CMaterialView::CMaterialView(CMeshwrightDoc& doc, QWidget* parent) : QTreeWidget(parent), doc_(doc) {
  setColumnCount(2);
  setHeaderLabels({QStringLiteral("色"), QStringLiteral("名前")});
  setHeaderHidden(true);
  setColumnWidth(0, 22);
  setColumnWidth(1, 100);
  setRootIsDecorated(false);
  setIndentation(0);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setItemDelegate(new SwatchDelegate(doc.scene(), this));

  menu_ = new QMenu(QStringLiteral("マテリアル"), this);
  QAction* add = menu_->addAction(QStringLiteral("追加(&A)"));
  add->setData(kCmdMaterialAdd);
  connect(add, &QAction::triggered, this, [this]() { OnMaterialCommand(kCmdMaterialAdd); });
  QAction* del = menu_->addAction(QStringLiteral("削除(&D)"));
  del->setData(kCmdMaterialDelete);
  connect(del, &QAction::triggered, this, [this]() { OnMaterialCommand(kCmdMaterialDelete); });
  showMenu = [](QMenu* menu) { menu->exec(QCursor::pos()); };
}

void CMaterialView::OnUpdate(int hint) {
  if (hint == kHint3D || hint == kHintOrtho || hint == kHintDrawn) return;
  CMeshwright& scene = doc_.scene();
  QSignalBlocker block(this);
  clear();
  for (const CMaterial& m : scene.materials) {
    auto* item = new QTreeWidgetItem(QStringList{QStringLiteral("■"), QString::fromStdString(Cp932ToUtf8(m.name))});
    addTopLevelItem(item);
  }
  if (scene.currentMaterial < 0) {
    scene.currentMaterial = 0;
    SelectRow(0);
  }
  viewport()->update();
}

int CMaterialView::HitTest(const QPoint& pos) const {
  const QModelIndex index = indexAt(pos);
  return index.isValid() ? index.row() : -1;
}

void CMaterialView::SelectRow(int row) {
  if (row >= 0 && row < topLevelItemCount()) {
    setCurrentItem(topLevelItem(row));
    topLevelItem(row)->setSelected(true);
  } else {
    clearSelection();
  }
}

void CMaterialView::mousePressEvent(QMouseEvent* event) {
  const int hit = HitTest(event->position().toPoint());
  doc_.scene().currentMaterial = hit;
  SelectRow(hit);
  if (event->button() == Qt::RightButton) {
    showMenu(menu_);
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

void CMaterialView::mouseDoubleClickEvent(QMouseEvent* event) {
  const int hit = HitTest(event->position().toPoint());
  doc_.scene().currentMaterial = hit;
  if (hit >= 0) {
    SelectRow(hit);
    EditMaterial(hit);
  }
}

void CMaterialView::OnMaterialCommand(int id) {
  setFocus();
  CMeshwright& scene = doc_.scene();
  if (id == kCmdMaterialAdd) doc_.Edit(EditKind::kMaterialAdd, [&scene]() { scene.AddMaterial(); });
  else if (id == kCmdMaterialDelete)
    doc_.Edit(EditKind::kMaterialDelete, [&scene]() { scene.DeleteCurrentMaterial(); });
}

void CMaterialView::EditMaterial(int index) {
  CMeshwright& scene = doc_.scene();
  if (index < 0 || static_cast<std::size_t>(index) >= scene.materials.size()) return;
  CDlgMaterial dialog(scene.materials[static_cast<std::size_t>(index)], this);
  if (dialog.exec() != QDialog::Accepted) return;
  doc_.Edit(EditKind::kMaterialEdit, [&]() { dialog.WriteBack(scene, static_cast<std::size_t>(index)); });
}

}  // namespace mw
