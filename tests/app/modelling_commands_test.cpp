// The modelling verbs in the window: the knife laid by clicks in an orthographic pane (Enter cuts,
// Escape leaves nothing, Shift cuts along a whole line), a loop cut and a collapse reached by their
// keys, and a symmetric model whose other half follows a move drag, each taken back in one step.
#include <QCheckBox>
#include <QImage>
#include <QMenu>
#include <QStatusBar>
#include <QTest>

#include "app/commands.h"
#include "app/model_view.h"
#include "app/settings.h"
#include "tests/support/test_support.h"
#include "view/ortho_pane.h"
#include "tests/app/app_fixture.h"

namespace mw {
namespace {

using test::AppTest;

std::string Text(const std::string& path) {
  const std::vector<std::uint8_t> bytes = test::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void AddBox(CMeshwright& scene) {
  scene.AddBox(CVector(-60, -60, -60), CVector(60, 60, 60));
  scene.ComputeNormals();
}

TEST_F(AppTest, KnifeClicksCutTheFacesTheLineCrosses) {
  MW_REQUIRE_DISPLAY();
  AddBox(scene_);
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  OrthoPane* face = frame_->orthoPane(kPlaneFace);
  QTest::keyClick(face, Qt::Key_K);
  ASSERT_EQ(scene_.editMode, kModeKnife);
  const int y = face->height() / 2;
  // Escape drops the line: nothing changes and no step is kept.
  QTest::mouseClick(face, Qt::LeftButton, Qt::NoModifier, QPoint(3, y));
  QTest::mouseClick(face, Qt::LeftButton, Qt::NoModifier, QPoint(face->width() - 3, y));
  QTest::keyClick(face, Qt::Key_Escape);
  QTest::keyClick(face, Qt::Key_Return);
  EXPECT_EQ(scene_.models[0].faces.size(), 6u);
  EXPECT_FALSE(doc_->undoStack().canUndo() && doc_->undoStack().undoText() == QStringLiteral("ナイフ"));
  // Across the middle of the front view: the four sides it crosses are split in two.
  QTest::mouseClick(face, Qt::LeftButton, Qt::NoModifier, QPoint(3, y));
  QTest::mouseClick(face, Qt::LeftButton, Qt::NoModifier, QPoint(face->width() - 3, y));
  QTest::keyClick(face, Qt::Key_Return);
  EXPECT_EQ(scene_.models[0].faces.size(), 10u);
  EXPECT_EQ(scene_.models[0].vertices.size(), 12u);
  EXPECT_EQ(doc_->undoStack().undoText(), QStringLiteral("ナイフ"));
  // With Shift two clicks make a line through everything, cut at once.
  const int x = face->width() / 2;
  QTest::mouseClick(face, Qt::LeftButton, Qt::ShiftModifier, QPoint(x, y - 5));
  QTest::mouseClick(face, Qt::LeftButton, Qt::ShiftModifier, QPoint(x, y + 5));
  EXPECT_EQ(scene_.models[0].faces.size(), 16u);
  frame_->Execute(kCmdUndo);
  frame_->Execute(kCmdUndo);
  EXPECT_EQ(scene_.models[0].faces.size(), 6u);
  EXPECT_EQ(scene_.models[0].vertices.size(), 8u);
}

TEST_F(AppTest, LoopCutAndCollapseAreReachedByTheirKeys) {
  MW_REQUIRE_DISPLAY();
  AddBox(scene_);
  answerDialog_ = [](QDialog&) { return int(QDialog::Accepted); };
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  CModel& m = scene_.models[0];
  // Two ends of an edge along x.
  for (CVertex& v : m.vertices) v.selected = v.position.y < 0 && v.position.z < 0;
  OrthoPane* top = frame_->orthoPane(kPlaneTop);
  QTest::keyClick(top, Qt::Key_E, Qt::ControlModifier);
  EXPECT_EQ(m.faces.size(), 10u);
  EXPECT_EQ(doc_->undoStack().undoText(), QStringLiteral("ループスライス"));
  EXPECT_TRUE(dialogs_.contains(QStringLiteral("ループスライス")));
  // The cut's vertices are selected: collapsing them (M; Alt+M opens the 作成 menu) leaves one.
  const std::size_t before = m.vertices.size();
  QTest::keyClick(top, Qt::Key_M);
  EXPECT_EQ(doc_->undoStack().undoText(), QStringLiteral("結合"));
  EXPECT_EQ(m.vertices.size(), before - 3);
  frame_->Execute(kCmdUndo);
  frame_->Execute(kCmdUndo);
  EXPECT_EQ(m.faces.size(), 6u);
  EXPECT_EQ(m.vertices.size(), 8u);
}

TEST_F(AppTest, LoopCutModeShowsTheRingAndCutsWhereTheDragSlidIt) {
  MW_REQUIRE_DISPLAY();
  AddBox(scene_);
  answerDialog_ = [](QDialog&) { return int(QDialog::Accepted); };
  for (CVertex& v : scene_.models[0].vertices) v.selected = 0;
  frame_->Execute(kCmdLoopCut);  // nothing selected: the mode
  ASSERT_EQ(scene_.editMode, kModeLoopCut);
  OrthoPane* top = frame_->orthoPane(kPlaneTop);
  const QPoint c(top->width() / 2, top->height() / 2);
  // The back edge along x, at z = -60.
  const QPoint edge(c.x(), c.y() - static_cast<int>(60 * scene_.zoom / 100));
  const int across = static_cast<int>(30 * scene_.zoom / 100);
  // Escape during the drag: the release cuts nothing.
  QTest::mousePress(top, Qt::LeftButton, Qt::NoModifier, edge);
  QTest::mouseMove(top, edge + QPoint(across, 0));
  QTest::keyClick(top, Qt::Key_Escape);
  QTest::mouseRelease(top, Qt::LeftButton, Qt::NoModifier, edge + QPoint(across, 0));
  EXPECT_EQ(scene_.models[0].faces.size(), 6u);
  // A drag to the right a quarter of the way: the cut lands there, not in the middle.
  QTest::mousePress(top, Qt::LeftButton, Qt::NoModifier, edge);
  QTest::mouseMove(top, edge + QPoint(across / 2, 0));
  QTest::mouseMove(top, edge + QPoint(across, 0));
  QImage shown = top->grab().toImage();
  int orange = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) orange += shown.pixelColor(x, y) == QColor(255, 128, 0);
  EXPECT_GT(orange, 20);  // the ring's cut drawn while the button is held
  QTest::mouseRelease(top, Qt::LeftButton, Qt::NoModifier, edge + QPoint(across, 0));
  const CModel& m = scene_.models[0];
  ASSERT_EQ(m.faces.size(), 10u);
  EXPECT_NEAR(m.vertices[8].position.x, 30.0f, 2.0f);
  EXPECT_EQ(doc_->undoStack().undoText(), QStringLiteral("ループスライス"));
}

TEST_F(AppTest, TheOtherHalfOfASymmetricModelFollowsAMoveDrag) {
  MW_REQUIRE_DISPLAY();
  AddBox(scene_);
  ASSERT_FALSE(doc_->modified());
  frame_->Execute(kCmdSymmetryX);
  EXPECT_TRUE(doc_->modified()) << "the setting is saved with the document";
  CModel& m = scene_.models[0];
  EXPECT_EQ(m.symmetryAxis, 1);
  EXPECT_TRUE(frame_->action(kCmdSymmetryX)->isChecked());
  for (CVertex& v : m.vertices) v.selected = v.position.x > 0 && v.position.y > 0;
  const std::vector<CVertex> start = m.vertices;
  frame_->Execute(kCmdModeMove);
  OrthoPane* top = frame_->orthoPane(kPlaneTop);
  const QPoint t(top->width() / 2, top->height() / 2);
  QTest::mousePress(top, Qt::LeftButton, Qt::NoModifier, t);
  for (int i = 1; i <= 10; ++i) QTest::mouseMove(top, t + QPoint(2 * i, 2 * i));
  QTest::mouseRelease(top, Qt::LeftButton, Qt::NoModifier, t + QPoint(20, 20));
  for (std::size_t i = 0; i < m.vertices.size(); ++i) {
    const CVector p = m.vertices[i].position, q = m.vertices[static_cast<std::size_t>(m.counterparts[i])].position;
    EXPECT_EQ(p.x, -q.x) << i;
    EXPECT_EQ(p.y, q.y) << i;
    EXPECT_EQ(p.z, q.z) << i;
  }
  int moved = 0;
  for (std::size_t i = 0; i < m.vertices.size(); ++i) moved += !(m.vertices[i].position == start[i].position);
  EXPECT_EQ(moved, 4);  // two selected and their two counterparts
  frame_->Execute(kCmdUndo);
  for (std::size_t i = 0; i < m.vertices.size(); ++i) EXPECT_EQ(m.vertices[i].position, start[i].position) << i;
}

TEST_F(AppTest, TheModelListMenuSwitchesSymmetryOfTheModelClicked) {
  MW_REQUIRE_DISPLAY();
  AddBox(scene_);
  doc_->Edit(EditKind::kModelAdd, [this]() { scene_.AddModel(); });
  CModelView* list = frame_->modelList();
  QMenu* shown = nullptr;
  list->showMenu = [&shown](QMenu* m) {
    shown = m;
    emit m->aboutToShow();
  };
  QMenu* symmetry = nullptr;
  for (QAction* a : list->contextMenu()->actions())
    if (a->text() == QStringLiteral("対称編集(&Y)")) symmetry = a->menu();
  ASSERT_NE(symmetry, nullptr);
  ASSERT_EQ(symmetry->actions().size(), 4);
  // The first row's menu: its Y switches the first model only.
  QTest::mouseClick(list->viewport(), Qt::RightButton, Qt::NoModifier, list->visualItemRect(list->item(0)).center());
  ASSERT_EQ(shown, list->contextMenu());
  EXPECT_TRUE(symmetry->actions()[0]->isChecked());
  symmetry->actions()[2]->trigger();
  EXPECT_EQ(scene_.models[0].symmetryAxis, 2);
  EXPECT_EQ(scene_.models[1].symmetryAxis, 0);
  EXPECT_EQ(scene_.models[0].counterparts.size(), scene_.models[0].vertices.size());
  // Each row's menu shows that model's setting.
  QTest::mouseClick(list->viewport(), Qt::RightButton, Qt::NoModifier, list->visualItemRect(list->item(1)).center());
  EXPECT_TRUE(symmetry->actions()[0]->isChecked());
  EXPECT_FALSE(symmetry->actions()[2]->isChecked());
  QTest::mouseClick(list->viewport(), Qt::RightButton, Qt::NoModifier, list->visualItemRect(list->item(0)).center());
  EXPECT_TRUE(symmetry->actions()[2]->isChecked());
  EXPECT_FALSE(symmetry->actions()[0]->isChecked());
}

TEST_F(AppTest, SavingAsMetasequoiaAsksWhetherTheMirrorStaysOnlyForASymmetricModel) {
  MW_REQUIRE_DISPLAY();
  scene_.AddBox(CVector(0, -60, -60), CVector(60, 60, 60));
  scene_.ComputeNormals();
  int answered = 0;
  bool tick = true;
  answerDialog_ = [&](QDialog& d) {
    ++answered;
    QCheckBox* keep = d.findChild<QCheckBox*>();
    if (!keep) return int(QDialog::Rejected);
    keep->setChecked(tick);
    return int(QDialog::Accepted);
  };
  // Without symmetric modelling nothing is asked and no mirror is written.
  ui_.files = {QPath("plain.mqo")};
  frame_->Execute(kCmdSaveAs);
  EXPECT_EQ(answered, 0);
  EXPECT_EQ(Text(Path("plain.mqo")).find("mirror"), std::string::npos);
  frame_->Execute(kCmdSymmetryX);
  ui_.files = {QPath("half.mqo")};
  frame_->Execute(kCmdSaveAs);
  EXPECT_EQ(answered, 1);
  EXPECT_NE(Text(Path("half.mqo")).find("\tmirror 2\r\n\tmirror_axis 1\r\n"), std::string::npos);
  EXPECT_TRUE(LoadKeepMirror());
  // The box comes up as last chosen; unticked, the geometry goes out as it is.
  answerDialog_ = [&](QDialog& d) {
    ++answered;
    QCheckBox* keep = d.findChild<QCheckBox*>();
    EXPECT_TRUE(keep && keep->isChecked());
    if (keep) keep->setChecked(false);
    return int(QDialog::Accepted);
  };
  ui_.files = {QPath("whole.mqo")};
  frame_->Execute(kCmdSaveAs);
  EXPECT_EQ(answered, 2);
  EXPECT_EQ(Text(Path("whole.mqo")).find("mirror"), std::string::npos);
  EXPECT_FALSE(LoadKeepMirror());
  // Cancelled: nothing written. The program's own format asks nothing: it keeps the setting itself.
  answerDialog_ = [&](QDialog&) { return ++answered, int(QDialog::Rejected); };
  ui_.files = {QPath("dropped.mqo")};
  frame_->Execute(kCmdSaveAs);
  EXPECT_FALSE(std::filesystem::exists(Path("dropped.mqo")));
  ui_.files = {QPath("doc.mwr")};
  frame_->Execute(kCmdSaveAs);
  EXPECT_EQ(answered, 3);
  EXPECT_TRUE(std::filesystem::exists(Path("doc.mwr")));
}

// The knife in the perspective pane on a box seen from a corner: clicks lay a line across the
// three faces turned toward the viewer, Enter cuts those only; with 背面も切る the two faces behind
// that the line crosses are cut too. A camera drag between clicks begins the line again.
TEST_F(AppTest, KnifeInThePerspectivePaneCutsWhatIsInSight) {
  MW_REQUIRE_DISPLAY();
  AddBox(scene_);
  scene_.SetCameraRotation(CVector(35.264f, -45.0f, 0.0f));
  scene_.SetCameraTranslation(CVector(0.0f, 0.0f, -2500.0f));
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  PerspectivePane* pane = frame_->perspectivePane();
  EXPECT_EQ(&pane->input().tools(), &frame_->orthoPane(kPlaneTop)->input().tools())
      << "背面も選択 and 背面も切る reach the perspective pane";
  frame_->Execute(kCmdKnife);
  ASSERT_EQ(scene_.editMode, kModeKnife);
  const ScreenPoint corner = PaneProjection::Perspective(scene_, pane->width(), pane->height())(CVector(60, 60, 60));
  ASSERT_TRUE(corner.ok);
  const int y = static_cast<int>(corner.y) - 10;
  // The clicks lie outside the box's picture, on both sides.
  for (const CVector& side : {CVector(-60, 60, 60), CVector(60, 60, -60)}) {
    const ScreenPoint p = PaneProjection::Perspective(scene_, pane->width(), pane->height())(side);
    ASSERT_TRUE(p.x > 4 && p.x < pane->width() - 5) << p.x;
  }
  const auto lay = [&]() {
    QTest::mouseClick(pane, Qt::LeftButton, Qt::NoModifier, QPoint(2, y));
    QTest::mouseClick(pane, Qt::LeftButton, Qt::NoModifier, QPoint(pane->width() - 3, y));
  };
  lay();
  QTest::keyClick(pane, Qt::Key_Escape);
  QTest::keyClick(pane, Qt::Key_Return);
  EXPECT_EQ(scene_.models[0].faces.size(), 6u);
  lay();
  QTest::keyClick(pane, Qt::Key_Return);
  EXPECT_EQ(scene_.models[0].faces.size(), 9u);
  EXPECT_EQ(doc_->undoStack().undoText(), QStringLiteral("ナイフ"));
  frame_->Execute(kCmdUndo);
  ASSERT_EQ(scene_.models[0].faces.size(), 6u);
  // Through the back; a click, then a turn of the camera: the next click begins a new line.
  frame_->Execute(kCmdKnifeThroughBack);
  EXPECT_TRUE(LoadKnifeThroughBack());
  QTest::mouseClick(pane, Qt::LeftButton, Qt::NoModifier, QPoint(pane->width() / 2, 5));
  scene_.SetCameraTranslation(CVector(0.0f, 0.0f, -2501.0f));
  lay();
  scene_.SetCameraTranslation(CVector(0.0f, 0.0f, -2500.0f));
  QTest::keyClick(pane, Qt::Key_Return);
  EXPECT_EQ(scene_.models[0].faces.size(), 6u) << "the line was laid in another view";
  lay();
  QTest::keyClick(pane, Qt::Key_Return);
  EXPECT_EQ(scene_.models[0].faces.size(), 11u);
  frame_->Execute(kCmdKnifeThroughBack);
  EXPECT_FALSE(LoadKnifeThroughBack());
}

}  // namespace
}  // namespace mw
