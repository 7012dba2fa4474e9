// The 基本図形 command in the real window: the dialog previews its shape in every pane, キャンセル
// leaves nothing, OK adds the shape selected as one step of the history, and the choices come back.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>

#include "app/commands.h"
#include "app/model_view.h"
#include "tests/app/app_fixture.h"
#include "view/primitive_dialog.h"

namespace mw {
namespace {

using test::AppTest;

using test::DifferingPixels;

TEST_F(AppTest, TheShapeDialogPreviewsInEveryPaneCancelsToNothingAndAddsOneStep) {
  MW_REQUIRE_DISPLAY();
  doc_->Edit(EditKind::kMaterialAdd, [this]() { scene_.AddMaterial(); });
  scene_.currentMaterial = 0;
  doc_->undoStack().clear();
  doc_->SetModified(false);
  // Offered in the 作成 menu and on the tool bar.
  bool inMenu = false;
  for (QAction* top : frame_->menuBar()->actions())
    if (top->text() == QStringLiteral("作成(&M)"))
      for (QAction* a : top->menu()->actions()) inMenu = inMenu || a == frame_->action(kCmdPrimitive);
  EXPECT_TRUE(inMenu);
  EXPECT_TRUE(frame_->findChild<QToolBar*>()->actions().contains(frame_->action(kCmdPrimitive)));
  EXPECT_EQ(frame_->action(kCmdPrimitive)->text(), QStringLiteral("基本図形(&P)..."));

  const QImage emptyTop = frame_->orthoPane(kPlaneTop)->grab().toImage();
  const QImage emptyPerspective = frame_->perspectivePane()->grabFramebuffer();

  // Opened, changed, looked at, cancelled.
  std::size_t previewed = 0, afterChange = 0;
  int topMarks = 0, perspectiveMarks = 0;
  answerDialog_ = [&](QDialog& d) {
    auto& dialog = dynamic_cast<CDlgPrimitive&>(d);
    EXPECT_EQ(dialog.shapeBox()->currentText(), QStringLiteral("UV球"));
    EXPECT_FALSE(dialog.newModelBox()->isChecked());
    previewed = scene_.models[0].vertices.size();
    dialog.countField(&PrimitiveParams::segments)->setValue(8);
    dialog.countField(&PrimitiveParams::rings)->setValue(4);
    afterChange = scene_.models[0].vertices.size();
    QApplication::processEvents();
    topMarks = DifferingPixels(frame_->orthoPane(kPlaneTop)->grab().toImage(), emptyTop);
    perspectiveMarks = DifferingPixels(frame_->perspectivePane()->grabFramebuffer(), emptyPerspective);
    return int(QDialog::Rejected);
  };
  frame_->Execute(kCmdPrimitive);
  EXPECT_EQ(dialogs_, QStringList{QStringLiteral("基本図形")});
  EXPECT_EQ(previewed, 32u * 15 + 2);  // the default sphere
  EXPECT_EQ(afterChange, 8u * 3 + 2);  // follows the fields
  EXPECT_GT(topMarks, 100);
  EXPECT_GT(perspectiveMarks, 100);
  EXPECT_TRUE(scene_.models[0].vertices.empty());
  EXPECT_EQ(scene_.models.size(), 1u);
  EXPECT_EQ(doc_->undoStack().count(), 0);
  EXPECT_FALSE(doc_->modified());
  QApplication::processEvents();
  EXPECT_EQ(DifferingPixels(frame_->perspectivePane()->grabFramebuffer(), emptyPerspective), 0);
  EXPECT_EQ(DifferingPixels(frame_->orthoPane(kPlaneTop)->grab().toImage(), emptyTop), 0);

  // Added as a model of its own, at the centre of the panes.
  answerDialog_ = [&](QDialog& d) {
    auto& dialog = dynamic_cast<CDlgPrimitive&>(d);
    dialog.countField(&PrimitiveParams::segments)->setValue(8);
    dialog.countField(&PrimitiveParams::rings)->setValue(4);
    dialog.sizeField(&PrimitiveParams::radius)->setValue(30);
    dialog.newModelBox()->setChecked(true);
    dialog.atCentreButton()->setChecked(true);
    EXPECT_EQ(scene_.models.size(), 2u);  // the preview too
    d.accept();
    return d.result();
  };
  frame_->Execute(kCmdPrimitive);
  ASSERT_EQ(scene_.models.size(), 2u);
  const CModel& sphere = scene_.models[1];
  EXPECT_EQ(sphere.name, "sphere");
  EXPECT_EQ(sphere.vertices.size(), 26u);
  EXPECT_EQ(sphere.faces.size(), 32u);
  for (const CVertex& v : sphere.vertices) EXPECT_EQ(v.selected, 1);
  for (const CFace& f : sphere.faces) EXPECT_EQ(f.material, scene_.materials[0].id);
  EXPECT_FLOAT_EQ(sphere.vertices[0].position.y, 30.0f);
  EXPECT_EQ(doc_->undoStack().count(), 1);
  EXPECT_TRUE(doc_->modified());
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: 基本図形\tCtrl+Z(&U)"));
  EXPECT_EQ(frame_->statusBar()->currentMessage(), QStringLiteral("UV球 を作成しました（頂点 26 個、面 32 個）"));
  EXPECT_EQ(frame_->modelList()->count(), 2);
  doc_->Undo();
  EXPECT_EQ(scene_.models.size(), 1u);
  EXPECT_FALSE(doc_->modified());
  doc_->Redo();
  EXPECT_EQ(scene_.models.size(), 2u);

  // The shape, the placement and the new-model choice are remembered, in the next window too.
  Restart();
  frame_->runDialog = [this](QDialog& d) { return answerDialog_(d); };
  bool remembered = false;
  answerDialog_ = [&](QDialog& d) {
    auto& dialog = dynamic_cast<CDlgPrimitive&>(d);
    remembered = dialog.newModelBox()->isChecked() && dialog.atCentreButton()->isChecked() &&
                 dialog.shapeBox()->currentIndex() == int(PrimitiveKind::kSphere);
    dialog.shapeBox()->setCurrentIndex(int(PrimitiveKind::kTorus));
    QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    dialog.sizeField(&PrimitiveParams::minorRadius)->setValue(dialog.sizeField(&PrimitiveParams::radius)->value());
    EXPECT_FALSE(ok->isEnabled());  // a tube as wide as the torus closes its hole
    dialog.sizeField(&PrimitiveParams::minorRadius)->setValue(1);
    EXPECT_TRUE(ok->isEnabled());
    dialog.shapeBox()->setCurrentIndex(int(PrimitiveKind::kBox));
    EXPECT_FALSE(dialog.axisBox()->isEnabled());  // a box has no axis to choose
    EXPECT_FALSE(dialog.capsBox()->isEnabled());
    return int(QDialog::Rejected);
  };
  frame_->Execute(kCmdPrimitive);
  EXPECT_TRUE(remembered);
  EXPECT_EQ(scene_.models.size(), 2u);
}

TEST_F(AppTest, WithoutAnEditableCurrentModelTheShapeCanOnlyBeAModelOfItsOwn) {
  MW_REQUIRE_DISPLAY();
  scene_.models[0].state = kStateLocked;
  bool forced = false;
  answerDialog_ = [&](QDialog& d) {
    auto& dialog = dynamic_cast<CDlgPrimitive&>(d);
    forced = dialog.newModelBox()->isChecked() && !dialog.newModelBox()->isEnabled();
    d.accept();
    return d.result();
  };
  frame_->Execute(kCmdPrimitive);
  EXPECT_TRUE(forced);
  ASSERT_EQ(scene_.models.size(), 2u);
  EXPECT_TRUE(scene_.models[0].vertices.empty());
  EXPECT_EQ(scene_.models[1].name, "sphere");
}

}  // namespace
}  // namespace mw
