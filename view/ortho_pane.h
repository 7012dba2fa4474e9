// An orthographic pane (Top, Face or Left), drawn with QPainter.
#pragma once

#include <QWidget>

namespace mw {

class CMeshwright;

class OrthoPane : public QWidget {
  Q_OBJECT
 public:
  OrthoPane(CMeshwright& scene, int plane, QWidget* parent = nullptr);
  int plane() const { return plane_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CMeshwright& scene_;
  int plane_;
};

}  // namespace mw
