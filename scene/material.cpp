#include "scene/material.h"

#include "scene/texture_service.h"

namespace mw {
namespace {
TextureService* g_textureService = nullptr;
}

TextureService* SetTextureService(TextureService* service) {
  TextureService* old = g_textureService;
  g_textureService = service;
  return old;
}

TextureService* GetTextureService() { return g_textureService; }

void CMaterial::UpdateMaterialColors() {
  const float r = color[0], g = color[1], b = color[2], a = color[3];
  diffuseRGBA[0] = r * diffuse;
  diffuseRGBA[1] = g * diffuse;
  diffuseRGBA[2] = b * diffuse;
  diffuseRGBA[3] = a;
  ambientRGBA[0] = r * ambient;
  ambientRGBA[1] = g * ambient;
  ambientRGBA[2] = b * ambient;
  ambientRGBA[3] = a;
  specularRGBA[0] = specular;
  specularRGBA[1] = specular;
  specularRGBA[2] = specular;
  specularRGBA[3] = a;
  emissionRGBA[0] = r * emissive;
  emissionRGBA[1] = g * emissive;
  emissionRGBA[2] = b * emissive;
  emissionRGBA[3] = a;
}

void CMaterial::LoadTexture() {
  if (g_textureService) g_textureService->Load(*this);
}

void CMaterial::ReleaseTexture() {
  if (g_textureService) g_textureService->Release(*this);
}

}  // namespace mw
