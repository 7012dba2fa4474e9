#include "app/uv_commands.h"

#include <QKeySequence>
#include <QMenu>
#include <algorithm>
#include <cmath>

#include "app/command_registry.h"
#include "app/commands.h"
#include "app/document.h"
#include "scene/camera_moves.h"
#include "scene/element_selection.h"
#include "scene/uv_ops.h"

namespace mw {
namespace {

// Edges meeting at more than this are cut by 継ぎ目を自動: a box's sides part, a smooth surface stays whole.
constexpr double kAutoSeamDegrees = 60.0;

// Asked at every refresh of the menus: stops at the first face.
bool AnySelectedFaces(const CMeshwright& scene) {
  for (const CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    for (const CFace& f : m.faces) {
      if (f.hidden || f.indices.size() < 3) continue;
      if (std::all_of(f.indices.begin(), f.indices.end(),
                      [&m](std::int32_t v) { return m.HasVertex(v) && m.vertices[static_cast<std::size_t>(v)].selected; }))
        return true;
    }
  }
  return false;
}

bool AnySelectedEdges(const CMeshwright& scene) {
  for (const CModel& m : scene.models)
    if (m.IsEditable() && std::any_of(m.vertices.begin(), m.vertices.end(), [](const CVertex& v) { return v.selected != 0; }))
      return true;
  return false;
}

// The direction the perspective pane looks along and its up, in model units: where the eye's -z
// and +y come from.
void ViewAxes(const CMeshwright& scene, CVector& direction, CVector& up) {
  const CVector o = EyeOf(scene, CVector(0, 0, 0));
  const CVector ex = EyeOf(scene, CVector(1, 0, 0)) - o, ey = EyeOf(scene, CVector(0, 1, 0)) - o,
                ez = EyeOf(scene, CVector(0, 0, 1)) - o;
  direction = CVector(-ex.z, -ey.z, -ez.z);
  up = CVector(ex.y, ey.y, ez.y);
}

// Runs `change` on the selected faces of every editable model, as one step; returns its total.
template <typename Change>
std::size_t OnSelectedFaces(const UVCommandHost& host, EditKind kind, Change change) {
  std::size_t total = 0;
  host.doc.Edit(kind, [&]() {
    for (CModel& m : host.scene.models) {
      if (!m.IsEditable()) continue;
      const std::vector<std::int32_t> faces = SelectedUVFaces(m);
      if (!faces.empty()) total += change(m, faces);
    }
  });
  return total;
}

}  // namespace

void RegisterUVCommands(CommandRegistry& commands, const UVCommandHost& host) {
  const auto add = [&commands, host](int id, const char* caption, const char* prompt, QList<QKeySequence> keys,
                                     std::function<void()> run, std::function<bool()> enabled) {
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
    commands.Register(std::move(c));
  };
  CMeshwright& scene = host.scene;
  const auto faces = [&scene]() { return AnySelectedFaces(scene); };
  const auto edges = [&scene]() { return AnySelectedEdges(scene); };
  const auto project = [host](UVProjection kind, const char* name) {
    return [host, kind, name]() {
      UVProjectionOptions o;
      o.kind = kind;
      o.direction = CVector(0, 1, 0);  // round projections stand on the Y axis
      if (kind == UVProjection::kView) ViewAxes(host.scene, o.direction, o.up);
      const std::size_t n = OnSelectedFaces(host, EditKind::kUVProject, [&o](CModel& m, const std::vector<std::int32_t>& f) {
        return ProjectUVs(m, f, o);
      });
      host.say(n == 0 ? QStringLiteral("UVの投影: 面を選択してください")
                      : QStringLiteral("UVの投影 (%1): 面 %2 個").arg(QString::fromUtf8(name)).arg(n));
    };
  };
  add(kCmdUVPlanarX, "平面 X(&X)", "選択した面のUVを X 軸に沿って投影 (左面から見た形)", {},
      project(UVProjection::kPlanarX, "平面 X"), faces);
  add(kCmdUVPlanarY, "平面 Y(&Y)", "選択した面のUVを Y 軸に沿って投影 (上面から見た形)", {},
      project(UVProjection::kPlanarY, "平面 Y"), faces);
  add(kCmdUVPlanarZ, "平面 Z(&Z)", "選択した面のUVを Z 軸に沿って投影 (正面から見た形)", {},
      project(UVProjection::kPlanarZ, "平面 Z"), faces);
  add(kCmdUVFromView, "視点から(&V)", "選択した面のUVを透視ビューの視線に沿って投影", {},
      project(UVProjection::kView, "視点から"), faces);
  add(kCmdUVBox, "ボックス(&B)", "選択した面のUVを、面ごとに向きの近い軸に沿って投影", {},
      project(UVProjection::kBox, "ボックス"), faces);
  add(kCmdUVCylinder, "円筒(&C)", "選択した面のUVを、中心を通る Y 軸のまわりに円筒状に投影", {},
      project(UVProjection::kCylinder, "円筒"), faces);
  add(kCmdUVSphere, "球(&S)", "選択した面のUVを、中心を通る Y 軸のまわりに球状に投影", {},
      project(UVProjection::kSphere, "球"), faces);

  const auto seams = [host](bool on) {
    return [host, on]() {
      const bool picked = SelectModeOf(host.scene) == kSelectEdges;
      std::size_t n = 0;
      host.doc.Edit(EditKind::kSeam, [&]() {
        for (CModel& m : host.scene.models) n += MarkSelectedSeams(m, picked, on);
      });
      host.say(n == 0 ? QStringLiteral("継ぎ目: 変わる辺がありません (辺を選択してください)")
                      : QString::fromUtf8(on ? "継ぎ目を付ける: 辺 %1 本" : "継ぎ目を外す: 辺 %1 本").arg(n));
    };
  };
  add(kCmdMarkSeam, "継ぎ目を付ける(&M)", "選択した辺を継ぎ目にする (展開でUVを切り離す所)", {}, seams(true), edges);
  add(kCmdClearSeam, "継ぎ目を外す(&C)", "選択した辺の継ぎ目を外す", {}, seams(false), edges);
  add(kCmdAutoSeam, "継ぎ目を自動(&A)", "選択した面どうしが 60° を超えて折れる辺を継ぎ目にする", {},
      [host]() {
        const std::size_t n = OnSelectedFaces(host, EditKind::kSeam, [](CModel& m, const std::vector<std::int32_t>& f) {
          return MarkSharpSeams(m, f, kAutoSeamDegrees);
        });
        host.say(QStringLiteral("継ぎ目を自動: 辺 %1 本を継ぎ目にしました").arg(n));
      },
      faces);
  add(kCmdUnwrap, "展開\tU(&U)", "選択した面を継ぎ目と境界で切り開いて平らに展開し、0〜1 に詰める",
      {QKeySequence(Qt::Key_U)},
      [host]() {
        const std::size_t n = OnSelectedFaces(host, EditKind::kUVUnwrap, [](CModel& m, const std::vector<std::int32_t>& f) {
          // A model without seams is first cut where its faces fold sharply (as 継ぎ目を自動 does):
          // a closed surface cannot be laid flat in one piece.
          if (m.seamEdges.empty()) MarkSharpSeams(m, f, kAutoSeamDegrees);
          return UnwrapUVs(m, f);
        });
        host.say(n == 0 ? QStringLiteral("展開: 面を選択してください") : QStringLiteral("展開: 島 %1 個").arg(n));
      },
      faces);
  add(kCmdPackUV, "詰め直す(&K)", "選択した面のUVの島を面積に合わせて大きさをそろえ、0〜1 に重ならないよう並べる", {},
      [host]() {
        const std::size_t n = OnSelectedFaces(host, EditKind::kUVPack, [](CModel& m, const std::vector<std::int32_t>& f) {
          return PackUVIslands(m, f);
        });
        host.say(n == 0 ? QStringLiteral("詰め直す: 面を選択してください") : QStringLiteral("詰め直す: 島 %1 個").arg(n));
      },
      faces);
  add(kCmdResetUV, "既定のUVに戻す(&R)", "選択した面のUVを新しい面と同じ既定の値に戻す", {},
      [host]() {
        const std::size_t n = OnSelectedFaces(host, EditKind::kUVReset, [](CModel& m, const std::vector<std::int32_t>& f) {
          return ResetUVs(m, f);
        });
        host.say(QStringLiteral("既定のUVに戻す: 面 %1 個").arg(n));
      },
      faces);
}

void FillUVMenu(const CommandRegistry& commands, QMenu* menu) {
  QMenu* projection = menu->addMenu(QStringLiteral("投影(&P)"));
  commands.Fill(projection,
                {kCmdUVPlanarX, kCmdUVPlanarY, kCmdUVPlanarZ, kCmdUVFromView, 0, kCmdUVBox, kCmdUVCylinder, kCmdUVSphere});
  commands.Fill(menu, {0, kCmdMarkSeam, kCmdClearSeam, kCmdAutoSeam, 0, kCmdUnwrap, kCmdPackUV, 0, kCmdResetUV});
}

}  // namespace mw
