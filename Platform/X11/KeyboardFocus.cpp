#include "Platform/X11/KeyboardFocus.h"

#include "Platform/X11/WindowManagerCheck.h"
#include "Platform/X11/XServer.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#include <cstdlib>

#include <xcb/xcb.h>

namespace {

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
    if (!window->findChild<OnceExposed*>(QString(), Qt::FindDirectChildrenOnly)) new OnceExposed(window);
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

}  // namespace KeyboardFocus
