#include "Platform/X11/StaysOnTop.h"

#include "Platform/X11/XcbReply.h"

#include <QEvent>
#include <QList>
#include <QSet>
#include <QWindow>

#include <algorithm>
#include <cstring>
#include <vector>

#include <X11/Xlib.h>

namespace {
// The shortest time between two looks, so that two programs that both keep a window on top take
// turns rather than spin.
constexpr int kLeastGapMs = 200;

QList<StaysOnTop*>& keepers() {
    static QList<StaysOnTop*> list;
    return list;
}

xcb_window_t g_heardRoot = XCB_NONE;  // the root whose children's changes we hear about

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t windowProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_WINDOW, 0, 1), &error));
    std::free(error);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.p) < 4) return XCB_NONE;
    return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.p));
}

// Whether an EWMH window manager runs (its check window names itself).
bool windowManagerRuns(xcb_connection_t* c, xcb_window_t root) {
    const xcb_atom_t check = atom(c, "_NET_SUPPORTING_WM_CHECK");
    if (check == XCB_ATOM_NONE) return false;
    const xcb_window_t wm = windowProperty(c, root, check);
    return wm != XCB_NONE && windowProperty(c, wm, check) == wm;
}

// Adds to (or takes from) what this client hears about a window.
void hear(xcb_connection_t* c, xcb_window_t window, uint32_t events, bool on) {
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    if (!attributes || ((attributes->your_event_mask & events) == events) == on) return;
    const uint32_t mask = on ? attributes->your_event_mask | events : attributes->your_event_mask & ~events;
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
}

// The root window of the screen Qt shows its windows on.
xcb_window_t rootWindow(xcb_connection_t* c) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int n = x11 && x11->display() ? DefaultScreen(x11->display()) : 0; n > 0 && it.rem > 1; --n)
        xcb_screen_next(&it);
    return it.data->root;
}

// Our windows that float over others (popups, the pet, the strip): they keep their place above
// the window kept on top. An ordinary window of ours is another window to it.
QSet<xcb_window_t> ourWindows() {
    QSet<xcb_window_t> ids;
    for (QWindow* w : QGuiApplication::allWindows()) {
        const Qt::WindowFlags flags = w->flags();
        const bool floats = flags.testAnyFlags(Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint) ||
                            w->type() == Qt::Popup || w->type() == Qt::ToolTip;
        if (w->handle() && floats) ids.insert(xcb_window_t(w->winId()));
    }
    return ids;
}
}  // namespace

StaysOnTop::StaysOnTop(QWindow* window, Watch watch) : QObject(window), window_(window), watch_(watch) {
    look_.setSingleShot(true);
    connect(&look_, &QTimer::timeout, this, [this] {
        lookedLately_.start();
        if (enabled_) restack();
    });
    keepers().append(this);
    if (keepers().size() == 1) qGuiApp->installNativeEventFilter(this);
    if (window) window->installEventFilter(this);
    hearRootAsNeeded();
}

StaysOnTop::~StaysOnTop() {
    const bool filtered = keepers().front() == this;
    keepers().removeAll(this);
    if (filtered && qGuiApp) {
        qGuiApp->removeNativeEventFilter(this);
        if (!keepers().isEmpty()) qGuiApp->installNativeEventFilter(keepers().front());
    }
    hearRootAsNeeded();
}

bool StaysOnTop::drives() const { return watch_ == Watch::ownChanges && enabled_ && window_ && window_->isVisible(); }

void StaysOnTop::hearRootAsNeeded() {
    xcb_connection_t* c = qtXcbConnection();
    if (!c) return;
    // A window that calls changed() looks at all of them now and then: the root's reports would
    // cost a wake-up for each of its moves.
    const bool driven = std::any_of(keepers().begin(), keepers().end(), [](StaysOnTop* k) { return k->drives(); });
    const bool wanted = !driven && std::any_of(keepers().begin(), keepers().end(), [](StaysOnTop* k) {
        return k->watch_ == Watch::covering && k->enabled_ && !k->managed_ && k->window_ && k->window_->isVisible();
    });
    const xcb_window_t root = rootWindow(c);
    if (wanted == (g_heardRoot != XCB_NONE)) return;
    hear(c, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY, wanted);
    g_heardRoot = wanted ? root : XCB_NONE;
}

void StaysOnTop::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    hearRootAsNeeded();
}

void StaysOnTop::changed() {
    if (!enabled_ || (lookedLately_.isValid() && lookedLately_.elapsed() < intervalMs)) return;
    lookedLately_.start();
    xcb_connection_t* c = qtXcbConnection();
    if (!c) return;
    // One look at the stack for all of them.
    XcbReply<xcb_query_tree_reply_t> stack(xcb_query_tree_reply(c, xcb_query_tree(c, rootWindow(c)), nullptr));
    for (StaysOnTop* keeper : keepers()) {
        if (keeper->enabled_ && stack) keeper->restack(stack.p);
    }
}

void StaysOnTop::lookSoon() {
    if (!enabled_ || managed_ || look_.isActive() || !window_ || !window_->isVisible()) return;
    const qint64 gap = lookedLately_.isValid() ? kLeastGapMs - lookedLately_.elapsed() : 0;
    look_.start(int(std::max<qint64>(0, gap)));
}

bool StaysOnTop::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        // Mapping puts the window on top.
        if (event->type() == QEvent::Show) lookedLately_.start();
        managed_ = false;
        look_.stop();
        // After Qt's own handling, once the window is (un)mapped.
        QMetaObject::invokeMethod(this, &StaysOnTop::hearRootAsNeeded, Qt::QueuedConnection);
    }
    return false;
}

bool StaysOnTop::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || g_heardRoot == XCB_NONE) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & ~0x80;
    if (type < XCB_CREATE_NOTIFY || type > XCB_CIRCULATE_NOTIFY || type == XCB_MAP_REQUEST ||
        type == XCB_CONFIGURE_REQUEST || type == XCB_RESIZE_REQUEST)
        return false;
    // The first field after the sequence is the window reported to, the second the child.
    const auto* notify = reinterpret_cast<const xcb_map_notify_event_t*>(event);
    if (notify->event != g_heardRoot || notify->window == g_heardRoot) return false;
    // A window mapped or restacked over ours: look. Our own windows' changes are no cover.
    if (type == XCB_MAP_NOTIFY || type == XCB_CONFIGURE_NOTIFY || type == XCB_CIRCULATE_NOTIFY) {
        const QList<StaysOnTop*> list = keepers();
        const bool ours = std::any_of(list.begin(), list.end(), [&](StaysOnTop* k) {
            return k->window_ && k->window_->handle() && xcb_window_t(k->window_->winId()) == notify->window;
        });
        if (!ours) {
            for (StaysOnTop* keeper : list) {
                if (keeper->watch_ == Watch::covering) keeper->lookSoon();
            }
        }
    }
    // Only we asked for the root's reports of its children: Qt has no use for them.
    return true;
}

bool StaysOnTop::raise() { return restack() == Outcome::restacked; }

StaysOnTop::Outcome StaysOnTop::restack(xcb_query_tree_reply_t* stack) {
    xcb_connection_t* c = qtXcbConnection();
    if (!c || managed_ || !window_ || !window_->handle() || !window_->isVisible()) return Outcome::leftAlone;
    const auto id = xcb_window_t(window_->winId());
    const xcb_window_t root = rootWindow(c);
    XcbReply<xcb_query_tree_reply_t> asked(stack ? nullptr : xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
    if (!stack) stack = asked.p;
    if (!stack) return Outcome::leftAlone;
    const xcb_window_t* children = xcb_query_tree_children(stack);
    const int count = xcb_query_tree_children_length(stack);
    const auto at = std::find(children, children + count, id);
    // A window manager that framed the window keeps it in its layer.
    if (at == children + count) {
        managed_ = true;
        hearRootAsNeeded();
        return Outcome::leftAlone;
    }
    const QSet<xcb_window_t> ours = ourWindows();
    struct Other {
        xcb_window_t window;
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_geometry_cookie_t geometry;
    };
    std::vector<xcb_window_t> oursAbove, othersAbove;
    for (const xcb_window_t* w = at + 1; w != children + count; ++w)
        (ours.contains(*w) ? oursAbove : othersAbove).push_back(*w);
    // Mostly nothing but ours is above it: no more questions to the server.
    if (othersAbove.empty()) return Outcome::clear;
    auto attributesCookie = xcb_get_window_attributes(c, id);
    auto geometryCookie = xcb_get_geometry(c, id);
    std::vector<Other> above;
    for (const xcb_window_t w : othersAbove)
        above.push_back({w, xcb_get_window_attributes(c, w), xcb_get_geometry(c, w)});
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, attributesCookie, nullptr));
    XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, nullptr));
    // A window manager that manages the window keeps it in its layer.
    const bool managed = attributes && !attributes->override_redirect && windowManagerRuns(c, root);
    if (!attributes || !geometry || managed) {
        for (const Other& a : above) {
            xcb_discard_reply(c, a.attributes.sequence);
            xcb_discard_reply(c, a.geometry.sequence);
        }
        if (managed) {
            managed_ = true;
            hearRootAsNeeded();
        }
        return Outcome::leftAlone;
    }
    const QRect area(geometry->x, geometry->y, geometry->width + 2 * geometry->border_width,
                     geometry->height + 2 * geometry->border_width);
    xcb_window_t topmost = XCB_NONE;
    for (const Other& a : above) {
        // A window may vanish at any moment: its error is taken here, not left for the event loop.
        xcb_generic_error_t* error = nullptr;
        XcbReply<xcb_get_window_attributes_reply_t> shown(xcb_get_window_attributes_reply(c, a.attributes, &error));
        std::free(error);
        error = nullptr;
        XcbReply<xcb_get_geometry_reply_t> place(xcb_get_geometry_reply(c, a.geometry, &error));
        std::free(error);
        if (!shown || !place || shown->map_state != XCB_MAP_STATE_VIEWABLE ||
            shown->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
            continue;
        const QRect r(place->x, place->y, place->width + 2 * place->border_width,
                      place->height + 2 * place->border_width);
        if (r.intersects(area)) topmost = a.window;
    }
    if (topmost == XCB_NONE) return Outcome::clear;
    const uint32_t values[] = {topmost, XCB_STACK_MODE_ABOVE};
    xcb_configure_window(c, id, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    // Our own windows that were above it stay above it, in their order.
    xcb_window_t below = id;
    for (const xcb_window_t w : oursAbove) {
        const uint32_t next[] = {below, XCB_STACK_MODE_ABOVE};
        xcb_configure_window(c, w, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, next);
        below = w;
    }
    xcb_flush(c);
    return Outcome::restacked;
}
