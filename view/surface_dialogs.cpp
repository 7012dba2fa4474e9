#include "view/surface_dialogs.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <cmath>

namespace mw {
namespace {

bool Refuse(DluDialog* d, QLineEdit* edit, const QString& text) {
  DluDialog::showMessage(d, text);
  edit->setFocus();
  edit->selectAll();
  return false;
}

}  // namespace

CDlgCrease::CDlgCrease(float start, QWidget* parent) : DluDialog(parent), sharpness(start) {
  setWindowTitle(QStringLiteral("折り目"));
  setFixedSize(Dlu(0, 0, 207, 72).size());
  AddButtons(150);
  AddGroup(QStringLiteral("鋭さ (0 でなめらか、10 で角)"), 10, 7, 128, 36);
  AddLabel(QStringLiteral("鋭さ"), 20, 23, 20, 10);
  edit_ = AddEdit(sharpness, 45, 21);
  floats_.emplace_back(edit_, &sharpness);
  vertexBox_ = new QCheckBox(QStringLiteral("辺でなく頂点に指定(&V)"), this);
  vertexBox_->setGeometry(Dlu(12, 50, 128, 12));
  edit_->setFocus();
  edit_->selectAll();
}

void CDlgCrease::accept() {
  if (!TakeFloats()) return;
  if (!std::isfinite(sharpness) || sharpness < 0.0f || sharpness > kMaxSharpness) {
    Refuse(this, edit_, QStringLiteral("0 から 10 までの数字を入力してください。"));
    return;
  }
  vertices = vertexBox_->isChecked();
  QDialog::accept();
}

CDlgSmooth::CDlgSmooth(const SmoothOptions& start, QWidget* parent)
    : DluDialog(parent),
      options(start),
      iterations_(static_cast<float>(start.iterations)),
      factor_(static_cast<float>(start.factor)) {
  setWindowTitle(QStringLiteral("スムーズ"));
  setFixedSize(Dlu(0, 0, 220, 120).size());
  AddButtons(163);
  AddGroup(QStringLiteral("方法"), 10, 7, 140, 36);
  laplacian_ = new QRadioButton(QStringLiteral("ラプラシアン(&L)"), this);
  laplacian_->setGeometry(Dlu(18, 20, 60, 14));
  taubin_ = new QRadioButton(QStringLiteral("Taubin(&T)"), this);
  taubin_->setGeometry(Dlu(82, 20, 60, 14));
  (start.method == SmoothMethod::kTaubin ? taubin_ : laplacian_)->setChecked(true);
  AddLabel(QStringLiteral("回数 (1-100)"), 12, 54, 60, 10);
  iterationsEdit_ = AddEdit(iterations_, 80, 52);
  floats_.emplace_back(iterationsEdit_, &iterations_);
  AddLabel(QStringLiteral("強さ (0-1)"), 12, 74, 60, 10);
  factorEdit_ = AddEdit(factor_, 80, 72);
  floats_.emplace_back(factorEdit_, &factor_);
  borders_ = new QCheckBox(QStringLiteral("境界の頂点は動かさない(&B)"), this);
  borders_->setGeometry(Dlu(12, 96, 140, 12));
  borders_->setChecked(start.keepBorders);
  iterationsEdit_->setFocus();
  iterationsEdit_->selectAll();
}

void CDlgSmooth::accept() {
  if (!TakeFloats()) return;
  if (!(iterations_ >= 1.0f && iterations_ <= kMaxSmoothIterations) || std::floor(iterations_) != iterations_) {
    Refuse(this, iterationsEdit_, QStringLiteral("1 から 100 までの整数を入力してください。"));
    return;
  }
  if (!(factor_ > 0.0f && factor_ <= 1.0f)) {
    Refuse(this, factorEdit_, QStringLiteral("0 より大きく 1 以下の数字を入力してください。"));
    return;
  }
  options.method = taubin_->isChecked() ? SmoothMethod::kTaubin : SmoothMethod::kLaplacian;
  options.iterations = static_cast<int>(iterations_);
  options.factor = factor_;
  options.keepBorders = borders_->isChecked();
  QDialog::accept();
}

}  // namespace mw
