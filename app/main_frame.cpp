#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QStandardPaths>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUndoStack>
#include <QCursor>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <cmath>
#include <thread>

#include "app/about_dialog.h"
#include "app/clipboard.h"
#include "app/command_registry.h"
#include "app/commands.h"
#include "app/document.h"
#include "app/grow_commands.h"
#include "app/help_window.h"
#include "app/icons.h"
#include "app/lock_keys.h"
#include "app/material_view.h"
#include "app/model_view.h"
#include "app/primitive_command.h"
#include "app/save_choices.h"
#include "app/surface_commands.h"
#include "app/uv_commands.h"
#ifdef MW_HAVE_PYTHON
#include "app/script_command.h"
#endif
#include "app/settings.h"
#include "app/ui_seam.h"
#include "io/document_formats.h"
#include "io/document_io.h"
#include "platform/paths.h"
#include "scene/fragment.h"
#include "scene/frame_view.h"
#include "scene/element_selection.h"
#include "scene/meshwright.h"
#include "view/extrude_follow.h"
#include "view/numeric_dialogs.h"
#include "view/opengl_pane.h"
#include "view/weld_dialog.h"
#include "app/uv_editor_commands.h"

namespace mw {
namespace {

int ModeOf(int command) {
  switch (command) {
    case kCmdModeSelect: return kModeSelect;
    case kCmdModeMove: return kModeMove;
    case kCmdModeRotate: return kModeRotate;
    case kCmdModeSize: return kModeSize;
    case kCmdModeStretch: return kModeStretch;
    case kCmdModeCreateFace: return kModeCreateFace;
    case kCmdModeCreateBox: return kModeCreateBox;
  }
  return -1;
}

// The handles are 7 pixels wide, so that the two handles and the list column take 138 of the width.
constexpr int kHandleWidth = 7;

// A splitter that lays its panes out again from the frame's proportions after each of its own
// resizes. Changing the sizes from the panes' resize handlers instead would run while the
// splitter is still placing them, and leave gaps and lost handles behind.
class PaneSplitter : public QSplitter {
 public:
  PaneSplitter(Qt::Orientation orientation, QWidget* parent, std::function<void(QSplitter&)> layout)
      : QSplitter(orientation, parent), layout_(std::move(layout)) {
    setChildrenCollapsible(false);
    setHandleWidth(kHandleWidth);
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QSplitter::resizeEvent(event);
    layout_(*this);
  }

 private:
  std::function<void(QSplitter&)> layout_;
};

// The length the panes of a splitter share: its own less the handles between them.
int PaneLength(const QSplitter& splitter) {
  const int length = splitter.orientation() == Qt::Horizontal ? splitter.width() : splitter.height();
  return std::max(0, length - (splitter.count() - 1) * splitter.handleWidth());
}

// `share` of `length`, rounded down; a share taken from pane sizes gives those sizes back.
int ShareOf(int length, double share) { return static_cast<int>(std::floor(length * share + 1e-6)); }

}  // namespace

CMainFrame::CMainFrame(CMeshwright& scene, CMeshwrightDoc& doc, QWidget* parent)
    : QMainWindow(parent), scene_(scene), doc_(doc) {
  setWindowIcon(ProgramIcon());
  setAcceptDrops(true);
  runDialog = [](QDialog& d) { return d.exec(); };
  frameOnOpen = LoadFrameOnOpen();
  host_.refresh3D = [this]() { Refresh3D(); };
  host_.refreshOrtho = [this]() { RefreshOrtho(); };
  host_.dragBegan = [this](EditKind kind) { doc_.BeginEdit(kind); };
  host_.dragEnded = [this]() { doc_.EndEdit(); };
  host_.edit = [this](EditKind kind, const std::function<void()>& change) { doc_.Edit(kind, change); };
  doc_.SetReader([this](DocumentRead& read) { ReadInBackground(read); });
  BuildActions();
  BuildViewCommands();
  BuildMenus();
  BuildToolBar();
  BuildStatusBar();
  BuildPanes();
  ApplyViewOptions();
  connect(&doc_, &CMeshwrightDoc::updateAllViews, this, &CMainFrame::OnUpdateAllViews);
  connect(&doc_, &CMeshwrightDoc::titleChanged, this, &CMainFrame::UpdateTitle);
  // The title names the document without a "[*]" placeholder, and setWindowModified warns about
  // such a title at every change: the state is kept by its attribute alone.
  connect(&doc_, &CMeshwrightDoc::modifiedChanged, this,
          [this](bool modified) { setAttribute(Qt::WA_WindowModified, modified); });
  connect(&doc_, &CMeshwrightDoc::notice, this, [this](const QString& text) { statusBar()->showMessage(text); });
  connect(&doc_, &CMeshwrightDoc::recentFilesChanged, this, &CMainFrame::RebuildRecentMenu);
  doc_.SetWindow(this);
  // The window opens as it was left: size, place, maximised or not, and the split of the panes.
  const WindowState last = LoadWindowState();
  split_ = last.split;
  if (last.geometry.isEmpty() || !restoreGeometry(last.geometry)) resize(1024, 768);
  ApplySplit();
  uvEditor_->RestoreState();
  connect(&doc_, &CMeshwrightDoc::documentOpened, this, [this]() {
    if (frameOnOpen) FrameIfOutside();
  });
  orthoShared_.tools.snap.step = LoadSnapStep();
  orthoShared_.tools.pickThrough = LoadPickThrough();
  orthoShared_.tools.knifeThroughBack = LoadKnifeThroughBack();
  orthoShared_.refinedWire = LoadRefinedWire();
  UpdateTitle();
  RebuildRecentMenu();
  OnUpdateAllViews(kHintAll);
  UpdateCommandStates();
}

void CMainFrame::BuildActions() {
  using K = QKeySequence;
  // Each command once: caption with its shortcut text, status-bar prompt, tool tip, keys,
  // picture, handler, and when it is enabled or checked. Menus, toolbar and the help's key table
  // are built from these.
  const auto add = [this](int id, const char* caption, const char* prompt, const char* tip, QList<K> keys, bool icon,
                          std::function<void()> run, std::function<bool()> enabled = {},
                          std::function<bool()> checked = {}) {
    CommandEntry c;
    c.id = id;
    c.caption = QString::fromUtf8(caption);
    c.prompt = QString::fromUtf8(prompt);
    c.tip = QString::fromUtf8(tip);
    c.keys = std::move(keys);
    c.icon = icon;
    c.run = [this, run = std::move(run)]() {
      if (doc_.loading()) return;  // shortcuts still reach here while an open reads
      run();
      UpdateCommandStates();
    };
    c.enabled = std::move(enabled);
    c.checked = std::move(checked);
    commands_.Register(std::move(c));
  };
  const auto mode = [this](int id, const char* caption, const char* prompt, const char* tip) {
    const int m = ModeOf(id);
    CommandEntry c;
    c.id = id;
    c.caption = QString::fromUtf8(caption);
    c.prompt = QString::fromUtf8(prompt);
    c.tip = QString::fromUtf8(tip);
    c.icon = true;
    c.run = [this, m]() {
      if (doc_.loading()) return;
      doc_.SetEditMode(m);
      UpdateCommandStates();
    };
    c.checked = [this, m]() { return scene_.editMode == m; };
    commands_.Register(std::move(c));
  };
  const auto selectMode = [this](int id, int m, const char* caption, const char* prompt, const char* tip, K key) {
    CommandEntry c;
    c.id = id;
    c.caption = QString::fromUtf8(caption);
    c.prompt = QString::fromUtf8(prompt);
    c.tip = QString::fromUtf8(tip);
    c.keys = {key};
    c.icon = true;
    c.run = [this, m]() {
      if (doc_.loading()) return;
      doc_.SetSelectMode(m);
      UpdateCommandStates();
    };
    c.checked = [this, m]() { return scene_.selectMode == m; };
    commands_.Register(std::move(c));
  };
  const auto editableCurrent = [this]() {
    return scene_.HasCurrentModel() && scene_.models[static_cast<std::size_t>(scene_.currentModel)].IsEditable();
  };

  add(kCmdNew, "新規作成\tCtrl+N(&N)", "新規にファイルを作成", "新規作成", {K(Qt::CTRL | Qt::Key_N)}, true, [this]() {
    if (doc_.SaveModified(this)) doc_.NewDocument();
  });
  add(kCmdOpen, "開く...\tCtrl+O(&O)", "既存のファイルを開く", "開く", {K(Qt::CTRL | Qt::Key_O)}, true,
      [this]() { FileOpen(); });
  add(kCmdSave, "上書き保存\tCtrl+S(&S)", "ファイルを上書きして保存", "上書き保存", {K(Qt::CTRL | Qt::Key_S)}, true,
      [this]() { FileSave(); });
  add(kCmdSaveAs, "名前を付けて保存(&A)...", "ファイルに名前を付けて保存", "名前を付けて保存", {}, false,
      [this]() { FileSaveAs(); });
  add(kCmdExit, "アプリケーションの終了(&X)", "アプリケーションを終了し、ファイルの保存を指示", "終了", {}, false,
      [this]() { close(); });
  QUndoStack& history = doc_.undoStack();
  add(kCmdUndo, "元に戻す\tCtrl+Z(&U)", "直前に行った動作を元に戻す", "元に戻す",
      {K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)}, true, [this]() { doc_.Undo(); },
      [&history]() { return history.canUndo(); });
  add(kCmdRedo, "やり直し\tCtrl+Y(&R)", "直前に元に戻した動作をやり直す", "やり直し",
      {K(Qt::CTRL | Qt::Key_Y), K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}, true, [this]() { doc_.Redo(); },
      [&history]() { return history.canRedo(); });
  add(kCmdCut, "切り取り\tCtrl+X(&T)", "選択範囲の面を切り取り", "切り取り",
      {K(Qt::CTRL | Qt::Key_X), K(Qt::SHIFT | Qt::Key_Delete)}, true, [this]() { doc_.Cut(); },
      [this]() { return facesSelected_; });
  add(kCmdCopy, "コピー\tCtrl+C(&C)", "選択範囲をコピーしてクリップボードに保存", "コピー",
      {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)}, true, [this]() { doc_.Copy(); },
      [this]() { return facesSelected_; });
  add(kCmdPaste, "貼り付け\tCtrl+V(&P)", "クリップボードの内容を貼り付け", "貼り付け",
      {K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)}, true, [this]() { doc_.Paste(); },
      [this, editableCurrent]() { return clipboardHasFragment_ && editableCurrent(); });
  add(kCmdDuplicate, "複製\tCtrl+D(&D)", "選択範囲の面を複製してグリッド1目盛りずらす", "複製",
      {K(Qt::CTRL | Qt::Key_D)}, false,
      [this]() {
        const float step = GridStepUnits(scene_.zoom);
        doc_.Duplicate(CVector(step, step, step));
      },
      [this]() { return facesSelected_; });
  add(kCmdDelete, "削除\tDelete(&L)", "選択範囲の面を削除", "削除", {K(Qt::Key_Delete)}, false,
      [this]() { doc_.Delete(); });
  add(kCmdSelectAll, "頂点全選択(&A)", "頂点を全て選択", "頂点全選択", {}, true, [this]() { doc_.SelectAll(true); });
  add(kCmdDeselectAll, "頂点全非選択(&N)", "頂点を全て選択解除", "頂点全非選択", {}, true,
      [this]() { doc_.SelectAll(false); });
  add(kCmdInvertSelection, "選択の反転\tCtrl+I(&I)", "編集できるモデルの選択を反転", "選択の反転",
      {K(Qt::CTRL | Qt::Key_I)}, false, [this]() { doc_.InvertSelection(); });
  add(kCmdSelectConnected, "接続部分を選択\tCtrl+L(&K)", "選択頂点と面でつながった頂点を全て選択",
      "接続部分を選択", {K(Qt::CTRL | Qt::Key_L)}, false, [this]() { doc_.SelectConnected(); });
  add(kCmdWeld, "近接頂点を結合...\tCtrl+M(&W)", "指定した距離より近い選択頂点を1つに結合", "近接頂点を結合",
      {K(Qt::CTRL | Qt::Key_M)}, true, [this]() { Weld(); });
  add(kCmdFlipFaces, "面の反転\tCtrl+R(&F)", "選択範囲の面の表と裏を反転", "面の反転", {K(Qt::CTRL | Qt::Key_R)}, true,
      [this]() { FlipFaces(); });
  mode(kCmdModeSelect, "選択(&S)", "頂点を選択", "頂点を選択");
  mode(kCmdModeMove, "移動(&M)", "頂点を移動", "頂点を移動");
  mode(kCmdModeRotate, "回転(&R)", "頂点を回転", "頂点を回転");
  mode(kCmdModeSize, "サイズ(&Z)", "頂点を拡大・縮小", "頂点を拡大・縮小");
  mode(kCmdModeStretch, "ストレッチ(&T)", "頂点をストレッチ", "頂点をストレッチ");
  add(kCmdNumericInput, "数値入力(&N)", "数値入力して変形", "数値入力して変形", {}, true, [this]() {
    if (const auto t = AskNumericTransform(scene_.editMode, this, runDialog))
      doc_.Edit(t->kind, [this, &t]() { ApplyNumericTransform(scene_, *t); });
    else Refresh3D();
  });
  mode(kCmdModeCreateFace, "面作成(&F)", "面を作成", "面を作成");
  mode(kCmdModeCreateBox, "箱(&B)", "ドラッグした矩形から箱を作成", "箱を作成");
  add(kCmdPrimitive, "基本図形(&P)...", "平面・箱・球・円柱などの基本図形を分割数を指定して作成", "基本図形を作成", {},
      true, [this]() {
        int pane = 0;  // the sizes the dialog offers fit the smallest orthographic pane
        for (OrthoPane* p : ortho_)
          pane = pane ? std::min({pane, p->width(), p->height()}) : std::min(p->width(), p->height());
        const QString said =
            RunPrimitiveCommand(doc_, orthoShared_.pan, pane, this, runDialog, [this]() { Refresh3D(); });
        if (!said.isEmpty()) statusBar()->showMessage(said);
      });
  add(kCmdSnapToGrid, "グリッドにスナップ\tCtrl+G(&G)", "移動と面作成をグリッドに合わせる", "グリッドにスナップ",
      {K(Qt::CTRL | Qt::Key_G)}, true,
      [this]() { orthoShared_.tools.snap.enabled = !orthoShared_.tools.snap.enabled; }, {},
      [this]() { return orthoShared_.tools.snap.enabled; });
  add(kCmdAssignMaterial, "面に現在の材質を指定(&P)", "面に現在の材質を指定", "面に現在の材質を指定", {}, true,
      [this]() { doc_.AssignCurrentMaterial(); });
  // Selection by element.
  selectMode(kCmdSelectVertices, kSelectVertices, "頂点\t1(&V)", "頂点を選択する (クリックと範囲で頂点を選ぶ)",
             "頂点を選択", K(Qt::Key_1));
  selectMode(kCmdSelectEdges, kSelectEdges, "辺\t2(&E)", "辺を選択する (クリックと範囲で辺を選ぶ)", "辺を選択",
             K(Qt::Key_2));
  selectMode(kCmdSelectFaces, kSelectFaces, "面\t3(&F)", "面を選択する (クリックと範囲で面を選ぶ)", "面を選択",
             K(Qt::Key_3));
  add(kCmdGrowSelection, "選択範囲を拡大\tCtrl+テンキー+(&G)", "選択範囲を面1つ分広げる", "選択範囲を拡大",
      {K(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus))}, false, [this]() { doc_.GrowSelection(true); });
  add(kCmdShrinkSelection, "選択範囲を縮小\tCtrl+テンキー-(&S)", "選択範囲を面1つ分狭める", "選択範囲を縮小",
      {K(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Minus))}, false, [this]() { doc_.GrowSelection(false); });
  add(kCmdSelectLoop, "ループを選択(&L)", "選択した辺を通る辺ループを選択 (Alt+クリックでも選択)", "ループを選択", {},
      false, [this]() {
        if (!doc_.SelectLoops(false)) statusBar()->showMessage(QStringLiteral("辺を選択してください"), 3000);
      });
  add(kCmdSelectRing, "リングを選択(&R)", "選択した辺を通る辺リングを選択 (Ctrl+Alt+クリックでも選択)",
      "リングを選択", {}, false, [this]() {
        if (!doc_.SelectLoops(true)) statusBar()->showMessage(QStringLiteral("辺を選択してください"), 3000);
      });
  add(kCmdSelectMaterial, "現在の材質の面を選択(&M)", "現在の材質の面を選択に加える", "現在の材質の面を選択", {},
      false, [this]() { doc_.SelectByMaterial(); }, [this]() { return scene_.HasCurrentMaterial(); });
  add(kCmdHide, "選択部を隠す\tH(&H)", "選択した部分を隠す (表示も選択も編集もされない)", "選択部を隠す",
      {K(Qt::Key_H)}, false, [this]() { doc_.Hide(false); });
  add(kCmdHideUnselected, "選択部以外を隠す\tShift+H(&U)", "選択していない部分を隠す", "選択部以外を隠す",
      {K(Qt::SHIFT | Qt::Key_H)}, false, [this]() { doc_.Hide(true); });
  add(kCmdReveal, "すべて表示\tAlt+H(&A)", "隠した部分をすべて表示して選択", "すべて表示", {K(Qt::ALT | Qt::Key_H)},
      false, [this]() { doc_.Reveal(); });
  add(kCmdPickThrough, "背面も選択(&B)", "透視ビューのクリックと範囲選択で、面の陰にある部分も選択する", "背面も選択",
      {}, false,
      [this]() {
        orthoShared_.tools.pickThrough = !orthoShared_.tools.pickThrough;
        StorePickThrough(orthoShared_.tools.pickThrough);
      },
      {}, [this]() { return orthoShared_.tools.pickThrough; });
  add(kCmdKnifeThroughBack, "背面も切る(&G)", "透視ビューのナイフで、裏向きの面や陰にある面も切る", "背面も切る", {},
      false,
      [this]() {
        orthoShared_.tools.knifeThroughBack = !orthoShared_.tools.knifeThroughBack;
        StoreKnifeThroughBack(orthoShared_.tools.knifeThroughBack);
      },
      {}, [this]() { return orthoShared_.tools.knifeThroughBack; });
  add(kCmdToolBar, "ツール バー(&T)", "ツール バーの表示/非表示", "ツール バーの表示/非表示", {}, false,
      [this]() {
        if (QToolBar* bar = findChild<QToolBar*>(QStringLiteral("toolbar"))) bar->setVisible(bar->isHidden());
      },
      {},
      [this]() {
        const QToolBar* bar = findChild<QToolBar*>(QStringLiteral("toolbar"));
        return bar && !bar->isHidden();
      });
  add(kCmdStatusBar, "ステータス バー(&S)", "ステータス バーの表示/非表示", "ステータス バーの表示/非表示", {}, false,
      [this]() { statusBar()->setVisible(statusBar()->isHidden()); }, {},
      [this]() { return !statusBar()->isHidden(); });
  add(kCmdSmoothing, "スムージング表示(&F)", "スムージングの切り替え", "スムージングの切り替え", {}, false,
      [this]() { doc_.ToggleSmoothing(); }, {}, [this]() { return scene_.smoothing != 0; });
  add(kCmdFrameAll, "全体を表示\tHome(&A)", "表示中の頂点が全て収まるように表示", "全体を表示",
      {K(Qt::Key_Home), K(Qt::SHIFT | Qt::Key_F)}, true, [this]() { FrameView(false); });
  add(kCmdFrameSelection, "選択頂点を表示\tF(&E)", "選択した頂点が収まるように表示", "選択頂点を表示",
      {K(Qt::Key_F)}, true, [this]() { FrameView(true); });
  add(kCmdHelp, "目次(&H)", "ヘルプの目次を表示", "目次", {}, true, [this]() { OpenHelp(); });
  add(kCmdAbout, "バージョン情報 Meshwright(&A)...", "プログラム情報、バージョン、著作権を表示", "バージョン情報", {},
      true, [this]() {
        CAboutDlg about(this);
        runDialog(about);
      });
  // The modelling verbs (app/modelling_commands.h).
  ModellingHooks hooks;
  hooks.wrap = [this](std::function<void()> run) -> std::function<void()> {
    return [this, run = std::move(run)]() {
      if (doc_.loading()) return;
      run();
      UpdateCommandStates();
    };
  };
  hooks.runDialog = [this](QDialog& d) { return runDialog(d); };
  hooks.say = [this](const QString& text) { statusBar()->showMessage(text); };
  hooks.parent = this;
  hooks.loopCutMode = [this](int cuts) {
    orthoShared_.tools.loopCuts = cuts;
    doc_.SetEditMode(kModeLoopCut);
  };
  RegisterModellingCommands(commands_, doc_, modellingChoices_, hooks);
  add(kCmdNextPane, "次のペイン\tF6", "次のペインへ", "次のペイン", {K(Qt::Key_F6)}, false, [this]() { CyclePane(1); });
  add(kCmdPreviousPane, "前のペイン\tShift+F6", "前のペインへ", "前のペイン", {K(Qt::SHIFT | Qt::Key_F6)}, false,
      [this]() { CyclePane(-1); });
  RegisterSurfaceCommands(commands_, SurfaceCommandHost{doc_, scene_, this, [this](QDialog& d) { return runDialog(d); },
                                                        [this](const QString& text) { statusBar()->showMessage(text); },
                                                        [this]() { UpdateCommandStates(); }});
  add(kCmdRefinedWire, "曲面のワイヤー(&W)", "上面・正面・側面ビューに曲面の辺を灰色で表示 (ケージの下に)",
      "曲面のワイヤー", {}, false,
      [this]() {
        orthoShared_.refinedWire = !orthoShared_.refinedWire;
        StoreRefinedWire(orthoShared_.refinedWire);
        RefreshOrtho();
      },
      {}, [this]() { return orthoShared_.refinedWire; });
  RegisterUVCommands(commands_, UVCommandHost{doc_, scene_, [this](const QString& text) { statusBar()->showMessage(text); },
                                              [this]() { UpdateCommandStates(); }});
#ifdef MW_HAVE_PYTHON
  // Python scripts on the open document; the interpreter starts with the first one.
  auto* scripts = new ScriptCommands(doc_, this);
  connect(scripts, &ScriptCommands::status, this, [this](const QString& text) { statusBar()->showMessage(text); });
  add(kCmdRunScript, "実行(&R)...\tCtrl+Shift+P", "Python スクリプトを開いているドキュメントに実行 (1 回で元に戻せます)",
      "スクリプトの実行", {K(Qt::CTRL | Qt::SHIFT | Qt::Key_P)}, false, [scripts]() { scripts->RunChosen(); });
  add(kCmdScriptOutput, "出力ペイン(&O)", "スクリプトの出力ペインの表示/非表示", "スクリプトの出力ペイン", {}, false,
      [scripts]() { scripts->ToggleOutput(); }, {}, [scripts]() { return scripts->OutputVisible(); });
#endif

  // Whether the clipboard holds a fragment is asked only when its owner changes: asking another
  // program on every refresh would cost a round trip each time.
  QClipboard* clipboard = QGuiApplication::clipboard();
  connect(clipboard, &QClipboard::dataChanged, this, [this, clipboard]() {
    clipboardHasFragment_ = HasFragment(clipboard->mimeData());
    UpdateCommandStates();
  });
  clipboardHasFragment_ = HasFragment(clipboard->mimeData());
  // The history says what can be taken back or made again, and names the step.
  connect(&history, &QUndoStack::canUndoChanged, action(kCmdUndo), &QAction::setEnabled);
  connect(&history, &QUndoStack::canRedoChanged, action(kCmdRedo), &QAction::setEnabled);
  connect(&history, &QUndoStack::undoTextChanged, this, [this](const QString& name) {
    QAction* a = action(kCmdUndo);
    a->setText(name.isEmpty() ? QStringLiteral("元に戻す\tCtrl+Z(&U)")
                              : QStringLiteral("元に戻す: %1\tCtrl+Z(&U)").arg(name));
    a->setToolTip(name.isEmpty() ? QStringLiteral("元に戻す") : QStringLiteral("元に戻す: %1").arg(name));
    a->setStatusTip(name.isEmpty() ? QStringLiteral("直前に行った動作を元に戻す")
                                   : QStringLiteral("直前に行った「%1」を元に戻す").arg(name));
  });
  connect(&history, &QUndoStack::redoTextChanged, this, [this](const QString& name) {
    QAction* a = action(kCmdRedo);
    a->setText(name.isEmpty() ? QStringLiteral("やり直し\tCtrl+Y(&R)")
                              : QStringLiteral("やり直し: %1\tCtrl+Y(&R)").arg(name));
    a->setToolTip(name.isEmpty() ? QStringLiteral("やり直し") : QStringLiteral("やり直し: %1").arg(name));
    a->setStatusTip(name.isEmpty() ? QStringLiteral("直前に元に戻した動作をやり直す")
                                   : QStringLiteral("元に戻した「%1」をやり直す").arg(name));
  });
  // The modelling verbs of the 面/辺 menu.
  GrowCommandHost grow;
  grow.doc = &doc_;
  grow.parent = this;
  grow.run = [this](QDialog& d) { return runDialog(d); };
  grow.refresh = [this]() { Refresh3D(); };
  grow.say = [this](const QString& text) { statusBar()->showMessage(text); };
  grow.pane = [this]() {
    for (int p = kPlaneTop; p <= kPlaneLeft; ++p)
      if (ortho_[p] && ortho_[p]->hasFocus()) return static_cast<Plane>(p);
    return kPlaneTop;
  };
  grow.follow = [this](bool individual, std::function<void(const ExtrudeParams&)> keep) {
    if (!extrudeFollow_) {
      ExtrudeFollow::Hooks follow;
      for (int p = kPlaneTop; p <= kPlaneLeft; ++p) follow.panes[static_cast<std::size_t>(p)] = ortho_[p];
      follow.snapStep = [this]() { return orthoShared_.tools.snap.StepAt(scene_.zoom); };
      follow.refresh = [this]() { Refresh3D(); };
      follow.say = [this](const QString& text) { statusBar()->showMessage(text); };
      extrudeFollow_ = new ExtrudeFollow(scene_, follow, this);
    }
    return extrudeFollow_->Begin(QCursor::pos(), individual, std::move(keep));
  };
  // A command given while extrude follows the pointer finds the scene without the shown extrusion.
  commands_.beforeRun = [this]() {
    if (extrudeFollow_) extrudeFollow_->Cancel();
  };
  RegisterGrowCommands(grow, [this](CommandEntry c) {
    c.run = [this, run = std::move(c.run)]() {
      if (doc_.loading()) return;
      run();
      UpdateCommandStates();
    };
    commands_.Register(std::move(c));
  });
  // The UV window, a dock placed as it was left once the panes are built.
  uvEditor_ = new UVEditorDock(scene_, doc_, this);
  uvEditor_->runDialog = [this](QDialog& d) { return runDialog(d); };
  uvEditor_->refreshPerspective = [this]() { perspective_->Refresh(); };
  RegisterUVEditorCommands(commands_, *uvEditor_, [this]() { commands_.UpdateStates(); });
}

void CMainFrame::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  commands_.Fill(file, {kCmdNew, kCmdOpen, kCmdSave, kCmdSaveAs, 0});
  recentMenu_ = file->addMenu(QStringLiteral("最近使ったファイル"));
  commands_.Fill(file, {0, kCmdExit});
  QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
  commands_.Fill(edit, {kCmdUndo, kCmdRedo, 0, kCmdCut, kCmdCopy, kCmdPaste, kCmdDuplicate, kCmdDelete, 0,
                        kCmdSelectAll, kCmdDeselectAll, kCmdInvertSelection, kCmdSelectConnected, 0, kCmdWeld,
                        kCmdFlipFaces});
  QMenu* transform = menuBar()->addMenu(QStringLiteral("変形(&T)"));
  commands_.Fill(transform, {kCmdModeSelect, kCmdModeMove, kCmdModeRotate, kCmdModeSize, kCmdModeStretch,
                             kCmdNumericInput, 0, kCmdSnapToGrid});
  QMenu* create = menuBar()->addMenu(QStringLiteral("作成(&M)"));
  commands_.Fill(create, {kCmdModeCreateFace, kCmdModeCreateBox, 0, kCmdPrimitive});
  QMenu* polygon = menuBar()->addMenu(QStringLiteral("面/辺(&P)"));
  commands_.Fill(polygon, {kCmdExtrude, kCmdExtrudeNumeric, kCmdInset, kCmdBevel, 0, kCmdBridge, kCmdFill, 0, kCmdSpin, kCmdSolidify});
  QMenu* select = menuBar()->addMenu(QStringLiteral("選択(&L)"));
  commands_.Fill(select, {kCmdSelectVertices, kCmdSelectEdges, kCmdSelectFaces, 0, kCmdGrowSelection,
                          kCmdShrinkSelection, kCmdSelectLoop, kCmdSelectRing, kCmdSelectMaterial, 0, kCmdHide,
                          kCmdHideUnselected, kCmdReveal, 0, kCmdPickThrough});
  QMenu* selection = menuBar()->addMenu(QStringLiteral("選択部処理(&S)"));
  commands_.Fill(selection, {kCmdAssignMaterial, 0, kCmdKnife, kCmdKnifeThroughBack, kCmdLoopCut, kCmdConnect, kCmdSubdivide, 0,
                             kCmdDissolve, kCmdDeleteElements, kCmdCollapse, 0, kCmdSeparate, kCmdTriangulate,
                             kCmdTrisToQuads, 0, kCmdSymmetryOff, kCmdSymmetryX, kCmdSymmetryY, kCmdSymmetryZ,
                             kCmdMirrorCopy});
  QMenu* view = menuBar()->addMenu(QStringLiteral("表示(&V)"));
  commands_.Fill(view, {kCmdToolBar, kCmdStatusBar, 0, kCmdSmoothing, 0, kCmdFrameAll, kCmdFrameSelection});
  AddViewMenus(view);
  commands_.Fill(view, {0, kCmdUVEditor});
#ifdef MW_HAVE_PYTHON
  QMenu* script = menuBar()->addMenu(QStringLiteral("スクリプト(&R)"));
  commands_.Fill(script, {kCmdRunScript});
  QMenu* recentScripts = script->addMenu(QStringLiteral("最近使ったスクリプト(&F)"));
  commands_.Fill(script, {0, kCmdScriptOutput});
  auto* scripts = findChild<ScriptCommands*>(QStringLiteral("scriptCommands"));
  connect(script, &QMenu::aboutToShow, this, [scripts, recentScripts]() { scripts->FillRecentMenu(recentScripts); });
  connect(script, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
#endif
  QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
  commands_.Fill(help, {kCmdHelp, 0, kCmdAbout});
  for (QMenu* m : {file, edit, transform, create, select, selection, view, help, polygon})
    connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
  // The smooth-surface commands: a menu of their own before ヘルプ (and in the model list's menu).
  QMenu* surface = new QMenu(QStringLiteral("モデル(&O)"), this);
  menuBar()->insertMenu(help->menuAction(), surface);
  FillSurfaceMenu(commands_, surface);
  connect(surface, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
  // Texture coordinates: after the model menu, before ヘルプ.
  QMenu* uv = new QMenu(QStringLiteral("UV(&U)"), this);
  menuBar()->insertMenu(help->menuAction(), uv);
  FillUVMenu(commands_, uv);
  connect(uv, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
}

void CMainFrame::BuildToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("ツール バー"));
  bar->setObjectName(QStringLiteral("toolbar"));
  bar->setIconSize(QSize(16, 15));
  bar->setMovable(true);
  bar->setAllowedAreas(Qt::AllToolBarAreas);
  commands_.Fill(bar, {kCmdNew,          kCmdOpen,          kCmdSave,          0,
                       kCmdCut,          kCmdCopy,          kCmdPaste,         kCmdUndo,
                       kCmdRedo,         kCmdSelectAll,     kCmdDeselectAll,   0,
                       kCmdSelectVertices, kCmdSelectEdges, kCmdSelectFaces,   0,
                       kCmdModeSelect,   kCmdModeMove,      kCmdModeRotate,    kCmdModeSize,
                       kCmdModeStretch,  kCmdNumericInput,  0,                 kCmdModeCreateFace,
                       kCmdModeCreateBox, kCmdPrimitive,    kCmdSnapToGrid,    0,                 kCmdAssignMaterial,
                       kCmdWeld,         kCmdFlipFaces,     0,                 kCmdExtrude,
                       kCmdInset,        kCmdBevel,         0,                 kCmdFrameAll,
                       kCmdFrameSelection, 0,               kCmdAbout});
  connect(bar, &QToolBar::visibilityChanged, this, &CMainFrame::UpdateCommandStates);
}

void CMainFrame::OpenHelp() {
  // The help's key table comes from the commands' registrations, so it cannot fall behind them:
  // the document beside the program is shown with the table put in.
  ShowHelp(this, QString::fromStdString(ProgramFolder()) + QStringLiteral("Meshwright.html"),
           [this](const QString& html) { return HelpWithKeyTable(html, commands_.KeyTableHtml()); });
}

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->showMessage(QStringLiteral("レディ"));
  connect(bar, &QStatusBar::messageChanged, this, [bar](const QString& text) {
    if (text.isEmpty()) bar->showMessage(QStringLiteral("レディ"));
  });
  counts_ = new QLabel(this);
  counts_->setToolTip(QStringLiteral("現在のモデルの頂点・辺・面の数 (選択数/全体)"));
  bar->addPermanentWidget(counts_);
  const char* names[3] = {"CAP", "NUM", "SCRL"};
  for (int i = 0; i < 3; ++i) {
    indicators_[i] = new QLabel(QString::fromLatin1(names[i]), this);
    indicators_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    indicators_[i]->setAlignment(Qt::AlignCenter);
    indicators_[i]->setMinimumWidth(indicators_[i]->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
    bar->addPermanentWidget(indicators_[i]);
  }
  // Shown only while an open reads.
  loadBar_ = new QProgressBar(this);
  loadBar_->setMaximumWidth(220);
  loadBar_->setRange(0, 1000);
  loadBar_->hide();
  loadCancel_ = new QPushButton(QStringLiteral("キャンセル"), this);
  loadCancel_->setToolTip(QStringLiteral("読み込みを中止"));
  loadCancel_->setStatusTip(QStringLiteral("ファイルの読み込みを中止し、今の文書をそのまま残す"));
  loadCancel_->hide();
  bar->insertPermanentWidget(0, loadBar_);
  bar->insertPermanentWidget(1, loadCancel_);
  connect(loadCancel_, &QPushButton::clicked, this, [this]() {
    if (!reading_) return;
    reading_->Cancel();
    loadCancel_->setEnabled(false);
    statusBar()->showMessage(QStringLiteral("読み込みを中止しています..."));
  });
  UpdateIndicators();
  // The lock keys may change while another window has the keyboard: look now and then.
  auto* poll = new QTimer(this);
  connect(poll, &QTimer::timeout, this, &CMainFrame::UpdateIndicators);
  poll->start(250);
}

void CMainFrame::ReadInBackground(DocumentRead& read) {
  ReadProgress progress;
  QEventLoop loop;
  reading_ = &progress;
  loadCancel_->setEnabled(true);
  // Edits wait for the document: menus, tool bar, panes and drops are off; the window still
  // paints, resizes and takes the cancel button.
  QWidget* frozen[] = {menuBar(), centralWidget()};
  for (QWidget* w : frozen)
    if (w) w->setEnabled(false);
  const QList<QToolBar*> toolBars = findChildren<QToolBar*>();
  for (QToolBar* t : toolBars) t->setEnabled(false);
  setAcceptDrops(false);
  statusBar()->showMessage(QStringLiteral("%1 を読み込んでいます...").arg(QFileInfo(QString::fromStdString(read.path)).fileName()));

  std::thread worker([&read, &progress, &loop]() {
    RunDocumentRead(read, &progress);
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
  });
  // A short read shows no bar at all; a longer one shows how far it is, or that it is busy when
  // the reader cannot tell.
  QElapsedTimer started;
  started.start();
  QTimer tick;
  tick.setInterval(50);
  connect(&tick, &QTimer::timeout, this, [&]() {
    if (loadBar_->isHidden() && started.elapsed() >= 250) {
      loadBar_->show();
      loadCancel_->show();
    }
    const std::uint64_t total = progress.total(), done = progress.done();
    if (total == 0) {
      loadBar_->setRange(0, 0);
    } else {
      loadBar_->setRange(0, 1000);
      loadBar_->setValue(static_cast<int>(std::min<std::uint64_t>(done, total) * 1000 / total));
    }
  });
  tick.start();
  loop.exec();
  worker.join();
  tick.stop();
  reading_ = nullptr;
  loadBar_->hide();
  loadCancel_->hide();
  loadBar_->reset();
  for (QWidget* w : frozen)
    if (w) w->setEnabled(true);
  for (QToolBar* t : toolBars) t->setEnabled(true);
  setAcceptDrops(true);
  statusBar()->clearMessage();
  if (read.result.error == DocumentError::kCancelled)
    statusBar()->showMessage(QStringLiteral("読み込みを中止しました。"), 5000);
  if (closeAfterRead_) {
    closeAfterRead_ = false;
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

void CMainFrame::UpdateIndicators() {
  const std::optional<LockStates> states = ReadLockStates();
  const char* names[3] = {"CAP", "NUM", "SCRL"};
  const bool on[3] = {states && states->caps, states && states->num, states && states->scroll};
  for (int i = 0; i < 3; ++i) {
    // A key that is on shows its name; one that is off, nothing; where the keyboard cannot be
    // asked, the names stay grey.
    indicators_[i]->setEnabled(states.has_value());
    indicators_[i]->setText(!states || on[i] ? QString::fromLatin1(names[i]) : QString());
  }
}

void CMainFrame::BuildPanes() {
  // One horizontal splitter of three vertical ones; the vertical ones are kept in step so the
  // rows line up across the columns like one 2 x 3 grid.
  columns_ = new PaneSplitter(Qt::Horizontal, this, [this](QSplitter&) { LayOutColumns(); });
  for (auto& column : rows_) {
    column = new PaneSplitter(Qt::Vertical, columns_, [this](QSplitter& self) { LayOutRows(self); });
    columns_->addWidget(column);
  }
  modelList_ = new CModelView(doc_, rows_[0]);
  QMenu* listSurface = modelList_->contextMenu()->addMenu(QStringLiteral("曲面化(&V)"));
  FillSurfaceMenu(commands_, listSurface);
  // The right-clicked model is the current one, which the symmetry commands switch.
  QMenu* listSymmetry = modelList_->contextMenu()->addMenu(QStringLiteral("対称編集(&Y)"));
  commands_.Fill(listSymmetry, {kCmdSymmetryOff, kCmdSymmetryX, kCmdSymmetryY, kCmdSymmetryZ});
  connect(modelList_->contextMenu(), &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
  materialList_ = new CMaterialView(doc_, rows_[0]);
  rows_[0]->addWidget(modelList_);
  rows_[0]->addWidget(materialList_);
  perspective_ = new PerspectivePane(scene_, orthoShared_.pan, host_, rows_[2]);
  // 背面も選択, 背面も切る and the knife's line are the perspective pane's as much as the others'.
  perspective_->input().SetTools(&orthoShared_.tools);
  perspective_->SetStandInFaces(LoadStandInFaces());
  ortho_[kPlaneTop] = new OrthoPane(scene_, orthoShared_, host_, kPlaneTop, rows_[1]);
  ortho_[kPlaneFace] = new OrthoPane(scene_, orthoShared_, host_, kPlaneFace, rows_[1]);
  ortho_[kPlaneLeft] = new OrthoPane(scene_, orthoShared_, host_, kPlaneLeft, rows_[2]);
  rows_[1]->addWidget(ortho_[kPlaneTop]);
  rows_[1]->addWidget(ortho_[kPlaneFace]);
  rows_[2]->addWidget(perspective_);
  rows_[2]->addWidget(ortho_[kPlaneLeft]);
  // The user's drags become the proportions that later resizes keep.
  for (QSplitter* column : rows_) {
    connect(column, &QSplitter::splitterMoved, this, [this, column]() {
      const QList<int> sizes = column->sizes();
      for (QSplitter* other : rows_)
        if (other != column) other->setSizes(sizes);
      if (sizes.size() == 2 && sizes[0] + sizes[1] > 0) split_.rowShare = double(sizes[0]) / (sizes[0] + sizes[1]);
    });
  }
  connect(columns_, &QSplitter::splitterMoved, this, [this]() {
    const QList<int> sizes = columns_->sizes();
    if (sizes.size() != 3) return;
    split_.listWidth = sizes[0];
    if (sizes[1] + sizes[2] > 0) split_.topShare = double(sizes[1]) / (sizes[1] + sizes[2]);
  });
  setCentralWidget(columns_);
}

void CMainFrame::LayOutColumns() {
  // The list column keeps its width; the two 3D columns share the rest in their proportion.
  if (enlarged_) {
    // The lists keep their width; the column of the enlarged pane takes the rest.
    const int shown = std::max(0, columns_->width() - columns_->handleWidth());
    const int list = std::min(split_.listWidth, shown);
    columns_->setSizes({list, rows_[1]->isHidden() ? 0 : shown - list, rows_[2]->isHidden() ? 0 : shown - list});
    return;
  }
  const int length = PaneLength(*columns_);
  const int list = std::min(split_.listWidth, length);
  const int top = ShareOf(length - list, split_.topShare);
  columns_->setSizes({list, top, length - list - top});
}

void CMainFrame::LayOutRows(QSplitter& column) {
  const int length = PaneLength(column);
  const int upper = ShareOf(length, split_.rowShare);
  column.setSizes({upper, length - upper});
}

void CMainFrame::ApplySplit() {
  LayOutColumns();
  for (QSplitter* column : rows_) LayOutRows(*column);
}

void CMainFrame::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMaximized()) {
    // Maximising brings back the opening split: lists 124 wide, the 3D columns (W - 138) / 2
    // each, the rows halves. It is kept as proportions, so whether the window manager reports
    // the new size before or after the new state, the panes follow it.
    split_ = PaneSplit{};
    ApplySplit();
  }
}

void CMainFrame::UpdateTitle() { setWindowTitle(doc_.Title() + QStringLiteral(" - Meshwright")); }

void CMainFrame::RebuildRecentMenu() {
  recentMenu_->clear();
  const QStringList files = doc_.RecentFiles();
  if (files.isEmpty()) {
    QAction* none = recentMenu_->addAction(QStringLiteral("最近使ったファイル"));
    none->setEnabled(false);
    return;
  }
  for (int i = 0; i < files.size(); ++i) {
    const QString path = files[i];
    QAction* a = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
    a->setData(kCmdRecentFile + i);
    a->setStatusTip(path);
    connect(a, &QAction::triggered, this, [this, path]() { OpenFromShell(path); });
  }
}

void CMainFrame::OnUpdateAllViews(int hint) {
  modelList_->OnUpdate(hint);
  materialList_->OnUpdate(hint);
  // A drag's selection relies on nothing else having changed the scene since its last motion.
  for (OrthoPane* p : ortho_) p->input().SceneChanged();
  if (hint == kHintAll) SyncReferencePictures(false);
  if (hint == kHintOrtho) RefreshOrtho();
  else if (hint != kHintDrawn) Refresh3D();
  // A camera move changes no command's state, and finding out whether faces are selected goes
  // over every face: at a million faces a good part of what the end of a camera drag costs.
  if (hint != kHintDrawn) UpdateCommandStates();
}

void CMainFrame::Refresh3D() {
  RefreshOrtho();
  perspective_->Refresh();
  UpdateGridStep();
}

void CMainFrame::RefreshOrtho() {
  for (OrthoPane* p : ortho_) p->update();
}

void CMainFrame::UpdateCommandStates() {
  // Finding out whether faces are selected goes over every face: once here, not per command.
  facesSelected_ = HasSelectedFaces(scene_);
  commands_.UpdateStates();
  UpdateCounts();
}

void CMainFrame::UpdateCounts() {
  if (!counts_) return;
  if (!scene_.HasCurrentModel()) {
    counts_->clear();
    return;
  }
  const CModel& m = scene_.models[static_cast<std::size_t>(scene_.currentModel)];
  const ElementCounts c = CountElements(m, *scene_.edgeIndexes.Get(m), SelectModeOf(scene_));
  counts_->setText(QStringLiteral("頂点 %1/%2 辺 %3/%4 面 %5/%6")
                       .arg(c.selectedVertices)
                       .arg(c.vertices)
                       .arg(c.selectedEdges)
                       .arg(c.edges)
                       .arg(c.selectedFaces)
                       .arg(c.faces));
}

void CMainFrame::Execute(int command) {
  if (doc_.loading()) return;  // shortcuts still reach here while an open reads
  commands_.Run(command);
}

FrameViewports CMainFrame::Viewports() const {
  FrameViewports v;
  for (int plane = kPlaneTop; plane <= kPlaneLeft; ++plane)
    v.ortho[plane] = PaneSize{ortho_[plane]->width(), ortho_[plane]->height()};
  v.perspective = PaneSize{perspective_->width(), perspective_->height()};
  return v;
}

bool CMainFrame::FrameView(bool selectedOnly) {
  // The camera is saved with the document, so framing is a step like a perspective drag; the zoom
  // and the scroll are the window's.
  PanOffsets pan = orthoShared_.pan;
  bool framed = false;
  const FrameViewports sizes = Viewports();
  doc_.Edit(EditKind::kCamera, [&]() { framed = FrameScene(scene_, pan, sizes, selectedOnly); });
  orthoShared_.pan = pan;
  if (!framed)
    statusBar()->showMessage(
        selectedOnly ? QStringLiteral("選択された頂点がありません") : QStringLiteral("表示する頂点がありません"), 3000);
  Refresh3D();
  return framed;
}

void CMainFrame::FrameIfOutside(bool mayWait) {
  const FrameViewports sizes = Viewports();
  const bool laidOut = std::all_of(std::begin(sizes.ortho), std::end(sizes.ortho),
                                   [](PaneSize s) { return s.width > 8 && s.height > 8; });
  if (!laidOut || !isVisible()) {
    // Opened before the window was laid out (the command line): once more when the events that
    // give the panes their sizes have been handled; panes too small to show anything are left.
    if (mayWait)
      QMetaObject::invokeMethod(
          this, [this]() { FrameIfOutside(false); }, Qt::QueuedConnection);
    return;
  }
  if (!NeedsFramingOnOpen(scene_, orthoShared_.pan, sizes)) return;
  // Part of opening, not an edit of its own: the document stays as the open left it.
  FrameScene(scene_, orthoShared_.pan, sizes, false);
  Refresh3D();
}

void CMainFrame::Weld() {
  CDlgWeld dialog(weldDistance_, this);
  if (runDialog(dialog) != QDialog::Accepted) return;
  weldDistance_ = dialog.distance;
  const WeldResult r = doc_.Weld(weldDistance_);
  QString text = r.verticesRemoved == 0
                     ? QStringLiteral("近接頂点を結合: 距離 %1 より近い選択頂点はありませんでした").arg(double(weldDistance_))
                     : QStringLiteral("近接頂点を結合: 頂点を %1 個削除しました").arg(r.verticesRemoved);
  if (r.facesRemoved > 0) text += QStringLiteral("（つぶれた面 %1 個も削除）").arg(r.facesRemoved);
  statusBar()->showMessage(text);
}

void CMainFrame::FlipFaces() {
  const std::size_t flipped = doc_.FlipFaces();
  statusBar()->showMessage(flipped == 0 ? QStringLiteral("反転する面がありません（面の頂点を全て選択してください）")
                                        : QStringLiteral("面を %1 個反転しました").arg(flipped));
}

void CMainFrame::CyclePane(int step) {
  QWidget* panes[6] = {modelList_,    ortho_[kPlaneTop],  perspective_,
                       materialList_, ortho_[kPlaneFace], ortho_[kPlaneLeft]};
  int current = -1;
  for (int i = 0; i < 6; ++i)
    if (panes[i]->hasFocus()) current = i;
  panes[((current < 0 ? 0 : current + step) % 6 + 6) % 6]->setFocus();
}

void CMainFrame::FileOpen() {
  const QString path =
      Ui().OpenFileName(this, DialogFolder(DialogUse::kOpen), QString::fromStdString(OpenDialogFilter()),
                        QString::fromStdString(NativeDocumentFormat().extensions.front()));
  if (path.isEmpty()) return;
  StoreDialogFolder(DialogUse::kOpen, path);
  // Replacing the scene would lose unsaved work: ask first. A format that appends only adds.
  const DocumentFormat* format = FindDocumentFormat(path.toStdString());
  if (format && format->opening == OpenEffect::kReplaces && !doc_.SaveModified(this)) return;
  doc_.OpenDocument(path, OpenedFrom::kOpenCommand);
}

bool CMainFrame::OpenFromShell(const QString& path) {
  if (doc_.loading()) return false;  // one open at a time
  // A file no format reads is refused before the question: nothing would replace the document.
  if (FindDocumentFormat(path.toStdString()) && !doc_.SaveModified(this)) return false;
  return doc_.OpenDocument(path, OpenedFrom::kShell);
}

void CMainFrame::FileSave() {
  // Untitled, or opened from a format that cannot hold the whole document: ask where.
  if (!IsDocumentFile(doc_.path().toStdString())) {
    FileSaveAs();
    return;
  }
  doc_.SaveDocument(doc_.path());
}

void CMainFrame::FileSaveAs() {
  QString chosenType;
  const QString typed =
      Ui().SaveFileName(this, DialogFolder(DialogUse::kSave), QString::fromStdString(SaveDialogFilter()),
                        QString::fromStdString(NativeDocumentFormat().extensions.front()), &chosenType);
  if (typed.isEmpty()) return;
  StoreDialogFolder(DialogUse::kSave, typed);
  const QString path = QString::fromStdString(SavePathWithChosenType(typed.toStdString(), chosenType.toStdString()));
  const DocumentFormat* format = FindDocumentFormat(path.toStdString());
  if (!format || !format->CanSave()) {
    // Say which types can be written rather than leaving the user to wonder where the file went.
    QStringList types;
    for (const DocumentFormat& f : DocumentFormats())
      if (f.CanSave())
        for (const std::string& ext : f.extensions) types << QStringLiteral(".") + QString::fromStdString(ext);
    Ui().Message(this,
                 QStringLiteral("%1\nこの種類のファイルには保存できません。\n保存できる種類: %2")
                     .arg(QFileInfo(path).fileName(), types.join(QStringLiteral(" "))),
                 QMessageBox::Warning);
    return;
  }
  const std::optional<SaveOptions> options = AskSaveOptions(scene_, *format, this, runDialog);
  if (!options) return;
  doc_.SaveDocument(path, options->keepMirror);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (reading_) {  // stop the read first; the window closes once it has ended
    reading_->Cancel();
    closeAfterRead_ = true;
    event->ignore();
    return;
  }
  if (!doc_.SaveModified(this)) {
    event->ignore();
    return;
  }
  StoreWindowState({saveGeometry(), split_});
  uvEditor_->StoreState();
  event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  OpenDropped(*event->mimeData());
  event->acceptProposedAction();
}

void CMainFrame::OpenDropped(const QMimeData& dropped) {
  for (const QUrl& url : dropped.urls()) {
    if (!url.isLocalFile()) continue;
    OpenFromShell(url.toLocalFile());
    return;  // one document at a time
  }
}

}  // namespace mw
