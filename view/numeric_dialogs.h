// The numeric input dialogs: move, rotate, size and stretch by typed values. Every opening starts
// from the defaults; values are shown with six significant digits; OK refuses a text that is not
// a number with "数字を入力してください。" and keeps the dialog open on that edit.
#pragma once

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>
#include "scene/ortho_plane.h"
#include "view/dialog_units.h"

#include "scene/edit_kind.h"
#include "scene/vector.h"

class QLineEdit;
class QRadioButton;

namespace mw {

class CMeshwright;

// Dialog units to pixels with the dialog's font, so the layout keeps its proportions.
class DluDialog : public QDialog {
  Q_OBJECT
 public:
  explicit DluDialog(QWidget* parent);
  QRect Dlu(int x, int y, int w, int h) const { return units_(x, y, w, h); }
  // Reports the first edit whose text is not a number; the hook lets tests see the message.
  static std::function<void(QWidget*, const QString&)> showMessage;

 protected:
  QLineEdit* AddEdit(float value, int x, int y);
  void AddLabel(const QString& text, int x, int y, int w = 10, int h = 11);
  // Labels "X", "Y", "Z" and their edits, one row each.
  void AddXYZ(std::array<float*, 3> targets, int labelX, int editX, std::array<int, 3> labelY,
              std::array<int, 3> editY);
  void AddGroup(const QString& text, int x, int y, int w, int h);
  void AddButtons(int x);
  // Parses every edit into its float; false (and the message) on the first that is not a number.
  bool TakeFloats();

 public:
  void accept() override;

 protected:
  std::vector<std::pair<QLineEdit*, float*>> floats_;

 private:
  DialogUnits units_;
};

class CDlgMove : public DluDialog {
  Q_OBJECT
 public:
  explicit CDlgMove(QWidget* parent = nullptr);
  float amountX = 0, amountY = 0, amountZ = 0;
};

class CDlgRotate : public DluDialog {
  Q_OBJECT
 public:
  explicit CDlgRotate(QWidget* parent = nullptr);
  float angle = 0, centerX = 0, centerY = 0, centerZ = 0;
  int axis = 0;  // 0 X, 1 Y, 2 Z
  QRadioButton* radio(int i) const { return radios_[i]; }
  void accept() override;

 private:
  QRadioButton* radios_[3];
};

class CDlgSize : public DluDialog {
  Q_OBJECT
 public:
  explicit CDlgSize(QWidget* parent = nullptr);
  float factor = 1.0f, centerX = 0, centerY = 0, centerZ = 0;
};

class CDlgStretch : public DluDialog {
  Q_OBJECT
 public:
  explicit CDlgStretch(QWidget* parent = nullptr);
  float factorX = 1.0f, factorY = 1.0f, factorZ = 1.0f, centerX = 0, centerY = 0, centerZ = 0;
};

// A transform typed into one of the dialogs: a move by `amount`, a turn by `angle` degrees in
// `plane` about `centre`, or a scaling by the factors in `amount` about `centre`.
struct NumericTransform {
  EditKind kind = EditKind::kNumericMove;
  Plane plane = kPlaneTop;
  float angle = 0.0f;
  CVector centre;
  CVector amount;
};

// The numeric input command's question: the dialog of `mode` (move, rotate, size, stretch); the
// transform on OK, nothing on cancel or in any other mode. `run` shows a dialog modally (tests
// answer it themselves).
std::optional<NumericTransform> AskNumericTransform(std::int32_t mode, QWidget* parent,
                                                    const std::function<int(QDialog&)>& run);
// Transforms the selection and recomputes the normals.
void ApplyNumericTransform(CMeshwright& scene, const NumericTransform& t);

// The radio button index (X, Y, Z) to the plane whose turn it is: X -> 2, Y -> 0, Z -> 1.
Plane AxisToPlane(int axis);

}  // namespace mw
