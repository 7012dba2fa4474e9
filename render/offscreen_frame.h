// The perspective frame drawn without a window or a display: thumbnails and pictures for scripts.
//
// The context is made through EGL on Mesa's surfaceless platform, so it needs neither an X server
// nor a GPU (Mesa falls back to its software rasteriser). The frame is drawn by the perspective
// pane's own renderer into a framebuffer object and read back, so a picture looks like the pane,
// with the camera moved so that the whole document fits the picture.
#pragma once

#include <QImage>
#include <memory>
#include <optional>
#include <string>

#include "image/material_texture.h"
#include "render/display_style.h"
#include "render/gl_frame.h"
#include "scene/meshwright.h"

namespace mw {

// Where the camera goes so that a document fits a picture.
struct CameraFit {
  CVector translation;
  float zoom = 100.0f;
};

// The translation and zoom that put every vertex of the visible models inside a frame of the
// given width : height, seen with the scene's camera rotation and field of view, the wider
// extent filling `fill` of the frame. All of it lies well within the pane's depth range (near
// 100, far 10000). Nothing when no visible model has a vertex (or the field of view cannot show
// anything).
std::optional<CameraFit> FitCamera(const CMeshwright& scene, double aspect, double fill = 0.9);

// An OpenGL context of its own, with nothing to draw on but framebuffer objects.
class OffscreenContext {
 public:
  OffscreenContext();
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  // Makes the context and makes it current. False, with `error` saying why (in English), when
  // there is no EGL, no surfaceless platform or no desktop OpenGL with the fixed-function pipeline.
  bool Create(std::string* error);
  // Makes the context current again (after some other context was); false when there is none.
  bool MakeCurrent();
  // Uploads textures into this context.
  TextureUploader* uploader() { return &uploader_; }

 private:
  static bool MakeCurrentFor(void* self);
  struct Egl;
  std::unique_ptr<Egl> egl_;
  GlTextureUploader uploader_;
};

// Draws `scene` as the perspective pane draws it (background, light, materials, textures, the
// scene's camera as it stands) into a width x height picture. With `smooth` the edges are
// smoothed by drawing at twice the size and scaling down, where the context allows; without,
// the pixels are the pane's own. The context must be current; `uploader` uploads the textures
// that were decoded before it was. A null image, with `error` set, when the framebuffer cannot
// be made (a size of 0, or larger than the context takes).
// `style` (shaded, perspective by default) is drawn as the pane draws it; its camera becomes the
// scene's (scene.parallelCamera).
QImage DrawOffscreenFrame(CMeshwright& scene, int width, int height, TextureUploader* uploader, std::string* error,
                          bool smooth = true, const DisplayStyle& style = {});

// The largest picture, each side: a 4096 x 4096 picture already takes some 300 MB on its way to
// the file.
inline constexpr int kMaxPictureSide = 4096;

}  // namespace mw
