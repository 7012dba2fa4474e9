// The clipboard form of a scene fragment: the program's own MIME type for any running Meshwright,
// and OBJ text (text/plain and model/obj) for other programs.
#pragma once

#include <QString>

#include "scene/fragment.h"

class QMimeData;

namespace mw {

inline constexpr char kObjMimeType[] = "model/obj";

// A new mime data object (the caller owns it, or hands it to the clipboard).
QMimeData* FragmentMimeData(const SceneFragment& fragment);
// Whether `data` carries a fragment in the program's own type.
bool HasFragment(const QMimeData* data);
// Decodes the program's own type from `data`; refuses what is missing, too large or damaged.
ArchiveResult FragmentFromMimeData(const QMimeData& data, SceneFragment& fragment);

}  // namespace mw
