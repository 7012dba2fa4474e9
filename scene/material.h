// A material: colour and lighting factors, file names, and the loaded texture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace mw {

class DibStream;  // decoded image, defined by the image layer

inline constexpr std::uint32_t kGlBgr = 0x80E0;
inline constexpr std::uint32_t kGlBgra = 0x80E1;

class CMaterial {
 public:
  std::int32_t id = 0;
  std::string name = "NoMaterial";  // CP932 bytes
  float color[4] = {0.8f, 0.8f, 0.8f, 1.0f};
  float diffuse = 1.0f;
  float ambient = 0.25f;
  float emissive = 0.0f;
  float specular = 0.0f;
  float power = 5.0f;
  std::string texture;     // file name beside the document or in the texture folder (CP932)
  std::string alphaPlane;  // stored only
  std::string bump;        // stored only

  // The loaded texture. Copies of a material share the image (the pointer is shared, so no copy
  // can outlive it); only ReleaseTexture lets go of it. The GL object is owned by whoever loaded it.
  std::uint32_t textureObject = 0;
  std::shared_ptr<DibStream> textureImage;
  // Set when loading the named texture failed: the name is kept (so saving loses nothing), the
  // material draws untextured and the load is not retried until the texture is released.
  bool textureFailed = false;
  // The file the texture name was found as (UTF-8), empty when none was found; kept with the image.
  std::string textureFile;

  float diffuseRGBA[4];
  float ambientRGBA[4];
  float specularRGBA[4];
  float emissionRGBA[4];
  std::int32_t textureComponents = 3;
  std::uint32_t texturePixelFormat = kGlBgr;

  CMaterial() { UpdateMaterialColors(); }
  explicit CMaterial(std::int32_t identifier) : id(identifier) { UpdateMaterialColors(); }

  void UpdateMaterialColors();

  // Texture entry points; the work is done by the installed TextureService (image/render layers).
  void LoadTexture();
  void ReleaseTexture();
};

}  // namespace mw
