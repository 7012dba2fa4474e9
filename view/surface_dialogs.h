// The questions of the smooth-surface commands: the sharpness of a crease (0 to 10) and how to
// smooth (method, passes, factor, borders). Values are shown with six significant digits; OK
// refuses a text that is not a number or a value outside its range, and keeps the dialog open on
// that edit.
#pragma once

#include "scene/smoothing.h"
#include "view/numeric_dialogs.h"

class QCheckBox;

namespace mw {

class CDlgCrease : public DluDialog {
  Q_OBJECT
 public:
  explicit CDlgCrease(float start = 10.0f, QWidget* parent = nullptr);
  void accept() override;
  float sharpness = 10.0f;
  bool vertices = false;  // the selected vertices' sharpness rather than the edges'

 private:
  QLineEdit* edit_;
  QCheckBox* vertexBox_;
};

class CDlgSmooth : public DluDialog {
  Q_OBJECT
 public:
  explicit CDlgSmooth(const SmoothOptions& start = {}, QWidget* parent = nullptr);
  void accept() override;
  SmoothOptions options;

 private:
  float iterations_ = 0, factor_ = 0;
  QLineEdit* iterationsEdit_;
  QLineEdit* factorEdit_;
  QRadioButton* taubin_;
  QRadioButton* laplacian_;
  QCheckBox* borders_;
};

}  // namespace mw
