#pragma once

#include "Source/Features/System/MonitorTab.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>

class KeyablePopupPanel;
class SystemMonitorView;

// Owns the system monitor popup: a 360 × 660 floating panel holding a SystemMonitorView. Each
// opening builds a new panel and view (so every opening starts from the initial view state),
// places it on the pointer's screen, grows it in from the pointer and starts the process list's
// refresh timer; each closing releases them and stops the timer. The panel closes on Escape (no
// detail shown), through the view, or when it loses the keyboard to anything but a click or drag
// on itself, a sheet or menu of its own, or a modal window of the application.
class SystemMonitorPopupController : public QObject {
    Q_OBJECT
public:
    static constexpr double panelWidth = 360;
    static constexpr double panelHeight = 660;
    static constexpr double minimumHeight = 500;
    // Seconds after closing at which the memory the popup used is given back.
    static constexpr double releaseDelay = 2;

    static SystemMonitorPopupController& shared();

    // Opens the popup on the tab, or brings the open popup forward (keeping its tab).
    void show(MonitorTab tab);
    void dismiss();
    // The loss of key status: decided on the next turn of the event loop.
    void windowDidResignKey();

    KeyablePopupPanel* panel() const;
    SystemMonitorView* view() const;

    // Placement in upward screen space: the panel centred horizontally on the visible frame and
    // a little above its middle (a third of the free height above it, two thirds below).
    static QRectF centredFrame(const QSizeF& size, const QRectF& visibleFrame);

signals:
    void panelChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SystemMonitorPopupController() = default;
    void centreOnActiveScreen(KeyablePopupPanel* panel);
    void animateIn(KeyablePopupPanel* panel, QWidget* container);
    void decideAfterResignKey();

    QPointer<KeyablePopupPanel> panel_;
};
