#include "view/primitive_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "scene/meshwright.h"

namespace mw {

QString PrimitiveCaption(PrimitiveKind kind) {
  switch (kind) {
    case PrimitiveKind::kPlane: return QStringLiteral("平面");
    case PrimitiveKind::kGrid: return QStringLiteral("グリッド");
    case PrimitiveKind::kBox: return QStringLiteral("箱");
    case PrimitiveKind::kSphere: return QStringLiteral("UV球");
    case PrimitiveKind::kIcosphere: return QStringLiteral("ICO球");
    case PrimitiveKind::kCylinder: return QStringLiteral("円柱");
    case PrimitiveKind::kCone: return QStringLiteral("円錐");
    case PrimitiveKind::kTorus: return QStringLiteral("トーラス");
    case PrimitiveKind::kDisk: return QStringLiteral("円盤");
  }
  return QString();
}

CVector PlacementOf(const CMeshwright& scene, const PanOffsets& pan, bool atCursor) {
  return atCursor ? CursorPoint(scene) : ViewCentrePoint(pan, scene.zoom);
}

// ---- Preview ----

PrimitivePreview::PrimitivePreview(CMeshwright& scene, std::function<void()> refresh)
    : scene_(scene), refresh_(std::move(refresh)) {}

PrimitivePreview::~PrimitivePreview() { Clear(); }

void PrimitivePreview::Show(const PrimitiveParams& params, const CVector& centre, bool newModel) {
  if (shown_) shown_->Undo(scene_);
  // The same record an undo step keeps, so taking the shape out restores the scene exactly.
  shown_ = SceneDelta::Capture(EditKind::kAddPrimitive, scene_);
  AddPrimitive(scene_, params, centre, newModel);
  shown_->Finish(scene_);
  if (refresh_) refresh_();
}

void PrimitivePreview::Clear() {
  if (!shown_) return;
  shown_->Undo(scene_);
  shown_.reset();
  if (refresh_) refresh_();
}

// ---- Dialog ----

namespace {

constexpr double kLargestSize = 1e7;

}  // namespace

CDlgPrimitive::CDlgPrimitive(const PrimitiveRequest& start, bool canAddToCurrent, QWidget* parent)
    : QDialog(parent), params_(start.params) {
  setWindowTitle(QStringLiteral("基本図形"));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QFormLayout;
  shape_ = new QComboBox(this);
  for (int k = 0; k < kPrimitiveKindCount; ++k) shape_->addItem(PrimitiveCaption(static_cast<PrimitiveKind>(k)));
  shape_->setToolTip(QStringLiteral("作成する図形の種類"));
  top->addRow(QStringLiteral("図形(&S):"), shape_);
  layout->addLayout(top);

  pages_ = new QStackedWidget(this);
  fields_.resize(kPrimitiveKindCount);
  for (int k = 0; k < kPrimitiveKindCount; ++k) {
    auto* page = new QWidget(pages_);
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    Page& fields = fields_[static_cast<std::size_t>(k)];
    auto size = [&](const QString& label, double PrimitiveParams::*member, double lowest, const QString& tip) {
      auto* box = new QDoubleSpinBox(page);
      box->setDecimals(3);
      box->setRange(lowest, kLargestSize);
      box->setValue(start.params.*member);
      box->setSingleStep(std::max(0.001, start.params.*member / 10.0));
      box->setToolTip(tip);
      form->addRow(label, box);
      fields.sizes.emplace_back(box, member);
      connect(box, &QDoubleSpinBox::valueChanged, this, &CDlgPrimitive::changed);
    };
    auto count = [&](const QString& label, int PrimitiveParams::*member, int lowest, int highest, const QString& tip) {
      auto* box = new QSpinBox(page);
      box->setRange(lowest, highest);
      box->setValue(start.params.*member);
      box->setToolTip(tip);
      form->addRow(label, box);
      fields.counts.emplace_back(box, member);
      connect(box, &QSpinBox::valueChanged, this, &CDlgPrimitive::changed);
    };
    const QString width = QStringLiteral("幅:"), depth = QStringLiteral("奥行き:"), height = QStringLiteral("高さ:");
    const QString radius = QStringLiteral("半径:");
    switch (static_cast<PrimitiveKind>(k)) {
      case PrimitiveKind::kPlane:
        size(width, &PrimitiveParams::width, 0.001, QStringLiteral("平面の幅"));
        size(depth, &PrimitiveParams::depth, 0.001, QStringLiteral("平面の奥行き"));
        break;
      case PrimitiveKind::kGrid:
        size(width, &PrimitiveParams::width, 0.001, QStringLiteral("グリッドの幅"));
        size(depth, &PrimitiveParams::depth, 0.001, QStringLiteral("グリッドの奥行き"));
        count(QStringLiteral("幅の分割数:"), &PrimitiveParams::xSegments, 1, kMaxSegments,
              QStringLiteral("幅方向の分割数"));
        count(QStringLiteral("奥行きの分割数:"), &PrimitiveParams::ySegments, 1, kMaxSegments,
              QStringLiteral("奥行き方向の分割数"));
        break;
      case PrimitiveKind::kBox:
        size(width, &PrimitiveParams::width, 0.001, QStringLiteral("X 方向の大きさ"));
        size(height, &PrimitiveParams::height, 0.001, QStringLiteral("Y 方向の大きさ"));
        size(depth, &PrimitiveParams::depth, 0.001, QStringLiteral("Z 方向の大きさ"));
        count(QStringLiteral("X の分割数:"), &PrimitiveParams::xSegments, 1, kMaxSegments,
              QStringLiteral("X 方向の分割数"));
        count(QStringLiteral("Y の分割数:"), &PrimitiveParams::ySegments, 1, kMaxSegments,
              QStringLiteral("Y 方向の分割数"));
        count(QStringLiteral("Z の分割数:"), &PrimitiveParams::zSegments, 1, kMaxSegments,
              QStringLiteral("Z 方向の分割数"));
        break;
      case PrimitiveKind::kSphere:
        size(radius, &PrimitiveParams::radius, 0.001, QStringLiteral("球の半径"));
        count(QStringLiteral("経度の分割数:"), &PrimitiveParams::segments, kMinAround, kMaxSegments,
              QStringLiteral("軸のまわりの分割数"));
        count(QStringLiteral("緯度の分割数:"), &PrimitiveParams::rings, kMinSphereRings, kMaxSegments,
              QStringLiteral("極から極までの分割数"));
        break;
      case PrimitiveKind::kIcosphere:
        size(radius, &PrimitiveParams::radius, 0.001, QStringLiteral("球の半径"));
        count(QStringLiteral("細分化:"), &PrimitiveParams::subdivisions, 0, kMaxSubdivisions,
              QStringLiteral("正二十面体の面を 4 つに分ける回数"));
        break;
      case PrimitiveKind::kCylinder:
      case PrimitiveKind::kCone: {
        const bool cone = k == static_cast<int>(PrimitiveKind::kCone);
        size(cone ? QStringLiteral("底面の半径:") : radius, &PrimitiveParams::radius, 0.001,
             QStringLiteral("底面の半径"));
        if (cone)
          size(QStringLiteral("上面の半径:"), &PrimitiveParams::topRadius, 0.0,
               QStringLiteral("上面の半径（0 で先がとがる）"));
        size(height, &PrimitiveParams::height, 0.001, QStringLiteral("軸方向の高さ"));
        count(QStringLiteral("側面の分割数:"), &PrimitiveParams::sides, kMinAround, kMaxSegments,
              QStringLiteral("軸のまわりの辺の数"));
        count(QStringLiteral("高さの分割数:"), &PrimitiveParams::heightSegments, 1, kMaxSegments,
              QStringLiteral("軸方向の分割数"));
        break;
      }
      case PrimitiveKind::kTorus:
        size(QStringLiteral("半径:"), &PrimitiveParams::radius, 0.001, QStringLiteral("中心から管の中心までの半径"));
        size(QStringLiteral("管の半径:"), &PrimitiveParams::minorRadius, 0.001, QStringLiteral("管の太さの半径"));
        count(QStringLiteral("周の分割数:"), &PrimitiveParams::segments, kMinAround, kMaxSegments,
              QStringLiteral("軸のまわりの分割数"));
        count(QStringLiteral("管の分割数:"), &PrimitiveParams::minorSegments, kMinAround, kMaxSegments,
              QStringLiteral("管のまわりの分割数"));
        break;
      case PrimitiveKind::kDisk:
        size(radius, &PrimitiveParams::radius, 0.001, QStringLiteral("円盤の半径"));
        count(QStringLiteral("辺の数:"), &PrimitiveParams::sides, kMinAround, kMaxSegments,
              QStringLiteral("円周の辺の数"));
        count(QStringLiteral("同心円の数:"), &PrimitiveParams::rings, 1, kMaxSegments,
              QStringLiteral("中心から縁までの分割数"));
        break;
    }
    pages_->addWidget(page);
  }
  layout->addWidget(pages_);

  auto* more = new QFormLayout;
  axis_ = new QComboBox(this);
  axis_->addItems({QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")});
  axis_->setCurrentIndex(std::clamp(start.params.axis, 0, 2));
  axis_->setToolTip(QStringLiteral("図形の軸の向き（平面・グリッド・円盤は面の向き）"));
  more->addRow(QStringLiteral("軸(&A):"), axis_);
  caps_ = new QComboBox(this);
  caps_->addItems({QStringLiteral("多角形"), QStringLiteral("三角形"), QStringLiteral("なし")});
  caps_->setCurrentIndex(static_cast<int>(start.params.caps));
  caps_->setToolTip(QStringLiteral("円柱・円錐の端をふさぐ面: 1 枚の多角形、中心から広がる三角形、ふさがない"));
  more->addRow(QStringLiteral("ふた(&C):"), caps_);
  layout->addLayout(more);

  auto* place = new QGroupBox(QStringLiteral("配置"), this);
  auto* placeLayout = new QVBoxLayout(place);
  atCursor_ = new QRadioButton(QStringLiteral("面作成カーソルの位置(&U)"), place);
  atCentre_ = new QRadioButton(QStringLiteral("表示の中心(&V)"), place);
  (start.atCursor ? atCursor_ : atCentre_)->setChecked(true);
  placeLayout->addWidget(atCursor_);
  placeLayout->addWidget(atCentre_);
  layout->addWidget(place);
  newModel_ = new QCheckBox(QStringLiteral("新しいモデルとして作成(&N)"), this);
  newModel_->setToolTip(QStringLiteral("図形の名前の新しいモデルを作る（しなければ現在のモデルに追加）"));
  newModel_->setChecked(start.newModel || !canAddToCurrent);
  newModel_->setEnabled(canAddToCurrent);
  layout->addWidget(newModel_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  shape_->setCurrentIndex(static_cast<int>(start.params.kind));
  ShapeChanged();
  connect(shape_, &QComboBox::currentIndexChanged, this, [this]() {
    ShapeChanged();
    emit changed();
  });
  // Fields that cannot make a shape together (a torus's tube as wide as the torus) leave nothing to
  // add: OK waits until they can.
  connect(this, &CDlgPrimitive::changed, this, [this]() { ok_->setEnabled(CheckPrimitive(request().params).empty()); });
  for (QComboBox* box : {axis_, caps_}) connect(box, &QComboBox::currentIndexChanged, this, &CDlgPrimitive::changed);
  for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{atCursor_, newModel_})
    connect(b, &QAbstractButton::toggled, this, &CDlgPrimitive::changed);
}

void CDlgPrimitive::ShapeChanged() {
  const int k = std::max(0, shape_->currentIndex());
  pages_->setCurrentIndex(k);
  // The pages differ in their number of rows: the stack takes the height of the one shown.
  for (int i = 0; i < pages_->count(); ++i)
    pages_->widget(i)->setSizePolicy(i == k ? QSizePolicy::Preferred : QSizePolicy::Ignored,
                                     i == k ? QSizePolicy::Preferred : QSizePolicy::Ignored);
  adjustSize();
  const auto kind = static_cast<PrimitiveKind>(k);
  axis_->setEnabled(kind != PrimitiveKind::kBox);
  caps_->setEnabled(kind == PrimitiveKind::kCylinder || kind == PrimitiveKind::kCone);
}

PrimitiveRequest CDlgPrimitive::request() const {
  PrimitiveRequest r;
  r.params = params_;
  const int k = std::max(0, shape_->currentIndex());
  r.params.kind = static_cast<PrimitiveKind>(k);
  const Page& page = fields_[static_cast<std::size_t>(k)];
  for (const auto& [box, member] : page.sizes) r.params.*member = box->value();
  for (const auto& [box, member] : page.counts) r.params.*member = box->value();
  r.params.axis = axis_->currentIndex();
  r.params.caps = static_cast<CapFill>(caps_->currentIndex());
  r.atCursor = atCursor_->isChecked();
  r.newModel = newModel_->isChecked();
  return r;
}

QSpinBox* CDlgPrimitive::countField(int PrimitiveParams::*member) const {
  for (const auto& [box, m] : fields_[static_cast<std::size_t>(pages_->currentIndex())].counts)
    if (m == member) return box;
  return nullptr;
}

QDoubleSpinBox* CDlgPrimitive::sizeField(double PrimitiveParams::*member) const {
  for (const auto& [box, m] : fields_[static_cast<std::size_t>(pages_->currentIndex())].sizes)
    if (m == member) return box;
  return nullptr;
}

std::optional<PrimitiveRequest> AskPrimitive(CMeshwright& scene, const PanOffsets& pan, const PrimitiveRequest& start,
                                             QWidget* parent, const std::function<int(QDialog&)>& run,
                                             const std::function<void()>& refresh) {
  const bool canAdd =
      scene.HasCurrentModel() && scene.models[static_cast<std::size_t>(scene.currentModel)].IsEditable();
  CDlgPrimitive dialog(start, canAdd, parent);
  PrimitivePreview preview(scene, refresh);
  auto follow = [&]() {
    const PrimitiveRequest r = dialog.request();
    preview.Show(r.params, PlacementOf(scene, pan, r.atCursor), r.newModel);
  };
  QObject::connect(&dialog, &CDlgPrimitive::changed, &dialog, follow);
  follow();
  const int result = run(dialog);
  preview.Clear();
  if (result != QDialog::Accepted) return std::nullopt;
  return dialog.request();
}

}  // namespace mw
