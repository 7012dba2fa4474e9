// Working in the panes and the lists with real mouse and key events, and the dialogs.
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "app/commands.h"
#include "app/material_dialog.h"
#include "app/material_view.h"
#include "app/model_view.h"
#include "image/dib_stream.h"
#include "image/material_texture.h"
#include "tests/app/app_fixture.h"
#include "view/numeric_dialogs.h"

namespace mw {
namespace {

using test::AppTest;

QPoint CentreOf(QWidget* w) { return QPoint(w->width() / 2, w->height() / 2); }

TEST_F(AppTest, MouseDragInTheTopPaneSelectsAndMovesVertices) {
  MW_REQUIRE_DISPLAY();
  scene_.models[0].vertices = {CVertex(10, 0, 10), CVertex(-60, 0, 0)};
  OrthoPane* top = frame_->orthoPane(kPlaneTop);
  const QPoint c = CentreOf(top);
  QTest::mousePress(top, Qt::LeftButton, Qt::NoModifier, c + QPoint(-5, -5));
  QTest::mouseMove(top, c + QPoint(30, 30));
  QTest::mouseMove(top, c + QPoint(31, 31));
  QTest::mouseRelease(top, Qt::LeftButton, Qt::NoModifier, c + QPoint(31, 31));
  EXPECT_EQ(scene_.models[0].vertices[0].selected, 1);
  EXPECT_EQ(scene_.models[0].vertices[1].selected, 0);
  EXPECT_FALSE(doc_->modified());  // selecting changes nothing a save writes
  frame_->Execute(kCmdModeMove);
  QTest::mousePress(top, Qt::LeftButton, Qt::NoModifier, c);
  QTest::mouseMove(top, c + QPoint(20, 0));
  EXPECT_FALSE(doc_->modified());  // the flag comes when the drag ends
  EXPECT_TRUE(doc_->editing());
  QTest::mouseRelease(top, Qt::LeftButton, Qt::NoModifier, c + QPoint(20, 0));
  EXPECT_FALSE(doc_->editing());
  EXPECT_TRUE(doc_->modified());
  EXPECT_EQ(scene_.models[0].vertices[0].position, CVector(30, 0, 10));
  EXPECT_EQ(scene_.models[0].vertices[1].position, CVector(-60, 0, 0));
}

TEST_F(AppTest, FourClicksInTheFacePaneBuildAQuadrilateral) {
  MW_REQUIRE_DISPLAY();
  frame_->Execute(kCmdModeCreateFace);
  OrthoPane* face = frame_->orthoPane(kPlaneFace);
  const QPoint c = CentreOf(face);
  for (QPoint d : {QPoint(0, 0), QPoint(50, 0), QPoint(50, -40), QPoint(0, -40)})
    QTest::mouseClick(face, Qt::LeftButton, Qt::NoModifier, c + d);
  ASSERT_EQ(scene_.models[0].faces.size(), 1u);
  EXPECT_EQ(scene_.models[0].vertices.size(), 4u);
  EXPECT_EQ(scene_.models[0].vertices[2].position, CVector(50, 40, 0));
  QTest::mouseClick(face, Qt::LeftButton, Qt::NoModifier, c + QPoint(-80, 10));
  QTest::mouseClick(face, Qt::LeftButton, Qt::NoModifier, c + QPoint(-90, 10));
  QTest::keyClick(face, Qt::Key_Return);
  ASSERT_EQ(scene_.models[0].faces.size(), 2u);
  EXPECT_EQ(scene_.models[0].faces[1].CornerCount(), 2u);
}

TEST_F(AppTest, RightClickInTopPlacesTheCursorAndArrowKeysPan) {
  MW_REQUIRE_DISPLAY();
  frame_->Execute(kCmdModeCreateFace);
  OrthoPane* top = frame_->orthoPane(kPlaneTop);
  const QPoint c = CentreOf(top);
  scene_.cursor.y = 7;
  QTest::mouseClick(top, Qt::RightButton, Qt::NoModifier, c + QPoint(12, -8));
  EXPECT_EQ(scene_.cursor.x, 12);
  EXPECT_EQ(scene_.cursor.z, -8);
  EXPECT_EQ(scene_.cursor.y, 7);
  QTest::keyClick(frame_->orthoPane(kPlaneFace), Qt::Key_Up);
  EXPECT_EQ(frame_->orthoPane(kPlaneFace)->input().role(), PaneRole::kFace);
  // The Face pane's drawing moved down: the pan is shared by the three panes.
  QTest::keyClick(frame_->orthoPane(kPlaneLeft), Qt::Key_Left);
}

TEST_F(AppTest, WheelAndRightDragInThePerspectivePane) {
  MW_REQUIRE_DISPLAY();
  QWidget* persp = reinterpret_cast<QWidget*>(frame_->perspectivePane());
  QWheelEvent wheel(QPointF(20, 20), persp->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(persp, &wheel);
  EXPECT_EQ(scene_.zoom, 112.0f);
  QTest::mousePress(persp, Qt::RightButton, Qt::NoModifier, QPoint(40, 40));
  QMouseEvent move(QEvent::MouseMove, QPointF(50, 40), persp->mapToGlobal(QPointF(50, 40)), Qt::NoButton,
                   Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(persp, &move);
  QTest::mouseRelease(persp, Qt::RightButton, Qt::NoModifier, QPoint(50, 40));
  EXPECT_EQ(scene_.camera.rotation, CVector(20, 20, 0));
}

TEST_F(AppTest, NumericInputOpensTheDialogOfTheModeAndAppliesIt) {
  MW_REQUIRE_DISPLAY();
  scene_.models[0].vertices = {CVertex(10, 0, 0)};
  scene_.SetAllSelected(1);
  frame_->Execute(kCmdNumericInput);  // select mode: nothing opens
  EXPECT_TRUE(dialogs_.isEmpty());
  EXPECT_FALSE(doc_->modified());
  frame_->Execute(kCmdModeMove);
  scene_.zoom = 200.0f;
  answerDialog_ = [](QDialog& d) {
    const auto edits = d.findChildren<QLineEdit*>();
    EXPECT_EQ(edits[0]->text(), QStringLiteral("0"));
    edits[0]->setText(QStringLiteral("10"));
    d.accept();
    return d.result();
  };
  frame_->Execute(kCmdNumericInput);
  EXPECT_EQ(dialogs_.last(), QStringLiteral("移動の数値入力"));
  EXPECT_EQ(scene_.models[0].vertices[0].position, CVector(15, 0, 0));
  EXPECT_TRUE(doc_->modified());
  // Opening again starts from zero.
  frame_->Execute(kCmdNumericInput);
  EXPECT_EQ(scene_.models[0].vertices[0].position, CVector(20, 0, 0));
}

TEST(NumericDialogs, DefaultsSizeOneRotateAboutZAndRefusedText) {
  MW_REQUIRE_DISPLAY();
  CDlgSize size;
  const auto edits = size.findChildren<QLineEdit*>();
  ASSERT_EQ(edits.size(), 4);
  EXPECT_EQ(edits[0]->text(), QStringLiteral("1"));
  EXPECT_EQ(edits[1]->text(), QStringLiteral("0"));
  EXPECT_EQ(size.windowTitle(), QStringLiteral("サイズの数値入力"));

  QStringList shown;
  auto old = DluDialog::showMessage;
  DluDialog::showMessage = [&shown](QWidget*, const QString& t) { shown << t; };
  CDlgMove move;
  move.show();
  auto moveEdits = move.findChildren<QLineEdit*>();
  moveEdits[1]->setText(QStringLiteral("abc"));
  move.accept();
  EXPECT_EQ(move.result(), QDialog::Rejected);  // still open
  EXPECT_EQ(shown, QStringList{QStringLiteral("数字を入力してください。")});
  EXPECT_EQ(move.focusWidget(), moveEdits[1]);
  DluDialog::showMessage = old;

  CDlgRotate rotate;
  rotate.radio(2)->setChecked(true);
  rotate.findChildren<QLineEdit*>()[0]->setText(QStringLiteral("90"));
  rotate.accept();
  EXPECT_EQ(rotate.axis, 2);
  EXPECT_EQ(AxisToPlane(rotate.axis), kPlaneFace);
  EXPECT_EQ(AxisToPlane(0), kPlaneLeft);
  EXPECT_EQ(AxisToPlane(1), kPlaneTop);
  CMeshwright s;
  s.ResetScene();
  s.models[0].vertices = {CVertex(10, 0, 0)};
  s.SetAllSelected(1);
  s.RotateSelectedAbout(AxisToPlane(rotate.axis), rotate.angle, CVector());
  EXPECT_NEAR(s.models[0].vertices[0].position.x, 0.0f, 1e-4);
  EXPECT_NEAR(std::fabs(s.models[0].vertices[0].position.y), 10.0f, 1e-4);
}

// The display state is saved in the .mwr block, so a change of it is a change of the document;
// taking it back returns to the saved state.
TEST_F(AppTest, ModelListStateCyclesLeftOfTwentyOnlyAndModifies) {
  MW_REQUIRE_DISPLAY();
  CModelView* list = frame_->modelList();
  const QRect row = list->visualItemRect(list->item(0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(19, row.center().y()));
  EXPECT_EQ(scene_.models[0].state, 2);
  EXPECT_TRUE(doc_->modified());
  doc_->Undo();
  EXPECT_EQ(scene_.models[0].state, 1);
  EXPECT_FALSE(doc_->modified());
  doc_->Redo();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, row.center().y()));
  EXPECT_EQ(scene_.models[0].state, 2);
  EXPECT_EQ(scene_.currentModel, 0);
}

TEST_F(AppTest, ModelListMenuOnEmptySpaceAndItsCommands) {
  MW_REQUIRE_DISPLAY();
  CModelView* list = frame_->modelList();
  QStringList menus;
  list->showMenu = [&menus](QMenu* m) { menus << m->title(); };
  QTest::mouseClick(list->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(60, list->viewport()->height() - 5));
  EXPECT_EQ(menus, QStringList{QStringLiteral("モデル")});
  EXPECT_EQ(scene_.currentModel, -1);
  // The nine model commands, then the smooth-surface and the symmetry commands as submenus.
  ASSERT_EQ(list->contextMenu()->actions().size(), 11);
  EXPECT_EQ(list->contextMenu()->actions()[9]->text(), QStringLiteral("曲面化(&V)"));
  EXPECT_NE(list->contextMenu()->actions()[9]->menu(), nullptr);
  EXPECT_EQ(list->contextMenu()->actions()[10]->text(), QStringLiteral("対称編集(&Y)"));
  list->OnModelCommand(kCmdModelDelete);  // no current model: nothing to delete, nothing changes
  EXPECT_EQ(scene_.models.size(), 1u);
  EXPECT_FALSE(doc_->modified());
  list->OnModelCommand(kCmdModelAdd);
  EXPECT_EQ(scene_.models.size(), 2u);
  EXPECT_EQ(list->count(), 2);
  EXPECT_TRUE(doc_->modified());
  scene_.currentModel = 0;
  scene_.models[0].name = "A";
  list->OnModelCommand(kCmdModelUp);  // at the top: nothing moves, the list is rebuilt
  EXPECT_EQ(scene_.models[0].name, "A");
  EXPECT_TRUE(list->selectedItems().isEmpty());
}

TEST_F(AppTest, ModelListRenamesOnlyFromTheCommandAndKeepsANameWhenCleared) {
  MW_REQUIRE_DISPLAY();
  CModelView* list = frame_->modelList();
  scene_.currentModel = 0;
  list->OnModelCommand(kCmdModelRename);
  QLineEdit* editor = list->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setText(QString());
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();
  EXPECT_EQ(scene_.models[0].name, "Model");
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("Model"));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  list->OnModelCommand(kCmdModelRename);
  editor = list->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("胴体"));
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();
  EXPECT_EQ(scene_.models[0].name, "\x93\xB7\x91\xCC");  // CP932
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // A double click (the list's usual way to edit) opens no editor.
  const QRect row = list->visualItemRect(list->item(0));
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center() + QPoint(10, 0));
  QCoreApplication::processEvents();
  EXPECT_EQ(list->findChild<QLineEdit*>(), nullptr);
}

TEST_F(AppTest, MaterialListRowsSwatchesAndClicksBelowTheLastRow) {
  MW_REQUIRE_DISPLAY();
  CMaterialView* list = frame_->materialList();
  EXPECT_EQ(list->topLevelItemCount(), 0);
  list->OnMaterialCommand(kCmdMaterialAdd);
  list->OnMaterialCommand(kCmdMaterialAdd);
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(scene_.materials[1].id, scene_.materials[0].id + 1);
  EXPECT_EQ(list->topLevelItem(1)->text(1), QStringLiteral("NoMaterial"));
  EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("■"));
  scene_.materials[0].color[0] = 1.0f;
  scene_.materials[0].color[1] = 0.5f;
  scene_.materials[0].color[2] = 0.0f;
  EXPECT_EQ(SwatchColour(scene_.materials[0]), QColor(255, 127, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, list->viewport()->height() - 3));
  EXPECT_EQ(scene_.currentMaterial, -1);
  emit doc_->updateAllViews(kHintAll);
  EXPECT_EQ(scene_.currentMaterial, 0);
  EXPECT_TRUE(list->topLevelItem(0)->isSelected());
  QStringList menus;
  list->showMenu = [&menus](QMenu* m) { menus << m->title(); };
  QTest::mouseClick(list->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(50, list->viewport()->height() - 3));
  EXPECT_EQ(menus, QStringList{QStringLiteral("マテリアル")});
}

TEST(MaterialDialog, SlidersEditsAndTheMendedSliderRule) {
  MW_REQUIRE_DISPLAY();
  CMaterial m(0);
  m.power = 128.0f;
  m.color[0] = 0.29f;
  CDlgMaterial d(m);
  EXPECT_EQ(d.windowTitle(), QStringLiteral("材質設定"));
  EXPECT_EQ(d.slider(kPower)->value(), 100);
  EXPECT_EQ(d.edit(kPower)->text(), QStringLiteral("128"));
  EXPECT_EQ(d.slider(kRed)->value(), 28);  // 0.29 as a float times 100, truncated
  EXPECT_EQ(d.edit(kRed)->text(), QStringLiteral("0.29"));
  d.slider(kRed)->setValue(37);
  EXPECT_EQ(d.edit(kRed)->text(), QStringLiteral("0.370000"));
  EXPECT_EQ(d.edit(kPower)->text(), QStringLiteral("128"));  // only the moved slider's edit changes
  EXPECT_FLOAT_EQ(d.fields().values[kRed], 0.37f);           // and the preview follows it now
  d.edit(kDiffuse)->setText(QStringLiteral("x"));
  QStringList messages;
  test::ScriptedUi ui;
  SetUiSeam(&ui);
  d.accept();
  SetUiSeam(nullptr);
  EXPECT_EQ(d.result(), QDialog::Rejected);
  EXPECT_EQ(ui.messages, QStringList{QStringLiteral("数字を入力してください。")});
}

TEST(MaterialDialog, OkWritesBackCancelLeavesTheMaterialAlone) {
  MW_REQUIRE_DISPLAY();
  CMeshwright s;
  s.ResetScene();
  s.AddMaterial();
  s.models[0].vertices = {CVertex(), CVertex(), CVertex()};
  CFace f;
  f.indices = {0, 1, 2};
  f.material = 0;
  s.models[0].faces = {f};
  {
    test::TempDir textures;
    MaterialTextures service(nullptr, textures.path().string());
    TextureService* old = SetTextureService(&service);
    test::ScriptedUi ui;
    ui.files = {QStringLiteral("/elsewhere/brick.bmp")};
    SetUiSeam(&ui);
    CDlgMaterial d(s.materials[0]);
    QTest::mouseClick(d.browseButton(), Qt::LeftButton);
    EXPECT_EQ(d.textureEdit()->text(), QStringLiteral(""));  // not in the texture folder: refused and emptied
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0],
              QString::fromStdString((textures / "brick.bmp").string()) + QStringLiteral("の読み込みに失敗しました"));
    SetUiSeam(nullptr);
    SetTextureService(old);
    d.reject();
  }
  EXPECT_EQ(s.materials[0].texture, "");
  EXPECT_EQ(s.materials[0].name, "NoMaterial");
  CDlgMaterial d(s.materials[0]);
  d.nameEdit()->setText(QStringLiteral("赤"));
  d.slider(kRed)->setValue(100);
  d.slider(kGreen)->setValue(0);
  d.accept();
  ASSERT_EQ(d.result(), QDialog::Accepted);
  d.WriteBack(s, 0);
  EXPECT_EQ(s.materials[0].name, "\x90\xD4");
  EXPECT_EQ(s.materials[0].color[0], 1.0f);
  EXPECT_EQ(s.materials[0].color[1], 0.0f);
  EXPECT_EQ(s.materials[0].diffuseRGBA[0], 1.0f);
  EXPECT_EQ(s.models[0].faces[0].uvs.size(), 3u);  // default coordinates for the material's faces
}

}  // namespace
}  // namespace mw

namespace mw {
namespace {

// A 64 x 64 checkerboard of 8-pixel squares, `dark` and `light` grey, as a 24-bit bitmap file.
void WriteChecker(const std::filesystem::path& path, int dark = 0, int light = 255) {
  DibStream checker;
  ASSERT_TRUE(checker.Create(64, 64, 24));
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) std::memset(checker.Row(y) + 3 * x, ((x / 8 + y / 8) % 2) ? light : dark, 3);
  std::vector<std::uint8_t> file = {'B', 'M'};
  auto le32 = [&file](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  le32(static_cast<std::uint32_t>(54 + checker.PixelBytes()));
  le32(0);
  le32(54);
  file.insert(file.end(), checker.Header(), checker.Header() + 40);
  file.insert(file.end(), checker.Pixels(), checker.Pixels() + checker.PixelBytes());
  test::WriteBytes(path, file);
}

// Counts of dark and light pixels in the middle of the preview.
std::pair<int, int> DarkAndLight(const QImage& image, int below = 60, int above = 160) {
  int dark = 0, light = 0;
  const QRect sphere(image.width() / 4, image.height() / 4, image.width() / 2, image.height() / 2);
  for (int y = sphere.top(); y < sphere.bottom(); ++y)
    for (int x = sphere.left(); x < sphere.right(); ++x) {
      const int v = qGray(image.pixel(x, y));
      dark += v < below;
      light += v > above;
    }
  return {dark, light};
}

// The dialogs below read textures from a folder of their own.
class TextureFolder {
 public:
  TextureFolder() : service_(nullptr, dir_.path().string()), old_(SetTextureService(&service_)) {}
  ~TextureFolder() { SetTextureService(old_); }
  std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }

 private:
  test::TempDir dir_;
  MaterialTextures service_;
  TextureService* old_;
};

TEST(MaterialDialog, ThePreviewSphereShowsTheTextureUploadedOncePerChange) {
  MW_REQUIRE_DISPLAY();
  TextureFolder folder;
  WriteChecker(folder / "mw-test-checker.bmp");
  WriteChecker(folder / "mw-test-grey.bmp", 128, 128);
  CMaterial m(0);
  m.color[0] = m.color[1] = m.color[2] = 1.0f;
  m.texture = "mw-test-checker.bmp";
  CDlgMaterial d(m);
  EXPECT_EQ(d.previewImage().Width(), 256);
  EXPECT_EQ(d.preview()->material().texture, "mw-test-checker.bmp");
  EXPECT_EQ(d.preview()->material().textureImage.get(), &d.previewImage());
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  const QImage image = d.preview()->grabFramebuffer();
  const auto [dark, light] = DarkAndLight(image);
  EXPECT_GT(dark, 50);
  EXPECT_GT(light, 50);
  const std::uint32_t object = d.preview()->textureObject();
  EXPECT_NE(object, 0u);
  EXPECT_EQ(d.preview()->uploads(), 1);
  // Moving a slider repaints with the same texture object: the image is not sent again.
  d.slider(kDiffuse)->setValue(37);
  EXPECT_FLOAT_EQ(d.preview()->material().diffuse, 0.37f);
  d.preview()->grabFramebuffer();
  d.preview()->grabFramebuffer();
  EXPECT_EQ(d.preview()->textureObject(), object);
  EXPECT_EQ(d.preview()->uploads(), 1);
  // Another texture replaces the image on the sphere.
  test::ScriptedUi ui;
  ui.files = {QString::fromStdString((folder / "mw-test-grey.bmp").string())};
  SetUiSeam(&ui);
  QTest::mouseClick(d.browseButton(), Qt::LeftButton);
  SetUiSeam(nullptr);
  EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(QStringLiteral("|")).toStdString();
  d.slider(kDiffuse)->setValue(100);
  // Mid grey, lit at most fully plus the ambient eighth: no light squares any more.
  EXPECT_EQ(DarkAndLight(d.preview()->grabFramebuffer()).second, 0);
  EXPECT_EQ(d.preview()->uploads(), 2);
}

TEST(MaterialDialog, ThePreviewSphereIsRound) {
  MW_REQUIRE_DISPLAY();
  TextureFolder folder;
  CMaterial m(0);
  m.color[0] = 1.0f;
  m.color[1] = 0.9f;
  m.color[2] = 0.2f;
  m.ambient = 1.0f;  // the unlit side stands out from the background too
  m.UpdateMaterialColors();
  CDlgMaterial d(m);
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  const QImage image = d.preview()->grabFramebuffer();
  const qreal ratio = d.preview()->devicePixelRatioF();
  ASSERT_GT(image.width(), image.height()) << "the frame is wider than high";
  const QRgb background = qRgb(30, 65, 90);
  int left = image.width(), right = -1, top = image.height(), bottom = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFF) == (background & 0xFFFFFF)) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  ASSERT_GE(right, 0) << "no sphere drawn";
  const int width = right - left + 1, height = bottom - top + 1;
  // The outline is a 30-sided polygon with corners at the top and bottom, and it is rasterised:
  // a few per cent apart at most, where a sphere stretched across the frame is 13 % wider.
  EXPECT_LE(std::abs(width - height), 0.03 * height) << width << " x " << height;
  EXPECT_GT(width, 80 * ratio);  // radius 10 seen from 30 with a 45 degree field: about 97 of 114
  // Drawn in the 114 x 114 square at the lower left of the frame.
  const int side = static_cast<int>(MaterialPreview::kSphereViewport * ratio);
  EXPECT_LE(right, side);
  EXPECT_GE(top, image.height() - side);
  EXPECT_LE(std::abs((left + right) - side), 2) << "centred across the square";
  EXPECT_LE(std::abs((top + bottom) - (2 * image.height() - side)), 2) << "centred down the square";
}

TEST_F(AppTest, TexturesBesideTheDocumentAndOneMessageForTheMissingOnes) {
  MW_REQUIRE_DISPLAY();
  const std::string material =
      " col(1.000 1.000 1.000 1.000) dif(0.800) amb(0.600) emi(0.000) spc(0.000) power(5.00) tex(\"";
  const std::string mqo = "Metasequoia Document\r\nFormat Text Ver 1.0\r\n\r\nMaterial 3 {\r\n\t\"a\"" + material +
                          "maps\\checker.bmp\")\r\n\t\"b\"" + material + "gone.bmp\")\r\n\t\"c\"" + material +
                          "\x96\xD8.bmp\")\r\n}\r\nEof\r\n";
  std::filesystem::create_directories(dir_ / "doc" / "maps");
  WriteChecker(dir_ / "doc" / "maps" / "checker.bmp");
  test::WriteBytes(dir_ / "doc" / "m.mqo", std::vector<std::uint8_t>(mqo.begin(), mqo.end()));
  ASSERT_TRUE(doc_->OpenDocument(QPath("doc/m.mqo"), OpenedFrom::kShell));
  ASSERT_EQ(scene_.materials.size(), 3u);
  EXPECT_EQ(scene_.materials[0].textureFile, Path("doc/maps/checker.bmp"));
  EXPECT_NE(scene_.materials[0].textureObject, 0u);
  EXPECT_EQ(ui_.messages, QStringList{QStringLiteral("テクスチャの読み込みに失敗しました\ngone.bmp\n木.bmp")});
  EXPECT_EQ(scene_.materials[2].texture, "\x96\xD8.bmp");  // kept as CP932
  // The material dialog finds the texture beside the open document too.
  ui_.messages.clear();
  {
    CDlgMaterial d(scene_.materials[0]);
    EXPECT_EQ(d.previewImage().Width(), 256);
    EXPECT_TRUE(ui_.messages.isEmpty()) << ui_.messages.join(QStringLiteral("|")).toStdString();
  }
  // A new document forgets the folder.
  doc_->NewDocument();
  CMaterial again(0);
  again.texture = "maps\\checker.bmp";
  again.LoadTexture();
  EXPECT_FALSE(TextureLoaded(again));
  EXPECT_EQ(ui_.messages, QStringList{QStringLiteral("テクスチャの読み込みに失敗しました\nmaps\\checker.bmp")});
}

}  // namespace
}  // namespace mw
