// Undo and redo in the real window: steps from drags, dialogs and commands, the menu captions,
// keys and buttons, and the modified flag following the saved state.
#include <QLineEdit>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>
#include <cstring>

#include "app/commands.h"
#include "tests/app/app_fixture.h"

namespace mw {
namespace {

using test::AppTest;

QPoint CentreOf(QWidget* w) { return QPoint(w->width() / 2, w->height() / 2); }

TEST_F(AppTest, ADragOfManyMotionsIsOneStepUndoneAndRedoneFromKeysMenuAndToolbar) {
  MW_REQUIRE_DISPLAY();
  scene_.models[0].vertices = {CVertex(10.3f, 0, 10.7f), CVertex(-60, 0, 0)};
  scene_.models[0].vertices[0].selected = 1;
  const CVector before = scene_.models[0].vertices[0].position;
  frame_->Execute(kCmdModeMove);
  OrthoPane* top = frame_->orthoPane(kPlaneTop);
  const QPoint c = CentreOf(top);
  QTest::mousePress(top, Qt::LeftButton, Qt::NoModifier, c);
  for (int i = 1; i <= 25; ++i) QTest::mouseMove(top, c + QPoint(i, i / 3));
  QTest::mouseRelease(top, Qt::LeftButton, Qt::NoModifier, c + QPoint(25, 8));
  const CVector after = scene_.models[0].vertices[0].position;
  ASSERT_NE(after, before);
  EXPECT_EQ(doc_->undoStack().count(), 1);
  QAction* undo = frame_->action(kCmdUndo);
  QAction* redo = frame_->action(kCmdRedo);
  EXPECT_TRUE(undo->isEnabled());
  EXPECT_FALSE(redo->isEnabled());
  EXPECT_EQ(undo->text(), QStringLiteral("元に戻す: 移動\tCtrl+Z(&U)"));
  EXPECT_EQ(undo->toolTip(), QStringLiteral("元に戻す: 移動"));
  EXPECT_TRUE(doc_->modified());

  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  QTest::keyClick(top, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(std::memcmp(&scene_.models[0].vertices[0].position, &before, sizeof before), 0);
  EXPECT_FALSE(doc_->modified());  // back to the state of the new document
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_EQ(redo->text(), QStringLiteral("やり直し: 移動\tCtrl+Y(&R)"));
  QTest::keyClick(top, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(std::memcmp(&scene_.models[0].vertices[0].position, &after, sizeof after), 0);
  QTest::keyClick(top, Qt::Key_Backspace, Qt::AltModifier);
  EXPECT_EQ(scene_.models[0].vertices[0].position, before);
  QTest::keyClick(top, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(scene_.models[0].vertices[0].position, after);
  // The toolbar's buttons are the same actions.
  QToolBar* bar = frame_->findChild<QToolBar*>(QStringLiteral("toolbar"));
  ASSERT_NE(bar, nullptr);
  QWidget* button = bar->widgetForAction(undo);
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(scene_.models[0].vertices[0].position, before);
  QTest::mouseClick(bar->widgetForAction(redo), Qt::LeftButton);
  EXPECT_EQ(scene_.models[0].vertices[0].position, after);
}

TEST_F(AppTest, SelectionStepsLeaveTheDocumentSavedAndUndoingToTheSaveClearsTheFlag) {
  MW_REQUIRE_DISPLAY();
  scene_.models[0].vertices = {CVertex(10, 0, 10), CVertex(-60, 0, 0)};
  ui_.files = {QPath("saved.mwr")};
  frame_->Execute(kCmdSave);
  ASSERT_FALSE(doc_->modified());
  frame_->Execute(kCmdSelectAll);
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: 頂点全選択\tCtrl+Z(&U)"));
  EXPECT_FALSE(doc_->modified());
  EXPECT_FALSE(frame_->isWindowModified());
  frame_->Execute(kCmdModeSize);
  frame_->runDialog = [](QDialog& d) {
    for (QLineEdit* e : d.findChildren<QLineEdit*>()) e->setText(QStringLiteral("2"));
    d.accept();
    return int(QDialog::Accepted);
  };
  frame_->Execute(kCmdNumericInput);
  EXPECT_TRUE(doc_->modified());
  EXPECT_TRUE(frame_->isWindowModified());
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: 数値入力でサイズ\tCtrl+Z(&U)"));
  frame_->Execute(kCmdUndo);
  EXPECT_FALSE(doc_->modified());  // the selection step between does not count
  EXPECT_FALSE(frame_->isWindowModified());
  EXPECT_TRUE(frame_->close());
  EXPECT_TRUE(ui_.asked.isEmpty());  // no save question
  frame_->show();
  frame_->Execute(kCmdRedo);
  EXPECT_TRUE(doc_->modified());
  ui_.answers = {QMessageBox::Cancel};
  EXPECT_FALSE(frame_->close());
  EXPECT_EQ(ui_.asked.size(), 1);
  // A new document starts a new history.
  doc_->NewDocument();
  EXPECT_EQ(doc_->undoStack().count(), 0);
  EXPECT_FALSE(frame_->action(kCmdUndo)->isEnabled());
}

TEST_F(AppTest, PastTheMemoryBoundTheOldestStepsGoAndTheRestStillUndoExactly) {
  MW_REQUIRE_DISPLAY();
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Orlux Meshwright アプリケーション"),
                     QStringLiteral("Meshwright"));
  settings.setValue(QStringLiteral("Undo/Megabytes"), 5);
  settings.sync();
  // 200,000 selected vertices: each move keeps 2.4 MB, so two fit and the third pushes one out.
  scene_.models[0].vertices.assign(200000, CVertex(1.25f, -3.5f, 7.0f));
  scene_.SetAllSelected(1);
  std::vector<CVector> states{scene_.models[0].vertices[0].position};
  for (int i = 0; i < 4; ++i) {
    doc_->Edit(EditKind::kNumericMove, [this]() { scene_.MoveSelected(10.0f, 0.0f, 0.0f); });
    states.push_back(scene_.models[0].vertices[0].position);
    if (i == 0) doc_->SetModified(false);  // saved after the first move
  }
  settings.remove(QStringLiteral("Undo/Megabytes"));
  EXPECT_EQ(doc_->undoStack().count(), 2);
  EXPECT_TRUE(doc_->modified());
  doc_->Undo();
  EXPECT_EQ(scene_.models[0].vertices[199999].position, states[3]);
  doc_->Undo();
  EXPECT_EQ(scene_.models[0].vertices[0].position, states[2]);
  EXPECT_FALSE(doc_->undoStack().canUndo());
  // The saved state went with the dropped steps: the document stays modified.
  EXPECT_TRUE(doc_->modified());
  doc_->Redo();
  doc_->Redo();
  EXPECT_EQ(scene_.models[0].vertices[0].position, states[4]);
  // Undo once, then a new step: the redo side goes and the bound still holds.
  doc_->Undo();
  doc_->Edit(EditKind::kNumericMove, [this]() { scene_.MoveSelected(0.0f, 5.0f, 0.0f); });
  EXPECT_LE(doc_->undoStack().count(), 2);
  doc_->Undo();
  EXPECT_EQ(scene_.models[0].vertices[0].position, states[3]);
}

TEST_F(AppTest, AStepLargerThanTheBoundIsKeptAloneAndTheStatusBarSaysTheEarlierOnesWent) {
  MW_REQUIRE_DISPLAY();
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Orlux Meshwright アプリケーション"),
                     QStringLiteral("Meshwright"));
  settings.setValue(QStringLiteral("Undo/Megabytes"), 1);
  settings.sync();
  QStringList notices;
  QObject::connect(doc_.get(), &CMeshwrightDoc::notice, [&notices](const QString& t) { notices << t; });
  // A move of 40,000 vertices keeps 480 kB: the third pushes the oldest out without a word. One
  // of 100,000 (1.2 MB) is past the bound alone.
  scene_.models[0].vertices.assign(40000, CVertex(1.0f, 2.0f, 3.0f));
  scene_.SetAllSelected(1);
  for (int i = 0; i < 3; ++i) doc_->Edit(EditKind::kNumericMove, [this]() { scene_.MoveSelected(1.0f, 0.0f, 0.0f); });
  EXPECT_EQ(doc_->undoStack().count(), 2);
  EXPECT_TRUE(notices.isEmpty());
  scene_.models[0].vertices.assign(100000, CVertex(1.0f, 2.0f, 3.0f));
  scene_.SetAllSelected(1);
  doc_->Edit(EditKind::kNumericMove, [this]() { scene_.MoveSelected(0.0f, 1.0f, 0.0f); });
  settings.remove(QStringLiteral("Undo/Megabytes"));
  EXPECT_EQ(doc_->undoStack().count(), 1);
  ASSERT_EQ(notices.size(), 1);
  EXPECT_TRUE(notices[0].contains(QStringLiteral("取り消し履歴を破棄"))) << notices[0].toStdString();
  EXPECT_EQ(frame_->statusBar()->currentMessage(), notices[0]);
  doc_->Undo();
  EXPECT_EQ(scene_.models[0].vertices[0].position, CVector(1.0f, 2.0f, 3.0f));
}

}  // namespace
}  // namespace mw
