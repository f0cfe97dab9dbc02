#include "Views/Shared/CircularStatView.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/Motion.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <numbers>

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
    animator_ = nullptr;
    if (!available(percent) || !available(shown_) || !canBeSeen()) {
        // Nothing to move from or to, or nobody to see it move: the new state at once.
        shown_ = percent;
        under_.drop();
        updateRing();
        return;
    }
    if (closeEnough(drawn_, percent)) {
        // The ring would look the same: nothing to draw.
        shown_ = percent;
        under_.drop();
        return;
    }
    const double from = shown_;
    animator_ = Motion::animate(this, Motion::value(), [this, from, percent](double p) {
        step(from + (percent - from) * p, p >= 1);
    });
}

bool CircularStatView::isAnimating() const { return !animator_.isNull(); }

bool CircularStatView::canBeSeen() const {
    const QWidget* top = window();
    return isVisible() && top->windowHandle() && top->windowHandle()->isExposed() && !visibleRegion().isEmpty();
}

void CircularStatView::step(double percent, bool last) {
    const bool ends = last || closeEnough(percent, value_);
    shown_ = ends ? value_ : percent;
    if (ends && animator_) {
        animator_->stop();  // the animator goes; the last frame is drawn below
        animator_ = nullptr;
    }
    if (frameKey(shown_) == drawnKey_) {
        if (ends) under_.drop();
        return;
    }
    if (!under_.isNull() && !under_.fits())
        under_.drop();
    else if (under_.isNull() && !ends)
        under_.take();
    updateRing();
}

double CircularStatView::arcLength() const {
    const QRectF ring = ringRect(QRectF(rect()));
    const double side = ring.width() - lineWidth(ring.width());
    return side > 0 ? side * std::numbers::pi * devicePixelRatioF() : 0;
}

qint64 CircularStatView::frameKey(double percent) const {
    if (!available(percent)) return -1;
    const qint64 figure = qint64(std::nearbyint(percent));
    const qint64 end = std::lround(std::min(percent, 100.0) / 100.0 * arcLength() * 2);
    return (figure * 1'000'000 + end) * 2 + (percent > 0 ? 1 : 0);
}

bool CircularStatView::closeEnough(double from, double to) const {
    if (!available(from) || !available(to)) return from == to;
    if (std::nearbyint(from) != std::nearbyint(to) || (from > 0) != (to > 0)) return false;
    return std::abs(std::min(from, 100.0) - std::min(to, 100.0)) / 100.0 * arcLength() < 0.25;
}

void CircularStatView::updateRing() { update(ringRect(QRectF(rect())).toAlignedRect().adjusted(-1, -1, 1, 1)); }

void CircularStatView::hideEvent(QHideEvent* event) {
    QAbstractButton::hideEvent(event);
    if (animator_) animator_->stop();
    animator_ = nullptr;
    shown_ = value_;
    under_.drop();
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
    paintFace(painter, rect, label, palette);
    paintReading(painter, rect, percent, tint, palette);
}

void CircularStatView::paintFace(QPainter& painter, const QRectF& rect, const QString& label, const QPalette& palette) {
    const QRectF ring = ringRect(rect);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (ring.width() > 0) {
        const double line = lineWidth(ring.width());
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(SystemColors::withOpacity(SystemColors::primary(palette), trackOpacity), line));
        painter.drawEllipse(ring.adjusted(line / 2, line / 2, -line / 2, -line / 2));
    }
    painter.setPen(SystemColors::secondary(palette));
    painter.setFont(SystemFont::font(labelFontSize, QFont::DemiBold));
    const QRectF labelRect(rect.left(), ring.bottom() + labelSpacing, rect.width(),
                           std::max(0.0, rect.bottom() - ring.bottom() - labelSpacing));
    painter.drawText(labelRect, Qt::AlignHCenter | Qt::AlignTop, label);
    painter.restore();
}

void CircularStatView::paintReading(QPainter& painter, const QRectF& rect, double percent, const QColor& tint,
                                    const QPalette& palette) {
    const QRectF ring = ringRect(rect);
    if (ring.width() <= 0) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double line = lineWidth(ring.width());
    if (available(percent) && percent > 0) {
        const double fraction = std::min(percent, 100.0) / 100.0;
        QPen arc(tint, line);
        arc.setCapStyle(Qt::RoundCap);
        painter.setPen(arc);
        painter.setBrush(Qt::NoBrush);
        // Qt's angles run counter-clockwise from three o'clock in 1/16 degrees.
        painter.drawArc(ring.adjusted(line / 2, line / 2, -line / 2, -line / 2), 90 * 16,
                        -int(std::lround(fraction * 360.0 * 16)));
    }
    painter.setPen(SystemColors::primary(palette));
    painter.setFont(SystemFont::monospacedDigits(std::max(8.0, ring.width() * 0.24), QFont::DemiBold));
    painter.drawText(ring, Qt::AlignCenter, valueText(percent));
    painter.restore();
}

const QPixmap& CircularStatView::face() {
    const QPalette& pal = palette();
    const qreal dpr = devicePixelRatioF();
    const QString key = label_ + QLatin1Char('|') + SystemColors::primary(pal).name(QColor::HexArgb) +
                        SystemColors::secondary(pal).name(QColor::HexArgb) + QString::number(dpr);
    if (face_.size() != size() * dpr || key != faceKey_) {
        face_ = QPixmap(size() * dpr);
        face_.setDevicePixelRatio(dpr);
        face_.fill(Qt::transparent);
        QPainter painter(&face_);
        paintFace(painter, QRectF(rect()), label_, pal);
        faceKey_ = key;
    }
    return face_;
}

void CircularStatView::paintEvent(QPaintEvent*) {
    if (under_.isTaking()) return;
    ++paintCount_;
    QPainter painter(this);
    under_.paint(painter);
    // The track and the label stay: drawn once, then copied.
    painter.drawPixmap(0, 0, face());
    paintReading(painter, QRectF(rect()), shown_, tint_, palette());
    drawn_ = shown_;
    drawnKey_ = frameKey(shown_);
    // The last frame of a move is drawn; from here on the parents paint under the gauge again.
    if (!animator_) under_.drop();
}
