// Duplicate, copy, cut, paste and delete in the real window and through the real clipboard,
// within this program and between it and a running meshwright.
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QUndoStack>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/clipboard.h"
#include "app/commands.h"
#include "app/model_view.h"
#include "scene/archive.h"
#include "scene/fragment.h"
#include "tests/app/app_fixture.h"
#include "tests/support/scene_samples.h"

namespace mw {
namespace {

using test::AppTest;

class ClipboardTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    if (!frame_) return;
    frame_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  }
  // Keys go where the user types: a pane of the window.
  QWidget* Pane() const { return frame_->orthoPane(kPlaneTop); }
};

CMaterial Material(std::int32_t id, const std::string& name, float k, const std::string& texture) {
  CMaterial m(id);
  m.name = name;
  m.color[0] = 0.137f * k;
  m.color[1] = 0.731f;
  m.color[2] = 0.059f;
  m.color[3] = 0.613f;
  m.diffuse = 0.917f;
  m.ambient = 0.333f;
  m.emissive = 0.0123f * k;
  m.specular = 0.771f;
  m.power = 37.5f;
  m.texture = texture;
  m.alphaPlane = "a.bmp";
  m.bump = "b.bmp";
  m.UpdateMaterialColors();
  return m;
}

// Two faces (a quad with UVs in material 2, a triangle in material 6) and a lone vertex.
void FillScene(CMeshwright& s, const std::string& texture = "none-such.bmp") {
  CModel& m = s.models[0];
  m.vertices = {CVertex(10.5f, 0, 10.25f), CVertex(110.5f, 0, 10.25f), CVertex(110.5f, 0, 110.125f),
                CVertex(10.5f, 0, 110.125f), CVertex(60, 80.75f, 60), CVertex(-300, -300, -300)};
  CFace quad;
  quad.indices = {0, 1, 2, 3};
  quad.uvs = {CUV(0, 0), CUV(0, 0.5f), CUV(0.75f, 0.5f), CUV(0.75f, 0)};
  quad.material = 2;
  CFace tri;
  tri.indices = {0, 1, 4};
  tri.material = 6;
  m.faces = {quad, tri};
  m.RebuildFaceRefs();
  s.materials = {Material(2, "red", 1.0f, texture), Material(6, "blue", 2.0f, texture)};
  s.nextMaterialId = 7;
  s.ComputeNormals();
}

QByteArray ClipboardBytes(const char* type) {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data ? data->data(QString::fromLatin1(type)) : QByteArray();
}

TEST_F(ClipboardTest, CopyOffersTheFragmentAndObjTextAndPasteAddsItSelectedToTheCurrentModel) {
  MW_REQUIRE_DISPLAY();
  FillScene(scene_);
  frame_->UpdateCommandStates();
  EXPECT_FALSE(frame_->action(kCmdCopy)->isEnabled());
  frame_->Execute(kCmdSelectAll);
  for (int id : {kCmdCut, kCmdCopy, kCmdDuplicate}) EXPECT_TRUE(frame_->action(id)->isEnabled()) << id;
  QTest::keyClick(Pane(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_FALSE(ClipboardBytes(kFragmentMimeType).isEmpty());
  const QString text = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(text.startsWith(QStringLiteral("# Meshwright\n"))) << text.toStdString();
  // Wound for other programs, whose front is counter-clockwise.
  EXPECT_TRUE(text.contains(QStringLiteral("\nf 4/4 3/3 2/2 1/1\n"))) << text.toStdString();
  EXPECT_EQ(ClipboardBytes(kObjMimeType), text.toUtf8());
  EXPECT_FALSE(doc_->modified()) << "copying changes nothing";
  QTRY_VERIFY(frame_->action(kCmdPaste)->isEnabled());

  // Into a second model of a document that already has "blue" under another identifier.
  const CMeshwright before = scene_;
  scene_.models.emplace_back();
  scene_.currentModel = 1;
  scene_.materials.erase(scene_.materials.begin());  // "red" goes: the paste must add it back
  doc_->undoStack().clear();
  QTest::keyClick(Pane(), Qt::Key_V, Qt::ControlModifier);
  const CModel& m = scene_.models[1];
  ASSERT_EQ(m.faces.size(), 2u);
  ASSERT_EQ(m.vertices.size(), 5u) << "the lone vertex is no face's and stays behind";
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(m.vertices[i].position, before.models[0].vertices[i].position) << i;
    EXPECT_EQ(m.vertices[i].selected, 1) << i;
  }
  for (const CVertex& v : scene_.models[0].vertices) EXPECT_EQ(v.selected, 0);
  EXPECT_EQ(m.faces[0].uvs, before.models[0].faces[0].uvs);
  ASSERT_EQ(scene_.materials.size(), 2u);
  EXPECT_EQ(scene_.materials[1].name, "red");
  EXPECT_EQ(scene_.materials[1].id, 7);
  EXPECT_EQ(scene_.materials[1].emissive, before.materials[0].emissive);
  EXPECT_EQ(m.faces[0].material, 7);
  EXPECT_EQ(m.faces[1].material, 6);
  EXPECT_TRUE(doc_->modified());
  EXPECT_EQ(doc_->undoStack().count(), 1);
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: 貼り付け\tCtrl+Z(&U)"));
  frame_->Execute(kCmdUndo);
  EXPECT_TRUE(scene_.models[1].faces.empty());
  EXPECT_EQ(scene_.materials.size(), 1u);
  EXPECT_EQ(scene_.models[0].vertices[0].selected, 1);
  // A locked current model takes no paste.
  scene_.models[1].state = kStateLocked;
  frame_->UpdateCommandStates();
  EXPECT_FALSE(frame_->action(kCmdPaste)->isEnabled());
}

TEST_F(ClipboardTest, CutCopiesThenDeletesAndTheDeleteKeyLeavesTheClipboardAlone) {
  MW_REQUIRE_DISPLAY();
  FillScene(scene_);
  frame_->Execute(kCmdSelectAll);
  QTest::keyClick(Pane(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_TRUE(scene_.models[0].faces.empty());
  EXPECT_TRUE(scene_.models[0].vertices.empty()) << "unused vertices go as well";
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: 切り取り\tCtrl+Z(&U)"));
  const QByteArray cut = ClipboardBytes(kFragmentMimeType);
  SceneFragment f;
  ASSERT_TRUE(DecodeFragment(reinterpret_cast<const std::uint8_t*>(cut.constData()), std::size_t(cut.size()), f).ok());
  EXPECT_EQ(f.model.faces.size(), 2u);
  EXPECT_EQ(f.materials.size(), 2u);
  frame_->Execute(kCmdUndo);
  ASSERT_EQ(scene_.models[0].faces.size(), 2u);

  // Only the triangle selected: Delete removes it and its apex, and the clipboard still holds the cut.
  scene_.SetAllSelected(0);
  for (int i : {0, 1, 4}) scene_.models[0].vertices[std::size_t(i)].selected = 1;
  scene_.models[0].UpdateFaceSelection();
  QTest::keyClick(Pane(), Qt::Key_Delete);
  EXPECT_EQ(scene_.models[0].faces.size(), 1u);
  EXPECT_EQ(scene_.models[0].vertices.size(), 4u);
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: 削除\tCtrl+Z(&U)"));
  EXPECT_EQ(ClipboardBytes(kFragmentMimeType), cut);
  // Shift+Delete cuts.
  frame_->Execute(kCmdSelectAll);
  QTest::keyClick(Pane(), Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_TRUE(scene_.models[0].faces.empty());
  EXPECT_NE(ClipboardBytes(kFragmentMimeType), cut);
}

TEST_F(ClipboardTest, CtrlDDuplicatesOneGridStepAwayAndSelectsTheCopies) {
  MW_REQUIRE_DISPLAY();
  FillScene(scene_);
  scene_.zoom = 137.0f;
  frame_->Execute(kCmdSelectAll);
  QTest::keyClick(Pane(), Qt::Key_D, Qt::ControlModifier);
  const CModel& m = scene_.models[0];
  ASSERT_EQ(m.faces.size(), 4u);
  ASSERT_EQ(m.vertices.size(), 11u);
  const float step = GridStepUnits(137.0f);  // 68 pixels of 137 per 100 units
  EXPECT_EQ(step, static_cast<float>(68.0 / 137.0f * 100.0));
  for (std::size_t i = 0; i < 5; ++i) {
    const CVector& p = m.vertices[i].position;
    const CVector& q = m.vertices[6 + i].position;
    EXPECT_EQ(q, CVector(static_cast<float>(p.x + step), static_cast<float>(p.y + step),
                         static_cast<float>(p.z + step)))
        << i;
    EXPECT_EQ(m.vertices[i].selected, 0);
    EXPECT_EQ(m.vertices[6 + i].selected, 1);
  }
  EXPECT_EQ(m.faces[2].material, 2);
  EXPECT_EQ(frame_->action(kCmdUndo)->text(), QStringLiteral("元に戻す: 複製\tCtrl+Z(&U)"));
  frame_->Execute(kCmdUndo);
  EXPECT_EQ(scene_.models[0].faces.size(), 2u);
  EXPECT_EQ(scene_.models[0].vertices[0].selected, 1);
  frame_->Execute(kCmdDeselectAll);
  EXPECT_FALSE(frame_->action(kCmdDuplicate)->isEnabled());
}

TEST_F(ClipboardTest, KeysTypedIntoTheModelNameEditorStayWithTheText) {
  MW_REQUIRE_DISPLAY();
  FillScene(scene_);
  frame_->Execute(kCmdSelectAll);
  const int steps = doc_->undoStack().count();
  scene_.currentModel = 0;
  frame_->modelList()->OnModelCommand(kCmdModelRename);
  QLineEdit* editor = frame_->modelList()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setFocus();
  editor->setText(QStringLiteral("abc"));
  editor->setCursorPosition(0);
  QTest::keyClick(editor, Qt::Key_Delete);
  EXPECT_EQ(editor->text(), QStringLiteral("bc"));
  editor->selectAll();
  QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("bc"));
  EXPECT_EQ(scene_.models[0].faces.size(), 2u) << "the selection was neither deleted nor copied";
  EXPECT_EQ(doc_->undoStack().count(), steps);
  QTest::keyClick(editor, Qt::Key_Escape);
}

TEST_F(ClipboardTest, ADamagedOrForeignClipboardPayloadIsRefusedWithAMessage) {
  MW_REQUIRE_DISPLAY();
  FillScene(scene_);
  scene_.SetAllSelected(1);
  const std::vector<std::uint8_t> good = EncodeFragment(ExtractSelection(scene_));
  std::vector<QByteArray> bad;
  bad.emplace_back("MWFRAG");  // a header and nothing else
  QByteArray truncated(reinterpret_cast<const char*>(good.data()), qsizetype(good.size() - 3));
  bad.push_back(truncated);
  QByteArray huge(reinterpret_cast<const char*>(good.data()), qsizetype(good.size()));
  const std::int32_t lots = 0x7FFFFFF0;
  std::memcpy(huge.data() + 8, &lots, 4);  // the model count
  bad.push_back(huge);
  for (const QByteArray& payload : bad) {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kFragmentMimeType), payload);
    QGuiApplication::clipboard()->setMimeData(data);
    QTRY_VERIFY(frame_->action(kCmdPaste)->isEnabled());
    ui_.messages.clear();
    QTest::keyClick(Pane(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ui_.messages, QStringList{QStringLiteral("クリップボードの内容は貼り付けられません。")});
    EXPECT_EQ(scene_.models[0].faces.size(), 2u);
    EXPECT_EQ(doc_->undoStack().count(), 0);
  }
  // Text from another program is not a fragment: nothing to paste.
  QGuiApplication::clipboard()->setText(QStringLiteral("v 1 2 3\n"));
  QTRY_VERIFY(!frame_->action(kCmdPaste)->isEnabled());
}

TEST_F(ClipboardTest, PastedTextureNamesResolveInTheFolderTheyWereCopiedFrom) {
  MW_REQUIRE_DISPLAY();
  std::filesystem::create_directories(Path("a/maps"));
  std::filesystem::create_directories(Path("b"));
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(picture.save(QPath("a/maps/red.bmp")));
  ASSERT_TRUE(picture.save(QPath("b/blue.bmp")));
  FillScene(scene_, "maps\\red.bmp");        // as a document from another machine writes it
  scene_.materials[1].texture = "blue.bmp";  // found beside the target too: stays as it is
  ASSERT_TRUE(doc_->SaveDocument(QPath("a/source.mwr")));
  frame_->Execute(kCmdSelectAll);
  frame_->Execute(kCmdCopy);
  const QString folder = QFileInfo(QPath("a/source.mwr")).absolutePath() + QLatin1Char('/');
  EXPECT_EQ(ClipboardBytes(kFragmentFolderMimeType), folder.toUtf8());

  doc_->NewDocument();
  ASSERT_TRUE(doc_->SaveDocument(QPath("b/target.mwr")));
  QTRY_VERIFY(frame_->action(kCmdPaste)->isEnabled());
  ui_.messages.clear();
  QTest::keyClick(Pane(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_TRUE(ui_.messages.isEmpty()) << ui_.messages.join(QStringLiteral("|")).toStdString();
  ASSERT_EQ(scene_.materials.size(), 2u);
  EXPECT_EQ(scene_.materials[0].texture, (folder + QStringLiteral("maps/red.bmp")).toStdString());
  EXPECT_EQ(scene_.materials[1].texture, "blue.bmp");
  for (const CMaterial& m : scene_.materials) {
    EXPECT_FALSE(m.textureFailed) << m.texture;
    EXPECT_NE(m.textureImage, nullptr) << m.texture;
  }
  // Saved and opened again, the texture is still found.
  ASSERT_TRUE(doc_->SaveDocument(QPath("b/target.mwr")));
  doc_->NewDocument();
  ASSERT_TRUE(doc_->OpenDocument(QPath("b/target.mwr"), OpenedFrom::kShell));
  EXPECT_TRUE(ui_.messages.isEmpty()) << ui_.messages.join(QStringLiteral("|")).toStdString();

  // The folder is taken only as a copy writes it: absolute, ending in '/'.
  SceneFragment fragment = ExtractSelection(scene_);
  for (const char* given : {"a/", "/tmp", "", "/x/"}) {
    std::unique_ptr<QMimeData> data(FragmentMimeData(fragment));
    data->setData(QString::fromLatin1(kFragmentFolderMimeType), QByteArray(given, qsizetype(std::strlen(given))));
    SceneFragment read;
    ASSERT_TRUE(FragmentFromMimeData(*data, read).ok());
    const std::string g(given);
    EXPECT_EQ(read.sourceFolder, g.size() > 1 && g.front() == '/' && g.back() == '/' ? g : "") << g;
  }
}

// ---- Between two running programs ----

// Runs a command and waits for it, keeping this program's events flowing: it owns the clipboard
// the other program asks for.
QString RunTool(const QString& program, const QStringList& args, int timeoutMs = 20000) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForStarted(5000)) return QStringLiteral("!not started");
  const bool done = QTest::qWaitFor([&p]() { return p.state() == QProcess::NotRunning; }, timeoutMs);
  if (!done) {
    p.kill();
    p.waitForFinished();
    return QStringLiteral("!timed out");
  }
  return p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput()).trimmed()
                           : QStringLiteral("!failed: ") + QString::fromUtf8(p.readAllStandardError());
}

// Sends keys to the other program's window as a user's keyboard would (XTEST).
QString Keys(const QString& window, const QStringList& keys) {
  const QString focus = RunTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
  if (focus.startsWith(QLatin1Char('!'))) return focus;
  QTest::qWait(200);
  QStringList args{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("150")};
  return RunTool(QStringLiteral("xdotool"), args + keys);
}

TEST_F(ClipboardTest, CopyPasteAndDuplicateWorkBetweenTwoRunningPrograms) {
  MW_REQUIRE_DISPLAY();
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) GTEST_SKIP() << "needs an X server";
  // The other program edits a document of its own, saved empty.
  const std::string target = Path("target.mwr");
  {
    CMeshwright empty;
    empty.ResetScene();
    ASSERT_TRUE(SaveSceneFile(empty, target).ok());
  }
  // A texture the other program finds beside its document: a missing one would stop it with a
  // message.
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(picture.save(QPath("red.bmp")));
  FillScene(scene_, "red.bmp");
  frame_->Execute(kCmdSelectAll);
  frame_->Execute(kCmdCopy);
  const CMeshwright source = scene_;

  QProcess other;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), QPath("other-config"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), QPath("other-data"));
  other.setProcessEnvironment(env);
  other.start(QStringLiteral(MW_BIN_DIR "/meshwright"), {QString::fromStdString(target)});
  ASSERT_TRUE(other.waitForStarted(10000));
  struct Stop {
    QProcess& p;
    ~Stop() {
      p.kill();
      p.waitForFinished(5000);
    }
  } stop{other};
  // Windows come and go while it starts, which can make one search fail: search until found.
  QString window;
  ASSERT_TRUE(QTest::qWaitFor(
      [&window]() {
        window = RunTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                     QStringLiteral("--name"), QStringLiteral("^target\\.mwr - Meshwright$")})
                     .section(QLatin1Char('\n'), 0, 0);
        return !window.isEmpty() && !window.startsWith(QLatin1Char('!'));
      },
      30000))
      << window.toStdString();
  QTest::qWait(500);  // let it lay out and read the clipboard's owner

  // Paste what this program copied, duplicate it, save.
  const QString sent = Keys(window, {QStringLiteral("ctrl+v"), QStringLiteral("ctrl+d"), QStringLiteral("ctrl+s")});
  ASSERT_FALSE(sent.startsWith(QLatin1Char('!'))) << sent.toStdString();
  CMeshwright saved;
  ASSERT_TRUE(QTest::qWaitFor(
      [&saved, &target]() {
        saved = CMeshwright();
        return OpenSceneFile(saved, target).ok() && !saved.models.empty() && saved.models[0].faces.size() == 4;
      },
      20000));
  const CModel& m = saved.models[0];
  ASSERT_EQ(m.vertices.size(), 10u);
  const float step = GridStepUnits(100.0f);  // the other program's zoom
  for (std::size_t i = 0; i < 5; ++i) {
    const CVector& p = source.models[0].vertices[i].position;
    EXPECT_EQ(m.vertices[i].position, p) << i;
    EXPECT_EQ(m.vertices[5 + i].position, CVector(p.x + step, p.y + step, p.z + step)) << i;
  }
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(m.faces[i].uvs, source.models[0].faces[i % 2].uvs) << i;
    EXPECT_EQ(m.faces[i].indices.size(), source.models[0].faces[i % 2].indices.size()) << i;
  }
  ASSERT_EQ(saved.materials.size(), 2u);
  for (std::size_t k = 0; k < 2; ++k) {
    const CMaterial &a = saved.materials[k], &b = source.materials[k];
    test::ExpectSameMaterialFields(a, b);
    EXPECT_EQ(m.faces[k].material, a.id);
  }

  // The other way: it copies its selection (the duplicates), this program pastes.
  const QByteArray mine = ClipboardBytes(kFragmentMimeType);
  ASSERT_FALSE(Keys(window, {QStringLiteral("ctrl+c")}).startsWith(QLatin1Char('!')));
  ASSERT_TRUE(QTest::qWaitFor(
      [&mine]() {
        const QByteArray now = ClipboardBytes(kFragmentMimeType);
        return !now.isEmpty() && now != mine;
      },
      20000));
  frame_->activateWindow();
  scene_.SetAllSelected(0);
  QTRY_VERIFY(frame_->action(kCmdPaste)->isEnabled());
  frame_->Execute(kCmdPaste);
  ASSERT_EQ(scene_.models[0].faces.size(), 4u);
  ASSERT_EQ(scene_.models[0].vertices.size(), 11u);
  for (std::size_t i = 0; i < 5; ++i)
    EXPECT_EQ(scene_.models[0].vertices[6 + i].position, m.vertices[5 + i].position) << i;
  EXPECT_EQ(scene_.materials.size(), 2u) << "both materials matched by name";
  EXPECT_EQ(scene_.models[0].faces[2].material, 2);
  EXPECT_EQ(scene_.models[0].faces[3].material, 6);
}

}  // namespace
}  // namespace mw
