#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QRectF>
#include <QString>

class QPainter;
class QWidget;

namespace Motion {
class Animator;
}

// A changing figure drawn by its owner widget. A new text rolls in from below while the old one
// rolls out upward and fades (Motion.value; a 0.2 s ease-in-out under Reduce Motion).
class NumericTextCell {
public:
    NumericTextCell() = default;
    ~NumericTextCell();
    NumericTextCell(const NumericTextCell&) = delete;
    NumericTextCell& operator=(const NumericTextCell&) = delete;

    const QString& text() const { return text_; }
    // Changes the text; animated when `animated` and the owner is visible.
    void setText(QWidget* owner, const QString& text, bool animated);
    bool isAnimating() const;
    void paint(QPainter& painter, const QRectF& rect, Qt::Alignment alignment, const QColor& color) const;

private:
    QString text_;
    QString previous_;
    double progress_ = 1;
    QPointer<Motion::Animator> animator_;
};
