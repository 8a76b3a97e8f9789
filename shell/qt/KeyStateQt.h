#pragma once
// "Is ESC held down now" from the toolkit, which has no query of a key's current state.
//
// An application-wide event filter records every press and release of Escape (key
// repeats ignored; a deactivated application counts as released), so the answer is
// whatever the last Escape event said. A caller that lets events run between queries
// (the folder search) keeps the state current by itself. A caller that must not run
// user input (the file listing) relies on EscapeHeld(): it lets pending events run
// once while the filter swallows every user input event after noting Escape, so
// repaints happen, ESC is seen, and no click or key can start other work.
#include <QObject>

#include "platform/keystate.h"

namespace plm {

class QtKeyState : public QObject, public KeyState {
  Q_OBJECT
 public:
  explicit QtKeyState(QObject* parent = nullptr);
  ~QtKeyState() override;
  bool EscapeHeld() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool held_ = false;
  bool swallowing_ = false;
};

}  // namespace plm
