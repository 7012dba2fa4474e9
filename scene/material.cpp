#include "scene/material.h"

#include "scene/texture_service.h"

namespace mw {
namespace {
TextureService* g_textureService = nullptr;
// A thread's own choice, when it made one (ThreadTextureServiceScope).
thread_local bool t_overridden = false;
thread_local TextureService* t_textureService = nullptr;

TextureService* Service() { return t_overridden ? t_textureService : g_textureService; }
}  // namespace

ThreadTextureServiceScope::ThreadTextureServiceScope(TextureService* service)
    : previous_(t_textureService), hadOverride_(t_overridden) {
  t_overridden = true;
  t_textureService = service;
}

ThreadTextureServiceScope::~ThreadTextureServiceScope() {
  t_overridden = hadOverride_;
  t_textureService = previous_;
}

TextureService* SetTextureService(TextureService* service) {
  TextureService* old = g_textureService;
  g_textureService = service;
  return old;
}

TextureService* GetTextureService() { return Service(); }

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
  if (TextureService* s = Service()) s->Load(*this);
}

void CMaterial::ReleaseTexture() {
  if (TextureService* s = Service()) s->Release(*this);
}

}  // namespace mw
