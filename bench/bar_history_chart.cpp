// Drawing one bar-history chart: 60 bars across 312 px, as in the monitor popup, plain and with a
// hovered slot and a lower series.
#include "Views/Shared/BarHistoryChart.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

BarHistoryChart::Model model(bool marked) {
    BarHistoryChart::Model m;
    for (int i = 0; i < 60; ++i) m.series.push_back(50 + 40 * std::sin(i * 0.3));
    m.tint = QColor(0, 122, 255);
    m.scale = 100.0;
    m.barCount = 60;
    m.barGap = 2;
    if (marked) {
        m.hoveredSlot = 42;
        std::vector<double> lower;
        for (double v : m.series) lower.push_back(v * 0.4);
        m.lower = lower;
    }
    return m;
}

void draw(benchmark::State& state, bool marked) {
    QImage image(312, 112, QImage::Format_ARGB32_Premultiplied);
    const BarHistoryChart::Model m = model(marked);
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        BarHistoryChart::paint(painter, QRectF(0, 0, 312, 112), m);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_BarHistoryChart60Bars(benchmark::State& state) { draw(state, false); }
void BM_BarHistoryChart60BarsHoveredWithLower(benchmark::State& state) { draw(state, true); }

}  // namespace

BENCHMARK(BM_BarHistoryChart60Bars)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BarHistoryChart60BarsHoveredWithLower)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return runBenchmarks<QGuiApplication>(argc, argv); }
