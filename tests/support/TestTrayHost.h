#pragma once

#include <QColor>
#include <QObject>
#include <QRect>

#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;
struct xcb_connection_t;

// A minimal XEmbed system tray for tests on a real X server: on its own X connection it owns
// _NET_SYSTEM_TRAY_S<screen>, announces itself (MANAGER), docks every icon that asks, side by
// side in a panel window at the top right of the screen, each new one leftmost (as trayer does),
// and lets them go when it stops.
class TestTrayHost : public QObject {
    Q_OBJECT
public:
    struct Options {
        int iconSize = 22;
        QColor background = QColor(0x2b, 0x2b, 0x2b);
        // Announced as _NET_SYSTEM_TRAY_COLORS when set.
        std::optional<QColor> foreground;
    };
    explicit TestTrayHost(Options options);
    TestTrayHost() : TestTrayHost(Options{}) {}
    ~TestTrayHost() override;

    // Takes the selection; false without an X server or when another tray holds it.
    bool start();
    // Gives the icons back to the root window and gives up the selection.
    void stop();
    // Ends as a tray program that is killed: its connection closes, and the server destroys its
    // windows and maps the docked icons back on the root (its save set).
    void quit();
    bool isRunning() const { return panel_ != 0; }

    quint32 panelWindow() const { return panel_; }
    // The docked icon windows from left to right, and where each is on screen.
    std::vector<quint32> icons() const;
    QRect iconScreenRect(quint32 icon) const;
    QRect panelScreenRect() const;

private:
    void processEvents();
    void dock(quint32 icon);
    void undock(quint32 icon, bool reparent);
    void layout();
    quint32 atom(const char* name);

    Options options_;
    xcb_connection_t* connection_ = nullptr;
    quint32 root_ = 0;
    quint32 panel_ = 0;
    quint32 selection_ = 0;
    int screenWidth_ = 0;
    std::vector<quint32> icons_;
    QSocketNotifier* notifier_ = nullptr;
};
