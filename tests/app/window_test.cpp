// The window around the document: check marks, the save dialog's file types, Japanese standard
// dialogs, where messages appear, and what the window remembers between runs.
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "app/commands.h"
#include "app/settings.h"
#include "io/document_formats.h"
#include "platform/paths.h"
#include "scene/archive.h"
#include "tests/app/app_fixture.h"

namespace mw {
namespace {

using test::AppTest;

QMenu* MenuHolding(QAction* action) {
  for (QObject* o : action->associatedObjects())
    if (auto* menu = qobject_cast<QMenu*>(o)) return menu;
  return nullptr;
}

// The check column of a menu item as drawn: a square as high as the item at its left, inside the
// menu's frame.
QImage CheckArea(QMenu& menu, QAction* action) {
  const QRect item = menu.actionGeometry(action);
  return menu.grab(QRect(item.left() + 2, item.top() + 2, item.height() - 4, item.height() - 4)).toImage();
}

bool Uniform(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != image.pixel(0, 0)) return false;
  return true;
}

TEST_F(AppTest, TheSmoothingItemShowsItsCheckMarkAsTheOtherCheckItemsDo) {
  MW_REQUIRE_DISPLAY();
  QAction* smoothing = frame_->action(kCmdSmoothing);
  QAction* statusBar = frame_->action(kCmdStatusBar);
  QMenu* view = MenuHolding(smoothing);
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(MenuHolding(statusBar), view);
  view->popup(frame_->mapToGlobal(QPoint(4, 4)));  // away from the pointer: no item is lit
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
  view->setActiveAction(nullptr);
  ASSERT_TRUE(smoothing->isChecked());
  ASSERT_TRUE(statusBar->isChecked());
  const QImage checked = CheckArea(*view, smoothing);
  EXPECT_EQ(checked, CheckArea(*view, statusBar)) << "the same tick as the status bar item";
  EXPECT_FALSE(Uniform(checked));

  frame_->Execute(kCmdSmoothing);
  frame_->Execute(kCmdToolBar);
  ASSERT_FALSE(smoothing->isChecked());
  ASSERT_FALSE(frame_->action(kCmdToolBar)->isChecked());
  view->update();
  QTest::qWait(50);
  const QImage unchecked = CheckArea(*view, smoothing);
  EXPECT_EQ(unchecked, CheckArea(*view, frame_->action(kCmdToolBar))) << "as the hidden toolbar's item";
  EXPECT_NE(unchecked, checked);
  view->close();
}

TEST_F(AppTest, SaveAsTakesTheExtensionOfTheChosenTypeWhenNoneIsTyped) {
  MW_REQUIRE_DISPLAY();
  scene_.models[0].name = "Chosen";
  // The Metasequoia type with a bare name exports "name.mqo"; the document keeps its state.
  doc_->SetModified(true);
  ui_.files = {QPath("name")};
  ui_.chosenTypes = {QStringLiteral("Metasequoiaファイル(*.mqo)")};
  frame_->Execute(kCmdSaveAs);
  EXPECT_TRUE(std::filesystem::exists(Path("name.mqo")));
  EXPECT_FALSE(std::filesystem::exists(Path("name")));
  EXPECT_FALSE(std::filesystem::exists(Path("name.mwr")));
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("無題 - Meshwright"));
  EXPECT_TRUE(doc_->modified());

  // The program's own type makes the file the document.
  ui_.files = {QPath("doc")};
  ui_.chosenTypes = {QStringLiteral("Meshwrightファイル(*.mwr)")};
  frame_->Execute(kCmdSaveAs);
  EXPECT_EQ(doc_->path(), QPath("doc.mwr"));
  EXPECT_FALSE(doc_->modified());
  CMeshwright back;
  ASSERT_TRUE(OpenSceneFile(back, Path("doc.mwr")).ok());
  EXPECT_EQ(back.models[0].name, "Chosen");

  // A typed extension wins over the chosen type.
  ui_.files = {QPath("typed.MQO")};
  ui_.chosenTypes = {QStringLiteral("Meshwrightファイル(*.mwr)")};
  frame_->Execute(kCmdSaveAs);
  EXPECT_TRUE(std::filesystem::exists(Path("typed.MQO")));
  EXPECT_EQ(doc_->path(), QPath("doc.mwr"));

  // One the program reads but cannot write is refused with a message, and nothing is written.
  ASSERT_TRUE(ui_.messages.isEmpty());
  ui_.files = {QPath("scan.fbx")};
  ui_.chosenTypes = {QStringLiteral("Metasequoiaファイル(*.mqo)")};
  frame_->Execute(kCmdSaveAs);
  ASSERT_EQ(ui_.messages.size(), 1);
  EXPECT_TRUE(ui_.messages[0].startsWith(QStringLiteral("scan.fbx\nこの種類のファイルには保存できません。")));
  EXPECT_EQ(ui_.messageParents.value(0), frame_.get());
  EXPECT_FALSE(std::filesystem::exists(Path("scan.fbx")));
  EXPECT_FALSE(std::filesystem::exists(Path("scan.fbx.mqo")));
  EXPECT_EQ(doc_->path(), QPath("doc.mwr"));
}

// Runs `answer` on the first modal dialog that appears (or fails when none does within a while).
void WhenADialogOpens(const std::function<void(QWidget&)>& answer, bool* seen) {
  auto* poll = new QTimer;
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  QObject::connect(poll, &QTimer::timeout, [poll, answer, seen, started]() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal && started->elapsed() < 5000) return;
    poll->stop();
    poll->deleteLater();
    if (!modal) return;
    *seen = true;
    answer(*modal);
  });
  poll->start(20);
}

// With MW_SCREENSHOT_DIR set, the dialog as drawn, to be looked at.
void Screenshot(QWidget& dialog, const char* name) {
  if (const char* dir = std::getenv("MW_SCREENSHOT_DIR"))
    dialog.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

QStringList ButtonTexts(QWidget& dialog) {
  QStringList texts;
  for (QPushButton* b : dialog.findChildren<QPushButton*>())
    if (b->isVisible()) texts << b->text().remove(QLatin1Char('&'));
  texts.sort();
  return texts;
}

TEST_F(AppTest, TheRealSaveDialogSpeaksJapaneseAndAddsTheChosenTypesExtension) {
  MW_REQUIRE_DISPLAY();
  ASSERT_TRUE(InstallQtTranslations()) << "Qt's Japanese translations (qt6-translations-l10n) are installed";
  UiSeam real;
  bool seen = false;
  QStringList buttons, labels;
  WhenADialogOpens(
      [&](QWidget& w) {
        auto* dialog = qobject_cast<QFileDialog*>(&w);
        ASSERT_NE(dialog, nullptr);
        Screenshot(*dialog, "save-dialog");
        buttons = ButtonTexts(*dialog);
        for (QLabel* l : dialog->findChildren<QLabel*>())
          if (l->isVisible() && !l->text().isEmpty()) labels << l->text();
        // The user picks the Metasequoia type, types a bare name and confirms.
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(types && name);
        const int mqo = types->findText(QStringLiteral("Metasequoiaファイル(*.mqo)"));
        ASSERT_GE(mqo, 0);
        ASSERT_EQ(types->currentIndex() + 1, mqo);
        types->setFocus();
        QTest::keyClick(types, Qt::Key_Down);  // as the user picks the next type
        QTest::keyClicks(name, QStringLiteral("picked"));
        QTest::keyClick(name, Qt::Key_Return);
      },
      &seen);
  QString chosen;
  const QString path = real.SaveFileName(frame_.get(), QPath(""), QString::fromStdString(SaveDialogFilter()),
                                         QStringLiteral("mwr"), &chosen);
  ASSERT_TRUE(seen);
  EXPECT_EQ(path, QPath("picked.mqo"));
  EXPECT_EQ(chosen, QStringLiteral("Metasequoiaファイル(*.mqo)"));
  EXPECT_TRUE(buttons.contains(QStringLiteral("保存"))) << buttons.join(QLatin1Char(',')).toStdString();
  EXPECT_TRUE(buttons.contains(QStringLiteral("キャンセル"))) << buttons.join(QLatin1Char(',')).toStdString();
  for (const QString& english :
       {QStringLiteral("Look in:"), QStringLiteral("File name:"), QStringLiteral("Files of type:")})
    EXPECT_FALSE(labels.contains(english)) << english.toStdString();
  EXPECT_TRUE(labels.contains(QStringLiteral("ファイルの種類:"))) << labels.join(QLatin1Char(',')).toStdString();
}

TEST_F(AppTest, TheRealQuestionAndMessageBoxesSpeakJapaneseOverTheMainWindow) {
  MW_REQUIRE_DISPLAY();
  ASSERT_TRUE(InstallQtTranslations());
  UiSeam real;
  bool seen = false;
  QStringList buttons;
  QWidget* parent = nullptr;
  WhenADialogOpens(
      [&](QWidget& box) {
        buttons = ButtonTexts(box);
        parent = box.parentWidget();
        Screenshot(box, "question");
        for (QPushButton* b : box.findChildren<QPushButton*>())
          if (b->text().contains(QStringLiteral("キャンセル"))) b->click();
      },
      &seen);
  EXPECT_EQ(real.Ask(frame_.get(), QStringLiteral("無題 への変更を保存しますか?")), QMessageBox::Cancel);
  ASSERT_TRUE(seen);
  EXPECT_EQ(buttons,
            QStringList({QStringLiteral("いいえ(N)"), QStringLiteral("はい(Y)"), QStringLiteral("キャンセル")}))
      << buttons.join(QLatin1Char(',')).toStdString();
  EXPECT_EQ(parent, frame_.get());

  // A failed open tells its story over the main window, in the program's words.
  seen = false;
  QString text;
  WhenADialogOpens(
      [&](QWidget& box) {
        buttons = ButtonTexts(box);
        parent = box.parentWidget();
        text = qobject_cast<QMessageBox*>(&box)->text();
        qobject_cast<QMessageBox*>(&box)->accept();
      },
      &seen);
  SetUiSeam(nullptr);
  const bool opened = doc_->OpenDocument(QPath("missing.mwr"), OpenedFrom::kShell);
  SetUiSeam(&ui_);
  EXPECT_FALSE(opened);
  ASSERT_TRUE(seen);
  EXPECT_EQ(text, QStringLiteral("missing.mwr\nファイルを開けません。ファイルまたはフォルダーが見つかりません。"));
  EXPECT_EQ(buttons, QStringList{QStringLiteral("OK")});
  EXPECT_EQ(parent, frame_.get());
}

TEST_F(AppTest, FileDialogsStartInTheLastFolderOfTheirKind) {
  MW_REQUIRE_DISPLAY();
  const QString program = QString::fromStdString(ProgramFolder());
  std::filesystem::create_directories(Path("opened"));
  std::filesystem::create_directories(Path("saved"));
  CMeshwright s;
  s.ResetScene();
  ASSERT_TRUE(SaveSceneFile(s, Path("opened/a.mwr")).ok());

  ui_.files = {QString()};
  frame_->Execute(kCmdOpen);  // cancelled: nothing remembered
  ui_.files = {QPath("opened/a.mwr")};
  frame_->Execute(kCmdOpen);
  ui_.files = {QString()};
  frame_->Execute(kCmdOpen);
  ui_.files = {QString()};
  frame_->Execute(kCmdSaveAs);  // saving has its own folder, still the program's
  ui_.files = {QPath("saved/b")};
  ui_.chosenTypes = {QStringLiteral("Meshwrightファイル(*.mwr)")};
  frame_->Execute(kCmdSaveAs);
  ui_.files = {QString()};
  frame_->Execute(kCmdSaveAs);
  ui_.files = {QString()};
  frame_->Execute(kCmdOpen);
  const QString opened = QFileInfo(QPath("opened/a.mwr")).absolutePath();
  const QString saved = QFileInfo(QPath("saved/b.mwr")).absolutePath();
  EXPECT_EQ(ui_.folders, QStringList({program, program, opened, program, program, saved, opened}));
  EXPECT_TRUE(std::filesystem::exists(Path("saved/b.mwr")));

  // A remembered folder that has gone gives the program's folder again.
  std::filesystem::remove_all(Path("opened"));
  ui_.files = {QString()};
  frame_->Execute(kCmdOpen);
  EXPECT_EQ(ui_.folders.last(), program);
}

TEST_F(AppTest, SizeSplitAndFoldersSurviveARestart) {
  MW_REQUIRE_DISPLAY();
  frame_->resize(900, 700);
  QTest::qWait(50);
  // The user drags the list column wider and the handle between the 3D columns to the right.
  auto drag = [](QSplitter* splitter, int handle, int dx, int dy) {
    QSplitterHandle* h = splitter->handle(handle);
    const QPoint c = h->rect().center();
    QTest::mousePress(h, Qt::LeftButton, {}, c);
    QMouseEvent move(QEvent::MouseMove, QPointF(c + QPoint(dx, dy)), h->mapToGlobal(QPointF(c + QPoint(dx, dy))),
                     Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(h, &move);
    QTest::mouseRelease(h, Qt::LeftButton, {}, c + QPoint(dx, dy));
  };
  drag(frame_->columns(), 1, 36, 0);
  drag(frame_->columns(), 2, 101, 0);
  drag(frame_->column(1), 1, 0, -77);
  const QList<int> columns = frame_->columns()->sizes(), rows = frame_->column(0)->sizes();
  ASSERT_EQ(columns.value(0), 160);
  ASSERT_NE(columns.value(1), columns.value(2));
  ASSERT_NE(rows.value(0), rows.value(1));
  EXPECT_EQ(frame_->column(2)->sizes(), rows) << "the rows stay in line across the columns";
  ui_.files = {QPath("b")};
  frame_->Execute(kCmdSaveAs);
  const QSize size = frame_->size();
  frame_->close();
  // Written to the settings file itself, where the next process reads it.
  QFile ini(QPath("config/Orlux Meshwright アプリケーション/Meshwright.ini"));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(ini.readAll());
  for (const char* key :
       {"[Window]", "Geometry=", "ListColumn=160", "TopColumnShare=", "UpperRowShare=", "[Folders]", "Save="})
    EXPECT_TRUE(text.contains(QLatin1String(key))) << key << "\n" << text.toStdString();

  // The next start: a new window reads the same settings file.
  Restart();
  QTest::qWait(50);
  EXPECT_EQ(frame_->size(), size);
  EXPECT_EQ(frame_->columns()->sizes(), columns);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(frame_->column(i)->sizes(), rows) << i;
  ui_.files = {QString()};
  frame_->Execute(kCmdSaveAs);
  EXPECT_EQ(ui_.folders.last(), QFileInfo(QPath("b.mwr")).absolutePath());
  // What was kept is in the settings file under the program's own names.
  const WindowState stored = LoadWindowState();
  EXPECT_FALSE(stored.geometry.isEmpty());
  EXPECT_EQ(stored.split.listWidth, 160);
}

TEST_F(AppTest, DamagedWindowSettingsOpenTheWindowAsTheFirstTime) {
  MW_REQUIRE_DISPLAY();
  {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Orlux Meshwright アプリケーション"),
                QStringLiteral("Meshwright"));
    s.setValue(QStringLiteral("Window/Geometry"), QByteArray("garbage"));
    s.setValue(QStringLiteral("Window/ListColumn"), -5);
    s.setValue(QStringLiteral("Window/TopColumnShare"), QStringLiteral("nan"));
    s.setValue(QStringLiteral("Window/UpperRowShare"), 7.5);
  }
  const WindowState state = LoadWindowState();
  EXPECT_EQ(state.split.listWidth, 124);
  EXPECT_EQ(state.split.topShare, 0.5);
  EXPECT_EQ(state.split.rowShare, 0.5);
  Restart();
  EXPECT_EQ(frame_->size(), QSize(1024, 768));
  EXPECT_EQ(frame_->columns()->sizes().value(0), 124);
}

}  // namespace
}  // namespace mw
