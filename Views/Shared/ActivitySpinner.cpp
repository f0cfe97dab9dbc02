#include "Views/Shared/ActivitySpinner.h"

#include "Platform/Gui/SystemColors.h"

#include <QPainter>

#include <cmath>

ActivitySpinner::ActivitySpinner(int side, QWidget* parent) : QWidget(parent), side_(side) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);  // clicks go to whatever holds it
    setFixedSize(side, side);
    spin_.setStartValue(0);
    spin_.setEndValue(12);
    spin_.setDuration(1000);
    spin_.setLoopCount(-1);
    connect(&spin_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        const int step = v.toInt() % 12;
        if (step == step_) return;
        step_ = step;
        update();
    });
}

void ActivitySpinner::showEvent(QShowEvent*) { spin_.start(); }

void ActivitySpinner::hideEvent(QHideEvent*) { spin_.stop(); }

void ActivitySpinner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor color = SystemColors::secondary(palette());
    const double side = std::min(width(), height());
    const QPointF centre(width() / 2.0, height() / 2.0);
    QPen pen(color, std::max(1.5, side / 9.0), Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < 12; ++i) {
        // The leading spoke is darkest; the ones behind it fade.
        const int age = (step_ - i + 12) % 12;
        pen.setColor(SystemColors::withOpacity(color, 1.0 - age * 0.07));
        p.setPen(pen);
        const double angle = i * M_PI / 6.0 - M_PI / 2.0;
        const QPointF dir(std::cos(angle), std::sin(angle));
        p.drawLine(centre + dir * side * 0.25, centre + dir * side * 0.45);
    }
}
