#pragma once
// "Is ESC held down now" from the toolkit, which has no query of a key's current state,
// and the gate that keeps user input out while a listing or a batch runs.
//
// An application-wide event filter records every press and release of Escape (key
// repeats ignored; a change of the active window counts as released), so the answer is
// whatever the last Escape event said. A caller that lets events run between queries
// (the folder search) keeps the state current by itself. A caller that must not run
// user input (the file listing) relies on EscapeHeld(): it lets pending events run
// once while the filter drops every user input event after noting Escape, so
// repaints happen, ESC is seen, and no click or key can start other work.
//
// While input is blocked (SetInputBlocked), every user input event that reaches the
// application is dropped the same way, whenever it is delivered: clicks and keys made
// during a batch are lost, never replayed after it.
#include <QObject>

#include "platform/keystate.h"

namespace plm {

class QtKeyState : public QObject, public KeyState {
  Q_OBJECT
 public:
  explicit QtKeyState(QObject* parent = nullptr);
  ~QtKeyState() override;
  bool EscapeHeld() override;

  void SetInputBlocked(bool blocked) { blocked_ = blocked; }
  bool InputBlocked() const { return blocked_; }
  // Runs the pending events (repaints, window-system events) with user input dropped.
  void RunPendingEvents();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool held_ = false;
  bool swallowing_ = false;
  bool blocked_ = false;
};

}  // namespace plm
