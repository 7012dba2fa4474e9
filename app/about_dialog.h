// The about box.
#pragma once

#include <QDialog>

namespace mw {

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace mw
