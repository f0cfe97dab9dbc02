#include "Views/Shared/PopupEntrance.h"

#include "Views/Shared/Motion.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

PopupEntrance::PopupEntrance(QPointF anchor) : anchor_(anchor) {}

PopupEntrance* PopupEntrance::of(const QWidget* container) {
    return container ? qobject_cast<PopupEntrance*>(container->graphicsEffect()) : nullptr;
}

PopupEntrance* PopupEntrance::run(QWidget* container, QPointF anchor, double fromScale, double response,
                                  double damping) {
    if (!container) return nullptr;
    if (of(container))
        container->setGraphicsEffect(nullptr);  // the earlier entrance ends; full size, opaque
    else if (container->graphicsEffect())
        return nullptr;

    auto clamp01 = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.5; };
    auto* entrance = new PopupEntrance(QPointF(clamp01(anchor.x()), clamp01(anchor.y())));
    entrance->container_ = container;
    container->setGraphicsEffect(entrance);

    const bool reduce = Motion::reduceMotion();
    if (!reduce && std::isfinite(fromScale) && fromScale > 0) {
        const Motion::Animation spring =
            Motion::Animation::spring(response, damping).withTiming(Motion::Animation::Kind::easeOut);
        entrance->scaling_ = true;
        entrance->scale_ = fromScale;
        ++entrance->running_;
        Motion::animate(
            entrance, spring,
            [entrance, fromScale](double p) {
                entrance->scale_ = fromScale + (1.0 - fromScale) * p;
                entrance->update();
            },
            [entrance] {
                entrance->scaling_ = false;
                entrance->finishPart();
            });
    }
    entrance->opacity_ = 0;
    ++entrance->running_;
    Motion::animate(
        entrance, Motion::Animation::linear(reduce ? reducedMotionFadeDuration : fadeDuration),
        [entrance](double p) {
            entrance->opacity_ = p;
            entrance->update();
        },
        [entrance] { entrance->finishPart(); });
    return of(container) == entrance ? entrance : nullptr;
}

void PopupEntrance::finishPart() {
    if (--running_ > 0) return;
    scale_ = 1;
    opacity_ = 1;
    // Removed on the next turn: the effect owns the animation that is finishing now.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (container_ && container_->graphicsEffect() == this) container_->setGraphicsEffect(nullptr);
        },
        Qt::QueuedConnection);
}

void PopupEntrance::draw(QPainter* painter) {
    if (std::abs(scale_ - 1.0) < 1e-6 && opacity_ >= 1.0) {
        drawSource(painter);
        return;
    }
    QPoint offset;
    const QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
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
