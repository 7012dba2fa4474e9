// JPEG and PNG through the decoder plugins, loaded for one read and unloaded right after.
#include <dlfcn.h>

#include <cstring>

#include "image/image_readers.h"
#include "platform/paths.h"
#include "plugins/mlib_api.h"

namespace mw {
namespace {

// Plugins live beside the program. They are looked for there by full path first: a bare name is
// resolved with the search path of whoever calls dlopen, which is not the program when a
// sanitizer runtime intercepts the call. The bare name is the fallback.
class Plugin {
 public:
  explicit Plugin(const char* name) {
    handle_ = dlopen((ProgramFolder() + name).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) handle_ = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  }
  ~Plugin() {
    if (handle_) dlclose(handle_);
  }
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;
  void* Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

 private:
  void* handle_;
};

struct JpgContext {
  DibStream* image;
  int height;
  ProgressCallback progress;
  void* user;
};

int OnJpgCreate(const JpgImageInfo* info, void* context) {
  auto* c = static_cast<JpgContext*>(context);
  if (!info || info->height <= 0) return 0;
  // More palette entries than an 8-bit table holds would write past it.
  if (info->bitCount == 8 && (info->paletteCount < 0 || info->paletteCount > 256)) return 0;
  if (!MwPictureWithinBudget(info->width, info->height, info->bitCount)) return 0;
  if (!c->image->Create(info->width, info->height, info->bitCount)) return 0;
  c->height = info->height;
  if (info->bitCount == 8 && info->paletteCount > 0 && info->palette)
    std::memcpy(c->image->ColorTable(), info->palette, 4 * static_cast<std::size_t>(info->paletteCount));
  return 1;
}

unsigned char* OnJpgRow(int row, void* context) {
  auto* c = static_cast<JpgContext*>(context);
  if (c->image->IsEmpty() || row < 0 || row >= c->height) return nullptr;
  if (c->progress && !c->progress(static_cast<float>(row) / static_cast<float>(c->height), c->user)) return nullptr;
  return c->image->Row(row);
}

struct PngContext {
  ProgressCallback progress;
  void* user;
};

int OnPngProgress(float fraction, void* context) {
  auto* c = static_cast<PngContext*>(context);
  return (!c->progress || c->progress(fraction, c->user)) ? 1 : 0;
}

}  // namespace

bool LoadJpg(const char* path, DibStream& image, ProgressCallback progress, void* user) {
  Plugin plugin("mlibjpg.so");
  auto load = reinterpret_cast<LoadJpgFn>(plugin.Symbol("LoadJPG"));
  return load && LoadJpgThrough(load, path, image, progress, user);
}

bool LoadPng(const char* path, DibStream& image, ProgressCallback progress, void* user) {
  Plugin plugin("mlibpng.so");
  auto load = reinterpret_cast<LoadPngFn>(plugin.Symbol("LoadPNG"));
  return load && LoadPngThrough(load, path, image, progress, user);
}

bool LoadJpgThrough(LoadJpgFn load, const char* path, DibStream& image, ProgressCallback progress, void* user) {
  JpgContext context{&image, 0, progress, user};
  return load(path, OnJpgCreate, OnJpgRow, &context) != 0;
}

bool LoadPngThrough(LoadPngFn load, const char* path, DibStream& image, ProgressCallback progress, void* user) {
  unsigned char* header = nullptr;
  unsigned char* pixels = nullptr;
  PngContext context{progress, user};
  if (!load(path, &header, &pixels, OnPngProgress, &context)) return false;
  if (!header || !pixels) {
    FreeBlock(kGlobalFixed, header);
    FreeBlock(kGlobalFixed, pixels);
    return false;
  }
  const std::uint32_t colors = static_cast<std::uint32_t>(header[32]) | (header[33] << 8) | (header[34] << 16) |
                               (static_cast<std::uint32_t>(header[35]) << 24);
  return image.Attach(header, kGlobalFixed, pixels, kGlobalFixed, 40 + 4 * static_cast<std::size_t>(colors));
}

bool LoadTextureImage(const std::string& path, DibStream& image) {
  const std::string ext = PathExtension(path);
  auto is = [&ext](const char* e) { return EqualsIgnoreCase(ext, e); };
  if (is("bmp")) return image.LoadBmp(path.c_str(), kAllDepths);
  if (is("ppm") || is("pgm")) return LoadPpm(path.c_str(), image);
  if (is("tga")) return LoadTga(path.c_str(), image);
  if (is("png")) return LoadPng(path.c_str(), image);
  if (is("jpg")) return LoadJpg(path.c_str(), image);
  if (is("iff")) return LoadIff(path.c_str(), image);
  return false;
}

}  // namespace mw
