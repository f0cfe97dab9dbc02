// Capture from other processes on a real X server (run under X with QT_QPA_PLATFORM=xcb and xclip
// installed): the time from another program's copy to the history, and the memory five 100 MB
// copies cost.
#include "Platform/Core/UserDefaults.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Source/Features/Clipboard/ClipboardManager.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <memory>

#include <sys/resource.h>

namespace {

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// xclip owns the selection with `arguments` until the next copy takes it.
std::unique_ptr<QProcess> xclip(const QStringList& arguments, const QByteArray& input = {}) {
    auto process = std::make_unique<QProcess>();
    process->start("xclip", QStringList{"-selection", "clipboard", "-quiet"} + arguments);
    if (!process->waitForStarted(5000)) return nullptr;
    if (!input.isNull()) process->write(input);
    process->closeWriteChannel();
    return process;
}

void finish(std::unique_ptr<QProcess>& process) {
    if (!process) return;
    process->kill();
    process->waitForFinished(2000);
    process.reset();
}

bool usable(benchmark::State& state) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        state.SkipWithError("needs an X server: run with QT_QPA_PLATFORM=xcb");
        return false;
    }
    if (QStandardPaths::findExecutable("xclip").isEmpty()) {
        state.SkipWithError("needs xclip");
        return false;
    }
    return true;
}

// From the moment xclip holds the selection (measured from its start) to the entry in the history.
void BM_CopyToHistory(benchmark::State& state) {
    if (!usable(state)) return;
    QTemporaryDir dir;
    UserDefaults defaults{QString()};
    ClipboardManager manager(Pasteboard::general(), defaults, dir.path() + "/ClipboardHistory");
    manager.startMonitoring();
    int n = 0;
    std::unique_ptr<QProcess> owner;
    for (auto _ : state) {
        const QString text = QString::asprintf("copy %d", ++n);
        QElapsedTimer timer;
        timer.start();
        owner = xclip({}, text.toUtf8());
        const bool seen = waitFor([&] { return !manager.history().empty() && manager.history()[0].content.textValue() == text; }, 5000);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (!seen) {
            state.SkipWithError("a copy was not recorded");
            break;
        }
    }
    finish(owner);
    manager.waitForPendingWrites();
}
BENCHMARK(BM_CopyToHistory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

// Five copies of 100 MB of text each: the peak resident size and what the history keeps.
void BM_FiveLargeCopies(benchmark::State& state) {
    if (!usable(state)) return;
    QTemporaryDir dir;
    const QString path = dir.path() + "/large.txt";
    UserDefaults defaults{QString()};
    ClipboardManager manager(Pasteboard::general(), defaults, dir.path() + "/ClipboardHistory");
    manager.startMonitoring();
    std::unique_ptr<QProcess> owner;
    qsizetype stored = 0;
    for (auto _ : state) {
        for (int i = 0; i < 5; ++i) {
            {
                QFile file(path);
                if (!file.open(QIODevice::WriteOnly)) break;
                const QByteArray line = QByteArray::number(i) + " the quick brown fox jumps over the lazy dog\n";
                QByteArray block;
                while (block.size() < (1 << 20)) block += line;
                for (int mb = 0; mb < 100; ++mb) file.write(block);
            }
            finish(owner);
            const qsizetype before = qsizetype(manager.history().size());
            owner = xclip({"-i", path});
            if (!waitFor([&] { return qsizetype(manager.history().size()) > before; }, 60000)) {
                state.SkipWithError("a large copy was not recorded");
                break;
            }
            stored = manager.history()[0].content.textValue().toUtf8().size();
        }
    }
    finish(owner);
    manager.waitForPendingWrites();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
    state.counters["stored_text_MB"] = double(stored) / double(1 << 20);
}
BENCHMARK(BM_FiveLargeCopies)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QGuiApplication>(argc, argv); }
