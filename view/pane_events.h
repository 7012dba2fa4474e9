// Translating Qt's mouse, wheel and key events into PaneInput calls.
#pragma once

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <optional>

#include "view/pane_input.h"

namespace mw {

inline std::optional<MouseButton> ButtonOf(Qt::MouseButton b) {
  if (b == Qt::LeftButton) return MouseButton::kLeft;
  if (b == Qt::RightButton) return MouseButton::kRight;
  if (b == Qt::MiddleButton) return MouseButton::kMiddle;
  return std::nullopt;
}

// Hands the modifiers of an event to the pane's input before the event itself.
inline void TakeModifiers(PaneInput& input, Qt::KeyboardModifiers m) {
  input.SetModifiers(m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier), m.testFlag(Qt::AltModifier));
}

inline Key KeyOf(int key) {
  switch (key) {
    case Qt::Key_Left: return Key::kLeft;
    case Qt::Key_Up: return Key::kUp;
    case Qt::Key_Right: return Key::kRight;
    case Qt::Key_Down: return Key::kDown;
    case Qt::Key_Return:
    case Qt::Key_Enter: return Key::kEnter;
    case Qt::Key_Escape: return Key::kEscape;
    default: return Key::kOther;
  }
}

}  // namespace mw
