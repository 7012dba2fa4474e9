// The weld command's question: how close vertices must be to become one. Values are shown with
// six significant digits; OK refuses a text that is not a number, and a distance that is not above
// zero, and keeps the dialog open on the edit.
#pragma once

#include "view/numeric_dialogs.h"

namespace mw {

class CDlgWeld : public DluDialog {
  Q_OBJECT
 public:
  // Opens showing `start` (the last distance used, or the default).
  explicit CDlgWeld(float start = kDefaultDistance, QWidget* parent = nullptr);
  void accept() override;

  static constexpr float kDefaultDistance = 0.001f;
  float distance = kDefaultDistance;

 private:
  QLineEdit* edit_;
};

}  // namespace mw
