#include "Platform/X11/Compositing.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWindow>

#include <cstdlib>
#include <cstring>

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

namespace {
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}
}  // namespace

bool Compositing::leaveUnshadowed(QWindow* window, WindowRole role) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!window || !window->handle() || !x11 || !x11->connection()) return false;
    xcb_connection_t* connection = x11->connection();
    const auto id = xcb_window_t(window->winId());
    const char* typeName = "_NET_WM_WINDOW_TYPE_POPUP_MENU";
    switch (role) {
    case WindowRole::popupMenu: break;
    case WindowRole::dropdownMenu: typeName = "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU"; break;
    case WindowRole::tooltip: typeName = "_NET_WM_WINDOW_TYPE_TOOLTIP"; break;
    case WindowRole::notification: typeName = "_NET_WM_WINDOW_TYPE_NOTIFICATION"; break;
    case WindowRole::dock: typeName = "_NET_WM_WINDOW_TYPE_DOCK"; break;
    }
    const xcb_atom_t windowType = internAtom(connection, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t type = internAtom(connection, typeName);
    const xcb_atom_t shadow = internAtom(connection, "_COMPTON_SHADOW");
    if (windowType == XCB_ATOM_NONE || type == XCB_ATOM_NONE || shadow == XCB_ATOM_NONE) return false;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, windowType, XCB_ATOM_ATOM, 32, 1, &type);
    const uint32_t none = 0;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, shadow, XCB_ATOM_CARDINAL, 32, 1, &none);
    xcb_flush(connection);
    return true;
}
