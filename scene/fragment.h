// Pieces of a scene lifted out and put back: duplicating the selection in place, and the
// clipboard's copy and paste between documents (and between running programs).
//
// A fragment is the fully selected faces (every corner selected, at least one corner) of the
// editable models, with the vertices those faces use and the materials they name. On the
// clipboard it travels as a small header and the .mwr stream of a scene holding one model (the
// fragment) and the materials, so the archive's strict reader guards the paste: counts must fit
// the bytes, corners must name vertices, and a bad payload leaves the document untouched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scene/archive.h"
#include "scene/meshwright.h"

namespace mw {

struct SceneFragment {
  // The faces in model order, corners renumbered to this model's vertices; faces keep material
  // identifiers, UVs and normals, vertices keep positions and normals. Nothing is selected.
  CModel model;
  // Every material named by a face, once each, in the scene's list order.
  std::vector<CMaterial> materials;
  // The folder of the document the faces were copied from (UTF-8, ending in '/'), against which
  // the materials' texture names resolve; empty for an untitled document. Not part of the encoded
  // stream: the clipboard carries it beside the stream (app/clipboard.h).
  std::string sourceFolder;

  bool Empty() const { return model.faces.empty(); }
};

// Whether some editable model has a fully selected face (what copy, cut and duplicate act on).
bool HasSelectedFaces(const CMeshwright& scene);

// The fully selected faces of every editable model, the models in list order, as one fragment.
SceneFragment ExtractSelection(const CMeshwright& scene);

// Copies the fully selected faces of each editable model, with their vertices, into the same
// model moved by `offset`; then deselects every vertex and selects the copies. Normals of the
// models that grew are recomputed. Returns the number of faces copied (0: nothing changed).
std::size_t DuplicateSelection(CMeshwright& scene, const CVector& offset);

// Adds the fragment to the current model: every vertex deselected, the new ones selected, face
// materials mapped to the scene's material of the same name, or to a copy of the fragment's
// material added with a fresh identifier. A face naming no material of the fragment keeps
// kNoMaterial. Returns false, changing nothing, when the fragment is empty or there is no current
// model or it is locked or hidden. The fragment is taken by value: pass it with std::move when it
// is not needed afterwards, so a large paste does not hold it twice.
bool PasteFragment(CMeshwright& scene, SceneFragment fragment);

// ---- The clipboard form ----

inline constexpr char kFragmentMimeType[] = "application/x-meshwright-fragment";
// Payloads past this size are refused unread (and copies past it are not offered).
inline constexpr std::size_t kMaxFragmentBytes = std::size_t{256} << 20;

// "MWFRAG" and a 16-bit little-endian version, then the scene stream.
std::vector<std::uint8_t> EncodeFragment(const SceneFragment& fragment);
// Refuses (fragment untouched) a payload that is too large, carries another header or version,
// or whose scene stream is damaged or does not hold exactly one model.
ArchiveResult DecodeFragment(const std::uint8_t* data, std::size_t size, SceneFragment& fragment);

}  // namespace mw
