#include "app/edit_command.h"

namespace mw {

QString EditName(EditKind kind) {
  switch (kind) {
    case EditKind::kMove: return QStringLiteral("移動");
    case EditKind::kRotate: return QStringLiteral("回転");
    case EditKind::kSize: return QStringLiteral("サイズ");
    case EditKind::kStretch: return QStringLiteral("ストレッチ");
    case EditKind::kSelect: return QStringLiteral("選択");
    case EditKind::kDeselect: return QStringLiteral("選択解除");
    case EditKind::kFaceBuild: return QStringLiteral("面作成");
    case EditKind::kCreateBox: return QStringLiteral("箱の作成");
    case EditKind::kOtherDrag: return QStringLiteral("法線の更新");
    case EditKind::kCamera: return QStringLiteral("視点");
    case EditKind::kNumericMove: return QStringLiteral("数値入力で移動");
    case EditKind::kNumericRotate: return QStringLiteral("数値入力で回転");
    case EditKind::kNumericSize: return QStringLiteral("数値入力でサイズ");
    case EditKind::kNumericStretch: return QStringLiteral("数値入力でストレッチ");
    case EditKind::kCommitFace: return QStringLiteral("面作成");
    case EditKind::kDelete: return QStringLiteral("削除");
    case EditKind::kCut: return QStringLiteral("切り取り");
    case EditKind::kAssignMaterial: return QStringLiteral("材質の指定");
    case EditKind::kSelectAll: return QStringLiteral("頂点全選択");
    case EditKind::kDeselectAll: return QStringLiteral("頂点全非選択");
    case EditKind::kWeld: return QStringLiteral("近接頂点を結合");
    case EditKind::kFlip: return QStringLiteral("面の反転");
    case EditKind::kInvertSelection: return QStringLiteral("選択の反転");
    case EditKind::kSelectConnected: return QStringLiteral("接続部分を選択");
    case EditKind::kSelectMode: return QStringLiteral("選択モードの切り替え");
    case EditKind::kPick: return QStringLiteral("クリックで選択");
    case EditKind::kGrowShrink: return QStringLiteral("選択範囲の拡大・縮小");
    case EditKind::kSelectLoop: return QStringLiteral("ループ・リングの選択");
    case EditKind::kSelectMaterial: return QStringLiteral("材質で選択");
    case EditKind::kHide: return QStringLiteral("隠す");
    case EditKind::kReveal: return QStringLiteral("すべて表示");
    case EditKind::kModelSelect: return QStringLiteral("モデルの頂点を全選択");
    case EditKind::kModelDeselect: return QStringLiteral("モデルの頂点を選択解除");
    case EditKind::kModelState: return QStringLiteral("モデルの表示状態");
    case EditKind::kModelRename: return QStringLiteral("モデルの名前変更");
    case EditKind::kModelAdd: return QStringLiteral("モデルの追加");
    case EditKind::kModelDelete: return QStringLiteral("モデルの削除");
    case EditKind::kModelUp: return QStringLiteral("モデルを一つ上に移動");
    case EditKind::kModelDown: return QStringLiteral("モデルを一つ下に移動");
    case EditKind::kModelMergeUp: return QStringLiteral("一つ上と合成");
    case EditKind::kModelMergeDown: return QStringLiteral("一つ下と合成");
    case EditKind::kMaterialAdd: return QStringLiteral("マテリアルの追加");
    case EditKind::kMaterialDelete: return QStringLiteral("マテリアルの削除");
    case EditKind::kMaterialEdit: return QStringLiteral("マテリアルの変更");
    case EditKind::kImport: return QStringLiteral("読み込み");
    case EditKind::kDuplicate: return QStringLiteral("複製");
    case EditKind::kPaste: return QStringLiteral("貼り付け");
    case EditKind::kAddPrimitive: return QStringLiteral("基本図形");
    case EditKind::kSubdivision: return QStringLiteral("曲面化");
    case EditKind::kApplySubdivision: return QStringLiteral("曲面化を確定");
    case EditKind::kCrease: return QStringLiteral("折り目");
    case EditKind::kSmooth: return QStringLiteral("スムーズ");
    case EditKind::kExtrude: return QStringLiteral("押し出し");
    case EditKind::kInset: return QStringLiteral("インセット");
    case EditKind::kBevel: return QStringLiteral("面取り");
    case EditKind::kBridge: return QStringLiteral("ブリッジ");
    case EditKind::kFill: return QStringLiteral("面を張る");
    case EditKind::kSpin: return QStringLiteral("回転体");
    case EditKind::kSolidify: return QStringLiteral("厚み付け");
    case EditKind::kLoopCut: return QStringLiteral("ループスライス");
    case EditKind::kConnect: return QStringLiteral("頂点を接続");
    case EditKind::kSubdivide: return QStringLiteral("細分化");
    case EditKind::kKnife: return QStringLiteral("ナイフ");
    case EditKind::kDissolve: return QStringLiteral("溶解");
    case EditKind::kDeleteElements: return QStringLiteral("頂点・辺・面を削除");
    case EditKind::kCollapse: return QStringLiteral("結合");
    case EditKind::kTriangulate: return QStringLiteral("三角形に分割");
    case EditKind::kTrisToQuads: return QStringLiteral("四角形に結合");
    case EditKind::kSeparate: return QStringLiteral("分離");
    case EditKind::kMirrorCopy: return QStringLiteral("鏡像コピー");
    case EditKind::kSymmetry: return QStringLiteral("対称編集");
    case EditKind::kScript: return QStringLiteral("スクリプト");
    case EditKind::kUVProject: return QStringLiteral("UVの投影");
    case EditKind::kUVReset: return QStringLiteral("既定のUVに戻す");
    case EditKind::kUVUnwrap: return QStringLiteral("UVの展開");
    case EditKind::kUVPack: return QStringLiteral("UVの詰め直し");
    case EditKind::kSeam: return QStringLiteral("継ぎ目");
    case EditKind::kUVEdit: return QStringLiteral("UVの編集");
  }
  return QString();
}

SceneEditCommand::SceneEditCommand(CMeshwright& scene, std::shared_ptr<SceneDelta> delta, std::function<void()> changed)
    : QUndoCommand(EditName(delta->kind())),
      scene_(scene),
      delta_(std::move(delta)),
      changed_(std::move(changed)),
      bytes_(delta_->Bytes()) {}

void SceneEditCommand::undo() {
  if (skipUndo_) {
    skipUndo_ = false;
    return;
  }
  delta_->Undo(scene_);
  if (changed_) changed_();
}

void SceneEditCommand::redo() {
  if (skipRedo_) {
    skipRedo_ = false;
    return;
  }
  delta_->Redo(scene_);
  if (changed_) changed_();
}

}  // namespace mw
