#include "view/live_parameter_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include "scene/meshwright.h"

namespace mw {

CDlgLiveParameters::CDlgLiveParameters(const QString& title, const std::vector<LiveField>& fields, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  for (const LiveField& f : fields) {
    kinds_.push_back(f.kind);
    QWidget* w = nullptr;
    switch (f.kind) {
      case LiveField::kReal: {
        auto* box = new QDoubleSpinBox(this);
        box->setDecimals(3);
        box->setRange(f.lowest, f.highest);
        box->setValue(f.value);
        box->setSingleStep(f.value != 0 ? std::abs(f.value) / 10.0 : 1.0);
        box->setKeyboardTracking(true);
        connect(box, &QDoubleSpinBox::valueChanged, this, &CDlgLiveParameters::changed);
        w = box;
        break;
      }
      case LiveField::kInteger: {
        auto* box = new QSpinBox(this);
        box->setRange(static_cast<int>(f.lowest), static_cast<int>(f.highest));
        box->setValue(static_cast<int>(f.value));
        connect(box, &QSpinBox::valueChanged, this, &CDlgLiveParameters::changed);
        w = box;
        break;
      }
      case LiveField::kCheck: {
        auto* box = new QCheckBox(f.label, this);
        box->setChecked(f.value != 0);
        connect(box, &QCheckBox::toggled, this, &CDlgLiveParameters::changed);
        w = box;
        break;
      }
    }
    w->setToolTip(f.tip);
    if (f.kind == LiveField::kCheck) form->addRow(w);
    else form->addRow(f.label, w);
    fields_.push_back(w);
  }
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

std::vector<double> CDlgLiveParameters::values() const {
  std::vector<double> out;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    switch (kinds_[i]) {
      case LiveField::kReal: out.push_back(static_cast<QDoubleSpinBox*>(fields_[i])->value()); break;
      case LiveField::kInteger: out.push_back(static_cast<QSpinBox*>(fields_[i])->value()); break;
      case LiveField::kCheck: out.push_back(static_cast<QCheckBox*>(fields_[i])->isChecked() ? 1 : 0); break;
    }
  }
  return out;
}

LivePreview::LivePreview(CMeshwright& scene, EditKind kind, std::function<void()> refresh)
    : scene_(scene), kind_(kind), refresh_(std::move(refresh)) {}

LivePreview::~LivePreview() { Clear(); }

void LivePreview::Show(const std::function<void(CMeshwright&)>& apply) {
  if (shown_) shown_->Undo(scene_);
  // The record an undo step keeps, so taking the verb back restores the scene exactly.
  shown_ = SceneDelta::Capture(kind_, scene_);
  shown_->KeepWholeRecords();
  apply(scene_);
  shown_->Finish(scene_);
  if (refresh_) refresh_();
}

void LivePreview::Clear() {
  if (!shown_) return;
  shown_->Undo(scene_);
  shown_.reset();
  if (refresh_) refresh_();
}

std::optional<std::vector<double>> AskLiveParameters(
    CMeshwright& scene, EditKind kind, const QString& title, const std::vector<LiveField>& fields,
    const std::function<void(CMeshwright&, const std::vector<double>&)>& apply, QWidget* parent,
    const std::function<int(QDialog&)>& run, const std::function<void()>& refresh) {
  CDlgLiveParameters dialog(title, fields, parent);
  LivePreview preview(scene, kind, refresh);
  auto follow = [&]() {
    const std::vector<double> v = dialog.values();
    preview.Show([&](CMeshwright& s) { apply(s, v); });
  };
  QObject::connect(&dialog, &CDlgLiveParameters::changed, &dialog, follow);
  follow();
  const int result = run(dialog);
  preview.Clear();
  if (result != QDialog::Accepted) return std::nullopt;
  return dialog.values();
}

}  // namespace mw
