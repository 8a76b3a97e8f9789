#pragma once
// What the parts of the main window share: the core's state, the boxes and beeps, the
// ESC key, the status line, and the gate that keeps user input out while a listing or
// a batch runs; as the window host of the shared flows (shell/windowflows.h).
#include <QCoreApplication>
#include <QString>
#include <functional>
#include <string>
#include <utility>

#include "text/cp932.h"
#include "platform/dialogs.h"
#include "shell/qt/KeyStateQt.h"
#include "shell/shellstate.h"
#include "shell/windowflows.h"

namespace plm {

class WindowServices final : public WindowHost {
 public:
  WindowServices(ShellState& state, Dialogs& dialogs, QtKeyState& inputGate, KeyState* keys,
                 std::function<void(const std::string&)> setStatus, std::function<std::string()> status)
      : State(state),
        UserDialogs(dialogs),
        InputGate(inputGate),
        Keys(keys),
        StatusSink(std::move(setStatus)),
        StatusSource(std::move(status)) {}

  ShellState& State;
  Dialogs& UserDialogs;
  QtKeyState& InputGate;  // the toolkit's own key state, which also drops user input
  KeyState* Keys;         // answers "ESC held"; InputGate unless replaced
  std::function<void(const std::string&)> StatusSink;  // repaints at once
  std::function<std::string()> StatusSource;          // the status text shown now

  Dialogs& Boxes() override { return UserDialogs; }
  bool EscapeHeld() override { return Keys->EscapeHeld(); }
  void SetStatus(const std::string& text) override { StatusSink(text); }
  std::string StatusText() override { return StatusSource(); }
  // The outermost block ends by running what is still queued with input dropped.
  void BlockInput(bool blocked) override {
    if (blocked) {
      if (depth_++ == 0) {
        outer_ = InputGate.InputBlocked();
        InputGate.SetInputBlocked(true);
      }
      return;
    }
    if (--depth_ > 0 || outer_) return;
    InputGate.RunPendingEvents();
    InputGate.SetInputBlocked(false);
  }
  void ProcessEvents() override { QCoreApplication::processEvents(); }

 private:
  int depth_ = 0;
  bool outer_ = false;
};

// A path or name as the user reads it (ShownName: decoded, quoted when it holds a
// control character); the bytes themselves stay in the window's state, never taken
// back from the shown text.
inline QString PathText(const std::string& path) { return QString::fromStdString(ShownName(path)); }

}  // namespace plm
