#pragma once

// Without a window manager nobody gives the keyboard on when a window that has it closes: the X
// server gives it to the root window, and the keys go nowhere until a click. Installed, the focus
// goes back to the window of ours that had it before, as a window manager would give it. Where a
// window manager runs, or where another program's window took the focus, nothing changes.
// GUI thread only; a no-op away from X11.
namespace FocusHandBack {
// Once per process; later calls do nothing.
void install();
}  // namespace FocusHandBack
