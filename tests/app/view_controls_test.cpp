// The view controls in the window: one pane enlarged and the split given back exactly, reference
// pictures kept by the document (named relative to it, a missing file reported by name) and the
// display choices kept by the settings.
#include <QDir>
#include <QImage>
#include <QSplitter>

#include "app/commands.h"
#include "app/model_view.h"
#include "render/display_style.h"
#include "tests/app/app_fixture.h"

namespace mw::test {
namespace {

QList<QRect> PaneGeometries(CMainFrame& frame) {
  QList<QRect> out;
  for (QWidget* w : {static_cast<QWidget*>(frame.orthoPane(kPlaneTop)), static_cast<QWidget*>(frame.orthoPane(kPlaneFace)),
                     static_cast<QWidget*>(frame.orthoPane(kPlaneLeft)), static_cast<QWidget*>(frame.perspectivePane()),
                     static_cast<QWidget*>(frame.modelList())})
    out << QRect(w->mapTo(&frame, QPoint(0, 0)), w->size());
  return out;
}

TEST_F(AppTest, AnEnlargedPaneFillsTheAreaAndGivesBackTheExactSplit) {
  if (!HaveDisplay()) GTEST_SKIP();
  frame_->resize(1000, 760);
  QTest::qWait(50);
  // A split of the user's own, not the opening one.
  frame_->columns()->setSizes({150, 500, 336});
  frame_->column(1)->setSizes({200, 480});
  emit frame_->column(1)->splitterMoved(200, 1);
  emit frame_->columns()->splitterMoved(150, 1);
  QTest::qWait(50);
  const QList<QRect> before = PaneGeometries(*frame_);
  const QImage picture = frame_->columns()->grab().toImage();
  QWidget* panes[4] = {frame_->orthoPane(kPlaneTop), frame_->orthoPane(kPlaneFace), frame_->orthoPane(kPlaneLeft),
                       frame_->perspectivePane()};
  for (QWidget* pane : panes) {
    frame_->ToggleEnlargedPane(pane);
    QTest::qWait(30);
    ASSERT_EQ(frame_->enlargedPane(), pane);
    frame_->UpdateCommandStates();
    EXPECT_TRUE(frame_->action(kCmdEnlargePane)->isChecked());
    const QList<int> columns = frame_->columns()->sizes();
    EXPECT_EQ(columns[0], 150) << "the lists keep their width";
    // Everything right of the lists and their handle, the whole height.
    EXPECT_EQ(pane->width(), frame_->columns()->width() - columns[0] - frame_->columns()->handleWidth());
    EXPECT_EQ(pane->height(), frame_->columns()->height());
    for (QWidget* other : panes) EXPECT_EQ(other->isVisible(), other == pane);
    EXPECT_TRUE(frame_->modelList()->isVisible());
    frame_->ToggleEnlargedPane();
    QTest::qWait(30);
    EXPECT_EQ(frame_->enlargedPane(), nullptr);
    EXPECT_EQ(PaneGeometries(*frame_), before);
  }
  EXPECT_EQ(DifferingPixels(frame_->columns()->grab().toImage(), picture), 0);
  // The key enlarges the pane under the pointer, and brings the split back.
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  QWidget* face = frame_->orthoPane(kPlaneFace);
  // Other tests share the display and move its one pointer: the focus is what the command falls
  // back to when the pointer is over none of this window's panes.
  face->setFocus();
  QCursor::setPos(face->mapToGlobal(face->rect().center()));
  QTest::qWait(30);
  QTest::keyClick(face, Qt::Key_Space, Qt::ControlModifier);
  EXPECT_EQ(frame_->enlargedPane(), face);
  QTest::keyClick(face, Qt::Key_Space, Qt::ControlModifier);
  EXPECT_EQ(frame_->enlargedPane(), nullptr);
  EXPECT_EQ(PaneGeometries(*frame_), before);
}

// A 64 x 64 picture of one colour, saved where `name` says.
QString SavePicture(const QString& file, QColor colour) {
  QDir().mkpath(QFileInfo(file).path());
  QImage image(64, 64, QImage::Format_RGB32);
  image.fill(colour);
  EXPECT_TRUE(image.save(file));
  return file;
}

QRgb FacePixel(CMainFrame& frame, QPoint offset) {
  QWidget* face = frame.orthoPane(kPlaneFace);
  face->repaint();
  const QImage shown = face->grab().toImage();
  const QPoint centre = PaneCentre(kPlaneFace, face->width(), face->height(), frame.pan());
  return shown.pixel(centre + offset);
}

void ExpectNear(QRgb got, QRgb want, const char* what) {
  EXPECT_LE(std::abs(qRed(got) - qRed(want)), 1) << what;
  EXPECT_LE(std::abs(qGreen(got) - qGreen(want)), 1) << what;
  EXPECT_LE(std::abs(qBlue(got) - qBlue(want)), 1) << what;
}

TEST_F(AppTest, ReferencePicturesComeBackWithTheDocumentAndAMissingOneIsNamed) {
  if (!HaveDisplay()) GTEST_SKIP();
  const QString drawing = SavePicture(QPath("drawings/front.png"), QColor(200, 40, 0));
  QDir().mkpath(QPath("doc"));
  ASSERT_TRUE(doc_->SaveDocument(QPath("doc/plane.mwr")));
  ReferencePicture face;
  face.plane = kPlaneFace;
  face.opacity = 0.5f;
  face.unitsPerPixel = 2.0f;  // 128 model units across, 128 pixels at zoom 100
  frame_->SetReferencePicture(face, drawing);
  ASSERT_EQ(scene_.referencePictures.size(), 1u);
  EXPECT_EQ(scene_.referencePictures[0].path, "../drawings/front.png");
  EXPECT_TRUE(doc_->modified());
  // Half of the drawing over the white pane; outside the picture the pane is white.
  const QRgb blended = qRgb(228, 148, 128);
  ExpectNear(FacePixel(*frame_, QPoint(20, 30)), blended, "inside");
  ExpectNear(FacePixel(*frame_, QPoint(63, -64)), blended, "the last pixel inside");
  ExpectNear(FacePixel(*frame_, QPoint(64, 30)), qRgb(255, 255, 255), "the first pixel outside");

  // Saved elsewhere, the name still leads to the drawing.
  QDir().mkpath(QPath("doc/sub"));
  ASSERT_TRUE(doc_->SaveDocument(QPath("doc/sub/moved.mwr")));
  EXPECT_EQ(scene_.referencePictures[0].path, "../../drawings/front.png");
  doc_->NewDocument();
  EXPECT_TRUE(scene_.referencePictures.empty());
  ExpectNear(FacePixel(*frame_, QPoint(20, 30)), qRgb(255, 255, 255), "a new document has none");
  ASSERT_TRUE(doc_->OpenDocument(QPath("doc/sub/moved.mwr"), OpenedFrom::kShell));
  ASSERT_EQ(scene_.referencePictures.size(), 1u);
  EXPECT_EQ(scene_.referencePictures[0].opacity, 0.5f);
  EXPECT_EQ(scene_.referencePictures[0].unitsPerPixel, 2.0f);
  ExpectNear(FacePixel(*frame_, QPoint(20, 30)), blended, "after opening");
  EXPECT_TRUE(ui_.messages.isEmpty()) << ui_.messages.join(QStringLiteral(" / ")).toStdString();

  // Without the file the document still opens, the message names the file, and the record stays.
  ASSERT_TRUE(QFile::remove(drawing));
  doc_->NewDocument();
  ASSERT_TRUE(doc_->OpenDocument(QPath("doc/sub/moved.mwr"), OpenedFrom::kShell));
  EXPECT_EQ(doc_->path(), QPath("doc/sub/moved.mwr"));
  ASSERT_EQ(ui_.messages.size(), 1);
  EXPECT_TRUE(ui_.messages[0].contains(QStringLiteral("下絵")));
  EXPECT_TRUE(ui_.messages[0].contains(QDir::cleanPath(drawing))) << ui_.messages[0].toStdString();
  EXPECT_EQ(scene_.referencePictures.size(), 1u);
  ExpectNear(FacePixel(*frame_, QPoint(20, 30)), qRgb(255, 255, 255), "no picture to draw");
}

TEST_F(AppTest, DisplayChoicesAndGridsAreKeptForTheNextStart) {
  if (!HaveDisplay()) GTEST_SKIP();
  frame_->Execute(kCmdStyleWire);
  frame_->Execute(kCmdParallel);
  frame_->Execute(kCmdGridTop);
  frame_->Execute(kCmdOrbitSelection);
  EXPECT_TRUE(scene_.parallelCamera);
  EXPECT_FALSE(frame_->orthoPane(kPlaneTop)->gridShown());
  Restart();
  const DisplayStyle style = frame_->perspectivePane()->style();
  EXPECT_EQ(style.shading, Shading::kWireframe);
  EXPECT_TRUE(style.parallel);
  EXPECT_TRUE(scene_.parallelCamera);
  EXPECT_FALSE(frame_->orthoPane(kPlaneTop)->gridShown());
  EXPECT_TRUE(frame_->orthoPane(kPlaneFace)->gridShown());
  EXPECT_TRUE(frame_->perspectivePane()->input().orbitAroundSelection);
  EXPECT_FALSE(frame_->perspectivePane()->input().zoomToPointer);
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  // The keypad's 5 goes back to perspective.
  QTest::keyClick(frame_->perspectivePane(), Qt::Key_5, Qt::KeypadModifier);
  EXPECT_FALSE(scene_.parallelCamera);
  // Keypad 7 looks down as the Top pane does, at once when the turn is not animated.
  if (frame_->action(kCmdAnimateViews)->isChecked()) frame_->Execute(kCmdAnimateViews);
  QTest::keyClick(frame_->perspectivePane(), Qt::Key_7, Qt::KeypadModifier);
  EXPECT_EQ(scene_.camera.rotation.x, 90.0f);
  EXPECT_EQ(scene_.camera.rotation.y, 0.0f);
  QTest::keyClick(frame_->perspectivePane(), Qt::Key_1, Qt::KeypadModifier | Qt::ControlModifier);
  EXPECT_EQ(scene_.camera.rotation.y, 180.0f);
  EXPECT_EQ(scene_.selectMode, 0) << "the row's keys stay the selection modes";
}

}  // namespace
}  // namespace mw::test
