// The UV window's numeric input: move, rotate or scale the selected UVs by typed values, in the
// style of the numeric input dialogs (six significant digits, "数字を入力してください。" on a text
// that is not a number).
#pragma once

#include <functional>
#include <optional>

#include "scene/uv_edit.h"
#include "view/numeric_dialogs.h"

namespace mw {

enum class UVNumeric { kMove, kRotate, kScale };

class CDlgUVTransform : public DluDialog {
  Q_OBJECT
 public:
  // The centre fields start at `centre` (the selection's), unused by a move.
  CDlgUVTransform(UVNumeric kind, UVPoint centre, QWidget* parent = nullptr);
  // The typed transform (valid after OK).
  UVAffine Result() const;

  float amountU = 0, amountV = 0;  // a move, or the factors of a scaling
  float angle = 0;
  float centreU = 0, centreV = 0;

 private:
  UVNumeric kind_;
};

// Asks for a transform of `kind`; nothing on キャンセル. `run` shows the dialog (tests answer it).
std::optional<UVAffine> AskUVTransform(UVNumeric kind, UVPoint centre, QWidget* parent,
                                       const std::function<int(QDialog&)>& run);

}  // namespace mw
