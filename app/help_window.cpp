#include "app/help_window.h"

#include <QAction>
#include <QFileInfo>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/ui_seam.h"

namespace mw {
namespace {

// A text browser that passes each local page through the window's filter as it loads it.
class HelpBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;
  CHelpWindow::PageFilter filter;

  QVariant loadResource(int type, const QUrl& name) override {
    QVariant loaded = QTextBrowser::loadResource(type, name);
    if (type != QTextDocument::HtmlResource || !filter || !loaded.isValid()) return loaded;
    const QString html = loaded.typeId() == QMetaType::QByteArray ? QString::fromUtf8(loaded.toByteArray())
                                                                   : loaded.toString();
    return filter(html);
  }
};

}  // namespace

CHelpWindow::CHelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("help"));
  setWindowTitle(QStringLiteral("Meshwright ヘルプ"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = new QToolBar(this);
  browser_ = new HelpBrowser(this);
  browser_->setOpenLinks(true);
  browser_->setOpenExternalLinks(true);
  QAction* back = bar->addAction(QStringLiteral("戻る"), browser_, &QTextBrowser::backward);
  back->setShortcut(QKeySequence::Back);
  back->setEnabled(false);
  QAction* forward = bar->addAction(QStringLiteral("進む"), browser_, &QTextBrowser::forward);
  forward->setShortcut(QKeySequence::Forward);
  forward->setEnabled(false);
  bar->addAction(QStringLiteral("目次"), browser_, &QTextBrowser::home);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this, [this]() {
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Meshwright ヘルプ") : title);
  });
  layout->addWidget(bar);
  layout->addWidget(browser_);
  resize(720, 600);
}

bool CHelpWindow::Open(const QString& path, PageFilter filter) {
  const QFileInfo file(path);
  if (!file.isFile() || !file.isReadable()) return false;
  static_cast<HelpBrowser*>(browser_)->filter = std::move(filter);
  browser_->clearHistory();
  browser_->setSource(QUrl::fromLocalFile(file.absoluteFilePath()), QTextDocument::HtmlResource);
  return true;
}

CHelpWindow* ShowHelp(QWidget* owner, const QString& path, CHelpWindow::PageFilter filter) {
  auto* window = owner->findChild<CHelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
  if (!window) window = new CHelpWindow(owner);
  if (!window->Open(path, std::move(filter))) {
    Ui().Message(owner, QStringLiteral("ヘルプファイル %1 が見つかりません。").arg(QFileInfo(path).fileName()),
                 QMessageBox::Warning);
    return nullptr;
  }
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

}  // namespace mw
