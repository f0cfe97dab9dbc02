#include "Views/Shared/PopupEntrance.h"

#include "Views/Shared/Motion.h"

#include <QWidget>

#include <cmath>

PopupEntrance::PopupEntrance(QPointF anchor) : PopupTransition(anchor) {}

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

    auto* entrance = new PopupEntrance(anchor);
    entrance->container_ = container;
    container->setGraphicsEffect(entrance);

    const bool reduce = Motion::reduceMotion();
    if (!reduce && std::isfinite(fromScale) && fromScale > 0) {
        const Motion::Animation spring =
            Motion::Animation::spring(response, damping).withTiming(Motion::Animation::Kind::easeOut);
        entrance->scaling_ = true;
        entrance->setScale(fromScale);
        ++entrance->running_;
        Motion::animate(
            entrance, spring,
            [entrance, fromScale](double p) { entrance->setScale(fromScale + (1.0 - fromScale) * p); },
            [entrance] {
                entrance->scaling_ = false;
                entrance->finishPart();
            });
    }
    entrance->setOpacity(0);
    ++entrance->running_;
    Motion::animate(
        entrance, Motion::Animation::linear(reduce ? reducedMotionFadeDuration : fadeDuration),
        [entrance](double p) { entrance->setOpacity(p); }, [entrance] { entrance->finishPart(); });
    return of(container) == entrance ? entrance : nullptr;
}

void PopupEntrance::finishPart() {
    if (--running_ > 0) return;
    setScale(1);
    setOpacity(1);
    // Removed on the next turn: the effect owns the animation that is finishing now.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (container_ && container_->graphicsEffect() == this) container_->setGraphicsEffect(nullptr);
        },
        Qt::QueuedConnection);
}
