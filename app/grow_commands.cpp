#include "app/grow_commands.h"

#include <QDialog>
#include <algorithm>
#include <memory>

#include "app/commands.h"
#include "app/document.h"
#include "scene/element_selection.h"
#include "scene/grow_ops.h"
#include "scene/meshwright.h"
#include "scene/primitives.h"
#include "view/live_parameter_dialog.h"

namespace mw {

namespace {

// What the boxes open with: the values last used in this session, or sizes that fit the zoom.
struct Remembered {
  double extrude = 0, insetThickness = 0, insetDepth = 0, bevelWidth = 0, solidify = 0;
  bool individual = false, insetIndividual = false, quads = false;
  int bevelSegments = 1;
  double bevelProfile = 0.5, spinDegrees = 360;
  int spinSteps = 12;
};

bool AnyFaceSelected(const CMeshwright& scene) {
  const bool faceMode = SelectModeOf(scene) == kSelectFaces;
  return std::any_of(scene.models.begin(), scene.models.end(), [faceMode](const CModel& m) {
    return m.IsEditable() && std::any_of(m.faces.begin(), m.faces.end(), [faceMode](const CFace& f) {
             return !f.hidden && f.indices.size() >= 3 && (faceMode ? f.selected != 0 : f.allSelected != 0);
           });
  });
}

std::size_t CountFaces(const CMeshwright& scene) {
  std::size_t n = 0;
  for (const CModel& m : scene.models) n += m.faces.size();
  return n;
}

LiveField Real(const char* label, const char* tip, double value, double lowest = -1e7, double highest = 1e7) {
  return {LiveField::kReal, QString::fromUtf8(label), QString::fromUtf8(tip), value, lowest, highest};
}
LiveField Integer(const char* label, const char* tip, double value, double lowest, double highest) {
  return {LiveField::kInteger, QString::fromUtf8(label), QString::fromUtf8(tip), value, lowest, highest};
}
LiveField Check(const char* label, const char* tip, bool value) {
  return {LiveField::kCheck, QString::fromUtf8(label), QString::fromUtf8(tip), value ? 1.0 : 0.0, 0, 1};
}

}  // namespace

void RegisterGrowCommands(const GrowCommandHost& host, const std::function<void(CommandEntry)>& add) {
  auto memory = std::make_shared<Remembered>();
  const auto entry = [&add](int id, const char* caption, const char* prompt, const char* tip, QList<QKeySequence> keys,
                            bool icon, std::function<void()> run, std::function<bool()> enabled) {
    CommandEntry c;
    c.id = id;
    c.caption = QString::fromUtf8(caption);
    c.prompt = QString::fromUtf8(prompt);
    c.tip = QString::fromUtf8(tip);
    c.keys = std::move(keys);
    c.icon = icon;
    c.run = std::move(run);
    c.enabled = std::move(enabled);
    add(std::move(c));
  };
  CMeshwright* scene = &host.doc->scene();
  const auto selected = [scene]() { return HasSelectedVertices(*scene); };
  // A verb with a box: the box follows live; OK makes it one edit, reported in the status bar.
  const auto ask = [host, scene](EditKind kind, const char* title, const std::vector<LiveField>& fields,
                                 std::function<std::size_t(CMeshwright&, const std::vector<double>&)> apply,
                                 std::function<void(const std::vector<double>&)> keep) {
    const std::size_t facesBefore = CountFaces(*scene);
    const auto v =
        AskLiveParameters(*scene, kind, QString::fromUtf8(title), fields, apply, host.parent, host.run, host.refresh);
    if (!v) {
      host.refresh();
      return;
    }
    keep(*v);
    std::size_t changed = 0;
    host.doc->Edit(kind, [&]() { changed = apply(*scene, *v); });
    const auto grown = static_cast<long long>(CountFaces(*scene)) - static_cast<long long>(facesBefore);
    const QString name = QString::fromUtf8(title);
    host.say(changed == 0 ? QStringLiteral("%1: 変更はありません（対象を選択してください）").arg(name)
             : grown > 0 ? QStringLiteral("%1: 面が %2 個増えました").arg(name).arg(grown)
                         : QStringLiteral("%1: 完了しました").arg(name));
  };
  const auto step = [scene]() { return std::max(0.001, static_cast<double>(GridStepUnits(scene->zoom))); };

  // The box of 押し出し: the distance along the faces' normal, or the move of new edges and vertices.
  const auto extrudeBox = [=]() {
    if (AnyFaceSelected(*scene)) {
      const double d = memory->extrude != 0 ? memory->extrude : 4 * step();
      ask(
          EditKind::kExtrude, "押し出し",
          {Real("距離(&D):", "面の法線方向に押し出す距離 (負の値で内側へ)", d),
           Check("面ごとに押し出す(&I)", "つながった面をまとめずに1枚ずつ押し出す", memory->individual)},
          [](CMeshwright& s, const std::vector<double>& v) { return ExtrudeSelected(s, {v[0], v[1] != 0, {}}); },
          [memory](const std::vector<double>& v) {
            memory->extrude = v[0];
            memory->individual = v[1] != 0;
          });
      return;
    }
    const double d = memory->extrude != 0 ? memory->extrude : 4 * step();
    ask(
        EditKind::kExtrude, "押し出し",
        {Real("X 移動量(&X):", "新しい辺・頂点の X 方向の移動量", 0), Real("Y 移動量(&Y):", "Y 方向の移動量", d),
         Real("Z 移動量(&Z):", "Z 方向の移動量", 0)},
        [](CMeshwright& s, const std::vector<double>& v) {
          ExtrudeParams p;
          p.offset = CVector(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]));
          return ExtrudeSelected(s, p);
        },
        [](const std::vector<double>&) {});
  };
  entry(
      kCmdExtrude, "押し出し\tE(&E)",
      "選択した面・辺・頂点を押し出し、ポインタに合わせて動かす (面は法線方向に、辺と頂点は画面の面内で。クリックで確定)",
      "押し出し", {QKeySequence(Qt::Key_E)}, true,
      [=]() {
        const auto keep = [host, scene, memory](const ExtrudeParams& p) {
          const std::size_t facesBefore = CountFaces(*scene);
          std::size_t changed = 0;
          host.doc->Edit(EditKind::kExtrude, [&]() { changed = ExtrudeSelected(*scene, p); });
          if (changed != 0 && p.distance != 0) memory->extrude = p.distance;
          const auto grown = static_cast<long long>(CountFaces(*scene)) - static_cast<long long>(facesBefore);
          host.say(changed == 0 ? QStringLiteral("押し出し: 変更はありません（対象を選択してください）")
                                : QStringLiteral("押し出し: 面が %1 個増えました").arg(grown));
        };
        if (!host.follow || !host.follow(memory->individual, keep)) extrudeBox();
      },
      selected);
  entry(kCmdExtrudeNumeric, "押し出し (数値入力)...(&N)", "選択した面・辺・頂点を、距離や移動量を数値で指定して押し出す",
        "押し出し (数値入力)", {}, false, extrudeBox, selected);
  entry(
      kCmdInset, "インセット...\tI(&I)", "選択した面を内側に縮め、まわりに面の輪を作る", "インセット",
      {QKeySequence(Qt::Key_I)}, true,
      [=]() {
        const double t = memory->insetThickness != 0 ? memory->insetThickness : step();
        ask(
            EditKind::kInset, "インセット",
            {Real("幅(&W):", "縁から内側へ縮める幅", t, 0),
             Real("深さ(&D):", "縮めた面を法線方向に動かす距離", memory->insetDepth),
             Check("面ごとに(&I)", "つながった面をまとめずに1枚ずつインセットする", memory->insetIndividual)},
            [](CMeshwright& s, const std::vector<double>& v) {
              return InsetSelected(s, {v[0], v[1], v[2] != 0});
            },
            [memory](const std::vector<double>& v) {
              memory->insetThickness = v[0];
              memory->insetDepth = v[1];
              memory->insetIndividual = v[2] != 0;
            });
      },
      selected);
  entry(
      kCmdBevel, "面取り...\tCtrl+B(&B)", "選択した辺 (辺がなければ頂点) の角を削って面を作る", "面取り",
      {QKeySequence(Qt::CTRL | Qt::Key_B)}, true,
      [=]() {
        const double w = memory->bevelWidth != 0 ? memory->bevelWidth : step();
        ask(
            EditKind::kBevel, "面取り",
            {Real("幅(&W):", "角から削る幅", w, 0),
             Integer("分割数(&S):", "面取りの段数 (1〜10)", memory->bevelSegments, 1, 10),
             Real("形状(&P):", "0 で平らな面取り、0.5 で丸み、1 で角ばった形", memory->bevelProfile, 0, 1)},
            [](CMeshwright& s, const std::vector<double>& v) {
              return BevelSelected(s, {v[0], static_cast<int>(v[1]), v[2]});
            },
            [memory](const std::vector<double>& v) {
              memory->bevelWidth = v[0];
              memory->bevelSegments = static_cast<int>(v[1]);
              memory->bevelProfile = v[2];
            });
      },
      selected);
  entry(
      kCmdBridge, "ブリッジ\tCtrl+Shift+B(&R)", "選択した2本の辺の列を面の帯でつなぐ", "ブリッジ",
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B)}, false,
      [=]() {
        std::size_t changed = 0;
        host.doc->Edit(EditKind::kBridge, [&]() { changed = BridgeSelected(*scene); });
        host.say(changed ? QStringLiteral("ブリッジ: 2本の辺の列をつなぎました")
                         : QStringLiteral("ブリッジ: 閉じた (または開いた) 辺の列を2本選択してください"));
      },
      selected);
  entry(
      kCmdFill, "面を張る...\tCtrl+Shift+F(&F)", "選択した縁の穴を面でふさぐ (縁がなければ選択頂点を通る面を作る)", "面を張る",
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}, false,
      [=]() {
        ask(
            EditKind::kFill, "面を張る",
            {Check("四角形の列で張る(&Q)", "辺の数が偶数の縁を四角形の列でふさぐ", memory->quads)},
            [](CMeshwright& s, const std::vector<double>& v) { return FillSelected(s, v[0] != 0); },
            [memory](const std::vector<double>& v) { memory->quads = v[0] != 0; });
      },
      selected);
  entry(
      kCmdSpin, "回転体...\tCtrl+Shift+W(&S)",
      "選択した面 (面がなければ辺) を作業中の画面の奥行き方向の軸のまわりに回して形を作る", "回転体",
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W)}, false,
      [=]() {
        const Plane plane = host.pane ? host.pane() : kPlaneTop;
        const CVector centre = host.centre ? host.centre() : CursorPoint(*scene);
        ask(
            EditKind::kSpin, "回転体",
            {Real("角度(&A):", "回す角度 (360 で一周して閉じる)", memory->spinDegrees, -360, 360),
             Integer("分割数(&S):", "回す間の段数", memory->spinSteps, 1, 360)},
            [plane, centre](CMeshwright& s, const std::vector<double>& v) {
              return SpinSelected(s, {v[0], static_cast<int>(v[1]), plane, centre});
            },
            [memory](const std::vector<double>& v) {
              memory->spinDegrees = v[0];
              memory->spinSteps = static_cast<int>(v[1]);
            });
      },
      selected);
  entry(
      kCmdSolidify, "厚み付け...\tCtrl+Shift+T(&T)", "選択した面に裏側を作って厚みを付ける", "厚み付け",
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T)}, false,
      [=]() {
        const double t = memory->solidify != 0 ? memory->solidify : step();
        ask(
            EditKind::kSolidify, "厚み付け", {Real("厚さ(&T):", "面の裏側へ付ける厚さ", t)},
            [](CMeshwright& s, const std::vector<double>& v) { return SolidifySelected(s, v[0]); },
            [memory](const std::vector<double>& v) { memory->solidify = v[0]; });
      },
      selected);
}

}  // namespace mw
