// The help in the program's own window: a text browser over the HTML installed beside the program,
// so it reads on a machine without a web browser. Links between pages and to places in a page, and
// pictures, are resolved against the page shown; links to the web go to the desktop's browser.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace mw {

class CHelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit CHelpWindow(QWidget* owner);
  // Shows `path` (a local HTML file). False when it cannot be read; the window then stays hidden.
  bool Open(const QString& path);
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

// The one help window of `owner` (made on first use), showing `path`, raised to the front. When
// the file is missing the user is told so in a message.
CHelpWindow* ShowHelp(QWidget* owner, const QString& path);

}  // namespace mw
