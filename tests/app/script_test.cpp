// Scripts from the スクリプト menu in the real window: one step of the history, the output pane,
// the recent list, and a failing script that leaves the document as it was.
#include <QElapsedTimer>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTimer>
#include <QStatusBar>
#include <fstream>

#include "app/commands.h"
#include "app/script_command.h"
#include "tests/app/app_fixture.h"

namespace mw {
namespace {

using test::AppTest;

std::vector<CVector> Positions(const CModel& m) {
  std::vector<CVector> out;
  for (const CVertex& v : m.vertices) out.push_back(v.position);
  return out;
}

class ScriptTest : public AppTest {
 protected:
  QString Script(const std::string& name, const std::string& text) {
    std::ofstream(Path(name)) << text;
    return QPath(name);
  }
  ScriptCommands* scripts() { return frame_->findChild<ScriptCommands*>(QStringLiteral("scriptCommands")); }
  void Box() {
    ASSERT_TRUE(scene_.AddBox(CVector(0, 0, 0), CVector(10, 10, 10)));
    scene_.ComputeNormals();
  }
};

constexpr const char* kMoveAndAdd = R"(
import numpy as np
m = doc.models[0]
m.positions[:, 0] += 100
doc.add_shape("box", size=5)
print("moved", m.vertex_count)
)";

TEST_F(ScriptTest, AScriptFromTheMenuIsOneStepOfTheHistory) {
  MW_REQUIRE_DISPLAY();
  Box();
  const std::vector<CVector> before = Positions(scene_.models[0]);
  const std::size_t models = scene_.models.size();
  ui_.files.push_back(Script("move.py", kMoveAndAdd));
  ASSERT_NE(frame_->action(kCmdRunScript), nullptr);
  frame_->action(kCmdRunScript)->trigger();

  ASSERT_EQ(scene_.models.size(), models + 1);
  EXPECT_EQ(scene_.models[0].vertices[0].position.x, before[0].x + 100);
  EXPECT_EQ(doc_->undoStack().count(), 1);
  EXPECT_EQ(doc_->undoStack().undoText(), QStringLiteral("スクリプト"));
  EXPECT_TRUE(doc_->modified());
  EXPECT_TRUE(scripts()->OutputVisible());
  EXPECT_TRUE(scripts()->output()->toPlainText().contains(QStringLiteral("moved 8")));
  EXPECT_EQ(scripts()->RecentScripts(), QStringList{QPath("move.py")});
  // The script's normals follow its positions.
  const CModel recomputed = [&] { CModel m = scene_.models[0]; m.ComputeNormals(scene_.smoothing); return m; }();
  EXPECT_EQ(scene_.models[0].faces[0].normal, recomputed.faces[0].normal);

  doc_->Undo();
  EXPECT_EQ(scene_.models.size(), models);
  EXPECT_EQ(Positions(scene_.models[0]), before);
  doc_->Redo();
  EXPECT_EQ(scene_.models.size(), models + 1);
  EXPECT_EQ(scene_.models[0].vertices[0].position.x, before[0].x + 100);
}

TEST_F(ScriptTest, AScriptThatRaisesLeavesTheDocumentAsItWas) {
  MW_REQUIRE_DISPLAY();
  Box();
  const CModel model = scene_.models[0];
  const std::size_t models = scene_.models.size(), materials = scene_.materials.size();
  // It changes positions in place, adds a model and a material, keeps an array, then fails.
  const std::string text = std::string(kMoveAndAdd) +
                           "doc.add_material('x')\nimport meshwright\nmeshwright.kept = m.positions\n"
                           "raise RuntimeError('途中でやめた')\n";
  EXPECT_FALSE(scripts()->Run(Script("bad.py", text)));
  ASSERT_EQ(scene_.models.size(), models);
  EXPECT_EQ(scene_.materials.size(), materials);
  EXPECT_EQ(Positions(scene_.models[0]), Positions(model));
  EXPECT_EQ(doc_->undoStack().count(), 0);
  EXPECT_TRUE(scripts()->output()->toPlainText().contains(QStringLiteral("RuntimeError: 途中でやめた")));
  EXPECT_TRUE(frame_->statusBar()->currentMessage().contains(QStringLiteral("元のまま")));

  // The array the failed script kept no longer reaches the document: a later script reads it, and
  // writing it raises instead of touching freed or foreign memory.
  const std::string probe =
      "import meshwright\nassert not meshwright.kept.flags.writeable\nprint('sum', float(meshwright.kept.sum()))\n"
      "try:\n    meshwright.kept[0, 0] = 1\nexcept ValueError:\n    print('read-only')\n";
  EXPECT_TRUE(scripts()->Run(Script("probe.py", probe)));
  EXPECT_TRUE(scripts()->output()->toPlainText().contains(QStringLiteral("read-only")));
  EXPECT_EQ(Positions(scene_.models[0]), Positions(model));
}

TEST_F(ScriptTest, CancelStopsALongScriptAndLeavesTheDocumentAsItWas) {
  MW_REQUIRE_DISPLAY();
  Box();
  const std::vector<CVector> before = Positions(scene_.models[0]);
  // Ends by itself after 20 s should キャンセル fail to stop it.
  const QString path = Script("long.py",
                              "import time\ndoc.models[0].positions[:, 0] += 5\nt = time.time()\n"
                              "while time.time() - t < 20:\n    pass\n");
  bool shown = false;
  QTimer::singleShot(900, frame_.get(), [&]() {
    auto* wait = frame_->findChild<QProgressDialog*>();
    ASSERT_NE(wait, nullptr);
    shown = wait->isVisible();
    wait->cancel();
  });
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(scripts()->Run(path));
  EXPECT_LT(clock.elapsed(), 10000);
  EXPECT_TRUE(shown);  // the dialog offering キャンセル was up
  EXPECT_EQ(Positions(scene_.models[0]), before);
  EXPECT_EQ(doc_->undoStack().count(), 0);
  EXPECT_TRUE(frame_->statusBar()->currentMessage().contains(QStringLiteral("キャンセル")));
  EXPECT_TRUE(scripts()->output()->toPlainText().contains(QStringLiteral("KeyboardInterrupt")));
}

TEST_F(ScriptTest, TheScriptMenuHoldsRunRecentAndOutput) {
  MW_REQUIRE_DISPLAY();
  QMenu* menu = nullptr;
  for (QAction* top : frame_->menuBar()->actions())
    if (top->text() == QStringLiteral("スクリプト(&R)")) menu = top->menu();
  ASSERT_NE(menu, nullptr);
  QStringList items;
  for (QAction* a : menu->actions()) items << a->text();
  EXPECT_EQ(items, (QStringList{QStringLiteral("実行(&R)...\tCtrl+Shift+P"), QStringLiteral("最近使ったスクリプト(&F)"),
                                QString(), QStringLiteral("出力ペイン(&O)")}));
  EXPECT_EQ(frame_->action(kCmdRunScript)->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
  for (QAction* a : frame_->findChildren<QAction*>()) {
    if (a == frame_->action(kCmdRunScript)) continue;
    for (const QKeySequence& k : a->shortcuts()) EXPECT_NE(k, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
  }
}

}  // namespace
}  // namespace mw
