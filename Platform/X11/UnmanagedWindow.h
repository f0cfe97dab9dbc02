#pragma once

#include <QPoint>
#include <QRegion>

class QWindow;

// Requests on an unmanaged (override-redirect) window straight to the X server. Moving through Qt
// also rewrites the window's size hints and asks the server for the frame around it (round trips
// that a window moved twenty times a second can do without). Each returns false without an X
// server, and the caller falls back to Qt. Moves are only queued: a window changed
// at every tick sends all of a tick's requests at once with flush().
namespace UnmanagedWindow {
// The part that takes the pointer (the Shape extension's input region); elsewhere clicks and
// motion go to what lies below.
bool setInputRegion(QWindow* window, const QRegion& region);
// The part of the window that shows (the Shape extension's bounding region); an empty region shows
// all of it. Unlike a widget mask, it leaves Qt's painting alone: a repaint of the whole window
// goes to the server as one image rather than one per row of the shape.
bool setShape(QWindow* window, const QRegion& region);
// Moves the window's top-left corner to a point in Qt's logical coordinates, and tells Qt where it
// now is. False (nothing done) for a point on another screen than the window's: Qt moves it there.
bool move(QWindow* window, const QPoint& topLeft);
// Sends the requests queued so far.
bool flush(QWindow* window);
// Says that the whole window is about to be drawn again: the exposures the server reports for the
// requests sent so far (the shape grown by a new mask, say) are left out rather than drawn twice.
bool coverExposures(QWindow* window);
// Whether the server reports the window's own changes (moves, restacking, map and unmap) back to
// us. Qt answers each report of a move with a round trip asking where the window is; a window
// whose moves all go through move() can go without them while it shows. Keep them while Qt maps,
// unmaps or resizes the window: it learns of those from the reports.
// A window with an alpha channel also goes without exposures while they are off: the server keeps
// its pixels (it is always redirected), and a new shape exposes only what the next repaint, sent
// with it, covers anyway.
bool reportChanges(QWindow* window, bool report);
// Puts the shown window back on the root where it stands: it is unmapped, arrives and is mapped
// again, as a new window would. Where compositing changed hands since it was mapped, the screen
// may not show it until then: xfwm4's compositor draws the unmanaged windows it finds under those
// it frames, and once a compositor it arrived under has quit, the server may not draw it again.
// Qt learns of it only while the window reports its changes: its pixels are to be drawn again.
bool arriveAgain(QWindow* window);
// Says the window has no frame (_NET_FRAME_EXTENTS of zeros), so that Qt, which looks for a frame
// after every move, reads one property instead of walking the window tree.
bool declareNoFrame(QWindow* window);
}  // namespace UnmanagedWindow
