// What one edit changed in the scene, kept so the edit can be taken back and made again.
//
// A delta is opened before the change (Capture) and closed after it (Finish). It keeps only what
// the kind of edit can change: the old positions of the moved vertices (12 bytes each), the old
// selection, the model records an edit replaces, the material list. Undo and Redo exchange the
// kept data with the scene's, so each restores stored values exactly (never by applying an
// inverse transform) and the delta stays as large as the change.
//
// Derived data (normals, face references) is recomputed on undo only where it was what recomputing
// gives; where it was not (a damaged file, a stale normal), the old values are kept as they were.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/edit_kind.h"
#include "scene/meshwright.h"

namespace mw {

class SceneDelta {
 public:
  // Takes what an edit of `kind` can change, before the change.
  static SceneDelta Capture(EditKind kind, const CMeshwright& scene);

  SceneDelta();
  SceneDelta(SceneDelta&&) noexcept;
  SceneDelta& operator=(SceneDelta&&) noexcept;
  ~SceneDelta();

  // Before Finish, for a step given back at once (a verb shown live while its box is open): the
  // models the edit changes are kept whole, quicker to take and to give back than their difference.
  void KeepWholeRecords();
  // After the change: takes the sizes the change left and forgets what did not change.
  void Finish(const CMeshwright& scene);
  // True when the edit changed nothing (a click that moved nothing, a selection that selected
  // what was selected): no step to keep.
  bool Empty() const;
  // The scene must be as Finish (or Redo) left it / as Capture (or Undo) left it.
  void Undo(CMeshwright& scene);
  void Redo(CMeshwright& scene);
  // Bytes held, roughly (the stack's memory bound counts these).
  std::size_t Bytes() const;
  EditKind kind() const { return kind_; }

  struct Part;

 private:
  EditKind kind_ = EditKind::kMove;
  std::vector<std::unique_ptr<Part>> parts_;
  // Normals of the models whose normals were not what recomputing gives, by model slot.
  struct StaleNormals {
    std::size_t model;
    std::vector<CVector> faceNormals;
    std::vector<CVector> vertexNormals;
  };
  bool normals_ = false;
  std::vector<StaleNormals> staleNormals_;
};

// Exchanges every field of two model records except the face under construction, which belongs
// to the list position.
void SwapModelRecord(CModel& a, CModel& b);

// Whether the normals of `m` are what CModel::ComputeNormals(smooth) gives (bit for bit), for the
// face normals and for the vertex normals.
bool FaceNormalsCurrent(const CModel& m);
bool VertexNormalsCurrent(const CModel& m);
// Whether every vertex's face references are what CModel::RebuildFaceRefs gives.
bool FaceRefsCurrent(const CModel& m);

}  // namespace mw
