#include "Views/Monitor/HoverableBars.h"

#include "Views/Shared/BarHistoryChart.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

HoverableBars::HoverableBars(std::vector<double> series, std::optional<std::vector<double>> lower, QColor tint,
                             std::optional<double> scale, int barCount, Binding hovered, QWidget* parent)
    : QWidget(parent), series_(std::move(series)), lower_(std::move(lower)), tint_(tint), scale_(scale),
      barCount_(std::max(0, barCount)), hovered_(std::move(hovered)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
}

void HoverableBars::setData(std::vector<double> series, std::optional<std::vector<double>> lower,
                            std::optional<double> scale) {
    series_ = std::move(series);
    lower_ = std::move(lower);
    scale_ = scale;
    update();
}

void HoverableBars::setClipPath(const QPainterPath& path) {
    clip_ = path;
    update();
}

std::optional<double> HoverableBars::value(const std::vector<double>& series, int barCount, std::optional<int> slot) {
    if (!slot || barCount < 0) return std::nullopt;
    const size_t count = std::min(series.size(), size_t(barCount));
    const int offset = barCount - int(count);
    const int index = *slot - offset;
    if (index < 0 || index >= int(count)) return std::nullopt;
    return series[series.size() - count + size_t(index)];
}

int HoverableBars::slot(double x, double width, int barCount) {
    const double w = width <= 1 ? 1 : width;
    const double raw = x / w * barCount;
    double s = std::isfinite(raw) ? std::trunc(raw) : 0;
    if (s < 0) s = 0;
    if (s > barCount - 1) s = barCount - 1;
    return int(s);
}

void HoverableBars::hoverAt(double x) {
    if (!hovered_.set) return;
    const int s = slot(x, width(), barCount_);
    hovered_.set(value(series_, barCount_, s) ? std::optional<int>(s) : std::nullopt);
}

void HoverableBars::endHover() {
    if (hovered_.set) hovered_.set(std::nullopt);
}

void HoverableBars::mouseMoveEvent(QMouseEvent* event) {
    hoverAt(event->position().x());
    QWidget::mouseMoveEvent(event);
}

void HoverableBars::leaveEvent(QEvent* event) {
    endHover();
    QWidget::leaveEvent(event);
}

void HoverableBars::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!clip_.isEmpty()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setClipPath(clip_);
    }
    BarHistoryChart::Model model;
    model.series = series_;
    model.tint = tint_;
    model.scale = scale_;
    model.barCount = barCount_;
    model.barGap = barGap;
    model.hoveredSlot = hovered_.get ? hovered_.get() : std::nullopt;
    model.lower = lower_;
    BarHistoryChart::paint(p, QRectF(rect()), model);
}
