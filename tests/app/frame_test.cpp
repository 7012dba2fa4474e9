// The main window as a user meets it: start-up state, menus, commands and the document flows.
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>

#include "app/application.h"
#include "app/commands.h"
#include "app/help_window.h"
#include "app/model_view.h"
#include "io/document_formats.h"
#include "io/loader_mqo.h"
#include "scene/archive.h"
#include "tests/app/app_fixture.h"
#include "tests/support/scene_samples.h"

namespace mw {
namespace {

using test::AppTest;

QStringList MenuTexts(QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return out;
}

QMenu* TopMenu(CMainFrame& f, const QString& title) {
  for (QAction* a : f.menuBar()->actions())
    if (a->text() == title) return a->menu();
  return nullptr;
}

TEST_F(AppTest, StartsWithOneModelUntitledSelectModeAndSmoothing) {
  MW_REQUIRE_DISPLAY();
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("無題 - Meshwright"));
  ASSERT_EQ(scene_.models.size(), 1u);
  EXPECT_EQ(scene_.models[0].name, "Model");
  EXPECT_TRUE(frame_->action(kCmdModeSelect)->isChecked());
  EXPECT_TRUE(frame_->action(kCmdSmoothing)->isChecked());
  EXPECT_EQ(frame_->modelList()->count(), 1);
  EXPECT_EQ(frame_->statusBar()->currentMessage(), QStringLiteral("レディ"));
  // The perspective pane shows the background colour through a real OpenGL context.
  QImage image = frame_->perspectivePane()->grabFramebuffer();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 3).rgb(), QColor(30, 65, 90).rgb());
  EXPECT_TRUE(frame_->perspectivePane()->glReady());
}

TEST_F(AppTest, SixPanesInTwoRowsAndThreeColumns) {
  MW_REQUIRE_DISPLAY();
  auto at = [this](QWidget* w) { return w->mapTo(frame_.get(), QPoint(0, 0)); };
  const QPoint models = at(frame_->modelList()), materials = at(reinterpret_cast<QWidget*>(frame_->materialList()));
  const QPoint top = at(frame_->orthoPane(kPlaneTop)), face = at(frame_->orthoPane(kPlaneFace));
  const QPoint left = at(frame_->orthoPane(kPlaneLeft)), persp = at(frame_->perspectivePane());
  EXPECT_EQ(models.y(), top.y());
  EXPECT_EQ(top.y(), persp.y());
  EXPECT_EQ(materials.y(), face.y());
  EXPECT_EQ(face.y(), left.y());
  EXPECT_LT(models.x(), top.x());
  EXPECT_LT(top.x(), persp.x());
  EXPECT_EQ(top.x(), face.x());
  EXPECT_EQ(persp.x(), left.x());
  EXPECT_EQ(frame_->columns()->sizes().value(0), 124);
}

TEST_F(AppTest, MenusHoldTheCommandTable) {
  MW_REQUIRE_DISPLAY();
  QMenu* file = TopMenu(*frame_, QStringLiteral("ファイル(&F)"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(MenuTexts(file),
            (QStringList{QStringLiteral("新規作成\tCtrl+N(&N)"), QStringLiteral("開く...\tCtrl+O(&O)"),
                         QStringLiteral("上書き保存\tCtrl+S(&S)"), QStringLiteral("名前を付けて保存(&A)..."),
                         QStringLiteral("-"), QStringLiteral("最近使ったファイル"), QStringLiteral("-"),
                         QStringLiteral("アプリケーションの終了(&X)")}));
  QMenu* edit = TopMenu(*frame_, QStringLiteral("編集(&E)"));
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(MenuTexts(edit).size(), 16) << MenuTexts(edit).join(QLatin1Char('|')).toStdString();
  // Nothing selected: nothing to cut, copy or duplicate; deleting still clears unused vertices.
  for (int id : {kCmdUndo, kCmdRedo, kCmdCut, kCmdCopy, kCmdDuplicate})
    EXPECT_FALSE(frame_->action(id)->isEnabled()) << id;
  EXPECT_TRUE(frame_->action(kCmdDelete)->isEnabled());
  EXPECT_EQ(frame_->action(kCmdCut)->shortcuts().size(), 2);
  for (const char* title : {"変形(&T)", "作成(&M)", "選択部処理(&S)", "表示(&V)", "ヘルプ(&H)"})
    EXPECT_NE(TopMenu(*frame_, QString::fromUtf8(title)), nullptr) << title;
  EXPECT_EQ(MenuTexts(TopMenu(*frame_, QStringLiteral("ヘルプ(&H)"))),
            (QStringList{QStringLiteral("目次(&H)"), QStringLiteral("-"),
                         QStringLiteral("バージョン情報 Meshwright(&A)...")}));
  EXPECT_EQ(frame_->action(kCmdModeMove)->statusTip(), QStringLiteral("頂点を移動"));
  EXPECT_EQ(frame_->action(kCmdSelectAll)->toolTip(), QStringLiteral("頂点全選択"));
  // The toolbar: 32 buttons and 8 separators in the listed order.
  QToolBar* bar = frame_->findChild<QToolBar*>(QStringLiteral("toolbar"));
  ASSERT_NE(bar, nullptr);
  int buttons = 0, separators = 0;
  for (QAction* a : bar->actions()) (a->isSeparator() ? separators : buttons)++;
  EXPECT_EQ(buttons, 32);
  EXPECT_EQ(separators, 8);
  EXPECT_EQ(bar->actions().last()->data().toInt(), int(kCmdAbout));
}

TEST_F(AppTest, ModeCommandsCheckTheirItemsIncludingTheBoxMode) {
  MW_REQUIRE_DISPLAY();
  frame_->Execute(kCmdModeRotate);
  EXPECT_EQ(scene_.editMode, kModeRotate);
  EXPECT_TRUE(frame_->action(kCmdModeRotate)->isChecked());
  EXPECT_FALSE(frame_->action(kCmdModeSelect)->isChecked());
  frame_->Execute(kCmdModeCreateBox);
  EXPECT_EQ(scene_.editMode, kModeCreateBox);
  EXPECT_TRUE(frame_->action(kCmdModeCreateBox)->isChecked());
  EXPECT_FALSE(doc_->modified());
}

TEST_F(AppTest, ModifiedFlagFollowsTheCommandsThatChangeTheScene) {
  MW_REQUIRE_DISPLAY();
  frame_->Execute(kCmdSmoothing);
  EXPECT_EQ(scene_.smoothing, 0);
  EXPECT_FALSE(frame_->action(kCmdSmoothing)->isChecked());
  frame_->Execute(kCmdSelectAll);
  frame_->Execute(kCmdDeselectAll);
  EXPECT_FALSE(doc_->modified());
  frame_->Execute(kCmdCut);  // nothing to cut: nothing changes
  EXPECT_FALSE(doc_->modified());
  scene_.models[0].vertices = {CVertex(0, 0, 0), CVertex(10, 0, 0), CVertex(0, 10, 0), CVertex(5, 5, 5)};
  CFace f;
  f.indices = {0, 1, 2};
  scene_.models[0].faces = {f, f};
  scene_.models[0].RebuildFaceRefs();
  frame_->Execute(kCmdSelectAll);
  scene_.AddMaterial();
  scene_.currentMaterial = 0;
  frame_->Execute(kCmdAssignMaterial);
  EXPECT_TRUE(doc_->modified());
  doc_->SetModified(false);
  frame_->Execute(kCmdCut);
  EXPECT_TRUE(doc_->modified());
  EXPECT_TRUE(scene_.models[0].faces.empty());
}

TEST_F(AppTest, TheDocumentsEditDoorMarksAllButSelectionAndRefreshesOncePerEdit) {
  MW_REQUIRE_DISPLAY();
  QList<int> hints;
  QObject::connect(doc_.get(), &CMeshwrightDoc::updateAllViews, [&hints](int h) { hints << h; });
  int runs = 0;
  doc_->Edit(EditKind::kModelSelect, [&runs]() { ++runs; });
  doc_->Edit(EditKind::kModelState, [&runs]() { ++runs; });
  EXPECT_FALSE(doc_->modified());
  EXPECT_EQ(hints, (QList<int>{kHintAll, kHintSelection}));
  // A drag refreshes when it closes; a change made at once inside it is a step between its halves.
  hints.clear();
  doc_->BeginEdit(EditKind::kSelect);
  EXPECT_TRUE(hints.isEmpty());
  EXPECT_TRUE(doc_->editing());
  doc_->EndEdit();
  EXPECT_FALSE(doc_->editing());
  EXPECT_EQ(hints, QList<int>{kHintOrtho}) << "a selection leaves the perspective pane as it is";
  doc_->EndEdit();  // a stray end changes nothing
  EXPECT_EQ(hints.size(), 1);
  doc_->BeginEdit(EditKind::kCamera);
  doc_->EndEdit();
  doc_->BeginEdit(EditKind::kMove);
  doc_->EndEdit();
  EXPECT_EQ(hints, (QList<int>{kHintOrtho, kHintDrawn, kHint3D}));
  EXPECT_EQ(runs, 2);
  hints.clear();
  doc_->Edit(EditKind::kMaterialAdd, []() {});
  EXPECT_TRUE(doc_->modified());
  EXPECT_EQ(hints.last(), int(kHintAll));
}

TEST_F(AppTest, SaveOnAnUntitledDocumentAsksWhereAndTakesThePath) {
  MW_REQUIRE_DISPLAY();
  ui_.files = {QPath("first.mwr")};
  doc_->SetModified(true);
  frame_->Execute(kCmdSave);
  EXPECT_EQ(ui_.fileDialogs, 1);
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("first.mwr - Meshwright"));
  EXPECT_FALSE(doc_->modified());
  EXPECT_TRUE(std::filesystem::exists(Path("first.mwr")));
  EXPECT_EQ(doc_->RecentFiles().value(0), QPath("first.mwr"));
  // Save again writes where it is, without a dialog.
  scene_.AddModel();
  frame_->Execute(kCmdSave);
  EXPECT_EQ(ui_.fileDialogs, 1);
  CMeshwright check;
  ASSERT_TRUE(OpenSceneFile(check, Path("first.mwr")).ok());
  EXPECT_EQ(check.models.size(), 2u);
}

TEST_F(AppTest, MetasequoiaOpenedFromTheShellSavesAsAndExportsLeaveTheTitle) {
  MW_REQUIRE_DISPLAY();
  MW_REQUIRE_TESTDATA();
  ASSERT_TRUE(frame_->OpenFromShell(QString::fromStdString(test::TestData("mqo/wanwan_cube_lf.mqo").string())));
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("wanwan_cube_lf.mqo - Meshwright"));
  EXPECT_EQ(scene_.models.size(), 2u);  // the new document's empty model, then the cube
  ui_.files = {QPath("out.MQO")};
  frame_->Execute(kCmdSave);
  EXPECT_EQ(ui_.fileDialogs, 1);
  EXPECT_TRUE(std::filesystem::exists(Path("out.MQO")));
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("wanwan_cube_lf.mqo - Meshwright"));
}

TEST_F(AppTest, ExtensionsIgnoreCaseAndAFolderDotLoadsNothing) {
  MW_REQUIRE_DISPLAY();
  std::filesystem::create_directories(Path("dir.mwr"));
  CMeshwright other;
  other.ResetScene();
  other.models[0].name = "Other";
  ASSERT_TRUE(SaveSceneFile(other, Path("dir.mwr/SCENE.MwR")).ok());
  ui_.files = {QPath("dir.mwr/SCENE.MwR")};
  frame_->Execute(kCmdOpen);
  EXPECT_EQ(scene_.models[0].name, "Other");
  std::filesystem::copy_file(Path("dir.mwr/SCENE.MwR"), Path("dir.mwr/noext"));
  ui_.files = {QPath("dir.mwr/noext")};
  frame_->Execute(kCmdOpen);
  EXPECT_EQ(scene_.models.size(), 1u);
}

TEST_F(AppTest, OpeningAnArchiveOverUnsavedWorkAsksFirst) {
  MW_REQUIRE_DISPLAY();
  CMeshwright other;
  other.ResetScene();
  other.models[0].name = "Other";
  ASSERT_TRUE(SaveSceneFile(other, Path("other.mwr")).ok());
  scene_.models[0].name = "Mine";
  doc_->SetModified(true);
  ui_.files = {QPath("other.mwr")};
  ui_.answers = {QMessageBox::Cancel};
  frame_->Execute(kCmdOpen);
  ASSERT_EQ(ui_.asked.size(), 1);
  EXPECT_EQ(ui_.asked[0], QStringLiteral("無題 への変更を保存しますか?"));
  EXPECT_EQ(scene_.models[0].name, "Mine");
  ui_.files = {QPath("other.mwr")};
  ui_.answers = {QMessageBox::No};
  frame_->Execute(kCmdOpen);
  EXPECT_EQ(scene_.models[0].name, "Other");
  EXPECT_FALSE(doc_->modified());
}

TEST_F(AppTest, ImportingAMetasequoiaDocumentAppendsWithoutAskingAndMarksModified) {
  MW_REQUIRE_DISPLAY();
  MW_REQUIRE_TESTDATA();
  doc_->SetModified(true);
  ui_.files = {QString::fromStdString(test::TestData("mqo/wanwan_cube_crlf.mqo").string())};
  frame_->Execute(kCmdOpen);
  EXPECT_TRUE(ui_.asked.isEmpty());
  EXPECT_EQ(scene_.models.size(), 2u);
  EXPECT_TRUE(doc_->modified());
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("無題 - Meshwright"));
}

TEST_F(AppTest, ABrokenArchiveSaysSoAndLeavesTheSceneAsItWas) {
  MW_REQUIRE_DISPLAY();
  test::WriteBytes(Path("broken.mwr"), {1, 0, 0, 0, 0, 0});
  scene_.models[0].name = "Kept";
  ui_.files = {QPath("broken.mwr")};
  frame_->Execute(kCmdOpen);
  ASSERT_EQ(ui_.messages.size(), 1);
  EXPECT_TRUE(ui_.messages[0].contains(QStringLiteral("予期しないファイル形式です。")))
      << ui_.messages[0].toStdString();
  EXPECT_EQ(scene_.models[0].name, "Kept");
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("無題 - Meshwright"));
}

TEST_F(AppTest, ABrokenMetasequoiaDocumentSaysWhatWentWrong) {
  MW_REQUIRE_DISPLAY();
  const std::string text = "Metasequoia Document\r\nFormat Text Ver 2.0\r\nEof\r\n";
  test::WriteBytes(Path("v2.mqo"), std::vector<std::uint8_t>(text.begin(), text.end()));
  ui_.files = {QPath("v2.mqo")};
  frame_->Execute(kCmdOpen);
  ASSERT_EQ(ui_.messages.size(), 1);
  EXPECT_TRUE(ui_.messages[0].contains(QStringLiteral("v2.mqo")));
  EXPECT_TRUE(ui_.messages[0].contains(QStringLiteral("1.0 と 1.1 のみ"))) << ui_.messages[0].toStdString();
}

TEST_F(AppTest, FileDialogsOfferTheFormatsOfTheTable) {
  MW_REQUIRE_DISPLAY();
  frame_->Execute(kCmdOpen);
  frame_->Execute(kCmdSaveAs);
  doc_->SetModified(true);
  ui_.answers = {QMessageBox::Yes};
  frame_->Execute(kCmdNew);  // the save-changes question offers the program's own format only
  EXPECT_EQ(ui_.filters, QStringList({QString::fromStdString(OpenDialogFilter()) + QStringLiteral(" | mwr"),
                                      QString::fromStdString(SaveDialogFilter()) + QStringLiteral(" | mwr"),
                                      QStringLiteral("Meshwrightファイル(*.mwr) | mwr")}));
  // The filters' own texts are pinned by the format table's tests; the .mwr and .mqo entries open them.
  EXPECT_TRUE(ui_.filters[0].startsWith(QStringLiteral("全ての形式(*.mwr *.mqo *.mqoz *.obj ")));
  EXPECT_TRUE(ui_.filters[1].startsWith(QStringLiteral("Meshwrightファイル(*.mwr);;Metasequoiaファイル(*.mqo);;")));
}

TEST_F(AppTest, AFileThatCannotBeOpenedNeverBecomesTheDocumentNorARecentFile) {
  MW_REQUIRE_DISPLAY();
  CMeshwright other;
  other.ResetScene();
  other.models[0].name = "Other";
  ASSERT_TRUE(SaveSceneFile(other, Path("gone.mwr")).ok());
  ASSERT_TRUE(SaveSceneFile(other, Path("other.mwr")).ok());
  ASSERT_TRUE(frame_->OpenFromShell(QPath("gone.mwr")));
  ASSERT_TRUE(frame_->OpenFromShell(QPath("other.mwr")));
  std::filesystem::remove(Path("gone.mwr"));
  const QStringList recent = doc_->RecentFiles();
  const QString title = frame_->windowTitle();
  ASSERT_EQ(title, QStringLiteral("other.mwr - Meshwright"));

  // The command line and the recent list both open through the shell path; so does a drop.
  QMimeData dropped;
  dropped.setUrls({QUrl::fromLocalFile(QPath("missing.mqo"))});
  const QStringList names = {QStringLiteral("missing.mqo"), QStringLiteral("missing.mwr"), QStringLiteral("gone.mwr"),
                             QStringLiteral("missing.mqo")};
  EXPECT_FALSE(frame_->OpenFromShell(QPath("missing.mqo")));
  EXPECT_FALSE(frame_->OpenFromShell(QPath("missing.mwr")));
  frame_->recentMenu()->actions()[1]->trigger();  // gone.mwr
  frame_->OpenDropped(dropped);
  ASSERT_EQ(ui_.messages.size(), names.size());
  for (int i = 0; i < names.size(); ++i)
    EXPECT_EQ(ui_.messages[i],
              names[i] + QStringLiteral("\nファイルを開けません。ファイルまたはフォルダーが見つかりません。"));
  EXPECT_EQ(frame_->windowTitle(), title);
  EXPECT_EQ(doc_->path(), QPath("other.mwr"));
  EXPECT_EQ(doc_->RecentFiles(), recent);
  EXPECT_FALSE(doc_->modified());
  ASSERT_EQ(scene_.models.size(), 1u);
  EXPECT_EQ(scene_.models[0].name, "Other");
}

// A read that stops part-way is dropped whole: the document stays as it was, not half-added to.
TEST_F(AppTest, AnImportThatStopsPartWayLeavesTheDocumentAsItWas) {
  MW_REQUIRE_DISPLAY();
  const std::string text =
      "Metasequoia Document\nFormat Text Ver 1.0\nObject \"cut\" {\nvertex 3 {\n0 0 0\n1 0 0\n"
      "0 1 0\n}\nface 1 {\n3 V(0 1 2)\n";
  test::WriteBytes(Path("cut.mqo"), std::vector<std::uint8_t>(text.begin(), text.end()));
  const QStringList recent = doc_->RecentFiles();
  EXPECT_FALSE(frame_->OpenFromShell(QPath("cut.mqo")));
  ASSERT_EQ(ui_.messages.size(), 1);
  EXPECT_EQ(ui_.messages[0], QStringLiteral("cut.mqo\n文書が途中で終わっています。"));
  ASSERT_EQ(scene_.models.size(), 1u);
  EXPECT_EQ(scene_.models[0].name, "Model");
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("無題 - Meshwright"));
  EXPECT_EQ(doc_->RecentFiles(), recent);
  EXPECT_FALSE(doc_->modified());
  EXPECT_EQ(frame_->modelList()->count(), 1);
  // The same through the open command: no step is added to the history either.
  ui_.files = {QPath("cut.mqo")};
  frame_->Execute(kCmdOpen);
  EXPECT_EQ(scene_.models.size(), 1u);
  EXPECT_EQ(doc_->undoStack().count(), 0);
  EXPECT_FALSE(doc_->modified());
}

TEST_F(AppTest, AnotherProgramsFileThatCannotBeReadLeavesTheDocumentAsItWas) {
  MW_REQUIRE_DISPLAY();
  // Assimp's reader never returns on this one: the reading process is refused or stopped.
  const auto bytes = test::ReadBytes(std::filesystem::path(MW_SOURCE_DIR) /
                                     "tests/data/assimp/hostile/ply-data-after-end-header.ply");
  test::WriteBytes(Path("hostile.ply"), bytes);
  const std::size_t models = scene_.models.size(), materials = scene_.materials.size();
  EXPECT_FALSE(frame_->OpenFromShell(QPath("hostile.ply")));
  ASSERT_EQ(ui_.messages.size(), 1);
  EXPECT_TRUE(ui_.messages[0].startsWith(QStringLiteral("hostile.ply\nPLY ファイルとして読み込めませんでした。(")))
      << ui_.messages[0].toStdString();
  EXPECT_EQ(scene_.models.size(), models);
  EXPECT_EQ(scene_.materials.size(), materials);
  EXPECT_FALSE(doc_->modified()) << "nothing was read: nothing to lose on closing";
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("無題 - Meshwright"));
}

TEST_F(AppTest, AFailedSaveSaysWhyAndKeepsTheDocumentAsItWas) {
  MW_REQUIRE_DISPLAY();
  const QStringList recent = doc_->RecentFiles();
  doc_->SetModified(true);
  ui_.files = {QPath("no/such/x.mwr")};
  frame_->Execute(kCmdSaveAs);
  ui_.files = {QPath("x.txt")};
  frame_->Execute(kCmdSaveAs);
  EXPECT_EQ(ui_.messages,
            QStringList({QStringLiteral("x.mwr\n保存できませんでした。ファイルまたはフォルダーが見つかりません。"),
                         QStringLiteral("x.txt\nこの種類のファイルには保存できません。\n"
                                        "保存できる種類: .mwr .mqo .obj .ply .stl .glb .gltf")}));
  EXPECT_FALSE(std::filesystem::exists(Path("x.txt")));
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("無題 - Meshwright"));
  EXPECT_TRUE(doc_->modified());
  EXPECT_EQ(doc_->RecentFiles(), recent);
}

TEST_F(AppTest, ADroppedFileNoFormatReadsIsRefusedWithoutAskingToSave) {
  MW_REQUIRE_DISPLAY();
  test::WriteBytes(Path("notes.txt"), {'h', 'i'});
  doc_->SetModified(true);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QPath("notes.txt"))});
  frame_->OpenDropped(data);
  EXPECT_TRUE(ui_.asked.isEmpty());
  EXPECT_EQ(ui_.messages, QStringList{QStringLiteral("notes.txt\n対応していない種類のファイルです。")});
  EXPECT_TRUE(doc_->modified());
  EXPECT_EQ(scene_.models.size(), 1u);
}

TEST_F(AppTest, NewDocumentAsksToSaveChangesAndResets) {
  MW_REQUIRE_DISPLAY();
  scene_.AddModel();
  doc_->SetModified(true);
  ui_.answers = {QMessageBox::Yes};
  ui_.files = {QPath("saved.mwr")};
  frame_->Execute(kCmdNew);
  EXPECT_TRUE(std::filesystem::exists(Path("saved.mwr")));
  EXPECT_EQ(scene_.models.size(), 1u);
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("無題 - Meshwright"));
}

TEST_F(AppTest, ClosingAModifiedDocumentCanBeCancelled) {
  MW_REQUIRE_DISPLAY();
  doc_->SetModified(true);
  ui_.answers = {QMessageBox::Cancel};
  EXPECT_FALSE(frame_->close());
  EXPECT_TRUE(frame_->isVisible());
}

TEST_F(AppTest, RecentFilesKeepFourNewestFirstAndOpenThroughTheShellPath) {
  MW_REQUIRE_DISPLAY();
  for (int i = 0; i < 5; ++i) {
    CMeshwright s;
    s.ResetScene();
    s.models[0].name = "n" + std::to_string(i);
    const std::string name = "r" + std::to_string(i) + ".mwr";
    ASSERT_TRUE(SaveSceneFile(s, Path(name)).ok());
    ASSERT_TRUE(frame_->OpenFromShell(QPath(name)));
  }
  const QStringList recent = doc_->RecentFiles();
  ASSERT_EQ(recent.size(), 4);
  EXPECT_EQ(recent[0], QPath("r4.mwr"));
  EXPECT_EQ(recent[3], QPath("r1.mwr"));
  EXPECT_EQ(frame_->recentMenu()->actions().size(), 4);
  frame_->recentMenu()->actions()[3]->trigger();
  EXPECT_EQ(scene_.models[0].name, "n1");
}

TEST_F(AppTest, ADroppedFileOpens) {
  MW_REQUIRE_DISPLAY();
  CMeshwright s;
  s.ResetScene();
  s.models[0].name = "Dropped";
  ASSERT_TRUE(SaveSceneFile(s, Path("drop.mwr")).ok());
  EXPECT_TRUE(frame_->acceptDrops());
  QMimeData data;
  data.setUrls({QUrl(QStringLiteral("http://example.invalid/x.mwr")), QUrl::fromLocalFile(QPath("drop.mwr"))});
  frame_->OpenDropped(data);
  EXPECT_EQ(scene_.models[0].name, "Dropped");
}

TEST_F(AppTest, MaximisingResetsTheSplitter) {
  MW_REQUIRE_DISPLAY();
  frame_->columns()->setSizes({300, 300, 300});
  frame_->showMaximized();
  QTest::qWait(300);
  QCoreApplication::processEvents();
  EXPECT_EQ(frame_->columns()->sizes().value(0), 124);
}

// Clicks the first link of the help window's page; false when the page shows none.
bool ClickFirstLink(CHelpWindow& help) {
  QWidget* page = help.browser()->viewport();
  for (int y = 0; y < page->height(); y += 3)
    for (int x = 0; x < page->width(); x += 3)
      if (!help.browser()->anchorAt(QPoint(x, y)).isEmpty()) {
        QTest::mouseClick(page, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
        return true;
      }
  return false;
}

// Qt's warnings about the window's modified state while a test runs.
QStringList g_qtWarnings;
void RecordQtWarning(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtWarningMsg && text.contains(QStringLiteral("WindowModified"))) g_qtWarnings << text;
}

TEST_F(AppTest, RemarksAboutAnOpenedFileGoToTheStatusBarAndChangesWarnNothing) {
  MW_REQUIRE_DISPLAY();
  MW_REQUIRE_TESTDATA();
  g_qtWarnings.clear();
  const QtMessageHandler previous = qInstallMessageHandler(RecordQtWarning);
  // A camera and a light the document cannot hold: said in the status bar, not in a message box.
  ASSERT_TRUE(frame_->OpenFromShell(QStringLiteral(MW_TESTDATA_DIR "/dae/trimesh_blue_cube.dae")));
  QCoreApplication::processEvents();
  EXPECT_TRUE(ui_.messages.isEmpty()) << ui_.messages.join(QStringLiteral("|")).toStdString();
  EXPECT_EQ(frame_->statusBar()->currentMessage(),
            QStringLiteral("trimesh_blue_cube.dae: 読み込まなかったもの: カメラ 1、ライト 1"));
  // The modified state follows the document without touching the title, and without a warning.
  frame_->Execute(kCmdSelectAll);
  frame_->Execute(kCmdFlipFaces);
  EXPECT_TRUE(doc_->modified());
  EXPECT_TRUE(frame_->isWindowModified());
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("trimesh_blue_cube.dae - Meshwright"));
  frame_->Execute(kCmdUndo);
  EXPECT_FALSE(frame_->isWindowModified());
  qInstallMessageHandler(previous);
  EXPECT_TRUE(g_qtWarnings.isEmpty()) << g_qtWarnings.join(QStringLiteral("|")).toStdString();

  // A file that cannot be read still stops the user with a message.
  test::WriteBytes(Path("broken.dae"), std::vector<std::uint8_t>{'<', 'x'});
  EXPECT_FALSE(frame_->OpenFromShell(QPath("broken.dae")));
  EXPECT_EQ(ui_.messages.size(), 1);
}

TEST_F(AppTest, HelpAndAbout) {
  MW_REQUIRE_DISPLAY();
  frame_->Execute(kCmdHelp);
  auto* help = frame_->findChild<CHelpWindow*>();
  ASSERT_NE(help, nullptr) << "the help has a window of its own";
  ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
  const QString shown = help->browser()->source().toLocalFile();
  EXPECT_TRUE(shown.endsWith(QStringLiteral("/Meshwright.html")));
  EXPECT_TRUE(QFileInfo::exists(shown)) << "the help is installed beside the program";
  EXPECT_TRUE(help->browser()->toPlainText().contains(QStringLiteral("面作成")));
  EXPECT_EQ(help->windowTitle(), QStringLiteral("Meshwright ヘルプ"));
  // The contents link to their sections.
  ASSERT_TRUE(ClickFirstLink(*help));
  EXPECT_EQ(help->browser()->source().fragment(), QStringLiteral("screen"));
  EXPECT_EQ(help->browser()->source().toLocalFile(), shown);
  frame_->Execute(kCmdHelp);
  EXPECT_EQ(frame_->findChildren<CHelpWindow*>().size(), 1);
  EXPECT_TRUE(ui_.messages.isEmpty());
  frame_->Execute(kCmdAbout);
  EXPECT_EQ(dialogs_, QStringList{QStringLiteral("バージョン情報 Meshwright")});
}

TEST_F(AppTest, TheHelpWindowFollowsLinksBetweenPagesAndShowsTheirPictures) {
  MW_REQUIRE_DISPLAY();
  std::filesystem::create_directories(Path("help/pics"));
  QImage dot(6, 4, QImage::Format_RGB32);
  dot.fill(Qt::red);
  ASSERT_TRUE(dot.save(QPath("help/pics/dot.png")));
  auto write = [](const std::string& path, const std::string& text) {
    test::WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
  };
  write(Path("help/a.html"),
        "<html><head><title>A</title></head><body><p><a href=\"b.html\">B</a></p>"
        "<p><img src=\"pics/dot.png\"></p></body></html>");
  write(Path("help/b.html"), "<html><head><title>B</title></head><body><p>second page</p></body></html>");
  CHelpWindow* help = ShowHelp(frame_.get(), QPath("help/a.html"));
  ASSERT_NE(help, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
  const QVariant picture =
      help->browser()->document()->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("pics/dot.png")));
  EXPECT_EQ(picture.value<QImage>().size(), QSize(6, 4)) << "pictures beside the page are found";
  ASSERT_TRUE(ClickFirstLink(*help));
  EXPECT_TRUE(help->browser()->source().toLocalFile().endsWith(QStringLiteral("/help/b.html")));
  EXPECT_TRUE(help->browser()->toPlainText().contains(QStringLiteral("second page")));
  EXPECT_EQ(help->windowTitle(), QStringLiteral("B"));
  help->browser()->backward();
  EXPECT_TRUE(help->browser()->source().toLocalFile().endsWith(QStringLiteral("/help/a.html")));

  // A help file that is not there is said so, and no window opens for it.
  help->close();
  EXPECT_EQ(ShowHelp(frame_.get(), QPath("help/none.html")), nullptr);
  ASSERT_EQ(ui_.messages.size(), 1);
  EXPECT_EQ(ui_.messages[0], QStringLiteral("ヘルプファイル none.html が見つかりません。"));
  EXPECT_FALSE(help->isVisible());
}

}  // namespace
}  // namespace mw

namespace mw {
namespace {

TEST(StartUp, CommandLineOptionsAndAFile) {
  CommandLine c = ParseCommandLine({"meshwright", "--register"});
  EXPECT_TRUE(c.registerTypes);
  c = ParseCommandLine({"meshwright", "--unregister"});
  EXPECT_TRUE(c.unregisterTypes);
  c = ParseCommandLine({"meshwright", "--embedding"});
  EXPECT_TRUE(c.automation);
  c = ParseCommandLine({"meshwright", "/home/u/a b.mwr"});
  EXPECT_EQ(c.file, QStringLiteral("/home/u/a b.mwr"));
  EXPECT_FALSE(ParseCommandLine({"meshwright", "--bogus"}).error.isEmpty());
}

TEST(StartUp, RegistersTheDocumentTypeWithTheDesktopAndRemovesIt) {
  test::TempDir dir;
  qputenv("XDG_DATA_HOME", dir.path().string().c_str());
  EXPECT_TRUE(RegisterFileTypes(QStringLiteral("/opt/mw/meshwright")).isEmpty());
  const auto desktop = test::ReadBytes(dir / "applications/meshwright.desktop");
  const auto mime = test::ReadBytes(dir / "mime/packages/meshwright.xml");
  const std::string d(desktop.begin(), desktop.end()), m(mime.begin(), mime.end());
  EXPECT_NE(d.find("MimeType=application/x-meshwright;"), std::string::npos);
  EXPECT_NE(d.find("Exec=\"/opt/mw/meshwright\" %f"), std::string::npos);
  EXPECT_NE(m.find("<comment>Meshwright.Document</comment>"), std::string::npos);
  EXPECT_NE(m.find("<glob pattern=\"*.mwr\"/>"), std::string::npos);
  UnregisterFileTypes();
  EXPECT_FALSE(std::filesystem::exists(dir / "applications/meshwright.desktop"));
  EXPECT_FALSE(std::filesystem::exists(dir / "mime/packages/meshwright.xml"));
  qunsetenv("XDG_DATA_HOME");
}

TEST(StartUp, AutomationWithoutASessionBusFailsWithAMessage) {
  MW_REQUIRE_DISPLAY();
  test::TempDir dir;
  std::string cmd = "env -u DBUS_SESSION_BUS_ADDRESS XDG_DATA_HOME='";
  cmd.append(dir.path().string()).append("' DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent '").append(MW_BIN_DIR);
  cmd.append("/meshwright' --automation 2>&1");
  std::FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  const int status = pclose(p);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("D-Bus session bus"), std::string::npos) << out;
}

}  // namespace
}  // namespace mw

namespace mw {
namespace {

TEST_F(AppTest, EveryMetasequoiaDocumentOpensAndDrawsInTheProgram) {
  MW_REQUIRE_DISPLAY();
  MW_REQUIRE_TESTDATA();
  int opened = 0;
  for (const auto& entry : std::filesystem::directory_iterator(test::TestData("mqo"))) {
    frame_->Execute(kCmdNew);
    const bool ok = frame_->OpenFromShell(QString::fromStdString(entry.path().string()));
    opened += ok;
    QImage perspective = frame_->perspectivePane()->grabFramebuffer();
    EXPECT_FALSE(perspective.isNull()) << entry.path();
    for (int plane : {kPlaneTop, kPlaneFace, kPlaneLeft}) EXPECT_FALSE(frame_->orthoPane(plane)->grab().isNull());
    // Hidden, then locked, then back: every state draws.
    for (int i = 0; i < 3; ++i) scene_.CycleModelState(static_cast<int>(scene_.models.size()) - 1);
    frame_->Refresh3D();
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(opened, 32);  // every one, version 1.1 documents included
}

// Opening reads on a worker thread while the window runs its event loop.

// A grid big enough that reading it takes more than one event-loop turn.
CMeshwright BigGrid() {
  CMeshwright s;
  s.ResetScene();
  s.AddMaterial();
  CModel& m = s.models[0];
  m.name = "grid";
  test::FillGrid(m, 301);
  return s;
}

std::vector<std::uint8_t> Bytes(const CMeshwright& s) {
  std::vector<std::uint8_t> out;
  WriteScene(s, out);
  return out;
}

TEST_F(AppTest, ACancelledOpenLeavesTheDocumentAsItWas) {
  MW_REQUIRE_DISPLAY();
  const CMeshwright big = BigGrid();
  ASSERT_TRUE(SaveSceneFile(big, Path("big.mwr")).ok());
  ASSERT_TRUE(ExportMetasequoia(big, Path("big.mqo")));
  CMeshwright mine;
  mine.ResetScene();
  mine.models[0].name = "mine";
  mine.models[0].vertices.emplace_back(1.0f, 2.0f, 3.0f);
  ASSERT_TRUE(SaveSceneFile(mine, Path("mine.mwr")).ok());
  ASSERT_TRUE(frame_->OpenFromShell(QPath("mine.mwr")));
  doc_->Edit(EditKind::kSelect, [this]() { scene_.models[0].vertices[0].selected = 1; });
  doc_->Edit(EditKind::kMove, [this]() { scene_.models[0].vertices[0].position.x = 37.0f; });
  ASSERT_TRUE(doc_->modified());
  const auto before = Bytes(scene_);
  const QStringList recent = doc_->RecentFiles();
  const int steps = doc_->undoStack().count();

  // From the shell (replaces), the open command (appends), and a drop.
  ui_.answers = {QMessageBox::No};  // do not save "mine.mwr" before replacing it
  QTimer::singleShot(0, frame_.get(), [this]() { frame_->loadCancelButton()->click(); });
  EXPECT_FALSE(frame_->OpenFromShell(QPath("big.mwr")));
  ui_.files = {QPath("big.mqo")};
  QTimer::singleShot(0, frame_.get(), [this]() { frame_->loadCancelButton()->click(); });
  frame_->Execute(kCmdOpen);
  QMimeData dropped;
  dropped.setUrls({QUrl::fromLocalFile(QPath("big.mqo"))});
  ui_.answers = {QMessageBox::No};
  QTimer::singleShot(0, frame_.get(), [this]() { frame_->loadCancelButton()->click(); });
  frame_->OpenDropped(dropped);

  EXPECT_EQ(Bytes(scene_), before);
  EXPECT_EQ(doc_->path(), QPath("mine.mwr"));
  EXPECT_EQ(doc_->RecentFiles(), recent);
  EXPECT_TRUE(doc_->modified());
  EXPECT_EQ(doc_->undoStack().count(), steps);
  EXPECT_TRUE(ui_.messages.isEmpty()) << "a cancel is no failure";
  EXPECT_EQ(frame_->statusBar()->currentMessage(), QStringLiteral("読み込みを中止しました。"));
  EXPECT_TRUE(frame_->loadProgressBar()->isHidden());
  EXPECT_TRUE(frame_->menuBar()->isEnabled());
  EXPECT_TRUE(frame_->centralWidget()->isEnabled());
  EXPECT_FALSE(doc_->loading());

  // Not cancelled, the same open goes through.
  ui_.answers = {QMessageBox::No};
  ASSERT_TRUE(frame_->OpenFromShell(QPath("big.mwr")));
  ASSERT_EQ(scene_.models.size(), 1u);
  EXPECT_EQ(scene_.models[0].name, "grid");
  EXPECT_EQ(scene_.models[0].faces.size(), big.models[0].faces.size());
  EXPECT_EQ(doc_->path(), QPath("big.mwr"));
  EXPECT_FALSE(doc_->modified());
}

TEST_F(AppTest, WhileAnOpenReadsEditsAndOtherOpensWait) {
  MW_REQUIRE_DISPLAY();
  ASSERT_TRUE(ExportMetasequoia(BigGrid(), Path("big.mqo")));
  bool checked = false;
  QTimer::singleShot(0, frame_.get(), [&]() {
    checked = true;
    EXPECT_TRUE(doc_->loading());
    EXPECT_FALSE(frame_->menuBar()->isEnabled());
    EXPECT_FALSE(frame_->centralWidget()->isEnabled());
    EXPECT_FALSE(frame_->acceptDrops());
    EXPECT_EQ(frame_->statusBar()->currentMessage(), QStringLiteral("big.mqo を読み込んでいます..."));
    const auto before = Bytes(scene_);
    frame_->Execute(kCmdSelectAll);
    frame_->Execute(kCmdNew);
    doc_->Edit(EditKind::kMove, [this]() { scene_.models[0].name = "edited"; });
    EXPECT_FALSE(frame_->OpenFromShell(QPath("big.mqo")));
    EXPECT_EQ(Bytes(scene_), before);
  });
  ASSERT_TRUE(frame_->OpenFromShell(QPath("big.mqo")));
  EXPECT_TRUE(checked);
  ASSERT_EQ(scene_.models.size(), 2u);
  EXPECT_EQ(scene_.models[0].name, "Model");
  EXPECT_EQ(scene_.models[1].faces.size(), 300u * 300u);
  EXPECT_EQ(doc_->path(), QPath("big.mqo"));
  EXPECT_TRUE(frame_->menuBar()->isEnabled());
  EXPECT_TRUE(frame_->acceptDrops());
}

TEST_F(AppTest, ClosingTheWindowWhileAnOpenReadsCancelsItFirst) {
  MW_REQUIRE_DISPLAY();
  ASSERT_TRUE(SaveSceneFile(BigGrid(), Path("big.mwr")).ok());
  const auto before = Bytes(scene_);
  bool closedAtOnce = true;
  QTimer::singleShot(0, frame_.get(), [&]() { closedAtOnce = frame_->close(); });
  EXPECT_FALSE(frame_->OpenFromShell(QPath("big.mwr")));
  EXPECT_FALSE(closedAtOnce) << "the window waits for the read to stop";
  EXPECT_EQ(Bytes(scene_), before);
  for (int i = 0; i < 200 && frame_->isVisible(); ++i) QTest::qWait(10);
  EXPECT_FALSE(frame_->isVisible());
}

}  // namespace
}  // namespace mw
