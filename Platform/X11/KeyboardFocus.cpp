#include "Platform/X11/KeyboardFocus.h"

#include "Platform/X11/SelectionOwnerWatcher.h"
#include "Platform/X11/WindowManagerCheck.h"
#include "Platform/X11/XServer.h"
#include "Platform/X11/XcbReply.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <cstdlib>
#include <utility>
#include <vector>

#include <xcb/xcb.h>

namespace {

// A direct child of that type (findChild would take any QObject for a type without Q_OBJECT).
template <typename T>
T* childOfType(QObject* parent) {
    for (QObject* child : parent->children())
        if (auto* found = dynamic_cast<T*>(child)) return found;
    return nullptr;
}

// Gives the window the keyboard on the server; false where it is not viewable yet.
bool focus(xcb_connection_t* c, QWindow* window) {
    const xcb_void_cookie_t cookie =
        xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_PARENT, xcb_window_t(window->winId()), XCB_CURRENT_TIME);
    if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
        std::free(error);
        return false;
    }
    return true;
}

// Takes the keyboard once the window is exposed, unless it is hidden first.
class OnceExposed : public QObject {
public:
    explicit OnceExposed(QWindow* window) : QObject(window), window_(window) { window->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_) return false;
        if (event->type() == QEvent::Expose && window_->isExposed()) {
            if (xcb_connection_t* c = XServer::connection(); c && !WindowManagerCheck::runs(c, XServer::root()))
                focus(c, window_);
            deleteLater();
        } else if (event->type() == QEvent::Hide) {
            deleteLater();
        }
        return false;
    }

private:
    QPointer<QWindow> window_;
};

void takeItself(QWindow* window) {
    xcb_connection_t* c = XServer::connection();
    if (!c || !window->isVisible() || WindowManagerCheck::runs(c, XServer::root())) return;
    if (focus(c, window)) return;
    if (!childOfType<OnceExposed>(window)) new OnceExposed(window);
}

class ModalWatcher : public QObject {
public:
    ModalWatcher() : QObject(qGuiApp) { qGuiApp->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // Qt asks for the keyboard for the modal window in front as it shows.
        if (event->type() == QEvent::Show && watched->isWindowType()) {
            auto* window = static_cast<QWindow*>(watched);
            if (window->isTopLevel() && window->isModal()) takeItself(window);
        }
        return false;
    }
};

}  // namespace

namespace KeyboardFocus {

void activate(QWindow* window) {
    if (!window) return;
    window->requestActivate();
    takeItself(window);
}

void install() {
    static ModalWatcher* watcher = nullptr;
    if (watcher || !qGuiApp || !XServer::connection()) return;
    watcher = new ModalWatcher;
}

std::optional<uint32_t> holder() {
    xcb_connection_t* c = XServer::connection();
    if (!c) return std::nullopt;
    XcbReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (!focus) return std::nullopt;
    if (focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT || focus->focus == XServer::root()) return XCB_NONE;
    return focus->focus;
}

uint32_t othersHolder() {
    const uint32_t held = holder().value_or(XCB_NONE);
    if (held == XCB_NONE) return XCB_NONE;
    for (QWindow* window : QGuiApplication::allWindows())
        if (window->handle() && xcb_window_t(window->winId()) == held) return XCB_NONE;
    return held;
}

namespace {

// The top-level window of the program (the one with WM_STATE) that holds `window`, where it asks to
// be full screen; none otherwise.
xcb_window_t fullScreenClientHolding(xcb_connection_t* c, xcb_window_t window) {
    const std::vector<xcb_atom_t> atoms = XServer::atoms({"WM_STATE", "_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN"});
    const xcb_window_t root = XServer::root();
    for (int depth = 0; depth < 8 && window != XCB_NONE && window != root; ++depth) {
        XcbReply<xcb_get_property_reply_t> state(
            xcb_get_property_reply(c, xcb_get_property(c, 0, window, atoms[0], atoms[0], 0, 0), nullptr));
        if (state && state->type == atoms[0]) return XServer::listsAtom(window, atoms[1], atoms[2]) ? window : XCB_NONE;
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        window = tree ? tree->parent : XCB_NONE;
    }
    return XCB_NONE;
}

}  // namespace

void openOver(QWindow* popup, uint32_t before) {
    xcb_connection_t* c = XServer::connection();
    if (!c || !popup || before == XCB_NONE || !WindowManagerCheck::runs(c, XServer::root())) return;
    const xcb_window_t client = fullScreenClientHolding(c, before);
    if (client == XCB_NONE) return;
    // After Qt's own, which it writes at every show.
    const auto id = xcb_window_t(popup->winId());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &client);
    xcb_flush(c);
}

namespace {

// Asks the window manager to give the window the keyboard; where it takes no such request, takes it.
// No timestamp: one of ours would be older than the window manager's own change of the keyboard as
// it started, and the server would refuse the change.
void askManagerFor(xcb_connection_t* c, xcb_window_t window) {
    const std::vector<xcb_atom_t> atoms = XServer::atoms({"_NET_SUPPORTED", "_NET_ACTIVE_WINDOW"});
    const xcb_window_t root = XServer::root();
    if (!XServer::listsAtom(root, atoms[0], atoms[1])) {
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
        xcb_flush(c);
        return;
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atoms[1];
    message.data.data32[0] = 1;  // from an application
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
}

class KeptThroughManagers : public QObject {
public:
    explicit KeptThroughManagers(QWindow* window)
        : QObject(window), window_(window), manager_(new SelectionOwnerWatcher(SelectionOwnerWatcher::forDefaultScreen("WM_S"), this)) {
        XServer::subscribe(this, [this](const xcb_generic_event_t* event) {
            if ((event->response_type & 0x7f) == XCB_REPARENT_NOTIFY) {
                const auto* reparent = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
                reparented(reparent->window, reparent->parent);
            } else if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
                const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                if (change->atom == XServer::atom("WM_STATE")) managed(change->window);
            }
            return false;
        });
        connect(manager_, &SelectionOwnerWatcher::ownerChanged, this, [this](quint32 owner) {
            if (owner == XCB_NONE) takeOnceNoManager();
        });
        askAgain_.setInterval(askAgainMs);
        connect(&askAgain_, &QTimer::timeout, this, [this] { askUntilHeld(); });
    }

private:
    void reparented(xcb_window_t window, xcb_window_t parent) {
        if (!window_ || !window_->handle() || xcb_window_t(window_->winId()) != window) return;
        if (!window_->isVisible()) {
            wanted_ = false;
            return;
        }
        if (parent == XServer::root()) {
            // Let go by its window manager, which took the keyboard with it. An open popup is there
            // to be typed into: it gets the keyboard back.
            wanted_ = true;
            if (!manager_->hasOwner()) takeOnceNoManager();
            return;
        }
        // Framed by the one that took over: it reads the request once it has started, after it has
        // given the keyboard where it gives it as it starts.
        if (!std::exchange(wanted_, false)) return;
        if (xcb_connection_t* c = XServer::connection()) askManagerFor(c, window);
        framedAgain_ = true;
        asksLeft_ = askAgainTimes;
        askAgain_.start();
    }

    // openbox, just started, may leave a request it read while starting unanswered until something
    // else reaches it: asked again, a few times, until the window has the keyboard.
    void askUntilHeld() {
        xcb_connection_t* c = XServer::connection();
        if (!c || !window_ || !window_->handle() || !window_->isVisible() || asksLeft_-- <= 0 ||
            holder() == xcb_window_t(window_->winId())) {
            askAgain_.stop();
            return;
        }
        askManagerFor(c, xcb_window_t(window_->winId()));
    }

    // Asked again once the one that took over says it manages the window (WM_STATE): openbox,
    // just started, passes over a request that comes while it is still putting the window in place.
    void managed(xcb_window_t window) {
        if (!framedAgain_ || !window_ || !window_->handle() || xcb_window_t(window_->winId()) != window) return;
        framedAgain_ = false;
        if (xcb_connection_t* c = XServer::connection(); c && window_->isVisible()) askManagerFor(c, window);
    }

    // The one that went may leave its check behind it for a moment: the window takes the keyboard
    // whatever the check says, or once it is exposed again.
    void takeOnceNoManager() {
        if (!std::exchange(wanted_, false) || !window_ || !window_->isVisible()) return;
        xcb_connection_t* c = XServer::connection();
        if (c && !focus(c, window_)) takeItself(window_);
    }

    QPointer<QWindow> window_;
    SelectionOwnerWatcher* manager_;
    bool wanted_ = false;  // let go while it showed, and not given the keyboard back yet
    bool framedAgain_ = false;  // framed by the one that took over, which has not said it manages it yet
    static constexpr int askAgainMs = 150;
    static constexpr int askAgainTimes = 20;  // three seconds in all
    QTimer askAgain_;
    int asksLeft_ = 0;
};

}  // namespace

void keepThroughWindowManagerChanges(QWindow* popup) {
    if (!popup || !XServer::connection() || childOfType<KeptThroughManagers>(popup)) return;
    new KeptThroughManagers(popup);
}

void giveBackAfterClose(uint32_t before) {
    if (!before || !XServer::connection()) return;
    // Once the popup is unmapped and the server has let the keyboard fall back: to nobody, unless a
    // window manager gives it on or a window took it meanwhile.
    QTimer::singleShot(0, qGuiApp, [before] {
        xcb_connection_t* c = XServer::connection();
        if (!c || WindowManagerCheck::runs(c, XServer::root())) return;
        if (holder() != XCB_NONE) return;
        // The window may have gone meanwhile: its error is taken here.
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_PARENT, before, XCB_CURRENT_TIME));
        std::free(error);
    });
}

}  // namespace KeyboardFocus
