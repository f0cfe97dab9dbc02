#pragma once

#include "Views/Shared/UnderlayPicture.h"

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QPointer>

namespace Motion {
class Animator;
}

class QPainter;

// The ring gauge of a reading: a faint track ring and, over it, an arc in the tint from twelve
// o'clock clockwise for the percentage; the percentage in the ring's middle and the label under
// the ring. Sized by its caller (the ring takes the largest square that leaves room for the
// label). A new value moves the arc and the figure with Motion.value (a 0.2 s ease-in-out under
// Reduce Motion) while the gauge can be seen; a frame repaints the ring alone, over a picture of
// what lies under the gauge, and only when the figure or the arc's end (by half a pixel) moves. A
// change that would not show is not drawn. A value that cannot be read (negative or not a number)
// shows "—" and no arc. Clicking it emits clicked().
class CircularStatView : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr double trackOpacity = 0.14;
    static constexpr double labelSpacing = 4;
    static constexpr double labelFontSize = 10;

    CircularStatView(QString label, QColor tint, QWidget* parent = nullptr);

    QString label() const { return label_; }
    void setLabel(const QString& label);
    QColor tint() const { return tint_; }
    void setTint(const QColor& tint);
    // The percentage, 0 … 100 (values above 100 fill the ring); −1 when unavailable.
    double value() const { return value_; }
    void setValue(double percent);
    // The percentage drawn now (mid-animation), −1 when unavailable.
    double displayedValue() const { return shown_; }
    bool isAnimating() const;
    // Paint events since the gauge was made.
    int paintCount() const { return paintCount_; }

    // Where the ring goes in rect, leaving room for the label under it.
    static QRectF ringRect(const QRectF& rect);
    static double lineWidth(double ringSide);
    // The figure in the ring's middle: "42%" or "—".
    static QString valueText(double percent);
    static void paint(QPainter& painter, const QRectF& rect, double percent, const QString& label, const QColor& tint,
                      const QPalette& palette);
    // What paint() draws in two parts: the track ring and the label, and the arc and the figure.
    static void paintFace(QPainter& painter, const QRectF& rect, const QString& label, const QPalette& palette);
    static void paintReading(QPainter& painter, const QRectF& rect, double percent, const QColor& tint,
                             const QPalette& palette);

    QSize sizeHint() const override { return QSize(64, 80); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static bool available(double percent);
    bool canBeSeen() const;
    void step(double percent, bool last);
    // The look of the ring at a percentage: the figure and the arc's end in half pixels.
    qint64 frameKey(double percent) const;
    // Whether the ring at from and at to looks the same: the same figure, under a quarter pixel of arc.
    bool closeEnough(double from, double to) const;
    // The ring's length in device pixels.
    double arcLength() const;
    void updateRing();
    // The face drawn at the gauge's size, kept until its size, label or colours change.
    const QPixmap& face();

    QString label_;
    QColor tint_;
    double value_ = -1;
    double shown_ = -1;
    QPointer<Motion::Animator> animator_;
    double drawn_ = -1;  // what the last paint showed
    qint64 drawnKey_ = -2;
    UnderlayPicture under_{this};
    QPixmap face_;
    QString faceKey_;
    int paintCount_ = 0;
};
