#include "app/reference_pictures.h"

#include <QDir>
#include <QFileInfo>

#include "image/material_texture.h"

namespace mw {

QString ReferenceFile(const ReferencePicture& picture, const QString& documentPath) {
  const QString name = QString::fromStdString(picture.path);
  if (QFileInfo(name).isAbsolute() || documentPath.isEmpty()) return QDir::cleanPath(name);
  return QDir::cleanPath(QFileInfo(documentPath).absoluteDir().filePath(name));
}

std::string ReferenceName(const QString& file, const QString& documentPath) {
  const QString absolute = QFileInfo(file).absoluteFilePath();
  if (documentPath.isEmpty()) return absolute.toStdString();
  return QFileInfo(documentPath).absoluteDir().relativeFilePath(absolute).toStdString();
}

void RebaseReferenceNames(std::vector<ReferencePicture>& pictures, const QString& fromDocument,
                          const QString& toDocument) {
  for (ReferencePicture& p : pictures) p.path = ReferenceName(ReferenceFile(p, fromDocument), toDocument);
}

QImage ReadReferenceImage(const QString& file) {
  DecodedTexture decoded;
  if (DecodeTexture(file.toStdString(), decoded) && decoded.image && !decoded.image->IsEmpty()) {
    const DibStream& d = *decoded.image;
    const int w = d.Width(), h = d.Height();
    QImage image(w, h, decoded.components == 4 ? QImage::Format_RGB32 : QImage::Format_BGR888);
    if (!image.isNull()) {
      const std::size_t rowBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(decoded.components);
      for (int y = 0; y < h; ++y) std::memcpy(image.scanLine(y), d.Row(y), rowBytes);
      return image.convertToFormat(QImage::Format_RGB32);
    }
  }
  QImage image(file);
  return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QString MissingReferencesMessage(const QStringList& files) {
  return QStringLiteral("下絵の画像を読み込めませんでした:\n") + files.join(QLatin1Char('\n'));
}

}  // namespace mw
