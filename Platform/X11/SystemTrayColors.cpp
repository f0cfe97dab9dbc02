#include "Platform/X11/SystemTrayColors.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>

#include <xcb/xcb.h>

std::optional<QColor> SystemTrayColors::foregroundFrom(const quint32* values, int count) {
    if (!values || count < 3) return std::nullopt;
    auto channel = [](quint32 v) { return int(std::min<quint32>(v, 0xffff) >> 8); };
    return QColor(channel(values[0]), channel(values[1]), channel(values[2]));
}

std::optional<QColor> SystemTrayColors::foreground(quint32 managerWindow) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || managerWindow == 0) return std::nullopt;
    xcb_connection_t* c = x11->connection();
    static const char name[] = "_NET_SYSTEM_TRAY_COLORS";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr);
    if (!atom || atom->atom == XCB_NONE) {
        std::free(atom);
        return std::nullopt;
    }
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, managerWindow, atom->atom, XCB_ATOM_CARDINAL, 0, 12), nullptr);
    std::free(atom);
    std::optional<QColor> color;
    if (reply && reply->format == 32)
        color = foregroundFrom(static_cast<const quint32*>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply) / 4);
    std::free(reply);
    return color;
}
