#include "view/numeric_dialogs.h"

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

DluDialog::DluDialog(QWidget* parent) : QDialog(parent), units_(font()) {}

QLineEdit* DluDialog::AddEdit(float value, int x, int y) {
  auto* e = new QLineEdit(QString::asprintf("%.*g", 6, static_cast<double>(value)), this);
  e->setGeometry(Dlu(x, y, 52, 14));
  return e;
}

void DluDialog::AddXYZ(std::array<float*, 3> targets, int labelX, int editX, std::array<int, 3> labelY,
                       std::array<int, 3> editY) {
  const char* names[3] = {"X", "Y", "Z"};
  for (std::size_t i = 0; i < 3; ++i) {
    AddLabel(QString::fromLatin1(names[i]), labelX, labelY[i]);
    floats_.emplace_back(AddEdit(*targets[i], editX, editY[i]), targets[i]);
  }
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
  AddXYZ({&amountX, &amountY, &amountZ}, 43, 55, {36, 57, 81}, {33, 55, 79});
}

CDlgRotate::CDlgRotate(QWidget* parent) : DluDialog(parent) {
  setWindowTitle(QStringLiteral("回転の数値入力"));
  setFixedSize(Dlu(0, 0, 256, 166).size());
  AddButtons(199);
  AddGroup(QStringLiteral("回転"), 25, 14, 106, 35);
  floats_.emplace_back(AddEdit(angle, 45, 28), &angle);
  AddLabel(QStringLiteral("度"), 101, 29, 20, 10);
  AddGroup(QStringLiteral("中心点"), 25, 59, 106, 84);
  AddXYZ({&centerX, &centerY, &centerZ}, 43, 55, {78, 99, 123}, {75, 97, 121});
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
  AddXYZ({&centerX, &centerY, &centerZ}, 43, 55, {78, 99, 123}, {75, 97, 121});
}

CDlgStretch::CDlgStretch(QWidget* parent) : DluDialog(parent) {
  setWindowTitle(QStringLiteral("ストレッチの数値入力"));
  setFixedSize(Dlu(0, 0, 321, 113).size());
  AddButtons(264);
  AddGroup(QStringLiteral("変形"), 25, 15, 102, 84);
  AddXYZ({&factorX, &factorY, &factorZ}, 44, 55, {32, 56, 79}, {30, 53, 76});
  AddGroup(QStringLiteral("中心点"), 146, 15, 102, 84);
  AddXYZ({&centerX, &centerY, &centerZ}, 163, 175, {33, 55, 79}, {30, 53, 76});
}

Plane AxisToPlane(int axis) { return PlaneHiding(axis); }

std::optional<NumericTransform> AskNumericTransform(std::int32_t mode, QWidget* parent,
                                                    const std::function<int(QDialog&)>& run) {
  NumericTransform t;
  switch (mode) {
    case kModeMove: {
      CDlgMove d(parent);
      if (run(d) != QDialog::Accepted) return std::nullopt;
      t.kind = EditKind::kNumericMove;
      t.amount = CVector(d.amountX, d.amountY, d.amountZ);
      break;
    }
    case kModeRotate: {
      CDlgRotate d(parent);
      if (run(d) != QDialog::Accepted) return std::nullopt;
      t.kind = EditKind::kNumericRotate;
      t.plane = AxisToPlane(d.axis);
      t.angle = d.angle;
      t.centre = CVector(d.centerX, d.centerY, d.centerZ);
      break;
    }
    case kModeSize: {
      CDlgSize d(parent);
      if (run(d) != QDialog::Accepted) return std::nullopt;
      t.kind = EditKind::kNumericSize;
      t.centre = CVector(d.centerX, d.centerY, d.centerZ);
      t.amount = CVector(d.factor, d.factor, d.factor);
      break;
    }
    case kModeStretch: {
      CDlgStretch d(parent);
      if (run(d) != QDialog::Accepted) return std::nullopt;
      t.kind = EditKind::kNumericStretch;
      t.centre = CVector(d.centerX, d.centerY, d.centerZ);
      t.amount = CVector(d.factorX, d.factorY, d.factorZ);
      break;
    }
    default: return std::nullopt;
  }
  return t;
}

void ApplyNumericTransform(CMeshwright& scene, const NumericTransform& t) {
  switch (t.kind) {
    case EditKind::kNumericMove: scene.MoveSelected(t.amount.x, t.amount.y, t.amount.z); break;
    case EditKind::kNumericRotate: scene.RotateSelectedAbout(t.plane, t.angle, t.centre); break;
    case EditKind::kNumericSize:
    case EditKind::kNumericStretch: scene.ScaleSelectedAbout(t.centre, t.amount); break;
    default: return;
  }
  scene.ComputeNormals();
}

}  // namespace mw
