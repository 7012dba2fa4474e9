#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/icons.h"
#include "view/numeric_dialogs.h"

namespace mw {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("バージョン情報 Meshwright"));
  // Laid out in dialog units like the program's other dialogs.
  DluDialog units(nullptr);
  setFixedSize(units.Dlu(0, 0, 235, 55).size());
  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(32, 32));
  icon->setGeometry(units.Dlu(11, 17, 20, 20));
  auto* name = new QLabel(QStringLiteral("Meshwright Version 2.2"), this);
  name->setGeometry(units.Dlu(40, 10, 130, 10));
  auto* line = new QLabel(QStringLiteral("Linux 版 (Qt %1 / OpenGL)").arg(QString::fromLatin1(qVersion())), this);
  line->setGeometry(units.Dlu(40, 25, 130, 10));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(units.Dlu(178, 7, 50, 16));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace mw
