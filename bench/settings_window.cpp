// Opening the settings window to its first frame: when it was built beforehand (only showing and
// painting are left) against building it at the first open, in a process that has built its menu
// panel, as the program does at start. A "FirstOfProcess" case measures the process's first
// settings window, which also loads what every later one finds ready: run each alone
// (--benchmark_filter=FirstOfProcessBuiltAtOpen). Offscreen by default; for the real thing run
//   QT_QPA_PLATFORM=xcb xvfb-run -a ./bench_settings_window
#include "App/MenuPanelController.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Processes events until the window has painted, or a second has passed.
void untilPainted(QWidget* window) {
    PaintCounter counter;
    window->installEventFilter(&counter);
    QElapsedTimer t;
    t.start();
    while (counter.paints == 0 && t.elapsed() < 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    window->removeEventFilter(&counter);
}

// From show() to the first frame, with the window built before show() or by it.
void openToFirstFrame(benchmark::State& state, bool builtBefore) {
    static MenuPanelController* panel = [] {
        auto* controller = new MenuPanelController;
        controller->prewarm();
        return controller;
    }();
    (void)panel;
    for (auto _ : state) {
        state.PauseTiming();
        PreferencesRouter router;
        auto controller = std::make_unique<PreferencesWindowController>(router);
        if (builtBefore) controller->build();
        state.ResumeTiming();
        controller->show();
        untilPainted(controller->window());
        state.PauseTiming();
        controller.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_SettingsWindowFirstOfProcessBuiltBeforeOpen(benchmark::State& state) { openToFirstFrame(state, true); }
void BM_SettingsWindowFirstOfProcessBuiltAtOpen(benchmark::State& state) { openToFirstFrame(state, false); }
void BM_SettingsWindowBuiltBeforeOpen(benchmark::State& state) { openToFirstFrame(state, true); }
void BM_SettingsWindowBuiltAtOpen(benchmark::State& state) { openToFirstFrame(state, false); }

}  // namespace

BENCHMARK(BM_SettingsWindowFirstOfProcessBuiltBeforeOpen)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SettingsWindowFirstOfProcessBuiltAtOpen)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SettingsWindowBuiltBeforeOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SettingsWindowBuiltAtOpen)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
