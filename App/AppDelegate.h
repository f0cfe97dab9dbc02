#pragma once

#include <QObject>

class StatusItem;
class QMenu;

// Start-up and shut-down of the menu-bar program.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    static AppDelegate& shared();

    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    StatusItem* statusItem() const { return statusItem_; }
    // Redraws the status item's icon.
    void updateStatusIcon();

private:
    AppDelegate() = default;
    void statusItemClicked(const QRect& rect, Qt::MouseButton button);

    StatusItem* statusItem_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    bool terminated_ = false;
};
