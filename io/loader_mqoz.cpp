#include "io/loader_mqoz.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "platform/child_process.h"
#include "platform/encoding.h"
#include "scene/texture_service.h"

namespace mw {
namespace {

namespace fs = std::filesystem;

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};
struct ZipFileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

// The entry's place inside the folder, or empty when its name would lead out of it.
fs::path SafeRelativePath(const std::string& rawName) {
  // Names in archives made on Windows are CP932 unless the archive says UTF-8; a CP932 name is
  // practically never valid UTF-8, so validity decides.
  bool nonAscii = false;
  const bool utf8 = ValidUtf8(reinterpret_cast<const unsigned char*>(rawName.data()), rawName.size(), nonAscii);
  const std::string name = utf8 ? rawName : Cp932ToUtf8(rawName);
  if (name.empty() || name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':')) return {};
  fs::path out;
  std::string part;
  auto flush = [&]() -> bool {
    if (part == "..") return false;
    if (!part.empty() && part != ".") out /= part;
    part.clear();
    return true;
  };
  for (char c : name) {
    if (c == '/' || c == '\\') {
      if (!flush()) return {};
    } else {
      part += c;
    }
  }
  if (!flush()) return {};
  return out;
}

bool IsMqo(const fs::path& p) {
  std::string ext = p.extension().string();
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext == ".mqo";
}

bool Extract(zip_t* zip, zip_uint64_t index, std::uint64_t size, const fs::path& to) {
  std::unique_ptr<zip_file_t, ZipFileCloser> in(zip_fopen_index(zip, index, 0));
  if (!in) return false;
  std::FILE* out = std::fopen(to.c_str(), "wb");
  if (!out) return false;
  std::vector<char> buffer(1 << 16);
  std::uint64_t total = 0;
  bool ok = true;
  for (;;) {
    const zip_int64_t n = zip_fread(in.get(), buffer.data(), buffer.size());
    if (n < 0) {  // damaged data or a checksum that does not match
      ok = false;
      break;
    }
    if (n == 0) break;
    total += static_cast<std::uint64_t>(n);
    if (total > size ||
        std::fwrite(buffer.data(), 1, static_cast<std::size_t>(n), out) != static_cast<std::size_t>(n)) {
      ok = false;
      break;
    }
  }
  return std::fclose(out) == 0 && ok && total == size;
}

}  // namespace

bool ImportCompressedMetasequoia(CMeshwright& scene, const std::string& path, MqoReadInfo* info,
                                 const MqozLimits& limits) {
  MqoReadInfo local;
  MqoReadInfo& result = info ? *info : local;
  result = MqoReadInfo{};
  auto fail = [&result](int code) {
    result.code = code;
    return false;
  };
  if (std::FILE* probe = std::fopen(path.c_str(), "rb")) std::fclose(probe);
  else return fail(kMqoCannotOpen);
  int error = 0;
  std::unique_ptr<zip_t, ZipCloser> zip(zip_open(path.c_str(), ZIP_RDONLY, &error));
  if (!zip) return fail(error == ZIP_ER_OPEN || error == ZIP_ER_READ ? kMqoCannotOpen : kMqoNotMetasequoia);
  const zip_int64_t entries = zip_get_num_entries(zip.get(), 0);
  if (entries < 0) return fail(kMqoDamagedArchive);
  if (entries > limits.entries) return fail(kMqoArchiveTooLarge);

  // Everything is checked before anything is written.
  struct Entry {
    zip_uint64_t index;
    std::uint64_t size;
    fs::path relative;
    bool folder;
  };
  std::vector<Entry> files;
  std::uint64_t total = 0;
  std::int64_t document = -1;
  for (zip_int64_t i = 0; i < entries; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    const auto index = static_cast<zip_uint64_t>(i);
    if (zip_stat_index(zip.get(), index, ZIP_FL_ENC_RAW, &st) != 0 || !(st.valid & ZIP_STAT_NAME) ||
        !(st.valid & ZIP_STAT_SIZE))
      return fail(kMqoDamagedArchive);
    const std::string raw(st.name);
    const fs::path relative = SafeRelativePath(raw);
    if (relative.empty()) continue;
    const bool folder = raw.back() == '/' || raw.back() == '\\';
    if (total > limits.bytes || st.size > limits.bytes - total) return fail(kMqoArchiveTooLarge);
    total += st.size;
    if (!folder && document < 0 && IsMqo(relative)) document = static_cast<std::int64_t>(files.size());
    files.push_back({index, st.size, relative, folder});
  }
  if (document < 0) return fail(kMqoNotMetasequoia);
  struct stat archive {};
  const std::uint64_t archiveBytes = stat(path.c_str(), &archive) == 0 ? static_cast<std::uint64_t>(archive.st_size) : 0;
  const bool unbounded = limits.ratio == 0 || archiveBytes > (UINT64_MAX - kMqozRatioAllowance) / limits.ratio;
  if (!unbounded && total > limits.ratio * archiveBytes + kMqozRatioAllowance) {
    result.detail = "展開すると元のファイルの " + std::to_string(limits.ratio) + " 倍を超える大きさになります";
    return fail(kMqoArchiveTooLarge);
  }

  // Locked while in use, so one left by a killed process is removed at the next start.
  const TempFolder extracted(kMqozTempPrefix);
  if (extracted.path().empty()) return fail(kMqoCannotOpen);
  const fs::path folder(extracted.path());
  for (const Entry& e : files) {
    const fs::path target = folder / e.relative;
    std::error_code ec;
    fs::create_directories(e.folder ? target : target.parent_path(), ec);
    if (ec) return fail(kMqoCannotOpen);
    if (e.folder) continue;
    if (!Extract(zip.get(), e.index, e.size, target)) return fail(kMqoDamagedArchive);
  }
  const fs::path mqo = folder / files[static_cast<std::size_t>(document)].relative;
  // Texture names are looked up beside the extracted document while it is read (the pictures are
  // decoded then, before the folder goes); afterwards the document is the archive again.
  TextureService* textures = GetTextureService();
  const std::string previous = textures ? textures->DocumentPath() : std::string();
  SetTextureDocument(mqo.string());
  const bool ok = ImportMetasequoia(scene, mqo.string(), &result);
  SetTextureDocument(previous);
  return ok;
}

}  // namespace mw
