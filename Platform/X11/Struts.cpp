#include "Platform/X11/Struts.h"

#include "Platform/X11/XcbReply.h"

#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cstring>

namespace {
xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_connection_t* connectionFor(QWindow* window) { return window && window->handle() ? qtXcbConnection() : nullptr; }
}  // namespace

bool Struts::reserveTop(QWindow* window, const QRect& band) {
    xcb_connection_t* c = connectionFor(window);
    if (!c || band.isEmpty()) return false;
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
    const xcb_atom_t strutPartial = atom(c, "_NET_WM_STRUT_PARTIAL"), strut = atom(c, "_NET_WM_STRUT");
    if (strutPartial == XCB_ATOM_NONE || strut == XCB_ATOM_NONE) return false;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, strutPartial, XCB_ATOM_CARDINAL, 32, 12, partial);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, strut, XCB_ATOM_CARDINAL, 32, 4, partial);
    xcb_flush(c);
    return true;
}

bool Struts::release(QWindow* window) {
    xcb_connection_t* c = connectionFor(window);
    if (!c) return false;
    const auto id = xcb_window_t(window->winId());
    for (const char* name : {"_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT"}) {
        if (const xcb_atom_t a = atom(c, name); a != XCB_ATOM_NONE) xcb_delete_property(c, id, a);
    }
    xcb_flush(c);
    return true;
}
