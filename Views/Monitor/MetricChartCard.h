#pragma once

#include "Views/Monitor/MetricChartKind.h"

#include <QColor>
#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace Motion {
class Animator;
}

class QPainter;

// The interactive bar-history chart of the monitor popup: bars on a readable ceiling, dashed
// gridlines with value labels at the quarters, an optional dashed line at a highlighted value,
// a hover preview of one bar and a click that pins a sample. A pin is kept by its timestamp, so
// it travels with its bar; a parent that owns the pin passes a binding. The card draws no
// background: the caller frames it.
//
// The widget is `overhang` points taller than the chart: the top axis label straddles the
// chart's top edge. The chart area starts at y = overhang.
class MetricChartCard : public QWidget {
    Q_OBJECT
public:
    static constexpr int overhang = 8;

    struct Model {
        std::vector<double> series;        // oldest first; the last barCount are drawn
        std::vector<QDateTime> timestamps; // aligned to the end of series; may be shorter
        QColor tint;
        MetricChartKind kind = MetricChartKind::percent;
        std::optional<double> highlightValue;
        std::optional<std::vector<double>> lower;
        double height = 132;
        int barCount = 60;
        double barGap = 1;
    };

    // A pin owned by the parent.
    struct PinBinding {
        std::function<std::optional<QDateTime>()> get;
        std::function<void(std::optional<QDateTime>)> set;
    };

    // The card's own pin: by time, or by slot when the slot had no time.
    struct PinnedSample {
        std::optional<QDateTime> timestamp;
        int fallbackSlot = 0;
        bool operator==(const PinnedSample&) const = default;
    };

    explicit MetricChartCard(Model model, std::optional<PinBinding> pinnedTimestamp = std::nullopt,
                             QWidget* parent = nullptr);

    const Model& model() const { return model_; }
    // New values; hover and the card's own pin are kept.
    void setModel(Model model);
    void setSeries(std::vector<double> series, std::vector<QDateTime> timestamps,
                   std::optional<std::vector<double>> lower);
    // The highlight line moves with Motion.state (a 0.2 s ease-in-out under Reduce Motion) and
    // fades in and out.
    void setHighlightValue(std::optional<double> value);
    void setPinBinding(std::optional<PinBinding> binding);

    std::optional<int> hoveredSlot() const { return hoveredSlot_; }
    const std::optional<PinnedSample>& localPinnedSample() const { return localPinnedSample_; }
    double axisMax() const;
    std::optional<PinnedSample> effectivePinnedSample() const;
    std::optional<int> resolvedPinnedSlot() const;
    std::optional<double> value(int slot) const;
    std::optional<QDateTime> timestamp(int slot) const;
    // The hovered (else pinned) slot's readout with its time; empty without one.
    QString accessibilityInspectionValue() const;
    // Number of empty slots at the left.
    int leadingEmptySlots() const;
    // Hover and tap at an x position of the chart area (the widget's own x).
    void hoverAt(double x);
    void endHover();
    void pinSlot(double x, double width);

    // Pure parts.
    static double nicePercentCeiling(double v);
    static double axisMax(const std::vector<double>& series, std::optional<double> highlight, MetricChartKind kind);
    static QString formatValue(double v, MetricChartKind kind, bool axis);
    static int slot(double x, double width, int barCount, double barGap);
    // The value of a slot under the slot model, none for an empty or out-of-range slot.
    static std::optional<double> slotValue(const std::vector<double>& series, int barCount, int slot);
    static std::optional<QDateTime> slotTimestamp(size_t seriesCount, const std::vector<QDateTime>& timestamps,
                                                  int barCount, int slot);
    static std::optional<int> resolveSlot(const std::optional<PinnedSample>& pin, size_t seriesCount,
                                          const std::vector<QDateTime>& timestamps, int barCount);
    // Time of day as the locale's standard time style (hours, minutes, seconds).
    static QString timeText(const QDateTime& at);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRectF chartRect() const;
    void setHovered(std::optional<int> slot);

    Model model_;
    std::optional<PinBinding> pin_;
    std::optional<int> hoveredSlot_;
    std::optional<PinnedSample> localPinnedSample_;
    bool pressed_ = false;
    // The highlight line as drawn (moving and fading).
    double shownHighlight_ = 0;
    double highlightOpacity_ = 0;
    QPointer<Motion::Animator> highlightAnimator_;
};
