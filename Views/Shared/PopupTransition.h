#pragma once

#include <QGraphicsEffect>
#include <QPixmap>
#include <QPoint>
#include <QPointF>
#include <QRectF>

// A popup's content drawn scaled about an anchor point and faded: the drawing of its entrance
// and of its exit. The anchor is in fractions of the content's width and height from its
// top-left corner (each clamped to 0 … 1; 0.5 where it is not a number). While it is scaled or
// faded the content is drawn from one picture taken at the first such frame, so a frame costs a
// scaled copy rather than drawing the whole content again; at full size and opacity the content
// draws itself.
class PopupTransition : public QGraphicsEffect {
    Q_OBJECT
public:
    explicit PopupTransition(QPointF anchor, QObject* parent = nullptr);
    // Where a popup grows from and shrinks to: the pointer's place in the popup's frame (both in
    // upward screen space) as an anchor, measured from the top-left corner; 0.5 along an empty side.
    static QPointF anchorAt(const QPointF& pointer, const QRectF& frame);

    QPointF anchor() const { return anchor_; }
    double scale() const { return scale_; }
    double opacity() const { return opacity_; }
    // Each repaints the content.
    void setScale(double scale);
    void setOpacity(double opacity);

protected:
    void draw(QPainter* painter) override;
    void sourceChanged(ChangeFlags flags) override;

private:
    QPointF anchor_;
    QPixmap picture_;
    QPoint pictureOffset_;
    double scale_ = 1;
    double opacity_ = 1;
};
