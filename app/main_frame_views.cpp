// The main window's view controls: one pane enlarged, the perspective pane's display style and
// camera, the views along the axes, reference pictures behind the orthographic panes, and the
// grid and axes options. Registered here so the frame's own list of commands stays as it was.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>
#include <memory>

#include "app/commands.h"
#include "app/document.h"
#include "app/main_frame.h"
#include "app/reference_pictures.h"
#include "platform/message.h"
#include "scene/meshwright.h"
#include "scene/snap.h"
#include "view/opengl_pane.h"
#include "view/reference_dialog.h"

namespace mw {

void CMainFrame::BuildViewCommands() {
  using K = QKeySequence;
  viewOptions_ = LoadViewOptions();
  const auto add = [this](int id, const char* caption, const char* prompt, const char* tip, QList<K> keys,
                          std::function<void()> run, std::function<bool()> checked = {},
                          std::function<bool()> enabled = {}) {
    CommandEntry c;
    c.id = id;
    c.caption = QString::fromUtf8(caption);
    c.prompt = QString::fromUtf8(prompt);
    c.tip = QString::fromUtf8(tip);
    c.keys = std::move(keys);
    c.run = [this, run = std::move(run)]() {
      if (doc_.loading()) return;
      run();
      UpdateCommandStates();
    };
    c.enabled = std::move(enabled);
    c.checked = std::move(checked);
    commands_.Register(std::move(c));
  };
  const auto keypad = [](Qt::Key key, Qt::KeyboardModifiers more = {}) {
    return K(QKeyCombination(Qt::KeypadModifier | more, key));
  };
  const auto style = [this]() { return perspective_ ? perspective_->style() : DisplayStyle{}; };
  const auto restyle = [this, style](const std::function<void(DisplayStyle&)>& change) {
    DisplayStyle s = style();
    change(s);
    SetStyle(s);
  };

  add(kCmdEnlargePane, "このペインを最大化\tCtrl+Space(&X)",
      "ポインタの下のペインを3Dビューの領域いっぱいに広げる (もう一度で元の分割に戻す)", "このペインを最大化",
      {K(Qt::CTRL | Qt::Key_Space)}, [this]() { ToggleEnlargedPane(); }, [this]() { return enlarged_ != nullptr; });
  add(kCmdStyleShaded, "シェーディング(&S)", "透視ビューを面の陰影で表示", "シェーディング", {},
      [restyle]() { restyle([](DisplayStyle& s) { s.shading = Shading::kShaded; }); },
      [style]() { return style().shading == Shading::kShaded; });
  add(kCmdStyleEdges, "シェーディングと辺(&E)", "透視ビューを面の陰影に辺を重ねて表示", "シェーディングと辺", {},
      [restyle]() { restyle([](DisplayStyle& s) { s.shading = Shading::kShadedEdges; }); },
      [style]() { return style().shading == Shading::kShadedEdges; });
  add(kCmdStyleWire, "ワイヤーフレーム(&W)", "透視ビューを辺だけで表示", "ワイヤーフレーム", {},
      [restyle]() { restyle([](DisplayStyle& s) { s.shading = Shading::kWireframe; }); },
      [style]() { return style().shading == Shading::kWireframe; });
  add(kCmdHiddenLines, "隠れ線を消す(&H)", "ワイヤーフレームで面の陰になる辺を表示しない", "隠れ線を消す", {},
      [restyle]() { restyle([](DisplayStyle& s) { s.hiddenLines = !s.hiddenLines; }); },
      [style]() { return style().hiddenLines; }, [style]() { return style().shading == Shading::kWireframe; });
  add(kCmdTextured, "テクスチャ(&T)", "透視ビューで材質のテクスチャを表示", "テクスチャ", {},
      [restyle]() { restyle([](DisplayStyle& s) { s.textured = !s.textured; }); },
      [style]() { return style().textured; });
  add(kCmdBackFaces, "裏面を表示(&B)", "透視ビューで面の裏側も表示する", "裏面を表示", {},
      [restyle]() { restyle([](DisplayStyle& s) { s.backFaces = !s.backFaces; }); },
      [style]() { return style().backFaces; });
  add(kCmdParallel, "平行投影\tテンキー5(&P)", "透視ビューを遠近のない平行投影に切り替える (もう一度で透視投影)",
      "透視/平行", {keypad(Qt::Key_5)},
      [restyle]() { restyle([](DisplayStyle& s) { s.parallel = !s.parallel; }); },
      [style]() { return style().parallel; });
  struct AxisCommand {
    int id;
    AxisView view;
    const char* caption;
    const char* prompt;
    const char* tip;
    Qt::Key key;
    bool ctrl;
  };
  const AxisCommand axes[] = {
      {kCmdViewFront, AxisView::kFront, "正面\tテンキー1(&F)", "透視ビューを正面 (Face と同じ向き) から見る", "正面", Qt::Key_1, false},
      {kCmdViewBack, AxisView::kBack, "背面\tCtrl+テンキー1(&K)", "透視ビューを背面から見る", "背面", Qt::Key_1, true},
      {kCmdViewLeft, AxisView::kLeft, "側面\tテンキー3(&L)", "透視ビューを側面 (Left と同じ向き) から見る", "側面", Qt::Key_3, false},
      {kCmdViewRight, AxisView::kRight, "反対の側面\tCtrl+テンキー3(&R)", "透視ビューを反対の側面から見る", "反対の側面", Qt::Key_3, true},
      {kCmdViewTop, AxisView::kTop, "上面\tテンキー7(&T)", "透視ビューを上面 (Top と同じ向き) から見る", "上面", Qt::Key_7, false},
      {kCmdViewBottom, AxisView::kBottom, "下面\tCtrl+テンキー7(&B)", "透視ビューを下から見る", "下面", Qt::Key_7, true},
  };
  for (const AxisCommand& a : axes)
    add(a.id, a.caption, a.prompt, a.tip, {keypad(a.key, a.ctrl ? Qt::ControlModifier : Qt::NoModifier)},
        [this, v = a.view]() { ShowAxisView(v); });
  add(kCmdAnimateViews, "視点を滑らかに切り替える(&A)", "正面・側面・上面などへの切り替えを動きで見せる",
      "視点を滑らかに切り替える", {},
      [this]() {
        viewOptions_.animateViews = !viewOptions_.animateViews;
        StoreViewChoices();
      },
      [this]() { return viewOptions_.animateViews; });
  add(kCmdOrbitSelection, "選択部を中心に回転(&O)", "透視ビューの右ドラッグで選択部 (なければ表示中のモデル) の中心を回る",
      "選択部を中心に回転", {},
      [this]() {
        viewOptions_.orbitSelection = !viewOptions_.orbitSelection;
        perspective_->input().orbitAroundSelection = viewOptions_.orbitSelection;
        StoreViewChoices();
      },
      [this]() { return viewOptions_.orbitSelection; });
  add(kCmdZoomToPointer, "ポインタの位置へズーム(&Z)", "透視ビューのホイールでポインタの下に向かって拡大・縮小",
      "ポインタの位置へズーム", {},
      [this]() {
        viewOptions_.zoomToPointer = !viewOptions_.zoomToPointer;
        perspective_->input().zoomToPointer = viewOptions_.zoomToPointer;
        StoreViewChoices();
      },
      [this]() { return viewOptions_.zoomToPointer; });
  add(kCmdReferencePicture, "下絵(&R)...", "Top・Face・Left のペインに下絵の画像を置く (位置・縮尺・不透明度)", "下絵",
      {}, [this]() { EditReferencePicture(); });
  add(kCmdReferenceScale, "下絵の縮尺を2点で合わせる(&M)",
      "ペインで下絵の2点をクリックし、その間の長さを入力して縮尺を合わせる", "下絵の縮尺を2点で合わせる", {},
      [this]() { MeasureReference(); }, {}, [this]() { return !scene_.referencePictures.empty(); });
  const int grids[3] = {kCmdGridTop, kCmdGridFace, kCmdGridLeft};
  const char* gridCaptions[3] = {"Top のグリッド(&1)", "Face のグリッド(&2)", "Left のグリッド(&3)"};
  for (int i = 0; i < 3; ++i)
    add(grids[i], gridCaptions[i], "このペインのグリッドの表示/非表示", "グリッドの表示/非表示", {},
        [this, i]() {
          viewOptions_.grid[i] = !viewOptions_.grid[i];
          ortho_[i]->SetGridShown(viewOptions_.grid[i]);
          StoreViewChoices();
        },
        [this, i]() { return viewOptions_.grid[i]; });
  add(kCmdAxes, "座標軸を表示(&X)", "透視ビューの左下に X (赤)・Y (緑)・Z (青) の軸を表示", "座標軸を表示", {},
      [this]() {
        viewOptions_.axes = !viewOptions_.axes;
        perspective_->SetAxesShown(viewOptions_.axes);
        StoreViewChoices();
      },
      [this]() { return viewOptions_.axes; });

  gridStep_ = new QLabel(this);
  gridStep_->setToolTip(QStringLiteral("グリッド1目盛りの長さ (スナップの間隔)"));
  statusBar()->addPermanentWidget(gridStep_);
  connect(&doc_, &CMeshwrightDoc::documentOpened, this, [this]() {
    for (QString& f : loadedReferences_) f.clear();
    SyncReferencePictures(true);
  });
}

void CMainFrame::AddViewMenus(QMenu* view) {
  view->addSeparator();
  commands_.Fill(view, {kCmdEnlargePane});
  QMenu* display = view->addMenu(QStringLiteral("透視ビューの表示(&D)"));
  commands_.Fill(display, {kCmdStyleShaded, kCmdStyleEdges, kCmdStyleWire, kCmdHiddenLines, 0, kCmdTextured,
                           kCmdBackFaces, 0, kCmdParallel, kCmdAxes});
  QMenu* angle = view->addMenu(QStringLiteral("視点(&C)"));
  commands_.Fill(angle, {kCmdViewFront, kCmdViewBack, kCmdViewLeft, kCmdViewRight, kCmdViewTop, kCmdViewBottom, 0,
                         kCmdAnimateViews});
  commands_.Fill(view, {kCmdOrbitSelection, kCmdZoomToPointer, 0, kCmdReferencePicture, kCmdReferenceScale});
  QMenu* grid = view->addMenu(QStringLiteral("グリッド(&G)"));
  commands_.Fill(grid, {kCmdGridTop, kCmdGridFace, kCmdGridLeft});
  for (QMenu* m : {display, angle, grid}) connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
}

void CMainFrame::ApplyViewOptions() {
  DisplayStyle style;
  if (const auto parsed = ParseDisplayStyle(viewOptions_.style.toStdString())) style = *parsed;
  perspective_->SetStyle(style);
  perspective_->SetAxesShown(viewOptions_.axes);
  perspective_->input().orbitAroundSelection = viewOptions_.orbitSelection;
  perspective_->input().zoomToPointer = viewOptions_.zoomToPointer;
  for (int i = 0; i < 3; ++i) ortho_[i]->SetGridShown(viewOptions_.grid[i]);
  UpdateGridStep();
}

void CMainFrame::StoreViewChoices() {
  viewOptions_.style = QString::fromStdString(DisplayStyleWords(perspective_->style()));
  StoreViewOptions(viewOptions_);
}

void CMainFrame::SetStyle(const DisplayStyle& style) {
  perspective_->SetStyle(style);
  StoreViewChoices();
  // Picking in the perspective pane follows its camera; the orthographic panes are unchanged.
  perspective_->Refresh();
}

void CMainFrame::ShowAxisView(AxisView view) {
  const CVector to = AxisViewRotation(view);
  if (viewTurn_) viewTurn_->stop();
  if (!viewOptions_.animateViews) {
    scene_.SetCameraRotation(to);
    doc_.SetModified();
    perspective_->update();
    return;
  }
  if (!viewTurn_) {
    viewTurn_ = new QVariantAnimation(this);
    viewTurn_->setDuration(220);
    viewTurn_->setStartValue(0.0);
    viewTurn_->setEndValue(1.0);
    viewTurn_->setEasingCurve(QEasingCurve::InOutQuad);
  }
  disconnect(viewTurn_, &QVariantAnimation::valueChanged, this, nullptr);
  const CVector from = scene_.camera.rotation;
  connect(viewTurn_, &QVariantAnimation::valueChanged, this, [this, from, to](const QVariant& t) {
    scene_.SetCameraRotation(BlendRotation(from, to, t.toDouble()));
    perspective_->update();
  });
  doc_.SetModified();
  viewTurn_->start();
}

QWidget* CMainFrame::PaneForCommand() const {
  QWidget* panes[4] = {ortho_[kPlaneTop], ortho_[kPlaneFace], ortho_[kPlaneLeft], perspective_};
  for (QWidget* w = QApplication::widgetAt(QCursor::pos()); w; w = w->parentWidget())
    for (QWidget* p : panes)
      if (w == p) return p;
  for (QWidget* p : panes)
    if (p->hasFocus()) return p;
  return enlarged_ ? enlarged_ : perspective_;
}

void CMainFrame::ToggleEnlargedPane(QWidget* pane) {
  QWidget* panes[4] = {ortho_[kPlaneTop], ortho_[kPlaneFace], ortho_[kPlaneLeft], perspective_};
  if (enlarged_) {
    // Everything comes back, laid out again from the proportions the drags left: the same sizes
    // as before, for the window's size has not changed or the split follows it as it always does.
    enlarged_ = nullptr;
    for (QSplitter* column : {rows_[1], rows_[2]}) {
      for (int i = 0; i < column->count(); ++i) column->widget(i)->show();
      column->show();
    }
    ApplySplit();
    statusBar()->clearMessage();
    return;
  }
  if (!pane) pane = PaneForCommand();
  if (std::find(std::begin(panes), std::end(panes), pane) == std::end(panes)) return;
  enlarged_ = pane;
  // The lists stay: the current model and material are still chosen there.
  for (QSplitter* column : {rows_[1], rows_[2]}) {
    bool holds = false;
    for (int i = 0; i < column->count(); ++i) {
      QWidget* w = column->widget(i);
      holds = holds || w == pane;
      if (w != pane) w->hide();
    }
    if (!holds) column->hide();
  }
  LayOutColumns();
  pane->setFocus();
  statusBar()->showMessage(QStringLiteral("Ctrl+Space で元の分割に戻る"));
}

void CMainFrame::UpdateGridStep() {
  if (!gridStep_) return;
  const GridSnap& snap = orthoShared_.tools.snap;
  const double step = snap.step > 0.0 && std::isfinite(snap.step) ? snap.step : GridStepUnits(scene_.zoom);
  gridStep_->setText(QStringLiteral("グリッド %1").arg(step, 0, 'g', 6));
}

void CMainFrame::SyncReferencePictures(bool report) {
  QStringList missing;
  for (int plane = 0; plane < 3; ++plane) {
    const ReferencePicture* picture = ReferenceFor(scene_.referencePictures, static_cast<Plane>(plane));
    const QString file = picture ? ReferenceFile(*picture, doc_.path()) : QString();
    if (file == loadedReferences_[plane] && !(file.isEmpty() && !ortho_[plane]->referenceImage().isNull())) continue;
    loadedReferences_[plane] = file;
    QImage image;
    if (!file.isEmpty()) {
      image = ReadReferenceImage(file);
      if (image.isNull()) missing << file;
    }
    ortho_[plane]->SetReferenceImage(image);
  }
  if (report && !missing.isEmpty()) ShowMessage(MissingReferencesMessage(missing).toStdString(), MessageIcon::Warning);
}

void CMainFrame::SetReferencePicture(const ReferencePicture& picture, const QString& file) {
  if (file.isEmpty()) {
    RemoveReference(scene_.referencePictures, picture.plane);
  } else {
    ReferencePicture p = picture;
    p.path = ReferenceName(file, doc_.path());
    SetReference(scene_.referencePictures, p);
  }
  doc_.SetModified();
  SyncReferencePictures(true);
  RefreshOrtho();
  UpdateCommandStates();
}

void CMainFrame::EditReferencePicture() {
  QWidget* pane = PaneForCommand();
  Plane plane = kPlaneFace;
  for (int i = 0; i < 3; ++i)
    if (pane == ortho_[i]) plane = static_cast<Plane>(i);
  ReferencePicture current;
  current.plane = plane;
  QString file;
  if (const ReferencePicture* p = ReferenceFor(scene_.referencePictures, plane)) {
    current = *p;
    file = ReferenceFile(*p, doc_.path());
  }
  ReferenceDialog dialog(current, file, this);
  // Choosing another pane shows its picture.
  connect(dialog.planeBox(), &QComboBox::currentIndexChanged, &dialog, [this, &dialog](int index) {
    ReferencePicture shown;
    shown.plane = static_cast<Plane>(index);
    QString shownFile;
    if (const ReferencePicture* p = ReferenceFor(scene_.referencePictures, shown.plane)) {
      shown = *p;
      shownFile = ReferenceFile(*p, doc_.path());
    }
    dialog.fileEdit()->setText(shownFile);
    dialog.scaleBox()->setValue(shown.unitsPerPixel);
    dialog.opacitySlider()->setValue(static_cast<int>(std::lround(shown.opacity * 100.0f)));
  });
  if (runDialog(dialog) != QDialog::Accepted) return;
  SetReferencePicture(dialog.picture(), dialog.removed() ? QString() : dialog.file());
}

void CMainFrame::MeasureReference() {
  OrthoPane* pane = nullptr;
  QWidget* under = PaneForCommand();
  for (OrthoPane* p : ortho_)
    if (p == under && ReferenceFor(scene_.referencePictures, p->plane())) pane = p;
  for (OrthoPane* p : ortho_)
    if (!pane && ReferenceFor(scene_.referencePictures, p->plane())) pane = p;
  if (!pane) return;
  statusBar()->showMessage(QStringLiteral("%1 の下絵で長さの分かる2点をクリックしてください")
                               .arg(pane->plane() == kPlaneTop ? "Top" : pane->plane() == kPlaneFace ? "Face" : "Left"));
  auto points = std::make_shared<std::vector<QPoint>>();
  pane->pointPicker = [this, pane, points](QPoint p) {
    points->push_back(p);
    if (points->size() < 2) {
      statusBar()->showMessage(QStringLiteral("2点目をクリックしてください"));
      return true;
    }
    const QPoint a = (*points)[0], b = (*points)[1];
    QMetaObject::invokeMethod(this, [this, pane, a, b]() {
      const ReferencePicture* found = ReferenceFor(scene_.referencePictures, pane->plane());
      if (!found) return;
      ReferencePicture picture = *found;
      const double k = 100.0 / scene_.zoom;  // model units per pane pixel
      bool ok = false;
      const double length = QInputDialog::getDouble(this, QStringLiteral("下絵の縮尺"),
                                                    QStringLiteral("2点の間の長さ (モデルの単位):"),
                                                    std::hypot(b.x() - a.x(), b.y() - a.y()) * k, 1e-6, 1e9, 3, &ok);
      if (!ok) {
        statusBar()->clearMessage();
        return;
      }
      const QPoint c = PaneCentre(pane->plane(), pane->width(), pane->height(), orthoShared_.pan);
      if (!ScaleReferenceByTwoPoints(picture, (a.x() - c.x()) * k, (a.y() - c.y()) * k, (b.x() - c.x()) * k,
                                     (b.y() - c.y()) * k, length))
        return;
      SetReferencePicture(picture, ReferenceFile(picture, doc_.path()));
      statusBar()->showMessage(QStringLiteral("下絵の縮尺を合わせました"), 3000);
    }, Qt::QueuedConnection);
    return false;
  };
}

}  // namespace mw
