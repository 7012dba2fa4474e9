#include "app/model_view.h"

#include <QAbstractItemDelegate>
#include <QMenu>
#include <QMouseEvent>

#include "app/commands.h"
#include "app/document.h"
#include "app/icons.h"
#include "platform/encoding.h"
#include "scene/meshwright.h"

namespace mw {

CModelView::CModelView(CMeshwrightDoc& doc, QWidget* parent) : QListWidget(parent), doc_(doc) {
  setViewMode(QListView::ListMode);
  setFlow(QListView::TopToBottom);
  setWrapping(true);
  setResizeMode(QListView::Adjust);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIconSize(QSize(19, 19));

  menu_ = new QMenu(QStringLiteral("モデル"), this);
  const std::pair<int, const char*> items[] = {{kCmdModelRename, "名前変更(&R)"},
                                               {kCmdModelSelect, "このモデルの頂点を全選択(&E)"},
                                               {kCmdModelDeselect, "このモデルの頂点を選択解除(&L)"},
                                               {kCmdModelAdd, "追加(&A)"},
                                               {kCmdModelDelete, "削除(&D)"},
                                               {kCmdModelUp, "一つ上に移動(&U)"},
                                               {kCmdModelDown, "一つ下に移動(&O)"},
                                               {kCmdModelMergeUp, "一つ上と合成(&S)"},
                                               {kCmdModelMergeDown, "一つ下と合成(&C)"}};
  for (const auto& [id, text] : items) {
    QAction* a = menu_->addAction(QString::fromUtf8(text));
    a->setData(id);
    connect(a, &QAction::triggered, this, [this, id = id]() { OnModelCommand(id); });
  }
  showMenu = [](QMenu* menu) { menu->exec(QCursor::pos()); };

  // A rename ends with the editor closing: keep a non-empty new name, else the old one.
  connect(this, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (!renameAllowed_) return;
    renameAllowed_ = false;
    const QString text = item->text();
    QSignalBlocker block(this);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    if (text.isEmpty()) {
      item->setText(nameBeforeEdit_);
      return;
    }
    const std::string name = Utf8ToCp932(text.toStdString());
    doc_.Edit(EditKind::kModelRename, [this, &name]() { doc_.scene().RenameCurrentModel(name); });
  });
  connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this](QWidget*) {
    renameAllowed_ = false;
    for (int i = 0; i < count(); ++i) {
      QSignalBlocker block(this);
      item(i)->setFlags(item(i)->flags() & ~Qt::ItemIsEditable);
    }
  });
}

void CModelView::OnUpdate(int hint) {
  if (hint != kHintAll) return;
  CMeshwright& scene = doc_.scene();
  QSignalBlocker block(this);
  clear();
  for (const CModel& m : scene.models) {
    auto* item = new QListWidgetItem(QIcon(StatePicture(m.state)), QString::fromStdString(Cp932ToUtf8(m.name)));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    addItem(item);
  }
  if (scene.currentModel < 0) {
    scene.currentModel = 0;
    if (count() > 0) setCurrentRow(0);
  } else {
    clearSelection();
    setCurrentItem(nullptr);
  }
}

int CModelView::HitTest(const QPoint& pos) const {
  const QModelIndex index = indexAt(pos);
  return index.isValid() ? index.row() : -1;
}

void CModelView::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  CMeshwright& scene = doc_.scene();
  const int hit = HitTest(pos);
  scene.currentModel = hit;
  if (event->button() == Qt::LeftButton) {
    if (hit >= 0 && pos.x() < 20) {
      int state = 0;
      doc_.Edit(EditKind::kModelState, [&scene, hit, &state]() { state = scene.CycleModelState(hit); });
      QSignalBlocker block(this);
      item(hit)->setIcon(QIcon(StatePicture(state)));
    }
    QListWidget::mousePressEvent(event);
    return;
  }
  if (event->button() == Qt::RightButton) {
    if (hit >= 0) setCurrentRow(hit);
    showMenu(menu_);
    return;
  }
  QListWidget::mousePressEvent(event);
}

void CModelView::OnModelCommand(int id) {
  setFocus();
  CMeshwright& scene = doc_.scene();
  switch (id) {
    case kCmdModelRename:
      if (scene.HasCurrentModel() && scene.currentModel < count()) {
        QListWidgetItem* it = item(scene.currentModel);
        nameBeforeEdit_ = it->text();
        renameAllowed_ = true;
        {
          QSignalBlocker block(this);
          it->setFlags(it->flags() | Qt::ItemIsEditable);
        }
        editItem(it);
      }
      break;
    case kCmdModelSelect: doc_.Edit(EditKind::kModelSelect, [&scene]() { scene.SetModelSelected(1); }); break;
    case kCmdModelDeselect: doc_.Edit(EditKind::kModelDeselect, [&scene]() { scene.SetModelSelected(0); }); break;
    case kCmdModelAdd: doc_.Edit(EditKind::kModelAdd, [&scene]() { scene.AddModel(); }); break;
    case kCmdModelDelete: doc_.Edit(EditKind::kModelDelete, [&scene]() { scene.DeleteCurrentModel(); }); break;
    case kCmdModelUp: doc_.Edit(EditKind::kModelUp, [&scene]() { scene.MoveCurrentModelUp(); }); break;
    case kCmdModelDown: doc_.Edit(EditKind::kModelDown, [&scene]() { scene.MoveCurrentModelDown(); }); break;
    case kCmdModelMergeUp: doc_.Edit(EditKind::kModelMergeUp, [&scene]() { scene.MergeCurrentModelUp(); }); break;
    case kCmdModelMergeDown: doc_.Edit(EditKind::kModelMergeDown, [&scene]() { scene.MergeCurrentModelDown(); }); break;
    default: return;
  }
}

}  // namespace mw
