#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

class QRect;
class QScreen;

// Screen geometry in two spaces. Placement maths works in "upward" space: the origin at the
// bottom-left of the primary screen, y growing upward. Qt's space has its origin at the top-left
// of the primary screen with y growing downward. Only this file converts between them.
namespace Screens {
double primaryHeight();
QRectF toQt(const QRectF& upward, double primaryHeight);
QRectF fromQt(const QRectF& qt, double primaryHeight);
QPointF toQt(const QPointF& upward, double primaryHeight);
QPointF fromQt(const QPointF& qt, double primaryHeight);
inline QRectF toQt(const QRectF& upward) { return toQt(upward, primaryHeight()); }
inline QRectF fromQt(const QRectF& qt) { return fromQt(qt, primaryHeight()); }
inline QPointF toQt(const QPointF& upward) { return toQt(upward, primaryHeight()); }
inline QPointF fromQt(const QPointF& qt) { return fromQt(qt, primaryHeight()); }
// The screen's full frame and its work area (without panels), in upward space.
QRectF frame(const QScreen* screen);
QRectF visibleFrame(const QScreen* screen);
// The bands our own windows keep at the top of their screens (Qt space). They are kept as struts
// (Platform/X11/Struts), which define this: the window manager leaves them out of the work area
// where it reads them; without one, workArea() does.
QList<QRect> reservedBands();
// What the window manager leaves of the screen (Qt space): the whole screen where none runs, also
// where one that has gone left its work area on the root. Defined with the struts.
QRect windowManagerArea(const QScreen* screen);
// The screen's work area in Qt space: what the window manager leaves, less our own bands.
QRect workArea(const QScreen* screen);
// The pointer position in upward space.
QPointF mouseLocation();
}  // namespace Screens
