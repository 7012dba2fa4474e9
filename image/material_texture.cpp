#include "image/material_texture.h"

#include "image/image_readers.h"
#include "platform/encoding.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace mw {

std::string TexturePath(const std::string& cp932Name) {
  return ProgramFolder() + "TEXTURE/" + Cp932ToUtf8(cp932Name);
}

MaterialTextures::MaterialTextures(TextureUploader* uploader, std::string textureFolder)
    : uploader_(uploader), folder_(std::move(textureFolder)) {}

void MaterialTextures::Load(CMaterial& m) {
  if (m.texture.empty() || m.textureFailed || m.textureImage) return;
  auto image = std::make_shared<DibStream>();
  const std::string path = folder_.empty() ? TexturePath(m.texture) : folder_ + Cp932ToUtf8(m.texture);
  if (!LoadTextureImage(path, *image)) {
    m.textureFailed = true;
    ShowMessage(kTextureLoadFailedMessage, MessageIcon::Warning);
    return;
  }
  if (image->BitCount() == 32) {
    m.textureComponents = 4;
    m.texturePixelFormat = kGlBgra;
  } else {
    if (!image->ConvertTo(24)) {
      m.textureFailed = true;
      ShowMessage(kTextureLoadFailedMessage, MessageIcon::Warning);
      return;
    }
    m.textureComponents = 3;
    m.texturePixelFormat = kGlBgr;
  }
  m.textureImage = std::move(image);
  if (uploader_) m.textureObject = uploader_->Upload(*m.textureImage, m.textureComponents, m.texturePixelFormat);
}

void MaterialTextures::Release(CMaterial& m) {
  if (m.textureObject && uploader_) uploader_->Delete(m.textureObject);
  m.textureObject = 0;
  m.textureImage.reset();
  m.textureFailed = false;
}

}  // namespace mw
