#include "Views/Shared/PopupTransition.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
double fraction(double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.5; }
}  // namespace

PopupTransition::PopupTransition(QPointF anchor, QObject* parent)
    : QGraphicsEffect(parent), anchor_(fraction(anchor.x()), fraction(anchor.y())) {}

QPointF PopupTransition::anchorAt(const QPointF& pointer, const QRectF& frame) {
    auto along = [](double v, double from, double length) {
        return length > 0 ? fraction((v - from) / length) : 0.5;
    };
    // Upward space: the frame's top edge is its largest y.
    return QPointF(along(pointer.x(), frame.left(), frame.width()),
                   along(frame.bottom() - pointer.y(), 0, frame.height()));
}

void PopupTransition::setScale(double scale) {
    scale_ = scale;
    update();
}

void PopupTransition::setOpacity(double opacity) {
    opacity_ = opacity;
    update();
}

void PopupTransition::sourceChanged(ChangeFlags flags) {
    QGraphicsEffect::sourceChanged(flags);
    picture_ = QPixmap();
}

void PopupTransition::draw(QPainter* painter) {
    if (std::abs(scale_ - 1.0) < 1e-6 && opacity_ >= 1.0) {
        picture_ = QPixmap();
        drawSource(painter);
        return;
    }
    if (picture_.isNull())
        picture_ = sourcePixmap(Qt::LogicalCoordinates, &pictureOffset_, QGraphicsEffect::NoPad);
    const QPixmap& pixmap = picture_;
    const QPoint offset = pictureOffset_;
    const QRectF bounds = sourceBoundingRect(Qt::LogicalCoordinates);
    const QPointF pivot(bounds.left() + anchor_.x() * bounds.width(), bounds.top() + anchor_.y() * bounds.height());
    painter->save();
    painter->setOpacity(painter->opacity() * std::clamp(opacity_, 0.0, 1.0));
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->translate(pivot);
    painter->scale(scale_, scale_);
    painter->translate(-pivot);
    painter->drawPixmap(offset, pixmap);
    painter->restore();
}
