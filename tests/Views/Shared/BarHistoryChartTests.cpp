#include "Views/Shared/BarHistoryChart.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Model = BarHistoryChart::Model;

QImage render(const Model& model, QSize size = {312, 100}) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    BarHistoryChart::paint(painter, QRectF(QPointF(0, 0), QSizeF(size)), model);
    return image;
}

// The pixel in the middle of slot i, y pixels above the bottom.
QColor at(const QImage& image, const Model& m, int slot, int fromBottom) {
    const double w = image.width();
    const double x = BarHistoryChart::slotX(slot, w, m.barCount, m.barGap) +
                     BarHistoryChart::barWidth(w, m.barCount, m.barGap) / 2;
    return image.pixelColor(int(x), image.height() - 1 - fromBottom);
}

int alphaOf(double opacity) { return int(std::lround(opacity * 255)); }

TEST(BarHistoryChart, SlotGeometrySpansTheWholeWidth) {
    EXPECT_DOUBLE_EQ(BarHistoryChart::barWidth(312, 60, 2), (312 - 59 * 2) / 60.0);
    EXPECT_DOUBLE_EQ(BarHistoryChart::slotX(0, 312, 60, 2), 0);
    EXPECT_DOUBLE_EQ(BarHistoryChart::slotX(10, 312, 60, 2), 10 * ((312 - 118) / 60.0 + 2));
    // The last bar ends at the right edge.
    EXPECT_NEAR(BarHistoryChart::slotX(59, 312, 60, 2) + BarHistoryChart::barWidth(312, 60, 2), 312, 1e-9);
    EXPECT_DOUBLE_EQ(BarHistoryChart::barWidth(100, 48, 1), (100 - 47) / 48.0);
    EXPECT_DOUBLE_EQ(BarHistoryChart::barWidth(100, 0, 1), 0);
}

TEST(BarHistoryChart, ValuesFillTheRightmostSlotsOldestFirst) {
    const auto cells = BarHistoryChart::slotValues({1, 2, 3}, 5);
    ASSERT_EQ(cells.size(), 5u);
    EXPECT_FALSE(cells[0]);
    EXPECT_FALSE(cells[1]);
    EXPECT_EQ(cells[2], 1);
    EXPECT_EQ(cells[4], 3);
    const auto last = BarHistoryChart::slotValues({1, 2, 3, 4, 5, 6, 7}, 3);
    ASSERT_EQ(last.size(), 3u);
    EXPECT_EQ(last[0], 5);
    EXPECT_EQ(last[2], 7);
    EXPECT_TRUE(BarHistoryChart::slotValues({1, 2}, 0).empty());
    EXPECT_TRUE(BarHistoryChart::slotValues({1, 2}, -4).empty());
}

TEST(BarHistoryChart, DivisorRules) {
    EXPECT_DOUBLE_EQ(BarHistoryChart::divisor({10, 50, 20}, 100.0), 100);
    EXPECT_DOUBLE_EQ(BarHistoryChart::divisor({10, 50, 20}, std::nullopt), 50);
    EXPECT_DOUBLE_EQ(BarHistoryChart::divisor({0.2, 0.9}, std::nullopt), 1);
    EXPECT_DOUBLE_EQ(BarHistoryChart::divisor({}, std::nullopt), 1);
    // A scale of 0 or less, or not a number, counts as absent.
    EXPECT_DOUBLE_EQ(BarHistoryChart::divisor({10, 50}, 0.0), 50);
    EXPECT_DOUBLE_EQ(BarHistoryChart::divisor({10, 50}, -5.0), 50);
    EXPECT_DOUBLE_EQ(BarHistoryChart::divisor({10, 50}, NAN), 50);
    EXPECT_DOUBLE_EQ(BarHistoryChart::divisor({10, NAN, INFINITY, 50}, std::nullopt), 50);

    EXPECT_DOUBLE_EQ(BarHistoryChart::heightFraction(25, 100), 0.25);
    EXPECT_DOUBLE_EQ(BarHistoryChart::heightFraction(250, 100), 1);
    EXPECT_DOUBLE_EQ(BarHistoryChart::heightFraction(-3, 100), 0);
    EXPECT_DOUBLE_EQ(BarHistoryChart::heightFraction(NAN, 100), 0);
    EXPECT_DOUBLE_EQ(BarHistoryChart::heightFraction(5, 0), 0);
}

TEST(BarHistoryChart, DrawsRightAlignedBarsAtTheirHeights) {
    Model m;
    m.series = {50, 100, NAN, 25};
    m.tint = QColor(0, 0, 255);
    m.scale = 100.0;
    m.barCount = 10;
    m.barGap = 2;
    const QImage image = render(m);
    // Slots 0 … 5 are empty.
    for (int s = 0; s < 6; ++s) EXPECT_EQ(at(image, m, s, 2).alpha(), 0) << s;
    // Slot 6 (50): half the height.
    EXPECT_NEAR(at(image, m, 6, 2).alpha(), alphaOf(0.88), 2);
    EXPECT_NEAR(at(image, m, 6, 48).alpha(), alphaOf(0.88), 2);
    EXPECT_EQ(at(image, m, 6, 52).alpha(), 0);
    // Slot 7 (100): full height.
    EXPECT_NEAR(at(image, m, 7, 98).alpha(), alphaOf(0.88), 2);
    // Slot 8 (not a number): nothing.
    EXPECT_EQ(at(image, m, 8, 2).alpha(), 0);
    // Slot 9 (25).
    EXPECT_NEAR(at(image, m, 9, 23).alpha(), alphaOf(0.88), 2);
    EXPECT_EQ(at(image, m, 9, 27).alpha(), 0);
    // The gap between two bars stays clear.
    const double gapX = BarHistoryChart::slotX(7, 312, 10, 2) - 1;
    EXPECT_EQ(qAlpha(image.pixel(int(gapX), 98)), 0);
}

TEST(BarHistoryChart, WithoutScaleTheLargestValueAboveOneDivides) {
    Model m;
    m.series = {2, 4};
    m.tint = Qt::red;
    m.barCount = 2;
    m.barGap = 0;
    const QImage image = render(m, {40, 100});
    EXPECT_GT(at(image, m, 1, 97).alpha(), 0);   // 4 / 4: full
    EXPECT_GT(at(image, m, 0, 48).alpha(), 0);   // 2 / 4: half
    EXPECT_EQ(at(image, m, 0, 53).alpha(), 0);
    m.series = {0.5, 0.25};  // largest not above 1: divided by 1
    const QImage small = render(m, {40, 100});
    EXPECT_GT(at(small, m, 0, 48).alpha(), 0);
    EXPECT_EQ(at(small, m, 0, 53).alpha(), 0);
    EXPECT_EQ(at(small, m, 1, 27).alpha(), 0);
}

TEST(BarHistoryChart, HoverDimsTheBarsAndMarksTheSlot) {
    Model m;
    m.series = std::vector<double>(10, 50);
    m.tint = QColor(0, 0, 255);
    m.scale = 100.0;
    m.barCount = 10;
    m.barGap = 2;
    m.hoveredSlot = 4;
    m.selectedSlot = 7;  // the hover wins
    const QImage image = render(m);
    EXPECT_NEAR(at(image, m, 0, 10).alpha(), alphaOf(0.26), 2);
    EXPECT_NEAR(at(image, m, 7, 10).alpha(), alphaOf(0.26), 2);
    EXPECT_EQ(at(image, m, 4, 10).alpha(), 255);                  // the bar in the full tint
    EXPECT_EQ(at(image, m, 4, 10).blue(), 255);
    EXPECT_NEAR(at(image, m, 4, 80).alpha(), alphaOf(0.2), 2);   // the column above it
    EXPECT_EQ(at(image, m, 3, 80).alpha(), 0);

    // Without a hover the selected slot is marked.
    m.hoveredSlot.reset();
    const QImage selected = render(m);
    EXPECT_EQ(at(selected, m, 7, 10).alpha(), 255);
    EXPECT_NEAR(at(selected, m, 7, 80).alpha(), alphaOf(0.2), 2);
    EXPECT_NEAR(at(selected, m, 4, 10).alpha(), alphaOf(0.26), 2);

    // A marked slot that holds no bar gets the column only.
    m.series = {50};
    const QImage empty = render(m);
    EXPECT_NEAR(at(empty, m, 7, 10).alpha(), alphaOf(0.2), 2);

    // A slot outside the chart marks nothing.
    m.series = std::vector<double>(10, 50);
    m.selectedSlot = 10;
    const QImage outside = render(m);
    for (int s = 0; s < 10; ++s) {
        EXPECT_NEAR(at(outside, m, s, 10).alpha(), alphaOf(0.26), 2) << s;
        EXPECT_EQ(at(outside, m, s, 80).alpha(), 0) << s;
    }
    m.selectedSlot = -1;
    EXPECT_EQ(at(render(m), m, 0, 80).alpha(), 0);
}

TEST(BarHistoryChart, LowerSeriesIsDrawnOverTheBarsRightAligned) {
    Model m;
    m.series = {80, 80, 80};
    m.lower = std::vector<double>{10, 40, 20};
    m.tint = QColor(255, 255, 255);
    m.scale = 100.0;
    m.barCount = 4;
    m.barGap = 2;
    const QImage image = render(m, {100, 100});
    // Slot 2 holds lower value 40: darker up to 40, plain bar above.
    const QColor low = at(image, m, 2, 30), high = at(image, m, 2, 60);
    EXPECT_LT(low.red(), high.red());
    EXPECT_EQ(high.red(), 255);
    EXPECT_NEAR(at(image, m, 3, 10).red(), at(image, m, 2, 10).red(), 2);
    EXPECT_EQ(at(image, m, 1, 15).red(), 255);  // slot 1 holds lower 10

    m.hoveredSlot = 2;
    const QImage hovered = render(m, {100, 100});
    const QColor hoverLow = at(hovered, m, 2, 30), hoverHigh = at(hovered, m, 2, 60);
    EXPECT_EQ(hoverHigh.alpha(), 255);
    EXPECT_EQ(hoverLow.alpha(), 255);
    // White under black at 0.3.
    EXPECT_NEAR(hoverLow.red(), int(std::lround(255 * 0.7)), 2);
}

TEST(BarHistoryChart, DegenerateInputDrawsNothing) {
    Model m;
    m.series = {1, 2, 3};
    m.tint = Qt::red;
    m.barCount = 0;
    EXPECT_EQ(render(m).pixel(150, 99), 0u);
    m.barCount = 200;
    m.barGap = 2;  // no room for bars
    EXPECT_EQ(render(m, {100, 50}).pixel(50, 49), 0u);
}

}  // namespace
