#include "app/command_registry.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QWidget>
#include <cassert>

#include "app/icons.h"

namespace mw {

QAction* CommandRegistry::Register(CommandEntry entry) {
  if (QAction* existing = Action(entry.id)) {
    assert(!"a command registered twice");
    return existing;
  }
  auto* a = new QAction(entry.caption, owner_);
  a->setData(entry.id);
  a->setToolTip(entry.tip);
  a->setStatusTip(entry.prompt);
  a->setCheckable(static_cast<bool>(entry.checked));
  // Only toolbar commands have pictures; a checkable menu item with a picture would show the
  // picture instead of its check mark.
  if (entry.icon) a->setIcon(ToolbarIcon(entry.id));
  if (!entry.keys.isEmpty()) a->setShortcuts(entry.keys);
  const int id = entry.id;
  QObject::connect(a, &QAction::triggered, owner_, [this, id]() { Run(id); });
  owner_->addAction(a);
  actions_.insert(id, a);
  entries_.push_back(std::move(entry));
  return a;
}

const CommandEntry* CommandRegistry::Entry(int id) const {
  for (const CommandEntry& s : entries_)
    if (s.id == id) return &s;
  return nullptr;
}

bool CommandRegistry::Run(int id) {
  const CommandEntry* s = Entry(id);
  // Not gated by `enabled`: a disabled action does not trigger, and a caller running a command
  // directly (tests, the frame itself) has just changed the scene the predicate would read.
  if (!s || !s->run) return false;
  // The handler may register nothing, but copying it keeps it alive should it rebuild the menus.
  const std::function<void()> run = s->run;
  if (beforeRun) beforeRun();
  run();
  return true;
}

void CommandRegistry::Fill(QMenu* menu, std::initializer_list<int> layout) const {
  for (int id : layout) {
    if (id == 0) menu->addSeparator();
    else if (QAction* a = Action(id)) menu->addAction(a);
  }
}

void CommandRegistry::Fill(QToolBar* bar, std::initializer_list<int> layout) const {
  for (int id : layout) {
    if (id == 0) bar->addSeparator();
    else if (QAction* a = Action(id)) bar->addAction(a);
  }
}

void CommandRegistry::UpdateStates() const {
  for (const CommandEntry& s : entries_) {
    QAction* a = Action(s.id);
    if (s.enabled) a->setEnabled(s.enabled());
    if (s.checked) a->setChecked(s.checked());
  }
}

QString PlainCaption(const QString& caption) {
  QString text = caption.section(QLatin1Char('\t'), 0, 0);
  const int open = text.indexOf(QStringLiteral("(&"));
  if (open >= 0) text.remove(open, text.indexOf(QLatin1Char(')'), open) - open + 1);
  text.remove(QStringLiteral("..."));
  return text.replace(QStringLiteral("&&"), QStringLiteral("&")).remove(QLatin1Char('&')).trimmed();
}

QChar MnemonicOf(const QString& text) {
  for (int i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != QLatin1Char('&')) continue;
    if (text[i + 1] == QLatin1Char('&')) {
      ++i;
      continue;
    }
    return text[i + 1].toUpper();
  }
  return QChar();
}

QString CommandRegistry::KeyTableHtml() const {
  QString rows;
  for (const CommandEntry& s : entries_) {
    if (s.keys.isEmpty()) continue;
    QStringList keys;
    for (const QKeySequence& k : s.keys) {
      QStringList parts = k.toString(QKeySequence::PortableText).split(QLatin1Char('+'), Qt::SkipEmptyParts);
      // "Ctrl++" splits into an empty last part: the plus key itself.
      if (k.toString(QKeySequence::PortableText).endsWith(QStringLiteral("++"))) parts << QStringLiteral("+");
      for (QString& p : parts) p = QStringLiteral("<kbd>%1</kbd>").arg(p.toHtmlEscaped());
      keys << parts.join(QStringLiteral("+"));
    }
    rows += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>\n")
                .arg(PlainCaption(s.caption).toHtmlEscaped(), keys.join(QStringLiteral(" / ")),
                     (s.keyHelp.isEmpty() ? s.prompt : s.keyHelp).toHtmlEscaped());
  }
  return QStringLiteral("<table>\n<tr><th>コマンド</th><th>キー</th><th>はたらき</th></tr>\n") + rows +
         QStringLiteral("</table>\n");
}

QString HelpWithKeyTable(const QString& html, const QString& table) {
  QString out = html;
  out.replace(QStringLiteral("<!--command-keys-->"), table);
  return out;
}

}  // namespace mw
