// The UV window in the real main window: shown from the 表示 menu's command, a drag in it moves the
// selected faces' UVs as one step that undo takes back to the very bytes, and it opens again where
// and as it was left.
#include <QDir>
#include <QDockWidget>
#include <QLabel>
#include <cstdlib>

#include "app/commands.h"
#include "app/uv_editor_commands.h"
#include "scene/archive.h"
#include "scene/uv_ops.h"
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

// A box unwrapped along its sharp edges shows its six faces apart over the material's picture, the
// right way up (the picture's top row at v 0, as the perspective pane maps it).
TEST_F(UVEditorTest, AnUnwrappedBoxShowsItsSixFacesOverItsTexture) {
  MW_REQUIRE_DISPLAY();
  QImage picture(64, 64, QImage::Format_RGB32);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      picture.setPixel(x, y, y < 8 && x < 8 ? qRgb(255, 0, 0) : ((x / 8 + y / 8) % 2 ? qRgb(40, 40, 40) : qRgb(250, 250, 250)));
  ASSERT_TRUE(QDir().mkpath(QPath("TEXTURE")));
  ASSERT_TRUE(picture.save(QPath("TEXTURE/checker.bmp")));
  doc_->Edit(EditKind::kMaterialAdd, [this]() { scene_.AddMaterial(); });
  scene_.materials[0].texture = "checker.bmp";
  scene_.materials[0].LoadTexture();
  scene_.currentMaterial = 0;
  AddSelectedBox();
  CModel& box = scene_.models[0];
  std::vector<std::int32_t> faces(box.faces.size());
  for (std::size_t i = 0; i < faces.size(); ++i) faces[i] = static_cast<std::int32_t>(i);
  doc_->Edit(EditKind::kUVUnwrap, [&]() {
    for (CFace& f : box.faces) f.material = scene_.materials[0].id;
    MarkSharpSeams(box, faces, 30.0);
    UnwrapUVs(box, faces);
  });
  frame_->Execute(kCmdUVEditor);
  UVEditorPane* pane = Dock()->pane();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(pane));
  QTest::qWait(50);
  Shot(*frame_, "uv-unwrapped-box");
  ASSERT_FALSE(pane->texture().isNull());
  EXPECT_EQ(pane->texture().pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(pane->texture().pixel(63, 63), qRgb(250, 250, 250));
  const UVLayout& l = pane->input().layout();
  EXPECT_EQ(l.faces.size(), 6u);
  EXPECT_EQ(l.GroupCount(), 24u);  // no corner shares its UV with another face's
  EXPECT_TRUE(Dock()->statusLine()->text().endsWith(QStringLiteral("重なった面 0"))) << Dock()->statusLine()->text().toStdString();
  // A double click takes one face's island only.
  const UVLayout::Face& first = l.faces[0];
  double cu = 0, cv = 0;
  for (std::uint32_t k = 0; k < first.count; ++k) {
    cu += l.uvs[l.corners[first.first + k]].u / 4.0;
    cv += l.uvs[l.corners[first.first + k]].v / 4.0;
  }
  frame_->Execute(kCmdUVSelectFaces);
  QTest::mouseDClick(pane, Qt::LeftButton, Qt::NoModifier, pane->input().viewport().ToScreen(cu, cv).toPoint());
  EXPECT_EQ(pane->input().SelectedCount(), 4u);
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
