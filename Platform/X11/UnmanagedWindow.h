#pragma once

#include <QPoint>
#include <QRegion>

class QWindow;

// Requests on an unmanaged (override-redirect) window straight to the X server. Moving through Qt
// also rewrites the window's size hints and asks the server for the frame around it (round trips
// that a window moved twenty times a second can do without). Each returns false without an X
// server, and the caller falls back to Qt.
namespace UnmanagedWindow {
// The part that takes the pointer (the Shape extension's input region); elsewhere clicks and
// motion go to what lies below.
bool setInputRegion(QWindow* window, const QRegion& region);
// Moves the window's top-left corner to a point in Qt's logical coordinates.
bool move(QWindow* window, const QPoint& topLeft);
// Puts the window above its siblings.
bool raise(QWindow* window);
// Says the window has no frame (_NET_FRAME_EXTENTS of zeros), so that Qt, which looks for a frame
// after every move, reads one property instead of walking the window tree.
bool declareNoFrame(QWindow* window);
}  // namespace UnmanagedWindow
