// The help in the program's own window: a text browser over the HTML installed beside the program,
// so it reads on a machine without a web browser. Links between pages and to places in a page, and
// pictures, are resolved against the page shown; links to the web go to the desktop's browser.
#pragma once

#include <QWidget>
#include <functional>

class QTextBrowser;

namespace mw {

class CHelpWindow : public QWidget {
  Q_OBJECT
 public:
  // What a page's HTML becomes before it is shown (the key table the program puts in).
  using PageFilter = std::function<QString(const QString&)>;
  explicit CHelpWindow(QWidget* owner);
  // Shows `path` (a local HTML file), every page passed through `filter` when one is given, on
  // the way back and forward too. False when it cannot be read; the window then stays hidden.
  bool Open(const QString& path, PageFilter filter = {});
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

// The one help window of `owner` (made on first use), showing `path`, raised to the front. When
// the file is missing the user is told so in a message.
CHelpWindow* ShowHelp(QWidget* owner, const QString& path, CHelpWindow::PageFilter filter = {});

}  // namespace mw
