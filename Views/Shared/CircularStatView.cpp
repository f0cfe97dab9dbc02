#include "Views/Shared/CircularStatView.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/Motion.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
double labelBlock() {
    return QFontMetricsF(SystemFont::font(CircularStatView::labelFontSize, QFont::DemiBold)).height() +
           CircularStatView::labelSpacing;
}
}  // namespace

CircularStatView::CircularStatView(QString label, QColor tint, QWidget* parent)
    : QAbstractButton(parent), label_(std::move(label)), tint_(tint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::PointingHandCursor);
    setText(label_);
    setAccessibleName(label_);
}

bool CircularStatView::available(double percent) { return std::isfinite(percent) && percent >= 0; }

void CircularStatView::setLabel(const QString& label) {
    label_ = label;
    setText(label);
    setAccessibleName(label);
    update();
}

void CircularStatView::setTint(const QColor& tint) {
    tint_ = tint;
    update();
}

void CircularStatView::setValue(double percent) {
    if (!available(percent)) percent = -1;
    if (percent == value_) return;
    value_ = percent;
    if (animator_) animator_->stop();
    if (!available(percent) || !available(shown_)) {
        // Nothing to move from or to: show the new state at once.
        shown_ = percent;
        update();
        return;
    }
    const double from = shown_;
    animator_ = Motion::animate(this, Motion::value(), [this, from, percent](double p) {
        shown_ = from + (percent - from) * p;
        update();
    });
}

QRectF CircularStatView::ringRect(const QRectF& rect) {
    const double side = std::max(0.0, std::min(rect.width(), rect.height() - labelBlock()));
    return QRectF(rect.center().x() - side / 2, rect.top(), side, side);
}

double CircularStatView::lineWidth(double ringSide) { return std::max(2.5, ringSide * 0.085); }

QString CircularStatView::valueText(double percent) {
    if (!available(percent)) return QStringLiteral("—");
    return QString::asprintf("%.0f%%", percent);
}

void CircularStatView::paint(QPainter& painter, const QRectF& rect, double percent, const QString& label,
                             const QColor& tint, const QPalette& palette) {
    const QRectF ring = ringRect(rect);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (ring.width() > 0) {
        const double line = lineWidth(ring.width());
        const QRectF path = ring.adjusted(line / 2, line / 2, -line / 2, -line / 2);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(SystemColors::withOpacity(SystemColors::primary(palette), trackOpacity), line));
        painter.drawEllipse(path);
        if (available(percent) && percent > 0) {
            const double fraction = std::min(percent, 100.0) / 100.0;
            QPen arc(tint, line);
            arc.setCapStyle(Qt::RoundCap);
            painter.setPen(arc);
            // Qt's angles run counter-clockwise from three o'clock in 1/16 degrees.
            painter.drawArc(path, 90 * 16, -int(std::lround(fraction * 360.0 * 16)));
        }
        painter.setPen(SystemColors::primary(palette));
        painter.setFont(SystemFont::monospacedDigits(std::max(8.0, ring.width() * 0.24), QFont::DemiBold));
        painter.drawText(ring, Qt::AlignCenter, valueText(percent));
    }
    painter.setPen(SystemColors::secondary(palette));
    painter.setFont(SystemFont::font(labelFontSize, QFont::DemiBold));
    const QRectF labelRect(rect.left(), ring.bottom() + labelSpacing, rect.width(),
                           std::max(0.0, rect.bottom() - ring.bottom() - labelSpacing));
    painter.drawText(labelRect, Qt::AlignHCenter | Qt::AlignTop, label);
    painter.restore();
}

void CircularStatView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), shown_, label_, tint_, palette());
}
