#include <QListWidget>
#include <QOpenGLContext>
#include <QOpenGLWidget>
#include <QSplitter>
#include <QTest>
#include <QTreeWidget>

#include "app/main_frame.h"
#include "scene/meshwright.h"
#include "tests/support/gui_test.h"
#include "view/ortho_pane.h"
#include "view/perspective_pane.h"

namespace mw {
namespace {

TEST(MainWindow, PerspectivePaneClearsToTheBackgroundColour) {
  MW_REQUIRE_DISPLAY();
  CMeshwright scene;
  scene.ResetScene();
  CMainFrame frame(scene);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  QImage image = frame.perspectivePane()->grabFramebuffer();
  ASSERT_FALSE(image.isNull());
  ASSERT_GT(image.width(), 10);
  const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
  EXPECT_EQ(c.red(), 30);
  EXPECT_EQ(c.green(), 65);
  EXPECT_EQ(c.blue(), 90);
  EXPECT_TRUE(frame.perspectivePane()->context() && frame.perspectivePane()->context()->isValid());
}

TEST(MainWindow, HoldsSixPanesInTwoRowsAndThreeColumns) {
  MW_REQUIRE_DISPLAY();
  CMeshwright scene;
  scene.ResetScene();
  CMainFrame frame(scene);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  EXPECT_EQ(frame.windowTitle(), QStringLiteral("無題 - Meshwright"));

  auto topLeftOf = [&frame](QWidget* w) { return w->mapTo(&frame, QPoint(0, 0)); };
  const QPoint models = topLeftOf(frame.modelList());
  const QPoint materials = topLeftOf(frame.materialList());
  const QPoint top = topLeftOf(frame.orthoPane(kPlaneTop));
  const QPoint face = topLeftOf(frame.orthoPane(kPlaneFace));
  const QPoint left = topLeftOf(frame.orthoPane(kPlaneLeft));
  const QPoint persp = topLeftOf(frame.perspectivePane());
  // Row 0: models | Top | perspective; row 1: materials | Face | Left.
  EXPECT_EQ(models.y(), top.y());
  EXPECT_EQ(top.y(), persp.y());
  EXPECT_EQ(materials.y(), face.y());
  EXPECT_EQ(face.y(), left.y());
  EXPECT_LT(models.x(), top.x());
  EXPECT_LT(top.x(), persp.x());
  EXPECT_EQ(models.x(), materials.x());
  EXPECT_EQ(top.x(), face.x());
  EXPECT_EQ(persp.x(), left.x());
  EXPECT_LT(models.y(), materials.y());
  EXPECT_EQ(frame.modelList()->count(), 0);
  EXPECT_EQ(frame.materialList()->topLevelItemCount(), 0);
}

TEST(MainWindow, OrthographicPanesAreWhiteAwayFromTheGrid) {
  MW_REQUIRE_DISPLAY();
  CMeshwright scene;
  scene.ResetScene();
  CMainFrame frame(scene);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  for (int plane : {kPlaneTop, kPlaneFace, kPlaneLeft}) {
    QImage image = frame.orthoPane(plane)->grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(image.width() / 2 + 7, image.height() / 2 + 9), QColor(Qt::white)) << "plane " << plane;
  }
}

}  // namespace
}  // namespace mw
