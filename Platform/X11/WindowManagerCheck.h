#pragma once

#include <cstdint>

struct xcb_connection_t;

// Whether a window manager runs, by its EWMH check on the root. GUI thread only; a few round trips.
namespace WindowManagerCheck {

// The root's _NET_SUPPORTING_WM_CHECK names a window that names itself.
bool runs(xcb_connection_t* connection, uint32_t root);

// Whether the root's lists (_NET_ACTIVE_WINDOW, _NET_CLIENT_LIST and the like) are current: set by a
// window manager that runs, or by whatever stands in for one without saying so. A window manager
// that has gone leaves them behind with its check, and the window ids in them may name other
// clients' windows by now.
bool rootListsCurrent(xcb_connection_t* connection, uint32_t root);

}  // namespace WindowManagerCheck
