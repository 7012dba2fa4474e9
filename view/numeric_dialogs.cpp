#include "view/numeric_dialogs.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

#include "scene/meshwright.h"

namespace mw {

std::function<void(QWidget*, const QString&)> DluDialog::showMessage = [](QWidget* parent, const QString& text) {
  QMessageBox::warning(parent, QStringLiteral("Meshwright"), text);
};

DluDialog::DluDialog(QWidget* parent) : QDialog(parent) {
  const QFontMetrics fm(font());
  unitX_ = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0 / 4.0;
  unitY_ = fm.height() / 8.0;
}

QRect DluDialog::Dlu(int x, int y, int w, int h) const {
  return QRect(static_cast<int>(std::lround(x * unitX_)), static_cast<int>(std::lround(y * unitY_)),
               static_cast<int>(std::lround(w * unitX_)), static_cast<int>(std::lround(h * unitY_)));
}

QLineEdit* DluDialog::AddEdit(float value, int x, int y) {
  auto* e = new QLineEdit(QString::asprintf("%.*g", 6, static_cast<double>(value)), this);
  e->setGeometry(Dlu(x, y, 52, 14));
  return e;
}

void DluDialog::AddLabel(const QString& text, int x, int y, int w, int h) {
  auto* l = new QLabel(text, this);
  l->setGeometry(Dlu(x, y, w, h));
}

void DluDialog::AddGroup(const QString& text, int x, int y, int w, int h) {
  auto* g = new QGroupBox(text, this);
  g->setGeometry(Dlu(x, y, w, h));
  g->lower();
}

void DluDialog::AddButtons(int x) {
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(Dlu(x, 7, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &DluDialog::accept);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setGeometry(Dlu(x, 24, 50, 14));
  connect(cancel, &QPushButton::clicked, this, &DluDialog::reject);
}

bool DluDialog::TakeFloats() {
  for (auto& [edit, target] : floats_) {
    bool ok = false;
    const float v = QLocale::c().toFloat(edit->text().trimmed(), &ok);
    if (!ok) {
      showMessage(this, QStringLiteral("数字を入力してください。"));
      edit->setFocus();
      edit->selectAll();
      return false;
    }
    *target = v;
  }
  return true;
}

void DluDialog::accept() {
  if (TakeFloats()) QDialog::accept();
}

CDlgMove::CDlgMove(QWidget* parent) : DluDialog(parent) {
  setWindowTitle(QStringLiteral("移動の数値入力"));
  setFixedSize(Dlu(0, 0, 207, 122).size());
  AddButtons(150);
  AddGroup(QStringLiteral("移動量"), 25, 17, 106, 84);
  AddLabel(QStringLiteral("X"), 43, 36);
  floats_.emplace_back(AddEdit(amountX, 55, 33), &amountX);
  AddLabel(QStringLiteral("Y"), 43, 57);
  floats_.emplace_back(AddEdit(amountY, 55, 55), &amountY);
  AddLabel(QStringLiteral("Z"), 43, 81);
  floats_.emplace_back(AddEdit(amountZ, 55, 79), &amountZ);
}

CDlgRotate::CDlgRotate(QWidget* parent) : DluDialog(parent) {
  setWindowTitle(QStringLiteral("回転の数値入力"));
  setFixedSize(Dlu(0, 0, 256, 166).size());
  AddButtons(199);
  AddGroup(QStringLiteral("回転"), 25, 14, 106, 35);
  floats_.emplace_back(AddEdit(angle, 45, 28), &angle);
  AddLabel(QStringLiteral("度"), 101, 29, 20, 10);
  AddGroup(QStringLiteral("中心点"), 25, 59, 106, 84);
  AddLabel(QStringLiteral("X"), 43, 78);
  floats_.emplace_back(AddEdit(centerX, 55, 75), &centerX);
  AddLabel(QStringLiteral("Y"), 43, 99);
  floats_.emplace_back(AddEdit(centerY, 55, 97), &centerY);
  AddLabel(QStringLiteral("Z"), 43, 123);
  floats_.emplace_back(AddEdit(centerZ, 55, 121), &centerZ);
  AddGroup(QStringLiteral("回転軸"), 150, 59, 69, 84);
  const char* names[3] = {"X軸", "Y軸", "Z軸"};
  for (int i = 0; i < 3; ++i) {
    radios_[i] = new QRadioButton(QString::fromUtf8(names[i]), this);
    radios_[i]->setGeometry(Dlu(167, 74 + 21 * i, 39, 17));
  }
  radios_[axis]->setChecked(true);
}

void CDlgRotate::accept() {
  if (!TakeFloats()) return;
  for (int i = 0; i < 3; ++i)
    if (radios_[i]->isChecked()) axis = i;
  QDialog::accept();
}

CDlgSize::CDlgSize(QWidget* parent) : DluDialog(parent) {
  setWindowTitle(QStringLiteral("サイズの数値入力"));
  setFixedSize(Dlu(0, 0, 207, 166).size());
  AddButtons(150);
  AddGroup(QStringLiteral("サイズ"), 25, 20, 106, 35);
  floats_.emplace_back(AddEdit(factor, 45, 34), &factor);
  AddLabel(QStringLiteral("倍"), 101, 35, 20, 10);
  AddGroup(QStringLiteral("中心点"), 25, 59, 106, 84);
  AddLabel(QStringLiteral("X"), 43, 78);
  floats_.emplace_back(AddEdit(centerX, 55, 75), &centerX);
  AddLabel(QStringLiteral("Y"), 43, 99);
  floats_.emplace_back(AddEdit(centerY, 55, 97), &centerY);
  AddLabel(QStringLiteral("Z"), 43, 123);
  floats_.emplace_back(AddEdit(centerZ, 55, 121), &centerZ);
}

CDlgStretch::CDlgStretch(QWidget* parent) : DluDialog(parent) {
  setWindowTitle(QStringLiteral("ストレッチの数値入力"));
  setFixedSize(Dlu(0, 0, 321, 113).size());
  AddButtons(264);
  AddGroup(QStringLiteral("変形"), 25, 15, 102, 84);
  AddLabel(QStringLiteral("X"), 44, 32);
  floats_.emplace_back(AddEdit(factorX, 55, 30), &factorX);
  AddLabel(QStringLiteral("Y"), 44, 56);
  floats_.emplace_back(AddEdit(factorY, 55, 53), &factorY);
  AddLabel(QStringLiteral("Z"), 44, 79);
  floats_.emplace_back(AddEdit(factorZ, 55, 76), &factorZ);
  AddGroup(QStringLiteral("中心点"), 146, 15, 102, 84);
  AddLabel(QStringLiteral("X"), 163, 33);
  floats_.emplace_back(AddEdit(centerX, 175, 30), &centerX);
  AddLabel(QStringLiteral("Y"), 163, 55);
  floats_.emplace_back(AddEdit(centerY, 175, 53), &centerY);
  AddLabel(QStringLiteral("Z"), 163, 79);
  floats_.emplace_back(AddEdit(centerZ, 175, 76), &centerZ);
}

int AxisToPlane(int axis) { return axis == 0 ? kPlaneLeft : axis == 1 ? kPlaneTop : kPlaneFace; }

bool NumericInput(CMeshwright& scene, QWidget* parent, const std::function<int(QDialog&)>& run) {
  switch (scene.editMode) {
    case kModeMove: {
      CDlgMove d(parent);
      if (run(d) != QDialog::Accepted) return false;
      scene.MoveSelected(d.amountX, d.amountY, d.amountZ);
      break;
    }
    case kModeRotate: {
      CDlgRotate d(parent);
      if (run(d) != QDialog::Accepted) return false;
      scene.RotateSelectedAbout(AxisToPlane(d.axis), d.angle, CVector(d.centerX, d.centerY, d.centerZ));
      break;
    }
    case kModeSize: {
      CDlgSize d(parent);
      if (run(d) != QDialog::Accepted) return false;
      scene.ScaleSelectedAbout(CVector(d.centerX, d.centerY, d.centerZ), CVector(d.factor, d.factor, d.factor));
      break;
    }
    case kModeStretch: {
      CDlgStretch d(parent);
      if (run(d) != QDialog::Accepted) return false;
      scene.ScaleSelectedAbout(CVector(d.centerX, d.centerY, d.centerZ), CVector(d.factorX, d.factorY, d.factorZ));
      break;
    }
    default:
      return false;
  }
  scene.ComputeNormals();
  return true;
}

}  // namespace mw
