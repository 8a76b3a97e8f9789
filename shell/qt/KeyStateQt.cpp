#include "shell/qt/KeyStateQt.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>

namespace plm {
namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

}  // namespace

QtKeyState::QtKeyState(QObject* parent) : QObject(parent) {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->installEventFilter(this);
}

QtKeyState::~QtKeyState() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeEventFilter(this);
}

bool QtKeyState::EscapeHeld() {
  RunPendingEvents();
  return held_;
}

void QtKeyState::RunPendingEvents() {
  if (swallowing_) return;  // already inside
  swallowing_ = true;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  swallowing_ = false;
}

bool QtKeyState::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) held_ = type == QEvent::KeyPress;
  } else if (type == QEvent::ApplicationDeactivate || type == QEvent::WindowActivate ||
             type == QEvent::WindowDeactivate) {
    // The release may go to another program, or to no window at all when the press
    // closed a dialog: a key still held after a change of the active window would
    // otherwise abort every later search and listing.
    held_ = false;
  }
  if ((swallowing_ || blocked_) && (IsUserInput(type) || (type == QEvent::Close && event->spontaneous()))) return true;
  return QObject::eventFilter(watched, event);
}

}  // namespace plm
