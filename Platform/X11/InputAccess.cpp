#include "Platform/X11/InputAccess.h"

#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace {

InputAccess* g_override = nullptr;

xcb_connection_t* x11Connection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

}  // namespace

InputAccess& InputAccess::shared() {
    if (g_override) return *g_override;
    static X11InputAccess* access = new X11InputAccess();  // kept for the life of the process
    return *access;
}

void InputAccess::setShared(InputAccess* access) { g_override = access; }

InputAccess::Session X11InputAccess::session() const {
    if (x11Connection()) return Session::x11;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return Session::wayland;
    return Session::none;
}

bool X11InputAccess::isGranted() const {
    xcb_connection_t* connection = x11Connection();
    if (!connection) return false;
    // xcb keeps the server's answer after the first query: checking again makes no round trip.
    const xcb_query_extension_reply_t* reply = xcb_get_extension_data(connection, &xcb_test_id);
    return reply && reply->present;
}
