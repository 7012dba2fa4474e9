#include "app/material_dialog.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSlider>

#include "app/ui_seam.h"
#include "platform/encoding.h"
#include "scene/meshwright.h"

namespace mw {
namespace {

QString Shortest(float v) { return QString::asprintf("%.6g", static_cast<double>(v)); }

const char* kLabels[kValueCount] = {"赤",       "緑",     "青",         "不透明度", "拡散光",
                                    "自己照明", "反射光", "反射の強さ", "周囲光"};

struct Place {
  int lx, ly, lw, sx, sy, ex, ey;
};
// Label, slider and edit positions in dialog units, in slider order.
const Place kPlaces[kValueCount] = {
    {7, 115, 36, 51, 114, 146, 112},    {7, 137, 36, 51, 137, 146, 134},    {7, 158, 36, 51, 157, 146, 155},
    {203, 55, 36, 243, 55, 339, 52},    {210, 76, 29, 243, 76, 339, 73},    {204, 98, 35, 243, 97, 339, 95},
    {210, 119, 29, 243, 119, 339, 116}, {194, 138, 45, 243, 137, 339, 137}, {210, 159, 29, 243, 159, 339, 156}};

}  // namespace

int SliderPosition(MaterialValue which, float value) {
  const double scaled = which == kPower ? static_cast<double>(value) : static_cast<double>(value) * 100.0;
  if (!(scaled > -1e9)) return 0;
  if (scaled > 1e9) return 100;
  return static_cast<int>(scaled);
}

CDlgMaterial::CDlgMaterial(const CMaterial& m, QWidget* parent) : QDialog(parent), dlu_(font()) {
  fields_.name = m.name;
  fields_.texture = m.texture;
  fields_.values = {m.color[0], m.color[1], m.color[2], m.color[3], m.diffuse,
                    m.emissive, m.specular, m.power,    m.ambient};

  setWindowTitle(QStringLiteral("材質設定"));
  setFixedSize(dlu_(0, 0, 409, 217).size());

  for (int i = 0; i < kValueCount; ++i) {
    const Place& p = kPlaces[i];
    auto* label = new QLabel(QString::fromUtf8(kLabels[i]), this);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(dlu_(p.lx, p.ly, p.lw, 12));
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setRange(0, 100);
    slider->setTickPosition(QSlider::NoTicks);
    slider->setGeometry(dlu_(p.sx, p.sy, 90, 12));
    slider->setValue(SliderPosition(static_cast<MaterialValue>(i), fields_.values[static_cast<std::size_t>(i)]));
    auto* edit = new QLineEdit(Shortest(fields_.values[static_cast<std::size_t>(i)]), this);
    edit->setGeometry(dlu_(p.ex, p.ey, 45, 14));
    sliders_[static_cast<std::size_t>(i)] = slider;
    edits_[static_cast<std::size_t>(i)] = edit;
    connect(slider, &QSlider::valueChanged, this,
            [this, i](int position) { OnSlider(static_cast<MaterialValue>(i), position); });
  }
  auto* nameLabel = new QLabel(QStringLiteral("名前"), this);
  nameLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  nameLabel->setGeometry(dlu_(13, 183, 29, 12));
  nameEdit_ = new QLineEdit(QString::fromStdString(Cp932ToUtf8(fields_.name)), this);
  nameEdit_->setGeometry(dlu_(57, 183, 134, 14));
  auto* textureLabel = new QLabel(QStringLiteral("テクスチャ"), this);
  textureLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  textureLabel->setGeometry(dlu_(200, 183, 39, 12));
  textureEdit_ = new QLineEdit(QString::fromStdString(Cp932ToUtf8(fields_.texture)), this);
  textureEdit_->setGeometry(dlu_(248, 183, 102, 14));
  browse_ = new QPushButton(QStringLiteral("参照"), this);
  browse_->setGeometry(dlu_(355, 183, 30, 15));
  connect(browse_, &QPushButton::clicked, this, &CDlgMaterial::OnBrowse);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(dlu_(351, 7, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &CDlgMaterial::accept);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setGeometry(dlu_(351, 24, 50, 14));
  connect(cancel, &QPushButton::clicked, this, &CDlgMaterial::reject);

  preview_ = new MaterialPreview(this);
  preview_->setGeometry(dlu_(56, 20, 76, 71));

  LoadPreviewTexture(fields_.texture);
  UpdatePreview();
}

const DibStream& CDlgMaterial::previewImage() const {
  static const DibStream kNone;
  return previewTexture_.image ? *previewTexture_.image : kNone;
}

void CDlgMaterial::CopyFieldsTo(CMaterial& m) const {
  m.name = fields_.name;
  const auto& v = fields_.values;
  m.color[0] = v[kRed];
  m.color[1] = v[kGreen];
  m.color[2] = v[kBlue];
  m.color[3] = v[kOpacity];
  m.diffuse = v[kDiffuse];
  m.emissive = v[kEmissive];
  m.specular = v[kSpecular];
  m.power = v[kPower];
  m.ambient = v[kAmbient];
  m.texture = fields_.texture;
}

CMaterial CDlgMaterial::PreviewMaterial() const {
  CMaterial m;
  CopyFieldsTo(m);
  m.textureImage = previewTexture_.image;
  m.textureComponents = previewTexture_.components;
  m.texturePixelFormat = previewTexture_.format;
  m.UpdateMaterialColors();
  return m;
}

void CDlgMaterial::UpdatePreview() {
  if (preview_) preview_->SetMaterial(PreviewMaterial());
}

void CDlgMaterial::LoadPreviewTexture(const std::string& name) {
  if (name.empty()) return;
  const std::string path = TexturePathFor(name);
  previewTexture_ = DecodedTexture();
  if (DecodeTexture(path, previewTexture_, 256)) return;
  Ui().Message(this, QString::fromStdString(path) + QStringLiteral("の読み込みに失敗しました"), QMessageBox::Warning);
  if (textureEdit_) textureEdit_->clear();
}

void CDlgMaterial::OnSlider(MaterialValue which, int position) {
  // Only the moved slider's edit is rewritten: a typed value elsewhere, or a power above 100,
  // stays what it is. The preview follows this position now.
  const double value = which == kPower ? position : position / 100.0;
  edits_[which]->setText(QString::asprintf("%f", value));
  fields_.values[which] = static_cast<float>(value);
  UpdatePreview();
}

void CDlgMaterial::OnBrowse() {
  // A file is taken by its name alone, and looked up as every texture name is.
  const QString chosen =
      Ui().OpenFileName(this, QString::fromStdString(TextureFolderInUse()),
                        QStringLiteral("全ての形式(*.bmp *.jpg *.tga *.png *.iff *.ppm)"), QStringLiteral("bmp"));
  if (chosen.isEmpty()) return;
  const QString name = QFileInfo(chosen).fileName();
  textureEdit_->setText(name);
  fields_.texture = Utf8ToCp932(name.toStdString());
  LoadPreviewTexture(fields_.texture);
  TakeValues();
  UpdatePreview();
}

bool CDlgMaterial::TakeValues() {
  for (int i = 0; i < kValueCount; ++i) {
    bool ok = false;
    const float v = QLocale::c().toFloat(edits_[static_cast<std::size_t>(i)]->text().trimmed(), &ok);
    if (!ok) {
      Ui().Message(this, QStringLiteral("数字を入力してください。"), QMessageBox::Warning);
      edits_[static_cast<std::size_t>(i)]->setFocus();
      edits_[static_cast<std::size_t>(i)]->selectAll();
      return false;
    }
    fields_.values[static_cast<std::size_t>(i)] = v;
  }
  fields_.name = Utf8ToCp932(nameEdit_->text().toStdString());
  fields_.texture = Utf8ToCp932(textureEdit_->text().toStdString());
  return true;
}

void CDlgMaterial::accept() {
  if (!TakeValues()) return;
  QDialog::accept();
}

void CDlgMaterial::WriteBack(CMeshwright& scene, std::size_t index) const {
  CMaterial& m = scene.materials[index];
  m.ReleaseTexture();
  CopyFieldsTo(m);
  m.UpdateMaterialColors();
  m.LoadTexture();  // the texture service makes the perspective pane's context current
  scene.ApplyDefaultUVs(m.id);
}

}  // namespace mw
