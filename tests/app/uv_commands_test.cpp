// The UV menu in the real window: its entries, and each command one step of the history that undo
// takes back to the very bytes of the document and redo makes again.
#include <QMenuBar>
#include <QStatusBar>

#include "app/commands.h"
#include "scene/archive.h"
#include "scene/uv_ops.h"
#include "tests/app/app_fixture.h"

namespace mw {
namespace {

using test::AppTest;

std::vector<std::uint8_t> Bytes(const CMeshwright& scene) {
  std::vector<std::uint8_t> out;
  WriteScene(scene, out);
  return out;
}

TEST_F(AppTest, UVCommandsAreOneStepEachAndUndoGivesBackTheBytes) {
  MW_REQUIRE_DISPLAY();
  QMenu* uv = nullptr;
  for (QAction* a : frame_->menuBar()->actions())
    if (a->text() == QStringLiteral("UV(&U)")) uv = a->menu();
  ASSERT_NE(uv, nullptr);
  QStringList texts;
  for (const QAction* a : uv->actions())
    if (!a->isSeparator()) texts << a->text();
  EXPECT_EQ(texts, (QStringList{"投影(&P)", "継ぎ目を付ける(&M)", "継ぎ目を外す(&C)", "継ぎ目を自動(&A)", "展開\tU(&U)",
                                "詰め直す(&K)", "既定のUVに戻す(&R)"}));

  ASSERT_TRUE(scene_.AddBox(CVector(-50, -30, -20), CVector(50, 30, 20)));
  frame_->UpdateCommandStates();
  EXPECT_FALSE(frame_->action(kCmdUnwrap)->isEnabled());  // nothing selected
  frame_->Execute(kCmdSelectAll);
  frame_->UpdateCommandStates();
  EXPECT_TRUE(frame_->action(kCmdUnwrap)->isEnabled());
  const int base = doc_->undoStack().count();
  const int steps[] = {kCmdAutoSeam, kCmdUnwrap, kCmdUVSphere, kCmdUVFromView, kCmdPackUV, kCmdUVBox, kCmdResetUV,
                       kCmdClearSeam};
  std::vector<std::vector<std::uint8_t>> states{Bytes(scene_)};
  for (int id : steps) {
    frame_->Execute(id);
    states.push_back(Bytes(scene_));
    EXPECT_NE(states.back(), states[states.size() - 2]) << id;
  }
  EXPECT_EQ(doc_->undoStack().count(), base + static_cast<int>(std::size(steps)));
  EXPECT_EQ(frame_->statusBar()->currentMessage(), QStringLiteral("継ぎ目を外す: 辺 12 本"));
  for (std::size_t i = std::size(steps); i-- > 0;) {
    doc_->Undo();
    EXPECT_EQ(Bytes(scene_), states[i]) << steps[i];
  }
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    doc_->Redo();
    EXPECT_EQ(Bytes(scene_), states[i + 1]) << steps[i];
  }
  // After the unwrap the six sides are islands apart from each other.
  for (int i = 0; i < 6; ++i) doc_->Undo();
  const CModel& m = scene_.models[0];
  EXPECT_EQ(m.seamEdges.size(), 12u);
  EXPECT_EQ(FindUVIslands(m, SelectedUVFaces(m)).size(), 6u);
  EXPECT_EQ(CountOverlappingUVFaces(m, SelectedUVFaces(m)), 0u);

  // 展開 alone on a box with no seams cuts it at its sharp edges first: six islands, none folded.
  for (int i = 0; i < 2; ++i) doc_->Undo();
  ASSERT_TRUE(scene_.models[0].seamEdges.empty());
  frame_->Execute(kCmdUnwrap);
  EXPECT_EQ(m.seamEdges.size(), 12u);
  EXPECT_EQ(FindUVIslands(m, SelectedUVFaces(m)).size(), 6u);
  EXPECT_EQ(CountOverlappingUVFaces(m, SelectedUVFaces(m)), 0u);
}

}  // namespace
}  // namespace mw
