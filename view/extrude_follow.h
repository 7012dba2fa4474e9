// Extrude following the pointer. Once the command has begun, the new part goes with the pointer
// over the orthographic panes (faces along their average normal, edges and vertices freely in the
// pane's plane) until a left click keeps it; a right click, Esc, or anything else the user turns to
// (another key, a click outside the panes, another window) leaves nothing. Digits typed meanwhile
// give the distance exactly, Enter keeping it. What is shown is the verb done and taken back again
// (LivePreview), so the document holds nothing of it until the click.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <array>
#include <functional>
#include <optional>

#include "scene/grow_ops.h"
#include "view/live_parameter_dialog.h"

class QWidget;

namespace mw {

class ExtrudeFollow : public QObject {
  Q_OBJECT
 public:
  struct Hooks {
    std::array<QWidget*, 3> panes{};                   // Top, Face, Left, by Plane
    std::function<double()> snapStep;                  // 0: snapping off
    std::function<void()> refresh;                     // repaints the panes
    std::function<void(const QString&)> say;           // the status bar
  };
  ExtrudeFollow(CMeshwright& scene, Hooks hooks, QObject* parent = nullptr);
  ~ExtrudeFollow() override;

  // Begins at the pointer (global position): false, with nothing begun, when it is over no
  // orthographic pane or nothing is selected to extrude. `keep` makes the extrusion one edit.
  bool Begin(QPoint global, bool individual, std::function<void(const ExtrudeParams&)> keep);
  bool Active() const { return preview_.has_value(); }
  double distance() const { return distance_; }
  CVector offset() const { return offset_; }

  // The pointer at `pixel` of the pane of `plane`.
  void Follow(Plane plane, QPoint pixel);
  // A character typed while following: digits, '.', '-' and Backspace edit the distance.
  bool Type(int key, const QString& text);
  void Finish();
  void Cancel();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Which pane a widget belongs to, or nothing.
  std::optional<Plane> PaneOf(QObject* watched) const;
  ExtrudeParams Params() const;
  void Show();
  void End();

  CMeshwright& scene_;
  Hooks hooks_;
  std::optional<LivePreview> preview_;
  ExtrudeAxis axis_;
  bool individual_ = false;
  std::function<void(const ExtrudeParams&)> keep_;
  // Motion is measured from an anchor in one pane; moving into another pane starts a new anchor
  // there, carrying what was reached.
  Plane anchorPlane_ = kPlaneTop;
  QPoint anchor_;
  double baseDistance_ = 0, distance_ = 0;
  CVector baseOffset_, offset_;
  QString typed_;
  std::array<bool, 3> tracking_{};
};

}  // namespace mw
