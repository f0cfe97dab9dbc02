#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <cstdint>

class QWindow;

// Keeps our windows above other programs' ordinary windows where no window manager does: an
// unmanaged window, or any window while no window manager runs, stays covered by a window mapped
// after it until it is restacked. A window goes just above the topmost window of another program
// that covers it, and our own popups and menus over it go with it, each unless that lifts it over a
// window it must stay below itself; and never above another program's override-redirect window (a
// screen locker, a menu, a tooltip, or a window of such a kind, as a window manager's own menu is)
// or a window full-screen on its screen that no ordinary window is over: found over one (mapped
// after it, or the other put under it), it goes below it.
// Where a window manager frames the window, or runs and manages it, it is left to the window
// manager.
class StaysOnTop : public QObject {
    Q_OBJECT
public:
    // How often at most a window that keeps changing is looked at (and restacked) again.
    static constexpr int intervalMs = 1000;
    // What brings the window back. ownChanges: the owner calls changed() as the window moves or
    // repaints anyway, and every window kept on top is looked at then, at most once per interval.
    // covering: a window that stays where it is; while no window calls changed(), the root's
    // reports of windows mapped or restacked over it bring it back (a compositor, or a window with
    // an alpha channel, leaves the server no covering to report on the window itself).
    enum class Watch { covering, ownChanges };

    StaysOnTop(QWindow* window, Watch watch);
    ~StaysOnTop() override;

    // Off: the window stays where it is in the stack (a menu of ours opens over it).
    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }
    // The window moved or changed: every window kept on top is looked at, if it has not been in
    // the last interval.
    void changed();
    // Restacks the window now if another program's window covers it; true when it did.
    bool raise();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // clear: no other program's window covers it; leftAlone: not ours to restack (framed, managed,
    // hidden) or the server did not answer.
    enum class Outcome { restacked, clear, leftAlone };
    // Looks at the stack given (the root's children, bottom to top), else at the server's.
    Outcome restack(struct xcb_query_tree_reply_t* stack = nullptr);
    bool drives() const;
    static void hearRootAsNeeded();
    // A report of the root's children (the X event's type, the window reported to and the child
    // it is about): true when it is ours to take from Qt.
    bool heard(uint8_t type, uint32_t reportedTo, uint32_t window);
    void lookSoon();
    void lookOnceMapped();
    // The window's screen in the X server's pixels.
    QRect nativeScreen() const;

    QPointer<QWindow> window_;
    Watch watch_;
    bool enabled_ = true;
    bool managed_ = false;  // a window manager keeps it: nothing to do
    QElapsedTimer lookedLately_;
    QTimer look_;
};
