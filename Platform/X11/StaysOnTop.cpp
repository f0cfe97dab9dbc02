#include "Platform/X11/StaysOnTop.h"

#include "Platform/X11/WindowManagerCheck.h"
#include "Platform/X11/XServer.h"
#include "Platform/X11/XcbReply.h"

#include <qpa/qplatformscreen.h>
#include <QEvent>
#include <QHash>
#include <QList>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <optional>
#include <vector>


namespace {
// The shortest time between two looks, so that two programs that both keep a window on top take
// turns rather than spin.
constexpr int kLeastGapMs = 200;

QList<StaysOnTop*>& keepers() {
    static QList<StaysOnTop*> list;
    return list;
}

xcb_window_t g_heardRoot = XCB_NONE;  // the root whose children's changes we hear about

// Our windows that float over others (popups, the pet, the strip): they keep their place above
// the window kept on top. An ordinary window of ours is another window to it.
QHash<xcb_window_t, QWindow*> ourWindows() {
    QHash<xcb_window_t, QWindow*> ids;
    for (QWindow* w : QGuiApplication::allWindows()) {
        const Qt::WindowFlags flags = w->flags();
        const bool floats = flags.testAnyFlags(Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint) ||
                            w->type() == Qt::Popup || w->type() == Qt::ToolTip;
        if (w->handle() && floats) ids.insert(xcb_window_t(w->winId()), w);
    }
    return ids;
}

// The window's screen in the X server's pixels.
QRect nativeScreenOf(const QWindow* window) {
    QScreen* screen = window ? window->screen() : nullptr;
    return screen && screen->handle() ? screen->handle()->geometry() : QRect();
}
}  // namespace

StaysOnTop::StaysOnTop(QWindow* window, Watch watch) : QObject(window), window_(window), watch_(watch) {
    look_.setSingleShot(true);
    connect(&look_, &QTimer::timeout, this, [this] {
        lookedLately_.start();
        if (enabled_) restack();
    });
    keepers().append(this);
    XServer::subscribe(this, [this](const xcb_generic_event_t* event) {
        // The first field after the sequence is the window reported to, the second the child.
        const auto* notify = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        return heard(event->response_type & ~0x80, notify->event, notify->window);
    });
    if (window) window->installEventFilter(this);
    if (window && window->isVisible()) lookOnceMapped();
    hearRootAsNeeded();
}

StaysOnTop::~StaysOnTop() {
    keepers().removeAll(this);
    hearRootAsNeeded();
}

bool StaysOnTop::drives() const { return watch_ == Watch::ownChanges && enabled_ && window_ && window_->isVisible(); }

void StaysOnTop::hearRootAsNeeded() {
    xcb_connection_t* c = XServer::connection();
    if (!c) return;
    // A window that calls changed() looks at all of them now and then: the root's reports would
    // cost a wake-up for each of its moves.
    const bool driven = std::any_of(keepers().begin(), keepers().end(), [](StaysOnTop* k) { return k->drives(); });
    const bool wanted = !driven && std::any_of(keepers().begin(), keepers().end(), [](StaysOnTop* k) {
        return k->watch_ == Watch::covering && k->enabled_ && !k->managed_ && k->window_ && k->window_->isVisible();
    });
    const xcb_window_t root = XServer::root();
    if (wanted == (g_heardRoot != XCB_NONE)) return;
    XServer::hear(root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY, wanted);
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
    xcb_connection_t* c = XServer::connection();
    if (!c) return;
    // One look at the stack for all of them.
    XcbReply<xcb_query_tree_reply_t> stack(xcb_query_tree_reply(c, xcb_query_tree(c, XServer::root()), nullptr));
    for (StaysOnTop* keeper : keepers()) {
        if (keeper->enabled_ && stack) keeper->restack(stack.p);
    }
}

void StaysOnTop::lookSoon() {
    if (!enabled_ || managed_ || look_.isActive() || !window_ || !window_->isVisible()) return;
    const qint64 gap = lookedLately_.isValid() ? kLeastGapMs - lookedLately_.elapsed() : 0;
    look_.start(int(std::max<qint64>(0, gap)));
}

void StaysOnTop::lookOnceMapped() {
    lookedLately_.start();
    // Once Qt has asked for the map.
    look_.start(0);
}

QRect StaysOnTop::nativeScreen() const { return nativeScreenOf(window_); }

bool StaysOnTop::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        managed_ = false;
        look_.stop();
        // Mapping puts the window on top.
        if (event->type() == QEvent::Show) lookOnceMapped();
        // After Qt's own handling, once the window is (un)mapped.
        QMetaObject::invokeMethod(this, &StaysOnTop::hearRootAsNeeded, Qt::QueuedConnection);
    }
    return false;
}

bool StaysOnTop::heard(uint8_t type, uint32_t reportedTo, uint32_t window) {
    if (g_heardRoot == XCB_NONE) return false;
    if (type < XCB_CREATE_NOTIFY || type > XCB_CIRCULATE_NOTIFY || type == XCB_MAP_REQUEST ||
        type == XCB_CONFIGURE_REQUEST || type == XCB_RESIZE_REQUEST)
        return false;
    if (reportedTo != g_heardRoot || window == g_heardRoot) return false;
    // A window mapped or restacked over ours: look. Our own windows' changes are no cover.
    if (watch_ == Watch::covering &&
        (type == XCB_MAP_NOTIFY || type == XCB_CONFIGURE_NOTIFY || type == XCB_CIRCULATE_NOTIFY)) {
        const bool ours = std::any_of(keepers().begin(), keepers().end(), [&](StaysOnTop* k) {
            return k->window_ && k->window_->handle() && xcb_window_t(k->window_->winId()) == window;
        });
        if (!ours) lookSoon();
    }
    // Only we asked for the root's reports of its children: Qt has no use for them.
    return true;
}

bool StaysOnTop::raise() { return restack() == Outcome::restacked; }

namespace {
// Where another program's window stands to one of ours, for keeping ours above it.
enum class Neighbour {
    apart,  // not shown, or clear of our window
    ordinary,  // a managed window (or a window manager's frame): ours goes above it
    overrides,  // a screen locker, a menu, a tooltip: ours stays below it
    fullScreen,  // full-screen on our window's screen: ours stays below it unless an ordinary window is over it
};

struct Other {
    xcb_window_t window = XCB_NONE;
    xcb_get_window_attributes_cookie_t attributes{};
    xcb_get_geometry_cookie_t geometry{};
    xcb_get_property_cookie_t type{};
    QRect place;  // empty where not shown
    // Override-redirect, or of a kind that is as a rule: a window manager's own menu is not.
    bool overrides = false;
    std::optional<bool> askedFullScreen;
    Neighbour neighbour = Neighbour::apart;
};

// A restack of our window: next to `sibling`, which is others[above] when ours goes above it.
struct Move {
    xcb_window_t sibling = XCB_NONE;
    uint32_t mode = XCB_STACK_MODE_ABOVE;
    size_t above = 0;
};

// The lowest window full-screen on its screen above the topmost ordinary window (one switched away
// from stays lower, under the ordinary windows ours goes over); others.size() where none.
size_t fullScreenCeiling(const std::vector<Other>& others) {
    size_t ceiling = others.size();
    for (size_t i = others.size(); i-- > 0 && others[i].neighbour != Neighbour::ordinary;) {
        if (others[i].neighbour == Neighbour::fullScreen) ceiling = i;
    }
    return ceiling;
}

// The lowest window from others[self] up that ours must stay below; others.size() where none.
size_t ceilingAbove(const std::vector<Other>& others, size_t self) {
    const size_t ceiling = fullScreenCeiling(others);
    for (size_t i = self; i < ceiling; ++i) {
        if (others[i].neighbour == Neighbour::overrides) return i;
    }
    return ceiling;
}

// Where our window goes among the others (bottom to top; `self` of them are under it); none
// where it stays.
std::optional<Move> placeAmong(const std::vector<Other>& others, size_t self) {
    const size_t ceiling = fullScreenCeiling(others);
    // Over a barrier (mapped after it, or the other put under it): below it, and below the barriers
    // right under it.
    auto underRunBelow = [&](size_t top, xcb_window_t under) {
        for (size_t i = top; i-- > 0;) {
            if (others[i].neighbour == Neighbour::apart) continue;
            if (others[i].neighbour == Neighbour::ordinary) break;
            under = others[i].window;
        }
        return under;
    };
    if (self > ceiling) return Move{underRunBelow(ceiling, others[ceiling].window), XCB_STACK_MODE_BELOW};
    // Up to the first barrier above it, over the topmost ordinary window that covers it.
    for (size_t i = ceilingAbove(others, self); i-- > self;) {
        if (others[i].neighbour == Neighbour::ordinary) return Move{others[i].window, XCB_STACK_MODE_ABOVE, i};
    }
    if (const xcb_window_t under = underRunBelow(self, XCB_NONE); under != XCB_NONE)
        return Move{under, XCB_STACK_MODE_BELOW};
    return std::nullopt;
}

// The _NET_WM_WINDOW_TYPE kinds that are override-redirect as a rule.
std::vector<xcb_atom_t> overridingKinds() {
    return XServer::atoms({"_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", "_NET_WM_WINDOW_TYPE_POPUP_MENU",
                           "_NET_WM_WINDOW_TYPE_TOOLTIP", "_NET_WM_WINDOW_TYPE_NOTIFICATION",
                           "_NET_WM_WINDOW_TYPE_COMBO", "_NET_WM_WINDOW_TYPE_DND"});
}

// Whether the window's _NET_WM_WINDOW_TYPE names one of `kinds`.
bool typedAsOverriding(const xcb_get_property_reply_t* reply, const std::vector<xcb_atom_t>& kinds) {
    if (!reply || reply->format != 32) return false;
    const auto* types = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    const int count = xcb_get_property_value_length(reply) / 4;
    return std::any_of(types, types + count, [&](xcb_atom_t t) {
        return t != XCB_ATOM_NONE && std::find(kinds.begin(), kinds.end(), t) != kinds.end();
    });
}

// The window of the program inside a window manager's frame (the one with WM_STATE); the window
// itself where none frames it.
xcb_window_t clientIn(xcb_connection_t* c, xcb_window_t window, int depth = 2) {
    const xcb_atom_t wmState = XServer::atom("WM_STATE");
    std::vector<xcb_window_t> level{window};
    for (int d = 0; d <= depth && !level.empty(); ++d) {
        std::vector<xcb_get_property_cookie_t> cookies;
        for (const xcb_window_t w : level) cookies.push_back(xcb_get_property(c, 0, w, wmState, wmState, 0, 0));
        xcb_window_t found = XCB_NONE;
        for (size_t i = 0; i < cookies.size(); ++i) {
            XcbReply<xcb_get_property_reply_t> state(xcb_get_property_reply(c, cookies[i], nullptr));
            if (found == XCB_NONE && state && state->type == wmState) found = level[i];
        }
        if (found != XCB_NONE) return found;
        std::vector<xcb_window_t> next;
        for (const xcb_window_t w : level) {
            XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
            if (!tree) continue;
            const xcb_window_t* kids = xcb_query_tree_children(tree.p);
            next.insert(next.end(), kids, kids + xcb_query_tree_children_length(tree.p));
        }
        level = std::move(next);
    }
    return window;
}

// Whether the program asked for its window full-screen (EWMH).
bool askedFullScreen(xcb_connection_t* c, xcb_window_t window) {
    const std::vector<xcb_atom_t> names = XServer::atoms({"_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN"});
    return XServer::listsAtom(clientIn(c, window), names[0], names[1]);
}

// A window's place with its border.
QRect outline(const xcb_get_geometry_reply_t* g) {
    return QRect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
}

// Sorts the others shown into neighbours of our window over `area` on `screen`.
void classify(xcb_connection_t* c, std::vector<Other>& others, const QRect& area, const QRect& screen) {
    for (Other& o : others) {
        if (!o.place.intersects(area)) {
            o.neighbour = Neighbour::apart;
        } else if (o.overrides) {
            o.neighbour = Neighbour::overrides;
        } else if (o.place.contains(screen)) {
            if (!o.askedFullScreen) o.askedFullScreen = askedFullScreen(c, o.window);
            o.neighbour = *o.askedFullScreen ? Neighbour::fullScreen : Neighbour::ordinary;
        } else {
            o.neighbour = Neighbour::ordinary;
        }
    }
}

// A window of ours above the one restacked, with how many of the others are under it.
struct OursAbove {
    xcb_window_t window;
    size_t self;
};

// Our windows between `id` and others[above], which `id` went just above, follow it in their order,
// each unless that would lift it over a window it must stay below.
void carryUp(xcb_connection_t* c, std::vector<Other>& others, xcb_window_t id, size_t above,
             const std::vector<OursAbove>& oursAbove, const QHash<xcb_window_t, QWindow*>& ours) {
    std::vector<std::pair<OursAbove, xcb_get_geometry_cookie_t>> asked;
    for (const OursAbove& w : oursAbove) {
        if (w.self > above) break;
        asked.emplace_back(w, xcb_get_geometry(c, w.window));
    }
    xcb_window_t below = id;
    for (const auto& [w, cookie] : asked) {
        xcb_generic_error_t* error = nullptr;
        XcbReply<xcb_get_geometry_reply_t> place(xcb_get_geometry_reply(c, cookie, &error));
        std::free(error);
        if (!place) continue;
        classify(c, others, outline(place.p), nativeScreenOf(ours.value(w.window)));
        if (ceilingAbove(others, w.self) <= above) continue;
        const uint32_t next[] = {below, XCB_STACK_MODE_ABOVE};
        xcb_configure_window(c, w.window, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, next);
        below = w.window;
    }
}
}  // namespace

StaysOnTop::Outcome StaysOnTop::restack(xcb_query_tree_reply_t* stack) {
    xcb_connection_t* c = XServer::connection();
    if (!c || managed_ || !window_ || !window_->handle() || !window_->isVisible()) return Outcome::leftAlone;
    const auto id = xcb_window_t(window_->winId());
    const xcb_window_t root = XServer::root();
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
    // Other programs' windows, those under it too: it may be over one it must stay below.
    const QHash<xcb_window_t, QWindow*> ours = ourWindows();
    std::vector<Other> others;
    size_t self = 0;
    std::vector<OursAbove> oursAbove;
    for (const xcb_window_t* w = children; w != children + count; ++w) {
        if (w == at) {
            self = others.size();
        } else if (!ours.contains(*w)) {
            others.emplace_back().window = *w;
        } else if (w > at) {
            oursAbove.push_back({*w, others.size()});
        }
    }
    if (others.empty()) return Outcome::clear;
    auto attributesCookie = xcb_get_window_attributes(c, id);
    auto geometryCookie = xcb_get_geometry(c, id);
    for (Other& o : others) {
        o.attributes = xcb_get_window_attributes(c, o.window);
        o.geometry = xcb_get_geometry(c, o.window);
    }
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, attributesCookie, nullptr));
    XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, nullptr));
    // A window manager that manages the window keeps it in its layer.
    const bool managed = attributes && !attributes->override_redirect && WindowManagerCheck::runs(c, root);
    if (!attributes || !geometry || managed) {
        for (const Other& o : others) {
            xcb_discard_reply(c, o.attributes.sequence);
            xcb_discard_reply(c, o.geometry.sequence);
        }
        if (managed) {
            managed_ = true;
            hearRootAsNeeded();
        }
        return Outcome::leftAlone;
    }
    const QRect area = outline(geometry.p);
    const xcb_atom_t windowType = XServer::atom("_NET_WM_WINDOW_TYPE");
    for (Other& o : others) {
        // A window may vanish at any moment: its error is taken here, not left for the event loop.
        xcb_generic_error_t* error = nullptr;
        XcbReply<xcb_get_window_attributes_reply_t> shown(xcb_get_window_attributes_reply(c, o.attributes, &error));
        std::free(error);
        error = nullptr;
        XcbReply<xcb_get_geometry_reply_t> place(xcb_get_geometry_reply(c, o.geometry, &error));
        std::free(error);
        if (!shown || !place || shown->map_state != XCB_MAP_STATE_VIEWABLE ||
            shown->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
            continue;
        o.place = outline(place.p);
        o.overrides = shown->override_redirect;
        if (!o.overrides) o.type = xcb_get_property(c, 0, o.window, windowType, XCB_ATOM_ATOM, 0, 16);
    }
    const std::vector<xcb_atom_t> kinds = overridingKinds();
    for (Other& o : others) {
        if (o.place.isEmpty() || o.overrides) continue;
        xcb_generic_error_t* error = nullptr;
        XcbReply<xcb_get_property_reply_t> type(xcb_get_property_reply(c, o.type, &error));
        std::free(error);
        o.overrides = typedAsOverriding(type.p, kinds);
    }
    classify(c, others, area, nativeScreen());
    const std::optional<Move> move = placeAmong(others, self);
    if (!move) return Outcome::clear;
    const uint32_t values[] = {move->sibling, move->mode};
    xcb_configure_window(c, id, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    if (move->mode == XCB_STACK_MODE_ABOVE) carryUp(c, others, id, move->above, oursAbove, ours);
    xcb_flush(c);
    return Outcome::restacked;
}
