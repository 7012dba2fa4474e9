// One step of the undo history: an edit's kind, for the menu caption, and what it changed.
#pragma once

#include <QString>
#include <QUndoCommand>
#include <functional>
#include <memory>

#include "scene/scene_delta.h"

namespace mw {

class CMeshwright;

// The step's name in the menu: "元に戻す: 移動".
QString EditName(EditKind kind);

class SceneEditCommand : public QUndoCommand {
 public:
  // The edit has already been made when the command is pushed: the first redo does nothing.
  // `changed` runs after every undo and redo (the views refresh).
  SceneEditCommand(CMeshwright& scene, std::shared_ptr<SceneDelta> delta, std::function<void()> changed);

  void undo() override;
  void redo() override;

  const std::shared_ptr<SceneDelta>& delta() const { return delta_; }
  std::size_t bytes() const { return bytes_; }
  // For rebuilding the history without touching the scene: the next redo (or undo) is skipped.
  void SkipNextRedo() { skipRedo_ = true; }
  void SkipNextUndo() { skipUndo_ = true; }

 private:
  CMeshwright& scene_;
  std::shared_ptr<SceneDelta> delta_;
  std::function<void()> changed_;
  std::size_t bytes_;
  bool skipRedo_ = true;
  bool skipUndo_ = false;
};

}  // namespace mw
