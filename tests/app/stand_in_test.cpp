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

// A frame drawn now: grabbing the pane's picture paints it, where repaint() may leave it for later.
void Paint(PerspectivePane* pane) { (void)pane->grabFramebuffer(); }

// Sent straight to the pane: QTest's own clicks turn quick presses into double clicks.
void Button(QWidget* pane, QEvent::Type type, Qt::MouseButton button, QPoint at,
            Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QMouseEvent event(type, QPointF(at), pane->mapToGlobal(QPointF(at)), button,
                    type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons(), modifiers);
  QApplication::sendEvent(pane, &event);
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
  Paint(pane);
  pane->WaitForStandIn();
  EXPECT_FALSE(pane->standInReady());

  pane->SetStandInFaces(3600);  // exactly as many: a stand-in
  pane->Refresh();
  QTRY_VERIFY_WITH_TIMEOUT(pane->standInReady(), 10000);

  // A turning drag draws it from the first motion on; the frame after the release is exact.
  Button(pane, QEvent::MouseButtonPress, Qt::RightButton, QPoint(40, 40), Qt::NoModifier);
  Paint(pane);
  EXPECT_FALSE(pane->drewStandIn()) << "a press alone moves nothing";
  const CVector turnedFrom = scene_.camera.rotation;
  Move(pane, QPoint(50, 40), Qt::RightButton);
  ASSERT_FALSE(scene_.camera.rotation == turnedFrom) << "the drag turns the camera";
  ASSERT_TRUE(pane->isVisible());
  Paint(pane);
  EXPECT_TRUE(pane->drewStandIn()) << pane->width() << "x" << pane->height();
  Button(pane, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(50, 40), Qt::NoModifier);
  Paint(pane);
  EXPECT_FALSE(pane->drewStandIn());

  // The wheel: until its motion has rested.
  Wheel(pane);
  Paint(pane);
  EXPECT_TRUE(pane->drewStandIn());
  QTRY_VERIFY_WITH_TIMEOUT(!pane->drewStandIn(), 2000);

  // A band drag moves no camera.
  Button(pane, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(40, 40), Qt::ShiftModifier);
  Move(pane, QPoint(60, 60), Qt::LeftButton);
  Paint(pane);
  EXPECT_FALSE(pane->drewStandIn());
  Button(pane, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(60, 60), Qt::ShiftModifier);

  // Changed geometry: exact frames until the stand-in of the new geometry is ready.
  scene_.models[0].vertices[0].position.y += 10.0f;
  pane->Refresh();
  Paint(pane);
  EXPECT_FALSE(pane->standInReady());
  Button(pane, QEvent::MouseButtonPress, Qt::RightButton, QPoint(40, 40), Qt::NoModifier);
  Move(pane, QPoint(50, 40), Qt::RightButton);
  Paint(pane);
  EXPECT_FALSE(pane->drewStandIn());
  Button(pane, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(50, 40), Qt::NoModifier);
  QTRY_VERIFY_WITH_TIMEOUT(pane->standInReady(), 10000);

  // Hidden, the model needs none; shown again, it has one again.
  scene_.models[0].state = kStateHidden;
  pane->Refresh();
  Paint(pane);
  EXPECT_FALSE(pane->standInReady());
  scene_.models[0].state = kStateNormal;
  pane->Refresh();
  QTRY_VERIFY_WITH_TIMEOUT(pane->standInReady(), 10000);
}

}  // namespace
}  // namespace mw
