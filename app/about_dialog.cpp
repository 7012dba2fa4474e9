#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/icons.h"
#include "view/dialog_units.h"

namespace mw {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("バージョン情報 Meshwright"));
  const DialogUnits units(font());
  setFixedSize(units(0, 0, 235, 55).size());
  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(32, 32));
  icon->setGeometry(units(11, 17, 20, 20));
  auto* name = new QLabel(QStringLiteral("Meshwright Version " MW_VERSION), this);
  name->setGeometry(units(40, 10, 130, 10));
  auto* line = new QLabel(QStringLiteral("Linux 版 (Qt %1 / OpenGL)").arg(QString::fromLatin1(qVersion())), this);
  line->setGeometry(units(40, 25, 130, 10));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(units(178, 7, 50, 16));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace mw
