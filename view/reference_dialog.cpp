#include "view/reference_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <cmath>

namespace mw {

std::function<QString(QWidget*)> ReferenceDialog::chooseFile = [](QWidget* parent) {
  return QFileDialog::getOpenFileName(parent, QStringLiteral("下絵の画像"), QString(),
                                      QStringLiteral("画像 (*.png *.jpg *.jpeg *.bmp *.tga *.ppm *.pgm *.iff);;"
                                                     "すべてのファイル (*)"));
};

namespace {
QDoubleSpinBox* NumberBox(double value, double low, double high, int decimals) {
  auto* box = new QDoubleSpinBox;
  box->setRange(low, high);
  box->setDecimals(decimals);
  box->setValue(value);
  return box;
}
// A row's label whose mnemonic takes the focus to `buddy` (a row of several widgets has no
// label of its own that would).
QLabel* Buddy(const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text);
  label->setBuddy(buddy);
  return label;
}
}  // namespace

ReferenceDialog::ReferenceDialog(const ReferencePicture& picture, const QString& file, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("下絵"));
  auto* form = new QFormLayout;
  plane_ = new QComboBox;
  plane_->addItems({QStringLiteral("Top (上面)"), QStringLiteral("Face (正面)"), QStringLiteral("Left (側面)")});
  plane_->setCurrentIndex(picture.plane);
  form->addRow(QStringLiteral("ペイン(&P):"), plane_);
  file_ = new QLineEdit(file);
  auto* browse = new QPushButton(QStringLiteral("参照(&B)..."));
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(file_, 1);
  fileRow->addWidget(browse);
  form->addRow(Buddy(QStringLiteral("画像ファイル(&F):"), file_), fileRow);
  centreU_ = NumberBox(picture.centreU, -1e7, 1e7, 3);
  centreV_ = NumberBox(picture.centreV, -1e7, 1e7, 3);
  auto* centreRow = new QHBoxLayout;
  centreRow->addWidget(new QLabel(QStringLiteral("横")));
  centreRow->addWidget(centreU_);
  centreRow->addWidget(new QLabel(QStringLiteral("縦")));
  centreRow->addWidget(centreV_);
  form->addRow(Buddy(QStringLiteral("中心の位置(&C):"), centreU_), centreRow);
  scale_ = NumberBox(picture.unitsPerPixel, 1e-6, 1e6, 6);
  form->addRow(QStringLiteral("1画素の長さ(&S):"), scale_);
  opacity_ = new QSlider(Qt::Horizontal);
  opacity_->setRange(0, 100);
  opacity_->setValue(static_cast<int>(std::lround(picture.opacity * 100.0f)));
  opacityText_ = new QLabel;
  auto showOpacity = [this](int v) { opacityText_->setText(QStringLiteral("%1%").arg(v)); };
  showOpacity(opacity_->value());
  connect(opacity_, &QSlider::valueChanged, this, showOpacity);
  auto* opacityRow = new QHBoxLayout;
  opacityRow->addWidget(opacity_, 1);
  opacityRow->addWidget(opacityText_);
  form->addRow(Buddy(QStringLiteral("不透明度(&O):"), opacity_), opacityRow);
  visible_ = new QCheckBox(QStringLiteral("下絵を表示する(&V)"));
  visible_->setChecked(picture.visible);
  form->addRow(QString(), visible_);
  form->addRow(QString(), new QLabel(QStringLiteral("縮尺は 表示 → 下絵の縮尺を2点で合わせる でも指定できます。")));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  QPushButton* remove = buttons->addButton(QStringLiteral("外す(&R)"), QDialogButtonBox::DestructiveRole);
  connect(remove, &QPushButton::clicked, this, [this]() {
    removed_ = true;
    QDialog::accept();
  });
  connect(buttons, &QDialogButtonBox::accepted, this, [this]() {
    if (file_->text().trimmed().isEmpty()) {
      QMessageBox::warning(this, QStringLiteral("Meshwright"), QStringLiteral("画像ファイルを指定してください。"));
      file_->setFocus();
      return;
    }
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(browse, &QPushButton::clicked, this, [this]() {
    const QString chosen = chooseFile(this);
    if (!chosen.isEmpty()) file_->setText(chosen);
  });
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

ReferencePicture ReferenceDialog::picture() const {
  ReferencePicture p;
  p.plane = static_cast<Plane>(plane_->currentIndex());
  p.centreU = static_cast<float>(centreU_->value());
  p.centreV = static_cast<float>(centreV_->value());
  p.unitsPerPixel = static_cast<float>(scale_->value());
  p.opacity = static_cast<float>(opacity_->value()) / 100.0f;
  p.visible = visible_->isChecked();
  return p;
}

QString ReferenceDialog::file() const { return file_->text().trimmed(); }

}  // namespace mw
