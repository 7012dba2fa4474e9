#include "app/modelling_commands.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSpinBox>
#include <algorithm>

#include "app/command_registry.h"
#include "app/commands.h"
#include "app/document.h"
#include "scene/element_selection.h"
#include "scene/mesh_cut.h"
#include "scene/mesh_reduce.h"
#include "scene/symmetry.h"

namespace mw {

namespace {

// A small form: labelled fields, OK and Cancel, in the house's dialog voice.
class ChoiceDialog : public QDialog {
 public:
  ChoiceDialog(const QString& title, QWidget* parent) : QDialog(parent), form_(new QFormLayout) {
    setWindowTitle(title);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* outer = new QFormLayout(this);
    outer->addRow(form_);
    outer->addRow(buttons);
  }
  QSpinBox* Int(const QString& label, int lo, int hi, int value) {
    auto* s = new QSpinBox(this);
    s->setRange(lo, hi);
    s->setValue(value);
    form_->addRow(label, s);
    return s;
  }
  QDoubleSpinBox* Real(const QString& label, double lo, double hi, double value, int decimals) {
    auto* s = new QDoubleSpinBox(this);
    s->setDecimals(decimals);
    s->setRange(lo, hi);
    s->setValue(value);
    form_->addRow(label, s);
    return s;
  }
  QComboBox* Choice(const QString& label, const QStringList& items, int value) {
    auto* c = new QComboBox(this);
    c->addItems(items);
    c->setCurrentIndex(value);
    form_->addRow(label, c);
    return c;
  }
  QCheckBox* Check(const QString& text, bool value) {
    auto* c = new QCheckBox(text, this);
    c->setChecked(value);
    form_->addRow(c);
    return c;
  }

 private:
  QFormLayout* form_;
};

QString Caption(const char* text) { return QString::fromUtf8(text); }

}  // namespace

void RegisterModellingCommands(CommandRegistry& registry, CMeshwrightDoc& doc, ModellingChoices& choices,
                               const ModellingHooks& hooks) {
  using K = QKeySequence;
  // The handlers outlive this call: they hold pointers, never references to its locals.
  CMeshwright* const sc = &doc.scene();
  CMeshwrightDoc* const dc = &doc;
  ModellingChoices* const ch = &choices;
  const auto add = [&](int id, const char* caption, const char* prompt, const char* tip, QList<K> keys,
                       std::function<void()> run, std::function<bool()> checked = {}) {
    CommandEntry c;
    c.id = id;
    c.caption = Caption(caption);
    c.prompt = Caption(prompt);
    c.tip = Caption(tip);
    c.keys = std::move(keys);
    c.run = hooks.wrap(std::move(run));
    c.checked = std::move(checked);
    registry.Register(std::move(c));
  };
  const auto say = hooks.say;
  const auto count = [say](std::size_t n, const char* done, const char* none) {
    say(n == 0 ? QString::fromUtf8(none) : QString::fromUtf8(done).arg(n));
  };

  add(
      kCmdKnife, "ナイフ\tK(&K)",
      "編集画面か透視ビューでクリックした線で面を切る (Enterで確定、Escで取り消し、Shift+クリックで平面切断)", "ナイフ",
      {K(Qt::Key_K)}, [=]() { dc->SetEditMode(sc->editMode == kModeKnife ? kModeSelect : kModeKnife); },
      [=]() { return sc->editMode == kModeKnife; });
  add(
      kCmdLoopCut, "ループスライス...\tCtrl+E(&R)",
      "選択した辺を通る辺リングを平行に分割 (辺の選択がなければ、編集画面で辺をドラッグして位置を決め、離すと切る)",
      "ループスライス", {K(Qt::CTRL | Qt::Key_E)},
      [=]() {
        ChoiceDialog d(Caption("ループスライス"), hooks.parent);
        QSpinBox* cuts = d.Int(Caption("分割数(&N):"), 1, kMaxLoopCuts, ch->loopCuts);
        QDoubleSpinBox* slide = d.Real(Caption("スライド(&S) [%]:"), -95, 95, ch->slide * 100, 0);
        if (hooks.runDialog(d) != QDialog::Accepted) return;
        ch->loopCuts = cuts->value();
        ch->slide = slide->value() / 100.0;
        std::size_t n = 0;
        dc->Edit(EditKind::kLoopCut, [&]() { n = LoopCutSelected(*sc, ch->loopCuts, ch->slide); });
        if (n == 0 && hooks.loopCutMode) {
          hooks.loopCutMode(ch->loopCuts);
          say(QString::fromUtf8(
              "ループスライス: 編集画面で辺をドラッグして位置を決め、離すと切ります (Escで取り消し)"));
          return;
        }
        count(n, "ループスライス: 面を %1 個分割しました", "ループスライス: 四角形の並びを通る辺を選択してください");
      },
      [=]() { return sc->editMode == kModeLoopCut; });
  add(kCmdConnect, "頂点を接続\tJ(&J)", "同じ面にある選択頂点を辺で結んで面を分割", "頂点を接続", {K(Qt::Key_J)},
      [=]() {
        std::size_t n = 0;
        dc->Edit(EditKind::kConnect, [&]() { n = ConnectSelected(*sc); });
        count(n, "頂点を接続: 面を %1 個分割しました", "頂点を接続: 同じ面にある隣り合わない頂点を選択してください");
      });
  add(kCmdSubdivide, "細分化(&U)...", "選択した面をN×Nに分割", "細分化", {}, [=]() {
    ChoiceDialog d(Caption("細分化"), hooks.parent);
    QSpinBox* n = d.Int(Caption("分割数(&N):"), 2, kMaxLoopCuts, ch->subdivisions);
    QCheckBox* tri = d.Check(Caption("隣の面を三角形に分割(&T)"), ch->triangleNeighbours);
    if (hooks.runDialog(d) != QDialog::Accepted) return;
    ch->subdivisions = n->value();
    ch->triangleNeighbours = tri->isChecked();
    std::size_t done = 0;
    dc->Edit(EditKind::kSubdivide, [&]() {
      done = SubdivideSelected((*sc), ch->subdivisions,
                               ch->triangleNeighbours ? Neighbours::kTriangles : Neighbours::kPolygons);
    });
    count(done, "細分化: 面を %1 個分割しました", "細分化: 面を選択してください");
  });
  add(kCmdDissolve, "溶解\tCtrl+Backspace(&D)",
      "選択した頂点・辺・面を取り除き、周りの面を1つにまとめる (穴は残らない)", "溶解",
      {K(Qt::CTRL | Qt::Key_Backspace)}, [=]() {
        const SelectMode mode = SelectModeOf(*sc);
        const DissolveWhat what = mode == kSelectEdges   ? DissolveWhat::kEdges
                                  : mode == kSelectFaces ? DissolveWhat::kFaces
                                                         : DissolveWhat::kVertices;
        std::size_t n = 0;
        dc->Edit(EditKind::kDissolve, [&]() { n = DissolveSelected((*sc), what); });
        count(n, "溶解: 面を %1 個まとめました", "溶解: まとめられる面がありません");
      });
  add(kCmdDeleteElements, "頂点・辺・面を削除(&L)...",
      "選択した頂点・辺・面を削除 (辺と面だけを消して頂点を残すこともできる)", "頂点・辺・面を削除", {}, [=]() {
        ChoiceDialog d(Caption("頂点・辺・面を削除"), hooks.parent);
        QComboBox* what = d.Choice(Caption("削除するもの(&W):"),
                                   {Caption("頂点"), Caption("辺"), Caption("面"), Caption("辺と面のみ (頂点は残す)")},
                                   ch->deleteWhat);
        if (hooks.runDialog(d) != QDialog::Accepted) return;
        ch->deleteWhat = what->currentIndex();
        std::size_t n = 0;
        dc->Edit(EditKind::kDeleteElements,
                 [&]() { n = DeleteSelectedElements((*sc), static_cast<DeleteWhat>(ch->deleteWhat)); });
        count(n, "削除: 面を %1 個削除しました", "削除: 削除する面はありませんでした");
      });
  add(kCmdCollapse, "結合...\tM(&M)", "選択した頂点 (辺ごと・面ごと) を1つの頂点にまとめる", "結合", {K(Qt::Key_M)},
      [=]() {
        ChoiceDialog d(Caption("結合"), hooks.parent);
        QComboBox* at =
            d.Choice(Caption("位置(&P):"), {Caption("中心に"), Caption("最初に"), Caption("最後に")}, ch->collapseAt);
        if (hooks.runDialog(d) != QDialog::Accepted) return;
        ch->collapseAt = at->currentIndex();
        const SelectMode mode = SelectModeOf(*sc);
        const CollapseGroups groups = mode == kSelectEdges   ? CollapseGroups::kEdges
                                      : mode == kSelectFaces ? CollapseGroups::kFaces
                                                             : CollapseGroups::kAll;
        std::size_t n = 0;
        dc->Edit(EditKind::kCollapse,
                 [&]() { n = CollapseSelected((*sc), static_cast<CollapseAt>(ch->collapseAt), groups); });
        count(n, "結合: 頂点を %1 個まとめました", "結合: 2つ以上の頂点を選択してください");
      });
  add(kCmdSeparate, "分離...\tP(&E)", "選択した面 (材質ごと・つながった部分ごと) を新しいモデルに分ける", "分離",
      {K(Qt::Key_P)}, [=]() {
        ChoiceDialog d(Caption("分離"), hooks.parent);
        QComboBox* by =
            d.Choice(Caption("分け方(&B):"), {Caption("選択部分"), Caption("材質ごと"), Caption("つながった部分ごと")},
                     ch->separateBy);
        if (hooks.runDialog(d) != QDialog::Accepted) return;
        ch->separateBy = by->currentIndex();
        std::size_t n = 0;
        dc->Edit(EditKind::kSeparate, [&]() { n = Separate((*sc), static_cast<SeparateBy>(ch->separateBy)); });
        count(n, "分離: モデルを %1 個作りました", "分離: 分ける面がありません");
      });
  add(kCmdTriangulate, "三角形に分割\tCtrl+T(&T)", "選択した面を三角形に分割", "三角形に分割",
      {K(Qt::CTRL | Qt::Key_T)}, [=]() {
        std::size_t n = 0;
        dc->Edit(EditKind::kTriangulate, [&]() { n = TriangulateSelected(*sc); });
        count(n, "三角形に分割: 面を %1 個分割しました", "三角形に分割: 四角形以上の面を選択してください");
      });
  add(kCmdTrisToQuads, "四角形に結合...\tAlt+J(&Q)", "隣り合う三角形の組を、面の角度の差が指定以下なら四角形にまとめる",
      "四角形に結合", {K(Qt::ALT | Qt::Key_J)}, [=]() {
        ChoiceDialog d(Caption("四角形に結合"), hooks.parent);
        QDoubleSpinBox* angle = d.Real(Caption("角度の上限(&A) [度]:"), 0, 180, ch->quadAngle, 1);
        if (hooks.runDialog(d) != QDialog::Accepted) return;
        ch->quadAngle = angle->value();
        std::size_t n = 0;
        dc->Edit(EditKind::kTrisToQuads, [&]() { n = TrisToQuadsSelected((*sc), ch->quadAngle); });
        count(n, "四角形に結合: 四角形を %1 個作りました", "四角形に結合: まとめられる三角形の組がありません");
      });
  // Symmetric modelling of the current model.
  const auto currentModel = [=]() -> CModel* {
    return sc->HasCurrentModel() ? &sc->models[static_cast<std::size_t>(sc->currentModel)] : nullptr;
  };
  const struct {
    int id, axis;
    const char* caption;
    const char* prompt;
    const char* tip;
  } axes[] = {
      {kCmdSymmetryOff, 0, "対称編集なし(&O)", "現在のモデルの対称編集をやめる", "対称編集なし"},
      {kCmdSymmetryX, 1, "対称編集 X(&X)", "現在のモデルの頂点の編集を X=0 の面の反対側へも映す", "対称編集 X"},
      {kCmdSymmetryY, 2, "対称編集 Y(&Y)", "現在のモデルの頂点の編集を Y=0 の面の反対側へも映す", "対称編集 Y"},
      {kCmdSymmetryZ, 3, "対称編集 Z(&Z)", "現在のモデルの頂点の編集を Z=0 の面の反対側へも映す", "対称編集 Z"},
  };
  for (const auto& a : axes) {
    const int axis = a.axis;
    add(
        a.id, a.caption, a.prompt, a.tip, {},
        [=]() {
          CModel* m = currentModel();
          if (!m) return;
          dc->Edit(EditKind::kSymmetry, [m, axis]() { SetSymmetry(*m, axis); });
          if (axis == 0) {
            say(QString::fromUtf8("対称編集をやめました"));
            return;
          }
          const auto matched =
              std::count_if(m->counterparts.begin(), m->counterparts.end(), [](std::int32_t c) { return c >= 0; });
          say(QString::fromUtf8("対称編集: 頂点 %1 個のうち %2 個に対になる頂点があります")
                  .arg(m->vertices.size())
                  .arg(matched));
        },
        [currentModel, axis]() {
          const CModel* m = currentModel();
          return m && m->symmetryAxis == axis;
        });
  }
  add(kCmdMirrorCopy, "鏡像コピー(&C)", "選択した面を対称面の反対側へコピーし、面上の頂点でつなぐ", "鏡像コピー", {},
      [=]() {
        std::size_t n = 0;
        dc->Edit(EditKind::kMirrorCopy, [&]() { n = MirrorCopySelected(*sc); });
        count(n, "鏡像コピー: 面を %1 個コピーしました", "鏡像コピー: 面を選択してください");
      });
}

}  // namespace mw
