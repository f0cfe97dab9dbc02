#pragma once

#include <QColor>
#include <QPainterPath>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

// A bar-history chart (2-point gaps) with a hover layer: the pointer's horizontal position picks
// a slot, written to a binding the owner shares among several charts. The binding only ever
// receives a slot in which this chart has a value.
class HoverableBars : public QWidget {
    Q_OBJECT
public:
    struct Binding {
        std::function<std::optional<int>()> get;
        std::function<void(std::optional<int>)> set;
    };
    static constexpr double barGap = 2;

    HoverableBars(std::vector<double> series, std::optional<std::vector<double>> lower, QColor tint,
                  std::optional<double> scale, int barCount, Binding hovered, QWidget* parent = nullptr);

    void setData(std::vector<double> series, std::optional<std::vector<double>> lower, std::optional<double> scale);
    const std::vector<double>& series() const { return series_; }
    std::optional<double> scale() const { return scale_; }
    int barCount() const { return barCount_; }
    // Drawing is limited to this outline (in the chart's coordinates), when given.
    void setClipPath(const QPainterPath& path);

    // The value in a slot: the last barCount values fill the rightmost slots.
    static std::optional<double> value(const std::vector<double>& series, int barCount, std::optional<int> slot);
    // The slot under x in a chart w wide: x ÷ w × barCount, truncated, kept within the slots.
    static int slot(double x, double width, int barCount);
    // What a hover at x does to the binding.
    void hoverAt(double x);
    void endHover();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::vector<double> series_;
    std::optional<std::vector<double>> lower_;
    QColor tint_;
    std::optional<double> scale_;
    int barCount_;
    Binding hovered_;
    QPainterPath clip_;
};
