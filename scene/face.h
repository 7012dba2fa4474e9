// One face of a model: 1 to 4 corners as built in the program (2 draw a line), more only when a
// file says so (such faces are kept as they are; drawing splits them, see polygon_triangles.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "scene/small_vector.h"
#include "scene/uv.h"
#include "scene/vector.h"

namespace mw {

using IndexList = SmallVector<std::int32_t, 4>;
using UVList = SmallVector<CUV, 4>;

class CFace {
 public:
  std::int32_t material = 0;  // material identifier (CMaterial::id), not a list index
  IndexList indices;          // vertex indices into the owning model, in corner order
  UVList uvs;                 // empty, or one per corner
  CVector normal;             // not normalised
  std::uint8_t allSelected = 0;  // every corner's vertex selected (kept by UpdateFaceSelection)
  std::uint8_t selected = 0;     // picked as a face in face mode; its corners are then selected too
  std::uint8_t hidden = 0;       // put out of sight: neither drawn, picked nor changed

  // Provided (not defaulted) so that a new face in a list gets its fields set one by one, without
  // the whole record, unused inline storage included, being zeroed first: with millions of faces
  // read from a file that zeroing was a quarter of the decoding.
  CFace() {}

  std::size_t CornerCount() const { return indices.size(); }
  std::int32_t Index(std::size_t i) const { return indices[i]; }
  void AddIndex(std::int32_t i) { indices.push_back(i); }
  void AddUV(const CUV& uv) { uvs.push_back(uv); }
  std::size_t UVCount() const { return uvs.size(); }
  std::int32_t Material() const { return material; }
  void SetMaterial(std::int32_t id) { material = id; }
  CVector Normal() const { return normal; }

  void OffsetIndices(std::int32_t n) {
    for (auto& i : indices) i += n;
  }
};

}  // namespace mw
