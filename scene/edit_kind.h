// What kind of change an edit of the scene is. Every change the user makes is one of these, so
// the document can tell whether it alters the saved document, what to refresh, and what to keep
// to take it back.
#pragma once

#include <cstdint>

namespace mw {

enum class EditKind : std::uint8_t {
  // Drags in the orthographic panes, from button down to the last button up.
  kMove,
  kRotate,
  kSize,
  kStretch,
  kSelect,     // rubber band that selects
  kDeselect,   // rubber band that deselects
  kFaceBuild,  // clicks of the face mode: corners, the cursor, and the face they complete
  kCreateBox,  // a drag of the box mode: the box it leaves in the current model
  kOtherDrag,  // a press in a mode that changes nothing but the normals at release
  kCamera,     // drags in the perspective pane
  // The numeric input dialogs.
  kNumericMove,
  kNumericRotate,
  kNumericSize,
  kNumericStretch,
  // Commands.
  kCommitFace,
  kDelete,  // the selection deleted outright
  kCut,     // the same, its faces copied to the clipboard first
  kAssignMaterial,
  kSelectAll,
  kDeselectAll,
  kWeld,             // close selected vertices into one
  kFlip,             // corner order of the fully selected faces reversed
  kInvertSelection,  // within the editable models
  kSelectConnected,  // the selection grown across faces
  kSelectMode,       // vertex, edge or face mode, the selection converted
  kPick,             // a click that selects (in any pane and mode)
  kGrowShrink,       // the selection grown or shrunk by one step
  kSelectLoop,       // an edge loop or ring, or a face loop, added
  kSelectMaterial,   // the faces of the current material added
  kHide,             // elements put out of sight
  kReveal,           // every hidden element brought back
  // The model list.
  kModelSelect,
  kModelDeselect,
  kModelState,
  kModelRename,
  kModelAdd,
  kModelDelete,
  kModelUp,
  kModelDown,
  kModelMergeUp,
  kModelMergeDown,
  // The material list and dialog.
  kMaterialAdd,
  kMaterialDelete,
  kMaterialEdit,
  // Reading a Metasequoia document into the open one.
  kImport,
  // Copies of the selected faces: in place, or from the clipboard into the current model.
  kDuplicate,
  kPaste,
  // A shape of the 基本図形 dialog, into the current model or a new one, selected.
  kAddPrimitive,
  // Smooth surfaces: the current model's subdivision setting, baked into its faces; sharpness of
  // the selected edges; the selected vertices smoothed.
  kSubdivision,
  kApplySubdivision,
  kCrease,
  kSmooth,
  // Modelling verbs that add geometry to the selection of the editable models.
  kExtrude,
  kInset,
  kBevel,
  kBridge,
  kFill,
  kSpin,
  kSolidify,
  // Modelling verbs on the selection of the editable models (scene/mesh_cut.h, mesh_reduce.h).
  kLoopCut,
  kConnect,
  kSubdivide,
  kKnife,
  kDissolve,
  kDeleteElements,
  kCollapse,
  kTriangulate,
  kTrisToQuads,
  kSeparate,  // the separated faces go into new models at the end of the list
  kMirrorCopy,
  kSymmetry,  // symmetric modelling of the current model switched (a setting kept in the .mwr)
  // A Python script run on the document: it may change anything, so the whole document is kept.
  kScript,
  // Texture coordinates of the selected faces (scene/uv_ops.h): projected, reset to the default
  // table, unwrapped, packed; seams marked or cleared on the selected edges.
  kUVProject,
  kUVReset,
  kUVUnwrap,
  kUVPack,
  kSeam,
  // Texture coordinates of the shown faces moved in the UV window (scene/uv_edit.h): a drag, a
  // numeric transform, a flip or an alignment.
  kUVEdit,
};

// Edits that change only which vertices are selected: they can be taken back, but they leave the
// saved document as it was.
inline bool IsSelectionOnly(EditKind k) {
  switch (k) {
    case EditKind::kSelect:
    case EditKind::kDeselect:
    case EditKind::kSelectAll:
    case EditKind::kDeselectAll:
    case EditKind::kInvertSelection:
    case EditKind::kSelectConnected:
    case EditKind::kSelectMode:
    case EditKind::kPick:
    case EditKind::kGrowShrink:
    case EditKind::kSelectLoop:
    case EditKind::kSelectMaterial:
    case EditKind::kModelSelect:
    case EditKind::kModelDeselect: return true;
    default: return false;
  }
}

// Whether the edit can change what a save writes. Selection is not saved; the display state of a
// model (normal, locked, hidden) is, in the .mwr block.
inline bool ChangesDocument(EditKind k) {
  return !IsSelectionOnly(k);
}

// Edits that recompute every normal as their last change.
inline bool RecomputesNormals(EditKind k) {
  switch (k) {
    case EditKind::kMove:
    case EditKind::kRotate:
    case EditKind::kSize:
    case EditKind::kStretch:
    case EditKind::kFaceBuild:
    case EditKind::kCreateBox:
    case EditKind::kOtherDrag:
    case EditKind::kNumericMove:
    case EditKind::kNumericRotate:
    case EditKind::kNumericSize:
    case EditKind::kNumericStretch:
    case EditKind::kImport: return true;
    default: return false;
  }
}

}  // namespace mw
