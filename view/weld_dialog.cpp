#include "view/weld_dialog.h"

#include <QLineEdit>
#include <cmath>

namespace mw {

CDlgWeld::CDlgWeld(float start, QWidget* parent) : DluDialog(parent), distance(start) {
  setWindowTitle(QStringLiteral("近接頂点を結合"));
  setFixedSize(Dlu(0, 0, 207, 62).size());
  AddButtons(150);
  AddGroup(QStringLiteral("この距離より近い頂点を結合"), 10, 7, 128, 36);
  AddLabel(QStringLiteral("距離"), 20, 23, 20, 10);
  edit_ = AddEdit(distance, 45, 21);
  floats_.emplace_back(edit_, &distance);
  // The distance is what the user came to type: it opens focused and selected.
  edit_->setFocus();
  edit_->selectAll();
}

void CDlgWeld::accept() {
  if (!TakeFloats()) return;
  if (!(distance > 0.0f) || !std::isfinite(distance)) {
    showMessage(this, QStringLiteral("0 より大きい数字を入力してください。"));
    edit_->setFocus();
    edit_->selectAll();
    return;
  }
  QDialog::accept();
}

}  // namespace mw
