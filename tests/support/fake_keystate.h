#pragma once
// An ESC key that is "not held" for the first HeldAfter queries and "held" from then
// on; a negative HeldAfter never reports ESC.
#include "platform/keystate.h"

namespace plmtest {

class FakeKeyState : public plm::KeyState {
 public:
  explicit FakeKeyState(int heldAfter = -1) : HeldAfter(heldAfter) {}
  bool EscapeHeld() override {
    const bool held = HeldAfter >= 0 && Queries >= HeldAfter;
    ++Queries;
    return held;
  }
  int HeldAfter;
  int Queries = 0;
};

}  // namespace plmtest
