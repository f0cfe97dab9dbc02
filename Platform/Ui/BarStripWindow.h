#pragma once

#include <QColor>
#include <QMetaObject>
#include <QRect>
#include <QWidget>

#include <vector>

class StatusItem;

// Our own menu-bar strip for desktops without a system tray: an unfocusable, always-on-top dock
// window flush with the top-right corner of the primary screen that shows the visible items side
// by side at their own widths, the first item rightmost. It keeps its height at the top of the
// screen while it shows (Struts): the window manager leaves it out of the work area, and so do our
// own placements where none runs (Screens::workArea).
class BarStripWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int barHeight = 24;
    static constexpr int itemSpacing = 6;
    static constexpr int endPadding = 8;
    // #1e1e1e at 90 %: no compositor is assumed, so it is drawn opaque.
    static inline const QColor background{0x1e, 0x1e, 0x1e};

    struct Layout {
        int width = 0;            // the strip's width
        std::vector<QRect> rects; // one per given width, in window coordinates, first rightmost
        bool operator==(const Layout&) const = default;
    };
    // Lays out items of the given logical widths right to left.
    static Layout layout(const std::vector<int>& widths);
    // An item's logical width: its image's device-independent width, rounded up.
    static int itemWidth(const StatusItem* item);

    BarStripWindow();
    ~BarStripWindow() override;

    void addItem(StatusItem* item);
    void removeItem(StatusItem* item);
    // Lays the items out again after any item change. The window is shown or hidden at once; a
    // shown window is resized and placed once per burst, when control returns to the event loop.
    void relayout();
    bool isApplyPending() const { return applyPending_; }
    // Where the window goes for the current layout; empty while nothing is shown.
    QRect targetGeometry() const;
    // The item's rectangle in window coordinates; empty while hidden.
    QRect itemRect(const StatusItem* item) const;
    QRect itemScreenRect(const StatusItem* item) const;
    StatusItem* itemAt(const QPoint& pos) const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void apply();
    void place();
    void reserve(const QRect& band);
    void watchPrimaryScreen();
    int indexOf(const StatusItem* item) const;

    std::vector<StatusItem*> items_;
    std::vector<QRect> rects_;  // parallel to items_; empty for hidden items
    int stripWidth_ = 0;
    bool applyPending_ = false;
    QRect reserved_;  // the band kept at the top of the screen; empty while hidden
    QMetaObject::Connection screenConnection_;
};
