// Selection of vertices, edges or faces, and hiding.
//
// The vertex flags stay what every transform, the numeric dialogs, delete, duplicate, copy, weld
// and flip act on. In edge and face mode the picked elements are held beside them (the models'
// selectedEdges, the faces' `selected`) and their vertices are kept selected with them, so those
// operations act on the vertices of what is selected. Holding the elements, not deriving them from
// the vertices, is what lets two faces across a corner be selected without the faces between them.
//
// Every operation here visits the editable models only (neither locked nor hidden) unless it says
// otherwise, and never selects a hidden vertex, edge or face. Edges are taken from the scene's
// edge index cache.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scene/meshwright.h"

namespace mw {

enum SelectMode : std::int32_t { kSelectVertices = 0, kSelectEdges = 1, kSelectFaces = 2 };

inline SelectMode SelectModeOf(const CMeshwright& scene) {
  return scene.selectMode == kSelectEdges || scene.selectMode == kSelectFaces ? static_cast<SelectMode>(scene.selectMode)
                                                                              : kSelectVertices;
}

// Whether edge e has a face in sight (an edge only of hidden faces is hidden with them).
bool EdgeVisible(const CModel& m, const EdgeIndex& ix, std::int32_t e);
bool EdgeSelected(const CModel& m, std::int32_t a, std::int32_t b);
// Adds or removes the edge between a and b in m.selectedEdges (its vertices are left alone).
void MarkEdge(CModel& m, std::int32_t a, std::int32_t b, bool selected);

// The vertex flags of one model made exactly the vertices of its selected elements in `mode`
// (nothing happens in vertex mode), and the faces' allSelected updated.
void SelectVerticesOfElements(CModel& m, SelectMode mode);
// The elements of `mode` made those whose vertices are all selected (the edges and faces whose
// corners are all selected); the vertex flags are then made those of the elements.
void SelectElementsOfVertices(CModel& m, SelectMode mode, const EdgeIndex& ix);
// The same for every model, in the scene's mode: after an edit that changed the vertex flags or
// the faces (select all, connected, delete, weld, paste, undo of a record...).
void SyncElementsFromVertices(CMeshwright& scene);

// Switches the scene's mode, converting the selection of every model: faces give their vertices
// and edges; edges give their vertices and the faces all of whose edges are selected; vertices give
// the edges and faces whose corners are all selected.
void SetSelectMode(CMeshwright& scene, SelectMode mode);

// The selection of the editable models turned inside out, element by element in the scene's mode.
void InvertElements(CMeshwright& scene);
// One step across faces: every face in sight with a selected corner (grow), or the selection less
// what touches a face in sight that is not wholly selected or the border of what is in sight
// (shrink), in the scene's mode.
void GrowSelection(CMeshwright& scene);
void ShrinkSelection(CMeshwright& scene);
// Adds the faces in sight of the current material (their edges, their vertices) to the selection.
void SelectByMaterial(CMeshwright& scene, std::int32_t materialId);

// Hides what is selected (faces with a selected corner in vertex mode, with a selected edge in
// edge mode, the selected faces in face mode; vertices when selected in vertex mode or when every
// face using them is hidden), or with `unselected` everything else; what is hidden is deselected.
// Returns whether anything was hidden.
bool HideSelection(CMeshwright& scene, bool unselected);
// Brings back every hidden vertex and face of the editable models, selected. Returns whether
// anything was hidden.
bool RevealAll(CMeshwright& scene);
bool HasHidden(const CModel& m);

struct ElementCounts {
  std::size_t vertices = 0, edges = 0, faces = 0;
  std::size_t selectedVertices = 0, selectedEdges = 0, selectedFaces = 0;
};
// Counts of one model in `mode`: selected edges and faces are those held in edge and face mode,
// and those whose corners are all selected in vertex mode.
ElementCounts CountElements(const CModel& m, const EdgeIndex& ix, SelectMode mode);

}  // namespace mw
