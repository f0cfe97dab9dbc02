#include "Platform/X11/BlurBehind.h"

#include "Platform/X11/XServer.h"
#include "Platform/X11/XcbReply.h"

#include <QWindow>

#include <algorithm>
#include <vector>

#include <xcb/xcb.h>

namespace {
struct Atoms {
    xcb_atom_t blur = XCB_ATOM_NONE, supported = XCB_ATOM_NONE;
};

Atoms atoms() {
    const auto both = XServer::atoms({"_KDE_NET_WM_BLUR_BEHIND_REGION", "_NET_SUPPORTED"});
    return {both[0], both[1]};
}

bool offered(xcb_connection_t* connection, const Atoms& a) {
    const xcb_window_t root = XServer::root();
    if (a.blur == XCB_ATOM_NONE || root == XCB_WINDOW_NONE) return false;
    const auto supportedCookie = xcb_get_property(connection, 0, root, a.supported, XCB_ATOM_ATOM, 0, 4096);
    const auto listCookie = xcb_list_properties(connection, root);
    bool found = false;
    if (XcbReply supported(xcb_get_property_reply(connection, supportedCookie, nullptr));
        supported && supported->format == 32) {
        const auto* list = static_cast<const xcb_atom_t*>(xcb_get_property_value(supported.p));
        const int count = xcb_get_property_value_length(supported.p) / 4;
        found = std::find(list, list + count, a.blur) != list + count;
    }
    if (XcbReply properties(xcb_list_properties_reply(connection, listCookie, nullptr)); properties && !found) {
        const xcb_atom_t* list = xcb_list_properties_atoms(properties.p);
        const int count = xcb_list_properties_atoms_length(properties.p);
        found = std::find(list, list + count, a.blur) != list + count;
    }
    return found;
}
}  // namespace

bool BlurBehind::isOffered() {
    xcb_connection_t* connection = XServer::connection();
    return connection && offered(connection, atoms());
}

bool BlurBehind::request(QWindow* window, const QRegion& region) {
    xcb_connection_t* connection = XServer::connection();
    if (!connection || !window || !window->handle()) return false;
    const Atoms a = atoms();
    if (a.blur == XCB_ATOM_NONE) return false;
    const auto id = xcb_window_t(window->winId());
    if (region.isEmpty() || !offered(connection, a)) {
        xcb_delete_property(connection, id, a.blur);
    } else {
        // An empty list would ask for the whole window: the region is always given.
        std::vector<uint32_t> rects;
        for (const QRect& r : region) {
            rects.insert(rects.end(), {uint32_t(r.x()), uint32_t(r.y()), uint32_t(r.width()), uint32_t(r.height())});
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, a.blur, XCB_ATOM_CARDINAL, 32,
                            uint32_t(rects.size()), rects.data());
    }
    xcb_flush(connection);
    return true;
}
