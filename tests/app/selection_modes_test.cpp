// The window with edge and face selection: commands from one registration each (menus, keys, the
// help's key table), unique mnemonics in every menu, and faces picked by clicks in the perspective
// pane, moved with the move drag and taken back.
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <set>

#include "app/command_registry.h"
#include "app/commands.h"
#include "app/help_window.h"
#include "platform/paths.h"
#include "scene/element_selection.h"
#include "tests/app/app_fixture.h"

namespace mw {
namespace {

using test::AppTest;

TEST_F(AppTest, EveryMenuGivesEachMnemonicToOneItem) {
  MW_REQUIRE_DISPLAY();
  // The menu bar, its menus and submenus, and the lists' context menus: every QMenu the window has.
  std::vector<std::pair<QString, QList<QAction*>>> menus{{QStringLiteral("menu bar"), frame_->menuBar()->actions()}};
  for (QMenu* m : frame_->findChildren<QMenu*>()) menus.emplace_back(m->title(), m->actions());
  ASSERT_GE(menus.size(), 11u);  // eight menus, the recent files, and the two lists' menus
  bool sawModelMenu = false;
  for (const auto& [title, actions] : menus) {
    std::set<QChar> seen;
    for (QAction* a : actions) {
      if (a->isSeparator()) continue;
      sawModelMenu = sawModelMenu || a->text() == QStringLiteral("一つ下に移動(&O)");
      const QChar m = MnemonicOf(a->text());
      if (m.isNull()) continue;
      EXPECT_TRUE(seen.insert(m).second) << title.toStdString() << ": " << a->text().toStdString();
    }
  }
  EXPECT_TRUE(sawModelMenu);
  EXPECT_EQ(MnemonicOf(QStringLiteral("A && B(&C)")), QLatin1Char('C'));
  EXPECT_TRUE(MnemonicOf(QStringLiteral("A && B")).isNull());
}

TEST_F(AppTest, CommandsComeFromOneRegistrationEach) {
  MW_REQUIRE_DISPLAY();
  // No key reaches two commands, and every menu item and toolbar button is a registered command.
  std::set<QString> keys;
  const QList<QAction*> all = frame_->findChildren<QAction*>();
  for (QAction* a : all) {
    const int id = a->data().toInt();
    if (!frame_->commands().Entry(id)) continue;
    for (const QKeySequence& k : a->shortcuts())
      EXPECT_TRUE(keys.insert(k.toString(QKeySequence::PortableText)).second) << k.toString().toStdString();
  }
  for (QMenu* m : frame_->menuBar()->findChildren<QMenu*>()) {
    if (m == frame_->recentMenu()) continue;
    for (QAction* a : m->actions()) {
      if (a->isSeparator() || a->menu()) continue;
      EXPECT_NE(frame_->commands().Entry(a->data().toInt()), nullptr) << a->text().toStdString();
    }
  }
  // The modes of selection on keys 1, 2 and 3, checked as the scene says.
  QAction* faces = frame_->action(kCmdSelectFaces);
  ASSERT_NE(faces, nullptr);
  EXPECT_EQ(faces->shortcut(), QKeySequence(Qt::Key_3));
  EXPECT_EQ(faces->text(), QStringLiteral("面\t3(&F)"));
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  QTest::keyClick(frame_->orthoPane(kPlaneTop), Qt::Key_3);
  EXPECT_EQ(scene_.selectMode, kSelectFaces);
  EXPECT_TRUE(faces->isChecked());
  QTest::keyClick(frame_->orthoPane(kPlaneTop), Qt::Key_2);
  EXPECT_EQ(scene_.selectMode, kSelectEdges);
  EXPECT_FALSE(faces->isChecked());
  // The help's key table lists every key of every command.
  const QString table = frame_->commands().KeyTableHtml();
  EXPECT_TRUE(table.contains(QStringLiteral("<td>面</td><td><kbd>3</kbd></td>")));
  EXPECT_TRUE(table.contains(QStringLiteral("<kbd>Ctrl</kbd>+<kbd>Num</kbd>+<kbd>+</kbd>")) ||
              table.contains(QStringLiteral("<kbd>Ctrl</kbd>+<kbd>+</kbd>")))
      << table.toStdString();
  EXPECT_TRUE(table.contains(QStringLiteral("<td>削除</td><td><kbd>Del</kbd></td>"))) << table.toStdString();
  // The help window shows the document beside the program with that table put in.
  const QString page = QString::fromStdString(ProgramFolder()) + QStringLiteral("Meshwright.html");
  ASSERT_TRUE(QFileInfo::exists(page)) << page.toStdString();
  frame_->Execute(kCmdHelp);
  auto* window = frame_->findChild<CHelpWindow*>();
  ASSERT_NE(window, nullptr);
  const QString help = window->browser()->toPlainText();
  EXPECT_TRUE(help.contains(QStringLiteral("選択範囲を拡大"))) << help.toStdString();
  EXPECT_TRUE(help.contains(QStringLiteral("Alt+H"))) << help.toStdString();
}

// A box in front of the default camera, its six faces in the current material.
void AddBox(CMeshwright& scene) {
  scene.AddBox(CVector(-60, -60, -60), CVector(60, 60, 60));
  scene.ComputeNormals();
}

int RedPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      n += c.red() > 150 && c.green() < 90 && c.blue() < 90;
    }
  return n;
}

TEST_F(AppTest, FacesClickedInThePerspectivePaneAreMovedAndTheMoveTakenBack) {
  MW_REQUIRE_DISPLAY();
  AddBox(scene_);
  frame_->FrameView(false);
  frame_->Execute(kCmdSelectFaces);
  PerspectivePane* persp = frame_->perspectivePane();
  QCoreApplication::processEvents();
  const QImage before = persp->grabFramebuffer();
  EXPECT_EQ(RedPixels(before), 0);
  // The face under the middle of the pane, then the faces under three points around it with Shift.
  const QPoint c(persp->width() / 2, persp->height() / 2);
  QTest::mouseClick(persp, Qt::LeftButton, Qt::NoModifier, c);
  const CModel& m = scene_.models[0];
  auto picked = [&m]() {
    int n = 0;
    for (const CFace& f : m.faces) n += f.selected;
    return n;
  };
  ASSERT_EQ(picked(), 1);
  EXPECT_EQ(doc_->undoStack().undoText(), QStringLiteral("クリックで選択"));
  // Shown red in the perspective pane and in every orthographic pane.
  EXPECT_GT(RedPixels(persp->grabFramebuffer()), 100);
  for (int plane = 0; plane < 3; ++plane) EXPECT_GT(RedPixels(frame_->orthoPane(plane)->grab().toImage()), 10) << plane;
  EXPECT_TRUE(frame_->counts()->text().contains(QStringLiteral("面 1/6"))) << frame_->counts()->text().toStdString();
  // A Shift-click on a face already picked keeps it; a Ctrl-click drops it, another brings it back.
  QTest::mouseClick(persp, Qt::LeftButton, Qt::ShiftModifier, c + QPoint(3, 3));
  EXPECT_EQ(picked(), 1);
  QTest::mouseClick(persp, Qt::LeftButton, Qt::ControlModifier, c);
  EXPECT_EQ(picked(), 0);
  QTest::mouseClick(persp, Qt::LeftButton, Qt::ControlModifier, c);
  EXPECT_EQ(picked(), 1);
  // Faces hidden behind the front one cannot be clicked; with 「背面も選択」 a band reaches them.
  const std::vector<CVector> start = [&m]() {
    std::vector<CVector> p;
    for (const CVertex& v : m.vertices) p.push_back(v.position);
    return p;
  }();
  // Move the picked face's corners with the move drag in the Top pane, then take it back.
  frame_->Execute(kCmdModeMove);
  OrthoPane* top = frame_->orthoPane(kPlaneTop);
  const QPoint t(top->width() / 2, top->height() / 2);
  QTest::mousePress(top, Qt::LeftButton, Qt::NoModifier, t);
  for (int i = 1; i <= 10; ++i) QTest::mouseMove(top, t + QPoint(2 * i, 0));
  QTest::mouseRelease(top, Qt::LeftButton, Qt::NoModifier, t + QPoint(20, 0));
  int moved = 0;
  for (std::size_t i = 0; i < m.vertices.size(); ++i) moved += !(m.vertices[i].position == start[i]);
  EXPECT_EQ(moved, 4);  // the corners of the one face
  frame_->Execute(kCmdUndo);
  for (std::size_t i = 0; i < m.vertices.size(); ++i) EXPECT_EQ(m.vertices[i].position, start[i]) << i;
  EXPECT_EQ(picked(), 1);
  // A click on empty space clears.
  frame_->Execute(kCmdModeSelect);
  QTest::mouseClick(persp, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
  EXPECT_EQ(picked(), 0);
}

}  // namespace
}  // namespace mw
