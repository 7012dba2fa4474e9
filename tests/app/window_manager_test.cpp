// The main window under a real window manager: resizing and maximising keep the six panes in
// their split with no gaps, the maximised state is remembered, and the lock lights show.
#include <QLabel>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <cstdlib>

#include "app/commands.h"
#include "app/material_view.h"
#include "app/model_view.h"
#include "tests/app/app_fixture.h"
// clang-format off
#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/keysym.h>
// clang-format on

namespace mw {
namespace {

using test::AppTest;

// Waits until `done` holds (the window manager answers in its own time).
bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (done()) return true;
    QTest::qWait(20);
  }
  return done();
}

// The window settles: the same size for a while.
void Settle(QWidget& w) {
  QSize last;
  int same = 0;
  for (int i = 0; i < 100 && same < 5; ++i) {
    QTest::qWait(20);
    same = w.size() == last ? same + 1 : 0;
    last = w.size();
  }
}

// With MW_SCREENSHOT_DIR set, the whole screen as the user sees it, frame and all.
void Screenshot(const char* name) {
  const char* dir = std::getenv("MW_SCREENSHOT_DIR");
  if (!dir) return;
  QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(dir) + QLatin1Char('/') +
                                                       QLatin1String(name) + QStringLiteral(".png"));
}

// The panes and handles of a splitter follow each other without gaps and fill it; every handle is
// there to be dragged.
void ExpectTiled(QSplitter& splitter, const std::string& what) {
  const bool across = splitter.orientation() == Qt::Horizontal;
  int at = 0;
  for (int i = 0; i < splitter.count(); ++i) {
    if (i > 0) {
      QSplitterHandle* handle = splitter.handle(i);
      EXPECT_TRUE(handle->isVisible()) << what << " handle " << i;
      EXPECT_EQ(across ? handle->x() : handle->y(), at) << what << " handle " << i;
      EXPECT_EQ(across ? handle->width() : handle->height(), 7) << what << " handle " << i;
      at += 7;
    }
    const QRect pane = splitter.widget(i)->geometry();
    EXPECT_EQ(across ? pane.x() : pane.y(), at) << what << " pane " << i;
    EXPECT_GT(across ? pane.width() : pane.height(), 0) << what << " pane " << i;
    EXPECT_EQ(across ? pane.height() : pane.width(), across ? splitter.height() : splitter.width()) << what;
    at += across ? pane.width() : pane.height();
  }
  EXPECT_EQ(at, across ? splitter.width() : splitter.height()) << what << ": the panes fill the splitter";
}

void ExpectLayout(CMainFrame& frame, const std::string& when) {
  ExpectTiled(*frame.columns(), when + ", columns");
  for (int i = 0; i < 3; ++i) {
    ExpectTiled(*frame.column(i), when + ", column " + std::to_string(i));
    EXPECT_EQ(frame.column(i)->sizes(), frame.column(0)->sizes()) << when << ": the rows line up";
  }
  // Nothing covers the panes: the central area lies inside the window, below the toolbar and
  // above the status bar.
  const QRect central = frame.centralWidget()->geometry();
  EXPECT_TRUE(frame.rect().contains(central)) << when;
  EXPECT_LE(central.bottom(), frame.statusBar()->geometry().top()) << when;
}

TEST_F(AppTest, ResizingAndMaximisingUnderAWindowManagerKeepTheSplitWithoutGaps) {
  MW_REQUIRE_DISPLAY();
  QSplitter& columns = *frame_->columns();
  Settle(*frame_);
  ExpectLayout(*frame_, "at start");
  EXPECT_EQ(columns.sizes().value(0), 124);
  EXPECT_LE(std::abs(columns.sizes().value(1) - columns.sizes().value(2)), 1);

  // Larger: the list column stays, the 3D columns share the rest as before (half each).
  frame_->resize(1400, 1000);
  ASSERT_TRUE(WaitFor([&] { return frame_->size() == QSize(1400, 1000); }));
  Settle(*frame_);
  Screenshot("1-1400x1000");
  ExpectLayout(*frame_, "at 1400 x 1000");
  QList<int> sizes = columns.sizes();
  EXPECT_EQ(sizes.value(0), 124);
  EXPECT_EQ(sizes.value(1), (1400 - 138) / 2);
  EXPECT_EQ(sizes.value(2), 1400 - 138 - (1400 - 138) / 2);

  // The user drags the handle between the 3D columns; the next resizes keep that proportion.
  QSplitterHandle* handle = columns.handle(2);
  const QPoint grip = handle->rect().center();
  QTest::mousePress(handle, Qt::LeftButton, {}, grip);
  QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(211, 0)), handle->mapToGlobal(QPointF(grip + QPoint(211, 0))),
                   Qt::LeftButton, Qt::LeftButton, {});
  QApplication::sendEvent(handle, &move);
  QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(211, 0));
  sizes = columns.sizes();
  ASSERT_EQ(sizes.value(1), (1400 - 138) / 2 + 211);
  const double share = double(sizes[1]) / (sizes[1] + sizes[2]);

  frame_->resize(1024, 768);
  ASSERT_TRUE(WaitFor([&] { return frame_->size() == QSize(1024, 768); }));
  Settle(*frame_);
  Screenshot("2-back-to-1024x768");
  ExpectLayout(*frame_, "back at 1024 x 768");
  sizes = columns.sizes();
  EXPECT_EQ(sizes.value(0), 124);
  EXPECT_NEAR(sizes.value(1), share * (sizes.value(1) + sizes.value(2)), 1.0) << "the drag is kept";

  // Maximised: lists 124, the 3D columns (W - 138) / 2, the rows halves.
  frame_->showMaximized();
  ASSERT_TRUE(WaitFor([&] { return frame_->isMaximized() && frame_->width() > 1400; }));
  Settle(*frame_);
  Screenshot("3-maximised");
  ExpectLayout(*frame_, "maximised");
  const int w = columns.width();
  EXPECT_EQ(columns.sizes(), QList<int>({124, (w - 138) / 2, w - 138 - (w - 138) / 2}));
  const QList<int> rows = frame_->column(1)->sizes();
  EXPECT_LE(std::abs(rows.value(0) - rows.value(1)), 1);
  // The Left pane is whole and inside the screen.
  const QRect left(frame_->orthoPane(kPlaneLeft)->mapToGlobal(QPoint(0, 0)), frame_->orthoPane(kPlaneLeft)->size());
  EXPECT_TRUE(frame_->screen()->geometry().contains(left));

  frame_->showNormal();
  ASSERT_TRUE(WaitFor([&] { return !frame_->isMaximized() && frame_->width() < 1400; }));
  Settle(*frame_);
  Screenshot("4-restored");
  ExpectLayout(*frame_, "restored");
  EXPECT_EQ(columns.sizes().value(0), 124);
}

TEST_F(AppTest, TheMaximisedWindowOpensMaximisedAgain) {
  MW_REQUIRE_DISPLAY();
  frame_->showMaximized();
  ASSERT_TRUE(WaitFor([&] { return frame_->isMaximized() && frame_->width() > 1400; }));
  Settle(*frame_);
  const QSize maximised = frame_->size();
  frame_->close();
  Restart();
  ASSERT_TRUE(WaitFor([&] { return frame_->isMaximized() && frame_->size() == maximised; }));
  Settle(*frame_);
  ExpectLayout(*frame_, "maximised again");
  const int w = frame_->columns()->width();
  EXPECT_EQ(frame_->columns()->sizes(), QList<int>({124, (w - 138) / 2, w - 138 - (w - 138) / 2}));
  // Restoring gives back the size the window had before it was maximised.
  frame_->showNormal();
  ASSERT_TRUE(WaitFor([&] { return frame_->size() == QSize(1024, 768); }));
}

TEST_F(AppTest, TheLockLightsShowInTheStatusBar) {
  MW_REQUIRE_DISPLAY();
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  ASSERT_NE(x11, nullptr);
  Display* display = x11->display();
  ASSERT_NE(display, nullptr);
  const unsigned num = XkbKeysymToModifiers(display, XK_Num_Lock);
  ASSERT_NE(num, 0u);
  auto lock = [&](unsigned mask, bool on) {
    XkbLockModifiers(display, XkbUseCoreKbd, mask, on ? mask : 0);
    XSync(display, False);
  };
  auto texts = [this]() {
    frame_->UpdateIndicators();
    return QStringList{frame_->indicator(0)->text(), frame_->indicator(1)->text(), frame_->indicator(2)->text()};
  };
  lock(LockMask | num, false);
  EXPECT_TRUE(WaitFor([&] { return texts() == QStringList({QString(), QString(), QString()}); }, 2000)) << "all off";
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(frame_->indicator(i)->isEnabled()) << "readable, so not grey";
  lock(LockMask, true);
  EXPECT_TRUE(WaitFor([&] { return texts() == QStringList({QStringLiteral("CAP"), QString(), QString()}); }, 2000));
  lock(num, true);
  EXPECT_TRUE(WaitFor([&] {
    return texts() == QStringList({QStringLiteral("CAP"), QStringLiteral("NUM"), QString()});
  }, 2000));
  QTest::qWait(100);
  Screenshot("5-caps-and-num");
  lock(LockMask | num, false);
  EXPECT_TRUE(WaitFor([&] { return texts() == QStringList({QString(), QString(), QString()}); }, 2000));
  // The indicators follow by themselves, without being asked.
  lock(LockMask, true);
  EXPECT_TRUE(WaitFor([&] { return frame_->indicator(0)->text() == QStringLiteral("CAP"); }, 2000));
  lock(LockMask, false);
}

}  // namespace
}  // namespace mw
