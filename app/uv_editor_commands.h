// The UV window (表示 → UVエディタ): a dock beside the panes, or a window of its own when pulled
// out, that shows the selected faces' UVs over the current material's texture and edits them
// (view/uv_editor.h). Its own menus and tool bar hold the selection modes, the tools, the numeric
// input, flipping, aligning, pixel snapping and the stretch overlay; its status line counts the
// shown faces, the selected UV vertices and the faces that overlap in UV space.
//
// Settings group "UVEditor": Visible, Floating, Area (the dock area), Width and Geometry (the
// floating window's), written when the main window closes and read when it opens.
//
// Seams (scene/uv_ops.h) are drawn in red; the stretch overlay colours each face by its area ratio
// or its angle distortion, blue for none to red for four times (or a quarter of) its share of
// the texture, or a mean angle error of 45 degrees.
#pragma once

#include <QDockWidget>
#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>

#include "view/uv_editor.h"

class QDialog;
class QLabel;
class QMainWindow;
class QMenuBar;
class QToolBar;

namespace mw {

class CMeshwright;
class CMeshwrightDoc;
class CommandRegistry;
class DibStream;

class UVEditorDock : public QDockWidget {
  Q_OBJECT
 public:
  UVEditorDock(CMeshwright& scene, CMeshwrightDoc& doc, QMainWindow* window);

  UVEditorPane* pane() const { return pane_; }
  QLabel* statusLine() const { return status_; }
  QToolBar* toolBar() const { return toolBar_; }
  QMenuBar* menus() const { return menus_; }

  // Where and how it was left (settings group "UVEditor"); hidden the first time.
  void RestoreState();
  void StoreState() const;

  // The document's views refresh (its hint, app/commands.h).
  void OnUpdate(int hint);

  UVStretchShown stretch = UVStretchShown::kNone;
  bool snapToPixels = false;
  std::function<int(QDialog&)> runDialog;
  std::function<void()> refreshPerspective;  // a drag moved UVs: the perspective pane repaints

  // The current material's picture size, or 0 x 0 for none (snapping is then off).
  QSize TextureSize() const { return texture_.isNull() ? QSize() : texture_.size(); }
  void ApplyOptions();
  void UpdateStatus();

 private:
  void UpdateTexture();

  CMeshwright& scene_;
  CMeshwrightDoc& doc_;
  QMainWindow* window_;
  UVEditorPane* pane_ = nullptr;
  QLabel* status_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QMenuBar* menus_ = nullptr;
  QImage texture_;
  const DibStream* textureFrom_ = nullptr;  // the decoded image texture_ was made from
  // The overlapping faces of the layout of this generation (counted once per layout).
  std::uint64_t overlapsOf_ = 0;
  std::size_t overlaps_ = 0;
};

// Registers the UV window's commands and fills its menus and tool bar. `afterRun` refreshes the
// window's command states.
void RegisterUVEditorCommands(CommandRegistry& commands, UVEditorDock& dock, const std::function<void()>& afterRun);

}  // namespace mw
