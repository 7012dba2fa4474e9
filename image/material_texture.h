// Material textures: finding and decoding.
//
// A material names a texture file. The name is looked up beside the document it came with (an
// absolute name as it stands), then in the texture folder (by default TEXTURE beside the
// program); names from files may use either slash. Where no file has the name exactly, one
// whose name differs only in letter case is taken. Whatever the name, only a file inside the
// document's folder or the texture folder is read, once every symbolic link is followed
// (platform/confined_path.h); a name that leads elsewhere fails with a note saying so. Loading
// decodes the file here and hands the pixels to a TextureUploader, which the render layer
// implements with OpenGL (tests and the converter pass none and only decode). A texture that
// fails to load keeps its name, is reported with the message "テクスチャの読み込みに失敗しました"
// and the name (all the failures of one document in one message), draws untextured and is not
// tried again until it is released.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// Follows a name that led outside the document's folder and the texture folder.
inline constexpr const char* kTextureOutsideNote = " (文書のフォルダの外を指しているため読み込みませんでした)";

// The message for textures that could not be loaded: the text above, then each name (UTF-8) on
// a line of its own, those in `refusedCp932Names` with the note above.
std::string TextureFailureMessage(const std::vector<std::string>& cp932Names,
                                  const std::vector<std::string>& refusedCp932Names = {});

// A texture as OpenGL takes it: 24-bit BGR (3 components) or 32-bit BGRA (4).
struct DecodedTexture {
  std::shared_ptr<DibStream> image;
  std::int32_t components = 3;
  std::uint32_t format = kGlBgr;
};

// Reads the image file at `path` (UTF-8). 32-bit images keep their four bytes; every other depth
// is converted to 24 bits. A `squareSize` above 0 first resamples the image to that size (the
// material preview). False, with `out` untouched, when the file cannot be read or converted.
bool DecodeTexture(const std::string& path, DecodedTexture& out, std::int32_t squareSize = 0);

// The TEXTURE folder beside the program, with a trailing '/'.
std::string DefaultTextureFolder();

// The files a texture name may stand for, in the order they are tried: beside the document
// (`documentFolder`, empty for none; an absolute name as it stands), in `textureFolder`, and for
// a name with folders (such as a path from another machine) its last component in the same two
// places. The name is CP932; the paths are UTF-8 with '\' turned into '/'.
std::vector<std::string> TextureCandidates(const std::string& cp932Name, const std::string& documentFolder,
                                           const std::string& textureFolder);

// The folder of a document path with a trailing '/' ("./" for a bare file name, empty for none).
std::string DocumentFolderOf(const std::string& documentPath);

class MaterialTextures : public TextureService {
 public:
  // `uploader` may be null (decode only); not owned. `textureFolder` ends with '/'.
  MaterialTextures(TextureUploader* uploader, std::string textureFolder);
  void Load(CMaterial& material) override;
  void Release(CMaterial& material) override;
  void SetDocumentPath(const std::string& path) override { documentPath_ = path; }
  std::string DocumentPath() const override { return documentPath_; }
  void BeginBatch() override;
  void EndBatch() override;
  // The first candidate that exists, else the name in the texture folder (an absolute name as it
  // stands).
  std::string PathOf(const std::string& cp932Name) const override;
  std::string Folder() const override { return folder_; }
  void AllowFolder(const std::string& folder) override;

  void SetUploader(TextureUploader* uploader) { uploader_ = uploader; }
  TextureUploader* Uploader() const { return uploader_; }

 private:
  // The first candidate that exists inside the allowed folders (links followed), else the first
  // that does when the case of its file name is ignored, or empty; `refused` tells whether a
  // candidate existed outside them.
  std::string Find(const std::string& cp932Name, bool* refused = nullptr) const;
  void Failed(const std::string& cp932Name, bool refused);

  TextureUploader* uploader_;
  std::string folder_;
  std::string documentPath_;
  std::vector<std::string> pastedFrom_;
  int batchDepth_ = 0;
  std::vector<std::string> failed_;   // names gathered in a batch, each once
  std::vector<std::string> refused_;  // those of them that led outside the allowed folders
};

// The file the installed service would read for a name; without a service, the name in the
// default texture folder.
std::string TexturePathFor(const std::string& cp932Name);
// The folder textures are picked from: the installed service's, else the default.
std::string TextureFolderInUse();

// True when the material's texture is decoded and usable.
inline bool TextureLoaded(const CMaterial& m) {
  return m.textureImage && !m.textureImage->IsEmpty() && !m.textureFailed;
}

}  // namespace mw
