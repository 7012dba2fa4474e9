// How the scene reaches texture loading without depending on images or OpenGL.
//
// The image layer decodes, the render layer uploads; the application installs a service that
// does both, tools install one that only decodes, and tests install recorders. With no service
// installed, loading and releasing do nothing.
#pragma once

namespace mw {

class CMaterial;

class TextureService {
 public:
  virtual ~TextureService() = default;
  virtual void Load(CMaterial& material) = 0;
  virtual void Release(CMaterial& material) = 0;
};

// Installs `service` (not owned; may be null) and returns the previous one.
TextureService* SetTextureService(TextureService* service);
TextureService* GetTextureService();

}  // namespace mw
