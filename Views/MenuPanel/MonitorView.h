#pragma once

#include "Source/Features/System/MonitorTab.h"

#include <QWidget>

#include <functional>

class CircularStatView;
class GlassCard;
class NetworkMonitor;
class PowerManager;
class QAbstractButton;
class SystemSampler;
class ZediManager;

// The menu panel's content, 264 points wide: a card with the CPU, MEM and DISK ring gauges and
// the network rates, a card of quick actions (Toolbox, Zedi, Keep Awake) and a footer with Settings and
// Quit. Gauges and rates follow the metrics engine while the view is shown. A gauge or the
// network row opens the system monitor on its tab.
class MonitorView : public QWidget {
    Q_OBJECT
public:
    static constexpr int panelWidth = 264;
    static constexpr int spacing = 8;
    static constexpr double cardCornerRadius = 20;
    static constexpr int cardPadding = 12;
    static constexpr int footerHeight = 32;
    // How long after the menu panel is asked to close the monitor popup opens.
    static constexpr double monitorDelay = 0.1;

    // What the view's controls reach outside the panel. A control whose hook is not set is not
    // offered (gauges then do not open anything and the footer has no Settings).
    struct Hooks {
        std::function<void(MonitorTab)> showMonitor;
        std::function<void()> showSettings;
        std::function<void()> showToolbox;
        std::function<void()> quit;
    };

    MonitorView(SystemSampler& sampler, NetworkMonitor& network, PowerManager& power, ZediManager& zedi, Hooks hooks,
                QWidget* parent = nullptr);

    // Posts dismissPopover (the menu panel closes) and, 0.1 s later, opens the monitor popup on tab.
    void openMonitor(MonitorTab tab);
    // Reads the current readings into the gauges and the network row.
    void refresh();

    // Without a compositor the panel cannot show the desktop through its glass: the view then
    // paints the window colour under its cards, and the panel is cut to cardsRegion().
    void setOpaqueBacking(bool opaque);
    bool opaqueBacking() const { return opaqueBacking_; }
    QRegion cardsRegion() const;

    // The parts, for tests.
    CircularStatView* gauge(MonitorTab tab) const;
    QAbstractButton* networkRow() const { return networkRow_; }
    QAbstractButton* zediRow() const { return zediRow_; }
    // Absent without a showToolbox hook.
    QAbstractButton* toolboxRow() const { return toolboxRow_; }
    QAbstractButton* keepAwakeRow() const { return keepAwakeRow_; }
    QAbstractButton* settingsButton() const { return settingsButton_; }
    QAbstractButton* quitButton() const { return quitButton_; }
    QString downloadText() const;
    QString uploadText() const;
    // The Zedi row's trailing text: how many apps it quits, or an invitation to choose some.
    static QString zediSummary(int appCount);
    // The note beside the Keep Awake switch ("Unavailable" after a switch-on no service granted).
    QString keepAwakeStatus() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refreshGauges();
    void refreshNetwork();
    void refreshRows();

    SystemSampler& sampler_;
    NetworkMonitor& network_;
    PowerManager& power_;
    ZediManager& zedi_;
    Hooks hooks_;
    bool opaqueBacking_ = false;

    GlassCard* gaugeCard_ = nullptr;
    GlassCard* rowsCard_ = nullptr;
    GlassCard* footer_ = nullptr;
    CircularStatView* cpu_ = nullptr;
    CircularStatView* memory_ = nullptr;
    CircularStatView* disk_ = nullptr;
    QAbstractButton* networkRow_ = nullptr;
    QAbstractButton* zediRow_ = nullptr;
    QAbstractButton* toolboxRow_ = nullptr;
    QAbstractButton* keepAwakeRow_ = nullptr;
    QAbstractButton* settingsButton_ = nullptr;
    QAbstractButton* quitButton_ = nullptr;
};
