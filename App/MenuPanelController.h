#pragma once

#include "Views/MenuPanel/MonitorView.h"
#include "Views/Shared/KeyablePopupPanel.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QRectF>

#include <functional>

class SelectionOwnerWatcher;
class StatusItem;

// The menu panel under the status item: built once (ahead of use by prewarm()), then shown and
// hidden. Showing posts menuPanelWillShow, hiding posts menuPanelDidHide. GUI thread only.
class MenuPanelController : public QObject {
    Q_OBJECT
public:
    // The gap between the status item and the panel, and the panel's least distance from the
    // screen's edges.
    static constexpr double gap = 4;
    static constexpr double screenMargin = 8;
    // A status-item click this soon after an outside click closed the panel is that same click
    // (a tray that reports no icon rectangle): it does not open the panel again.
    static constexpr int reopenGuardMs = 300;

    static MenuPanelController& shared();
    // makeView builds the panel's content; the default is a MonitorView over the shared services.
    explicit MenuPanelController(std::function<MonitorView*()> makeView = {}, QObject* parent = nullptr);
    ~MenuPanelController() override;

    // The hooks of the default MonitorView.
    static MonitorView::Hooks defaultHooks();

    // Builds the panel and its content, lays them out and creates the window, without showing it.
    void prewarm();
    // Shows the panel under the status item's rectangle (Qt's screen space), or closes it. Given
    // the item, the open panel follows it where it moves (between strip and tray, or with the
    // screen) and closes when it goes.
    void toggle(const QRect& statusItemRect, StatusItem* item = nullptr);
    void show(const QRect& statusItemRect, StatusItem* item = nullptr);
    void close();
    // A mouse-down somewhere: closes the panel unless the point lies on the panel or on a
    // status-bar window (whose own click handling decides).
    void mouseDown(const QPoint& globalPos);

    bool isVisible() const;
    KeyablePopupPanel* panel() const { return panel_; }
    MonitorView* view() const { return view_; }

    // The panel's frame in upward space: centred under the item, kept on the visible part of the
    // screen; above the item when it does not fit under it.
    static QRectF panelFrame(const QRectF& item, const QSizeF& size, const QRectF& visibleFrame);

private:
    // Places the panel under the item's rectangle on that rectangle's screen.
    void place(const QRect& itemRect);
    // Follows the item the panel opened from to its place now; closes where it has none.
    void followAnchor();
    void forgetAnchor();
    // Cuts the panel to its cards where no compositor draws its translucency.
    void fitToCompositor();

    std::function<MonitorView*()> makeView_;
    QPointer<StatusItem> anchor_;
    QList<QMetaObject::Connection> anchorMoves_;
    QPointer<KeyablePopupPanel> panel_;
    MonitorView* view_ = nullptr;
    SelectionOwnerWatcher* compositor_ = nullptr;
    QElapsedTimer outsideClose_;
};
