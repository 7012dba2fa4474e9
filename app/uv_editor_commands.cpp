#include "app/uv_editor_commands.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSettings>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/command_registry.h"
#include "app/commands.h"
#include "app/document.h"
#include "image/material_texture.h"
#include "scene/meshwright.h"
#include "scene/uv_ops.h"
#include "view/uv_dialogs.h"

namespace mw {

namespace {

QSettings Store() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Orlux Meshwright アプリケーション"),
                   QStringLiteral("Meshwright"));
}

// Runs `fn(model, faces, firstLayoutFace)` for each model's stretch of the layout's faces.
template <typename Fn>
void ForEachModel(const UVLayout& l, Fn&& fn) {
  for (std::size_t i = 0; i < l.faces.size();) {
    const std::int32_t model = l.faces[i].model;
    std::vector<std::int32_t> faces;
    std::size_t j = i;
    while (j < l.faces.size() && l.faces[j].model == model) faces.push_back(l.faces[j++].face);
    fn(static_cast<std::size_t>(model), faces, i);
    i = j;
  }
}

}  // namespace

UVEditorDock::UVEditorDock(CMeshwright& scene, CMeshwrightDoc& doc, QMainWindow* window)
    : QDockWidget(QStringLiteral("UVエディタ"), window), scene_(scene), doc_(doc), window_(window) {
  setObjectName(QStringLiteral("UVEditor"));
  setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  menus_ = new QMenuBar(body);
  menus_->setNativeMenuBar(false);
  layout->addWidget(menus_);
  toolBar_ = new QToolBar(body);
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  layout->addWidget(toolBar_);
  UVEditorHost host;
  host.dragBegan = [this](EditKind kind) { doc_.BeginEdit(kind); };
  host.dragEnded = [this]() { doc_.EndEdit(); };
  host.edit = [this](EditKind kind, const std::function<void()>& change) { doc_.Edit(kind, change); };
  host.moved = [this]() {
    if (refreshPerspective) refreshPerspective();
  };
  pane_ = new UVEditorPane(scene_, std::move(host), body);
  pane_->changed = [this]() { UpdateStatus(); };
  pane_->stretchColours = [this](const UVLayout& l) {
    std::vector<QRgb> colours;
    if (stretch == UVStretchShown::kNone) return colours;
    colours.resize(l.faces.size());
    ForEachModel(l, [&](std::size_t model, const std::vector<std::int32_t>& faces, std::size_t first) {
      const std::vector<FaceStretch> measured = MeasureUVStretch(scene_.models[model], faces);
      for (std::size_t k = 0; k < measured.size(); ++k) {
        const double amount = stretch == UVStretchShown::kArea ? std::abs(std::log2(measured[k].areaRatio)) / 2.0
                                                               : measured[k].angleDistortion * 4.0;
        colours[first + k] = StretchColour(amount);
      }
    });
    return colours;
  };
  pane_->seamEdges = [this](const UVLayout& l) {
    std::vector<std::uint8_t> seams;
    const auto vertexOf = [&l, this](std::uint32_t g, std::int32_t& model) {
      const std::uint32_t c = l.groupCorners[l.groupFirst[g]];
      const UVLayout::Face& f = l.faces[l.FaceOfCorner(c)];
      model = f.model;
      return scene_.models[static_cast<std::size_t>(f.model)].faces[static_cast<std::size_t>(f.face)].indices[c - f.first];
    };
    bool any = false;
    for (const UVLayout::Face& f : l.faces) any = any || !scene_.models[static_cast<std::size_t>(f.model)].seamEdges.empty();
    if (!any) return seams;
    seams.resize(l.edges.size());
    for (std::size_t e = 0; e < l.edges.size(); ++e) {
      std::int32_t m0 = 0, m1 = 0;
      const std::int32_t a = vertexOf(l.edges[e].first, m0), b = vertexOf(l.edges[e].second, m1);
      seams[e] = m0 == m1 && IsSeam(scene_.models[static_cast<std::size_t>(m0)], a, b);
    }
    return seams;
  };
  layout->addWidget(pane_, 1);
  status_ = new QLabel(body);
  status_->setContentsMargins(4, 2, 4, 2);
  layout->addWidget(status_);
  setWidget(body);
  connect(&doc_, &CMeshwrightDoc::updateAllViews, this, &UVEditorDock::OnUpdate);
  connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
    if (visible) OnUpdate(0);
  });
  hide();
}

void UVEditorDock::RestoreState() {
  QSettings s = Store();
  s.beginGroup(QStringLiteral("UVEditor"));
  const int area = s.value(QStringLiteral("Area"), static_cast<int>(Qt::RightDockWidgetArea)).toInt();
  const Qt::DockWidgetArea where = area == Qt::LeftDockWidgetArea || area == Qt::BottomDockWidgetArea
                                       ? static_cast<Qt::DockWidgetArea>(area)
                                       : Qt::RightDockWidgetArea;
  window_->addDockWidget(where, this);
  const bool floating = s.value(QStringLiteral("Floating"), false).toBool();
  setFloating(floating);
  if (floating) restoreGeometry(s.value(QStringLiteral("Geometry")).toByteArray());
  setVisible(s.value(QStringLiteral("Visible"), false).toBool());
  const int width = s.value(QStringLiteral("Width"), 0).toInt();
  if (!floating && width > 0) window_->resizeDocks({this}, {width}, Qt::Horizontal);
}

void UVEditorDock::StoreState() const {
  QSettings s = Store();
  s.beginGroup(QStringLiteral("UVEditor"));
  s.setValue(QStringLiteral("Visible"), !isHidden());
  s.setValue(QStringLiteral("Floating"), isFloating());
  s.setValue(QStringLiteral("Area"), static_cast<int>(window_->dockWidgetArea(const_cast<UVEditorDock*>(this))));
  s.setValue(QStringLiteral("Width"), width());
  s.setValue(QStringLiteral("Geometry"), saveGeometry());
}

void UVEditorDock::OnUpdate(int hint) {
  if (hint == kHintDrawn) return;  // only the camera moved
  pane_->input().SceneChanged();
  if (isHidden()) return;  // the layout is built when the window is shown
  UpdateTexture();
  pane_->update();
  UpdateStatus();
}

void UVEditorDock::UpdateTexture() {
  const DibStream* from = nullptr;
  if (scene_.HasCurrentMaterial()) {
    const CMaterial& m = scene_.materials[static_cast<std::size_t>(scene_.currentMaterial)];
    if (TextureLoaded(m)) from = m.textureImage.get();
  }
  if (from != textureFrom_) {
    textureFrom_ = from;
    texture_ = from ? TextureQImage(*from) : QImage();
    pane_->SetTexture(texture_);
  }
  ApplyOptions();
}

void UVEditorDock::ApplyOptions() {
  UVEditorInput& in = pane_->input();
  const QSize size = TextureSize();
  in.snapWidth = snapToPixels ? size.width() : 0;
  in.snapHeight = snapToPixels ? size.height() : 0;
  pane_->update();
}

void UVEditorDock::UpdateStatus() {
  if (isHidden()) return;
  UVEditorInput& in = pane_->input();
  const UVLayout& l = in.layout();
  if (overlapsOf_ != in.generation()) {
    overlapsOf_ = in.generation();
    overlaps_ = 0;
    ForEachModel(l, [this](std::size_t model, const std::vector<std::int32_t>& faces, std::size_t) {
      overlaps_ += CountOverlappingUVFaces(scene_.models[model], faces);
    });
  }
  status_->setText(QStringLiteral("面 %1  UV頂点 %2/%3  重なった面 %4")
                       .arg(l.faces.size())
                       .arg(in.SelectedCount())
                       .arg(l.GroupCount())
                       .arg(overlaps_));
}

void RegisterUVEditorCommands(CommandRegistry& commands, UVEditorDock& dock, const std::function<void()>& afterRun) {
  UVEditorDock* d = &dock;
  UVEditorInput* in = &dock.pane()->input();
  const auto add = [&](int id, const char* caption, const char* prompt, const char* tip, std::function<void()> run,
                       std::function<bool()> checked = {}, std::function<bool()> enabled = {}) {
    CommandEntry c;
    c.id = id;
    c.caption = QString::fromUtf8(caption);
    c.prompt = QString::fromUtf8(prompt);
    c.tip = QString::fromUtf8(tip);
    c.run = [d, run = std::move(run), afterRun]() {
      run();
      d->pane()->update();
      d->UpdateStatus();
      afterRun();
    };
    c.checked = std::move(checked);
    c.enabled = std::move(enabled);
    return commands.Register(std::move(c));
  };
  CommandEntry toggle;
  toggle.id = kCmdUVEditor;
  toggle.caption = QStringLiteral("UVエディタ\tCtrl+Shift+U(&U)");
  toggle.prompt = QStringLiteral("選択した面の UV をテクスチャの上に表示して編集するウィンドウの表示/非表示");
  toggle.tip = QStringLiteral("UVエディタ");
  toggle.keys = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U)};
  toggle.run = [d, afterRun]() {
    d->setVisible(d->isHidden());
    if (!d->isHidden()) d->raise();
    afterRun();
  };
  toggle.checked = [d]() { return !d->isHidden(); };
  // Closed by its own button, the window unchecks its command at once; the other states are left
  // alone (this also runs while the main window is taken down).
  QPointer<QAction> shown = commands.Register(std::move(toggle));
  QObject::connect(d, &QDockWidget::visibilityChanged, shown, [d, shown]() {
    if (shown) shown->setChecked(!d->isHidden());
  });

  const auto element = [in](UVElement e) { return [in, e]() { in->element = e; }; };
  const auto isElement = [in](UVElement e) { return [in, e]() { return in->element == e; }; };
  add(kCmdUVSelectVertices, "UV頂点(&V)", "クリックと範囲で UV 頂点を選択", "UV頂点", element(UVElement::kVertex),
      isElement(UVElement::kVertex))
      ->setIconText(QStringLiteral("頂点"));
  add(kCmdUVSelectEdges, "UV辺(&E)", "クリックと範囲で UV の辺を選択", "UV辺", element(UVElement::kEdge),
      isElement(UVElement::kEdge))
      ->setIconText(QStringLiteral("辺"));
  add(kCmdUVSelectFaces, "UV面(&F)", "クリックと範囲で UV の面を選択", "UV面", element(UVElement::kFace),
      isElement(UVElement::kFace))
      ->setIconText(QStringLiteral("面"));
  add(kCmdUVSelectIsland, "つながった島を選択(&I)", "選択した UV 頂点を含む島 (UV がつながった面) をすべて選択 (ダブルクリックでも)",
      "島を選択", [in]() { in->SelectIslands(); });
  add(kCmdUVSelectAll, "すべて選択(&A)", "表示中の UV 頂点をすべて選択", "すべて選択", [in]() { in->SelectAll(true); });

  const auto tool = [in](UVTool t) { return [in, t]() { in->tool = t; }; };
  const auto isTool = [in](UVTool t) { return [in, t]() { return in->tool == t; }; };
  add(kCmdUVToolSelect, "選択(&S)", "クリックと範囲で選択し、選択部からのドラッグで移動", "選択", tool(UVTool::kSelect),
      isTool(UVTool::kSelect))
      ->setIconText(QStringLiteral("選択"));
  add(kCmdUVToolMove, "移動(&M)", "ドラッグで選択した UV を移動", "移動", tool(UVTool::kMove), isTool(UVTool::kMove))
      ->setIconText(QStringLiteral("移動"));
  add(kCmdUVToolRotate, "回転(&R)", "ドラッグで選択した UV を中心のまわりに回転 (Shift で 15 度ずつ)", "回転",
      tool(UVTool::kRotate), isTool(UVTool::kRotate))
      ->setIconText(QStringLiteral("回転"));
  add(kCmdUVToolScale, "拡大縮小(&Z)", "ドラッグで選択した UV を中心から拡大・縮小", "拡大縮小", tool(UVTool::kScale),
      isTool(UVTool::kScale))
      ->setIconText(QStringLiteral("拡縮"));

  const auto numeric = [d, in](UVNumeric kind) {
    return [d, in, kind]() {
      if (in->SelectedCount() == 0) return;
      const std::function<int(QDialog&)> run = d->runDialog ? d->runDialog : [](QDialog& g) { return g.exec(); };
      if (const std::optional<UVAffine> t = AskUVTransform(kind, in->SelectionCentre(), d, run)) in->Transform(*t);
    };
  };
  const auto anySelected = [in]() { return in->SelectedCount() > 0; };
  add(kCmdUVNumericMove, "数値で移動(&N)...", "選択した UV を入力した量だけ移動", "数値で移動", numeric(UVNumeric::kMove),
      {}, anySelected);
  add(kCmdUVNumericRotate, "数値で回転(&O)...", "選択した UV を入力した角度だけ回転", "数値で回転",
      numeric(UVNumeric::kRotate), {}, anySelected);
  add(kCmdUVNumericScale, "数値で拡大縮小(&C)...", "選択した UV を入力した倍率で拡大・縮小", "数値で拡大縮小",
      numeric(UVNumeric::kScale), {}, anySelected);
  add(kCmdUVFlipU, "左右反転(&H)", "選択した UV を範囲の中心で左右 (U) に反転", "左右反転", [in]() { in->Flip(true); }, {},
      anySelected);
  add(kCmdUVFlipV, "上下反転(&V)", "選択した UV を範囲の中心で上下 (V) に反転", "上下反転", [in]() { in->Flip(false); },
      {}, anySelected);
  const auto align = [in](UVAlign a) { return [in, a]() { in->Align(a); }; };
  add(kCmdUVAlignLeft, "左揃え(&L)", "選択した UV 頂点の U を最も左のものに揃える", "左揃え", align(UVAlign::kLeft), {},
      anySelected);
  add(kCmdUVAlignRight, "右揃え(&R)", "選択した UV 頂点の U を最も右のものに揃える", "右揃え", align(UVAlign::kRight), {},
      anySelected);
  add(kCmdUVAlignTop, "上揃え(&T)", "選択した UV 頂点の V を最も上のものに揃える", "上揃え", align(UVAlign::kTop), {},
      anySelected);
  add(kCmdUVAlignBottom, "下揃え(&B)", "選択した UV 頂点の V を最も下のものに揃える", "下揃え",
      align(UVAlign::kBottom), {}, anySelected);
  add(kCmdUVSnapPixels, "テクスチャのピクセルにスナップ(&P)", "移動・回転・拡大縮小した UV をテクスチャのピクセルの角に合わせる",
      "ピクセルにスナップ",
      [d]() {
        d->snapToPixels = !d->snapToPixels;
        d->ApplyOptions();
      },
      [d]() { return d->snapToPixels; })
      ->setIconText(QStringLiteral("スナップ"));
  const auto stretch = [d](UVStretchShown s) {
    return [d, s]() {
      d->stretch = d->stretch == s ? UVStretchShown::kNone : s;
      d->pane()->update();
    };
  };
  add(kCmdUVStretchArea, "面積の伸縮を表示(&A)", "各面の UV と 3D の面積の比を色で表示 (青: 伸縮なし、赤: 大きい)", "面積の伸縮",
      stretch(UVStretchShown::kArea), [d]() { return d->stretch == UVStretchShown::kArea; })
      ->setIconText(QStringLiteral("面積"));
  add(kCmdUVStretchAngle, "角度の歪みを表示(&G)", "各面の UV と 3D の角の違いを色で表示 (青: 歪みなし、赤: 大きい)", "角度の歪み",
      stretch(UVStretchShown::kAngle), [d]() { return d->stretch == UVStretchShown::kAngle; })
      ->setIconText(QStringLiteral("角度"));
  add(kCmdUVFitView, "0-1 の範囲を表示(&F)", "UV の 0 から 1 の範囲がウィンドウに収まるように表示", "0-1 の範囲を表示",
      [d, in]() { in->viewport() = UVViewport::Fit(d->pane()->size()); });

  QMenuBar* bar = dock.menus();
  QMenu* select = bar->addMenu(QStringLiteral("選択(&S)"));
  commands.Fill(select, {kCmdUVSelectVertices, kCmdUVSelectEdges, kCmdUVSelectFaces, 0, kCmdUVSelectAll,
                         kCmdUVSelectIsland});
  QMenu* transform = bar->addMenu(QStringLiteral("変形(&T)"));
  commands.Fill(transform, {kCmdUVToolSelect, kCmdUVToolMove, kCmdUVToolRotate, kCmdUVToolScale, 0, kCmdUVNumericMove,
                            kCmdUVNumericRotate, kCmdUVNumericScale, 0, kCmdUVFlipU, kCmdUVFlipV, 0, kCmdUVSnapPixels});
  QMenu* aligning = bar->addMenu(QStringLiteral("整列(&A)"));
  commands.Fill(aligning, {kCmdUVAlignLeft, kCmdUVAlignRight, kCmdUVAlignTop, kCmdUVAlignBottom});
  QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
  commands.Fill(view, {kCmdUVStretchArea, kCmdUVStretchAngle, 0, kCmdUVFitView});
  for (QMenu* m : {select, transform, aligning, view})
    QObject::connect(m, &QMenu::aboutToShow, m, [afterRun]() { afterRun(); });
  commands.Fill(dock.toolBar(), {kCmdUVSelectVertices, kCmdUVSelectEdges, kCmdUVSelectFaces, 0, kCmdUVToolSelect,
                                 kCmdUVToolMove, kCmdUVToolRotate, kCmdUVToolScale, 0, kCmdUVSnapPixels, 0,
                                 kCmdUVStretchArea, kCmdUVStretchAngle});
}

}  // namespace mw
