// Material textures: the decoding side.
//
// A material names a file in the TEXTURE folder beside the program. Loading decodes it here and
// hands the pixels to a TextureUploader, which the render layer implements with OpenGL (tests and
// the converter pass none and only decode). A texture that fails to load keeps its name, is
// reported once with the message "テクスチャの読み込みに失敗しました", draws untextured and is
// not tried again until it is released.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "image/dib_stream.h"
#include "scene/material.h"
#include "scene/texture_service.h"

namespace mw {

class TextureUploader {
 public:
  virtual ~TextureUploader() = default;
  // Creates a texture object from `image` (24-bit BGR or 32-bit BGRA rows as stored, bottom row
  // first for a bottom-up image) and returns its name, or 0 when no OpenGL context can be had now
  // (the draw uploads later).
  virtual std::uint32_t Upload(const DibStream& image, std::int32_t components, std::uint32_t format) = 0;
  virtual void Delete(std::uint32_t textureObject) = 0;
};

inline constexpr const char* kTextureLoadFailedMessage = "テクスチャの読み込みに失敗しました";

// The path a texture name stands for: the TEXTURE folder beside the program, the CP932 name
// converted to UTF-8.
std::string TexturePath(const std::string& cp932Name);

class MaterialTextures : public TextureService {
 public:
  // `uploader` may be null (decode only); not owned.
  explicit MaterialTextures(TextureUploader* uploader, std::string textureFolder = std::string());
  void Load(CMaterial& material) override;
  void Release(CMaterial& material) override;

  void SetUploader(TextureUploader* uploader) { uploader_ = uploader; }
  TextureUploader* Uploader() const { return uploader_; }

 private:
  TextureUploader* uploader_;
  std::string folder_;  // empty: the TEXTURE folder beside the program
};

// True when the material's texture is decoded and usable.
inline bool TextureLoaded(const CMaterial& m) { return m.textureImage && !m.textureImage->IsEmpty() && !m.textureFailed; }

}  // namespace mw
