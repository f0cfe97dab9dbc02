#pragma once

#include <QPixmap>
#include <QPoint>

class QPainter;
class QWidget;

// A picture of what a translucent widget's window shows under it, taken by drawing the window
// without the widget. While it holds one, the widget paints opaquely: a frame of its own repaints
// it alone instead of its parents and the card behind it. It no longer fits once the widget moves
// in its window or an ancestor carries a graphics effect (an entrance, say).
class UnderlayPicture {
public:
    explicit UnderlayPicture(QWidget* owner) : owner_(owner) {}

    // Takes the picture; false (and none held) when it cannot fit now.
    bool take();
    void drop();
    bool isNull() const { return picture_.isNull(); }
    bool fits() const;
    // While the picture is being taken, the owner's paintEvent draws nothing.
    bool isTaking() const { return taking_; }
    // Fills the owner with the picture (replacing what is there, alpha included).
    void paint(QPainter& painter) const;

private:
    QWidget* owner_;
    QPixmap picture_;
    QPoint at_;  // the owner's place in its window when the picture was taken
    bool taking_ = false;
};
