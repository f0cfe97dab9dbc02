#include "Views/Shared/PressableButtonStyle.h"

#include "Views/Shared/Motion.h"

#include <QAbstractButton>
#include <QPainter>

#include <cmath>

PressableButtonStyle::PressableButtonStyle(double scale, QObject* parent)
    : QGraphicsEffect(parent), scale_(std::isfinite(scale) && scale > 0 ? scale : 1.0) {}

PressableButtonStyle* PressableButtonStyle::apply(QAbstractButton* button, double scale) {
    auto* style = new PressableButtonStyle(scale);
    button->setGraphicsEffect(style);
    connect(button, &QAbstractButton::pressed, style, [style] { style->setPressed(true); });
    connect(button, &QAbstractButton::released, style, [style] { style->setPressed(false); });
    return style;
}

void PressableButtonStyle::setPressed(bool pressed) {
    const double target = pressed ? scale_ : 1.0;
    if (target == target_) return;
    target_ = target;
    if (animator_) animator_->stop();
    const double from = current_;
    animator_ = Motion::animate(this, Motion::state(), [this, from, target](double p) {
        current_ = from + (target - from) * p;
        update();
    });
}

void PressableButtonStyle::draw(QPainter* painter) {
    if (std::abs(current_ - 1.0) < 1e-6) {
        drawSource(painter);
        return;
    }
    QPoint offset;
    const QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    const QPointF centre = sourceBoundingRect(Qt::LogicalCoordinates).center();
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->translate(centre);
    painter->scale(current_, current_);
    painter->translate(-centre);
    painter->drawPixmap(offset, pixmap);
    painter->restore();
}
