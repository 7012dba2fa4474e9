// Pictures drawn by the program itself: the 16 x 15 toolbar buttons, the 19 x 19 model states
// and the program's icon.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace mw {

QIcon ToolbarIcon(int command);
// State 1 an eye, 2 a key, 3 an empty square, each in a black frame.
QPixmap StatePicture(int state);
QIcon ProgramIcon();
// The program's icon as a size x size picture (no QGuiApplication needed), and the sizes the
// desktop's icon theme gets.
QImage ProgramIconImage(int size);
inline constexpr int kProgramIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

}  // namespace mw
