// The 面/辺 menu in the real window: a stool made from a box with extrude, inset and bevel, each
// box following its fields live in the panes, キャンセル leaving nothing, OK leaving one step.
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QMenuBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <cstdlib>

#include "app/commands.h"
#include "scene/archive.h"
#include "scene/edge_index.h"
#include "scene/element_selection.h"
#include "scene/primitives.h"
#include "tests/app/app_fixture.h"
#include "view/extrude_follow.h"
#include "view/ortho_pane.h"
#include "view/live_parameter_dialog.h"

namespace mw {
namespace {

using test::AppTest;
using test::DifferingPixels;

std::vector<std::uint8_t> Bytes(const CMeshwright& s) {
  std::vector<std::uint8_t> out;
  WriteScene(s, out);
  return out;
}

// Saves what the window shows when MW_SHOTS names a folder (a scripted run to look at).
void Shot(QWidget& window, const char* name) {
  if (const char* dir = std::getenv("MW_SHOTS")) window.grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
}

// The faces whose lit side looks along `axis` (0 x, 1 y, 2 z) toward `sign`, whose centre passes `keep`.
template <typename Keep>
void SelectFacing(CMeshwright& s, int axis, float sign, Keep&& keep) {
  SetSelectMode(s, kSelectFaces);
  CModel& m = s.models[0];
  for (CFace& f : m.faces) {
    const CVector p0 = m.vertices[f.indices[0]].position, p1 = m.vertices[f.indices[1]].position,
                  p2 = m.vertices[f.indices[2]].position;
    const CVector n = Cross(p0 - p1, p0 - p2);
    const float lit[3] = {-n.x, -n.y, -n.z};
    CVector c;
    for (std::int32_t i : f.indices) c += m.vertices[i].position;
    const float k = 1.0f / static_cast<float>(f.indices.size());
    f.selected = lit[axis] * sign > 0 && std::fabs(lit[(axis + 1) % 3]) < 1e-3f * std::fabs(lit[axis]) &&
                 keep(CVector(c.x * k, c.y * k, c.z * k));
  }
  SelectVerticesOfElements(m, kSelectFaces);
}

TEST_F(AppTest, AStoolFromABoxWithExtrudeInsetAndBevel) {
  MW_REQUIRE_DISPLAY();
  // In the 面/辺 menu, with keys, and the most used on the tool bar.
  QMenu* polygon = nullptr;
  for (QAction* top : frame_->menuBar()->actions())
    if (top->text() == QStringLiteral("面/辺(&P)")) polygon = top->menu();
  ASSERT_NE(polygon, nullptr);
  for (int id : {kCmdExtrude, kCmdInset, kCmdBevel, kCmdBridge, kCmdFill, kCmdSpin, kCmdSolidify})
    EXPECT_TRUE(polygon->actions().contains(frame_->action(id))) << id;
  for (int id : {kCmdExtrude, kCmdInset, kCmdBevel})
    EXPECT_TRUE(frame_->findChild<QToolBar*>()->actions().contains(frame_->action(id))) << id;
  EXPECT_EQ(frame_->action(kCmdExtrude)->shortcut(), QKeySequence(Qt::Key_E));
  EXPECT_EQ(frame_->action(kCmdBevel)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));

  // The seat: a box of 3 x 1 x 3 divisions, 120 wide, 20 high.
  doc_->Edit(EditKind::kMaterialAdd, [this]() { scene_.AddMaterial(); });
  scene_.currentMaterial = 0;
  PrimitiveParams seat;
  seat.kind = PrimitiveKind::kBox;
  seat.width = seat.depth = 120;
  seat.height = 20;
  seat.xSegments = seat.zSegments = 3;
  doc_->Edit(EditKind::kAddPrimitive, [&]() { AddPrimitive(scene_, seat, CVector(0, 90, 0), false); });
  frame_->Execute(kCmdFrameAll);
  Shot(*frame_, "0-box");
  ASSERT_EQ(scene_.models[0].faces.size(), 30u);

  // Legs: the four corner faces underneath, each extruded on its own. A first try is cancelled.
  SelectFacing(scene_, 1, -1, [](const CVector& c) { return std::fabs(c.x) > 30 && std::fabs(c.z) > 30; });
  const std::vector<std::uint8_t> beforeLegs = Bytes(scene_);
  const int stepsBefore = doc_->undoStack().count();
  std::size_t shownFaces = 0, followedFaces = 0;
  answerDialog_ = [&](QDialog& d) {
    auto& box = dynamic_cast<CDlgLiveParameters&>(d);
    shownFaces = scene_.models[0].faces.size();
    static_cast<QDoubleSpinBox*>(box.field(0))->setValue(70);
    followedFaces = scene_.models[0].faces.size();
    return int(QDialog::Rejected);
  };
  frame_->Execute(kCmdExtrudeNumeric);
  EXPECT_EQ(dialogs_.back(), QStringLiteral("押し出し"));
  EXPECT_EQ(shownFaces, 30u + 4u * 4u);  // the corners touch no other corner: four walls each
  EXPECT_EQ(followedFaces, shownFaces);
  EXPECT_EQ(Bytes(scene_), beforeLegs);
  EXPECT_EQ(doc_->undoStack().count(), stepsBefore);

  float lowest = 0;
  answerDialog_ = [&](QDialog& d) {
    auto& box = dynamic_cast<CDlgLiveParameters&>(d);
    static_cast<QDoubleSpinBox*>(box.field(0))->setValue(70);
    static_cast<QCheckBox*>(box.field(1))->setChecked(true);
    lowest = 1e9f;
    for (const CVertex& v : scene_.models[0].vertices) lowest = std::min(lowest, v.position.y);
    d.accept();
    return d.result();
  };
  frame_->Execute(kCmdExtrudeNumeric);
  EXPECT_FLOAT_EQ(lowest, 10.0f);  // 80 - 70, shown while the box was open
  EXPECT_EQ(doc_->undoStack().count(), stepsBefore + 1);
  EXPECT_EQ(scene_.models[0].faces.size(), 30u + 16u);
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: 押し出し\tCtrl+Z(&U)"));
  const std::vector<std::uint8_t> withLegs = Bytes(scene_);
  doc_->Undo();
  EXPECT_EQ(Bytes(scene_), beforeLegs);
  doc_->Redo();
  EXPECT_EQ(Bytes(scene_), withLegs);
  Shot(*frame_, "1-legs");

  // A dish in the seat: the top inset and lowered.
  SelectFacing(scene_, 1, 1, [](const CVector&) { return true; });
  answerDialog_ = [&](QDialog& d) {
    auto& box = dynamic_cast<CDlgLiveParameters&>(d);
    static_cast<QDoubleSpinBox*>(box.field(0))->setValue(8);
    static_cast<QDoubleSpinBox*>(box.field(1))->setValue(-4);
    d.accept();
    return d.result();
  };
  frame_->Execute(kCmdInset);
  EXPECT_EQ(scene_.models[0].faces.size(), 46u + 12u);  // a ring along the top's twelve rim edges
  EXPECT_EQ(doc_->undoStack().count(), stepsBefore + 2);
  Shot(*frame_, "2-inset");

  // The seat's outer top edges rounded in three rows.
  SetSelectMode(scene_, kSelectEdges);
  {
    CModel& m = scene_.models[0];
    const EdgeIndex ix(m);
    m.selectedEdges.clear();
    for (std::size_t e = 0; e < ix.EdgeCount(); ++e) {
      const CVector a = m.vertices[ix.Lower(std::int32_t(e))].position,
                    b = m.vertices[ix.Upper(std::int32_t(e))].position;
      const bool rim = std::max(std::fabs(a.x), std::fabs(a.z)) == 60 && std::max(std::fabs(b.x), std::fabs(b.z)) == 60;
      if (a.y == 100 && b.y == 100 && rim) m.selectedEdges.push_back(ix.KeyOf(std::int32_t(e)));
    }
    std::sort(m.selectedEdges.begin(), m.selectedEdges.end());
    SelectVerticesOfElements(m, kSelectEdges);
    EXPECT_EQ(m.selectedEdges.size(), 12u);
  }
  answerDialog_ = [&](QDialog& d) {
    auto& box = dynamic_cast<CDlgLiveParameters&>(d);
    static_cast<QDoubleSpinBox*>(box.field(0))->setValue(5);
    static_cast<QSpinBox*>(box.field(1))->setValue(3);
    d.accept();
    return d.result();
  };
  frame_->Execute(kCmdBevel);
  EXPECT_EQ(doc_->undoStack().count(), stepsBefore + 3);
  {
    const CModel& m = scene_.models[0];
    const EdgeIndex ix(m);
    std::size_t border = 0;
    for (std::size_t e = 0; e < ix.EdgeCount(); ++e) border += ix.FaceCountOf(std::int32_t(e)) != 2;
    EXPECT_EQ(border, 0u) << "the stool is closed";
  }
  EXPECT_TRUE(frame_->statusBar()->currentMessage().startsWith(QStringLiteral("面取り: 面が")));
  // Back to the box in three steps, exactly, and forward again.
  const std::vector<std::uint8_t> stool = Bytes(scene_);
  for (int i = 0; i < 3; ++i) doc_->Undo();
  EXPECT_EQ(Bytes(scene_), beforeLegs);
  for (int i = 0; i < 3; ++i) doc_->Redo();
  EXPECT_EQ(Bytes(scene_), stool);
  frame_->Execute(kCmdFrameAll);
  QApplication::processEvents();
  Shot(*frame_, "3-bevel");
}

// 押し出し (E) with the pointer over the Face pane: the top follows the pointer up until a click
// keeps it as one step; Esc, a right click or another command leave nothing; digits typed give
// the distance exactly.
TEST_F(AppTest, ExtrudeFollowsThePointerUntilAClick) {
  MW_REQUIRE_DISPLAY();
  doc_->Edit(EditKind::kMaterialAdd, [this]() { scene_.AddMaterial(); });
  PrimitiveParams box;
  box.kind = PrimitiveKind::kBox;
  box.width = box.depth = box.height = 100;
  doc_->Edit(EditKind::kAddPrimitive, [&]() { AddPrimitive(scene_, box, CVector(0, 50, 0), false); });
  SelectFacing(scene_, 1, 1, [](const CVector&) { return true; });
  OrthoPane* pane = frame_->orthoPane(kPlaneFace);
  const QPoint centre = pane->rect().center();
  const auto top = [this]() {
    float y = -1e9f;
    for (const CVertex& v : scene_.models[0].vertices) y = std::max(y, v.position.y);
    return y;
  };
  const auto move = [pane](QPoint p) {
    QMouseEvent e(QEvent::MouseMove, QPointF(p), QPointF(pane->mapToGlobal(p)), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(pane, &e);
  };
  // Through the window, as the window system gives clicks (the window sees them before the pane).
  const auto press = [pane](QPoint p, Qt::MouseButton b) {
    QTest::mouseClick(pane->window()->windowHandle(), b, Qt::NoModifier, pane->mapTo(pane->window(), p));
  };
  const auto begin = [&]() {
    QCursor::setPos(pane->mapToGlobal(centre));
    frame_->Execute(kCmdExtrude);
    auto* follow = frame_->findChild<ExtrudeFollow*>();
    return follow && follow->Active();
  };
  const std::vector<std::uint8_t> before = Bytes(scene_);
  const int steps = doc_->undoStack().count();
  const float rise = UnitsFromPixels(40, scene_.zoom);

  // Esc, a right click and another command each leave the scene as it was.
  for (int way = 0; way < 3; ++way) {
    ASSERT_TRUE(begin()) << way;
    move(centre - QPoint(3, 40));
    EXPECT_NEAR(top(), 100 + rise, 1e-3) << "shown while following";
    EXPECT_EQ(doc_->undoStack().count(), steps);
    if (way == 0) QTest::keyClick(pane, Qt::Key_Escape);
    if (way == 1) press(centre, Qt::RightButton);
    if (way == 2) frame_->Execute(kCmdSelectAll);
    EXPECT_FALSE(frame_->findChild<ExtrudeFollow*>()->Active()) << way;
    if (way == 2) doc_->Undo();
    EXPECT_EQ(Bytes(scene_), before) << way;
  }
  SelectFacing(scene_, 1, 1, [](const CVector&) { return true; });

  // A click keeps it: one step, the top raised by the pointer's way up, four walls added.
  ASSERT_TRUE(begin());
  move(centre - QPoint(0, 40));
  press(centre - QPoint(0, 40), Qt::LeftButton);
  EXPECT_EQ(doc_->undoStack().count(), steps + 1);
  // The click's release picks nothing: the new top alone stays selected for the next verb.
  EXPECT_EQ(std::count_if(scene_.models[0].faces.begin(), scene_.models[0].faces.end(),
                          [](const CFace& f) { return f.selected != 0; }),
            1);
  EXPECT_NEAR(top(), 100 + rise, 1e-3);
  EXPECT_EQ(scene_.models[0].faces.size(), 10u);
  const std::vector<std::uint8_t> raised = Bytes(scene_);
  doc_->Undo();
  EXPECT_EQ(Bytes(scene_), before);
  doc_->Redo();
  EXPECT_EQ(Bytes(scene_), raised);

  // Typed digits give the distance whatever the pointer did; Enter keeps it.
  ASSERT_TRUE(begin());
  move(centre - QPoint(0, 70));
  for (Qt::Key k : {Qt::Key_2, Qt::Key_5, Qt::Key_7, Qt::Key_Backspace}) QTest::keyClick(pane, k);
  move(centre - QPoint(0, 90));
  QTest::keyClick(pane, Qt::Key_Return);
  EXPECT_EQ(doc_->undoStack().count(), steps + 2);
  EXPECT_NEAR(top(), 100 + rise + 25, 1e-3);
  EXPECT_TRUE(frame_->statusBar()->currentMessage().startsWith(QStringLiteral("押し出し: 面が 4 個増えました")));
}

}  // namespace
}  // namespace mw
