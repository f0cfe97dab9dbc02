#pragma once

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

#include <xcb/xcb.h>

class QObject;

// Where our X11 code meets the X server: Qt's own connection, the atoms it names, and the events
// it reports. Every atom is asked of the server once and kept; every event goes through one
// native event filter that hands it to those who asked for it.
namespace XServer {
// Qt's connection, and the root window of the screen Qt shows its windows on; null and none away
// from X11.
xcb_connection_t* connection();
xcb_window_t root();

// The atom of a name (XCB_ATOM_NONE without an X server).
xcb_atom_t atom(const QByteArray& name);
// Several at once: one round trip for those not known yet.
std::vector<xcb_atom_t> atoms(std::initializer_list<QByteArray> names);

// Whether the window's list of atoms `property` (_NET_WM_STATE, say) holds `value`; false where it
// has none or the window is gone. One round trip.
bool listsAtom(xcb_window_t window, xcb_atom_t property, xcb_atom_t value);

// Adds `events` to (or takes them from) what this program hears about a window.
void hear(xcb_window_t window, uint32_t events, bool on);

// Hands each event from the X server to `handler`, before Qt sees it, until `owner` is destroyed
// or unsubscribes; Qt misses an event a handler returns true for, the other handlers still get it.
using Handler = std::function<bool(const xcb_generic_event_t* event)>;
void subscribe(QObject* owner, Handler handler);
void unsubscribe(QObject* owner);
}  // namespace XServer
