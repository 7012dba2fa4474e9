#include "app/primitive_command.h"

#include "app/document.h"
#include "app/settings.h"
#include "scene/meshwright.h"
#include "scene/primitives.h"
#include "view/primitive_dialog.h"

namespace mw {

QString RunPrimitiveCommand(CMeshwrightDoc& doc, const PanOffsets& pan, int panePixels, QWidget* parent,
                            const std::function<int(QDialog&)>& run, const std::function<void()>& refresh) {
  CMeshwright& scene = doc.scene();
  PrimitiveRequest start;
  const PrimitiveChoice last = LoadPrimitiveChoice();
  for (int k = 0; k < kPrimitiveKindCount; ++k)
    if (last.shape == QLatin1String(PrimitiveKeyword(static_cast<PrimitiveKind>(k))))
      start.params.kind = static_cast<PrimitiveKind>(k);
  start.atCursor = last.atCursor;
  start.newModel = last.newModel;
  // Sizes that fit the panes as they are zoomed now; the counts start from their defaults.
  const double size = FittingPrimitiveSize(scene.zoom, panePixels);
  start.params.width = start.params.height = start.params.depth = size;
  start.params.radius = size / 2;
  start.params.minorRadius = size / 8;

  const std::optional<PrimitiveRequest> r = AskPrimitive(scene, pan, start, parent, run, refresh);
  if (!r) return QString();
  StorePrimitiveChoice(PrimitiveChoice{QLatin1String(PrimitiveKeyword(r->params.kind)), r->newModel, r->atCursor});
  const CVector centre = PlacementOf(scene, pan, r->atCursor);
  bool added = false;
  doc.Edit(EditKind::kAddPrimitive, [&]() { added = AddPrimitive(scene, r->params, centre, r->newModel); });
  if (!added) return QStringLiteral("基本図形を追加できるモデルがありません");
  // The new faces are the whole selection now.
  std::size_t vertices = 0, faces = 0;
  for (const CModel& m : scene.models) {
    for (const CVertex& v : m.vertices) vertices += v.selected != 0;
    for (const CFace& f : m.faces) faces += f.allSelected != 0;
  }
  return QStringLiteral("%1 を作成しました（頂点 %2 個、面 %3 個）")
      .arg(PrimitiveCaption(r->params.kind))
      .arg(vertices)
      .arg(faces);
}

}  // namespace mw
