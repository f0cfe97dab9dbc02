#include "Platform/X11/XServer.h"

#include "Platform/X11/XcbReply.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QHash>
#include <QObject>
#include <QVarLengthArray>

#include <algorithm>
#include <cstdlib>

#include <X11/Xlib.h>

namespace {
QHash<QByteArray, xcb_atom_t>& knownAtoms() {
    static QHash<QByteArray, xcb_atom_t> atoms;
    return atoms;
}

// The one filter: each event goes to every subscriber.
class Hub final : public QAbstractNativeEventFilter {
public:
    static Hub& shared() {
        static Hub hub;
        return hub;
    }

    void add(QObject* owner, XServer::Handler handler) {
        if (subscribers_.empty()) QCoreApplication::instance()->installNativeEventFilter(this);
        remove(owner);
        subscribers_.push_back({owner, std::move(handler),
                                QObject::connect(owner, &QObject::destroyed, [this, owner] { remove(owner); })});
    }

    void remove(QObject* owner) {
        const auto at = std::find_if(subscribers_.begin(), subscribers_.end(),
                                     [&](const Subscriber& s) { return s.owner == owner; });
        if (at == subscribers_.end()) return;
        QObject::disconnect(at->gone);
        subscribers_.erase(at);
        if (subscribers_.empty() && QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        bool taken = false;
        // A handler may subscribe or unsubscribe: those subscribed now are called while they still are.
        QVarLengthArray<QObject*, 8> owners;
        for (const Subscriber& s : subscribers_) owners.append(s.owner);
        for (QObject* owner : owners) {
            const auto at = std::find_if(subscribers_.begin(), subscribers_.end(),
                                         [&](const Subscriber& s) { return s.owner == owner; });
            if (at == subscribers_.end()) continue;
            // Kept alive while it runs, should it unsubscribe itself.
            const XServer::Handler handler = at->handler;
            taken |= handler(event);
        }
        return taken;
    }

private:
    struct Subscriber {
        QObject* owner;
        XServer::Handler handler;
        QMetaObject::Connection gone;
    };
    std::vector<Subscriber> subscribers_;
};
}  // namespace

xcb_connection_t* XServer::connection() { return qtXcbConnection(); }

xcb_window_t XServer::root() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return XCB_NONE;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(x11->connection()));
    for (int n = x11->display() ? DefaultScreen(x11->display()) : 0; n > 0 && it.rem > 1; --n) xcb_screen_next(&it);
    return it.data->root;
}

std::vector<xcb_atom_t> XServer::atoms(std::initializer_list<QByteArray> names) {
    std::vector<xcb_atom_t> result(names.size(), XCB_ATOM_NONE);
    xcb_connection_t* c = connection();
    if (!c) return result;
    // Asks for all the unknown ones first and then reads the answers.
    std::vector<std::pair<size_t, xcb_intern_atom_cookie_t>> asked;
    size_t i = 0;
    for (const QByteArray& name : names) {
        if (const auto known = knownAtoms().constFind(name); known != knownAtoms().cend())
            result[i] = *known;
        else
            asked.emplace_back(i, xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData()));
        ++i;
    }
    for (const auto& [index, cookie] : asked) {
        XcbReply reply(xcb_intern_atom_reply(c, cookie, nullptr));
        if (!reply) continue;
        result[index] = reply->atom;
        knownAtoms().insert(*(names.begin() + index), reply->atom);
    }
    return result;
}

xcb_atom_t XServer::atom(const QByteArray& name) { return atoms({name}).front(); }

bool XServer::listsAtom(xcb_window_t window, xcb_atom_t property, xcb_atom_t value) {
    xcb_connection_t* c = connection();
    if (!c || property == XCB_ATOM_NONE || value == XCB_ATOM_NONE) return false;
    // A window may vanish at any moment: its error is taken here, not left for the event loop.
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_ATOM, 0, 4096), &error));
    std::free(error);
    if (!reply || reply->format != 32) return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.p));
    const int count = xcb_get_property_value_length(reply.p) / 4;
    return std::find(atoms, atoms + count, value) != atoms + count;
}

void XServer::hear(xcb_window_t window, uint32_t events, bool on) {
    xcb_connection_t* c = connection();
    if (!c || window == XCB_NONE) return;
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    if (!attributes || ((attributes->your_event_mask & events) == events) == on) return;
    const uint32_t mask = on ? attributes->your_event_mask | events : attributes->your_event_mask & ~events;
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
}

void XServer::subscribe(QObject* owner, Handler handler) {
    if (owner && QCoreApplication::instance()) Hub::shared().add(owner, std::move(handler));
}

void XServer::unsubscribe(QObject* owner) { Hub::shared().remove(owner); }
