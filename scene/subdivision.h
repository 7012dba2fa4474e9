// The smooth surface of a model: its faces as the cage of a Catmull-Clark or Loop subdivision
// surface, refined by OpenSubdiv.
//
// The refined topology depends only on the faces (corners, hidden flags), the scheme, the level and
// the creases; a Subdivider keeps it, so a drag that only moves vertices costs one evaluation of the
// positions. Positions and normals are those of the limit surface; texture coordinates are refined
// as face-varying data with corners kept (a texture does not swim along the borders of its islands).
//
// What is refined: every visible face of three or more corners whose corners name distinct vertices
// of the model. Loop refines triangles only, so larger faces are split into a fan first. Lines,
// single corners and damaged faces are left out of the surface (never an error).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "scene/meshwright.h"
#include "scene/model.h"

namespace mw {

// What the refined topology of `model` depends on (not the positions).
std::uint64_t SubdivisionTopologyKey(const CModel& model);

class Subdivider {
 public:
  Subdivider();
  ~Subdivider();
  Subdivider(Subdivider&&) noexcept;
  Subdivider& operator=(Subdivider&&) noexcept;

  // Refines the topology of `model` with its own scheme and level (clamped to 1..4), and lays out
  // the faces of `out`: corners, materials and texture coordinates (no face references);
  // positions come from Evaluate.
  // False, with `out` left without faces, when the model's subdivision is off or it has no face to
  // refine. Nothing is rebuilt when the key is the one already built.
  // `level` above 0 refines to that level instead of the model's own.
  bool Build(const CModel& model, CModel& out, std::int32_t level = 0);
  // Limit positions and normals of `out`'s vertices from the present positions of `model`, whose
  // topology must be the one Build saw. Normals point to the side the model's own face normals do.
  // With `limit` false the positions are those of the last level as refined (the scheme's own
  // face, edge and vertex points) and the vertex normals sums of face normals.
  void Evaluate(const CModel& model, CModel& out, bool limit = true) const;
  bool Built() const;
  std::uint64_t Key() const { return key_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::uint64_t key_ = 0;
};

// The surfaces of a scene's models, slot by slot, for drawing: a model's topology is refined again
// only when its SubdivisionTopologyKey changes, its positions evaluated again only when they change.
//
// While positions keep changing (a move drag), a model above level 1 is handed out one level
// coarser, a quarter of the faces to evaluate and draw, and coarser still while that draft would
// have more than 25,000 faces (never below level 1); the first call that finds the positions as
// they were hands out the full level again. DrewDraft says whether the last frame's calls gave
// such a draft, so the pane can paint once more when the changes stop.
class SurfaceCache {
 public:
  // The surface to draw for `model` in list position `slot`, or nullptr when its subdivision is off
  // or it has nothing to refine (the cage is drawn then). `mayHaveChanged` false promises that
  // no model changed since the last call: the kept surface is handed out unchecked. `drafts` false
  // always hands out the full level (for a caller that paints once, not frame after frame).
  const CModel* Surface(const CModel& model, std::size_t slot, bool mayHaveChanged = true, bool drafts = true);
  // Starts a frame: forgets whether a draft was handed out.
  void BeginFrame() { drewDraft_ = false; }
  bool DrewDraft() const { return drewDraft_; }
  // Forgets the slots from `count` on (models removed from the end of the list).
  void Truncate(std::size_t count);
  std::size_t Builds() const { return builds_; }
  std::size_t Evaluations() const { return evaluations_; }

 private:
  struct Entry {
    Subdivider subdivider, draftSubdivider;
    CModel surface, draft;
    bool built = false;
    bool fullCurrent = false;  // `surface` has the positions of positionKey
    bool lastDraft = false;    // the draft was handed out last
    std::uint64_t positionKey = 0;
  };
  std::vector<std::unique_ptr<Entry>> entries_;
  std::size_t builds_ = 0, evaluations_ = 0;
  bool drewDraft_ = false;
};

// The refined model in one go (for baking): limit positions, faces with their materials and
// texture coordinates, smooth normals, no creases (they have done their work), no selection. A model
// with subdivision off, or no face to refine, comes back as it is.
CModel SubdividedCopy(const CModel& model);

// Sharpness of the edge a-b in `model`, 0 when it has none; setting 0 removes it.
float EdgeSharpness(const CModel& model, std::int32_t a, std::int32_t b);
void SetEdgeSharpness(CModel& model, std::int32_t a, std::int32_t b, float sharpness);
void SetVertexSharpness(CModel& model, std::int32_t v, float sharpness);
// The 折り目 command: every editable model's selected edges (in edge mode those picked, else every
// edge with both ends selected) or, with `vertices`, its selected vertices get `sharpness`. Returns
// how many edges or vertices it set.
std::size_t CreaseSelected(CMeshwright& scene, float sharpness, bool vertices);

}  // namespace mw
