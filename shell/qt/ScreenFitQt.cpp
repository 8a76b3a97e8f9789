#include "shell/qt/ScreenFitQt.h"

#include <QMargins>
#include <algorithm>
#include <limits>

namespace plm {
namespace {

// The strip of the title bar a user grabs to move the window: the whole width of
// the frame's top, at least as tall as a title bar usually is.
QRect GripStrip(const QRect& outer, const QMargins& frame) {
  return QRect(outer.left(), outer.top(), outer.width(), std::max(frame.top(), 20));
}

bool Reachable(const QRect& outer, const QMargins& frame, const QRect& screen) {
  const QRect grip = GripStrip(outer, frame) & screen;
  return grip.width() >= std::min(outer.width(), 100) && grip.height() >= std::min(outer.height(), 10);
}

long long DistanceSquared(const QRect& a, const QRect& b) {
  const long long dx = std::max({0, b.left() - a.right(), a.left() - b.right()});
  const long long dy = std::max({0, b.top() - a.bottom(), a.top() - b.bottom()});
  return dx * dx + dy * dy;
}

}  // namespace

QRect FitOnScreens(const QRect& window, const QList<QRect>& screens, const QSize& minimum, const QMargins& frame) {
  if (screens.isEmpty()) return window;
  const QRect outer = window.marginsAdded(frame);

  // The screen the window is on: the one its grip shows on, else the one it overlaps
  // most, else the nearest.
  qsizetype best = -1;
  for (qsizetype i = 0; i < screens.size() && best < 0; ++i)
    if (Reachable(outer, frame, screens[i])) best = i;
  const bool reachable = best >= 0;
  if (!reachable) {
    long long bestArea = 0;
    for (qsizetype i = 0; i < screens.size(); ++i) {
      const QRect common = outer & screens[i];
      const long long area = static_cast<long long>(common.width()) * common.height();
      if (area > bestArea) bestArea = area, best = i;
    }
  }
  if (best < 0) {
    long long nearest = std::numeric_limits<long long>::max();
    for (qsizetype i = 0; i < screens.size(); ++i) {
      const long long d = DistanceSquared(outer, screens[i]);
      if (d < nearest) nearest = d, best = i;
    }
  }
  const QRect screen = screens[best];
  const QRect room = screen.marginsRemoved(frame);

  QRect fitted = window;
  const bool tooLarge = window.width() > room.width() || window.height() > room.height();
  if (reachable && !tooLarge) return fitted;
  if (tooLarge)
    fitted.setSize(QSize(std::max(std::min(window.width(), room.width()), minimum.width()),
                         std::max(std::min(window.height(), room.height()), minimum.height())));
  // Inside the screen, top-left first when it still does not fit.
  fitted.moveLeft(std::max(std::min(fitted.left(), room.right() - fitted.width() + 1), room.left()));
  fitted.moveTop(std::max(std::min(fitted.top(), room.bottom() - fitted.height() + 1), room.top()));
  return fitted;
}

}  // namespace plm
