#pragma once

#include <QColor>
#include <QWidget>

#include <optional>
#include <vector>

class QPainter;

// Bars of a history, side by side across the whole width, growing from the bottom. The last
// barCount values of the series fill the rightmost slots, oldest first; slots to their left are
// empty. A hovered slot (or, without one, a selected slot) is marked with a column and its bar
// drawn in the full tint while the others dim. lower, when given, is drawn over the bars
// (right-aligned the same way, on the same divisor).
class BarHistoryChart : public QWidget {
    Q_OBJECT
public:
    struct Model {
        std::vector<double> series;
        QColor tint;
        std::optional<double> scale;
        int barCount = 0;
        double barGap = 0;
        std::optional<int> hoveredSlot;
        std::optional<int> selectedSlot;
        std::optional<std::vector<double>> lower;
    };

    static constexpr double plainOpacity = 0.88;
    static constexpr double dimmedOpacity = 0.26;
    static constexpr double columnOpacity = 0.2;
    static constexpr double lowerOpacity = 0.34;
    static constexpr double highlightedLowerOpacity = 0.3;

    explicit BarHistoryChart(QWidget* parent = nullptr);
    BarHistoryChart(std::vector<double> series, QColor tint, std::optional<double> scale, int barCount, double barGap,
                    std::optional<int> hoveredSlot = std::nullopt, std::optional<int> selectedSlot = std::nullopt,
                    std::optional<std::vector<double>> lower = std::nullopt, QWidget* parent = nullptr);

    const Model& model() const { return model_; }
    void setModel(Model model);
    void setSeries(std::vector<double> series);
    void setTint(QColor tint);
    void setScale(std::optional<double> scale);
    void setBarCount(int barCount);
    void setBarGap(double barGap);
    void setHoveredSlot(std::optional<int> slot);
    void setSelectedSlot(std::optional<int> slot);
    void setLower(std::optional<std::vector<double>> lower);

    // Layout: the width of a bar, and where slot i starts.
    static double barWidth(double width, int barCount, double barGap);
    static double slotX(int slot, double width, int barCount, double barGap);
    // What values are divided by: scale when it is a positive number, else the series' largest
    // value when that is above 1, else 1.
    static double divisor(const std::vector<double>& series, std::optional<double> scale);
    // The values of the slots (nullopt for the empty ones at the left), right-aligned.
    static std::vector<std::optional<double>> slotValues(const std::vector<double>& values, int barCount);
    // A value as a fraction of the chart's height: 0 … 1, 0 for what is not a number.
    static double heightFraction(double value, double divisor);
    // The slot drawn as marked: the hovered one, else the selected one.
    static std::optional<int> activeSlot(const Model& model);

    // Draws the chart into rect.
    static void paint(QPainter& painter, const QRectF& rect, const Model& model);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Model model_;
};
