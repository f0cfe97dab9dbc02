#include "Platform/X11/Compositing.h"

#include <QByteArray>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <X11/Xlib.h>
// Xlib names an event Expose, as Qt does.
#undef Expose
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
// A window manager that frames our window shows the compositor its frame, and xcompmgr settles a
// frame's shadow when the frame is first placed, before it is mapped and seen to be translucent;
// the shadow stays until the frame's size changes. So once the frame is on screen, the window's
// height changes by a pixel and back, and the compositor looks again.
class FrameRefresh : public QObject {
public:
    explicit FrameRefresh(QWindow* window) : QObject(window), window_(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_ || event->type() != QEvent::Expose || !window_ || !window_->isExposed()) return false;
        window_->removeEventFilter(this);
        refreshOnceOnScreen(40);
        return false;
    }

private:
    enum class Frame { none, hidden, shown };

    // Whether the window sits in a frame, and whether that frame is mapped yet: our window is
    // mapped (and exposed, for Qt) inside the frame before the frame itself is.
    Frame frameOf(xcb_connection_t* connection, xcb_window_t id, xcb_window_t* frame) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, id), nullptr);
        const xcb_window_t parent = tree && tree->parent != tree->root ? tree->parent : xcb_window_t(XCB_NONE);
        *frame = parent;
        std::free(tree);
        if (parent == XCB_NONE) return Frame::none;
        xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, parent), nullptr);
        const bool shown = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attributes);
        return shown ? Frame::shown : Frame::hidden;
    }

    void refreshOnceOnScreen(int triesLeft) {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!window_ || !window_->isVisible() || !x11 || !x11->connection()) return deleteLater();
        xcb_connection_t* connection = x11->connection();
        const auto id = xcb_window_t(window_->winId());
        xcb_window_t frameId = XCB_NONE;
        const Frame frame = frameOf(connection, id, &frameId);
        if (frame == Frame::hidden && triesLeft > 0) {
            QTimer::singleShot(25, this, [this, triesLeft] { refreshOnceOnScreen(triesLeft - 1); });
            return;
        }
        if (frame != Frame::shown) return deleteLater();
        // picom reads its shadow hint on the window it draws: the frame.
        const xcb_atom_t shadow = internAtom(connection, "_COMPTON_SHADOW");
        const uint32_t none = 0;
        if (shadow != XCB_ATOM_NONE)
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, frameId, shadow, XCB_ATOM_CARDINAL, 32, 1, &none);
        xcb_get_geometry_reply_t* geometry =
            xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
        if (!geometry) return deleteLater();
        const uint32_t width = geometry->width, height = geometry->height;
        std::free(geometry);
        // A pixel less; a window of fixed height may be a pixel less for a moment (a window manager
        // keeps a window within the sizes it allows).
        const int minimum = window_->minimumHeight();
        const uint32_t nudged = height > 1 ? height - 1 : height + 1;
        if (minimum > int(nudged)) window_->setMinimumHeight(int(nudged));
        resize(connection, id, width, nudged);
        restoreOnceApplied(id, width, height, nudged, minimum, 25);
    }

    // The size goes back once the window manager has applied the nudge (requests it finds
    // together may be folded into one, or the size put back before it looked), unless the window
    // has been given another size meanwhile.
    void restoreOnceApplied(xcb_window_t id, uint32_t width, uint32_t height, uint32_t nudged, int minimum,
                            int triesLeft) {
        QTimer::singleShot(20, this, [=, this] {
            auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
            xcb_connection_t* connection = window_ && x11 ? x11->connection() : nullptr;
            xcb_get_geometry_reply_t* now =
                connection ? xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr) : nullptr;
            const bool applied = now && now->width == width && now->height == nudged;
            const bool waiting = now && now->width == width && now->height == height && triesLeft > 0;
            std::free(now);
            if (waiting) return restoreOnceApplied(id, width, height, nudged, minimum, triesLeft - 1);
            if (applied) resize(connection, id, width, height);
            if (window_ && window_->minimumHeight() != minimum) window_->setMinimumHeight(minimum);
            deleteLater();
        });
    }

    static void resize(xcb_connection_t* connection, xcb_window_t id, uint32_t width, uint32_t height) {
        const uint32_t size[] = {width, height};
        xcb_configure_window(connection, id, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
        xcb_flush(connection);
    }

    QPointer<QWindow> window_;
};
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
    // One look per showing: a window manager makes a new frame each time the window is mapped.
    if (!window->findChild<FrameRefresh*>(QString(), Qt::FindDirectChildrenOnly) && isActive())
        new FrameRefresh(window);
    return true;
}
