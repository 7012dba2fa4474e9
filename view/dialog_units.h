// Dialog units: positions and sizes given in a quarter of the font's average character width and
// an eighth of its height, so a dialog keeps its proportions with any font.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <cmath>

namespace mw {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font) {
    const QFontMetrics fm(font);
    unitX_ = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0 / 4.0;
    unitY_ = fm.height() / 8.0;
  }
  QRect operator()(int x, int y, int w, int h) const {
    return QRect(static_cast<int>(std::lround(x * unitX_)), static_cast<int>(std::lround(y * unitY_)),
                 static_cast<int>(std::lround(w * unitX_)), static_cast<int>(std::lround(h * unitY_)));
  }

 private:
  double unitX_, unitY_;
};

}  // namespace mw
