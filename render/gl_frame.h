// The perspective pane's OpenGL: fixed state, projection, light, and the frame.
//
// Every function here expects the perspective pane's context to be current. The drawing model is
// fixed-function OpenGL: one directional light fixed to the eye, materials. The frame here is
// drawn in immediate mode and is the reference the pane's buffer renderer (frame_arrays.h)
// must match pixel for pixel.
#pragma once

#include <cstdint>

#include "image/material_texture.h"
#include "scene/meshwright.h"
#include "scene/polygon_triangles.h"

namespace mw {

// Components of a 0x00BBGGRR colour as 0..1 floats (r, g, b).
inline void ColorToFloats(std::uint32_t bgr, float out[3]) {
  out[0] = static_cast<float>(bgr & 0xFF) / 255.0f;
  out[1] = static_cast<float>((bgr >> 8) & 0xFF) / 255.0f;
  out[2] = static_cast<float>((bgr >> 16) & 0xFF) / 255.0f;
}

// Wrap S and T repeat, magnification and minification linear, on the bound 2D texture target.
void SetTextureParameters();
// Depth test, culling of front faces, normalisation, light 0, blending, texture parameters.
void SetupGlState();
// Clear colour from the scene's background, and clear.
void SetClearColor(const CMeshwright& scene);
// Projection (field of view, near 100, far 10000; orthographic for the scene's parallel camera,
// see ParallelHalfHeight) and viewport; a height of 0 leaves the projection as it was.
void SetViewport(CMeshwright& scene, int width, int height, int framebufferWidth, int framebufferHeight);
// Light 0 (diffuse and specular white, local viewer off); the light's position is taken through
// the current model-view matrix. By default a directional light from the eye.
struct GlLight {
  float position[4];  // w 0: directional
  float ambient[4];
};
inline constexpr GlLight kEyeLight = {{0.0f, 0.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 1.0f, 1.0f}};
void SetLights(const GlLight& light = kEyeLight);
// Uploads textures whose upload had to wait, clears, lights and applies the camera (translation,
// rotation X then Y then Z, zoom): everything of a frame before the models.
void BeginPerspectiveFrame(CMeshwright& scene, TextureUploader* uploader);
// BeginPerspectiveFrame, then every model in immediate mode. The caller swaps buffers. `caches`
// (resized to one per model) keeps triangles of faces of more than four corners between frames.
void DrawPerspectiveFrame(CMeshwright& scene, TextureUploader* uploader,
                          std::vector<PolygonTriangleCache>* caches = nullptr);
// One model, material by material; hidden models and faces whose material is unknown draw nothing.
// Faces of more than four corners are drawn as the triangles `triangles` keeps for them (without
// a cache they are split for this call only).
void DrawModelGl(const CModel& model, std::int32_t smoothing, const std::vector<CMaterial>& materials,
                 PolygonTriangleCache* triangles = nullptr);
// Colours and shininess for both faces, and the texture bound or texturing disabled.
void ApplyMaterial(const CMaterial& material);

// The OpenGL side of texture loading.
class GlTextureUploader : public TextureUploader {
 public:
  // `makeCurrent` makes the perspective pane's context current and says whether it could.
  using MakeCurrent = bool (*)(void* owner);
  GlTextureUploader(MakeCurrent makeCurrent, void* owner) : makeCurrent_(makeCurrent), owner_(owner) {}
  std::uint32_t Upload(const DibStream& image, std::int32_t components, std::uint32_t format) override;
  void Delete(std::uint32_t textureObject) override;

 private:
  MakeCurrent makeCurrent_;
  void* owner_;
};

// Upload with the current context (no context switching).
std::uint32_t UploadTexture(const DibStream& image, std::int32_t components, std::uint32_t format);

}  // namespace mw
