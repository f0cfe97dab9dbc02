#include "Views/Monitor/MetricChartCard.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/BarHistoryChart.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/Motion.h"

#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
constexpr double K = 1024.0;
constexpr double M = 1024.0 * 1024.0;
constexpr double G = 1024.0 * 1024.0 * 1024.0;

struct SlotModel {
    int barCount, n, leading;
    SlotModel(size_t count, int bars) : barCount(std::max(bars, 0)) {
        n = int(std::min<size_t>(size_t(barCount), count));
        leading = barCount - n;
    }
};
// Screen readers read the card's value: the hovered or pinned sample.
class MetricChartCardAccessible : public QAccessibleWidget {
public:
    explicit MetricChartCardAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Chart) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return static_cast<MetricChartCard*>(widget())->accessibilityInspectionValue();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* chartCardAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("MetricChartCard") && object && object->isWidgetType())
        return new MetricChartCardAccessible(static_cast<QWidget*>(object));
    return nullptr;
}
}  // namespace

MetricChartCard::MetricChartCard(Model model, std::optional<PinBinding> pinnedTimestamp, QWidget* parent)
    : QWidget(parent), model_(std::move(model)), pin_(std::move(pinnedTimestamp)) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(chartCardAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("History chart"));
    setAccessibleDescription(QStringLiteral("Move across the chart to preview a sample, or click to keep it selected"));
    if (model_.highlightValue && *model_.highlightValue > 0) {
        shownHighlight_ = *model_.highlightValue;
        highlightOpacity_ = 1;
    }
}

void MetricChartCard::setModel(Model model) {
    const std::optional<double> highlight = model.highlightValue;
    model.highlightValue = model_.highlightValue;
    model_ = std::move(model);
    setHighlightValue(highlight);
    if (hoveredSlot_ && *hoveredSlot_ < leadingEmptySlots()) hoveredSlot_.reset();
    updateGeometry();
    update();
}

void MetricChartCard::setSeries(std::vector<double> series, std::vector<QDateTime> timestamps,
                                std::optional<std::vector<double>> lower) {
    model_.series = std::move(series);
    model_.timestamps = std::move(timestamps);
    model_.lower = std::move(lower);
    if (hoveredSlot_ && *hoveredSlot_ < leadingEmptySlots()) hoveredSlot_.reset();
    update();
}

void MetricChartCard::setHighlightValue(std::optional<double> value) {
    if (model_.highlightValue == value) return;
    model_.highlightValue = value;
    const bool visible = value && *value > 0;
    const double fromValue = shownHighlight_, fromOpacity = highlightOpacity_;
    const double toValue = visible ? *value : shownHighlight_;
    const double toOpacity = visible ? 1.0 : 0.0;
    // A line that appears starts at its place and fades in; one that moves slides there.
    const double startValue = fromOpacity <= 0 ? toValue : fromValue;
    if (highlightAnimator_) highlightAnimator_->stop();
    if (!isVisible()) {
        shownHighlight_ = toValue;
        highlightOpacity_ = toOpacity;
        update();
        return;
    }
    highlightAnimator_ = Motion::animate(this, Motion::state(), [=, this](double p) {
        shownHighlight_ = startValue + (toValue - startValue) * p;
        highlightOpacity_ = std::clamp(fromOpacity + (toOpacity - fromOpacity) * p, 0.0, 1.0);
        update();
    });
}

void MetricChartCard::setPinBinding(std::optional<PinBinding> binding) {
    pin_ = std::move(binding);
    update();
}

QSize MetricChartCard::sizeHint() const { return QSize(312, int(std::ceil(model_.height)) + overhang); }

QRectF MetricChartCard::chartRect() const { return QRectF(0, overhang, width(), model_.height); }

// MARK: pure parts

double MetricChartCard::nicePercentCeiling(double v) {
    static constexpr double steps[] = {1, 2, 4, 8, 12, 25, 50, 75, 100, 200, 400, 800};
    if (!std::isfinite(v)) return 1;
    for (double step : steps)
        if (step >= v) return step;
    return std::ceil(v / 100.0) * 100.0;
}

double MetricChartCard::axisMax(const std::vector<double>& series, std::optional<double> highlight,
                                MetricChartKind kind) {
    double top = 0;
    bool first = true;
    for (double v : series) {
        if (!std::isfinite(v)) continue;
        top = first ? v : std::max(top, v);
        first = false;
    }
    if (highlight && std::isfinite(*highlight) && *highlight > top) top = *highlight;
    if (kind == MetricChartKind::percent) return nicePercentCeiling(top);
    if (top > 0) return std::exp2(std::ceil(std::log2(top)));
    return 1024;
}

QString MetricChartCard::formatValue(double v, MetricChartKind kind, bool axis) {
    switch (kind) {
    case MetricChartKind::percent:
        return axis ? QString::asprintf("%.2f %%", v) : QString::asprintf("%.2f%%", v);
    case MetricChartKind::bytes:
        if (v >= G) return QString::asprintf(axis ? "%.1f GB" : "%.2f GB", v / G);
        if (v >= M) return QString::asprintf("%.0f MB", v / M);
        return QString::asprintf("%.0f KB", v / K);
    case MetricChartKind::rate:
        if (v >= M) return QString::asprintf("%.1f MB/s", v / M);
        if (v >= K) return QString::asprintf("%.0f KB/s", v / K);
        return QString::asprintf("%.0f B/s", v);
    }
    return {};
}

int MetricChartCard::slot(double x, double width, int barCount, double barGap) {
    const int N = std::max(barCount, 1);
    const double g = barGap;
    const double b = (width - g * (N - 1)) / N;
    double step, offset;
    if (b > 0) {
        step = std::max(b + g, 1.0);
        offset = b / 2;
    } else {
        step = std::max(g, 1.0);
        offset = 0;
    }
    const double raw = std::round((x - offset) / step);  // halves away from zero
    if (!std::isfinite(raw)) return 0;
    return int(std::clamp(raw, 0.0, double(N - 1)));
}

std::optional<double> MetricChartCard::slotValue(const std::vector<double>& series, int barCount, int slot) {
    const SlotModel s(series.size(), barCount);
    if (slot < s.leading || slot >= s.barCount) return std::nullopt;
    return series[series.size() - size_t(s.n) + size_t(slot - s.leading)];
}

std::optional<QDateTime> MetricChartCard::slotTimestamp(size_t seriesCount, const std::vector<QDateTime>& timestamps,
                                                        int barCount, int slot) {
    const SlotModel s(seriesCount, barCount);
    if (slot < s.leading || slot >= s.barCount) return std::nullopt;
    const int m = int(std::min<size_t>(size_t(s.n), timestamps.size()));
    const int index = (slot - s.leading) - (s.n - m);
    if (index < 0 || index >= m) return std::nullopt;
    return timestamps[timestamps.size() - size_t(m) + size_t(index)];
}

std::optional<int> MetricChartCard::resolveSlot(const std::optional<PinnedSample>& pin, size_t seriesCount,
                                                const std::vector<QDateTime>& timestamps, int barCount) {
    if (!pin) return std::nullopt;
    if (!pin->timestamp) return pin->fallbackSlot;
    const SlotModel s(seriesCount, barCount);
    const int m = int(std::min<size_t>(size_t(s.n), timestamps.size()));
    const size_t first = timestamps.size() - size_t(m);
    for (int i = 0; i < m; ++i)
        if (timestamps[first + size_t(i)] == *pin->timestamp) return i + s.leading + (s.n - m);
    return std::nullopt;
}

QString MetricChartCard::timeText(const QDateTime& at) {
    const QLocale locale = QLocale::system();
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));  // no time zone
    format = format.trimmed();
    return locale.toString(at.toLocalTime().time(), format);
}

// MARK: derived values

double MetricChartCard::axisMax() const { return axisMax(model_.series, model_.highlightValue, model_.kind); }

int MetricChartCard::leadingEmptySlots() const { return SlotModel(model_.series.size(), model_.barCount).leading; }

std::optional<double> MetricChartCard::value(int slot) const { return slotValue(model_.series, model_.barCount, slot); }

std::optional<QDateTime> MetricChartCard::timestamp(int slot) const {
    return slotTimestamp(model_.series.size(), model_.timestamps, model_.barCount, slot);
}

std::optional<MetricChartCard::PinnedSample> MetricChartCard::effectivePinnedSample() const {
    if (pin_ && pin_->get) {
        if (const std::optional<QDateTime> date = pin_->get()) return PinnedSample{*date, 0};
    }
    return localPinnedSample_;
}

std::optional<int> MetricChartCard::resolvedPinnedSlot() const {
    return resolveSlot(effectivePinnedSample(), model_.series.size(), model_.timestamps, model_.barCount);
}

QString MetricChartCard::accessibilityInspectionValue() const {
    const std::optional<int> s = hoveredSlot_ ? hoveredSlot_ : resolvedPinnedSlot();
    if (!s) return {};
    const std::optional<double> v = value(*s);
    if (!v) return {};
    QString text = formatValue(*v, model_.kind, false);
    if (const std::optional<QDateTime> t = timestamp(*s)) text += QStringLiteral(", ") + timeText(*t);
    return text;
}

// MARK: interaction

void MetricChartCard::setHovered(std::optional<int> slot) {
    if (hoveredSlot_ == slot) return;
    hoveredSlot_ = slot;
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, accessibilityInspectionValue());
        QAccessible::updateAccessibility(&event);
    }
    update();
}

void MetricChartCard::hoverAt(double x) {
    const int s = slot(x, width(), model_.barCount, model_.barGap);
    setHovered(s >= leadingEmptySlots() ? std::optional<int>(s) : std::nullopt);
}

void MetricChartCard::endHover() { setHovered(std::nullopt); }

void MetricChartCard::pinSlot(double x, double width) {
    const int s = slot(x, width, model_.barCount, model_.barGap);
    if (s < leadingEmptySlots()) return;
    const std::optional<QDateTime> t = timestamp(s);
    if (pin_ && pin_->get && pin_->set && t) {
        const std::optional<QDateTime> current = pin_->get();
        pin_->set(current == t ? std::nullopt : t);
        update();
        return;
    }
    const PinnedSample candidate{t, s};
    if (localPinnedSample_ == candidate)
        localPinnedSample_.reset();
    else
        localPinnedSample_ = candidate;
    update();
}

void MetricChartCard::mouseMoveEvent(QMouseEvent* event) {
    hoverAt(event->position().x());
    QWidget::mouseMoveEvent(event);
}

void MetricChartCard::leaveEvent(QEvent* event) {
    endHover();
    QWidget::leaveEvent(event);
}

void MetricChartCard::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void MetricChartCard::mouseReleaseEvent(QMouseEvent* event) {
    const bool tap = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (tap) pinSlot(event->position().x(), width());
    event->accept();
}

// MARK: drawing

void MetricChartCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF chart = chartRect();
    const QColor primary = SystemColors::primary(palette());
    const double top = axisMax();

    // Gridlines at the 25, 50, 75 and 100 % levels.
    QPen grid(SystemColors::withOpacity(primary, 0.12), 1);
    grid.setDashPattern({6, 5});
    grid.setCapStyle(Qt::FlatCap);
    grid.setJoinStyle(Qt::MiterJoin);
    grid.setMiterLimit(10);
    p.setPen(grid);
    for (double f : {0.75, 0.5, 0.25, 0.0}) {
        const double y = chart.top() + chart.height() * f;
        p.drawLine(QPointF(chart.left(), y), QPointF(chart.right(), y));
    }

    BarHistoryChart::Model bars;
    bars.series = model_.series;
    bars.tint = model_.tint;
    bars.scale = top;
    bars.barCount = model_.barCount;
    bars.barGap = model_.barGap;
    bars.hoveredSlot = hoveredSlot_;
    bars.selectedSlot = resolvedPinnedSlot();
    bars.lower = model_.lower;
    BarHistoryChart::paint(p, chart, bars);

    // The highlighted value as a dashed line.
    if (highlightOpacity_ > 0 && shownHighlight_ > 0 && top > 0) {
        const double y = chart.top() + chart.height() * (1 - std::min(shownHighlight_ / top, 1.0));
        QPen line(SystemColors::withOpacity(primary, 0.55 * highlightOpacity_), 1);
        line.setDashPattern({5, 3});
        line.setCapStyle(Qt::FlatCap);
        p.setPen(line);
        p.drawLine(QPointF(chart.left(), y), QPointF(chart.right(), y));
    }

    // Axis labels straddling their gridlines.
    const QFont font = SystemFont::monospaced(9, QFont::Medium);
    const QFontMetricsF metrics(font);
    p.setFont(font);
    // Behind a label: its capsule over the card, or over a bar in full tint once bars reach it.
    const QColor capsuleFill(0, 0, 0, int(std::lround(0.45 * 255)));
    // The capsule is dark in either appearance: the secondary style as it is on dark surfaces.
    const QColor secondary =
        SystemColors::isDark(palette()) ? SystemColors::secondary(palette()) : QColor(235, 235, 245, 153);
    const QColor labelColor = SystemColors::legible(
        secondary,
        {SystemColors::over(capsuleFill, SystemColors::windowBackground(palette())),
         SystemColors::over(capsuleFill, SystemColors::over(model_.tint, SystemColors::windowBackground(palette())))});
    for (int i = 1; i <= 4; ++i) {
        const QString text = formatValue(top * i * 0.25, model_.kind, true);
        const double w = metrics.horizontalAdvance(text) + 12, h = metrics.height() + 4;
        const double cx = (text.size() * 5.6 + 12) / 2;
        const double cy = chart.top() + chart.height() * (1 - 0.25 * i);
        const QRectF capsule(cx - w / 2, cy - h / 2, w, h);
        p.setPen(Qt::NoPen);
        p.fillPath(ContinuousCorners::capsule(capsule), capsuleFill);
        p.setPen(labelColor);
        p.drawText(capsule, Qt::AlignCenter, text);
    }
}
