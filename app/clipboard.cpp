#include "app/clipboard.h"

#include <QByteArray>
#include <QMimeData>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "image/material_texture.h"
#include "io/fragment_obj.h"
#include "platform/encoding.h"

namespace mw {
namespace {

bool IsRegularFile(const std::string& utf8Path) {
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::path(utf8Path), error);
}

}  // namespace

QMimeData* FragmentMimeData(const SceneFragment& fragment) {
  auto* data = new QMimeData;
  const std::vector<std::uint8_t> bytes = EncodeFragment(fragment);
  data->setData(QString::fromLatin1(kFragmentMimeType),
                QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
  const std::string obj = FragmentObjText(fragment);
  data->setData(QString::fromLatin1(kObjMimeType), QByteArray(obj.data(), static_cast<qsizetype>(obj.size())));
  data->setText(QString::fromUtf8(obj.data(), static_cast<qsizetype>(obj.size())));
  if (!fragment.sourceFolder.empty())
    data->setData(QString::fromLatin1(kFragmentFolderMimeType),
                  QByteArray(fragment.sourceFolder.data(), static_cast<qsizetype>(fragment.sourceFolder.size())));
  return data;
}

bool HasFragment(const QMimeData* data) { return data && data->hasFormat(QString::fromLatin1(kFragmentMimeType)); }

ArchiveResult FragmentFromMimeData(const QMimeData& data, SceneFragment& fragment) {
  if (!HasFragment(&data)) return ArchiveResult{ArchiveError::kUnexpectedFormat, "no fragment on the clipboard"};
  const QByteArray bytes = data.data(QString::fromLatin1(kFragmentMimeType));
  ArchiveResult r = DecodeFragment(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size()), fragment);
  if (!r.ok()) return r;
  // Only a folder, as the copy wrote it: an absolute path ending in '/', of modest length.
  const QByteArray folder = data.data(QString::fromLatin1(kFragmentFolderMimeType));
  if (folder.size() > 1 && folder.size() <= 4096 && folder.startsWith('/') && folder.endsWith('/') &&
      !folder.contains('\0'))
    fragment.sourceFolder.assign(folder.constData(), static_cast<std::size_t>(folder.size()));
  else fragment.sourceFolder.clear();
  return r;
}

std::size_t ResolveFragmentTextures(SceneFragment& fragment, const std::string& documentPath,
                                    const std::string& textureFolder) {
  if (fragment.sourceFolder.empty()) return 0;
  const std::string here = DocumentFolderOf(documentPath);
  std::size_t changed = 0;
  for (CMaterial& m : fragment.materials) {
    if (m.texture.empty()) continue;
    const std::vector<std::string> local = TextureCandidates(m.texture, here, textureFolder);
    if (std::any_of(local.begin(), local.end(), IsRegularFile)) continue;
    for (const std::string& path : TextureCandidates(m.texture, fragment.sourceFolder, std::string())) {
      if (path.empty() || path.front() != '/' || !IsRegularFile(path)) continue;
      // Kept only when the CP932 name stands for this very file (a name with characters CP932
      // lacks would not).
      std::string name = Utf8ToCp932(path);
      if (Cp932ToUtf8(name) != path) break;
      m.texture = std::move(name);
      ++changed;
      break;
    }
  }
  return changed;
}

}  // namespace mw
