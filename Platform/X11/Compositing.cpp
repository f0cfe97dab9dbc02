#include "Platform/X11/Compositing.h"

#include "Platform/X11/XServer.h"
#include "Platform/X11/XcbReply.h"

#include <qpa/qplatformwindow.h>
#include <QByteArray>
#include <QGuiApplication>
#include <QPointer>
#include <QSize>
#include <QWindow>

#include <cmath>
#include <cstring>
#include <vector>

#include <X11/Xlib.h>
// Xlib names an event Expose, as Qt does.
#undef Expose
#include <xcb/xcb.h>

namespace {
// The name of the selection a compositing manager holds for the default screen.
QByteArray compositorSelection(Display* display) { return "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display)); }

// The window of the compositing manager: the selection's owner; none without one.
xcb_window_t compositorWindow(xcb_connection_t* connection, xcb_atom_t selection) {
    if (selection == XCB_ATOM_NONE) return XCB_NONE;
    XcbReply owner(xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr));
    return owner ? owner->owner : xcb_window_t(XCB_NONE);
}

// xcompmgr settles a window's shadow when the window is first placed, before it is mapped and
// seen to be translucent, and keeps it until the window's size changes; a frame is always placed
// before it is mapped. Its descendants (compton, picom) read the no-shadow hint instead and say
// their version (COMPTON_VERSION) on the window that holds the selection; xcompmgr only names it.
bool keepsEarlyShadows(xcb_connection_t* connection, xcb_window_t compositor, xcb_atom_t versionAtom) {
    const auto nameCookie = xcb_get_property(connection, 0, compositor, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 0, 16);
    const auto versionCookie =
        xcb_get_property(connection, 0, compositor, versionAtom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1);
    XcbReply name(xcb_get_property_reply(connection, nameCookie, nullptr));
    XcbReply version(xcb_get_property_reply(connection, versionCookie, nullptr));
    const QByteArray named = name ? QByteArray(static_cast<const char*>(xcb_get_property_value(name.p)),
                                               xcb_get_property_value_length(name.p))
                                  : QByteArray();
    return named == "xcompmgr" && !(version && version->type != XCB_ATOM_NONE);
}
}  // namespace

bool Compositing::isActive() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !x11->display()) return true;
    const QByteArray selection = compositorSelection(x11->display());
    return compositorWindow(x11->connection(), XServer::atom(selection)) != XCB_NONE;
}

namespace {
// A window manager that frames our window shows the compositor its frame, not our window. The
// frame gets the no-shadow hint as soon as our window is put in it, before it is mapped (picom
// reads it there). Under a compositor that keeps a frame's early shadow (xcompmgr), once the frame
// shows, our window's height changes by a pixel and, once the window manager has applied that,
// back to the size the program wants by then; the compositor looks again at the first change, and
// is then asked to repaint what lies around the frame, where it may have drawn that shadow already.
// It all follows the X server's events: nothing waits or polls. Qt never sees the pixel: nothing
// is laid out or repainted for it, and a size the program asks for meanwhile stands.
class FrameShadowMend final : public QObject {
public:
    explicit FrameShadowMend(QWindow* window) : QObject(window), window_(window) {
        XServer::subscribe(this, [this](const xcb_generic_event_t* event) { return seen(event); });
    }

    // Before each showing: the hint's atom, the root window, and whether to nudge the frame.
    void prepare(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t shadowHint, bool nudge) {
        connection_ = connection;
        root_ = root;
        shadowHint_ = shadowHint;
        nudge_ = nudge;
    }

private:
    // Whether Qt is to miss the event.
    bool seen(const xcb_generic_event_t* event) {
        if (!window_ || !window_->handle()) return false;
        const auto id = xcb_window_t(window_->handle()->winId());
        switch (event->response_type & 0x7f) {
        case XCB_REPARENT_NOTIFY: {
            auto* reparent = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
            if (reparent->window == id) putIn(reparent->parent);
            return false;
        }
        case XCB_MAP_NOTIFY:
            if (reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == id) shown();
            return false;
        case XCB_UNMAP_NOTIFY:
            if (reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window == id) hidden();
            return false;
        case XCB_CONFIGURE_NOTIFY: {
            auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            return configure->window == id && configured(QSize(configure->width, configure->height));
        }
        default: return false;
        }
    }

    enum class Nudge { none, sent, undone };

    void putIn(xcb_window_t parent) {
        settle();
        frame_ = parent == root_ ? xcb_window_t(XCB_NONE) : parent;
        if (frame_ == XCB_NONE || shadowHint_ == XCB_ATOM_NONE) return;
        const uint32_t none = 0;
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, frame_, shadowHint_, XCB_ATOM_CARDINAL, 32, 1, &none);
        xcb_flush(connection_);
    }

    // A window manager maps its frame together with our window (openbox holds the server meanwhile):
    // a request of ours made now reaches it after the frame is mapped.
    void shown() {
        if (frame_ == XCB_NONE || !nudge_ || state_ != Nudge::none) return;
        const QSize size = wanted();
        if (size.height() < 2) return;
        before_ = size;
        nudged_ = QSize(size.width(), size.height() - 1);
        // A window manager keeps a window within the sizes it allows: a fixed height lets go of a
        // pixel meanwhile.
        const int lowest = int(std::floor(nudged_.height() / window_->devicePixelRatio()));
        if (window_->minimumHeight() > lowest) {
            minimumBefore_ = window_->minimumHeight();
            loweredTo_ = lowest;
            window_->setMinimumHeight(lowest);
        }
        resize(nudged_);
        state_ = Nudge::sent;
    }

    // Whether Qt is to miss this change of size.
    bool configured(const QSize& size) {
        if (state_ == Nudge::none) return false;
        const QSize now = wanted();
        if (size == nudged_ && now != nudged_) {
            // The window manager has applied the pixel's change: back to what the program wants
            // now. Later notices of the same pixel are the window manager's copies.
            if (state_ == Nudge::sent) {
                liftMinimum();
                resize(now);
                state_ = Nudge::undone;
                repaintRoot();
            }
            return true;
        }
        // Done once the size the program wants is back, or once a size it asked for since is
        // applied (the window manager may have folded the pixel's change into it).
        if (size == now && (state_ == Nudge::undone || now != before_)) settle();
        return false;
    }

    // xcompmgr may have drawn the early shadow beside the frame before the pixel's change dropped it,
    // and then repaints only the frame's own area, leaving a band of shadow behind. An exposure of
    // the root, sent rather than made (nothing on the screen is cleared), has it repaint the screen
    // once. Where the window is on the root is not known for sure while the window manager is busy.
    // A window manager shrinks the frame before the window (openbox does), so by the time the window
    // has the pixel less, the compositor has been told of the frame's change before this.
    void repaintRoot() {
        xcb_expose_event_t expose{};
        expose.response_type = XCB_EXPOSE;
        expose.window = root_;
        expose.width = 0xffff;
        expose.height = 0xffff;
        // The server copies 32 bytes of the event, more than an exposure holds.
        char event[32] = {};
        std::memcpy(event, &expose, sizeof expose);
        xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_EXPOSURE, event);
        xcb_flush(connection_);
    }

    // A pixel's change the window manager has yet to apply still comes after the window is hidden:
    // it is undone then, and Qt never sees it.
    void hidden() {
        liftMinimum();
        if (state_ != Nudge::sent) state_ = Nudge::none;
    }

    void settle() {
        liftMinimum();
        state_ = Nudge::none;
    }

    void liftMinimum() {
        // Unless the program has set a minimum of its own since.
        if (loweredTo_ >= 0 && window_ && window_->minimumHeight() == loweredTo_)
            window_->setMinimumHeight(minimumBefore_);
        loweredTo_ = -1;
    }

    // The size Qt last asked for or was told of, in the X server's pixels.
    QSize wanted() const { return window_->handle()->geometry().size(); }

    void resize(const QSize& size) {
        const uint32_t values[] = {uint32_t(size.width()), uint32_t(size.height())};
        xcb_configure_window(connection_, xcb_window_t(window_->handle()->winId()),
                             XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
        xcb_flush(connection_);
    }

    QPointer<QWindow> window_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t shadowHint_ = XCB_ATOM_NONE;
    bool nudge_ = false;
    xcb_window_t frame_ = XCB_NONE;
    Nudge state_ = Nudge::none;
    QSize before_, nudged_;
    int minimumBefore_ = 0;
    int loweredTo_ = -1;
};

// None of them is a window of its own to the user: task lists and pagers leave it out. Qt keeps what
// the window's state holds as it shows it, and a window manager that takes over reads it there.
void keepOutOfTaskLists(xcb_connection_t* c, xcb_window_t id) {
    const std::vector<xcb_atom_t> atoms =
        XServer::atoms({"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"});
    for (size_t i = 1; i < atoms.size(); ++i)
        if (atoms[i] != XCB_ATOM_NONE && !XServer::listsAtom(id, atoms[0], atoms[i]))
            xcb_change_property(c, XCB_PROP_MODE_APPEND, id, atoms[0], XCB_ATOM_ATOM, 32, 1, &atoms[i]);
}
}  // namespace

bool Compositing::leaveUnshadowed(QWindow* window, WindowRole role) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!window || !window->handle() || !x11 || !x11->connection() || !x11->display()) return false;
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
    const QByteArray selection = compositorSelection(x11->display());
    const std::vector<xcb_atom_t> atoms =
        XServer::atoms({"_NET_WM_WINDOW_TYPE", typeName, "_COMPTON_SHADOW", selection, "COMPTON_VERSION"});
    const xcb_atom_t windowType = atoms[0], type = atoms[1], shadow = atoms[2];
    if (windowType == XCB_ATOM_NONE || type == XCB_ATOM_NONE || shadow == XCB_ATOM_NONE) return false;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, windowType, XCB_ATOM_ATOM, 32, 1, &type);
    keepOutOfTaskLists(connection, id);
    const uint32_t none = 0;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, shadow, XCB_ATOM_CARDINAL, 32, 1, &none);
    xcb_flush(connection);
    // No window manager frames a window it is told to leave alone.
    if (window->flags().testFlag(Qt::BypassWindowManagerHint)) return true;
    const xcb_window_t compositor = compositorWindow(connection, atoms[3]);
    // Not findChild: without Q_OBJECT it would take any child of the window for one.
    FrameShadowMend* mend = nullptr;
    for (QObject* child : window->children())
        if (!mend) mend = dynamic_cast<FrameShadowMend*>(child);
    if (compositor == XCB_NONE && !mend) return true;
    if (!mend) mend = new FrameShadowMend(window);
    mend->prepare(connection, XServer::root(), shadow,
                  compositor != XCB_NONE && keepsEarlyShadows(connection, compositor, atoms[4]));
    return true;
}
