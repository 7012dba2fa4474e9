#include "view/extrude_follow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <cmath>

#include "scene/snap.h"

namespace mw {

namespace {

CVector UnitsOf(const ModelPixels& m, float zoom) {
  return CVector(UnitsFromPixels(m.x, zoom), UnitsFromPixels(m.y, zoom), UnitsFromPixels(m.z, zoom));
}

}  // namespace

ExtrudeFollow::ExtrudeFollow(CMeshwright& scene, Hooks hooks, QObject* parent)
    : QObject(parent), scene_(scene), hooks_(std::move(hooks)) {}

ExtrudeFollow::~ExtrudeFollow() {
  qApp->removeEventFilter(this);
}

std::optional<Plane> ExtrudeFollow::PaneOf(QObject* watched) const {
  for (int p = kPlaneTop; p <= kPlaneLeft; ++p) {
    QWidget* pane = hooks_.panes[static_cast<std::size_t>(p)];
    if (pane && watched == pane) return static_cast<Plane>(p);
  }
  return std::nullopt;
}

bool ExtrudeFollow::Begin(QPoint global, bool individual, std::function<void(const ExtrudeParams&)> keep) {
  if (Active()) return false;
  std::optional<Plane> over;
  QPoint local;
  for (int p = kPlaneTop; p <= kPlaneLeft && !over; ++p) {
    QWidget* pane = hooks_.panes[static_cast<std::size_t>(p)];
    if (!pane || !pane->isVisible()) continue;
    local = pane->mapFromGlobal(global);
    if (pane->rect().contains(local)) over = static_cast<Plane>(p);
  }
  const std::optional<ExtrudeAxis> axis = SelectedExtrudeAxis(scene_);
  if (!over || !axis) return false;
  axis_ = *axis;
  individual_ = individual;
  keep_ = std::move(keep);
  anchorPlane_ = *over;
  anchor_ = local;
  baseDistance_ = distance_ = 0;
  baseOffset_ = offset_ = CVector();
  typed_.clear();
  preview_.emplace(scene_, EditKind::kExtrude, hooks_.refresh);
  // Motion without a button reaches the panes only while this follows it.
  for (int p = kPlaneTop; p <= kPlaneLeft; ++p) {
    QWidget* pane = hooks_.panes[static_cast<std::size_t>(p)];
    tracking_[static_cast<std::size_t>(p)] = pane && pane->hasMouseTracking();
    if (pane) pane->setMouseTracking(true);
  }
  qApp->installEventFilter(this);
  if (QWidget* pane = hooks_.panes[static_cast<std::size_t>(*over)]) pane->setFocus();
  if (hooks_.say)
    hooks_.say(QStringLiteral("押し出し: ポインタを動かして距離を決め、クリックで確定 (数字で距離を入力、右クリックか Esc で取り消し)"));
  return true;
}

ExtrudeParams ExtrudeFollow::Params() const {
  ExtrudeParams p;
  p.distance = distance_;
  p.individual = individual_;
  p.offset = offset_;
  return p;
}

void ExtrudeFollow::Show() {
  const bool none = axis_.faces ? distance_ == 0.0 : (offset_.x == 0 && offset_.y == 0 && offset_.z == 0);
  if (none) {
    preview_->Clear();
  } else {
    const ExtrudeParams p = Params();
    preview_->Show([&p](CMeshwright& s) { ExtrudeSelected(s, p); });
  }
  if (hooks_.say) {
    const QString amount = axis_.faces ? QString::number(distance_, 'f', 2)
                                       : QStringLiteral("(%1, %2, %3)")
                                             .arg(offset_.x, 0, 'f', 2)
                                             .arg(offset_.y, 0, 'f', 2)
                                             .arg(offset_.z, 0, 'f', 2);
    hooks_.say(typed_.isEmpty()
                   ? QStringLiteral("押し出し: 距離 %1 (クリックで確定、Esc で取り消し)").arg(amount)
                   : QStringLiteral("押し出し: 距離 %1 を入力中 (Enter で確定、Esc で取り消し)").arg(typed_));
  }
}

void ExtrudeFollow::Follow(Plane plane, QPoint pixel) {
  if (!Active() || !typed_.isEmpty()) return;
  if (plane != anchorPlane_) {
    baseDistance_ = distance_;
    baseOffset_ = offset_;
    anchorPlane_ = plane;
    anchor_ = pixel;
  }
  const int dx = pixel.x() - anchor_.x(), dy = pixel.y() - anchor_.y();
  const double step = hooks_.snapStep ? hooks_.snapStep() : 0.0;
  if (axis_.faces) {
    distance_ = SnapToStep(baseDistance_ + PointerDistanceAlong(plane, axis_.normal, dx, dy, scene_.zoom), step);
  } else {
    CVector moved = baseOffset_;
    moved += UnitsOf(FromPane(plane, dx, dy, 0, 0, 0.0), scene_.zoom);
    offset_ = step > 0 ? SnapToGrid(moved, step) : moved;
  }
  Show();
}

bool ExtrudeFollow::Type(int key, const QString& text) {
  if (!Active()) return false;
  if (key == Qt::Key_Backspace) {
    typed_.chop(1);
  } else if (text.size() == 1 && (text[0].isDigit() || text[0] == u'.' || text[0] == u'-')) {
    typed_ += text;
  } else {
    return false;
  }
  bool ok = false;
  const double value = typed_.toDouble(&ok);
  if (typed_.isEmpty()) {
    distance_ = baseDistance_ = 0;
    offset_ = baseOffset_ = CVector();
  } else if (ok && std::isfinite(value)) {
    if (axis_.faces) {
      distance_ = value;
    } else {
      // Along the way the pointer went, or up the pane where it has not moved yet.
      CVector dir = offset_;
      if (dir.x == 0 && dir.y == 0 && dir.z == 0) dir = UnitsOf(FromPane(anchorPlane_, 0, -1, 0, 0, 0.0), 1.0f);
      const double length = std::sqrt(static_cast<double>(dir.x) * dir.x + static_cast<double>(dir.y) * dir.y +
                                       static_cast<double>(dir.z) * dir.z);
      const auto k = static_cast<float>(value / length);
      offset_ = CVector(dir.x * k, dir.y * k, dir.z * k);
    }
  }
  Show();
  return true;
}

void ExtrudeFollow::End() {
  qApp->removeEventFilter(this);
  for (int p = kPlaneTop; p <= kPlaneLeft; ++p)
    if (QWidget* pane = hooks_.panes[static_cast<std::size_t>(p)])
      pane->setMouseTracking(tracking_[static_cast<std::size_t>(p)]);
  preview_.reset();  // takes back what was shown
}

void ExtrudeFollow::Finish() {
  if (!Active()) return;
  const ExtrudeParams p = Params();
  const bool none = axis_.faces ? p.distance == 0.0 : (p.offset.x == 0 && p.offset.y == 0 && p.offset.z == 0);
  End();
  if (none) {
    if (hooks_.say) hooks_.say(QStringLiteral("押し出し: 距離が 0 のため何もしませんでした"));
    if (hooks_.refresh) hooks_.refresh();
    return;
  }
  if (keep_) keep_(p);
}

void ExtrudeFollow::Cancel() {
  if (!Active()) return;
  End();
  if (hooks_.say) hooks_.say(QStringLiteral("押し出し: 取り消しました"));
}

bool ExtrudeFollow::eventFilter(QObject* watched, QEvent* event) {
  if (!Active()) {
    // The release of the click that ended the following is not a click of the pane's own.
    if (event->type() != QEvent::MouseButtonRelease || !watched->isWidgetType() || !PaneOf(watched)) return false;
    qApp->removeEventFilter(this);
    return true;
  }
  switch (event->type()) {
    case QEvent::MouseMove: {
      const std::optional<Plane> plane = PaneOf(watched);
      if (!plane) return false;
      Follow(*plane, static_cast<QMouseEvent*>(event)->position().toPoint());
      return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      // The window sees a click before the widget under the pointer does: judge it there.
      if (!watched->isWidgetType()) return false;
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (!PaneOf(watched)) {
        Cancel();  // the click goes on to what it was meant for
        return false;
      }
      if (mouse->button() == Qt::LeftButton) Finish();
      else Cancel();
      qApp->installEventFilter(this);  // until the release
      return true;
    }
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      const int k = key->key();
      const bool ours = k == Qt::Key_Escape || k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Backspace ||
                        (key->text().size() == 1 && (key->text()[0].isDigit() || key->text()[0] == u'.' ||
                                                     key->text()[0] == u'-'));
      if (!ours) {
        // Any other key (a command's shortcut among them) finds the scene as it was.
        Cancel();
        return false;
      }
      if (event->type() == QEvent::ShortcutOverride) {
        event->accept();  // the key comes as a key press, not as a shortcut
        return true;
      }
      if (k == Qt::Key_Escape) Cancel();
      else if (k == Qt::Key_Return || k == Qt::Key_Enter) Finish();
      else Type(k, key->text());
      return true;
    }
    case QEvent::ApplicationDeactivate: Cancel(); return false;
    default: return false;
  }
}

}  // namespace mw
