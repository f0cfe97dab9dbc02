// The clipboard popup with one very long text in the history (100 KB, 1 MB, 5 MB of a log):
// opening it up to its first painted frame, and resting on the long text's row until its
// preview is built and painted. Neither may stall the GUI thread; the aim is the same 100 ms
// as for an ordinary history.
#include "Platform/Core/UserDefaults.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Desktop/Workspace.h"
#include "Source/Extensions/ClipboardItemCodable.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"

#include <QApplication>
#include <QDir>
#include <QSaveFile>
#include <QTemporaryDir>

#include "FakeWorkspace.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// A log of about `bytes` characters, in lines of some 40.
QString longLog(qint64 bytes) {
    QString text;
    text.reserve(bytes + 64);
    for (int i = 0; text.size() < bytes; ++i) text += QString::asprintf("%08d the service answered in %d ms\n", i, i % 97);
    return text;
}

// The long text newest, under a few ordinary entries' worth of history.
void writeHistory(const QString& folder, qint64 bytes) {
    QDir().mkpath(folder);
    std::vector<ClipboardItemCodable> records;
    const double now = 780000000.0;
    for (int i = 0; i < 30; ++i) {
        ClipboardItemCodable r;
        r.type = ClipboardItemCodable::ItemType::text;
        r.value = i == 0 ? longLog(bytes) : QString::asprintf("Entry %d: the quick brown fox", i);
        r.copiedAt = now - i;
        r.firstCopiedAt = now - i - 3600;
        r.itemID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        r.copyCount = 1;
        records.push_back(r);
    }
    QSaveFile file(folder + "/history.json");
    if (file.open(QIODevice::WriteOnly)) {
        file.write(ClipboardItemCodable::encodeFile(records));
        file.commit();
    }
}

struct Popup {
    QTemporaryDir dir;
    FakePasteboard pasteboard;
    UserDefaults defaults{QString()};
    FakeWorkspace workspace;
    std::unique_ptr<ClipboardManager> manager;
    std::unique_ptr<ClipboardPopupController> controller;
    QPointF pointer{600, 700};

    explicit Popup(qint64 bytes) {
        Workspace::setShared(&workspace);
        const QString folder = dir.path() + "/ClipboardHistory";
        writeHistory(folder, bytes);
        manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder);
        manager->waitForPendingWrites();
        controller = std::make_unique<ClipboardPopupController>(*manager);
        controller->setPointerSourceForTesting([this] { return pointer; });
        // The first opening of a process also loads fonts: keep it out of the figures.
        open();
        controller->dismiss(true);
        QCoreApplication::processEvents();
    }
    ~Popup() {
        controller->dismiss(true);
        QCoreApplication::processEvents();
        controller.reset();
        manager->waitForPendingWrites();
        manager.reset();
        Workspace::setShared(nullptr);
    }
    void open() {
        controller->show();
        QCoreApplication::processEvents();
        controller->panel()->repaint();
    }
    // The pointer over the middle of the first history row.
    void pointAtFirstRow() {
        const QRectF list = *controller->listRectOnScreen();
        const double top = ClipboardPopupLayout::rowTop(controller->model().history(), 0);
        pointer = QPointF(list.center().x(), list.y() + list.height() - top - 14);
    }
};

void BM_OpenWithLongText(benchmark::State& state) {
    Popup popup(state.range(0) * 1024);
    for (auto _ : state) {
        popup.open();
        state.PauseTiming();
        popup.controller->dismiss(true);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["text_chars"] = double(popup.manager->history()[0].content.textValue().size());
}
BENCHMARK(BM_OpenWithLongText)->Arg(100)->Arg(1024)->Arg(5 * 1024)->Unit(benchmark::kMillisecond);

// The preview's build (measuring, placing, the card and its text) and its first paint.
void BM_PreviewLongText(benchmark::State& state) {
    Popup popup(state.range(0) * 1024);
    popup.open();
    popup.pointAtFirstRow();
    for (auto _ : state) {
        popup.controller->model().applyHighlight(0);
        popup.controller->showPreview(0);
        QCoreApplication::processEvents();
        popup.controller->panel()->repaint();
        state.PauseTiming();
        popup.controller->hidePreview(false);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PreviewLongText)->Arg(100)->Arg(1024)->Arg(5 * 1024)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
