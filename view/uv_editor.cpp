#include "view/uv_editor.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "scene/meshwright.h"
#include "scene/uv_ops.h"

namespace mw {

namespace {

constexpr int kClickSlack = 3;  // pixels the pointer may stray before a press becomes a drag

std::uint64_t CornerKey(const UVLayout::Face& f, std::uint32_t k) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(f.model)) << 40) |
         (static_cast<std::uint64_t>(static_cast<std::uint32_t>(f.face)) << 8) | k;
}

}  // namespace

void UVEditorInput::Rebuild() {
  keptCorners_.clear();
  for (std::uint32_t g = 0; g < selected_.size() && g < layout_.GroupCount(); ++g) {
    if (!selected_[g]) continue;
    for (std::uint32_t k = layout_.groupFirst[g]; k < layout_.groupFirst[g + 1]; ++k) {
      const std::uint32_t c = layout_.groupCorners[k];
      const UVLayout::Face& f = layout_.faces[layout_.FaceOfCorner(c)];
      keptCorners_.push_back(CornerKey(f, c - f.first));
    }
  }
  std::sort(keptCorners_.begin(), keptCorners_.end());
  layout_ = UVLayout::Build(scene_);
  selected_.assign(layout_.GroupCount(), 0);
  if (!keptCorners_.empty())
    for (const UVLayout::Face& f : layout_.faces)
      for (std::uint32_t k = 0; k < f.count; ++k)
        if (std::binary_search(keptCorners_.begin(), keptCorners_.end(), CornerKey(f, k)))
          selected_[layout_.corners[f.first + k]] = 1;
  keptCorners_ = {};
  stale_ = false;
  ++generation_;
}

const UVLayout& UVEditorInput::layout() {
  if (stale_ && !transforming_) Rebuild();  // a drag's starting positions are the layout's
  return layout_;
}

const std::vector<std::uint8_t>& UVEditorInput::selection() {
  if (stale_ && !transforming_) Rebuild();
  return selected_;
}

std::size_t UVEditorInput::SelectedCount() {
  const std::vector<std::uint8_t>& s = selection();
  return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](std::uint8_t b) { return b != 0; }));
}

void UVEditorInput::EnsureViewport(QSize size) {
  if (fitted_ || size.isEmpty()) return;
  view_ = UVViewport::Fit(size);
  fitted_ = true;
}

std::vector<std::uint32_t> UVEditorInput::PickAt(QPoint p) {
  const UVLayout& l = layout();
  const UVPoint at = view_.ToUV(p);
  switch (element) {
    case UVElement::kVertex: {
      const std::int32_t g = PickUVVertex(l, at, PickRadius());
      if (g >= 0) return {static_cast<std::uint32_t>(g)};
      return {};
    }
    case UVElement::kEdge: {
      const std::int32_t e = PickUVEdge(l, at, PickRadius());
      if (e >= 0) return {l.edges[static_cast<std::size_t>(e)].first, l.edges[static_cast<std::size_t>(e)].second};
      return {};
    }
    case UVElement::kFace: {
      const std::int32_t f = PickUVFace(l, at);
      if (f >= 0) return UVVerticesOfFace(l, static_cast<std::uint32_t>(f));
      return {};
    }
  }
  return {};
}

bool UVEditorInput::OnSelection(QPoint p) {
  const std::vector<std::uint32_t> under = PickAt(p);
  return !under.empty() && std::all_of(under.begin(), under.end(), [this](std::uint32_t g) { return selected_[g] != 0; });
}

void UVEditorInput::SetSelected(const std::vector<std::uint32_t>& groups, bool add) {
  selection();
  if (!add) std::fill(selected_.begin(), selected_.end(), 0);
  for (std::uint32_t g : groups)
    if (g < selected_.size()) selected_[g] = 1;
}

void UVEditorInput::SelectAll(bool select) {
  selection();
  std::fill(selected_.begin(), selected_.end(), select ? 1 : 0);
}

void UVEditorInput::SelectIslands() {
  const UVLayout& l = layout();
  // The layout lists each model's faces together, in ascending order.
  for (std::size_t i = 0; i < l.faces.size();) {
    const std::int32_t model = l.faces[i].model;
    std::vector<std::int32_t> faces;
    std::size_t j = i;
    while (j < l.faces.size() && l.faces[j].model == model) faces.push_back(l.faces[j++].face);
    for (const std::vector<std::int32_t>& island : FindUVIslands(scene_.models[static_cast<std::size_t>(model)], faces)) {
      std::vector<std::size_t> members;
      bool touched = false;
      for (std::int32_t f : island) {
        const auto at = std::lower_bound(faces.begin(), faces.end(), f);
        if (at == faces.end() || *at != f) continue;
        const UVLayout::Face& lf = l.faces[i + static_cast<std::size_t>(at - faces.begin())];
        members.push_back(i + static_cast<std::size_t>(at - faces.begin()));
        for (std::uint32_t k = 0; k < lf.count; ++k) touched = touched || selected_[l.corners[lf.first + k]];
      }
      if (!touched) continue;
      for (std::size_t m : members)
        for (std::uint32_t k = 0; k < l.faces[m].count; ++k) selected_[l.corners[l.faces[m].first + k]] = 1;
    }
    i = j;
  }
}

UVPoint UVEditorInput::SelectionCentre() {
  const UVRect r = SelectionBounds(layout(), selection());
  if (r.Empty()) return {0.5, 0.5};
  return {(r.u0 + r.u1) / 2.0, (r.v0 + r.v1) / 2.0};
}

bool UVEditorInput::Transform(const UVAffine& t) {
  if (SelectedCount() == 0 || !host_.edit) return false;
  host_.edit(EditKind::kUVEdit, [&]() {
    const std::vector<UVPoint> from = SelectedPositions(layout_, selected_);
    TransformSelected(scene_, layout_, selected_, from, t, snapWidth, snapHeight);
  });
  return true;
}

bool UVEditorInput::Align(UVAlign align) {
  if (SelectedCount() < 2 || !host_.edit) return false;
  host_.edit(EditKind::kUVEdit, [&]() { AlignSelected(scene_, layout_, selected_, align); });
  return true;
}

bool UVEditorInput::Flip(bool alongU) {
  if (SelectedCount() == 0 || !host_.edit) return false;
  host_.edit(EditKind::kUVEdit, [&]() { FlipSelected(scene_, layout_, selected_, alongU); });
  return true;
}

bool UVEditorInput::Press(int button, QPoint p, bool shift, bool ctrl) {
  if (button == 2) {
    middleDown_ = true;
    current_ = p;
    return false;
  }
  if (button != 0 || leftDown_) return false;
  leftDown_ = true;
  moved_ = banding_ = transforming_ = false;
  shift_ = shift, ctrl_ = ctrl;
  press_ = current_ = p;
  dragTool_ = tool;
  if (tool == UVTool::kSelect) dragTool_ = !shift && !ctrl && OnSelection(p) ? UVTool::kMove : UVTool::kSelect;
  return false;
}

void UVEditorInput::ApplyDrag(QPoint p, bool shift) {
  const QPointF c = view_.ToScreen(pivot_.u, pivot_.v);
  UVAffine t;
  switch (dragTool_) {
    case UVTool::kSelect: return;
    case UVTool::kMove:
      t = UVAffine::Translate((p.x() - press_.x()) / view_.scale, (p.y() - press_.y()) / view_.scale);
      break;
    case UVTool::kRotate: {
      const double a0 = std::atan2(press_.y() - c.y(), press_.x() - c.x());
      const double a1 = std::atan2(p.y() - c.y(), p.x() - c.x());
      double degrees = (a1 - a0) * 180.0 / std::numbers::pi;
      if (shift) degrees = std::round(degrees / 15.0) * 15.0;
      t = UVAffine::Rotate(degrees, pivot_);
      break;
    }
    case UVTool::kScale: {
      const double d0 = std::hypot(press_.x() - c.x(), press_.y() - c.y());
      const double d1 = std::hypot(p.x() - c.x(), p.y() - c.y());
      const double k = d0 > 0.5 ? d1 / d0 : 1.0;
      t = UVAffine::Scale(k, k, pivot_);
      break;
    }
  }
  TransformSelected(scene_, layout_, selected_, from_, t, snapWidth, snapHeight);
}

bool UVEditorInput::Move(QPoint p, bool shift) {
  if (middleDown_) {
    view_.originX += p.x() - current_.x();
    view_.originY += p.y() - current_.y();
    current_ = p;
    return true;
  }
  if (!leftDown_) return false;
  if (!moved_ && (std::abs(p.x() - press_.x()) > kClickSlack || std::abs(p.y() - press_.y()) > kClickSlack)) {
    moved_ = true;
    if (dragTool_ == UVTool::kSelect) {
      banding_ = true;
    } else if (SelectedCount() > 0) {
      transforming_ = true;
      from_ = SelectedPositions(layout_, selected_);
      pivot_ = SelectionCentre();
      if (host_.dragBegan) host_.dragBegan(EditKind::kUVEdit);
      editOpen_ = true;
    }
  }
  current_ = p;
  if (transforming_) {
    ApplyDrag(p, shift);
    if (host_.moved) host_.moved();
  }
  return banding_ || transforming_;
}

bool UVEditorInput::Release(int button, QPoint p) {
  if (button == 2) {
    middleDown_ = false;
    return false;
  }
  if (button != 0 || !leftDown_) return false;
  leftDown_ = false;
  current_ = p;
  if (transforming_) {
    transforming_ = false;
    if (editOpen_ && host_.dragEnded) host_.dragEnded();
    editOpen_ = false;
    return true;
  }
  std::vector<std::uint32_t> groups;
  if (banding_) {
    banding_ = false;
    const UVPoint a = view_.ToUV(press_), b = view_.ToUV(p);
    const UVLayout& l = layout();
    groups = UVVerticesIn(l, {std::min(a.u, b.u), std::min(a.v, b.v), std::max(a.u, b.u), std::max(a.v, b.v)});
    if (element == UVElement::kFace) {  // only faces wholly inside
      std::vector<std::uint8_t> inside(l.GroupCount(), 0);
      for (std::uint32_t g : groups) inside[g] = 1;
      groups.clear();
      for (std::uint32_t f : FacesWithin(l, inside))
        for (std::uint32_t g : UVVerticesOfFace(l, f)) groups.push_back(g);
    }
    if (ctrl_) {
      for (std::uint32_t g : groups) selected_[g] = 0;
      return true;
    }
    SetSelected(groups, shift_);
    return true;
  }
  if (moved_) return false;
  groups = PickAt(p);
  if (ctrl_) {
    const bool all = !groups.empty() &&
                     std::all_of(groups.begin(), groups.end(), [this](std::uint32_t g) { return selected_[g] != 0; });
    for (std::uint32_t g : groups) selected_[g] = all ? 0 : 1;
    return true;
  }
  SetSelected(groups, shift_);
  return true;
}

bool UVEditorInput::DoubleClick(QPoint p) {
  const std::vector<std::uint32_t> groups = PickAt(p);
  if (groups.empty()) return false;
  SetSelected(groups, shift_);
  SelectIslands();
  return true;
}

bool UVEditorInput::Wheel(int delta, QPoint p) {
  view_ = view_.ZoomedAt(std::pow(1.1, delta / 120.0), QPointF(p));
  return true;
}

UVEditorPane::UVEditorPane(CMeshwright& scene, UVEditorHost host, QWidget* parent)
    : QWidget(parent), input_(scene, std::move(host)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
  setMouseTracking(false);
  setMinimumSize(160, 160);
}

void UVEditorPane::paintEvent(QPaintEvent*) {
  input_.EnsureViewport(size());
  if (buffer_.size() != size()) buffer_ = QImage(size(), QImage::Format_RGB32);
  const UVLayout& l = input_.layout();
  UVPaintInput in;
  in.layout = &l;
  in.selected = input_.selection();
  in.texture = &texture_;
  std::vector<QRgb> colours;
  if (stretchColours) colours = stretchColours(l);
  in.faceColours = colours;
  std::vector<std::uint8_t> seams;
  if (seamEdges) seams = seamEdges(l);
  in.seams = seams;
  in.band = input_.Banding();
  in.bandFrom = input_.bandFrom();
  in.bandTo = input_.bandTo();
  PaintUVView(buffer_, input_.viewport(), in);
  QPainter(this).drawImage(0, 0, buffer_);
  ++frames_;
}

void UVEditorPane::After(bool repaint) {
  if (!repaint) return;
  update();
  if (changed) changed();
}

namespace {
int ButtonOf(Qt::MouseButton b) { return b == Qt::LeftButton ? 0 : b == Qt::MiddleButton ? 2 : 1; }
}  // namespace

void UVEditorPane::mousePressEvent(QMouseEvent* event) {
  input_.EnsureViewport(size());
  After(input_.Press(ButtonOf(event->button()), event->position().toPoint(),
                     event->modifiers() & Qt::ShiftModifier, event->modifiers() & Qt::ControlModifier));
}

void UVEditorPane::mouseMoveEvent(QMouseEvent* event) {
  if (input_.Move(event->position().toPoint(), event->modifiers() & Qt::ShiftModifier)) update();
}

void UVEditorPane::mouseReleaseEvent(QMouseEvent* event) {
  After(input_.Release(ButtonOf(event->button()), event->position().toPoint()));
}

void UVEditorPane::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  After(input_.DoubleClick(event->position().toPoint()));
}

void UVEditorPane::wheelEvent(QWheelEvent* event) {
  input_.EnsureViewport(size());
  After(input_.Wheel(event->angleDelta().y(), event->position().toPoint()));
}

}  // namespace mw
