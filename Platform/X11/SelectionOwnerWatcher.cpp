#include "Platform/X11/SelectionOwnerWatcher.h"

#include "Platform/X11/XServer.h"

#include <QGuiApplication>

#include <cstdlib>

#include <X11/Xlib.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace {
struct XConnection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    int screen = 0;
};

XConnection xConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !x11->display()) return {};
    return {x11->connection(), xcb_window_t(DefaultRootWindow(x11->display())), DefaultScreen(x11->display())};
}
}  // namespace

QByteArray SelectionOwnerWatcher::forDefaultScreen(const QByteArray& prefix) {
    return prefix + QByteArray::number(xConnection().screen);
}

SelectionOwnerWatcher::SelectionOwnerWatcher(const QByteArray& selection, QObject* parent)
    : QObject(parent), selection_(selection) {
    const XConnection x = xConnection();
    if (!x.connection) return;
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(x.connection, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present) return;
    // The version handshake is per connection; Qt has done it, asking again is harmless.
    std::free(xcb_xfixes_query_version_reply(x.connection, xcb_xfixes_query_version(x.connection, 5, 0), nullptr));
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        x.connection, xcb_intern_atom(x.connection, 0, uint16_t(selection.size()), selection.constData()), nullptr);
    if (!atom) return;
    atom_ = atom->atom;
    notifyType_ = uint8_t(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
    std::free(atom);
    XServer::subscribe(this, [this](const xcb_generic_event_t* event) {
        if ((event->response_type & 0x7f) != notifyType_) return false;
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->selection != atom_) return false;
        const quint32 owner = notify->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER ? notify->owner : 0;
        if (owner != owner_) {
            owner_ = owner;
            emit ownerChanged(owner);
        }
        return false;  // others may watch the same selection
    });
    xcb_xfixes_select_selection_input(x.connection, x.root, atom_,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    // Asked after selecting, so that no change falls between the answer and the first event.
    xcb_get_selection_owner_reply_t* current =
        xcb_get_selection_owner_reply(x.connection, xcb_get_selection_owner(x.connection, atom_), nullptr);
    owner_ = current ? current->owner : 0;
    std::free(current);
}

SelectionOwnerWatcher::~SelectionOwnerWatcher() {
    // The selection stays selected: another watcher of the same selection may still need it, and
    // unclaimed notifications cost nothing.
    XServer::unsubscribe(this);
}

bool SelectionOwnerWatcher::isWatching() const { return notifyType_ != 0; }
