#include "app/ui_seam.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>

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
                             const QString& defaultSuffix, QString* chosenFilter) {
  QFileDialog dialog(parent, QString(), folder, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(defaultSuffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  // The dialog adds the suffix before it asks about overwriting, so the suffix follows the chosen
  // type: "name" with the Metasequoia type is checked, and returned, as "name.mqo".
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& chosen) {
    static const QRegularExpression firstGlob(QStringLiteral("\\*\\.([^ ;)]+)"));
    const QRegularExpressionMatch m = firstGlob.match(chosen);
    if (m.hasMatch()) dialog.setDefaultSuffix(m.captured(1));
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  if (chosenFilter) *chosenFilter = dialog.selectedNameFilter();
  return dialog.selectedFiles().first();
}

QMessageBox::StandardButton UiSeam::Ask(QWidget* parent, const QString& text) {
  return QMessageBox::question(parent, Title(), text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                               QMessageBox::Yes);
}

void UiSeam::Message(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, Title(), text, QMessageBox::Ok, parent);
  box.exec();
}

bool InstallQtTranslations() {
  static QTranslator* translator = nullptr;  // lives as long as the application
  if (translator) return true;
  auto* t = new QTranslator(QCoreApplication::instance());
  if (!t->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete t;
    return false;
  }
  QCoreApplication::installTranslator(t);
  translator = t;
  return true;
}

}  // namespace mw
