#include "image/material_texture.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <string_view>

#include "image/image_readers.h"
#include "platform/encoding.h"
#include "platform/confined_path.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace mw {
namespace {

bool IsFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The first candidate found when letter case is ignored in its file name (names from Windows
// files often differ from the file's in case: TEST.PNG for test.png). Each folder is listed once.
std::string FindIgnoringCase(const std::vector<std::string>& candidates) {
  std::map<std::string, std::vector<std::string>> listings;
  for (const std::string& path : candidates) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
    const std::string_view name = slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
    auto [at, added] = listings.try_emplace(folder);
    if (added) {
      if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) at->second.emplace_back(e->d_name);
        ::closedir(d);
      }
    }
    for (const std::string& entry : at->second)
      if (EqualsIgnoreCase(entry, name) && IsFile(folder + entry)) return folder + entry;
  }
  return std::string();
}

}  // namespace

std::string TextureFailureMessage(const std::vector<std::string>& cp932Names,
                                  const std::vector<std::string>& refusedCp932Names) {
  std::string text = kTextureLoadFailedMessage;
  for (const std::string& name : cp932Names) {
    text += "\n" + Cp932ToUtf8(name);
    if (std::find(refusedCp932Names.begin(), refusedCp932Names.end(), name) != refusedCp932Names.end())
      text += kTextureOutsideNote;
  }
  return text;
}

bool DecodeTexture(const std::string& path, DecodedTexture& out, std::int32_t squareSize) {
  auto image = std::make_shared<DibStream>();
  if (!LoadTextureImage(path, *image)) return false;
  if (squareSize > 0 && !image->Resample(squareSize, squareSize)) return false;
  DecodedTexture decoded;
  if (image->BitCount() == 32) {
    decoded.components = 4;
    decoded.format = kGlBgra;
  } else {
    if (!image->ConvertTo(24)) return false;
    decoded.components = 3;
    decoded.format = kGlBgr;
  }
  decoded.image = std::move(image);
  out = std::move(decoded);
  return true;
}

std::string DefaultTextureFolder() { return ProgramFolder() + "TEXTURE/"; }

std::vector<std::string> TextureCandidates(const std::string& cp932Name, const std::string& documentFolder,
                                           const std::string& textureFolder) {
  std::vector<std::string> out;
  if (cp932Name.empty()) return out;
  // Converted before the slashes are turned: in CP932 the second byte of a character may be the
  // byte of '\'.
  std::string name = Cp932ToUtf8(cp932Name);
  std::replace(name.begin(), name.end(), '\\', '/');
  auto add = [&out](std::string path) {
    if (std::find(out.begin(), out.end(), path) == out.end()) out.push_back(std::move(path));
  };
  if (name.front() == '/') {
    add(name);
  } else {
    if (!documentFolder.empty()) add(documentFolder + name);
    add(textureFolder + name);
  }
  const std::size_t slash = name.rfind('/');
  if (slash != std::string::npos && slash + 1 < name.size()) {
    const std::string base = name.substr(slash + 1);
    if (!documentFolder.empty()) add(documentFolder + base);
    add(textureFolder + base);
  }
  return out;
}

std::string DocumentFolderOf(const std::string& documentPath) {
  if (documentPath.empty()) return std::string();
  const std::size_t slash = documentPath.rfind('/');
  return slash == std::string::npos ? std::string("./") : documentPath.substr(0, slash + 1);
}

MaterialTextures::MaterialTextures(TextureUploader* uploader, std::string textureFolder)
    : uploader_(uploader), folder_(std::move(textureFolder)) {
  if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

std::string MaterialTextures::Find(const std::string& cp932Name, bool* refused) const {
  if (refused) *refused = false;
  const std::string documentFolder = DocumentFolderOf(documentPath_);
  // A name is read from the document's folder or the texture folder, never from elsewhere, so a
  // document cannot make the program read (and show) any other file of the user's.
  FolderConfinement allowed;
  if (!documentFolder.empty()) allowed.Allow(documentFolder);
  allowed.Allow(folder_);
  for (const std::string& f : pastedFrom_) allowed.Allow(f);
  const auto inside = [&](const std::string& path) {
    std::string real;
    switch (allowed.Check(path, &real)) {
      case Confinement::kInside:
        if (IsFile(real)) return real;
        break;
      case Confinement::kOutside:
        if (refused) *refused = true;
        break;
      case Confinement::kMissing: break;
    }
    return std::string();
  };
  const std::vector<std::string> candidates = TextureCandidates(cp932Name, documentFolder, folder_);
  for (const std::string& path : candidates)
    if (std::string real = inside(path); !real.empty()) return real;
  // Only when no candidate exists as named does letter case count for nothing; the file found that
  // way is held to the same folders.
  if (const std::string loose = FindIgnoringCase(candidates); !loose.empty()) return inside(loose);
  return std::string();
}

void MaterialTextures::AllowFolder(const std::string& folder) {
  if (!folder.empty() && std::find(pastedFrom_.begin(), pastedFrom_.end(), folder) == pastedFrom_.end())
    pastedFrom_.push_back(folder);
}

std::string MaterialTextures::PathOf(const std::string& cp932Name) const {
  std::string found = Find(cp932Name);
  if (!found.empty()) return found;
  std::string name = Cp932ToUtf8(cp932Name);
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.empty() || name.front() != '/') return folder_ + name;
  // An absolute name that exists was refused: what it stands for is its file name in the folder.
  return RealPathOf(name).empty() ? name : folder_ + name.substr(name.rfind('/') + 1);
}

void MaterialTextures::BeginBatch() {
  if (batchDepth_++ == 0) {
    failed_.clear();
    refused_.clear();
  }
}

void MaterialTextures::EndBatch() {
  if (batchDepth_ == 0 || --batchDepth_ > 0) return;
  if (!failed_.empty()) ShowMessage(TextureFailureMessage(failed_, refused_), MessageIcon::Warning);
  failed_.clear();
  refused_.clear();
}

void MaterialTextures::Failed(const std::string& name, bool refused) {
  if (batchDepth_ == 0) {
    ShowMessage(TextureFailureMessage({name}, refused ? std::vector<std::string>{name} : std::vector<std::string>{}),
                MessageIcon::Warning);
    return;
  }
  if (std::find(failed_.begin(), failed_.end(), name) == failed_.end()) failed_.push_back(name);
  if (refused && std::find(refused_.begin(), refused_.end(), name) == refused_.end()) refused_.push_back(name);
}

void MaterialTextures::Load(CMaterial& m) {
  if (m.texture.empty() || m.textureFailed || m.textureImage) return;
  bool refused = false;
  m.textureFile = Find(m.texture, &refused);
  DecodedTexture decoded;
  if (m.textureFile.empty() || !DecodeTexture(m.textureFile, decoded)) {
    m.textureFailed = true;
    Failed(m.texture, refused && m.textureFile.empty());
    return;
  }
  m.textureImage = std::move(decoded.image);
  m.textureComponents = decoded.components;
  m.texturePixelFormat = decoded.format;
  if (uploader_) m.textureObject = uploader_->Upload(*m.textureImage, m.textureComponents, m.texturePixelFormat);
}

void MaterialTextures::Release(CMaterial& m) {
  if (m.textureObject && uploader_) uploader_->Delete(m.textureObject);
  m.textureObject = 0;
  m.textureImage.reset();
  m.textureFailed = false;
  m.textureFile.clear();
}

std::string TexturePathFor(const std::string& cp932Name) {
  if (const TextureService* s = GetTextureService()) {
    std::string path = s->PathOf(cp932Name);
    if (!path.empty()) return path;
  }
  return MaterialTextures(nullptr, DefaultTextureFolder()).PathOf(cp932Name);
}

std::string TextureFolderInUse() {
  if (const TextureService* s = GetTextureService()) {
    std::string folder = s->Folder();
    if (!folder.empty()) return folder;
  }
  return DefaultTextureFolder();
}

}  // namespace mw
