#pragma once

#include <cstdint>
#include <optional>

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

// The window that has the keyboard now; 0 where nobody has it (none, the pointer's or the root);
// none where the server does not answer.
std::optional<uint32_t> holder();

// Another program's window that has the keyboard now; 0 where one of ours or nobody has it.
uint32_t othersHolder();

// A popup taking the keyboard from `before` (othersHolder() as it was shown): where that is a
// full-screen window under a window manager, the popup goes over it as one of its own, as the window
// manager keeps a full-screen window above the rest (our strip too) only while it or one of its own
// has the keyboard.
void openOver(QWindow* popup, uint32_t before);

// While the popup shows, a change of window manager leaves it with the keyboard, which the one that
// went took with it: another that takes over is asked for it once it has framed the popup (as it
// starts it gives the keyboard to nobody or to another window), and where none takes over the popup
// takes it itself. Once per window; it holds while the window lives.
void keepThroughWindowManagerChanges(QWindow* popup);

// Once a popup that took the keyboard from `before` has closed: without a window manager the
// keyboard goes back to `before`, unless a window took it meanwhile.
void giveBackAfterClose(uint32_t before);

}  // namespace KeyboardFocus
