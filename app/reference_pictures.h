// The reference pictures' files: where a document's picture names lead, reading them, and how the
// names follow the document when it is saved elsewhere.
//
// A picture is named relative to the folder of the document that holds it (as typed when the
// document has no file yet: then absolute), so a document moved together with its drawings keeps
// finding them.
#pragma once

#include <QImage>
#include <QString>
#include <string>
#include <vector>

#include "scene/reference_picture.h"

namespace mw {

// The file a picture's name leads to, for a document at `documentPath` (empty: none yet).
QString ReferenceFile(const ReferencePicture& picture, const QString& documentPath);
// The name to keep for `file`: relative to the document's folder when the document has a path.
std::string ReferenceName(const QString& file, const QString& documentPath);
// Renames every picture for the document's new place, each still leading to the same file.
void RebaseReferenceNames(std::vector<ReferencePicture>& pictures, const QString& fromDocument,
                          const QString& toDocument);
// Reads a picture file in any format the program reads textures in (BMP, TGA, PPM, IFF, JPEG,
// PNG), else in any Qt reads. A null image when it cannot be read.
QImage ReadReferenceImage(const QString& file);
// The message for pictures that could not be read, naming each.
QString MissingReferencesMessage(const QStringList& files);

}  // namespace mw
