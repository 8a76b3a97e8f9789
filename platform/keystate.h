#pragma once
// "Is ESC held down now": the key-state query the folder search and the file listing
// poll to abort. The window answers it from the toolkit (shell/KeyStateQt.h); tests
// answer it with FakeKeyState.
namespace plm {

class KeyState {
 public:
  virtual ~KeyState() = default;
  // True while the ESC key is held down at the moment of the call.
  virtual bool EscapeHeld() = 0;
};

// Test double: answers "not held" to the first HeldAfter queries and "held" from then
// on; a negative HeldAfter never reports ESC.
class FakeKeyState : public KeyState {
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

}  // namespace plm
