// A parameter box for a modelling verb (押し出し, インセット, 面取り...): a few numbers and switches
// whose every change redoes the verb in the panes. While it is open the scene shows the verb done
// with the values in the box; OK leaves the scene as it was before the box opened, for the caller
// to make the verb one edit with the values returned, and キャンセル (Esc) leaves nothing behind.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "scene/edit_kind.h"
#include "scene/scene_delta.h"

class QWidget;

namespace mw {

class CMeshwright;

struct LiveField {
  enum Kind { kReal, kInteger, kCheck };
  Kind kind = kReal;
  QString label;  // with its mnemonic: "距離(&D):"
  QString tip;
  double value = 0, lowest = -1e7, highest = 1e7;
};

class CDlgLiveParameters : public QDialog {
  Q_OBJECT
 public:
  CDlgLiveParameters(const QString& title, const std::vector<LiveField>& fields, QWidget* parent = nullptr);

  // One value per field, in order (a switch gives 0 or 1).
  std::vector<double> values() const;
  // For tests, which change the fields as a user would.
  QWidget* field(std::size_t i) const { return fields_.at(i); }

 signals:
  void changed();

 private:
  std::vector<LiveField::Kind> kinds_;
  std::vector<QWidget*> fields_;
};

// The verb done and taken back again with nothing recorded, as PrimitivePreview does for shapes.
class LivePreview {
 public:
  LivePreview(CMeshwright& scene, EditKind kind, std::function<void()> refresh);
  ~LivePreview();  // takes the verb back
  LivePreview(const LivePreview&) = delete;
  LivePreview& operator=(const LivePreview&) = delete;

  // Takes back what is shown and shows `apply` done afresh.
  void Show(const std::function<void(CMeshwright&)>& apply);
  void Clear();

 private:
  CMeshwright& scene_;
  EditKind kind_;
  std::function<void()> refresh_;
  std::optional<SceneDelta> shown_;
};

// Runs the box through `run` (modal; tests answer it themselves) with the verb following its
// fields. The values on OK, nothing on cancel; either way the scene is as it was.
std::optional<std::vector<double>> AskLiveParameters(
    CMeshwright& scene, EditKind kind, const QString& title, const std::vector<LiveField>& fields,
    const std::function<void(CMeshwright&, const std::vector<double>&)>& apply, QWidget* parent,
    const std::function<int(QDialog&)>& run, const std::function<void()>& refresh);

}  // namespace mw
