// The clipboard form of a scene fragment: the program's own MIME type for any running Meshwright,
// and OBJ text (text/plain and model/obj) for other programs.
#pragma once

#include <QString>
#include <cstddef>
#include <string>

#include "scene/fragment.h"

class QMimeData;

namespace mw {

inline constexpr char kObjMimeType[] = "model/obj";
// The fragment's source folder (UTF-8), beside the fragment's own type.
inline constexpr char kFragmentFolderMimeType[] = "application/x-meshwright-fragment-folder";

// A new mime data object (the caller owns it, or hands it to the clipboard).
QMimeData* FragmentMimeData(const SceneFragment& fragment);
// Whether `data` carries a fragment in the program's own type.
bool HasFragment(const QMimeData* data);
// Decodes the program's own type from `data`, with the source folder when it is there; refuses
// what is missing, too large or damaged.
ArchiveResult FragmentFromMimeData(const QMimeData& data, SceneFragment& fragment);

// Texture names are relative to the document the fragment was copied from. A name that finds no
// file for the document at `documentPath` (UTF-8; empty: untitled) nor in `textureFolder`, but
// does beside the fragment's source folder, becomes that file's absolute name, so the pasted
// material shows its texture now and after the document is saved and opened again. Returns how
// many names changed.
std::size_t ResolveFragmentTextures(SceneFragment& fragment, const std::string& documentPath,
                                    const std::string& textureFolder);

}  // namespace mw
