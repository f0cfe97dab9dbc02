#include "Platform/X11/X11FrontWindow.h"

#include "Platform/X11/WindowManagerCheck.h"
#include "Platform/X11/XServer.h"
#include "Platform/X11/XcbReply.h"

#include <QGuiApplication>
#include <QScreen>

#include <cstdlib>
#include <cstring>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace {

FrontWindow* g_source = nullptr;

// Native pixels to Qt's logical coordinates: the screen holding the point keeps its origin and
// divides the rest by its pixel ratio.
QRect toLogical(const QRect& native) {
    for (QScreen* screen : QGuiApplication::screens()) {
        const double ratio = screen->devicePixelRatio();
        const QRect g = screen->geometry();
        const QRect nativeScreen(g.topLeft(), g.size() * ratio);
        if (!nativeScreen.contains(native.center())) continue;
        if (ratio == 1.0) return native;
        const QPoint offset = native.topLeft() - g.topLeft();
        return QRect(g.topLeft() + offset / ratio, native.size() / ratio);
    }
    return native;
}

}  // namespace

FrontWindow& FrontWindow::shared() {
    if (g_source) return *g_source;
    static auto* x11 = new X11FrontWindow;
    return *x11;
}

void FrontWindow::setShared(FrontWindow* source) { g_source = source; }

X11FrontWindow::X11FrontWindow() {
    xcb_connection_t* c = qtXcbConnection();
    if (!c) return;
    connection_ = c;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        if (Display* display = x11->display()) root_ = uint32_t(XDefaultRootWindow(display));
}

std::vector<uint32_t> X11FrontWindow::cardinals(uint32_t window, const char* property, uint32_t type, uint32_t count) {
    auto* c = static_cast<xcb_connection_t*>(connection_);
    const uint32_t prop = XServer::atom(property);
    if (!prop) return {};
    XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, prop, type, 0, count), nullptr));
    if (!reply || reply->format != 32 || reply->type != type) return {};
    const int n = xcb_get_property_value_length(reply.p) / 4;
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.p));
    return std::vector<uint32_t>(values, values + n);
}

bool X11FrontWindow::isNormalShown(uint32_t window) {
    const std::vector<uint32_t> types = cardinals(window, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, 32);
    // Untyped windows count as normal; desktops, docks, menus and the like do not.
    if (!types.empty()) {
        const uint32_t normal = XServer::atom("_NET_WM_WINDOW_TYPE_NORMAL"),
                       dialog = XServer::atom("_NET_WM_WINDOW_TYPE_DIALOG");
        if (types.front() != normal && types.front() != dialog) return false;
    }
    const uint32_t hidden = XServer::atom("_NET_WM_STATE_HIDDEN");
    for (uint32_t state : cardinals(window, "_NET_WM_STATE", XCB_ATOM_ATOM, 32))
        if (state == hidden) return false;
    return true;
}

std::optional<QRect> X11FrontWindow::frameOf(uint32_t window) {
    auto* c = static_cast<xcb_connection_t*>(connection_);
    XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    if (!geometry) return std::nullopt;
    XcbReply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, root_, 0, 0), nullptr));
    if (!origin) return std::nullopt;
    QRect rect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    // left, right, top, bottom
    const std::vector<uint32_t> extents = cardinals(window, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL, 4);
    if (extents.size() == 4)
        rect.adjust(-int(extents[0]), -int(extents[2]), int(extents[1]), int(extents[3]));
    if (rect.isEmpty()) return std::nullopt;
    return toLogical(rect);
}

std::optional<QRect> X11FrontWindow::frame() {
    if (!connection_) return std::nullopt;
    if (!WindowManagerCheck::rootListsCurrent(static_cast<xcb_connection_t*>(connection_), root_)) return std::nullopt;
    const std::vector<uint32_t> active = cardinals(root_, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, 1);
    if (active.empty() || active.front() == 0) return std::nullopt;
    const uint32_t activeWindow = active.front();
    if (isNormalShown(activeWindow)) return frameOf(activeWindow);
    // A utility window or panel of the application is active: its topmost normal window.
    const std::vector<uint32_t> pid = cardinals(activeWindow, "_NET_WM_PID", XCB_ATOM_CARDINAL, 1);
    if (pid.empty()) return std::nullopt;
    std::vector<uint32_t> stack = cardinals(root_, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW, 4096);
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        const std::vector<uint32_t> owner = cardinals(*it, "_NET_WM_PID", XCB_ATOM_CARDINAL, 1);
        if (owner.empty() || owner.front() != pid.front() || !isNormalShown(*it)) continue;
        if (std::optional<QRect> rect = frameOf(*it)) return rect;
    }
    return std::nullopt;
}
