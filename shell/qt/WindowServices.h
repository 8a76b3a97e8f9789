#pragma once
// What the parts of the main window share: the core's state, the boxes and beeps, the
// ESC key, the status line, and the gate that keeps user input out while a listing or
// a batch runs.
#include <QString>
#include <functional>
#include <string>

#include "text/cp932.h"
#include "platform/dialogs.h"
#include "shell/qt/KeyStateQt.h"
#include "shell/shellstate.h"

namespace plm {

struct WindowServices {
  ShellState& State;
  Dialogs& Boxes;
  QtKeyState& InputGate;  // the toolkit's own key state, which also drops user input
  KeyState* Keys;         // answers "ESC held"; InputGate unless replaced
  std::function<void(const std::string&)> SetStatus;  // repaints at once
  std::function<std::string()> Status;                // the status text shown now

  // An error box with a beep, its text left in the status line.
  void BoxAndStatus(const std::string& text) {
    Boxes.Beep();
    Boxes.MessageBox(BoxKind::Error, text, BoxButtons::Ok);
    SetStatus(text);
  }
};

// Drops user input from its start to its end, including what is still queued at the
// end, so that a click or key made meanwhile never runs afterwards. Repaints go on.
class BlockedInput {
 public:
  explicit BlockedInput(QtKeyState& gate) : gate_(gate), outer_(gate.InputBlocked()) { gate_.SetInputBlocked(true); }
  ~BlockedInput() {
    if (outer_) return;
    gate_.RunPendingEvents();
    gate_.SetInputBlocked(false);
  }
  BlockedInput(const BlockedInput&) = delete;
  BlockedInput& operator=(const BlockedInput&) = delete;

 private:
  QtKeyState& gate_;
  bool outer_;
};

// A path or name as the user reads it (ShownName: decoded, quoted when it holds a
// control character); the bytes themselves stay in the window's state, never taken
// back from the shown text.
inline QString PathText(const std::string& path) { return QString::fromStdString(ShownName(path)); }

}  // namespace plm
