#pragma once

#include "Views/Monitor/HoverableBars.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

// A small titled chart of the stats dashboard: an optional symbol, the title and a one-line
// readout above a 48-slot bar chart that reaches the card's edges. Hovering the chart writes the
// shared slot; the readout is built for the slot (or for none).
class StatsChartCard : public QWidget {
    Q_OBJECT
public:
    static constexpr int barCount = 48;
    static constexpr double cornerRadius = 11;
    static constexpr double headerTop = 8;
    static constexpr double headerSpacing = 4;

    StatsChartCard(QString title, std::optional<QString> symbol, QColor tint, std::vector<double> series,
                   std::optional<std::vector<double>> lower, std::optional<double> scale, double chartHeight,
                   HoverableBars::Binding hovered, std::function<QString(std::optional<int>)> readout,
                   QWidget* parent = nullptr);

    QString title() const { return title_; }
    void setTitle(const QString& title);
    void setData(std::vector<double> series, std::optional<std::vector<double>> lower, std::optional<double> scale);
    void setReadout(std::function<QString(std::optional<int>)> readout);
    // The readout for the binding's current slot.
    QString readoutText() const;
    // The readout as drawn in the room it has.
    QString displayedReadout() const;
    HoverableBars* bars() const { return bars_; }

    // The card's outline in a rectangle.
    static QPainterPath shape(const QRectF& rect);
    static double headerHeight();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRectF readoutRect() const;

    QString title_;
    std::optional<QString> symbol_;
    double chartHeight_;
    HoverableBars::Binding hovered_;
    std::function<QString(std::optional<int>)> readout_;
    HoverableBars* bars_;
};
