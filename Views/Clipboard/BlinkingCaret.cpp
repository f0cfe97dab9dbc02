#include "Views/Clipboard/BlinkingCaret.h"

#include "Platform/Gui/SystemColors.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/Motion.h"

#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

BlinkingCaret::BlinkingCaret(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(int(std::ceil(barWidth)), int(barHeight));
}

bool BlinkingCaret::isBlinking() const { return blink_ && blink_->state() == QAbstractAnimation::Running; }

void BlinkingCaret::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    opacity_ = 1;
    if (Motion::reduceMotion()) return;
    if (!blink_) {
        // One cycle fades out over 0.55 s and back in over 0.55 s, each half eased in and out.
        blink_ = new QVariantAnimation(this);
        blink_->setStartValue(0.0);
        blink_->setEndValue(1.0);
        blink_->setDuration(1100);
        blink_->setLoopCount(-1);
        connect(blink_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            const double t = value.toDouble();
            const QEasingCurve ease = Motion::easingCurve(Motion::Animation::Kind::easeInOut);
            opacity_ = t < 0.5 ? 1.0 - ease.valueForProgress(t * 2) : ease.valueForProgress((t - 0.5) * 2);
            update();
        });
    }
    blink_->start();
}

void BlinkingCaret::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (blink_) blink_->stop();
}

void BlinkingCaret::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(std::clamp(opacity_, 0.0, 1.0));
    p.fillPath(ContinuousCorners::roundedRect(QRectF(0, 0, barWidth, barHeight), 1), SystemColors::accent(palette()));
}
