#pragma once

#include <QObject>
#include <QRect>

class StatusItem;

// Start-up and shut-down of the menu-bar program, the status item and the event monitors that
// close the menu panel.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    static AppDelegate& shared();

    // The start-up steps, in order (see the .cpp). Runs once.
    void applicationDidFinishLaunching();
    // The quit steps: event monitors removed, hot keys, process monitor, network monitor and
    // sampler stopped. Runs once.
    void applicationWillTerminate();

    StatusItem* statusItem() const { return statusItem_; }
    // Opens the menu panel below the status item (another start of the program asks for it).
    void openMenuPanel();
    // Redraws the status item's icon from "statusIcon".
    void updateStatusIcon();

    // The monitors that close the menu panel: a mouse-down elsewhere (in other programs too),
    // Escape (swallowed) and dismissPopover.
    void installEventMonitors();
    void removeEventMonitors();
    bool eventMonitorsInstalled() const { return monitorsInstalled_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppDelegate() = default;
    void statusItemClicked(StatusItem* item, const QRect& rect, Qt::MouseButton button);

    StatusItem* statusItem_ = nullptr;
    bool launched_ = false;
    bool terminated_ = false;
    bool monitorsInstalled_ = false;
    QMetaObject::Connection globalMouse_;
    QMetaObject::Connection dismissObserver_;
};
