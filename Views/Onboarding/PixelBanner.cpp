#include "Views/Onboarding/PixelBanner.h"

#include "Platform/Core/Clock.h"
#include "Views/Shared/WindowVisibilityReader.h"

#include <QPainter>

PixelBanner::PixelBanner(PixelScene::Theme scene, QWidget* parent)
    : QWidget(parent), scene_(std::move(scene)), reader_(new WindowVisibilityReader(&isOnScreen_, this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    timer_.setInterval(tickMs);
    timer_.setTimerType(Qt::CoarseTimer);
    connect(&timer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    connect(reader_, &WindowVisibilityReader::isVisibleChanged, this, [this](bool visible) {
        updateTicking();
        if (visible) update();  // jump to the current time at once
    });
}

double PixelBanner::sceneTime() { return ReferenceDate::seconds(Clock::shared().now()); }

void PixelBanner::updateTicking() {
    const bool run = isVisible() && isOnScreen_;
    if (run && !timer_.isActive()) timer_.start();
    if (!run) timer_.stop();
}

void PixelBanner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateTicking();
}

void PixelBanner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    updateTicking();
}

void PixelBanner::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0) return;
    PixelScene::renderInto(frame_, QSizeF(size()), sceneTime(), scene_, devicePixelRatioF());
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), frame_);
}
