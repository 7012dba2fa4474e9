// The UV window in the real main window: shown from the 表示 menu's command, a drag in it moves the
// selected faces' UVs as one step that undo takes back to the very bytes, and it opens again where
// and as it was left.
#include <QDockWidget>
#include <QLabel>
#include <cstdlib>

#include "app/commands.h"
#include "app/uv_editor_commands.h"
#include "scene/archive.h"
#include "tests/app/app_fixture.h"

namespace mw {
namespace {

using test::AppTest;

std::vector<std::uint8_t> Bytes(const CMeshwright& s) {
  std::vector<std::uint8_t> out;
  WriteScene(s, out);
  return out;
}

void Shot(QWidget& window, const char* name) {
  if (const char* dir = std::getenv("MW_SHOTS")) window.grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
}

class UVEditorTest : public AppTest {
 protected:
  void AddSelectedBox() {
    doc_->Edit(EditKind::kCreateBox, [this]() { scene_.AddBox(CVector(-50, -50, -50), CVector(50, 50, 50)); });
    doc_->SelectAll(true);
  }
  UVEditorDock* Dock() { return frame_->uvEditor(); }
};

TEST_F(UVEditorTest, ADragMovesTheSelectedUVsAsOneStepThatUndoTakesBack) {
  MW_REQUIRE_DISPLAY();
  AddSelectedBox();
  ASSERT_TRUE(Dock()->isHidden());
  frame_->Execute(kCmdUVEditor);
  ASSERT_FALSE(Dock()->isHidden());
  EXPECT_TRUE(frame_->action(kCmdUVEditor)->isChecked());
  UVEditorPane* pane = Dock()->pane();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(pane));
  QTest::qWait(50);
  Shot(*frame_, "uv-box");
  EXPECT_TRUE(Dock()->statusLine()->text().startsWith(QStringLiteral("面 6 "))) << Dock()->statusLine()->text().toStdString();

  frame_->Execute(kCmdUVSelectAll);
  frame_->Execute(kCmdUVToolMove);
  const std::vector<std::uint8_t> before = Bytes(scene_);
  const CModel box = scene_.models[0];
  const int steps = doc_->undoStack().count();
  const double scale = pane->input().viewport().scale;
  const QPoint c(pane->width() / 2, pane->height() / 2);
  QTest::mousePress(pane, Qt::LeftButton, Qt::NoModifier, c);
  for (int i = 1; i <= 20; ++i) QTest::mouseMove(pane, c + QPoint(2 * i, 0));
  QTest::mouseRelease(pane, Qt::LeftButton, Qt::NoModifier, c + QPoint(40, 0));
  EXPECT_EQ(doc_->undoStack().count(), steps + 1);
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: UVの編集\tCtrl+Z(&U)"));
  for (std::size_t f = 0; f < box.faces.size(); ++f)
    for (std::size_t k = 0; k < box.faces[f].uvs.size(); ++k) {
      const CUV now = scene_.models[0].faces[f].uvs[k], was = box.faces[f].uvs[k];
      EXPECT_NEAR(now.u, was.u + 40.0 / scale, 1e-5) << f << " " << k;
      EXPECT_EQ(now.v, was.v);
    }
  const std::vector<std::uint8_t> after = Bytes(scene_);
  doc_->Undo();
  EXPECT_EQ(Bytes(scene_), before);
  doc_->Redo();
  EXPECT_EQ(Bytes(scene_), after);

  // A click away from everything in the select tool clears the selection; nothing moves then.
  frame_->Execute(kCmdUVToolSelect);
  QTest::mouseClick(pane, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
  EXPECT_EQ(pane->input().SelectedCount(), 0u);
  QTest::mousePress(pane, Qt::LeftButton, Qt::NoModifier, c);
  for (int i = 1; i <= 10; ++i) QTest::mouseMove(pane, c + QPoint(0, 3 * i));
  QTest::mouseRelease(pane, Qt::LeftButton, Qt::NoModifier, c + QPoint(0, 30));
  EXPECT_EQ(Bytes(scene_), after);
}

TEST_F(UVEditorTest, OpensAgainFloatingWhereItWasLeft) {
  MW_REQUIRE_DISPLAY();
  frame_->Execute(kCmdUVEditor);
  Dock()->setFloating(true);
  Dock()->setGeometry(QRect(120, 90, 420, 380));
  QTest::qWait(50);
  const QSize size = Dock()->size();
  doc_->SetModified(false);
  frame_->close();
  Restart();
  ASSERT_FALSE(Dock()->isHidden());
  EXPECT_TRUE(Dock()->isFloating());
  EXPECT_EQ(Dock()->size(), size);
  EXPECT_TRUE(frame_->action(kCmdUVEditor)->isChecked());
  // Hidden by its own command, it stays hidden at the next start.
  frame_->Execute(kCmdUVEditor);
  EXPECT_TRUE(Dock()->isHidden());
  frame_->close();
  Restart();
  EXPECT_TRUE(Dock()->isHidden());
}

}  // namespace
}  // namespace mw
