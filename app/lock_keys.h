// The states of the Caps Lock, Num Lock and Scroll Lock keys, for the status bar.
#pragma once

#include <optional>

namespace mw {

struct LockStates {
  bool caps = false;
  bool num = false;
  bool scroll = false;
};

// The keyboard's lock states as its lights show them, read from the X server's keyboard
// extension; nothing where they cannot be read (another platform, no XKB).
std::optional<LockStates> ReadLockStates();

}  // namespace mw
