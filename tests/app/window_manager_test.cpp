// The main window under a real window manager: resizing and maximising keep the six panes in
// their split with no gaps, the maximised state is remembered, and the lock lights show.
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <algorithm>
#include <cstdlib>
#include <vector>

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
  QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(211, 0)),
                   handle->mapToGlobal(QPointF(grip + QPoint(211, 0))), Qt::LeftButton, Qt::LeftButton, {});
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
  EXPECT_TRUE(WaitFor(
      [&] {
        return texts() == QStringList({QStringLiteral("CAP"), QStringLiteral("NUM"), QString()});
      },
      2000));
  QTest::qWait(100);
  Screenshot("5-caps-and-num");
  lock(LockMask | num, false);
  EXPECT_TRUE(WaitFor([&] { return texts() == QStringList({QString(), QString(), QString()}); }, 2000));
  // The indicators follow by themselves, without being asked.
  lock(LockMask, true);
  EXPECT_TRUE(WaitFor([&] { return frame_->indicator(0)->text() == QStringLiteral("CAP"); }, 2000));
  lock(LockMask, false);
}

// The real program on the window manager's display, seen from outside through Xlib.
class Program {
 public:
  explicit Program(const QString& home) : display_(XOpenDisplay(nullptr)) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    process_.setProcessEnvironment(env);
    process_.start(QStringLiteral(MW_BIN_DIR "/meshwright"), {});
  }
  ~Program() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
    if (display_) XCloseDisplay(display_);
  }

  // The program's top-level window among those the window manager lists, found by its process id.
  Window FindWindow() {
    const Atom list = XInternAtom(display_, "_NET_CLIENT_LIST", False);
    const Atom pid = XInternAtom(display_, "_NET_WM_PID", False);
    for (int i = 0; i < 250; ++i) {
      for (unsigned long w : Property(DefaultRootWindow(display_), list))
        if (Property(w, pid) == std::vector<unsigned long>{static_cast<unsigned long>(process_.processId())})
          return window_ = w;
      QTest::qWait(20);
    }
    return None;
  }
  bool Maximised() {
    const std::vector<unsigned long> states = Property(window_, XInternAtom(display_, "_NET_WM_STATE", False));
    const unsigned long vert = XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_VERT", False);
    const unsigned long horz = XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
    return std::count(states.begin(), states.end(), vert) && std::count(states.begin(), states.end(), horz);
  }
  // As the title bar's maximise button asks it: through the window manager.
  void Maximise() {
    SendToRoot(XInternAtom(display_, "_NET_WM_STATE", False), 1,
               XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_VERT", False),
               XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
  }
  // As the title bar's close button asks it.
  int Close() {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window_;
    e.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window_, False, NoEventMask, &e);
    XFlush(display_);
    return process_.waitForFinished(10000) ? process_.exitCode() : -1;
  }

 private:
  std::vector<unsigned long> Property(Window w, Atom name) {
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(display_, w, name, 0, 1024, False, AnyPropertyType, &type, &format, &count, &after, &data) ==
            Success &&
        data && format == 32) {
      const auto* longs = reinterpret_cast<const unsigned long*>(data);
      values.assign(longs, longs + count);
    }
    if (data) XFree(data);
    return values;
  }
  void SendToRoot(Atom message, long a, long b, long c) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window_;
    e.xclient.message_type = message;
    e.xclient.format = 32;
    e.xclient.data.l[0] = a;
    e.xclient.data.l[1] = b;
    e.xclient.data.l[2] = c;
    e.xclient.data.l[3] = 1;
    XSendEvent(display_, DefaultRootWindow(display_), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(display_);
  }

  Display* display_;
  QProcess process_;
  Window window_ = None;
};

TEST(WindowManager, TheProgramOpensMaximisedAgainAfterItWasClosedMaximised) {
  MW_REQUIRE_DISPLAY();
  test::TempDir home;
  const QString dir = QString::fromStdString(home.path().string());
  {
    Program first(dir);
    ASSERT_NE(first.FindWindow(), None);
    EXPECT_FALSE(first.Maximised());
    first.Maximise();
    ASSERT_TRUE(WaitFor([&] { return first.Maximised(); }));
    QTest::qWait(300);
    EXPECT_EQ(first.Close(), 0);
  }
  QFile ini(dir + QStringLiteral("/config/Orlux Meshwright アプリケーション/Meshwright.ini"));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  EXPECT_TRUE(ini.readAll().contains("Geometry="));
  Program second(dir);
  ASSERT_NE(second.FindWindow(), None);
  EXPECT_TRUE(WaitFor([&] { return second.Maximised(); }));
  EXPECT_EQ(second.Close(), 0);
}

}  // namespace
}  // namespace mw
