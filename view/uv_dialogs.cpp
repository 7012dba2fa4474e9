#include "view/uv_dialogs.h"

namespace mw {

CDlgUVTransform::CDlgUVTransform(UVNumeric kind, UVPoint centre, QWidget* parent)
    : DluDialog(parent),
      centreU(static_cast<float>(centre.u)),
      centreV(static_cast<float>(centre.v)),
      kind_(kind) {
  const auto pair = [this](const QString& title, float* u, float* v, int y) {
    AddGroup(title, 25, y, 106, 60);
    AddLabel(QStringLiteral("U"), 43, y + 17);
    floats_.emplace_back(AddEdit(*u, 55, y + 14), u);
    AddLabel(QStringLiteral("V"), 43, y + 39);
    floats_.emplace_back(AddEdit(*v, 55, y + 36), v);
  };
  switch (kind) {
    case UVNumeric::kMove:
      setWindowTitle(QStringLiteral("UVの移動"));
      setFixedSize(Dlu(0, 0, 207, 100).size());
      AddButtons(150);
      pair(QStringLiteral("移動量"), &amountU, &amountV, 17);
      break;
    case UVNumeric::kRotate:
      setWindowTitle(QStringLiteral("UVの回転"));
      setFixedSize(Dlu(0, 0, 207, 140).size());
      AddButtons(150);
      AddGroup(QStringLiteral("回転 (時計回り)"), 25, 14, 106, 35);
      floats_.emplace_back(AddEdit(angle, 45, 28), &angle);
      AddLabel(QStringLiteral("度"), 101, 29, 20, 10);
      pair(QStringLiteral("中心点"), &centreU, &centreV, 59);
      break;
    case UVNumeric::kScale:
      amountU = amountV = 1.0f;
      setWindowTitle(QStringLiteral("UVの拡大縮小"));
      setFixedSize(Dlu(0, 0, 207, 160).size());
      AddButtons(150);
      pair(QStringLiteral("倍率"), &amountU, &amountV, 14);
      pair(QStringLiteral("中心点"), &centreU, &centreV, 84);
      break;
  }
}

UVAffine CDlgUVTransform::Result() const {
  const UVPoint c{centreU, centreV};
  switch (kind_) {
    case UVNumeric::kMove: return UVAffine::Translate(amountU, amountV);
    case UVNumeric::kRotate: return UVAffine::Rotate(angle, c);
    case UVNumeric::kScale: return UVAffine::Scale(amountU, amountV, c);
  }
  return {};
}

std::optional<UVAffine> AskUVTransform(UVNumeric kind, UVPoint centre, QWidget* parent,
                                       const std::function<int(QDialog&)>& run) {
  CDlgUVTransform dialog(kind, centre, parent);
  if (run(dialog) != QDialog::Accepted) return std::nullopt;
  return dialog.Result();
}

}  // namespace mw
