#include "Platform/X11/BlurBehind.h"

#include "Platform/X11/WindowManagerCheck.h"
#include "Platform/X11/XServer.h"
#include "Platform/X11/XcbReply.h"

#include <QWindow>

#include <algorithm>
#include <vector>

#include <xcb/xcb.h>

namespace {
constexpr const char* kBlur = "_KDE_NET_WM_BLUR_BEHIND_REGION";
}  // namespace

bool BlurBehind::isOffered() {
    xcb_connection_t* connection = XServer::connection();
    const xcb_window_t root = XServer::root();
    if (!connection || root == XCB_WINDOW_NONE) return false;
    const auto both = XServer::atoms({kBlur, "_NET_SUPPORTED"});
    const xcb_atom_t blur = both[0], supported = both[1];
    if (blur == XCB_ATOM_NONE) return false;
    // The window manager's list, unless one that has gone left it behind.
    const bool current = WindowManagerCheck::rootListsCurrent(connection, root);
    const auto listCookie = xcb_list_properties(connection, root);
    bool found = current && XServer::listsAtom(root, supported, blur);
    if (XcbReply properties(xcb_list_properties_reply(connection, listCookie, nullptr)); properties && !found) {
        const xcb_atom_t* list = xcb_list_properties_atoms(properties.p);
        const int count = xcb_list_properties_atoms_length(properties.p);
        found = std::find(list, list + count, blur) != list + count;
    }
    return found;
}

bool BlurBehind::request(QWindow* window, const QRegion& region) {
    xcb_connection_t* connection = XServer::connection();
    if (!connection || !window || !window->handle()) return false;
    const xcb_atom_t blur = XServer::atom(kBlur);
    if (blur == XCB_ATOM_NONE) return false;
    const auto id = xcb_window_t(window->winId());
    if (region.isEmpty()) {
        xcb_delete_property(connection, id, blur);
    } else {
        // An empty list would ask for the whole window: the region is always given.
        std::vector<uint32_t> rects;
        for (const QRect& r : region) {
            rects.insert(rects.end(), {uint32_t(r.x()), uint32_t(r.y()), uint32_t(r.width()), uint32_t(r.height())});
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, blur, XCB_ATOM_CARDINAL, 32, uint32_t(rects.size()),
                            rects.data());
    }
    xcb_flush(connection);
    return true;
}
