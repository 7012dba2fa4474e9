#include "app/clipboard.h"

#include <QByteArray>
#include <QMimeData>

#include "io/fragment_obj.h"

namespace mw {

QMimeData* FragmentMimeData(const SceneFragment& fragment) {
  auto* data = new QMimeData;
  const std::vector<std::uint8_t> bytes = EncodeFragment(fragment);
  data->setData(QString::fromLatin1(kFragmentMimeType),
                QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
  const std::string obj = FragmentObjText(fragment);
  data->setData(QString::fromLatin1(kObjMimeType), QByteArray(obj.data(), static_cast<qsizetype>(obj.size())));
  data->setText(QString::fromUtf8(obj.data(), static_cast<qsizetype>(obj.size())));
  return data;
}

bool HasFragment(const QMimeData* data) { return data && data->hasFormat(QString::fromLatin1(kFragmentMimeType)); }

ArchiveResult FragmentFromMimeData(const QMimeData& data, SceneFragment& fragment) {
  if (!HasFragment(&data)) return ArchiveResult{ArchiveError::kUnexpectedFormat, "no fragment on the clipboard"};
  const QByteArray bytes = data.data(QString::fromLatin1(kFragmentMimeType));
  return DecodeFragment(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()),
                        fragment);
}

}  // namespace mw
