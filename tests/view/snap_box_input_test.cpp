// Snapped drags, box drags and Escape in the panes' input logic.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "view/pane_input.h"

namespace mw {
namespace {

const QSize kSize(200, 100);  // centre (100, 50) with no pan

class SnapInput : public ::testing::Test {
 protected:
  void SetUp() override {
    scene.ResetScene();
    scene.zoom = 137.0f;
    scene.models[0].vertices = {CVertex(0, 0, 0), CVertex(1.234f, -5.678f, 9.1011f), CVertex(3, 3, 3)};
    scene.models[0].vertices[0].selected = scene.models[0].vertices[1].selected = 1;
    tools.snap.enabled = true;
    tools.snap.step = 0.37;
  }
  PaneInput Pane(PaneRole role, PaneHost* host = nullptr) {
    PaneInput p(scene, pan, role, host);
    p.SetTools(&tools);
    return p;
  }
  const CVector& At(std::size_t i) const { return scene.models[0].vertices[i].position; }
  CMeshwright scene;
  PanOffsets pan;
  PaneTools tools;
};

float Steps(int k) { return static_cast<float>(k * 0.37); }

TEST_F(SnapInput, MovesSnapTheWholeDisplacementAndLandOnGridMultiples) {
  scene.editMode = kModeMove;
  PaneInput face = Pane(PaneRole::kFace);
  face.ButtonDown(MouseButton::kLeft, QPoint(10, 10), kSize);
  // Many small motions: rounding each would drift, the whole displacement does not.
  for (int i = 1; i <= 41; ++i) face.Move(QPoint(10 + 3 * i, 10 - i), kSize);
  // 123 px right = 89.78 units = 242.65 steps -> 243; 41 px up = 29.93 units = 80.9 steps -> 81.
  EXPECT_EQ(At(0), CVector(Steps(243), Steps(81), 0.0f));
  EXPECT_EQ(At(1).x, static_cast<float>(1.234f + 243 * 0.37));
  EXPECT_EQ(At(1).y, static_cast<float>(-5.678f + 81 * 0.37));
  EXPECT_EQ(At(1).z, 9.1011f);
  EXPECT_EQ(At(2), CVector(3, 3, 3));  // not selected
  // Back to where it began: exactly where it was.
  face.Move(QPoint(10, 10), kSize);
  EXPECT_EQ(At(0), CVector(0, 0, 0));
  EXPECT_EQ(At(1), CVector(1.234f, -5.678f, 9.1011f));
  face.ButtonUp(MouseButton::kLeft, QPoint(10, 10), kSize);

  // In the Left pane the screen runs along -z and -y; less than half a step moves nothing.
  PaneInput left = Pane(PaneRole::kLeft);
  left.ButtonDown(MouseButton::kLeft, QPoint(50, 50), kSize);
  left.Move(QPoint(50 + 137, 50), kSize);  // 100 units = 270.3 steps -> 270, towards -z
  left.Move(QPoint(50 + 137, 50), kSize);
  EXPECT_EQ(At(0), CVector(0, 0, Steps(-270)));
  left.Move(QPoint(50, 50), kSize);
  left.Move(QPoint(50, 50), kSize);
  EXPECT_EQ(At(0), CVector(0, 0, 0));
  left.ButtonUp(MouseButton::kLeft, QPoint(50, 50), kSize);

  // The step that follows the zoom: 50 units at zoom 100.
  scene.zoom = 100.0f;
  tools.snap.step = 0.0;
  PaneInput top = Pane(PaneRole::kTop);
  top.ButtonDown(MouseButton::kLeft, QPoint(0, 0), kSize);
  top.Move(QPoint(74, 26), kSize);
  EXPECT_EQ(At(0), CVector(50, 0, 50));
  top.Move(QPoint(76, 24), kSize);
  EXPECT_EQ(At(0), CVector(100, 0, 0));
}

TEST_F(SnapInput, WithoutSnappingMovesStayIncremental) {
  scene.editMode = kModeMove;
  tools.snap.enabled = false;
  PaneInput top = Pane(PaneRole::kTop);
  top.ButtonDown(MouseButton::kLeft, QPoint(0, 0), kSize);
  top.Move(QPoint(3, 0), kSize);
  top.Move(QPoint(7, 0), kSize);
  CVector expected;
  expected += CVector(UnitsFromPixels(3, 137.0f), 0, 0);
  expected += CVector(UnitsFromPixels(4, 137.0f), 0, 0);
  EXPECT_EQ(At(0), expected);
}

TEST_F(SnapInput, ShiftTurnsInWholeFifteenDegreeSteps) {
  scene.editMode = kModeRotate;
  scene.zoom = 100.0f;
  auto turned = [this](float degrees) {
    CMeshwright ref = scene;
    ref.RotateSelected(kPlaneTop, degrees, -100, -50);
    return ref.models[0].vertices[1].position;
  };
  const CVector at0 = turned(0.0f), at15 = turned(15.0f), at30 = turned(30.0f), at7 = turned(7.0f);
  PaneInput top = Pane(PaneRole::kTop);
  top.ButtonDown(MouseButton::kLeft, QPoint(0, 0), kSize);  // pivot: (-100, -50) from the centre
  top.Move(QPoint(5, 2), kSize, true);                      // 7 degrees -> 0
  EXPECT_EQ(At(1), at0);
  top.Move(QPoint(10, 3), kSize, true);  // 13 -> 15
  EXPECT_EQ(At(1), at15);
  top.Move(QPoint(20, 3), kSize, true);  // 23 -> 30
  EXPECT_EQ(At(1), at30);
  // Shift let go: the turn follows the pointer again, from where the drag began.
  top.Move(QPoint(5, 2), kSize, false);
  EXPECT_EQ(At(1), at7);
  top.ButtonUp(MouseButton::kLeft, QPoint(5, 2), kSize);
  // A drag that never holds Shift turns step by step as it always has.
  CMeshwright ref = scene;
  PaneInput again = Pane(PaneRole::kTop);
  again.ButtonDown(MouseButton::kLeft, QPoint(0, 0), kSize);
  again.Move(QPoint(5, 2), kSize);
  again.Move(QPoint(9, 2), kSize);
  ref.RotateSelected(kPlaneTop, 7.0f, -100, -50);
  ref.RotateSelected(kPlaneTop, 4.0f, -100, -50);
  EXPECT_EQ(At(1), ref.models[0].vertices[1].position);
}

TEST_F(SnapInput, FaceBuildingClicksSnapTheNewCorner) {
  scene.editMode = kModeCreateFace;
  PaneInput top = Pane(PaneRole::kTop);
  top.ButtonDown(MouseButton::kLeft, QPoint(100 + 50, 50 + 20), kSize);
  ASSERT_EQ(scene.models[0].pendingVertices.size(), 1u);
  // 50 px = 36.50 units -> 99 steps, 20 px = 14.60 -> 39.
  EXPECT_EQ(scene.models[0].pendingVertices[0].position, CVector(Steps(99), 0.0f, Steps(39)));
}

TEST_F(SnapInput, ABoxDragInEachPaneShowsItsOutlineAndLeavesOneBoxAsOneEdit) {
  tools.snap.enabled = false;
  scene.editMode = kModeCreateBox;
  scene.zoom = 100.0f;
  for (PaneRole role : {PaneRole::kTop, PaneRole::kFace, PaneRole::kLeft}) {
    SCOPED_TRACE(int(role));
    scene.models[0].vertices.clear();
    scene.models[0].faces.clear();
    std::vector<std::string> events;
    PaneHost host;
    host.dragBegan = [&](EditKind k) { events.push_back("begin " + std::to_string(int(k))); };
    host.dragEnded = [&]() { events.push_back("end " + std::to_string(scene.models[0].faces.size())); };
    PaneInput p = Pane(role, &host);
    p.ButtonDown(MouseButton::kLeft, QPoint(100, 50), kSize);
    EXPECT_FALSE(p.Overlay().box);
    p.Move(QPoint(140, 80), kSize);
    ASSERT_TRUE(p.Overlay().box);
    // All three panes draw the outline: they share the tools.
    EXPECT_TRUE(Pane(PaneRole::kFace).Overlay().box);
    EXPECT_TRUE(scene.models[0].faces.empty());
    p.Move(QPoint(160, 70), kSize);
    p.ButtonUp(MouseButton::kLeft, QPoint(160, 70), kSize);
    EXPECT_FALSE(tools.boxing);
    const CModel& m = scene.models[0];
    ASSERT_EQ(m.vertices.size(), 8u);
    ASSERT_EQ(m.faces.size(), 6u);
    // 60 by 20 units, and 20 deep round the cursor's depth (0).
    const PlaneAxes a = AxesOf(PlaneOf(role));
    double lo[3] = {1e9, 1e9, 1e9}, hi[3] = {-1e9, -1e9, -1e9};
    for (const CVertex& v : m.vertices)
      for (int ax = 0; ax < 3; ++ax) {
        lo[ax] = std::min(lo[ax], static_cast<double>(Component(v.position, ax)));
        hi[ax] = std::max(hi[ax], static_cast<double>(Component(v.position, ax)));
      }
    EXPECT_EQ(hi[a.u.axis] - lo[a.u.axis], 60.0);
    EXPECT_EQ(hi[a.v.axis] - lo[a.v.axis], 20.0);
    EXPECT_EQ(lo[a.hidden], -10.0);
    EXPECT_EQ(hi[a.hidden], 10.0);
    EXPECT_EQ(events, (std::vector<std::string>{"begin " + std::to_string(int(EditKind::kCreateBox)), "end 6"}));
  }
}

TEST_F(SnapInput, EscapeDropsTheBoxBeingDraggedOrElseTheFaceBeingBuilt) {
  tools.snap.enabled = false;
  scene.editMode = kModeCreateBox;
  scene.models[0].vertices.clear();
  PaneInput top = Pane(PaneRole::kTop);
  top.ButtonDown(MouseButton::kLeft, QPoint(10, 10), kSize);
  top.Move(QPoint(60, 40), kSize);
  ASSERT_TRUE(top.Overlay().box);
  EXPECT_TRUE(top.KeyDown(Key::kEscape).refresh3D);
  EXPECT_FALSE(top.Overlay().box);
  top.Move(QPoint(70, 45), kSize);  // the rest of the drag does not bring it back
  top.ButtonUp(MouseButton::kLeft, QPoint(70, 45), kSize);
  EXPECT_TRUE(scene.models[0].vertices.empty());
  EXPECT_TRUE(scene.models[0].faces.empty());

  scene.editMode = kModeCreateFace;
  for (QPoint click : {QPoint(10, 10), QPoint(60, 10), QPoint(60, 40)}) {
    top.ButtonDown(MouseButton::kLeft, click, kSize);
    top.ButtonUp(MouseButton::kLeft, click, kSize);
  }
  ASSERT_EQ(scene.models[0].pendingFace.CornerCount(), 3u);
  // From any pane, like Enter.
  Pane(PaneRole::kPerspective).KeyDown(Key::kEscape);
  EXPECT_EQ(scene.models[0].pendingFace.CornerCount(), 0u);
  EXPECT_TRUE(scene.models[0].pendingVertices.empty());
  top.KeyDown(Key::kEnter);
  EXPECT_TRUE(scene.models[0].faces.empty());
}

}  // namespace
}  // namespace mw
