#include "app/ui_seam.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

namespace mw {
namespace {
UiSeam g_real;
UiSeam* g_seam = &g_real;

QString Title() { return QStringLiteral("Meshwright"); }
}  // namespace

UiSeam& Ui() { return *g_seam; }
void SetUiSeam(UiSeam* seam) { g_seam = seam ? seam : &g_real; }

QString UiSeam::OpenFileName(QWidget* parent, const QString& folder, const QString& filter,
                             const QString& defaultSuffix) {
  QFileDialog dialog(parent, QString(), folder, filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(defaultSuffix);
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                 : QString();
}

QString UiSeam::SaveFileName(QWidget* parent, const QString& folder, const QString& filter,
                             const QString& defaultSuffix) {
  QFileDialog dialog(parent, QString(), folder, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(defaultSuffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                 : QString();
}

QMessageBox::StandardButton UiSeam::Ask(QWidget* parent, const QString& text) {
  return QMessageBox::question(parent, Title(), text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                               QMessageBox::Yes);
}

void UiSeam::Message(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, Title(), text, QMessageBox::Ok, parent);
  box.exec();
}

bool UiSeam::OpenHelp(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

}  // namespace mw
