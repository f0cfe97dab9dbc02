#include "Views/Clipboard/BlinkingCaret.h"

#include "Platform/Gui/SystemColors.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/Motion.h"

#include <QGuiApplication>
#include <QPainter>
#include <QStyleHints>
#include <QTimer>

#include <cmath>

BlinkingCaret::BlinkingCaret(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(int(std::ceil(barWidth)), int(barHeight));
    blink_ = new QTimer(this);
    connect(blink_, &QTimer::timeout, this, [this] {
        lit_ = !lit_;
        update();
    });
}

int BlinkingCaret::halfPeriodMs() {
    const int cycle = QGuiApplication::styleHints()->cursorFlashTime();
    return cycle > 0 ? std::max(cycle / 2, 50) : 0;
}

bool BlinkingCaret::isBlinking() const { return blink_->isActive(); }

void BlinkingCaret::restart() {
    const int half = halfPeriodMs();
    const bool wasLit = lit_;
    lit_ = true;
    if (!wasLit) update();
    if (!isVisible() || half <= 0 || Motion::reduceMotion() || !isActiveWindow()) {
        blink_->stop();
        return;
    }
    blink_->start(half);
}

void BlinkingCaret::stop() {
    blink_->stop();
    if (!lit_) {
        lit_ = true;
        update();
    }
}

void BlinkingCaret::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    restart();
}

void BlinkingCaret::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    stop();
}

bool BlinkingCaret::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // The window's activation reaches its visible children as these two.
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) restart();
    return handled;
}

void BlinkingCaret::paintEvent(QPaintEvent*) {
    if (!lit_) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(ContinuousCorners::roundedRect(QRectF(0, 0, barWidth, barHeight), 1), SystemColors::accent(palette()));
}
