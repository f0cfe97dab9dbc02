#include "Platform/X11/Compositing.h"

#include <QByteArray>
#include <QGuiApplication>

#include <cstdlib>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

bool Compositing::isActive() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !x11->display()) return true;
    xcb_connection_t* connection = x11->connection();
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(x11->display()));
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom) return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    const bool active = owner && owner->owner != XCB_NONE;
    std::free(owner);
    std::free(atom);
    return active;
}
