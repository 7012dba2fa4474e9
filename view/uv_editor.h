// The UV window's pane: the shown faces' UVs over the texture, and what the mouse does there.
//
// UVEditorInput is the plain part (tested without a widget): it keeps the layout of the shown faces
// (scene/uv_edit.h), the selection of UV vertices, the view, and the drag in progress, and changes
// the scene only through the host's edit hooks, so a drag is one edit from the first motion that
// changes anything to the release. UVEditorPane translates Qt's events and paints.
//
// The mouse: a left click picks a UV vertex, edge or face (as the element mode says; Shift adds,
// Ctrl toggles), a double click the island under the pointer; a left drag from a selected element
// moves the selection, from elsewhere draws a band (Shift adds, Ctrl removes). In the move, rotate
// and scale tools every left drag transforms the selection (rotate: Shift turns in 15 degree
// steps), about the centre of its bounds. The wheel zooms at the pointer, the middle button pans.
#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "render/uv_painter.h"
#include "scene/edit_kind.h"
#include "scene/uv_edit.h"

namespace mw {

class CMeshwright;

enum class UVElement { kVertex, kEdge, kFace };
enum class UVTool { kSelect, kMove, kRotate, kScale };
enum class UVStretchShown { kNone, kArea, kAngle };

struct UVEditorHost {
  std::function<void(EditKind)> dragBegan;  // opens one edit (the document's BeginEdit)
  std::function<void()> dragEnded;
  std::function<void(EditKind, const std::function<void()>&)> edit;  // a change made at once
  std::function<void()> moved;  // the UVs changed during a drag: the perspective pane repaints
};

class UVEditorInput {
 public:
  UVEditorInput(CMeshwright& scene, UVEditorHost host) : scene_(scene), host_(std::move(host)) {}

  // The scene changed (any edit, an undo, a new document): the layout is built again when next
  // needed, keeping the selection of the corners that are still shown.
  void SceneChanged() { stale_ = true; }
  const UVLayout& layout();
  const std::vector<std::uint8_t>& selection();
  std::size_t SelectedCount();
  // Counts the layout's rebuilds: what is worked out from the layout alone (the overlap count) is
  // kept until it moves.
  std::uint64_t generation() const { return generation_; }

  UVViewport& viewport() { return view_; }
  // The view fitted to the 0-1 square the first time the pane has a size.
  void EnsureViewport(QSize size);
  UVElement element = UVElement::kVertex;
  UVTool tool = UVTool::kSelect;
  // Moves snap to the corners of the pixels of a texture this size (0: no snapping).
  std::int32_t snapWidth = 0, snapHeight = 0;

  // Pointer events in widget pixels; true when the pane should repaint.
  bool Press(int button, QPoint p, bool shift, bool ctrl);  // 0 left, 1 right, 2 middle
  bool Move(QPoint p, bool shift);
  bool Release(int button, QPoint p);
  bool DoubleClick(QPoint p);
  bool Wheel(int delta, QPoint p);
  bool Dragging() const { return transforming_; }
  bool Banding() const { return banding_; }
  QPoint bandFrom() const { return press_; }
  QPoint bandTo() const { return current_; }

  // Selection commands.
  void SelectAll(bool select);
  // Every island (faces joined across sides whose UVs they share and that are no seam,
  // scene/uv_ops.h's FindUVIslands) with a selected UV vertex, whole.
  void SelectIslands();
  void SetSelected(const std::vector<std::uint32_t>& groups, bool add);

  // Commands on the selection, each one edit; false when nothing is selected.
  bool Transform(const UVAffine& t);
  bool Align(UVAlign align);
  bool Flip(bool alongU);
  // The centre of the selection's bounds (the pivot of rotations and scalings).
  UVPoint SelectionCentre();

 private:
  void Rebuild();
  double PickRadius() const { return 5.0 / view_.scale; }
  // What a click at p would select (UV vertices), in the element mode.
  std::vector<std::uint32_t> PickAt(QPoint p);
  bool OnSelection(QPoint p);
  void ApplyDrag(QPoint p, bool shift);

  CMeshwright& scene_;
  UVEditorHost host_;
  UVLayout layout_;
  std::vector<std::uint8_t> selected_;
  bool stale_ = true;
  std::uint64_t generation_ = 0;
  // The selection kept across a rebuild: the corners of the selected UV vertices, as
  // (model << 40 | face << 8 | corner).
  std::vector<std::uint64_t> keptCorners_;
  UVViewport view_;
  bool fitted_ = false;
  // The drag in progress.
  bool leftDown_ = false, middleDown_ = false, moved_ = false;
  bool banding_ = false, transforming_ = false, editOpen_ = false;
  bool shift_ = false, ctrl_ = false;
  UVTool dragTool_ = UVTool::kSelect;
  QPoint press_, current_;
  std::vector<UVPoint> from_;
  UVPoint pivot_;
};

class UVEditorPane : public QWidget {
  Q_OBJECT
 public:
  UVEditorPane(CMeshwright& scene, UVEditorHost host, QWidget* parent = nullptr);
  UVEditorInput& input() { return input_; }
  // The current material's picture (null: the checker).
  void SetTexture(const QImage& picture) {
    texture_ = picture;
    update();
  }
  const QImage& texture() const { return texture_; }
  // Per shown face: the stretch colour, worked out by whoever knows how (empty: none).
  std::function<std::vector<QRgb>(const UVLayout&)> stretchColours;
  std::function<std::vector<std::uint8_t>(const UVLayout&)> seamEdges;
  // Frames painted since the pane was made (the speed of a drag is read from it).
  std::uint64_t framesPainted() const { return frames_; }
  // After every change of the selection or the UVs (the status line follows).
  std::function<void()> changed;
  // Wide enough for the window's menus and status line when it first docks.
  QSize sizeHint() const override { return QSize(380, 380); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void After(bool repaint);

  UVEditorInput input_;
  QImage buffer_;
  QImage texture_;
  std::uint64_t frames_ = 0;
};

}  // namespace mw
