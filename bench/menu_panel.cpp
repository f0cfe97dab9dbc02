// Opening the menu panel: after prewarm (what a click on the status item costs: placing, showing,
// starting the entrance and the first paint) against a cold open that must build the panel first.
// The aim is well under 50 ms for the warm open.
#include "App/MenuPanelController.h"
#include "Views/Shared/KeyablePopupPanel.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

namespace {

QRect statusItemRect() {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return QRect(screen.right() - 40, screen.top(), 18, 24);
}

// Shows the panel and lets the event loop lay it out and paint it once.
void open(MenuPanelController& controller) {
    controller.show(statusItemRect());
    QCoreApplication::processEvents();
    controller.panel()->repaint();
}

void BM_MenuPanelOpenAfterPrewarm(benchmark::State& state) {
    MenuPanelController controller;
    controller.prewarm();
    for (auto _ : state) {
        open(controller);
        state.PauseTiming();
        controller.close();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_MenuPanelOpenCold(benchmark::State& state) {
    for (auto _ : state) {
        auto* controller = new MenuPanelController;
        open(*controller);
        state.PauseTiming();
        controller->close();
        delete controller;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_MenuPanelOpenAfterPrewarm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MenuPanelOpenCold)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
