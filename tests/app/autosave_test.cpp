// Recovery saves: what they write and leave alone, and a real crash (SIGKILL) recovered at start.
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <filesystem>

#include "app/autosave.h"
#include "app/commands.h"
#include "image/material_texture.h"
#include "scene/archive.h"
#include "tests/app/app_fixture.h"

namespace mw {
namespace {

using test::AppTest;

std::vector<std::uint8_t> Bytes(const CMeshwright& s) {
  std::vector<std::uint8_t> out;
  WriteScene(s, out);
  return out;
}

std::vector<std::uint8_t> FileBytes(const QString& path) {
  CMeshwright s;
  if (!OpenSceneFile(s, path.toStdString()).ok()) return {};
  return Bytes(s);
}

class AutosaveTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    qputenv("XDG_STATE_HOME", (dir_.path() / "state").string().c_str());
  }
};

TEST_F(AutosaveTest, WritesTheUnsavedSceneBesideTheDocumentAndRemovesItWhenSavedOrClosed) {
  MW_REQUIRE_DISPLAY();
  EXPECT_EQ(RecoveryFolder(), QString::fromStdString((dir_.path() / "state" / "meshwright").string()));
  ui_.files = {QPath("doc.mwr")};
  frame_->Execute(kCmdSave);
  QString path;
  {
    Autosaver saver(*doc_, 0);
    path = saver.path();
    EXPECT_TRUE(path.endsWith(QStringLiteral("/recovery-%1.mwr").arg(QCoreApplication::applicationPid())));
    saver.Tick();  // nothing unsaved: nothing written
    EXPECT_TRUE(saver.Wait());
    EXPECT_FALSE(QFile::exists(path));
    scene_.currentModel = 0;
    doc_->Edit(EditKind::kModelRename, [this]() { scene_.RenameCurrentModel("edited"); });
    saver.Tick();
    EXPECT_TRUE(saver.Wait());
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(FileBytes(path), Bytes(scene_));
    // The document's own file, path and flag are the user's.
    EXPECT_TRUE(doc_->modified());
    EXPECT_EQ(doc_->path(), QPath("doc.mwr"));
    CMeshwright saved;
    ASSERT_TRUE(OpenSceneFile(saved, Path("doc.mwr")).ok());
    EXPECT_EQ(saved.models[0].name, "Model");
    EXPECT_EQ(QFileInfo(RecoveryFolder()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
    // Undoing to the saved state: the recovery file goes at the next tick.
    doc_->Undo();
    saver.Tick();
    EXPECT_FALSE(QFile::exists(path));
    doc_->Redo();
    saver.Tick();
    saver.Wait();
    EXPECT_TRUE(QFile::exists(path));
  }
  EXPECT_FALSE(QFile::exists(path));  // a clean exit leaves nothing behind
}

TEST_F(AutosaveTest, AfterSigkillTheNextStartOffersTheEditBackOrDiscardsIt) {
  MW_REQUIRE_DISPLAY();
  // A short interval in the child's settings file (written directly: this process's QSettings
  // keeps the folder of the first test that used it).
  const QString ini =
      QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/Orlux Meshwright アプリケーション");
  ASSERT_TRUE(QDir().mkpath(ini));
  {
    QFile f(ini + QStringLiteral("/Meshwright.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Autosave]\nIntervalSeconds=1\n");
  }
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  child.setProcessEnvironment(env);
  child.start(QStringLiteral(MW_BIN_DIR "/recovery_child"), {});
  ASSERT_TRUE(child.waitForStarted());
  ASSERT_TRUE(child.waitForReadyRead(10000));
  const QString childFile = QString::fromLocal8Bit(child.readLine()).trimmed();
  ASSERT_EQ(childFile, RecoveryPath(child.processId()));
  for (int i = 0; i < 100 && !QFile::exists(childFile); ++i) QTest::qWait(100);
  ASSERT_TRUE(QFile::exists(childFile));
  QTest::qWait(200);  // the write is atomic; give a second tick no chance to matter
  ASSERT_EQ(::kill(static_cast<pid_t>(child.processId()), SIGKILL), 0);
  ASSERT_TRUE(child.waitForFinished(5000));
  EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
  ASSERT_EQ(OrphanRecoveryFiles(), QStringList{childFile});

  // A second file from a process that is long gone: discarded on "no".
  const QString other = RecoveryPath(999999999);
  ASSERT_TRUE(QFile::copy(childFile, other));
  {
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
  }

  // Start again: the offer comes in Japanese; "cancel" keeps both for later.
  const QString own = RecoveryPath(QCoreApplication::applicationPid());
  ui_.answers = {QMessageBox::Cancel, QMessageBox::Cancel};
  EXPECT_FALSE(OfferRecovery(frame_.get(), *doc_, own));
  ASSERT_EQ(ui_.asked.size(), 2);
  EXPECT_TRUE(ui_.asked[0].contains(QStringLiteral("復元しますか?")));
  EXPECT_EQ(OrphanRecoveryFiles().size(), 2);
  ui_.answers = {QMessageBox::No, QMessageBox::Yes};  // newest first
  EXPECT_TRUE(OfferRecovery(frame_.get(), *doc_, own));
  EXPECT_FALSE(QFile::exists(other));
  ASSERT_EQ(scene_.models.size(), 2u);
  EXPECT_EQ(scene_.models[1].name, "recovered");
  EXPECT_TRUE(doc_->modified());
  EXPECT_TRUE(doc_->path().isEmpty());
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("無題 - Meshwright"));
  EXPECT_EQ(doc_->undoStack().count(), 0);
  // The restored file is now this process's own until it saves or exits.
  EXPECT_FALSE(QFile::exists(childFile));
  EXPECT_TRUE(QFile::exists(own));
  EXPECT_TRUE(OrphanRecoveryFiles().isEmpty());
  QFile::remove(own);
}

// The restored document is the one that was being edited: its path, name and textures (found
// beside it again), still modified.
TEST_F(AutosaveTest, ARestoredDocumentKeepsItsPathNameAndTextures) {
  MW_REQUIRE_DISPLAY();
  const std::filesystem::path folder = dir_.path() / "work";
  std::filesystem::create_directories(folder);
  // A 1 x 1 24-bit bitmap.
  test::WriteBytes(folder / "wood.bmp", {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0,
                                         0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                         0, 0, 0, 0, 10, 20, 30, 0});
  CMeshwright edited;
  edited.ResetScene();
  edited.AddMaterial();
  edited.materials[0].texture = "wood.bmp";
  const std::string documentPath = (folder / "table.mwr").string();
  ASSERT_TRUE(QDir().mkpath(RecoveryFolder()));
  const QString file = RecoveryPath(999999998);
  std::string error;
  ASSERT_TRUE(WriteRecoveryFile(edited, documentPath, file.toStdString(), error)) << error;
  // Read as a plain .mwr the file is the scene.
  EXPECT_EQ(FileBytes(file), Bytes(edited));
  ui_.answers = {QMessageBox::Yes};
  ASSERT_TRUE(OfferRecovery(frame_.get(), *doc_, RecoveryPath(QCoreApplication::applicationPid())));
  EXPECT_EQ(doc_->path().toStdString(), documentPath);
  EXPECT_TRUE(doc_->modified());
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("table.mwr - Meshwright"));
  ASSERT_EQ(scene_.materials.size(), 1u);
  EXPECT_TRUE(TextureLoaded(scene_.materials[0])) << ui_.messages.join(QLatin1Char('\n')).toStdString();
  EXPECT_TRUE(ui_.messages.isEmpty()) << ui_.messages.join(QLatin1Char('\n')).toStdString();
  QFile::remove(RecoveryPath(QCoreApplication::applicationPid()));
}

// A recovery file that is a link, or another user's, is not offered but named; autosaves then
// write a file of their own instead of through the link, and a failing autosave says so once.
TEST_F(AutosaveTest, LinksAndOtherUsersFilesAreNotOfferedAndAFailingAutosaveIsTold) {
  MW_REQUIRE_DISPLAY();
  ASSERT_TRUE(QDir().mkpath(RecoveryFolder()));
  CMeshwright edited;
  edited.ResetScene();
  const std::filesystem::path victim = dir_.path() / "victim.txt";
  test::WriteBytes(victim, {'k', 'e', 'e', 'p'});
  std::string error;
  ASSERT_TRUE(WriteRecoveryFile(edited, "", (dir_.path() / "real.mwr").string(), error)) << error;
  const QString linked = RecoveryPath(999999997);
  std::filesystem::create_symlink(dir_.path() / "real.mwr", linked.toStdString());
  QStringList refused = {linked};
  if (geteuid() == 0) {
    const QString foreign = RecoveryPath(999999996);
    ASSERT_TRUE(WriteRecoveryFile(edited, "", foreign.toStdString(), error)) << error;
    ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 4242, 4242), 0);
    refused << foreign;
  }
  ui_.answers = {QMessageBox::Yes, QMessageBox::Yes};
  EXPECT_FALSE(OfferRecovery(frame_.get(), *doc_, RecoveryPath(QCoreApplication::applicationPid())));
  EXPECT_TRUE(ui_.asked.isEmpty());
  ASSERT_EQ(ui_.messages.size(), 1);
  for (const QString& f : refused) EXPECT_TRUE(ui_.messages[0].contains(f)) << ui_.messages[0].toStdString();
  EXPECT_TRUE(QFileInfo(linked).isSymLink());  // left as it was

  // This process's recovery name made a link to another file: the autosave replaces the link.
  const QString own = RecoveryPath(QCoreApplication::applicationPid());
  std::filesystem::create_symlink(victim, own.toStdString());
  QStringList told;
  {
    Autosaver saver(*doc_, 0);
    QObject::connect(&saver, &Autosaver::failed, [&told](const QString& m) { told << m; });
    doc_->Edit(EditKind::kModelRename, [this]() { scene_.RenameCurrentModel("edited"); });
    saver.Tick();
    EXPECT_TRUE(saver.Wait());
    EXPECT_EQ(test::ReadBytes(victim), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(QFileInfo(own).isSymLink());
    EXPECT_EQ(FileBytes(own), Bytes(scene_));
    // The state folder turned into a file: every write fails, and it is told once.
    QFile::remove(own);
    QDir(RecoveryFolder()).removeRecursively();
    test::WriteBytes(RecoveryFolder().toStdString(), {1});
    for (int i = 0; i < 3; ++i) {
      saver.Tick();
      EXPECT_FALSE(saver.Wait());
    }
    QTest::qWait(50);  // the queued report must not tell it again
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith(QStringLiteral("自動保存できませんでした"))) << told[0].toStdString();
    // Working again, then failing again: told again.
    QFile::remove(RecoveryFolder());
    saver.Tick();
    EXPECT_TRUE(saver.Wait());
    QDir(RecoveryFolder()).removeRecursively();
    test::WriteBytes(RecoveryFolder().toStdString(), {1});
    saver.Tick();
    EXPECT_FALSE(saver.Wait());
    EXPECT_EQ(told.size(), 2);
    QFile::remove(RecoveryFolder());
  }
}

}  // namespace
}  // namespace mw
