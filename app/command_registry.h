// One registration per command, from which the window builds everything the command shows: its
// action (caption with the shortcut text, status-bar prompt, tool tip, picture, shortcut keys), the
// menus and the toolbar (laid out by command identifiers), the enabled and check states, and the
// key table of the help. A new command is one Register call and one place in a layout; nothing
// else in the frame grows with it.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QMap>
#include <QString>
#include <functional>
#include <initializer_list>
#include <vector>

class QAction;
class QMenu;
class QToolBar;
class QWidget;

namespace mw {

struct CommandEntry {
  int id = 0;
  // The menu text: the caption with its mnemonic "(&X)" and, after a tab, the shortcut as shown
  // ("複製\tCtrl+D(&D)"), in the voice of the menus around it.
  QString caption;
  QString prompt;  // the status-bar text while the item is under the pointer
  QString tip;     // the tool tip of its toolbar button
  QList<QKeySequence> keys;  // every shortcut; the caption shows the first
  bool icon = false;         // it has a toolbar picture (ToolbarIcon)
  std::function<void()> run;
  std::function<bool()> enabled;  // empty: always enabled
  std::function<bool()> checked;  // empty: not checkable
  // What the help's key table says the keys do, when the tip says too little.
  QString keyHelp;
};

class CommandRegistry {
 public:
  // Actions are children of `owner`, and added to it so their shortcuts work wherever the focus is.
  explicit CommandRegistry(QWidget* owner) : owner_(owner) {}

  // Makes the command's action; registering an identifier twice replaces nothing and returns the
  // first action (a programming error, asserted in debug builds).
  QAction* Register(CommandEntry entry);
  QAction* Action(int id) const { return actions_.value(id, nullptr); }
  const CommandEntry* Entry(int id) const;
  // Runs the command's handler as its menu item does; false for an unknown command.
  bool Run(int id);
  // Called before every command runs (a tool that shows an unfinished edit drops it here).
  std::function<void()> beforeRun;

  // Adds the commands of `layout` to `menu` in order, 0 for a separator.
  void Fill(QMenu* menu, std::initializer_list<int> layout) const;
  void Fill(QToolBar* bar, std::initializer_list<int> layout) const;
  // Enabled and checked states from each command's predicates.
  void UpdateStates() const;

  // Every registered command with keys, in registration order, as rows of an HTML table: the
  // caption without its mnemonic and shortcut text, the keys, what they do.
  QString KeyTableHtml() const;

 private:
  QWidget* owner_;
  std::vector<CommandEntry> entries_;
  QMap<int, QAction*> actions_;
};

// The caption without the shortcut text after the tab and without the mnemonic: "複製".
QString PlainCaption(const QString& caption);
// The mnemonic letter of a menu text ("コピー\tCtrl+C(&C)" -> 'C'), or a null character ("&&" is
// an ampersand, not a mnemonic).
QChar MnemonicOf(const QString& text);
// The help document with the key table put in place of the marker <!--command-keys-->.
QString HelpWithKeyTable(const QString& html, const QString& table);

}  // namespace mw
