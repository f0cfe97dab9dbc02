#pragma once

// Whether window transparency is drawn: on X11 only while a compositing manager runs (it owns
// the _NET_WM_CM_S<screen> selection); other platforms always compose.
namespace Compositing {
bool isActive();
}

class QWindow;

namespace Compositing {
// What a borderless window of ours is, for compositors and window managers.
enum class WindowRole { popupMenu, dropdownMenu, tooltip, notification, dock };
// Names the window's type (_NET_WM_WINDOW_TYPE: compositors leave shadows off by type), keeps it out
// of task lists and pagers, and asks for no shadow where a compositor reads a hint for it
// (_COMPTON_SHADOW = 0). A shadow around a mostly transparent window darkens all of its empty part. Where a window manager frames the
// window, the frame gets the hint too, and under xcompmgr, which settles a frame's shadow before it
// sees the frame translucent, the window's height changes by a pixel and back once the frame shows:
// on the X server only (Qt never sees the pixel), and never over a size the program asks for
// meanwhile. Call before each showing, once the native window exists and its flags are set; false
// without an X server.
bool leaveUnshadowed(QWindow* window, WindowRole role);
}  // namespace Compositing
