// The mesh tools in the real window: from their keys and menu items, each one step of the
// history, with the dialog's answers and the status bar's report.
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <cstring>

#include "app/commands.h"
#include "tests/app/app_fixture.h"
#include "view/weld_dialog.h"

namespace mw {
namespace {

using test::AppTest;

// Two quadrilaterals whose shared edge is there twice, 0.004 apart, and a far vertex.
void TwoQuads(CMeshwright& s) {
  CModel& m = s.models[0];
  const float p[9][2] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {10.004f, 0}, {20, 0}, {20, 10}, {10, 10.004f}, {50, 50}};
  for (const auto& v : p) m.vertices.emplace_back(v[0], 3.5f, v[1]);
  CFace a, b;
  a.indices = {0, 1, 2, 3};
  b.indices = {4, 5, 6, 7};
  b.uvs = {CUV(0, 0), CUV(0.5f, 0), CUV(0.5f, 1), CUV(0, 1)};
  m.faces = {a, b};
  m.RebuildFaceRefs();
  s.ComputeNormals();
}

// Types `text` into the weld dialog's edit and presses OK.
std::function<int(QDialog&)> AnswerWeld(const QString& text, QString* shown = nullptr) {
  return [text, shown](QDialog& d) {
    QLineEdit* edit = d.findChild<QLineEdit*>();
    if (shown) *shown = edit->text();
    edit->setText(text);
    d.accept();
    return d.result();
  };
}

QAction* MenuItem(CMainFrame& f, const QString& menu, const QString& text) {
  for (QAction* top : f.menuBar()->actions())
    if (top->text() == menu)
      for (QAction* a : top->menu()->actions())
        if (a->text() == text) return a;
  return nullptr;
}

TEST_F(AppTest, TheEditMenuOffersTheMeshToolsWithTheirKeys) {
  MW_REQUIRE_DISPLAY();
  const struct {
    int id;
    const char* text;
    QKeySequence key;
    const char* tip;
  } items[] = {
      {kCmdInvertSelection, "選択の反転\tCtrl+I(&I)", QKeySequence(Qt::CTRL | Qt::Key_I), "選択の反転"},
      {kCmdSelectConnected, "接続部分を選択\tCtrl+L(&K)", QKeySequence(Qt::CTRL | Qt::Key_L), "接続部分を選択"},
      {kCmdWeld, "近接頂点を結合...\tCtrl+M(&W)", QKeySequence(Qt::CTRL | Qt::Key_M), "近接頂点を結合"},
      {kCmdFlipFaces, "面の反転\tCtrl+R(&F)", QKeySequence(Qt::CTRL | Qt::Key_R), "面の反転"},
  };
  for (const auto& item : items) {
    QAction* a = MenuItem(*frame_, QStringLiteral("編集(&E)"), QString::fromUtf8(item.text));
    ASSERT_NE(a, nullptr) << item.text;
    EXPECT_EQ(a, frame_->action(item.id));
    EXPECT_EQ(a->shortcut(), item.key) << item.text;
    EXPECT_EQ(a->toolTip(), QString::fromUtf8(item.tip));
    EXPECT_FALSE(a->statusTip().isEmpty());
  }
  // Weld and flip are on the toolbar too, each with a picture of its own.
  QToolBar* bar = frame_->findChild<QToolBar*>(QStringLiteral("toolbar"));
  ASSERT_NE(bar, nullptr);
  QImage pictures[2];
  for (int i = 0; i < 2; ++i) {
    QAction* a = frame_->action(i == 0 ? kCmdWeld : kCmdFlipFaces);
    EXPECT_NE(bar->widgetForAction(a), nullptr);
    pictures[i] = a->icon().pixmap(16, 15).toImage();
    int drawn = 0;
    for (int y = 0; y < pictures[i].height(); ++y)
      for (int x = 0; x < pictures[i].width(); ++x) drawn += qAlpha(pictures[i].pixel(x, y)) != 0;
    EXPECT_GT(drawn, 20) << i;
  }
  EXPECT_NE(pictures[0], pictures[1]);
  // No other command answers the same keys.
  for (const auto& item : items) {
    for (QAction* a : frame_->findChildren<QAction*>()) {
      if (a == frame_->action(item.id)) continue;
      for (const QKeySequence& k : a->shortcuts()) EXPECT_NE(k, item.key) << a->text().toStdString();
    }
  }
}

TEST_F(AppTest, WeldAsksTheDistanceReportsAndIsOneStepOfTheHistory) {
  MW_REQUIRE_DISPLAY();
  TwoQuads(scene_);
  scene_.SetAllSelected(1);
  const CModel before = scene_.models[0];
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));

  // Cancelled: nothing happens.
  QTest::keyClick(frame_->orthoPane(kPlaneTop), Qt::Key_M, Qt::ControlModifier);
  EXPECT_EQ(dialogs_, QStringList{QStringLiteral("近接頂点を結合")});
  EXPECT_EQ(doc_->undoStack().count(), 0);

  // The default distance is below the gap: nothing to weld, and no step.
  QString shown;
  answerDialog_ = AnswerWeld(QStringLiteral("0.001"), &shown);
  frame_->Execute(kCmdWeld);
  EXPECT_EQ(shown, QStringLiteral("0.001"));
  EXPECT_EQ(scene_.models[0].vertices.size(), 9u);
  EXPECT_EQ(doc_->undoStack().count(), 0);
  EXPECT_FALSE(doc_->modified());
  EXPECT_EQ(frame_->statusBar()->currentMessage(),
            QStringLiteral("近接頂点を結合: 距離 0.001 より近い選択頂点はありませんでした"));

  answerDialog_ = AnswerWeld(QStringLiteral("0.01"));
  QTest::keyClick(frame_->orthoPane(kPlaneTop), Qt::Key_M, Qt::ControlModifier);
  ASSERT_EQ(scene_.models[0].vertices.size(), 7u);
  EXPECT_EQ(scene_.models[0].faces[1].indices, IndexList({1, 4, 5, 2}));
  EXPECT_EQ(frame_->statusBar()->currentMessage(), QStringLiteral("近接頂点を結合: 頂点を 2 個削除しました"));
  EXPECT_TRUE(doc_->modified());
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: 近接頂点を結合\tCtrl+Z(&U)"));
  const CModel welded = scene_.models[0];

  // Undo gives back every vertex and face exactly; redo the weld.
  doc_->Undo();
  ASSERT_EQ(scene_.models[0].vertices.size(), before.vertices.size());
  for (std::size_t i = 0; i < before.vertices.size(); ++i)
    EXPECT_EQ(std::memcmp(&scene_.models[0].vertices[i].position, &before.vertices[i].position, sizeof(CVector)), 0);
  EXPECT_EQ(scene_.models[0].faces[1].indices, before.faces[1].indices);
  EXPECT_FALSE(doc_->modified());
  doc_->Redo();
  EXPECT_EQ(scene_.models[0].vertices.size(), 7u);
  EXPECT_EQ(scene_.models[0].faces[1].indices, welded.faces[1].indices);
  EXPECT_EQ(scene_.models[0].faces[1].uvs, welded.faces[1].uvs);

  // The next opening shows the distance last used.
  answerDialog_ = AnswerWeld(QStringLiteral("0.01"), &shown);
  frame_->Execute(kCmdWeld);
  EXPECT_EQ(shown, QStringLiteral("0.01"));
}

TEST_F(AppTest, LockedAndHiddenModelsAreLeftOutOfWeldAndFlip) {
  MW_REQUIRE_DISPLAY();
  TwoQuads(scene_);
  scene_.models.push_back(scene_.models[0]);
  scene_.models.push_back(scene_.models[0]);
  scene_.models[1].state = kStateLocked;
  scene_.models[2].state = kStateHidden;
  for (CModel& m : scene_.models)
    for (CVertex& v : m.vertices) v.selected = 1;
  for (CModel& m : scene_.models) m.UpdateFaceSelection();
  answerDialog_ = AnswerWeld(QStringLiteral("0.01"));
  frame_->Execute(kCmdWeld);
  frame_->Execute(kCmdFlipFaces);
  EXPECT_EQ(scene_.models[0].vertices.size(), 7u);
  EXPECT_EQ(scene_.models[0].faces[0].indices, IndexList({3, 2, 1, 0}));
  for (std::size_t j : {1u, 2u}) {
    EXPECT_EQ(scene_.models[j].vertices.size(), 9u);
    EXPECT_EQ(scene_.models[j].faces[0].indices, IndexList({0, 1, 2, 3}));
  }
}

TEST_F(AppTest, FlipTurnsFullySelectedFacesAndUndoesExactly) {
  MW_REQUIRE_DISPLAY();
  TwoQuads(scene_);
  for (int i : {4, 5, 6, 7}) scene_.models[0].vertices[static_cast<std::size_t>(i)].selected = 1;
  scene_.models[0].UpdateFaceSelection();
  const CModel before = scene_.models[0];
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  QTest::keyClick(frame_->orthoPane(kPlaneFace), Qt::Key_R, Qt::ControlModifier);
  const CModel& m = scene_.models[0];
  EXPECT_EQ(m.faces[0].indices, before.faces[0].indices);
  EXPECT_EQ(m.faces[1].indices, IndexList({7, 6, 5, 4}));
  EXPECT_EQ(m.faces[1].uvs, UVList({CUV(0, 1), CUV(0.5f, 1), CUV(0.5f, 0), CUV(0, 0)}));
  EXPECT_LT(m.faces[1].normal.y * before.faces[1].normal.y, 0.0f);
  EXPECT_EQ(frame_->statusBar()->currentMessage(), QStringLiteral("面を 1 個反転しました"));
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: 面の反転\tCtrl+Z(&U)"));
  QTest::keyClick(frame_->orthoPane(kPlaneFace), Qt::Key_Z, Qt::ControlModifier);
  for (std::size_t f = 0; f < 2; ++f) {
    EXPECT_EQ(m.faces[f].indices, before.faces[f].indices);
    EXPECT_EQ(m.faces[f].uvs, before.faces[f].uvs);
    EXPECT_EQ(std::memcmp(&m.faces[f].normal, &before.faces[f].normal, sizeof(CVector)), 0);
  }
  for (std::size_t i = 0; i < m.vertices.size(); ++i)
    EXPECT_EQ(std::memcmp(&m.vertices[i].normal, &before.vertices[i].normal, sizeof(CVector)), 0);
  // No fully selected face: no step, and the status bar says what to do.
  scene_.SetAllSelected(0);
  const int steps = doc_->undoStack().count();
  frame_->Execute(kCmdFlipFaces);
  EXPECT_EQ(doc_->undoStack().count(), steps);
  EXPECT_EQ(frame_->statusBar()->currentMessage(),
            QStringLiteral("反転する面がありません（面の頂点を全て選択してください）"));
}

TEST_F(AppTest, InvertAndSelectConnectedChangeOnlyTheSelection) {
  MW_REQUIRE_DISPLAY();
  TwoQuads(scene_);
  scene_.models[0].vertices[1].selected = 1;
  scene_.models[0].UpdateFaceSelection();
  doc_->SetModified(false);
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  auto selected = [this]() {
    QString s;
    for (const CVertex& v : scene_.models[0].vertices) s += v.selected ? QLatin1Char('1') : QLatin1Char('0');
    return s;
  };
  QTest::keyClick(frame_->orthoPane(kPlaneTop), Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(selected(), QStringLiteral("111100000"));  // the second quad shares no vertex with the first
  EXPECT_EQ(scene_.models[0].faces[0].allSelected, 1);
  QTest::keyClick(frame_->orthoPane(kPlaneTop), Qt::Key_I, Qt::ControlModifier);
  EXPECT_EQ(selected(), QStringLiteral("000011111"));
  EXPECT_EQ(scene_.models[0].faces[1].allSelected, 1);
  EXPECT_FALSE(doc_->modified());
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: 選択の反転\tCtrl+Z(&U)"));
  doc_->Undo();
  doc_->Undo();
  EXPECT_EQ(selected(), QStringLiteral("010000000"));
}

TEST(WeldDialog, RefusesTextAndDistancesNotAboveZero) {
  MW_REQUIRE_DISPLAY();
  QStringList shown;
  auto old = DluDialog::showMessage;
  DluDialog::showMessage = [&shown](QWidget*, const QString& t) { shown << t; };
  CDlgWeld d;
  d.show();
  QLineEdit* edit = d.findChild<QLineEdit*>();
  EXPECT_EQ(edit->text(), QStringLiteral("0.001"));
  EXPECT_EQ(d.focusWidget(), edit);
  EXPECT_EQ(edit->selectedText(), QStringLiteral("0.001"));  // typing replaces it
  for (const char* text : {"abc", "0", "-0.5", "inf", "nan"}) {
    edit->setText(QString::fromLatin1(text));
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Rejected) << text;  // still open
    EXPECT_EQ(d.focusWidget(), edit);
  }
  EXPECT_EQ(shown.value(0), QStringLiteral("数字を入力してください。"));
  EXPECT_EQ(shown.value(1), QStringLiteral("0 より大きい数字を入力してください。"));
  EXPECT_EQ(shown.size(), 5);
  edit->setText(QStringLiteral("2.5e-3"));
  d.accept();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(d.distance, 0.0025f);
  DluDialog::showMessage = old;
}

}  // namespace
}  // namespace mw
