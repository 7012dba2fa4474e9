// Framing, grid snapping and boxes in the real window: menus, keys, toolbar, opening documents.
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <cmath>

#include "app/commands.h"
#include "app/material_view.h"
#include "scene/frame_view.h"
#include "tests/app/app_fixture.h"

namespace mw {
namespace {

using test::AppTest;

QString Testdata(const char* name) { return QStringLiteral(MW_TESTDATA_DIR "/") + QString::fromLatin1(name); }

QMenu* TopMenu(CMainFrame& f, const QString& title) {
  for (QAction* a : f.menuBar()->actions())
    if (a->text() == title) return a->menu();
  return nullptr;
}

bool InMenu(QMenu* menu, QAction* a) { return menu && menu->actions().contains(a); }

TEST_F(AppTest, FramingSnappingAndBoxAreInTheirMenusWithTheirKeysAndOnTheToolbar) {
  MW_REQUIRE_DISPLAY();
  QAction* all = frame_->action(kCmdFrameAll);
  QAction* selected = frame_->action(kCmdFrameSelection);
  QAction* snap = frame_->action(kCmdSnapToGrid);
  QAction* box = frame_->action(kCmdModeCreateBox);
  EXPECT_EQ(all->text(), QStringLiteral("全体を表示\tHome(&A)"));
  EXPECT_EQ(all->shortcuts(), (QList<QKeySequence>{QKeySequence(Qt::Key_Home), QKeySequence(Qt::SHIFT | Qt::Key_F)}));
  EXPECT_EQ(selected->text(), QStringLiteral("選択頂点を表示\tF(&E)"));
  EXPECT_EQ(selected->shortcut(), QKeySequence(Qt::Key_F));
  EXPECT_EQ(snap->text(), QStringLiteral("グリッドにスナップ\tCtrl+G(&G)"));
  EXPECT_EQ(snap->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
  EXPECT_TRUE(snap->isCheckable());
  EXPECT_FALSE(snap->isChecked());
  EXPECT_EQ(box->text(), QStringLiteral("箱(&B)"));
  EXPECT_EQ(box->statusTip(), QStringLiteral("ドラッグした矩形から箱を作成"));
  EXPECT_TRUE(InMenu(TopMenu(*frame_, QStringLiteral("表示(&V)")), all));
  EXPECT_TRUE(InMenu(TopMenu(*frame_, QStringLiteral("表示(&V)")), selected));
  EXPECT_TRUE(InMenu(TopMenu(*frame_, QStringLiteral("変形(&T)")), snap));
  EXPECT_TRUE(InMenu(TopMenu(*frame_, QStringLiteral("作成(&M)")), box));
  QToolBar* bar = frame_->findChild<QToolBar*>(QStringLiteral("toolbar"));
  ASSERT_NE(bar, nullptr);
  for (QAction* a : {all, selected, snap, box}) {
    EXPECT_TRUE(bar->actions().contains(a)) << a->text().toStdString();
    EXPECT_FALSE(a->icon().isNull());
  }

  // Ctrl+G turns snapping on and off, with the check mark.
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  QWidget* top = frame_->orthoPane(kPlaneTop);
  top->setFocus();
  QTest::keyClick(top, Qt::Key_G, Qt::ControlModifier);
  EXPECT_TRUE(frame_->paneTools().snap.enabled);
  EXPECT_TRUE(snap->isChecked());
  QTest::keyClick(top, Qt::Key_G, Qt::ControlModifier);
  EXPECT_FALSE(frame_->paneTools().snap.enabled);
  EXPECT_FALSE(snap->isChecked());
}

TEST_F(AppTest, OpeningAnOffCentreDocumentFramesItOnceWithoutModifyingIt) {
  MW_REQUIRE_DISPLAY();
  MW_REQUIRE_TESTDATA();
  // A document that already shows whole keeps the view it has.
  const PanOffsets before = frame_->pan();
  ASSERT_TRUE(frame_->OpenFromShell(Testdata("mqo/wanwan_cube_lf.mqo")));
  QCoreApplication::processEvents();
  EXPECT_EQ(scene_.zoom, 100.0f);
  EXPECT_EQ(frame_->pan().panX, before.panX);
  EXPECT_EQ(frame_->pan().panY, before.panY);
  EXPECT_EQ(frame_->pan().panZ, before.panZ);

  // z runs from 120 to 300: past the bottom of the Top pane at the opening zoom.
  const QString cockpit = Testdata("mqo/vastspace_A10-cockpit.mqo");
  doc_->NewDocument();
  ASSERT_TRUE(frame_->OpenFromShell(cockpit));
  QCoreApplication::processEvents();
  ASSERT_FALSE(scene_.models.empty());
  EXPECT_TRUE(AllVisibleInPanes(scene_, frame_->pan(), frame_->Viewports()));
  EXPECT_NE(scene_.zoom, 100.0f);
  EXPECT_FALSE(doc_->modified());
  EXPECT_EQ(doc_->undoStack().count(), 0);
  for (const CModel& m : scene_.models)
    for (const CVertex& v : m.vertices) {
      const CVector n = PerspectiveNdc(scene_, v.position);
      EXPECT_LT(std::fabs(n.x), 1.0f);
      EXPECT_LT(std::fabs(n.y), 1.0f);
    }

  // Turned off in the settings, the document opens where it lies.
  frame_->frameOnOpen = false;
  doc_->NewDocument();
  scene_.zoom = 100.0f;
  frame_->ResetPan();
  ASSERT_TRUE(frame_->OpenFromShell(cockpit));
  QCoreApplication::processEvents();
  EXPECT_EQ(scene_.zoom, 100.0f);
  EXPECT_FALSE(AllVisibleInPanes(scene_, frame_->pan(), frame_->Viewports()));

  // Reading a document into the open one (the open command with a format that appends) frames
  // too, after the step that reads it.
  frame_->frameOnOpen = true;
  doc_->NewDocument();
  ui_.files.push_back(Testdata("mqo/wertrain_heisi.mqo"));  // y up to 279: above the Face pane
  frame_->Execute(kCmdOpen);
  QCoreApplication::processEvents();
  EXPECT_GT(scene_.models.size(), 1u);
  EXPECT_TRUE(AllVisibleInPanes(scene_, frame_->pan(), frame_->Viewports()));
}

TEST_F(AppTest, OpeningADocumentThatShowsAsADotFramesIt) {
  MW_REQUIRE_DISPLAY();
  MW_REQUIRE_TESTDATA();
  // A box one unit across: inside every pane at the opening zoom, but one pixel wide.
  ASSERT_TRUE(frame_->OpenFromShell(Testdata("gltf/assimp-BoxTextured/BoxTextured.gltf")));
  QCoreApplication::processEvents();
  ASSERT_FALSE(VisibleBounds(scene_, false).empty);
  EXPECT_GT(scene_.zoom, 1000.0f);
  EXPECT_TRUE(AllVisibleInPanes(scene_, frame_->pan(), frame_->Viewports()));
  EXPECT_FALSE(NeedsFramingOnOpen(scene_, frame_->pan(), frame_->Viewports()));
  EXPECT_FALSE(doc_->modified());
  EXPECT_EQ(doc_->undoStack().count(), 0);
}

TEST_F(AppTest, HomeFramesEverythingVisibleAndFTheSelectionAsOneStep) {
  MW_REQUIRE_DISPLAY();
  CModel far;
  far.vertices = {CVertex(1.0e5f, 2.0e5f, -3.0e5f), CVertex(1.0e5f + 37, 2.0e5f + 11, -3.0e5f - 5)};
  CModel hidden;
  hidden.state = kStateHidden;
  hidden.vertices = {CVertex(-9e6f, 0, 0)};
  scene_.models = {far, hidden};
  doc_->updateAllViews(0);
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  QWidget* face = frame_->orthoPane(kPlaneFace);
  face->setFocus();
  const CAnimation camera = scene_.camera;
  QTest::keyClick(face, Qt::Key_Home);
  EXPECT_TRUE(AllVisibleInPanes(scene_, frame_->pan(), frame_->Viewports()));
  EXPECT_GT(scene_.zoom, 100.0f);           // 37 units across fill a pane
  EXPECT_EQ(doc_->undoStack().count(), 1);  // the camera moved: one step
  frame_->Execute(kCmdUndo);
  EXPECT_EQ(scene_.camera.translation, camera.translation);

  // Shift+F does the same; F frames the selection, and says so when there is none.
  scene_.zoom = 100.0f;
  QTest::keyClick(face, Qt::Key_F, Qt::ShiftModifier);
  EXPECT_TRUE(AllVisibleInPanes(scene_, frame_->pan(), frame_->Viewports()));
  const float whole = scene_.zoom;
  QTest::keyClick(face, Qt::Key_F);
  EXPECT_EQ(frame_->statusBar()->currentMessage(), QStringLiteral("選択された頂点がありません"));
  EXPECT_EQ(scene_.zoom, whole);
  scene_.models[0].vertices.push_back(CVertex(1.0e5f + 1, 2.0e5f + 1, -3.0e5f - 1));
  scene_.models[0].vertices.back().selected = 1;
  scene_.models[0].vertices[0].selected = 1;
  QTest::keyClick(face, Qt::Key_F);
  EXPECT_GT(scene_.zoom, whole * 5);
}

TEST_F(AppTest, ABoxDraggedInTheTopPaneIsDrawnWhileDraggingAndIsOneUndoableStep) {
  MW_REQUIRE_DISPLAY();
  scene_.models[0].vertices.clear();
  frame_->Execute(kCmdModeCreateBox);
  EXPECT_EQ(scene_.editMode, kModeCreateBox);
  OrthoPane* top = frame_->orthoPane(kPlaneTop);
  OrthoPane* face = frame_->orthoPane(kPlaneFace);
  const QPoint c(top->width() / 2, top->height() / 2);
  QTest::mousePress(top, Qt::LeftButton, Qt::NoModifier, c);
  for (int i = 1; i <= 20; ++i) QTest::mouseMove(top, c + QPoint(3 * i, 2 * i));
  // The outline shows in the Face pane too: 60 units wide, 40 deep (the shorter side), blue.
  const QImage shown = face->grab().toImage();
  const QPoint fc(face->width() / 2, face->height() / 2);
  EXPECT_EQ(shown.pixelColor(fc.x() + 30, fc.y() - 20).rgb(), QColor(0, 0, 255).rgb());
  EXPECT_EQ(shown.pixelColor(fc.x() + 30, fc.y() + 20).rgb(), QColor(0, 0, 255).rgb());
  EXPECT_TRUE(scene_.models[0].faces.empty());
  QTest::mouseRelease(top, Qt::LeftButton, Qt::NoModifier, c + QPoint(60, 40));
  ASSERT_EQ(scene_.models[0].vertices.size(), 8u);
  ASSERT_EQ(scene_.models[0].faces.size(), 6u);
  EXPECT_EQ(doc_->undoStack().count(), 1);
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: 箱の作成\tCtrl+Z(&U)"));
  EXPECT_TRUE(doc_->modified());
  frame_->Execute(kCmdUndo);
  EXPECT_TRUE(scene_.models[0].vertices.empty());
  EXPECT_TRUE(scene_.models[0].faces.empty());
  frame_->Execute(kCmdRedo);
  EXPECT_EQ(scene_.models[0].faces.size(), 6u);
}

// Pixels of the perspective pane that are not the background.
int DrawnPixels(CMainFrame& frame) {
  const QImage image = frame.perspectivePane()->grabFramebuffer();
  const QRgb background = image.pixel(0, 0);
  int drawn = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) drawn += image.pixel(x, y) != background;
  return drawn;
}

TEST_F(AppTest, BuildingInADocumentWithoutMaterialsGivesItACurrentMaterialInTheSameStep) {
  MW_REQUIRE_DISPLAY();
  frame_->Execute(kCmdModeCreateBox);
  OrthoPane* top = frame_->orthoPane(kPlaneTop);
  const QPoint c(top->width() / 2, top->height() / 2);
  auto drag = [&]() {
    QTest::mousePress(top, Qt::LeftButton, Qt::NoModifier, c);
    for (int i = 1; i <= 5; ++i) QTest::mouseMove(top, c + QPoint(12 * i, 8 * i));
    QTest::mouseRelease(top, Qt::LeftButton, Qt::NoModifier, c + QPoint(60, 40));
  };
  // A locked model refuses the box, and so gets no material either.
  scene_.models[0].state = kStateLocked;
  drag();
  EXPECT_TRUE(scene_.materials.empty());
  EXPECT_EQ(doc_->undoStack().count(), 0);
  scene_.models[0].state = kStateNormal;
  scene_.currentMaterial = -1;  // a click on the empty material list

  drag();
  ASSERT_EQ(scene_.models[0].faces.size(), 6u);
  ASSERT_EQ(scene_.materials.size(), 1u);
  EXPECT_EQ(scene_.currentMaterial, 0);
  EXPECT_EQ(scene_.materials[0].diffuse, CMaterial().diffuse);
  for (const CFace& f : scene_.models[0].faces) EXPECT_EQ(f.material, scene_.materials[0].id);
  EXPECT_EQ(frame_->materialList()->topLevelItemCount(), 1);
  EXPECT_GT(DrawnPixels(*frame_), 100) << "the box shows in the perspective pane";
  EXPECT_EQ(doc_->undoStack().count(), 1);

  frame_->Execute(kCmdUndo);
  EXPECT_TRUE(scene_.models[0].faces.empty());
  EXPECT_TRUE(scene_.materials.empty());
  EXPECT_EQ(scene_.nextMaterialId, 0);
  EXPECT_FALSE(scene_.HasCurrentMaterial());
  frame_->Execute(kCmdRedo);
  EXPECT_EQ(scene_.models[0].faces.size(), 6u);
  EXPECT_EQ(scene_.materials.size(), 1u);
  EXPECT_EQ(scene_.currentMaterial, 0);

  // A second box uses the material there is; so does a face, finished by its fourth corner or by
  // Enter, in a new document.
  drag();
  EXPECT_EQ(scene_.materials.size(), 1u);
  doc_->NewDocument();
  frame_->Execute(kCmdModeCreateFace);
  OrthoPane* face = frame_->orthoPane(kPlaneFace);
  const QPoint fc(face->width() / 2, face->height() / 2);
  for (QPoint d : {QPoint(0, 0), QPoint(50, 0), QPoint(50, -40)})
    QTest::mouseClick(face, Qt::LeftButton, Qt::NoModifier, fc + d);
  EXPECT_TRUE(scene_.materials.empty()) << "corners being placed are not geometry yet";
  QTest::mouseClick(face, Qt::LeftButton, Qt::NoModifier, fc + QPoint(0, -40));
  ASSERT_EQ(scene_.models[0].faces.size(), 1u);
  ASSERT_EQ(scene_.materials.size(), 1u);
  EXPECT_EQ(scene_.models[0].faces[0].material, scene_.materials[0].id);
  frame_->Execute(kCmdUndo);
  EXPECT_TRUE(scene_.models[0].faces.empty());
  EXPECT_TRUE(scene_.materials.empty());
  for (QPoint d : {QPoint(0, 0), QPoint(-50, 0)}) QTest::mouseClick(face, Qt::LeftButton, Qt::NoModifier, fc + d);
  QTest::keyClick(face, Qt::Key_Return);
  ASSERT_EQ(scene_.models[0].faces.size(), 1u);
  ASSERT_EQ(scene_.materials.size(), 1u);
  EXPECT_EQ(scene_.models[0].faces[0].material, scene_.materials[0].id);
}

}  // namespace
}  // namespace mw
