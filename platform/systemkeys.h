#pragma once
// The key state as the system keeps it, for windows that can ask the system directly.
// Windows only.
#include "platform/keystate.h"

namespace plm {

class SystemKeyState : public KeyState {
 public:
  // Asks the system whether ESC is down at this moment, whichever window has the focus.
  bool EscapeHeld() override;
};

}  // namespace plm
