// The memory a huge history file costs: another program's write of 200 MB or 1 GB (texts of about
// 1 KB, a few pins, 100 entries kept) taken in by a running program, and a start over it. Counted
// from /proc/self/status: the anonymous memory resident once it is in, and the peak on the way.
// Run one benchmark per process (--benchmark_filter), so that one's heap is not the next one's.
#include "Platform/Core/UserDefaults.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Desktop/Workspace.h"
#include "Platform/System/OwnMemory.h"
#include "Source/Features/Clipboard/ClipboardManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QThread>
#include <QUuid>

#include "BenchSupport.h"
#include "ClipboardBenchSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

double mib(long kib) { return double(kib) / 1024.0; }

// Another program's history file of about `megabytes`: texts of about 1 KB, the newest first and
// newer than anything here, three of them pinned (the first, one a third in, one near the end).
// Written a few megabytes at a time and put in place by a rename, so that this process never
// holds it. Gives how many records it holds.
int writeHugeHistory(const QString& path, qint64 megabytes) {
    const QString partial = path + ".partial";
    QFile file(partial);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    const qint64 target = megabytes << 20;
    const QByteArray filler = QByteArray("the quick brown fox jumps over the lazy dog ").repeated(22);  // 968 bytes
    const int estimate = int(target / (filler.size() + 230));
    QByteArray chunk;
    chunk.reserve(5 << 20);
    chunk += '[';
    qint64 written = 0;
    int count = 0;
    for (; written + chunk.size() < target; ++count) {
        if (count > 0) chunk += ',';
        const bool pinned = count == 0 || count == estimate / 3 || count == estimate - 10;
        const double copiedAt = 800000000.0 - count;
        chunk += R"({"type":"text","value":")" + QByteArray::number(count) + ' ' + filler + R"(","copiedAt":)" +
                 QByteArray::number(copiedAt, 'f', 3) + R"(,"itemID":")" +
                 QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toLatin1() + R"(","firstCopiedAt":)" +
                 QByteArray::number(copiedAt - 60, 'f', 3) + R"(,"sourceApp":"Editor","copyCount":1,"isPinned":)" +
                 (pinned ? "true" : "false") + '}';
        if (chunk.size() >= (4 << 20)) {
            written += file.write(chunk);
            chunk.clear();
        }
    }
    chunk += ']';
    file.write(chunk);
    file.close();
    QFile::remove(path);
    return QFile::rename(partial, path) ? count : 0;
}

struct Program {
    FakePasteboard pasteboard;
    UserDefaults defaults{QString()};
    ClipboardBench::EditorInFront workspace;
    std::unique_ptr<ClipboardManager> manager;
    Program() {
        Workspace::setShared(&workspace);
        defaults.setInteger("maxClipboardItems", 100);
    }
    ~Program() {
        if (manager) manager->waitForPendingWrites();
        manager.reset();
        Workspace::setShared(nullptr);
    }
    void start(const QString& folder) {
        manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder);
        manager->startMonitoring();
    }
    void copy(const QString& text) {
        pasteboard.simulateCopyText(text);
        manager->checkClipboard();
    }
    // Runs the event loop until `done` or `ms` pass.
    static bool spinUntil(const std::function<bool()>& done, int ms) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > ms) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(2);
        }
        return true;
    }
};

// The file holds the text, and is no longer the huge one.
bool onDisk(const QString& file, const QString& text) {
    if (QFileInfo(file).size() > (16 << 20)) return false;
    QFile in(file);
    return in.open(QIODevice::ReadOnly) && in.readAll().contains(text.toUtf8());
}

// A running program with 100 entries of its own takes in another program's write of the size
// given (in MB), noticed by its watch on the file: the anonymous memory resident once it is in
// (and a second later, and after its next copy is saved), and its peak over what it held before.
void BM_TakeInHugeHistory(benchmark::State& state) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/ClipboardHistory";
    const QString file = folder + "/history.json";
    const QString huge = dir.path() + "/huge.json";
    const int records = writeHugeHistory(huge, state.range(0));
    for (auto _ : state) {
        Program program;
        program.start(folder);
        program.manager->waitForPendingWrites();
        for (int i = 0; i < 100; ++i) program.copy(QString::asprintf("our copy %d ", i) + QString(1000, 'o'));
        program.manager->waitForPendingWrites();
        Program::spinUntil([] { return false; }, 500);  // the watch's own settle
        QFile::remove(file + ".tmp");
        if (!QFile::copy(huge, file + ".tmp")) {
            state.SkipWithError("cannot copy the file");
            return;
        }
        const long before = statusKiB("RssAnon:");
        resetPeakResident();
        QElapsedTimer timer;
        timer.start();
        if (::rename(QFile::encodeName(file + ".tmp").constData(), QFile::encodeName(file).constData()) != 0) {
            state.SkipWithError("cannot put the file in place");
            return;
        }
        const bool takenIn = Program::spinUntil(
            [&] { return program.manager->history().front().content.textValue().startsWith("0 the quick"); }, 300000);
        if (!takenIn) state.SkipWithError("the other's write was not taken in");
        const double takeInMs = double(timer.elapsed());
        program.manager->waitForPendingWrites();
        const long after = statusKiB("RssAnon:");
        Program::spinUntil([] { return false; }, 1000);
        const long later = statusKiB("RssAnon:");
        const long peak = statusKiB("VmHWM:");
        program.copy("a copy after the take-in");
        const bool saved = Program::spinUntil([&] { return onDisk(file, "a copy after the take-in"); }, 300000);
        if (!saved) state.SkipWithError("the next copy was not saved");
        const long afterSave = statusKiB("RssAnon:");
        OwnMemory::returnFreePages();  // what of it the allocator keeps free rather than in use
        state.counters["rss_anon_in_use_MiB"] = mib(statusKiB("RssAnon:"));
        state.counters["entries"] = double(program.manager->history().size());
        state.counters["records_in_file"] = records;
        state.counters["file_MiB"] = double(QFileInfo(huge).size()) / 1048576.0;
        state.counters["take_in_ms"] = takeInMs;
        state.counters["rss_anon_before_MiB"] = mib(before);
        state.counters["rss_anon_after_MiB"] = mib(after);
        state.counters["rss_anon_1s_later_MiB"] = mib(later);
        state.counters["rss_anon_after_next_save_MiB"] = mib(afterSave);
        state.counters["peak_rss_MiB"] = mib(peak);
    }
}
BENCHMARK(BM_TakeInHugeHistory)->Arg(200)->Arg(1024)->Unit(benchmark::kMillisecond)->Iterations(1);

// A start over another program's write of the size given (in MB), with a copy made at once: how
// long until that copy is on disk, the peak resident size, and the anonymous memory once it is.
void BM_StartOverHugeHistory(benchmark::State& state) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/ClipboardHistory";
    const QString file = folder + "/history.json";
    QDir().mkpath(folder);
    const int records = writeHugeHistory(file, state.range(0));
    for (auto _ : state) {
        Program program;
        const long before = statusKiB("RssAnon:");
        resetPeakResident();
        QElapsedTimer timer;
        timer.start();
        program.start(folder);
        program.copy("the first copy");
        double loadMs = -1;
        const bool saved = Program::spinUntil(
            [&] {
                if (loadMs < 0 && !program.manager->isLoading()) loadMs = double(timer.elapsed());
                return onDisk(file, "the first copy");
            },
            300000);
        if (!saved) state.SkipWithError("the first copy was not saved");
        const double savedMs = double(timer.elapsed());
        program.manager->waitForPendingWrites();
        Program::spinUntil([] { return false; }, 1000);
        state.counters["entries"] = double(program.manager->history().size());
        state.counters["records_in_file"] = records;
        state.counters["load_ms"] = loadMs;
        state.counters["first_copy_on_disk_ms"] = savedMs;
        state.counters["rss_anon_before_MiB"] = mib(before);
        state.counters["rss_anon_after_MiB"] = mib(statusKiB("RssAnon:"));
        state.counters["peak_rss_MiB"] = mib(statusKiB("VmHWM:"));
        // What of it the allocator keeps free rather than in use.
        OwnMemory::returnFreePages();
        state.counters["rss_anon_in_use_MiB"] = mib(statusKiB("RssAnon:"));
    }
}
BENCHMARK(BM_StartOverHugeHistory)->Arg(200)->Arg(1024)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    OwnMemory::keepResidentSmall();  // as the program does
    return runBenchmarks<QGuiApplication>(argc, argv);
}
