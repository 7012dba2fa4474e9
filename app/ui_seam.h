// The few places where the program asks the user something outside its own windows: file
// dialogs, the save-changes question, message boxes and the desktop's handler for the help.
// The program uses the real ones; tests install a seam that answers by itself.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace mw {

class UiSeam {
 public:
  virtual ~UiSeam() = default;
  virtual QString OpenFileName(QWidget* parent, const QString& folder, const QString& filter,
                               const QString& defaultSuffix);
  virtual QString SaveFileName(QWidget* parent, const QString& folder, const QString& filter,
                               const QString& defaultSuffix);
  virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& text);  // Yes, No or Cancel
  virtual void Message(QWidget* parent, const QString& text, QMessageBox::Icon icon);
  virtual bool OpenHelp(const QString& path);
};

// The seam in force (never null); SetUiSeam(nullptr) restores the real one.
UiSeam& Ui();
void SetUiSeam(UiSeam* seam);

}  // namespace mw
