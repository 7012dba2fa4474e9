// The perspective pane's stand-in in the window: drawn only while the camera moves, and only
// for the geometry it was made of.
#include <QTest>
#include <QWheelEvent>

#include "scene/primitives.h"
#include "tests/app/app_fixture.h"
#include "view/opengl_pane.h"

namespace mw {
namespace {

using test::AppTest;

void Move(QWidget* pane, QPoint to, Qt::MouseButtons held) {
  QMouseEvent move(QEvent::MouseMove, QPointF(to), pane->mapToGlobal(QPointF(to)), Qt::NoButton, held, Qt::NoModifier);
  QApplication::sendEvent(pane, &move);
}

void Wheel(QWidget* pane) {
  QWheelEvent wheel(QPointF(20, 20), pane->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(pane, &wheel);
}

TEST_F(AppTest, TheStandInIsDrawnWhileTheCameraMovesAndOnlyForTheGeometryItShows) {
  MW_REQUIRE_DISPLAY();
  PerspectivePane* pane = frame_->perspectivePane();
  PrimitiveParams grid;
  grid.kind = PrimitiveKind::kGrid;
  grid.xSegments = grid.ySegments = 60;  // 3,600 faces
  scene_.models[0] = BuildPrimitive(grid, CVector(), 0);
  scene_.materials.emplace_back(0);
  scene_.ComputeNormals();
  pane->SetStandInFaces(3601);  // one face more than the scene has: no stand-in
  pane->Refresh();
  pane->repaint();
  pane->WaitForStandIn();
  EXPECT_FALSE(pane->standInReady());

  pane->SetStandInFaces(3600);  // exactly as many: a stand-in
  pane->Refresh();
  pane->repaint();
  pane->WaitForStandIn();
  ASSERT_TRUE(pane->standInReady());

  // A turning drag draws it from the first motion on; the frame after the release is exact.
  QTest::mousePress(pane, Qt::RightButton, Qt::NoModifier, QPoint(40, 40));
  pane->repaint();
  EXPECT_FALSE(pane->drewStandIn()) << "a press alone moves nothing";
  Move(pane, QPoint(50, 40), Qt::RightButton);
  pane->repaint();
  EXPECT_TRUE(pane->drewStandIn());
  QTest::mouseRelease(pane, Qt::RightButton, Qt::NoModifier, QPoint(50, 40));
  pane->repaint();
  EXPECT_FALSE(pane->drewStandIn());

  // The wheel: until its motion has rested.
  Wheel(pane);
  pane->repaint();
  EXPECT_TRUE(pane->drewStandIn());
  QTRY_VERIFY_WITH_TIMEOUT(!pane->drewStandIn(), 2000);

  // A band drag moves no camera.
  QTest::mousePress(pane, Qt::LeftButton, Qt::ShiftModifier, QPoint(40, 40));
  Move(pane, QPoint(60, 60), Qt::LeftButton);
  pane->repaint();
  EXPECT_FALSE(pane->drewStandIn());
  QTest::mouseRelease(pane, Qt::LeftButton, Qt::ShiftModifier, QPoint(60, 60));

  // Changed geometry: exact frames until the stand-in of the new geometry is ready.
  scene_.models[0].vertices[0].position.y += 10.0f;
  pane->Refresh();
  pane->repaint();
  EXPECT_FALSE(pane->standInReady());
  QTest::mousePress(pane, Qt::RightButton, Qt::NoModifier, QPoint(40, 40));
  Move(pane, QPoint(50, 40), Qt::RightButton);
  pane->repaint();
  EXPECT_FALSE(pane->drewStandIn());
  QTest::mouseRelease(pane, Qt::RightButton, Qt::NoModifier, QPoint(50, 40));
  pane->WaitForStandIn();
  EXPECT_TRUE(pane->standInReady());

  // Hidden, the model needs none; shown again, it has one again.
  scene_.models[0].state = kStateHidden;
  pane->Refresh();
  pane->repaint();
  EXPECT_FALSE(pane->standInReady());
  scene_.models[0].state = kStateNormal;
  pane->Refresh();
  pane->repaint();
  pane->WaitForStandIn();
  EXPECT_TRUE(pane->standInReady());
}

}  // namespace
}  // namespace mw
