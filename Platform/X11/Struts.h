#pragma once

#include <QRect>

class QWindow;

// The space a window of ours keeps at the edge of the screen for itself (_NET_WM_STRUT_PARTIAL,
// and _NET_WM_STRUT for older window managers): the window manager leaves it out of the work
// area, so that windows it places and fits stay clear of ours. The bands kept here are also what
// our own placements leave out (Screens::workArea), with or without a window manager.
namespace Struts {
// Keeps `band` (Qt's global coordinates, at the top of its screen) from the root window's top edge
// down to the band's bottom, over the band's width only, until the window gives it back or goes.
// False where no X server was told of it (our own placements keep clear of it all the same).
bool reserveTop(QWindow* window, const QRect& band);
// Gives the space back.
bool release(QWindow* window);
}  // namespace Struts
