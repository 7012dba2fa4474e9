// The 3D panes' input logic, driven directly with pane coordinates.
#include "view/pane_input.h"

#include <gtest/gtest.h>

#include "scene/element_selection.h"

#include <string>
#include <vector>

namespace mw {
namespace {

const QSize kSize(200, 100);  // centre (100, 50) with no pan

class Input : public ::testing::Test {
 protected:
  void SetUp() override {
    scene.ResetScene();
    scene.models[0].vertices = {CVertex(10, 0, 20), CVertex(-30, 0, -10)};
  }
  PaneInput Pane(PaneRole role) { return PaneInput(scene, pan, role); }
  CMeshwright scene;
  PanOffsets pan;
};

TEST_F(Input, WheelNotchesChangeZoomByATenthOfTheDelta) {
  PaneInput p = Pane(PaneRole::kPerspective);
  EXPECT_TRUE(p.Wheel(120).refresh3D);
  EXPECT_EQ(scene.zoom, 112.0f);
  scene.zoom = 100.0f;
  for (int i = 0; i < 10; ++i) p.Wheel(-120);
  EXPECT_EQ(scene.zoom, 1.0f);
}

TEST_F(Input, ClickWithoutMotionInMoveModeIsAnEditThatMovesNothingButRebuildsNormals) {
  scene.editMode = kModeMove;
  scene.SetAllSelected(1);
  CFace f;
  f.indices = {0, 1, 0};
  scene.models[0].faces = {f};
  scene.models[0].faces[0].normal = CVector(9, 9, 9);
  PaneInput p = Pane(PaneRole::kTop);
  p.ButtonDown(MouseButton::kLeft, QPoint(50, 50), kSize);
  const PaneResult up = p.ButtonUp(MouseButton::kLeft, QPoint(50, 50), kSize);
  EXPECT_TRUE(up.dragEnded);
  EXPECT_TRUE(up.refresh3D);
  EXPECT_EQ(scene.models[0].vertices[0].position, CVector(10, 0, 20));
  EXPECT_EQ(scene.models[0].faces[0].normal, CVector(0, 0, 0));  // recomputed (degenerate triangle)
}

TEST_F(Input, LeftDragSelectsRightDragDeselectsInSelectMode) {
  PaneInput p = Pane(PaneRole::kTop);
  // (10, 0, 20) is at (110, 70) in Top.
  p.ButtonDown(MouseButton::kLeft, QPoint(105, 65), kSize);
  p.Move(QPoint(120, 80), kSize);  // the rectangle spans press point to previous position
  EXPECT_EQ(scene.models[0].vertices[0].selected, 0);
  p.Move(QPoint(121, 81), kSize);
  EXPECT_EQ(scene.models[0].vertices[0].selected, 1);
  EXPECT_TRUE(p.Overlay().selecting);
  p.ButtonUp(MouseButton::kLeft, QPoint(121, 81), kSize);
  p.ButtonDown(MouseButton::kRight, QPoint(121, 81), kSize);
  p.Move(QPoint(100, 60), kSize);
  p.Move(QPoint(99, 59), kSize);
  EXPECT_EQ(scene.models[0].vertices[0].selected, 0);
  // In other modes a right drag does nothing.
  scene.SetAllSelected(1);
  scene.editMode = kModeMove;
  PaneInput q = Pane(PaneRole::kTop);
  q.ButtonDown(MouseButton::kRight, QPoint(0, 0), kSize);
  q.Move(QPoint(199, 99), kSize);
  q.Move(QPoint(198, 98), kSize);
  EXPECT_EQ(scene.models[0].vertices[0].selected, 1);
  EXPECT_EQ(scene.models[0].vertices[0].position, CVector(10, 0, 20));
}

TEST_F(Input, MoveDragsMapScreenAxesPerPane) {
  scene.editMode = kModeMove;
  scene.SetAllSelected(1);
  const CVector start = scene.models[0].vertices[0].position;
  struct Case {
    PaneRole role;
    CVector delta;
  };
  for (Case c : {Case{PaneRole::kTop, CVector(3, 0, 4)}, Case{PaneRole::kFace, CVector(3, -4, 0)},
                 Case{PaneRole::kLeft, CVector(0, -4, -3)}}) {
    scene.models[0].vertices[0].position = start;
    PaneInput p = Pane(c.role);
    p.ButtonDown(MouseButton::kLeft, QPoint(50, 50), kSize);
    p.Move(QPoint(53, 54), kSize);
    const CVector got = scene.models[0].vertices[0].position;
    EXPECT_EQ(got, CVector(start.x + c.delta.x, start.y + c.delta.y, start.z + c.delta.z));
  }
}

TEST_F(Input, FaceBuildingInTheFacePaneAndEnterAfterTwo) {
  scene.editMode = kModeCreateFace;
  PaneInput face = Pane(PaneRole::kFace);
  for (QPoint click : {QPoint(100, 50), QPoint(150, 50), QPoint(150, 20), QPoint(100, 20)}) {
    face.ButtonDown(MouseButton::kLeft, click, kSize);
    face.ButtonUp(MouseButton::kLeft, click, kSize);
  }
  // Two vertices were already there; four new ones at depth 0 and one quadrilateral.
  ASSERT_EQ(scene.models[0].faces.size(), 1u);
  EXPECT_EQ(scene.models[0].vertices.size(), 6u);
  EXPECT_EQ(scene.models[0].vertices[4].position, CVector(50, 30, 0));
  for (QPoint click : {QPoint(10, 10), QPoint(20, 10)}) face.ButtonDown(MouseButton::kLeft, click, kSize);
  face.KeyDown(Key::kEnter);
  ASSERT_EQ(scene.models[0].faces.size(), 2u);
  EXPECT_EQ(scene.models[0].faces[1].CornerCount(), 2u);
}

TEST_F(Input, EnterAfterAMergeBuildsTheFaceOnTheClickedPoint) {
  scene.editMode = kModeCreateFace;
  scene.AddModel();
  scene.models[1].vertices = {CVertex(1, 2, 3)};
  PaneInput face = Pane(PaneRole::kFace);
  face.ButtonDown(MouseButton::kLeft, QPoint(150, 20), kSize);  // (50, 30, 0): pending vertex 2
  face.ButtonUp(MouseButton::kLeft, QPoint(150, 20), kSize);
  scene.currentModel = 1;
  scene.MergeCurrentModelUp();
  scene.currentModel = 0;
  face.KeyDown(Key::kEnter);
  const CModel& m = scene.models[0];
  ASSERT_EQ(m.faces.size(), 1u);
  ASSERT_EQ(m.faces[0].indices, (IndexList{3}));
  EXPECT_EQ(m.vertices[3].position, CVector(50, 30, 0));
}

TEST_F(Input, RightClickPlacesTheCursorInItsPaneAxes) {
  scene.editMode = kModeCreateFace;
  scene.cursor = Cursor3{1, 2, 3};
  PaneInput top = Pane(PaneRole::kTop);
  top.ButtonDown(MouseButton::kRight, QPoint(130, 40), kSize);
  EXPECT_EQ(scene.cursor.x, 30);
  EXPECT_EQ(scene.cursor.y, 2);
  EXPECT_EQ(scene.cursor.z, -10);
  PaneInput left = Pane(PaneRole::kLeft);
  left.ButtonDown(MouseButton::kRight, QPoint(130, 40), kSize);
  EXPECT_EQ(scene.cursor.z, -30);
  EXPECT_EQ(scene.cursor.y, -10);
}

TEST_F(Input, ArrowKeysPanEachPaneItsOwnWay) {
  Pane(PaneRole::kFace).KeyDown(Key::kUp);
  EXPECT_EQ(pan.panY, 10);
  Pane(PaneRole::kLeft).KeyDown(Key::kUp);
  EXPECT_EQ(pan.panY, 0);
  Pane(PaneRole::kLeft).KeyDown(Key::kLeft);
  EXPECT_EQ(pan.panZ, 10);
  Pane(PaneRole::kTop).KeyDown(Key::kRight);
  EXPECT_EQ(pan.panX, -10);
  Pane(PaneRole::kPerspective).KeyDown(Key::kDown);
  EXPECT_EQ(pan.panY, 0);
}

TEST_F(Input, PerspectiveDragsOrbitPanAndZoom) {
  PaneInput p = Pane(PaneRole::kPerspective);
  p.ButtonDown(MouseButton::kRight, QPoint(10, 10), kSize);
  EXPECT_TRUE(p.Move(QPoint(20, 10), kSize).repaintSelf);
  EXPECT_EQ(scene.camera.rotation, CVector(20, 20, 0));
  p.ButtonUp(MouseButton::kRight, QPoint(20, 10), kSize);
  p.ButtonDown(MouseButton::kLeft, QPoint(0, 0), kSize);
  p.Move(QPoint(5, 7), kSize);
  EXPECT_EQ(scene.camera.translation, CVector(5, -7, -2000));
  p.ButtonDown(MouseButton::kRight, QPoint(5, 7), kSize);
  p.Move(QPoint(15, 17), kSize);
  EXPECT_EQ(scene.zoom, 102.0f);
}

// What a host hears, in order, with the scene state at each moment.
struct RecordingHost {
  PaneHost host;
  std::vector<std::string> events;
  explicit RecordingHost(CMeshwright& scene) {
    auto describe = [&scene]() {
      return std::to_string(scene.models[0].faces.size()) + "f" +
             std::to_string(scene.models[0].pendingVertices.size()) + "p";
    };
    host.dragBegan = [this, describe](EditKind k) {
      events.push_back("begin " + std::to_string(int(k)) + " " + describe());
    };
    host.dragEnded = [this, describe]() { events.push_back("end " + describe()); };
    host.edit = [this, describe](EditKind k, const std::function<void()>& change) {
      events.push_back("edit " + std::to_string(int(k)) + " " + describe());
      change();
      events.push_back("done " + describe());
    };
  }
};

TEST_F(Input, EveryChangeIsReportedBeforeItHappensAndEachDragIsOneBracket) {
  RecordingHost rec(scene);
  scene.editMode = kModeCreateFace;
  PaneInput face(scene, pan, PaneRole::kFace, &rec.host);
  // The corner is added after the host heard of the press; a second button inside the drag
  // opens nothing new; the bracket closes with the last button.
  PaneResult down = face.ButtonDown(MouseButton::kLeft, QPoint(100, 50), kSize);
  EXPECT_TRUE(down.dragBegan);
  EXPECT_FALSE(face.ButtonDown(MouseButton::kRight, QPoint(100, 50), kSize).dragBegan);
  EXPECT_FALSE(face.ButtonUp(MouseButton::kLeft, QPoint(100, 50), kSize).dragEnded);
  EXPECT_TRUE(face.ButtonUp(MouseButton::kRight, QPoint(100, 50), kSize).dragEnded);
  face.KeyDown(Key::kEnter);
  const std::string faceBuild = std::to_string(int(EditKind::kFaceBuild));
  const std::string commit = std::to_string(int(EditKind::kCommitFace));
  EXPECT_EQ(rec.events, (std::vector<std::string>{"begin " + faceBuild + " 0f0p", "end 0f1p",
                                                  "edit " + commit + " 0f1p", "done 1f0p"}));

  // Middle drags pan the orthographic panes (no edit) but move the saved camera in perspective.
  rec.events.clear();
  face.ButtonDown(MouseButton::kMiddle, QPoint(0, 0), kSize);
  face.ButtonUp(MouseButton::kMiddle, QPoint(0, 0), kSize);
  EXPECT_TRUE(rec.events.empty());
  PaneInput persp(scene, pan, PaneRole::kPerspective, &rec.host);
  EXPECT_TRUE(persp.ButtonDown(MouseButton::kMiddle, QPoint(0, 0), kSize).dragBegan);
  EXPECT_TRUE(persp.ButtonUp(MouseButton::kMiddle, QPoint(0, 0), kSize).dragEnded);
  ASSERT_EQ(rec.events.size(), 2u);
  EXPECT_EQ(rec.events[0].rfind("begin " + std::to_string(int(EditKind::kCamera)), 0), 0u);

  // The drag's kind comes from the mode and, when selecting, the button.
  const std::pair<std::int32_t, EditKind> kinds[] = {
      {kModeSelect, EditKind::kSelect}, {kModeMove, EditKind::kMove},       {kModeRotate, EditKind::kRotate},
      {kModeSize, EditKind::kSize},     {kModeStretch, EditKind::kStretch}, {kModeCreateBox, EditKind::kCreateBox}};
  PaneInput top(scene, pan, PaneRole::kTop, &rec.host);
  for (const auto& [mode, kind] : kinds) {
    scene.editMode = mode;
    rec.events.clear();
    top.ButtonDown(MouseButton::kLeft, QPoint(0, 0), kSize);
    top.ButtonUp(MouseButton::kLeft, QPoint(0, 0), kSize);
    ASSERT_EQ(rec.events.size(), 2u);
    EXPECT_EQ(rec.events[0].substr(0, rec.events[0].rfind(' ')), "begin " + std::to_string(int(kind)));
  }
  scene.editMode = kModeSelect;
  rec.events.clear();
  top.ButtonDown(MouseButton::kRight, QPoint(0, 0), kSize);
  EXPECT_EQ(rec.events.at(0).substr(0, rec.events[0].rfind(' ')), "begin " + std::to_string(int(EditKind::kDeselect)));
}

TEST_F(Input, MiddleDragPansAndBothButtonsZoomInOrthoPanes) {
  PaneInput p = Pane(PaneRole::kLeft);
  p.ButtonDown(MouseButton::kMiddle, QPoint(10, 10), kSize);
  p.Move(QPoint(14, 13), kSize);
  EXPECT_EQ(pan.panZ, -4);
  EXPECT_EQ(pan.panY, 3);
  const PaneResult up = p.ButtonUp(MouseButton::kMiddle, QPoint(14, 13), kSize);
  EXPECT_FALSE(up.dragEnded);  // panning is no edit: the view offsets are not saved
  p.ButtonDown(MouseButton::kLeft, QPoint(0, 0), kSize);
  p.ButtonDown(MouseButton::kRight, QPoint(0, 0), kSize);
  p.Move(QPoint(10, 10), kSize);
  EXPECT_EQ(scene.zoom, 102.0f);
}

TEST_F(Input, RotateSizeAndStretchUseTheDragStartAsPivot) {
  scene.SetAllSelected(1);
  scene.models[0].vertices = {CVertex(10, 0, 0)};
  scene.models[0].vertices[0].selected = 1;
  scene.editMode = kModeSize;
  PaneInput p = Pane(PaneRole::kTop);
  p.ButtonDown(MouseButton::kLeft, QPoint(100, 50), kSize);  // pivot at the centre
  p.Move(QPoint(150, 100), kSize);                           // amount 100: doubles
  EXPECT_EQ(scene.models[0].vertices[0].position, CVector(20, 0, 0));
}

// Which panes each handler asks to repaint: the perspective pane is left alone when nothing it
// shows changed, and a rubber band that reaches no new vertex repaints its own pane only.
TEST_F(Input, RepaintsOnlyThePanesWhoseContentChanged) {
  auto asks = [](const PaneResult& r) {
    return std::string(r.refresh3D ? (r.orthoOnly ? "ortho" : "all") : "none") + (r.repaintSelf ? "+self" : "");
  };
  PaneInput top = Pane(PaneRole::kTop);
  // (10, 0, 20) is at (110, 70) in Top.
  top.ButtonDown(MouseButton::kLeft, QPoint(105, 65), kSize);
  EXPECT_EQ(asks(top.Move(QPoint(108, 68), kSize)), "ortho+self") << "the first motion goes over the whole scene";
  EXPECT_EQ(asks(top.Move(QPoint(111, 71), kSize)), "none+self") << "(108, 68) reaches no vertex";
  EXPECT_EQ(asks(top.Move(QPoint(112, 72), kSize)), "ortho+self") << "(111, 71) reaches (110, 70)";
  EXPECT_EQ(scene.models[0].vertices[0].selected, 1);
  EXPECT_EQ(asks(top.Move(QPoint(106, 66), kSize)), "none+self") << "shrinking deselects nothing";
  EXPECT_EQ(asks(top.ButtonUp(MouseButton::kLeft, QPoint(106, 66), kSize)), "ortho") << "edges come back";

  // A command while the button is held deselects everything behind the drag's back; told so,
  // the next motion selects the whole rectangle again, as it always has.
  top.ButtonDown(MouseButton::kLeft, QPoint(105, 65), kSize);
  top.Move(QPoint(112, 72), kSize);
  top.Move(QPoint(113, 73), kSize);
  scene.SetAllSelected(0);
  top.SceneChanged();
  EXPECT_EQ(asks(top.Move(QPoint(114, 74), kSize)), "ortho+self");
  EXPECT_EQ(scene.models[0].vertices[0].selected, 1);
  top.ButtonUp(MouseButton::kLeft, QPoint(114, 74), kSize);

  // Deselecting with the right button likewise.
  top.ButtonDown(MouseButton::kRight, QPoint(105, 65), kSize);
  top.Move(QPoint(106, 66), kSize);
  EXPECT_EQ(asks(top.Move(QPoint(112, 72), kSize)), "none+self");
  EXPECT_EQ(asks(top.Move(QPoint(113, 73), kSize)), "ortho+self");
  EXPECT_EQ(scene.models[0].vertices[0].selected, 0);
  top.ButtonUp(MouseButton::kRight, QPoint(113, 73), kSize);

  // Scrolling is the orthographic panes' alone; edits reach the perspective pane.
  top.ButtonDown(MouseButton::kMiddle, QPoint(0, 0), kSize);
  EXPECT_EQ(asks(top.Move(QPoint(3, 4), kSize)), "ortho");
  EXPECT_EQ(asks(top.ButtonUp(MouseButton::kMiddle, QPoint(3, 4), kSize)), "ortho");
  EXPECT_EQ(asks(top.KeyDown(Key::kLeft)), "ortho");
  EXPECT_EQ(asks(top.KeyDown(Key::kEnter)), "all");
  EXPECT_EQ(asks(top.Wheel(120)), "all");
  scene.editMode = kModeMove;
  top.ButtonDown(MouseButton::kLeft, QPoint(0, 0), kSize);
  EXPECT_EQ(asks(top.Move(QPoint(3, 4), kSize)), "all");
  EXPECT_EQ(asks(top.ButtonUp(MouseButton::kLeft, QPoint(3, 4), kSize)), "all");

  // The camera is the perspective pane's alone.
  PaneInput persp = Pane(PaneRole::kPerspective);
  persp.ButtonDown(MouseButton::kRight, QPoint(0, 0), kSize);
  EXPECT_EQ(asks(persp.Move(QPoint(5, 5), kSize)), "none+self");
  EXPECT_EQ(asks(persp.ButtonUp(MouseButton::kRight, QPoint(5, 5), kSize)), "none");
}


// Clicks and bands by element in the Top pane: a 4 x 4 grid of quads 20 units apart at zoom 100,
// its vertex (x, z) drawn at (100 + 20x, 50 + 20z).
TEST_F(Input, ClicksAndBandsPickEdgesAndFacesAndAltTakesTheLoop) {
  CModel& m = scene.models[0];
  m.vertices.clear();
  for (int z = 0; z < 5; ++z)
    for (int x = 0; x < 5; ++x) m.vertices.emplace_back(20.0f * x, 0.0f, 20.0f * z);
  for (int z = 0; z < 4; ++z)
    for (int x = 0; x < 4; ++x) {
      CFace f;
      const int i = z * 5 + x;
      f.indices = {i, i + 5, i + 6, i + 1};
      m.faces.push_back(f);
    }
  scene.editMode = kModeSelect;
  PaneInput top = Pane(PaneRole::kTop);
  const auto click = [&](QPoint at, bool shift, bool ctrl, bool alt) {
    top.SetModifiers(shift, ctrl, alt);
    top.ButtonDown(MouseButton::kLeft, at, kSize);
    top.ButtonUp(MouseButton::kLeft, at + QPoint(1, -1), kSize);  // within the slack of a click
  };
  const auto faces = [&m]() {
    std::vector<int> out;
    for (std::size_t i = 0; i < m.faces.size(); ++i)
      if (m.faces[i].selected) out.push_back(static_cast<int>(i));
    return out;
  };
  SetSelectMode(scene, kSelectFaces);
  click(QPoint(110, 60), false, false, false);  // inside face (0, 0)
  EXPECT_EQ(faces(), std::vector<int>{0});
  click(QPoint(150, 80), true, false, false);  // Shift adds face (2, 1)
  EXPECT_EQ(faces(), (std::vector<int>{0, 6}));
  click(QPoint(110, 60), false, true, false);  // Ctrl takes face 0 away
  EXPECT_EQ(faces(), std::vector<int>{6});
  click(QPoint(10, 10), false, false, false);  // nothing there: cleared
  EXPECT_TRUE(faces().empty());
  // Alt on the edge between vertices (1, 1) and (2, 1): in face mode the faces of its ring.
  click(QPoint(130, 71), false, false, true);
  EXPECT_EQ(faces(), (std::vector<int>{1, 5, 9, 13}));
  // Edge mode: a click takes the nearest edge, Alt its loop across the grid.
  SetSelectMode(scene, kSelectEdges);
  click(QPoint(130, 71), false, false, false);
  EXPECT_EQ(m.selectedEdges, std::vector<std::uint64_t>{EdgeKey(6, 7)});
  click(QPoint(130, 71), false, false, true);
  EXPECT_EQ(m.selectedEdges,
            (std::vector<std::uint64_t>{EdgeKey(5, 6), EdgeKey(6, 7), EdgeKey(7, 8), EdgeKey(8, 9)}));
  // A band takes the edges with both ends inside, at the release, without other edges between the
  // vertices it reaches.
  top.SetModifiers(false, false, false);
  top.ButtonDown(MouseButton::kLeft, QPoint(95, 45), kSize);
  top.Move(QPoint(125, 85), kSize);
  top.ButtonUp(MouseButton::kLeft, QPoint(125, 85), kSize);  // vertices (0..1, 0..1)
  EXPECT_EQ(m.selectedEdges.size(), 7u);  // the loop and the square's four sides, one shared
  EXPECT_TRUE(EdgeSelected(m, 0, 1) && EdgeSelected(m, 5, 6) && EdgeSelected(m, 0, 5) && EdgeSelected(m, 1, 6));
}

}  // namespace
}  // namespace mw
