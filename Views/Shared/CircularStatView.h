#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPointer>

namespace Motion {
class Animator;
}

class QPainter;

// The ring gauge of a reading: a faint track ring and, over it, an arc in the tint from twelve
// o'clock clockwise for the percentage; the percentage in the ring's middle and the label under
// the ring. Sized by its caller (the ring takes the largest square that leaves room for the
// label). A new value moves the arc and the figure with Motion.value (a 0.2 s ease-in-out under
// Reduce Motion). A value that cannot be read (negative or not a number) shows "—" and no arc.
// Clicking it emits clicked().
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

    // Where the ring goes in rect, leaving room for the label under it.
    static QRectF ringRect(const QRectF& rect);
    static double lineWidth(double ringSide);
    // The figure in the ring's middle: "42%" or "—".
    static QString valueText(double percent);
    static void paint(QPainter& painter, const QRectF& rect, double percent, const QString& label, const QColor& tint,
                      const QPalette& palette);

    QSize sizeHint() const override { return QSize(64, 80); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static bool available(double percent);

    QString label_;
    QColor tint_;
    double value_ = -1;
    double shown_ = -1;
    QPointer<Motion::Animator> animator_;
};
