#include "Platform/X11/FocusHandBack.h"

#include "Platform/X11/KeyboardFocus.h"
#include "Platform/X11/WindowManagerCheck.h"
#include "Platform/X11/XServer.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <optional>
#include <vector>

#include <xcb/xcb.h>

namespace {

class Watcher : public QObject {
public:
    Watcher() : QObject(qGuiApp) {
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &Watcher::focusChanged);
        focusChanged(QGuiApplication::focusWindow());
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide && watched == focus_) handBack(focus_);
        return false;
    }

private:
    // Both ours, and `before` had the focus just before `window` took it; a window destroyed leaves
    // the chain, the one after it going back to the one before it.
    struct Link {
        const QWindow* window;
        QWindow* before;
    };

    void focusChanged(QWindow* now) {
        if (now && now != focus_) {
            // Focus that went by way of nobody (Qt says so only once no window of ours takes it
            // at once) came from another program's window: nothing of ours to go back to.
            Link* link = find(now);
            if (!link) {
                links_.push_back({now, focus_});
                now->installEventFilter(this);
                connect(now, &QObject::destroyed, this, &Watcher::destroyed);
            } else if (now != handedBack_) {
                // Given back by a window that closed, it still goes back where it came from.
                link->before = focus_;
            }
        }
        if (now) handedBack_ = nullptr;
        focus_ = now;
    }

    void destroyed(QObject* gone) {
        const auto it = std::find_if(links_.begin(), links_.end(),
                                     [gone](const Link& l) { return static_cast<const QObject*>(l.window) == gone; });
        if (it == links_.end()) return;
        QWindow* before = it->before;
        links_.erase(it);
        for (Link& link : links_)
            if (static_cast<QObject*>(link.before) == gone) link.before = before == link.window ? nullptr : before;
    }

    Link* find(const QWindow* window) {
        auto it = std::find_if(links_.begin(), links_.end(), [window](const Link& l) { return l.window == window; });
        return it == links_.end() ? nullptr : &*it;
    }

    void handBack(QWindow* closed) {
        xcb_connection_t* c = XServer::connection();
        if (!c || WindowManagerCheck::runs(c, XServer::root())) return;
        // Our window that had the focus before, or the one before that where it has closed too.
        QWindow* next = nullptr;
        std::vector<const QWindow*> seen{closed};
        for (Link* link = find(closed); link && link->before; link = find(link->before)) {
            QWindow* candidate = link->before;
            if (std::find(seen.begin(), seen.end(), candidate) != seen.end()) break;
            seen.push_back(candidate);
            // One hidden, or whose native window is gone, is passed over.
            if (candidate->isVisible() && candidate->handle() && !(candidate->flags() & Qt::WindowDoesNotAcceptFocus)) {
                next = candidate;
                break;
            }
        }
        if (!next) return;
        // The window is unmapped by now: the server has let the focus fall back, unless another
        // program has just taken it.
        const std::optional<uint32_t> held = KeyboardFocus::holder();
        if (!held || (*held != XCB_NONE && *held != xcb_window_t(closed->winId()))) return;
        handedBack_ = next;
        KeyboardFocus::activate(next);
    }

    std::vector<Link> links_;
    QPointer<QWindow> focus_;
    QPointer<QWindow> handedBack_;  // the focus asked back for it, not yet come
};

}  // namespace

namespace FocusHandBack {

void install() {
    static Watcher* watcher = nullptr;
    if (watcher || !qGuiApp || !XServer::connection()) return;
    watcher = new Watcher;
}

}  // namespace FocusHandBack
