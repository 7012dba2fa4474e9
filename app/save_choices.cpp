#include "app/save_choices.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "app/settings.h"
#include "io/document_formats.h"
#include "io/document_io.h"
#include "scene/meshwright.h"

namespace mw {

std::optional<SaveOptions> AskSaveOptions(const CMeshwright& scene, const DocumentFormat& format, QWidget* parent,
                                          const std::function<int(QDialog&)>& run) {
  SaveOptions options;
  const bool symmetric = std::any_of(scene.models.begin(), scene.models.end(),
                                     [](const CModel& m) { return m.symmetryAxis >= 1 && m.symmetryAxis <= 3; });
  // Only the Metasequoia writer knows a mirror; other formats get the geometry as it is.
  if (!symmetric || !format.writeWithOptions) return options;
  QDialog d(parent);
  d.setWindowTitle(QStringLiteral("Metasequoia 形式で保存"));
  auto* layout = new QVBoxLayout(&d);
  layout->addWidget(new QLabel(QStringLiteral("対称編集中のモデルがあります。"), &d));
  auto* keep = new QCheckBox(QStringLiteral("鏡面をファイルに残す(&M)"), &d);
  keep->setToolTip(QStringLiteral("対称編集中のモデルは片側だけを書き、鏡面の設定で反対側を表す"));
  keep->setChecked(LoadKeepMirror());
  layout->addWidget(keep);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  layout->addWidget(buttons);
  if (run(d) != QDialog::Accepted) return std::nullopt;
  options.keepMirror = keep->isChecked();
  StoreKeepMirror(options.keepMirror);
  return options;
}

}  // namespace mw
