#include "Platform/Gui/Screens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace Screens {

double primaryHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0.0;
}

QRectF toQt(const QRectF& upward, double h) {
    return QRectF(upward.x(), h - upward.y() - upward.height(), upward.width(), upward.height());
}

QRectF fromQt(const QRectF& qt, double h) {
    return QRectF(qt.x(), h - qt.y() - qt.height(), qt.width(), qt.height());
}

QPointF toQt(const QPointF& upward, double h) { return QPointF(upward.x(), h - upward.y()); }
QPointF fromQt(const QPointF& qt, double h) { return QPointF(qt.x(), h - qt.y()); }

QRectF frame(const QScreen* screen) { return screen ? fromQt(QRectF(screen->geometry())) : QRectF(); }
QRectF visibleFrame(const QScreen* screen) { return screen ? fromQt(QRectF(workArea(screen))) : QRectF(); }

QRect workArea(const QScreen* screen) {
    if (!screen) return {};
    QRect area = windowManagerArea(screen);
    for (const QRect& band : reservedBands()) {
        // A band the window manager already left out no longer overlaps the area.
        if (band.top() <= screen->geometry().top() && band.intersects(area))
            area.setTop(std::min(area.bottom(), band.bottom() + 1));
    }
    return area;
}

QPointF mouseLocation() { return fromQt(QPointF(QCursor::pos())); }

}  // namespace Screens
