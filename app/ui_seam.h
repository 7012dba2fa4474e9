// The few places where the program asks the user something outside its own windows: file
// dialogs, the save-changes question and message boxes.
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
  // The name as the dialog gives it, and in `chosenFilter` the file type entry chosen last. The
  // real dialog adds the chosen type's extension to a name typed without one.
  virtual QString SaveFileName(QWidget* parent, const QString& folder, const QString& filter,
                               const QString& defaultSuffix, QString* chosenFilter = nullptr);
  virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& text);  // Yes, No or Cancel
  virtual void Message(QWidget* parent, const QString& text, QMessageBox::Icon icon);
};

// Qt's own Japanese texts for its standard dialogs and buttons (the file dialogs, the buttons of
// message boxes). False when the translations are not installed: those stay in English.
bool InstallQtTranslations();

// The seam in force (never null); SetUiSeam(nullptr) restores the real one.
UiSeam& Ui();
void SetUiSeam(UiSeam* seam);

}  // namespace mw
