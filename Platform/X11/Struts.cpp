#include "Platform/X11/Struts.h"

#include "Platform/Gui/Screens.h"
#include "Platform/X11/WindowManagerCheck.h"
#include "Platform/X11/XServer.h"

#include <QHash>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace {
struct Band {
    QRect rect;
    QMetaObject::Connection gone;
};

QHash<const QWindow*, Band>& bands() {
    static QHash<const QWindow*, Band> kept;
    return kept;
}

void keep(QWindow* window, const QRect& band) {
    Band& kept = bands()[window];
    kept.rect = band;
    if (!kept.gone) kept.gone = QObject::connect(window, &QObject::destroyed, [window] { bands().remove(window); });
}

void forget(QWindow* window) {
    const auto at = bands().find(window);
    if (at == bands().end()) return;
    QObject::disconnect(at->gone);
    bands().erase(at);
}

xcb_connection_t* connectionFor(QWindow* window) {
    return window && window->handle() ? XServer::connection() : nullptr;
}
}  // namespace

QList<QRect> Screens::reservedBands() {
    QList<QRect> rects;
    for (const Band& band : std::as_const(bands())) rects.append(band.rect);
    return rects;
}

QRect Screens::windowManagerArea(const QScreen* screen) {
    if (!screen) return {};
    // Qt reads the root's _NET_WORKAREA, which a window manager that has gone leaves behind.
    xcb_connection_t* c = XServer::connection();
    if (c && !WindowManagerCheck::rootListsCurrent(c, XServer::root())) return screen->geometry();
    return screen->availableGeometry();
}

bool Struts::reserveTop(QWindow* window, const QRect& band) {
    if (!window) return false;
    if (band.isEmpty()) return release(window);
    keep(window, band);
    xcb_connection_t* c = connectionFor(window);
    if (!c) return false;
    // Native pixels: each screen keeps its origin and scales the rest by its ratio.
    QRect native = band;
    if (QScreen* screen = window->screen()) {
        const QPoint origin = screen->geometry().topLeft();
        const double ratio = screen->devicePixelRatio();
        native = QRect(origin + (band.topLeft() - origin) * ratio, band.size() * ratio);
    }
    const auto id = xcb_window_t(window->winId());
    // left, right, top, bottom; then each edge's first and last pixel along it.
    uint32_t partial[12] = {};
    partial[2] = uint32_t(std::max(0, native.bottom() + 1));
    partial[8] = uint32_t(std::max(0, native.left()));
    partial[9] = uint32_t(std::max(0, native.right()));
    const std::vector<xcb_atom_t> atoms = XServer::atoms({"_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT"});
    if (atoms[0] == XCB_ATOM_NONE || atoms[1] == XCB_ATOM_NONE) return false;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atoms[0], XCB_ATOM_CARDINAL, 32, 12, partial);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atoms[1], XCB_ATOM_CARDINAL, 32, 4, partial);
    xcb_flush(c);
    return true;
}

bool Struts::release(QWindow* window) {
    forget(window);
    xcb_connection_t* c = connectionFor(window);
    if (!c) return false;
    const auto id = xcb_window_t(window->winId());
    for (const xcb_atom_t a : XServer::atoms({"_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT"})) {
        if (a != XCB_ATOM_NONE) xcb_delete_property(c, id, a);
    }
    xcb_flush(c);
    return true;
}
