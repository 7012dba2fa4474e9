// Command identifiers of the menus, toolbar and keys.
#pragma once

namespace mw {

enum Command : int {
  kCmdNew = 57600,
  kCmdOpen = 57601,
  kCmdSave = 57603,
  kCmdSaveAs = 57604,
  kCmdRecentFile = 57616,
  kCmdExit = 57665,
  kCmdUndo = 57643,
  kCmdRedo = 57644,
  kCmdCut = 57635,
  kCmdCopy = 57634,
  kCmdPaste = 57637,
  kCmdSelectAll = 32826,
  kCmdDeselectAll = 32827,
  kCmdModeSelect = 32777,
  kCmdModeMove = 32772,
  kCmdModeRotate = 32773,
  kCmdModeSize = 32774,
  kCmdModeStretch = 32775,
  kCmdNumericInput = 32776,
  kCmdModeCreateFace = 32821,
  kCmdModeCreateBox = 32820,
  kCmdAssignMaterial = 32815,
  kCmdToolBar = 59392,
  kCmdStatusBar = 59393,
  kCmdSmoothing = 32811,
  kCmdHelp = 32831,
  kCmdAbout = 57664,
  kCmdWeld = 32900,
  kCmdFlipFaces = 32901,
  kCmdInvertSelection = 32902,
  kCmdSelectConnected = 32903,
  kCmdNextPane = 57680,
  kCmdPreviousPane = 57681,
  kCmdFrameAll = 32920,
  kCmdFrameSelection = 32921,
  kCmdSnapToGrid = 32922,
  kCmdDuplicate = 32940,
  kCmdDelete = 32941,
  kCmdSelectVertices = 32950,
  kCmdSelectEdges = 32951,
  kCmdSelectFaces = 32952,
  kCmdGrowSelection = 32953,
  kCmdShrinkSelection = 32954,
  kCmdSelectLoop = 32955,
  kCmdSelectRing = 32956,
  kCmdSelectMaterial = 32957,
  kCmdHide = 32958,
  kCmdHideUnselected = 32959,
  kCmdReveal = 32960,
  kCmdPickThrough = 32961,
  kCmdPrimitive = 32962,
  // スクリプト menu (numbered apart from the others so that commands added meanwhile keep theirs).
  kCmdRunScript = 33100,
  kCmdScriptOutput = 33101,
};

// Hints of "update all views": 0 rebuilds everything, 1 leaves the model list as it is, 2 repaints
// the 3D panes and leaves both lists as they are; 3 repaints only the orthographic panes (a
// selection, which the perspective pane does not show); 4 repaints nothing, the panes having drawn
// the change as it was made (a camera drag: every motion asked for its frame).
enum UpdateHint : int { kHintAll = 0, kHintSelection = 1, kHint3D = 2, kHintOrtho = 3, kHintDrawn = 4 };

}  // namespace mw
