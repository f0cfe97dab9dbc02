#include "Platform/X11/WindowManagerCheck.h"

#include "Platform/X11/XServer.h"
#include "Platform/X11/XcbReply.h"

#include <cstdlib>
#include <optional>

#include <xcb/xcb.h>

namespace {

// The window a window's _NET_SUPPORTING_WM_CHECK names; none when unset. A window that is gone
// has no property: its error is taken here, not left for the event loop.
std::optional<uint32_t> checkWindowOf(xcb_connection_t* c, uint32_t window) {
    const xcb_atom_t atom = XServer::atom("_NET_SUPPORTING_WM_CHECK");
    if (atom == XCB_ATOM_NONE) return std::nullopt;
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom, XCB_ATOM_WINDOW, 0, 1), &error));
    std::free(error);
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_WINDOW || xcb_get_property_value_length(reply.p) < 4)
        return std::nullopt;
    const uint32_t named = *static_cast<const uint32_t*>(xcb_get_property_value(reply.p));
    if (named == 0) return std::nullopt;
    return named;
}

}  // namespace

namespace WindowManagerCheck {

bool runs(xcb_connection_t* c, uint32_t root) {
    if (!c) return false;
    const std::optional<uint32_t> check = checkWindowOf(c, root);
    return check && checkWindowOf(c, *check) == check;
}

bool rootListsCurrent(xcb_connection_t* c, uint32_t root) {
    if (!c) return false;
    const std::optional<uint32_t> check = checkWindowOf(c, root);
    return !check || checkWindowOf(c, *check) == check;
}

}  // namespace WindowManagerCheck
