#pragma once

class QWindow;

// Our windows ask for the keyboard through here. A window manager gives it. Without one Qt takes it
// itself, unless one that has gone left _NET_ACTIVE_WINDOW in the root's _NET_SUPPORTED: Qt then
// asks nobody. So wherever no window manager runs, the window takes the keyboard itself once it is
// on screen. GUI thread only; away from X11 it is Qt's request alone.
namespace KeyboardFocus {

// Asks for the keyboard for the window (a widget's windowHandle(); none before it is shown).
void activate(QWindow* window);

// Once per process: a modal window of ours shown takes the keyboard as Qt asks for it.
void install();

}  // namespace KeyboardFocus
