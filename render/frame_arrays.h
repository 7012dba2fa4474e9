// The perspective frame drawn from buffer objects.
//
// Each model's faces are laid out once, material by material in the order the frame draws them,
// as corners of lines, triangles and quadrilaterals, and kept in a buffer object until the model's
// geometry or the list of materials changes. A frame then costs one draw call per run of faces of
// one material and kind instead of one primitive per face, and gives exactly the pixels of
// DrawPerspectiveFrame (the immediate-mode reference): same primitives, same order, same values,
// down to the normal and texture coordinate a line or a face without coordinates inherits from
// whatever was drawn before it.
//
// Triangles (and the triangles larger faces are split into) name shared corners by index, so
// that a corner met by several of them is transformed and lit once. Quadrilaterals stay
// quadrilaterals drawn from their own four corners: software OpenGL (llvmpipe) splits a
// smooth-shaded quadrilateral that comes from an array along the diagonal from its first corner,
// but along the other one when it comes by index, when it is flat-shaded, or when the run of
// corners it arrives in needs clipping (the run crosses the near plane or the pane's edge). For
// the same reason a large smooth model partly outside the pane can differ from the reference by
// a few pixels along such faces: immediate mode cuts its runs where its own vertex buffer fills,
// which depends on what was drawn before, so there the reference differs from itself from one
// frame to the next, while these buffers always send the same runs.
//
// A model whose subdivision is on draws its refined surface (scene/subdivision.h) through the same
// arrays; the immediate-mode reference knows nothing of it.
//
// A model is rebuilt when a 64-bit key over everything its arrays are made of differs from the
// kept one: positions, vertex normals, corners, texture coordinates, face materials, and the
// material identifiers in their order. Colours, textures, smoothing and visibility are applied
// at draw time and cost no rebuild, except that a material starting or ceasing to draw textured
// lays out the models with triangles again (for an untextured material their corners' texture
// coordinates keep no corners apart).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "image/material_texture.h"
#include "render/display_style.h"
#include "scene/meshwright.h"
#include "scene/subdivision.h"

namespace mw {

class PerspectiveRenderer {
 public:
  PerspectiveRenderer();
  ~PerspectiveRenderer();
  PerspectiveRenderer(const PerspectiveRenderer&) = delete;
  PerspectiveRenderer& operator=(const PerspectiveRenderer&) = delete;

  // Everything DrawPerspectiveFrame does, with the models drawn from their buffers. The context
  // must be current, and the same one on every call.
  //
  // `sceneMayHaveChanged` false promises that no model's geometry, faces or the material list
  // changed in place since the previous frame (only the camera, zoom, colours or visibility
  // did): the models are then not gone over for their keys, which at a million faces costs a good
  // part of a frame. Models whose storage or sizes differ are still checked.
  void DrawFrame(CMeshwright& scene, TextureUploader* uploader, bool sceneMayHaveChanged = true);
  // The same frame (camera, light, background, materials of `scene`) with `models` drawn in
  // place of the scene's: the stand-in of scene/stand_in.h. A renderer keeps the buffers of the
  // models it was last given, so one renderer serves the scene and another its stand-in.
  void DrawFrame(CMeshwright& scene, const std::vector<CModel>& models, TextureUploader* uploader,
                 bool modelsMayHaveChanged);
  // The rebuild key of model `i` as the last frame that went over it found it (0 when it was
  // never laid out): together they tell whether the geometry changed since a stand-in was made.
  std::uint64_t ModelKey(std::size_t i) const;
  // How the next frames draw the models (shaded by default); the buffers serve every style.
  void SetStyle(const DisplayStyle& style) { style_ = style; }
  const DisplayStyle& style() const { return style_; }
  // Deletes the buffers (the context must be current); the next frame builds them again.
  void Release();
  // Models laid out since construction: tells tests and benchmarks whether the buffers held.
  std::size_t Builds() const { return builds_; }
  // Whether the last frame drew a model's surface one level coarser while its vertices moved
  // (scene/subdivision.h): the caller paints again, with the scene marked changed, once they rest.
  bool DrewDraft() const { return surfaces_.DrewDraft(); }

 private:
  struct ModelArrays;
  void DrawModel(const CModel& model, std::int32_t smoothing, const std::vector<CMaterial>& materials,
                 ModelArrays& arrays, bool mayHaveChanged);
  static void DeleteBuffers(ModelArrays& arrays);
  void DrawSteps(const ModelArrays& arrays, const std::vector<CMaterial>& materials, bool applyMaterials);

  std::vector<std::unique_ptr<ModelArrays>> models_;
  // Models with subdivision on are drawn as their smooth surface (limit positions and normals,
  // always smooth-shaded) in place of their faces.
  SurfaceCache surfaces_;
  // What the immediate path would leave as the current normal and texture coordinate, carried from
  // model to model and frame to frame as the context carries them.
  float normal_[3] = {0.0f, 0.0f, 1.0f};
  float texCoord_[2] = {0.0f, 0.0f};
  int buffers_ = -1;  // whether the context has buffer objects: -1 not asked yet, 0 no, 1 yes
  std::size_t builds_ = 0;
  DisplayStyle style_;
};

// The rebuild key of one model drawn with `materials` (exposed for tests).
std::uint64_t PerspectiveKey(const CModel& model, const std::vector<CMaterial>& materials);

}  // namespace mw
