#include "Views/DiskPane/ProgressSpinner.h"

#include "Platform/Gui/SystemColors.h"

#include <QPainter>

#include <cmath>

ProgressSpinner::ProgressSpinner(double side, QWidget* parent) : QWidget(parent), side_(side) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    spin_.setStartValue(0.0);
    spin_.setEndValue(360.0);
    spin_.setDuration(900);
    spin_.setLoopCount(-1);
    connect(&spin_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        angle_ = v.toDouble();
        update();
    });
}

void ProgressSpinner::setColor(std::optional<QColor> color) {
    color_ = color;
    update();
}

QSize ProgressSpinner::sizeHint() const {
    const int side = int(std::ceil(side_)) + 2;
    return QSize(side, side);
}

void ProgressSpinner::showEvent(QShowEvent*) { spin_.start(); }
void ProgressSpinner::hideEvent(QHideEvent*) { spin_.stop(); }

void ProgressSpinner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor color = color_.value_or(SystemColors::secondary(palette()));
    const double line = std::max(1.5, side_ / 7);
    const QRectF ring(QPointF(width() / 2.0 - side_ / 2 + line / 2, height() / 2.0 - side_ / 2 + line / 2),
                      QSizeF(side_ - line, side_ - line));
    QPen pen(SystemColors::withOpacity(color, 0.25), line);
    p.setPen(pen);
    p.drawEllipse(ring);
    pen.setColor(color);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.drawArc(ring, int(-angle_ * 16), 100 * 16);
}
