#include "Views/Shared/BarHistoryChart.h"

#include "Platform/Gui/SystemColors.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Fills axis-aligned rectangles with exact area coverage at their edges, using only whole-pixel
// fills: the raster engine's antialiased path is slow for many small rectangles. Works in device
// pixels while the painter's transform only scales and translates; otherwise it falls back to
// antialiased fills.
class CoverageFiller {
public:
    explicit CoverageFiller(QPainter& painter) : painter_(painter), device_(painter.deviceTransform()) {
        exact_ = device_.type() <= QTransform::TxScale;
        painter_.save();
        if (exact_) {
            // Paint in device pixels: undo what the painter applies beyond its world transform too
            // (the offset of a child widget painted by its window, the pixel ratio).
            const QTransform beyondWorld = painter_.worldTransform().inverted() * device_;
            painter_.setWorldTransform(beyondWorld.inverted());
            painter_.setRenderHint(QPainter::Antialiasing, false);
        } else {
            painter_.setRenderHint(QPainter::Antialiasing, true);
        }
        painter_.setPen(Qt::NoPen);
    }
    ~CoverageFiller() { painter_.restore(); }

    void fill(const QRectF& rect, const QColor& color) {
        if (!exact_) {
            painter_.fillRect(rect, color);
            return;
        }
        const QRectF r = device_.mapRect(rect);
        if (!(r.width() > 0) || !(r.height() > 0)) return;
        Span xs[3], ys[3];
        const int nx = spans(r.left(), r.right(), xs), ny = spans(r.top(), r.bottom(), ys);
        const double alpha = color.alphaF();
        for (int j = 0; j < ny; ++j) {
            for (int i = 0; i < nx; ++i) {
                const double coverage = xs[i].coverage * ys[j].coverage;
                if (coverage <= 0.002) continue;
                QColor c = color;
                c.setAlphaF(float(alpha * coverage));
                // Qt hands fills of 96 rows or more to its thread pool, which costs far more than
                // it saves for thin bars: fill in bands of fewer rows.
                for (int y = ys[j].from; y < ys[j].to; y += kBand)
                    painter_.fillRect(QRect(xs[i].from, y, xs[i].to - xs[i].from, std::min(kBand, ys[j].to - y)), c);
            }
        }
    }

private:
    struct Span {
        int from, to;  // whole pixels [from, to)
        double coverage;
    };
    // [a, b) as partly covered edge pixels and fully covered pixels between them.
    static int spans(double a, double b, Span out[3]) {
        const int first = int(std::floor(a)), last = int(std::ceil(b));
        if (last - first <= 1) {
            out[0] = {first, first + 1, b - a};
            return 1;
        }
        int n = 0;
        out[n++] = {first, first + 1, first + 1 - a};
        if (last - 1 > first + 1) out[n++] = {first + 1, last - 1, 1.0};
        out[n++] = {last - 1, last, b - (last - 1)};
        return n;
    }

    static constexpr int kBand = 64;

    QPainter& painter_;
    QTransform device_;
    bool exact_ = true;
};

}  // namespace

BarHistoryChart::BarHistoryChart(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

BarHistoryChart::BarHistoryChart(std::vector<double> series, QColor tint, std::optional<double> scale, int barCount,
                                 double barGap, std::optional<int> hoveredSlot, std::optional<int> selectedSlot,
                                 std::optional<std::vector<double>> lower, QWidget* parent)
    : BarHistoryChart(parent) {
    model_ = Model{std::move(series), tint, scale, barCount, barGap, hoveredSlot, selectedSlot, std::move(lower)};
}

void BarHistoryChart::setModel(Model model) {
    model_ = std::move(model);
    update();
}
void BarHistoryChart::setSeries(std::vector<double> series) {
    model_.series = std::move(series);
    update();
}
void BarHistoryChart::setTint(QColor tint) {
    model_.tint = tint;
    update();
}
void BarHistoryChart::setScale(std::optional<double> scale) {
    model_.scale = scale;
    update();
}
void BarHistoryChart::setBarCount(int barCount) {
    model_.barCount = barCount;
    update();
}
void BarHistoryChart::setBarGap(double barGap) {
    model_.barGap = barGap;
    update();
}
void BarHistoryChart::setHoveredSlot(std::optional<int> slot) {
    if (model_.hoveredSlot == slot) return;
    model_.hoveredSlot = slot;
    update();
}
void BarHistoryChart::setSelectedSlot(std::optional<int> slot) {
    if (model_.selectedSlot == slot) return;
    model_.selectedSlot = slot;
    update();
}
void BarHistoryChart::setLower(std::optional<std::vector<double>> lower) {
    model_.lower = std::move(lower);
    update();
}

double BarHistoryChart::barWidth(double width, int barCount, double barGap) {
    if (barCount <= 0) return 0;
    return (width - (barCount - 1) * barGap) / barCount;
}

double BarHistoryChart::slotX(int slot, double width, int barCount, double barGap) {
    return slot * (barWidth(width, barCount, barGap) + barGap);
}

double BarHistoryChart::divisor(const std::vector<double>& series, std::optional<double> scale) {
    if (scale && std::isfinite(*scale) && *scale > 0) return *scale;
    double largest = 0;
    for (double v : series)
        if (std::isfinite(v)) largest = std::max(largest, v);
    return largest > 1 ? largest : 1;
}

std::vector<std::optional<double>> BarHistoryChart::slotValues(const std::vector<double>& values, int barCount) {
    if (barCount <= 0) return {};
    std::vector<std::optional<double>> cells(static_cast<size_t>(barCount));
    const size_t shown = std::min(values.size(), size_t(barCount));
    const size_t first = values.size() - shown;
    const size_t offset = size_t(barCount) - shown;
    for (size_t i = 0; i < shown; ++i) cells[offset + i] = values[first + i];
    return cells;
}

double BarHistoryChart::heightFraction(double value, double divisor) {
    if (!std::isfinite(value) || !std::isfinite(divisor) || divisor <= 0) return 0;
    return std::clamp(value / divisor, 0.0, 1.0);
}

std::optional<int> BarHistoryChart::activeSlot(const Model& model) {
    return model.hoveredSlot ? model.hoveredSlot : model.selectedSlot;
}

void BarHistoryChart::paint(QPainter& painter, const QRectF& rect, const Model& m) {
    const int n = m.barCount;
    if (n <= 0 || rect.isEmpty() || !std::isfinite(m.barGap)) return;
    const double width = rect.width(), height = rect.height();
    const double bar = barWidth(width, n, m.barGap);
    if (!(bar > 0)) return;
    const double step = bar + m.barGap;
    const double div = divisor(m.series, m.scale);
    const auto values = slotValues(m.series, n);
    std::vector<std::optional<double>> lowers;
    if (m.lower) lowers = slotValues(*m.lower, n);

    auto barRect = [&](int i, double fraction) {
        const double h = fraction * height;
        return QRectF(rect.left() + i * step, rect.bottom() - h, bar, h);
    };
    auto fractionAt = [&](const std::vector<std::optional<double>>& cells, int i) {
        return cells.empty() || !cells[size_t(i)] ? 0.0 : heightFraction(*cells[size_t(i)], div);
    };

    const std::optional<int> active = activeSlot(m);
    const bool marked = active && *active >= 0 && *active < n;
    const QColor black(0, 0, 0);

    CoverageFiller filler(painter);
    if (marked)
        filler.fill(QRectF(rect.left() + *active * step, rect.top(), bar, height),
                    SystemColors::withOpacity(m.tint, columnOpacity));

    const QColor barColor = SystemColors::withOpacity(m.tint, active ? dimmedOpacity : plainOpacity);
    const QColor lowerColor = SystemColors::withOpacity(black, lowerOpacity);
    for (int i = 0; i < n; ++i) {
        const double f = fractionAt(values, i);
        if (f > 0) filler.fill(barRect(i, f), barColor);
    }
    if (m.lower) {
        for (int i = 0; i < n; ++i) {
            const double f = fractionAt(lowers, i);
            if (f > 0) filler.fill(barRect(i, f), lowerColor);
        }
    }
    if (marked) {
        const double f = fractionAt(values, *active);
        if (f > 0) {
            filler.fill(barRect(*active, f), m.tint);
            const double lf = fractionAt(lowers, *active);
            if (lf > 0) filler.fill(barRect(*active, lf), SystemColors::withOpacity(black, highlightedLowerOpacity));
        }
    }
}

void BarHistoryChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), model_);
}
