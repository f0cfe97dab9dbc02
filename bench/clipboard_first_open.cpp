// The first opening of the clipboard popup in a fresh process, as after the hot key: the CPU
// time the process spends from show() until a second later (building, the entrance, the first
// paints, thumbnails and icons), then the same for a second opening, which is then left open
// and untouched for three seconds. 200 entries with a few images and file lists. Run it on the display it is about, e.g.
//   QT_QPA_PLATFORM=xcb xvfb-run -a ./bench_clipboard_first_open
#include "Platform/Core/UserDefaults.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Desktop/Workspace.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include "BenchSupport.h"
#include "ClipboardBenchSupport.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>

namespace {

using namespace ClipboardBench;

double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Runs the event loop for a while, sleeping while there is nothing to do.
void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_FirstAndSecondOpening(benchmark::State& state) {
    QTemporaryDir dir;
    FakePasteboard pasteboard;
    UserDefaults defaults{QString()};
    EditorInFront workspace;
    Workspace::setShared(&workspace);
    const QString folder = dir.path() + "/ClipboardHistory";
    QImage picture(1600, 1000, QImage::Format_RGB32);
    picture.fill(QColor(200, 210, 220));
    QPainter(&picture).fillRect(100, 100, 600, 300, QColor(40, 120, 200));
    HistoryShape shape;
    shape.count = 200;
    shape.pinned = 2;
    shape.isImage = [](int i) { return i < 30 && i % 6 == 3; };
    shape.picture = pngBytes(picture);
    shape.pictureSize = picture.size();
    writeHistory(folder, shape);
    auto manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder);
    manager->waitForPendingWrites();
    spin(200);
    auto controller = std::make_unique<ClipboardPopupController>(*manager);
    controller->setPointerSourceForTesting([] { return QPointF(600, 700); });

    for (auto _ : state) {
        for (const char* counter : {"first_cpu_ms", "second_cpu_ms"}) {
            const double before = cpuMs();
            controller->show();
            spin(1000);
            state.counters[counter] = cpuMs() - before;
            if (counter[0] == 's') {
                // Then left alone for three seconds: the share of a core it takes while shown.
                const double idle = cpuMs();
                spin(3000);
                state.counters["untouched_cpu_pct"] = (cpuMs() - idle) / 3000 * 100;
            }
            controller->dismiss(true);
            spin(300);
        }
    }
    controller.reset();
    manager->waitForPendingWrites();
    manager.reset();
    Workspace::setShared(nullptr);
}
BENCHMARK(BM_FirstAndSecondOpening)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
