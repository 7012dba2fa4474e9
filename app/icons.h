// Pictures drawn by the program itself: the 16 x 15 toolbar buttons, the 19 x 19 model states
// and the window icon.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace mw {

QIcon ToolbarIcon(int command);
// State 1 an eye, 2 a key, 3 an empty square, each in a black frame.
QPixmap StatePicture(int state);
QIcon ProgramIcon();

}  // namespace mw
