// The clipboard popup's hot paths with 10,000 entries in the history: opening it at the pointer
// (measuring, placing, building the panel and its views, the entrance and the first paint) and
// typing into its search (filtering, refreshing the list and repainting). The aims are 100 ms for
// the opening and 16 ms a keystroke.
#include "Platform/X11/KeyCodes.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Desktop/Workspace.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "Views/Clipboard/ClipboardRowThumbnails.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "ClipboardBenchSupport.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace ClipboardBench;

// A large screenshot-like PNG: what makes a row thumbnail slow to decode.
QByteArray screenshotPng() {
    QImage image(2400, 1500, QImage::Format_RGB32);
    image.fill(QColor(230, 232, 236));
    QPainter p(&image);
    for (int i = 0; i < 200; ++i)
        p.fillRect((i * 137) % 2300, (i * 71) % 1450, 90, 40, QColor::fromHsv(i * 23 % 360, 120, 200));
    p.end();
    return pngBytes(image);
}

// 10,000 entries: texts of many lengths, file lists, and large images near the top.
void writeHistory(const QString& folder, int count) {
    HistoryShape shape;
    shape.count = count;
    shape.pinned = 3;
    shape.isImage = [](int i) { return i < 40 && i % 4 == 1; };
    shape.picture = screenshotPng();
    shape.pictureSize = QSize(2400, 1500);
    shape.textRepeats = 7;
    ClipboardBench::writeHistory(folder, shape);
}

struct Popup {
    QTemporaryDir dir;
    FakePasteboard pasteboard;
    UserDefaults defaults{QString()};
    EditorInFront workspace;
    std::unique_ptr<ClipboardManager> manager;
    std::unique_ptr<ClipboardPopupController> controller;

    // realWorkspace: the desktop's own workspace (file icons from the icon theme).
    explicit Popup(bool realWorkspace = false) {
        if (!realWorkspace) Workspace::setShared(&workspace);
        const QString folder = dir.path() + "/ClipboardHistory";
        manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder);
        manager->waitForPendingWrites();  // the start-up sweep runs on the image queue
        writeHistory(folder, 10000);
        manager->loadHistory(10000);
        manager->waitForPendingWrites();
        controller = std::make_unique<ClipboardPopupController>(*manager);
        controller->setPointerSourceForTesting([] { return QPointF(600, 700); });
    }
    ~Popup() {
        controller->dismiss(true);
        QCoreApplication::processEvents();
        controller.reset();
        manager->waitForPendingWrites();
        manager.reset();
        Workspace::setShared(nullptr);
    }
};

// Opening: everything up to the first painted frame of the panel. The first opening of the
// process (arg 1) also loads the file-type database and the icon theme for the file rows.
void BM_OpenPopup10k(benchmark::State& state) {
    Popup popup(state.range(0) == 1);
    for (auto _ : state) {
        popup.controller->show();
        QCoreApplication::processEvents();
        popup.controller->panel()->repaint();
        state.PauseTiming();
        popup.controller->dismiss(true);
        ClipboardRowThumbnails::shared().waitForPending();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["entries"] = double(popup.manager->history().size());
}
BENCHMARK(BM_OpenPopup10k)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenPopup10k)->Arg(0)->Unit(benchmark::kMillisecond);

// One keystroke into the search: the list filtered over every entry and redrawn.
void BM_TypeIntoSearch10k(benchmark::State& state) {
    Popup popup;
    popup.controller->show();
    QCoreApplication::processEvents();
    const QString word = QStringLiteral("quick brown");
    int keystrokes = 0;
    for (auto _ : state) {
        const int i = keystrokes % (word.size() + 1);
        if (i == word.size()) {
            state.PauseTiming();
            popup.controller->model().setSearchQuery(QString());
            QCoreApplication::processEvents();
            state.ResumeTiming();
        } else {
            popup.controller->handleTappedKey(KeyCodes::kVK_ANSI_A, 0, word.mid(i, 1));
        }
        QCoreApplication::processEvents();
        popup.controller->panel()->repaint();
        ++keystrokes;
    }
    state.counters["rows_after_last_key"] = double(popup.controller->model().history().size());
}
BENCHMARK(BM_TypeIntoSearch10k)->Unit(benchmark::kMillisecond);

// The filtering alone, a query matching few entries and one matching most.
void BM_FilterOnly10k(benchmark::State& state) {
    Popup popup;
    const QString query = state.range(0) == 0 ? QStringLiteral("entry 99") : QStringLiteral("fox");
    for (auto _ : state) {
        popup.controller->model().setSearchQuery(query);
        state.PauseTiming();
        popup.controller->model().setSearchQuery(QString());
        state.ResumeTiming();
    }
    popup.controller->model().setSearchQuery(query);
    state.counters["matches"] = double(popup.controller->model().history().size());
}
BENCHMARK(BM_FilterOnly10k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
