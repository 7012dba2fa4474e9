// A main window on a real display, with a seam that answers file dialogs and questions.
#pragma once

#include <QSettings>
#include <QTest>
#include <deque>
#include <memory>

#include "app/document.h"
#include "app/main_frame.h"
#include "app/ui_seam.h"
#include "image/material_texture.h"
#include "platform/message.h"
#include "scene/meshwright.h"
#include "tests/support/gui_test.h"
#include "tests/support/test_support.h"
#include "view/opengl_pane.h"

namespace mw::test {

class ScriptedUi : public UiSeam {
 public:
  std::deque<QString> files;  // answers to the next file dialogs ("" cancels)
  std::deque<QMessageBox::StandardButton> answers;
  QStringList asked, messages;
  QStringList filters;              // each file dialog's filter and default suffix, "filter | suffix"
  QStringList folders;              // the folder each file dialog starts in
  std::deque<QString> chosenTypes;  // the file type entry each save dialog answers with
  QList<QWidget*> messageParents;   // the window each message appeared over
  int fileDialogs = 0;

  QString OpenFileName(QWidget*, const QString& folder, const QString& filter, const QString& suffix) override {
    filters << filter + QStringLiteral(" | ") + suffix;
    folders << folder;
    return Next();
  }
  QString SaveFileName(QWidget*, const QString& folder, const QString& filter, const QString& suffix,
                       QString* chosenFilter) override {
    filters << filter + QStringLiteral(" | ") + suffix;
    folders << folder;
    if (chosenFilter && !chosenTypes.empty()) {
      *chosenFilter = chosenTypes.front();
      chosenTypes.pop_front();
    }
    return Next();
  }
  QMessageBox::StandardButton Ask(QWidget*, const QString& text) override {
    asked << text;
    if (answers.empty()) return QMessageBox::No;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  void Message(QWidget* parent, const QString& text, QMessageBox::Icon) override {
    messages << text;
    messageParents << parent;
  }

 private:
  QString Next() {
    ++fileDialogs;
    if (files.empty()) return QString();
    QString f = files.front();
    files.pop_front();
    return f;
  }
};

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) return;
    qputenv("XDG_CONFIG_HOME", (dir_.path() / "config").string().c_str());
    // QSettings reads XDG_CONFIG_HOME once per process: point it at this test's folder too, so
    // that each test starts with no settings (no remembered window, folders or undo limits).
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(Path("config")));
    SetUiSeam(&ui_);
    scene_.ResetScene();
    doc_ = std::make_unique<CMeshwrightDoc>(scene_);
    frame_ = std::make_unique<CMainFrame>(scene_, *doc_);
    textures_ = std::make_unique<MaterialTextures>(frame_->perspectivePane()->uploader(), Path("TEXTURE/"));
    oldTextures_ = SetTextureService(textures_.get());
    oldSink_ = SetMessageSink(
        [this](std::string_view t, MessageIcon) { ui_.messages << QString::fromUtf8(t.data(), int(t.size())); });
    frame_->runDialog = [this](QDialog& d) {
      dialogs_ << d.windowTitle();
      return answerDialog_ ? answerDialog_(d) : int(QDialog::Rejected);
    };
    doc_->NewDocument();
    frame_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
  }
  void TearDown() override {
    if (!frame_) return;
    doc_->SetModified(false);
    frame_.reset();
    doc_.reset();
    SetTextureService(oldTextures_);
    SetMessageSink(oldSink_);
    SetUiSeam(nullptr);
  }

  // A new main window in place of the old one, as the next start of the program makes it.
  void Restart() {
    frame_.reset();
    frame_ = std::make_unique<CMainFrame>(scene_, *doc_);
    auto textures = std::make_unique<MaterialTextures>(frame_->perspectivePane()->uploader(), Path("TEXTURE/"));
    SetTextureService(textures.get());
    textures_ = std::move(textures);
    frame_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  QString QPath(const std::string& name) const { return QString::fromStdString(Path(name)); }

  TempDir dir_;
  ScriptedUi ui_;
  CMeshwright scene_;
  std::unique_ptr<CMeshwrightDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<MaterialTextures> textures_;
  TextureService* oldTextures_ = nullptr;
  MessageSink oldSink_;
  QStringList dialogs_;
  std::function<int(QDialog&)> answerDialog_;
};

}  // namespace mw::test
