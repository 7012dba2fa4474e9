// The smooth-surface commands in the real window: the モデル menu and the model list's menu, each
// command one step of the history, with the dialogs' answers.
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>

#include "app/commands.h"
#include "app/main_frame.h"
#include "app/settings.h"
#include "app/model_view.h"
#include "render/ortho_painter.h"
#include "view/numeric_dialogs.h"
#include "view/ortho_pane.h"
#include "scene/subdivision.h"
#include "tests/app/app_fixture.h"

namespace mw {
namespace {

using test::AppTest;

// Fills the dialog's edits in order with `values` and presses OK; `vertices` ticks its check box.
std::function<int(QDialog&)> Answer(QStringList values, bool tick = false) {
  return [values, tick](QDialog& d) {
    const QList<QLineEdit*> edits = d.findChildren<QLineEdit*>();
    for (int i = 0; i < values.size() && i < edits.size(); ++i) edits[i]->setText(values[i]);
    if (tick) d.findChild<QCheckBox*>()->setChecked(true);
    d.accept();
    return d.result();
  };
}

QStringList Texts(const QMenu* menu) {
  QStringList out;
  for (const QAction* a : menu->actions())
    if (!a->isSeparator()) out << a->text();
  return out;
}

TEST_F(AppTest, SubdivisionSettingFromBothMenusIsOneStepEach) {
  MW_REQUIRE_DISPLAY();
  ASSERT_TRUE(scene_.AddBox(CVector(-50, -50, -50), CVector(50, 50, 50)));
  const QStringList expected = {"曲面化 なし(&N)", "Catmull-Clark(&C)", "三角形 (Loop)(&T)", "分割レベル 1(&1)",
                                "分割レベル 2(&2)", "分割レベル 3(&3)", "分割レベル 4(&4)", "曲面化を確定(&A)",
                                "折り目...\tShift+E(&E)", "スムーズ(&M)...", "曲面のワイヤー(&W)"};
  QMenu* top = nullptr;
  for (QAction* a : frame_->menuBar()->actions())
    if (a->text() == QStringLiteral("モデル(&O)")) top = a->menu();
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(Texts(top), expected);
  QMenu* list = nullptr;
  for (QAction* a : frame_->modelList()->contextMenu()->actions())
    if (a->menu() && a->text() == QStringLiteral("曲面化(&V)")) list = a->menu();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(Texts(list), expected);

  frame_->Execute(kCmdSubdivisionCatmullClark);
  frame_->Execute(kCmdSubdivisionLevel3);
  EXPECT_EQ(scene_.models[0].subdivisionScheme, kSubdivisionCatmullClark);
  EXPECT_EQ(scene_.models[0].subdivisionLevel, 3);
  EXPECT_TRUE(doc_->modified());
  EXPECT_EQ(doc_->undoStack().count(), 2);
  frame_->UpdateCommandStates();
  EXPECT_TRUE(frame_->action(kCmdSubdivisionCatmullClark)->isChecked());
  EXPECT_FALSE(frame_->action(kCmdSubdivisionNone)->isChecked());
  EXPECT_TRUE(frame_->action(kCmdSubdivisionLevel3)->isChecked());
  frame_->Execute(kCmdSubdivisionLevel3);  // what it is already: no step
  EXPECT_EQ(doc_->undoStack().count(), 2);

  // Baking: 6 x 4^3 faces, subdivision off, one step that undo takes back whole.
  frame_->Execute(kCmdApplySubdivision);
  EXPECT_EQ(scene_.models[0].faces.size(), 384u);
  EXPECT_EQ(scene_.models[0].subdivisionScheme, kSubdivisionNone);
  EXPECT_EQ(frame_->statusBar()->currentMessage(), QStringLiteral("曲面化を確定: 面 6 個が 384 個になりました"));
  doc_->Undo();
  EXPECT_EQ(scene_.models[0].faces.size(), 6u);
  EXPECT_EQ(scene_.models[0].subdivisionScheme, kSubdivisionCatmullClark);
  doc_->Undo();
  doc_->Undo();
  EXPECT_EQ(scene_.models[0].subdivisionScheme, kSubdivisionNone);
  EXPECT_EQ(scene_.models[0].subdivisionLevel, 2);
}

// The grey wire of the refined surface in the orthographic panes: a check item, remembered, that
// changes nothing in the document.
TEST_F(AppTest, RefinedWireShowsInTheOrthographicPanesAndIsRemembered) {
  MW_REQUIRE_DISPLAY();
  ASSERT_TRUE(scene_.AddBox(CVector(-50, -50, -50), CVector(50, 50, 50)));
  scene_.models[0].subdivisionScheme = kSubdivisionCatmullClark;
  const auto greys = [this](int plane) {
    const QImage shown = frame_->orthoPane(plane)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x) n += shown.pixel(x, y) == kRefinedWireColour;
    return n;
  };
  const bool was = LoadRefinedWire();
  ASSERT_FALSE(frame_->action(kCmdRefinedWire)->isChecked());
  // The labels' lettering has a few pixels of the wire's grey of its own.
  const int lettering = greys(kPlaneFace);
  frame_->Execute(kCmdRefinedWire);
  EXPECT_TRUE(frame_->action(kCmdRefinedWire)->isChecked());
  EXPECT_TRUE(LoadRefinedWire());
  for (int plane : {kPlaneTop, kPlaneFace, kPlaneLeft}) EXPECT_GT(greys(plane) - lettering, 100) << plane;
  EXPECT_FALSE(doc_->modified());
  EXPECT_EQ(doc_->undoStack().count(), 0);
  frame_->Execute(kCmdRefinedWire);
  EXPECT_FALSE(LoadRefinedWire());
  EXPECT_EQ(greys(kPlaneFace), lettering);
  StoreRefinedWire(was);
}

TEST_F(AppTest, CreaseAndSmoothAskTheirValuesAndAreOneStepEach) {
  MW_REQUIRE_DISPLAY();
  ASSERT_TRUE(scene_.AddBox(CVector(-50, -50, -50), CVector(50, 50, 50)));
  CModel& m = scene_.models[0];
  m.vertices[0].selected = m.vertices[1].selected = 1;
  const bool joined = EdgeSharpness(m, 0, 1) == 0.0f;
  ASSERT_TRUE(joined);
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  // Cancelled: nothing.
  QTest::keyClick(frame_->orthoPane(kPlaneTop), Qt::Key_E, Qt::ShiftModifier);
  EXPECT_EQ(dialogs_, QStringList{QStringLiteral("折り目")});
  EXPECT_EQ(doc_->undoStack().count(), 0);
  // Out of range: refused with a word, the dialog stays (and is then closed).
  QStringList refused;
  const auto oldMessage = DluDialog::showMessage;
  DluDialog::showMessage = [&refused](QWidget*, const QString& t) { refused << t; };
  answerDialog_ = Answer({"11"});
  frame_->Execute(kCmdCrease);
  EXPECT_EQ(doc_->undoStack().count(), 0);
  EXPECT_EQ(refused, QStringList{QStringLiteral("0 から 10 までの数字を入力してください。")});
  answerDialog_ = Answer({"2.5"});
  QTest::keyClick(frame_->orthoPane(kPlaneTop), Qt::Key_E, Qt::ShiftModifier);
  ASSERT_EQ(doc_->undoStack().count(), 1);
  EXPECT_EQ(m.creases.size(), 1u);
  EXPECT_FLOAT_EQ(EdgeSharpness(m, 1, 0), 2.5f);
  answerDialog_ = Answer({"4"}, true);
  frame_->Execute(kCmdCrease);
  EXPECT_EQ(m.sharpVertices.size(), 2u);
  doc_->Undo();
  doc_->Undo();
  EXPECT_TRUE(scene_.models[0].creases.empty());
  EXPECT_TRUE(scene_.models[0].sharpVertices.empty());

  // Smoothing every vertex of a closed box pulls each towards the others: one step.
  scene_.SetAllSelected(1);
  answerDialog_ = Answer({"0"});  // no pass: refused
  frame_->Execute(kCmdSmooth);
  EXPECT_EQ(doc_->undoStack().index(), 0);
  EXPECT_EQ(refused.size(), 2);
  DluDialog::showMessage = oldMessage;
  answerDialog_ = Answer({"3", "0.5"});
  frame_->Execute(kCmdSmooth);
  ASSERT_EQ(doc_->undoStack().index(), 1);
  EXPECT_LT(scene_.models[0].vertices[0].position.x, 50.0f - 1.0f);
  EXPECT_GT(scene_.models[0].vertices[0].position.x, -50.0f);
  EXPECT_EQ(frame_->statusBar()->currentMessage(), QStringLiteral("スムーズ: 頂点を 8 個動かしました"));
  doc_->Undo();
  for (const CVertex& v : scene_.models[0].vertices) EXPECT_EQ(std::fabs(v.position.x), 50.0f);
}

}  // namespace
}  // namespace mw
