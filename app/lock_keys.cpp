#include "app/lock_keys.h"

// Qt before Xlib: Xlib's macros (None, Bool, Status) would break Qt's headers.
#include <QGuiApplication>
// clang-format off
#include <X11/Xlib.h>
#include <X11/XKBlib.h>
// clang-format on

namespace mw {
namespace {

// The lights by their names: which indicator index a light has differs between keymaps.
bool Light(Display* display, Atom name, bool* on) {
  if (name == None) return false;
  int index = 0;
  Bool state = False;
  if (!XkbGetNamedIndicator(display, name, &index, &state, nullptr, nullptr)) return false;
  *on = state != False;
  return true;
}

}  // namespace

std::optional<LockStates> ReadLockStates() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* display = x11 ? x11->display() : nullptr;
  if (!display) return std::nullopt;
  // Asked four times a second: the extension and the names are looked up once per display.
  static Display* known = nullptr;
  static bool xkb = false;
  static Atom caps = None, num = None, scroll = None;
  if (display != known) {
    known = display;
    int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    xkb = XkbQueryExtension(display, &opcode, &event, &error, &major, &minor);
    caps = XInternAtom(display, "Caps Lock", True);
    num = XInternAtom(display, "Num Lock", True);
    scroll = XInternAtom(display, "Scroll Lock", True);
  }
  if (!xkb) return std::nullopt;
  LockStates states;
  // Caps Lock and Num Lock have lights on every keymap; a keymap without a Scroll Lock light
  // reads as off.
  if (!Light(display, caps, &states.caps) || !Light(display, num, &states.num)) return std::nullopt;
  Light(display, scroll, &states.scroll);
  return states;
}

}  // namespace mw
