// Recovery saves: what they write and leave alone, and a real crash (SIGKILL) recovered at start.
#include <signal.h>

#include <QDir>
#include <QProcess>
#include <filesystem>

#include "app/autosave.h"
#include "app/commands.h"
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

}  // namespace
}  // namespace mw
