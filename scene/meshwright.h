// The scene: models, materials, camera, and the display and editing state shared by every pane.
//
// An ordinary class. The program makes exactly one (app/ hands out a reference to it); tests make
// their own. Nothing here draws, shows a window or touches OpenGL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/animation.h"
#include "scene/edge_index.h"
#include "scene/material.h"
#include "scene/model.h"
#include "scene/ortho_plane.h"
#include "scene/reference_picture.h"

namespace mw {

enum EditMode : std::int32_t {
  kModeSelect = 0,
  kModeMove = 1,
  kModeRotate = 2,
  kModeSize = 3,
  kModeStretch = 4,
  kModeCreateFace = 5,
  kModeCreateBox = 6,
  kModeKnife = 7,  // clicks in an orthographic pane lay a cut line (scene/mesh_cut.h), Enter cuts
};

inline constexpr std::uint32_t kDefaultBackground = 0x5A411E;  // red 30, green 65, blue 90

class CMeshwright {
 public:
  std::vector<CModel> models;
  std::vector<CMaterial> materials;
  CAnimation camera;
  std::int32_t reservedWord = 0;
  std::int32_t smoothing = 0;
  float fieldOfView = 0.0f;
  float viewportWidth = 0.0f;
  float viewportHeight = 0.0f;
  std::int32_t nextMaterialId = 0;
  std::uint32_t backgroundColor = 0;
  float zoom = 0.0f;
  std::int32_t editMode = 0;
  std::int32_t currentModel = 0;
  std::int32_t currentMaterial = 0;
  Cursor3 cursor;
  // What a click and a band pick and what is drawn as selected (SelectMode of
  // scene/element_selection.h); not saved.
  std::int32_t selectMode = 0;
  // The edge indexes of the models worked on lately; derived data, never copied with the scene.
  mutable EdgeIndexCache edgeIndexes;
  // The drawings shown behind the orthographic panes, saved with the document.
  std::vector<ReferencePicture> referencePictures;
  // The perspective pane's camera is parallel (no perspective); a display state, not saved.
  bool parallelCamera = false;

  // A freshly constructed scene has empty lists and zero settings, like the program's before its
  // perspective pane is created; ResetScene makes it a new document.
  CMeshwright();

  void ResetScene();
  void ReleaseTextures();
  void LoadTextures();
  void UpdateMaterialColors();
  void ComputeNormals();

  // Accessors.
  std::size_t ModelCount() const { return models.size(); }
  CModel Model(std::size_t i) const { return models.at(i); }
  std::int32_t ModelState(std::size_t i) const { return models.at(i).state; }
  void AppendModelRecord(const CModel& m) { models.push_back(m); }
  std::size_t MaterialCount() const { return materials.size(); }
  CMaterial Material(std::size_t i) const { return materials.at(i); }
  void AppendMaterialRecord(const CMaterial& m) { materials.push_back(m); }
  std::int32_t NextMaterialId() const { return nextMaterialId; }
  void AddNextMaterialId(std::int32_t n) { nextMaterialId += n; }
  void SetZoom(float z) { zoom = z; }
  // Adds `delta` to zoom; a result below 1.0 becomes exactly 1.0.
  void AddZoom(float delta);
  void ToggleSmoothing() { smoothing = smoothing ? 0 : 1; }
  void SetCameraTranslation(const CVector& v) { camera.SetTranslation(v); }
  void SetCameraRotation(const CVector& v) { camera.SetRotation(v); }
  void AddCameraTranslation(const CVector& v) { camera.AddTranslation(v); }
  void AddCameraRotation(const CVector& v) { camera.AddRotation(v); }

  bool HasCurrentModel() const { return currentModel >= 0 && static_cast<std::size_t>(currentModel) < models.size(); }
  bool HasCurrentMaterial() const {
    return currentMaterial >= 0 && static_cast<std::size_t>(currentMaterial) < materials.size();
  }

  // 1 -> 2 -> 3 -> 1; returns the new state. An index outside the list does nothing and returns 0.
  std::int32_t CycleModelState(std::int32_t i);

  // Selection and transforms. Every operation visits the models in list order; transforms and
  // selecting skip locked and hidden models, deselecting reaches every model. Pixel quantities
  // are converted to model units with zoom; pivots are in pixels relative to the pane centre.
  // A plane other than 0, 1 or 2 makes the plane-dependent operations do nothing.
  void SelectInRect(int left, int top, int right, int bottom, Plane plane, std::uint8_t value, int cx, int cy);
  void SetAllSelected(std::uint8_t value);
  void SetModelSelected(std::uint8_t value);
  void MoveSelected(float dx, float dy, float dz);
  void RotateSelected(Plane plane, float angle, int pivotU, int pivotV);
  void SizeSelected(Plane plane, float amount, int pivotU, int pivotV);
  void StretchSelected(Plane plane, float amountU, float amountV, int pivotU, int pivotV);
  void RotateSelectedAbout(Plane plane, float angle, const CVector& centre);
  void ScaleSelectedAbout(const CVector& centre, const CVector& factor);
  // The positions the transforms would change (selected vertices of editable models, in visiting
  // order), and putting them back: a snapped drag applies its whole displacement to the positions
  // it started from, so rounding never builds up over the drag.
  std::vector<CVector> SelectedPositions() const;
  void RestoreSelectedPositions(const std::vector<CVector>& positions);
  // Adds `units` (model units, not pixels) to every selected vertex of the editable models.
  void TranslateSelected(double ux, double uy, double uz);

  // Model and face editing. Operations on the current model or material do nothing when the
  // index is outside its list; none changes currentModel or currentMaterial.
  // With a `gridStep` above 0 the new corner is snapped to the grid before it is matched against
  // the model's vertices.
  void AddFacePoint(Plane plane, int px, int py, int cx, int cy, double gridStep = 0.0);
  void CommitFace();
  // Forgets the face under construction of the current model and its new vertices.
  void DropFace();
  // The box a drag from (x0, y0) to (x1, y1) in a pane centred on (cx, cy) describes: the
  // rectangle gives two sides, the third is the shorter of them, centred on the face-building
  // cursor's depth. With a `gridStep` above 0 the corners are snapped to the grid. False when the
  // rectangle has no area (after snapping) or the plane is not one of the three.
  bool BoxFromDrag(Plane plane, int x0, int y0, int x1, int y1, int cx, int cy, double gridStep, CVector& min,
                   CVector& max) const;
  // Adds a box with corners `min` and `max` to the current model: 8 vertices and 6 quads that
  // face outwards (their corners run clockwise seen from outside, as in documents read from
  // files), in the current material with the default texture coordinates. Does nothing and returns
  // false without an editable current model.
  bool AddBox(const CVector& min, const CVector& max);
  void DeleteSelection();
  void AssignCurrentMaterial();
  void ApplyDefaultUVs(std::int32_t materialId);
  void AddModel();
  void DeleteCurrentModel();
  void MoveCurrentModelUp();
  void MoveCurrentModelDown();
  void MergeCurrentModelUp();
  void MergeCurrentModelDown();
  void RenameCurrentModel(const std::string& name);
  void AddMaterial();
  void DeleteCurrentMaterial();

  // Identifier given to faces built while no material is current. No material ever gets it from
  // AddMaterial, so such faces never silently take on a material added later.
  static constexpr std::int32_t kNoMaterial = -1;
  // The current material's identifier, or kNoMaterial.
  std::int32_t CurrentMaterialId() const;
};

// Appends source's faces (corner indices offset past target's vertices) and vertices to target.
// Target's face under construction keeps naming its own pending vertices; source's is not taken.
void AppendModel(CModel& target, const CModel& source);

}  // namespace mw
