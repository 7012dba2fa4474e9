// The 基本図形 dialog: a shape to start from, its sizes and segment counts, where it goes and
// whether it becomes a model of its own. While it is open the scene shows the shape where OK
// would put it, in every pane; OK leaves the scene as it was before the dialog opened, for the
// caller to add the shape as one edit, and キャンセル leaves nothing behind.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

#include "scene/ortho_plane.h"
#include "scene/primitives.h"
#include "scene/scene_delta.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

namespace mw {

class CMeshwright;

struct PrimitiveRequest {
  PrimitiveParams params;
  bool atCursor = true;   // at the face-building cursor, else at the centre of the panes
  bool newModel = false;  // a new model named after the shape, else into the current model
};

// Where a request puts its shape in `scene` with the panes scrolled by `pan`.
CVector PlacementOf(const CMeshwright& scene, const PanOffsets& pan, bool atCursor);

// The shape drawn into the scene and taken out again, with nothing recorded: the edit that adds
// it is made once, on OK.
class PrimitivePreview {
 public:
  PrimitivePreview(CMeshwright& scene, std::function<void()> refresh);
  ~PrimitivePreview();  // takes the shape out
  PrimitivePreview(const PrimitivePreview&) = delete;
  PrimitivePreview& operator=(const PrimitivePreview&) = delete;

  void Show(const PrimitiveParams& params, const CVector& centre, bool newModel);
  void Clear();

 private:
  CMeshwright& scene_;
  std::function<void()> refresh_;
  std::optional<SceneDelta> shown_;
};

class CDlgPrimitive : public QDialog {
  Q_OBJECT
 public:
  // Opens on `start`; `canAddToCurrent` is false when there is no editable current model, which
  // leaves only a new model.
  explicit CDlgPrimitive(const PrimitiveRequest& start, bool canAddToCurrent = true, QWidget* parent = nullptr);

  PrimitiveRequest request() const;

  // For tests, which answer the dialog by setting its fields as a user would.
  QComboBox* shapeBox() const { return shape_; }
  QComboBox* axisBox() const { return axis_; }
  QCheckBox* newModelBox() const { return newModel_; }
  QRadioButton* atCursorButton() const { return atCursor_; }
  QRadioButton* atCentreButton() const { return atCentre_; }
  // The field of the shown shape bound to `member` (nullptr when the shape has none).
  QSpinBox* countField(int PrimitiveParams::*member) const;
  QDoubleSpinBox* sizeField(double PrimitiveParams::*member) const;
  QComboBox* capsBox() const { return caps_; }

 signals:
  // Any field changed: the preview follows.
  void changed();

 private:
  struct Page {
    std::vector<std::pair<QSpinBox*, int PrimitiveParams::*>> counts;
    std::vector<std::pair<QDoubleSpinBox*, double PrimitiveParams::*>> sizes;
  };
  void ShapeChanged();

  PrimitiveParams params_;  // values of the fields on pages not shown
  QComboBox* shape_;
  QStackedWidget* pages_;
  std::vector<Page> fields_;
  QComboBox* axis_;
  QComboBox* caps_ = nullptr;
  QRadioButton* atCursor_;
  QRadioButton* atCentre_;
  QCheckBox* newModel_;
  QPushButton* ok_;
};

// Runs the dialog through `run` (which shows it modally; tests answer it themselves) with the
// preview following its fields; `refresh` repaints the panes. The request on OK, nothing on cancel;
// either way the scene is as it was.
std::optional<PrimitiveRequest> AskPrimitive(CMeshwright& scene, const PanOffsets& pan, const PrimitiveRequest& start,
                                             QWidget* parent, const std::function<int(QDialog&)>& run,
                                             const std::function<void()>& refresh);

// The shape's name in the dialog ("UV球").
QString PrimitiveCaption(PrimitiveKind kind);

}  // namespace mw
