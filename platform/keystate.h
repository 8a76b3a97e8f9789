#pragma once
// "Is ESC held down now": the key-state query the folder search and the file listing
// poll to abort. The window answers it from the toolkit (shell/qt/KeyStateQt.h); tests
// answer it with a double of their own.
namespace plm {

class KeyState {
 public:
  virtual ~KeyState() = default;
  // True while the ESC key is held down at the moment of the call.
  virtual bool EscapeHeld() = 0;
};

}  // namespace plm
