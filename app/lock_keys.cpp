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
bool Light(Display* display, const char* name, bool* on) {
  const Atom atom = XInternAtom(display, name, True);
  if (atom == None) return false;
  int index = 0;
  Bool state = False;
  if (!XkbGetNamedIndicator(display, atom, &index, &state, nullptr, nullptr)) return false;
  *on = state != False;
  return true;
}

}  // namespace

std::optional<LockStates> ReadLockStates() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* display = x11 ? x11->display() : nullptr;
  if (!display) return std::nullopt;
  int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
  if (!XkbQueryExtension(display, &opcode, &event, &error, &major, &minor)) return std::nullopt;
  LockStates states;
  // Caps Lock and Num Lock have lights on every keymap; a keymap without a Scroll Lock light
  // reads as off.
  if (!Light(display, "Caps Lock", &states.caps) || !Light(display, "Num Lock", &states.num)) return std::nullopt;
  Light(display, "Scroll Lock", &states.scroll);
  return states;
}

}  // namespace mw
