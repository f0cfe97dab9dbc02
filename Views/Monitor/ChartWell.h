#pragma once

#include "Source/Features/System/MonitorPopupModel.h"
#include "Views/Monitor/MetricChartKind.h"

#include <QColor>
#include <QWidget>

#include <array>

class MetricChartCard;
class QAbstractButton;

// The header chart of the CPU, Mem and Net tabs: the selected tab's history as a metric chart
// (the last 60 samples, or the last day of the metric log on CPU and Mem) with a "LIVE" / "24H"
// switch in its top-right corner. In the live range the chart's pin is the model's pinned sample
// and its highlight the hovered process's value.
class ChartWell : public QWidget {
    Q_OBJECT
public:
    static constexpr double chartHeight = 132;
    static constexpr int barCount = 60;

    explicit ChartWell(MonitorPopupModel& model, QWidget* parent = nullptr);

    // The tab's bar colour and kind of value.
    static QColor tint(MonitorTab tab);
    static MetricChartKind kind(MonitorTab tab);

    MetricChartCard* card() const { return card_; }
    QWidget* rangePicker() const { return rangePicker_; }
    QAbstractButton* rangeButton(MonitorPopupModel::ChartRange range) const;
    // Rebuilds the chart from the model now.
    void refresh();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void scheduleRefresh();
    void placeRangePicker();

    MonitorPopupModel& model_;
    MetricChartCard* card_ = nullptr;
    QWidget* rangePicker_ = nullptr;
    std::array<QAbstractButton*, 2> rangeButtons_{};
    bool refreshQueued_ = false;
};
