// The 下絵 dialog: the reference picture of an orthographic pane, its file, place, scale,
// opacity and whether it is shown.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "scene/reference_picture.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace mw {

class ReferenceDialog : public QDialog {
  Q_OBJECT
 public:
  // `picture` and `file` (the file its name leads to) as they stand; `plane` is the pane offered first.
  ReferenceDialog(const ReferencePicture& picture, const QString& file, QWidget* parent = nullptr);

  // What was chosen; the picture's path is left to the caller (it names `file()` relative to
  // the document).
  ReferencePicture picture() const;
  QString file() const;
  // 「外す」 was pressed: the pane is to have no picture.
  bool removed() const { return removed_; }
  // The pane shown in the dialog changed: the fields show that pane's picture.
  QComboBox* planeBox() const { return plane_; }
  QLineEdit* fileEdit() const { return file_; }
  QDoubleSpinBox* scaleBox() const { return scale_; }
  QSlider* opacitySlider() const { return opacity_; }

  // Tests answer the file dialog.
  static std::function<QString(QWidget*)> chooseFile;

 private:
  QComboBox* plane_;
  QLineEdit* file_;
  QDoubleSpinBox* centreU_;
  QDoubleSpinBox* centreV_;
  QDoubleSpinBox* scale_;
  QSlider* opacity_;
  QLabel* opacityText_;
  QCheckBox* visible_;
  bool removed_ = false;
};

}  // namespace mw
