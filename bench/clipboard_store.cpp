// The clipboard store's hot paths: loading and saving a history file of 10,000 entries, one
// capture with the history full, start-up over the largest history (its time and peak memory),
// another instance's save of 100,000 entries taken in, and the memory that 1,000 image entries hold.
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Desktop/Workspace.h"
#include "Source/Extensions/ClipboardItemCodable.h"
#include "Source/Features/Clipboard/ClipboardFullImageCache.h"
#include "Source/Features/Clipboard/ClipboardHistoryStore.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/ClipboardPreviewImageCache.h"
#include "Source/Features/Clipboard/ClipboardThumbnailCache.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QUuid>

#include "BenchSupport.h"
#include "ClipboardBenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

using namespace ClipboardBench;

QByteArray png(const QSize& size, int seed) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(seed * 37 % 360, 120, 220));
    QPainter p(&image);
    for (int i = 0; i < 12; ++i)
        p.fillRect((seed * 131 + i * 97) % size.width(), (seed * 71 + i * 53) % size.height(), size.width() / 5,
                   size.height() / 7, QColor::fromHsv((seed + i) * 53 % 360, 200, 160));
    p.end();
    return pngBytes(image);
}

QString sampleText(int i) { return ClipboardBench::sampleText(i, 9); }

// A history file of `count` records: mostly texts, some files, some images that exist.
void writeHistory(const QString& folder, int count, int pinned, int imageEvery) {
    HistoryShape shape;
    shape.count = count;
    shape.pinned = pinned;
    shape.isImage = [imageEvery](int i) { return imageEvery > 0 && i % imageEvery == 1; };
    shape.picture = png(QSize(64, 48), 1);
    shape.pictureSize = QSize(64, 48);
    shape.copyCounts = 4;
    ClipboardBench::writeHistory(folder, shape);
}

struct Store {
    QTemporaryDir dir;
    FakePasteboard pasteboard;
    UserDefaults defaults{QString()};
    EditorInFront workspace;
    std::unique_ptr<ClipboardManager> manager;
    QString folder() const { return dir.path() + "/ClipboardHistory"; }
    Store(int limit) {
        Workspace::setShared(&workspace);
        defaults.setInteger("maxClipboardItems", limit);
        manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder());
        manager->waitForPendingWrites();  // the start-up sweep runs on the image queue
    }
    ~Store() {
        manager->waitForPendingWrites();
        manager.reset();
        Workspace::setShared(nullptr);
    }
    // Writes a history file and loads it, the rewrite after loading included.
    void load(int count, int pinned, int imageEvery) {
        writeHistory(folder(), count, pinned, imageEvery);
        manager->loadHistory(count);
        manager->waitForPendingWrites();
    }
};

void BM_LoadHistory10k(benchmark::State& state) {
    Store store(100);
    writeHistory(store.folder(), 10000, 5, 10);
    for (auto _ : state) {
        store.manager->loadHistory(10000);
        state.PauseTiming();
        if (store.manager->history().size() != 10000) state.SkipWithError("not every record loaded");
        store.manager->waitForPendingWrites();  // the rewrite after loading runs on the image queue
        state.ResumeTiming();
    }
    state.counters["entries"] = double(store.manager->history().size());
    state.counters["file_MiB"] = double(QFileInfo(store.folder() + "/history.json").size()) / 1048576.0;
}
BENCHMARK(BM_LoadHistory10k)->Unit(benchmark::kMillisecond);

// The file format alone: parsing the bytes into records, and records into bytes.
void BM_DecodeFile10k(benchmark::State& state) {
    QTemporaryDir dir;
    writeHistory(dir.path(), 10000, 5, 10);
    QFile file(dir.path() + "/history.json");
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    for (auto _ : state) benchmark::DoNotOptimize(ClipboardItemCodable::decodeFile(bytes));
}
BENCHMARK(BM_DecodeFile10k)->Unit(benchmark::kMillisecond);

void BM_EncodeFile10k(benchmark::State& state) {
    QTemporaryDir dir;
    writeHistory(dir.path(), 10000, 5, 10);
    QFile file(dir.path() + "/history.json");
    file.open(QIODevice::ReadOnly);
    const auto records = *ClipboardItemCodable::decodeFile(file.readAll());
    for (auto _ : state) benchmark::DoNotOptimize(ClipboardItemCodable::encodeFile(records));
}
BENCHMARK(BM_EncodeFile10k)->Unit(benchmark::kMillisecond);

// Encoding on the GUI thread plus the atomic write (with its sync) on the image queue.
void BM_SaveHistory10k(benchmark::State& state) {
    Store store(100);
    store.load(10000, 5, 10);
    for (auto _ : state) {
        store.manager->saveHistory();
        store.manager->waitForPendingWrites();
    }
}
BENCHMARK(BM_SaveHistory10k)->Unit(benchmark::kMillisecond);

// The GUI thread's share of a save: what a capture waits for.
void BM_SaveHistory10kGuiThread(benchmark::State& state) {
    Store store(100);
    store.load(10000, 5, 10);
    for (auto _ : state) {
        store.manager->saveHistory();
        state.PauseTiming();
        store.manager->waitForPendingWrites();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SaveHistory10kGuiThread)->Unit(benchmark::kMillisecond);

// One poll that finds a new text with 200 entries (5 pinned) in the history: the new entry goes
// in, the oldest goes out, and the file is encoded and handed to the writer.
void BM_CaptureNewTextHistoryFull(benchmark::State& state) {
    Store store(200);
    store.load(200, 5, 0);
    int n = 0;
    for (auto _ : state) {
        ++n;
        store.pasteboard.simulateCopyText(QString::asprintf("fresh copy number %d ", n) + sampleText(n));
        store.manager->checkClipboard();
        state.PauseTiming();
        if (n % 64 == 0) store.manager->waitForPendingWrites();
        state.ResumeTiming();
    }
    store.manager->waitForPendingWrites();
    if (store.manager->history().size() != 200) state.SkipWithError("history not at its limit");
}
BENCHMARK(BM_CaptureNewTextHistoryFull)->Unit(benchmark::kMicrosecond);

// The same with a copy equal to an entry near the end: found, merged and moved to the top.
void BM_CaptureRepeatedTextHistoryFull(benchmark::State& state) {
    Store store(200);
    store.load(200, 5, 0);
    int n = 0;
    for (auto _ : state) {
        // The oldest text entry.
        const auto& history = store.manager->history();
        auto last = std::find_if(history.rbegin(), history.rend(), [](const ClipboardItem& i) { return i.content.isText(); });
        store.pasteboard.simulateCopyText(last->content.textValue());
        store.manager->checkClipboard();
        state.PauseTiming();
        if (++n % 64 == 0) store.manager->waitForPendingWrites();
        state.ResumeTiming();
    }
    store.manager->waitForPendingWrites();
    if (store.manager->history()[5].copyCount < 2) state.SkipWithError("the copy was not merged");
}
BENCHMARK(BM_CaptureRepeatedTextHistoryFull)->Unit(benchmark::kMicrosecond);

// A history of `count` texts of a megabyte each (the most a copied text keeps).
void writeLargeHistory(const QString& folder, int count) {
    QDir().mkpath(folder);
    QByteArray bytes = "[";
    const QByteArray megabyte(1 << 20, 'x');
    for (int i = 0; i < count; ++i)
        bytes += R"({"type":"text","value":")" + QByteArray::number(i) + megabyte + R"(","copiedAt":780000000.5},)";
    bytes.back() = ']';
    ClipboardBench::writeFile(folder + "/history.json", bytes);
}

// Start-up over 100 texts of 1 MB: the GUI thread's share (the file is read on the image
// queue), and the whole read as a counter.
void BM_StartUpLargeHistoryGuiThread(benchmark::State& state) {
    QTemporaryDir dir;
    FakePasteboard pasteboard;
    UserDefaults defaults{QString()};
    const QString folder = dir.path() + "/ClipboardHistory";
    writeLargeHistory(folder, 100);
    double readMs = 0;
    for (auto _ : state) {
        QElapsedTimer whole;
        whole.start();
        auto manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder);
        state.PauseTiming();
        manager->waitForPendingWrites();
        readMs = double(whole.elapsed());
        if (manager->history().size() != 100) state.SkipWithError("not every record loaded");
        manager.reset();
        state.ResumeTiming();
    }
    state.counters["read_and_rewrite_ms"] = readMs;
}
BENCHMARK(BM_StartUpLargeHistoryGuiThread)->Unit(benchmark::kMillisecond)->Iterations(3);

// A copy with 100 texts of 1 MB in the history: what the GUI thread spends (the file is
// encoded and written on the image queue).
void BM_CaptureLargeHistoryGuiThread(benchmark::State& state) {
    QTemporaryDir dir;
    FakePasteboard pasteboard;
    UserDefaults defaults{QString()};
    const QString folder = dir.path() + "/ClipboardHistory";
    writeLargeHistory(folder, 100);
    auto manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder);
    manager->waitForPendingWrites();
    int n = 0;
    for (auto _ : state) {
        pasteboard.simulateCopyText(QString::asprintf("copy %d", ++n));
        manager->checkClipboard();
        state.PauseTiming();
        manager->waitForPendingWrites();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CaptureLargeHistoryGuiThread)->Unit(benchmark::kMillisecond)->Iterations(5);

long residentKiB() { return statusKiB("VmRSS:"); }

// The largest history the program writes: 200 texts of 1 MB of control characters, each byte of
// which the file holds as a six-byte escape (1.2 GB).
void writeLargestHistory(const QString& folder) {
    std::vector<ClipboardItemCodable> records;
    for (int i = 0; i < ClipboardSettings::mostItems; ++i) {
        ClipboardItemCodable r;
        QByteArray text(ClipboardManager::maxTextBytes, char(1 + i % 7));
        text[0] = char(1 + i / 7 % 31);
        r.value = QString::fromLatin1(text);
        r.copiedAt = 780000000.5 - i;
        r.itemID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        r.firstCopiedAt = r.copiedAt;
        r.copyCount = 1;
        r.isPinned = false;
        records.push_back(std::move(r));
    }
    QDir().mkpath(folder);
    ClipboardBench::writeFile(folder + "/history.json", ClipboardItemCodable::encodeFile(records));
}

// Start-up over the largest history: how long until the entries are in (read on the image queue)
// and until the rewrite that follows is on disk, and the resident memory at its peak over what
// the program held before, while reading and in all.
void BM_StartUpLargestHistory(benchmark::State& state) {
    QTemporaryDir dir;
    FakePasteboard pasteboard;
    UserDefaults defaults{QString()};
    defaults.setInteger("maxClipboardItems", ClipboardSettings::mostItems);
    const QString folder = dir.path() + "/ClipboardHistory";
    writeLargestHistory(folder);
    double loadMs = 0, rewriteMs = 0, loadPeakMiB = 0, peakMiB = 0;
    for (auto _ : state) {
        const long before = residentKiB();
        resetPeakResident();
        QElapsedTimer whole;
        whole.start();
        auto manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder);
        while (manager->isLoading()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        loadMs = double(whole.elapsed());
        loadPeakMiB = double(statusKiB("VmHWM:") - before) / 1024.0;
        manager->waitForPendingWrites();
        rewriteMs = double(whole.elapsed());
        peakMiB = double(statusKiB("VmHWM:") - before) / 1024.0;
        if (manager->history().size() != size_t(ClipboardSettings::mostItems))
            state.SkipWithError("not every record loaded");
        state.PauseTiming();
        manager.reset();
        state.ResumeTiming();
    }
    state.counters["load_ms"] = loadMs;
    state.counters["load_and_rewrite_ms"] = rewriteMs;
    state.counters["load_peak_rss_growth_MiB"] = loadPeakMiB;
    state.counters["peak_rss_growth_MiB"] = peakMiB;
    state.counters["file_MiB"] = double(QFileInfo(folder + "/history.json").size()) / 1048576.0;
}
BENCHMARK(BM_StartUpLargestHistory)->Unit(benchmark::kMillisecond)->Iterations(1);

// Another instance's save far past the limit (a restored backup, a synced copy, an older build):
// `count` short texts, the newest first, every tenth a repeat of one of the 200 entries here and
// the first five pinned.
QByteArray othersSave(int count, const std::vector<ClipboardItem>& ours) {
    std::vector<ClipboardItemCodable> records;
    records.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        ClipboardItemCodable r;
        r.value = i % 10 == 9 ? ours[size_t(i / 10) % ours.size()].content.textValue()
                              : QString::asprintf("their copy %d", i);
        r.copiedAt = 790000000.0 - i;
        r.firstCopiedAt = r.copiedAt;
        r.itemID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        r.copyCount = 1;
        r.isPinned = i < 5;
        records.push_back(std::move(r));
    }
    return ClipboardItemCodable::encodeFile(records);
}

// The 200 entries here, saved.
std::vector<ClipboardItem> ourEntries(ClipboardHistoryStore& store) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    std::vector<ClipboardItem> ours;
    for (int i = 0; i < 200; ++i)
        ours.push_back(
            ClipboardItem::make(ClipboardContent::text(QString::asprintf("our copy %d", i)), now.addSecs(-i)));
    store.read(200, now);
    store.save(ours, 200);
    store.waitUntilIdle();
    return ours;
}

// The other instance's save of 100,000 entries, put in place by a rename, taken in with 200
// entries here (limit 200): read, held to the limit, merged. The program's folder watcher asks
// for this take-in soon after the other's save.
void BM_TakeInOthersSave(benchmark::State& state) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/ClipboardHistory";
    ClipboardHistoryStore store(folder);
    const std::vector<ClipboardItem> ours = ourEntries(store);
    const QByteArray theirs = othersSave(int(state.range(0)), ours);
    size_t entries = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ClipboardBench::writeFile(store.historyFile(), theirs);
        std::optional<std::vector<ClipboardItem>> merged;
        state.ResumeTiming();
        store.refresh(ours, 200, [&merged](std::vector<ClipboardItem> items) { merged = std::move(items); });
        store.waitUntilIdle();
        QCoreApplication::processEvents();
        state.PauseTiming();
        if (!merged) state.SkipWithError("nothing taken in");
        entries = merged ? merged->size() : 0;
        state.ResumeTiming();
    }
    state.counters["entries_after"] = double(entries);
    state.counters["file_MiB"] = double(theirs.size()) / 1048576.0;
}
BENCHMARK(BM_TakeInOthersSave)->Arg(100000)->Unit(benchmark::kMillisecond);

// The next copy's save over that file: read, merged and written.
void BM_SaveOverOthersSave(benchmark::State& state) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/ClipboardHistory";
    ClipboardHistoryStore store(folder);
    std::vector<ClipboardItem> ours = ourEntries(store);
    const QByteArray theirs = othersSave(int(state.range(0)), ours);
    ours.insert(ours.begin(), ClipboardItem::make(ClipboardContent::text("a copy"), QDateTime::currentDateTimeUtc()));
    qint64 written = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ClipboardBench::writeFile(store.historyFile(), theirs);
        state.ResumeTiming();
        store.save(ours, 200);
        store.waitUntilIdle();
        state.PauseTiming();
        written = QFileInfo(store.historyFile()).size();
        if (written >= theirs.size()) state.SkipWithError("the other's save was not held to the limit");
        state.ResumeTiming();
    }
    state.counters["file_KiB_after"] = double(written) / 1024.0;
}
BENCHMARK(BM_SaveOverOthersSave)->Arg(100000)->Unit(benchmark::kMillisecond);

// Start-up over the same file: until the entries are in and the file is held to the limit.
void BM_StartUpOthersSave(benchmark::State& state) {
    QTemporaryDir dir;
    FakePasteboard pasteboard;
    UserDefaults defaults{QString()};
    defaults.setInteger("maxClipboardItems", 200);
    const QString folder = dir.path() + "/ClipboardHistory";
    std::vector<ClipboardItem> ours;
    for (int i = 0; i < 200; ++i)
        ours.push_back(ClipboardItem::make(ClipboardContent::text(QString::asprintf("our copy %d", i)), {}));
    QDir().mkpath(folder);
    const QByteArray theirs = othersSave(int(state.range(0)), ours);
    size_t entries = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ClipboardBench::writeFile(folder + "/history.json", theirs);
        state.ResumeTiming();
        auto manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder);
        manager->waitForPendingWrites();
        state.PauseTiming();
        entries = manager->history().size();
        manager.reset();
        state.ResumeTiming();
    }
    state.counters["entries_after"] = double(entries);
}
BENCHMARK(BM_StartUpOthersSave)->Arg(100000)->Unit(benchmark::kMillisecond);

// 1,000 image entries of 1280 x 800 pixels (3.9 MiB each when decoded), each looked up through
// all three caches as rows, previews and pastes would: the memory held stays at the caches' limits.
void BM_ImageEntries1000Memory(benchmark::State& state) {
    Store store(100);
    const QString images = store.folder() + "/Images";
    const QByteArray picture = png(QSize(1280, 800), 7);
    std::vector<ClipboardItemCodable> records;
    for (int i = 0; i < 1000; ++i) {
        ClipboardItemCodable r;
        r.type = ClipboardItemCodable::ItemType::image;
        r.value = images + QString::asprintf("/%08X-0000-4000-8000-000000000000.png", i);
        writeFile(r.value, picture);
        r.imageWidth = 1280;
        r.imageHeight = 800;
        r.imageFingerprint = QString::asprintf("%064x", i);
        records.push_back(r);
    }
    writeFile(store.folder() + "/history.json", ClipboardItemCodable::encodeFile(records));
    const long before = residentKiB();
    for (auto _ : state) {
        store.manager->loadHistory(1000);
        for (const ClipboardItem& item : store.manager->history()) {
            const ClipboardImageReference* ref = item.content.imageReference();
            benchmark::DoNotOptimize(ClipboardThumbnailCache::image(item));
            benchmark::DoNotOptimize(ClipboardPreviewImageCache::image(*ref));
            benchmark::DoNotOptimize(ClipboardFullImageCache::image(*ref));
        }
    }
    const long after = residentKiB();
    state.counters["entries"] = double(store.manager->history().size());
    state.counters["rss_growth_MiB"] = double(after - before) / 1024.0;
    state.counters["decoded_if_unbounded_MiB"] = 1000.0 * 1280 * 800 * 4 / 1048576.0;
    state.counters["full_cache_MiB"] = double(ClipboardFullImageCache::cache().totalCost()) / 1048576.0;
    state.counters["preview_cache_MiB"] = double(ClipboardPreviewImageCache::cache().totalCost()) / 1048576.0;
    state.counters["thumb_cache_n"] = double(ClipboardThumbnailCache::cache().count());
}
BENCHMARK(BM_ImageEntries1000Memory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QGuiApplication>(argc, argv); }
