#pragma once
// Keeps a window where the user can reach it when its stored geometry no longer suits
// the screens (a monitor removed, another resolution or scale factor).
#include <QList>
#include <QRect>
#include <QSize>

namespace plm {

// The geometry to use for a window stored as `window` (the area inside its frame) on
// screens whose usable areas are `screens` (the first is the primary one). A window
// whose top edge shows on a screen keeps its place; one that does not moves onto the
// screen nearest to it. A window larger than that screen shrinks to it (not below
// `minimum`) and is then moved so that it lies inside. `frame` is the room the title
// bar and borders take around the window. Without screens the window is unchanged.
QRect FitOnScreens(const QRect& window, const QList<QRect>& screens, const QSize& minimum,
                   const QMargins& frame = {});

}  // namespace plm
