#include "app/surface_commands.h"

#include <QKeySequence>
#include <QMenu>
#include <memory>

#include "app/command_registry.h"
#include "app/commands.h"
#include "app/document.h"
#include "scene/smoothing.h"
#include "scene/subdivision.h"
#include "view/surface_dialogs.h"

namespace mw {
namespace {

CModel* Current(CMeshwright& scene) {
  return scene.HasCurrentModel() ? &scene.models[static_cast<std::size_t>(scene.currentModel)] : nullptr;
}

}  // namespace

void RegisterSurfaceCommands(CommandRegistry& commands, const SurfaceCommandHost& host) {
  // What the dialogs showed last time, for the next opening.
  struct Remembered {
    float sharpness = 10.0f;
    SmoothOptions smooth;
  };
  auto kept = std::make_shared<Remembered>();
  const auto add = [&commands, host](int id, const char* caption, const char* prompt, QList<QKeySequence> keys,
                                     std::function<void()> run, std::function<bool()> enabled,
                                     std::function<bool()> checked = {}) {
    CommandEntry c;
    c.id = id;
    c.caption = QString::fromUtf8(caption);
    c.prompt = QString::fromUtf8(prompt);
    c.tip = c.prompt;
    c.keys = std::move(keys);
    c.run = [host, run = std::move(run)]() {
      if (host.doc.loading()) return;
      run();
      host.afterRun();
    };
    c.enabled = std::move(enabled);
    c.checked = std::move(checked);
    commands.Register(std::move(c));
  };
  CMeshwright& scene = host.scene;
  const auto hasCurrent = [&scene]() { return scene.HasCurrentModel(); };
  const auto setScheme = [host](std::int32_t scheme) {
    CModel* m = Current(host.scene);
    if (!m || m->subdivisionScheme == scheme) return;
    host.doc.Edit(EditKind::kSubdivision, [&]() { m->subdivisionScheme = scheme; });
  };
  const auto scheme = [&scene](std::int32_t s) {
    return [&scene, s]() { return scene.HasCurrentModel() && Current(scene)->subdivisionScheme == s; };
  };
  add(kCmdSubdivisionNone, "曲面化 なし(&N)", "現在のモデルを曲面化せず、面のまま表示", {},
      [setScheme]() { setScheme(kSubdivisionNone); }, hasCurrent, scheme(kSubdivisionNone));
  add(kCmdSubdivisionCatmullClark, "Catmull-Clark(&C)",
      "現在のモデルを Catmull-Clark の曲面で表示 (透視ビュー、面は四角形に分割)", {},
      [setScheme]() { setScheme(kSubdivisionCatmullClark); }, hasCurrent, scheme(kSubdivisionCatmullClark));
  add(kCmdSubdivisionLoop, "三角形 (Loop)(&T)", "現在のモデルを Loop の曲面で表示 (透視ビュー、面は三角形に分割)", {},
      [setScheme]() { setScheme(kSubdivisionLoop); }, hasCurrent, scheme(kSubdivisionLoop));
  const char* levels[4] = {"分割レベル 1(&1)", "分割レベル 2(&2)", "分割レベル 3(&3)", "分割レベル 4(&4)"};
  for (std::int32_t level = 1; level <= 4; ++level) {
    add(kCmdSubdivisionLevel1 + level - 1, levels[level - 1], "曲面化で面を分割する回数 (1 回で 4 倍の面)", {},
        [host, level]() {
          CModel* m = Current(host.scene);
          if (!m || m->subdivisionLevel == level) return;
          host.doc.Edit(EditKind::kSubdivision, [&]() { m->subdivisionLevel = level; });
        },
        hasCurrent, [&scene, level]() { return scene.HasCurrentModel() && Current(scene)->subdivisionLevel == level; });
  }
  add(kCmdApplySubdivision, "曲面化を確定(&A)", "現在のモデルの曲面を面に置き換える (UV と材質はそのまま)", {},
      [host]() {
        CModel* m = Current(host.scene);
        if (!m) return;
        const std::size_t before = m->faces.size();
        host.doc.Edit(EditKind::kApplySubdivision, [&]() {
          CModel baked = SubdividedCopy(*m);
          baked.pendingFace = m->pendingFace;
          baked.pendingVertices = m->pendingVertices;
          *m = std::move(baked);
        });
        host.say(QStringLiteral("曲面化を確定: 面 %1 個が %2 個になりました").arg(before).arg(m->faces.size()));
      },
      [&scene]() {
        const CModel* m = scene.HasCurrentModel() ? &scene.models[static_cast<std::size_t>(scene.currentModel)] : nullptr;
        return m && m->IsEditable() && m->subdivisionScheme != kSubdivisionNone;
      });
  add(kCmdCrease, "折り目...\tShift+E(&E)", "選択した辺 (または頂点) の鋭さを指定 (曲面化で角が残る)",
      {QKeySequence(Qt::SHIFT | Qt::Key_E)},
      [host, kept]() {
        CDlgCrease dialog(kept->sharpness, host.parent);
        if (host.runDialog(dialog) != QDialog::Accepted) return;
        kept->sharpness = dialog.sharpness;
        std::size_t set = 0;
        host.doc.Edit(EditKind::kCrease, [&]() { set = CreaseSelected(host.scene, dialog.sharpness, dialog.vertices); });
        host.say(set == 0 ? QStringLiteral("折り目: 辺を選択してください")
                          : QStringLiteral("折り目: %1 個に鋭さ %2 を指定しました").arg(set).arg(double(dialog.sharpness)));
      },
      {});
  add(kCmdSmooth, "スムーズ(&M)...", "選択した頂点をまわりの頂点の平均に近づけてなめらかにする", {},
      [host, kept]() {
        CDlgSmooth dialog(kept->smooth, host.parent);
        if (host.runDialog(dialog) != QDialog::Accepted) return;
        kept->smooth = dialog.options;
        std::size_t moved = 0;
        host.doc.Edit(EditKind::kSmooth, [&]() { moved = SmoothSelected(host.scene, dialog.options); });
        host.say(moved == 0 ? QStringLiteral("スムーズ: 動かせる選択頂点がありません")
                            : QStringLiteral("スムーズ: 頂点を %1 個動かしました").arg(moved));
      },
      {});
}

void FillSurfaceMenu(const CommandRegistry& commands, QMenu* menu) {
  commands.Fill(menu, {kCmdSubdivisionNone, kCmdSubdivisionCatmullClark, kCmdSubdivisionLoop, 0, kCmdSubdivisionLevel1,
                       kCmdSubdivisionLevel2, kCmdSubdivisionLevel3, kCmdSubdivisionLevel4, 0, kCmdApplySubdivision, 0,
                       kCmdCrease, kCmdSmooth, 0, kCmdRefinedWire});
}

}  // namespace mw
