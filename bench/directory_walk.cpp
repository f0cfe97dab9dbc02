// The directory walker over a generated tree of 1,000,000 files (warm cache): entries per second,
// and how long a running walk takes to stop after a cancel.
#include "Platform/Files/DirectoryWalker.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 1,000 folders of 1,000 small files under /tmp, made once and removed at exit.
struct Tree {
    QTemporaryDir dir{QDir::tempPath() + "/quorvin-walk-XXXXXX"};
    Tree() {
        const int folders = std::getenv("WALK_FOLDERS") ? std::atoi(std::getenv("WALK_FOLDERS")) : 1000;
        for (int f = 0; f < folders; ++f) {
            const QByteArray folder = QFile::encodeName(dir.path()) + "/d" + QByteArray::number(f);
            ::mkdir(folder.constData(), 0755);
            for (int i = 0; i < 1000; ++i) {
                const QByteArray path = folder + "/f" + QByteArray::number(i);
                const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                if (fd >= 0) {
                    if (i % 10 == 0) (void)::write(fd, "data", 4);
                    ::close(fd);
                }
            }
        }
    }
};

long peakRssKb() {
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

Tree& tree() {
    static Tree t;
    return t;
}

void Walk(benchmark::State& state) {
    const QString root = tree().dir.path();
    const long idle = peakRssKb();
    DirectoryWalker::walk(root);  // warm the cache
    std::int64_t entries = 0;
    for (auto _ : state) {
        const auto totals = DirectoryWalker::walk(root);
        entries += totals.entries;
        benchmark::DoNotOptimize(totals.fileBytes);
    }
    state.counters["entries/s"] = benchmark::Counter(double(entries), benchmark::Counter::kIsRate);
    state.counters["peak RSS growth MB"] = double(peakRssKb() - idle) / 1024;
}
BENCHMARK(Walk)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// Time from setting the cancel flag to the walk's return, a quarter of the way into a walk.
void CancelLatency(benchmark::State& state) {
    const QString root = tree().dir.path();
    double worst = 0;
    for (auto _ : state) {
        std::atomic<bool> cancel{false};
        std::chrono::steady_clock::time_point returned;
        std::thread walker([&] {
            DirectoryWalker::walk(root, {.cancel = &cancel});
            returned = std::chrono::steady_clock::now();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const auto asked = std::chrono::steady_clock::now();
        cancel = true;
        walker.join();
        const double ms = std::chrono::duration<double, std::milli>(returned - asked).count();
        worst = std::max(worst, ms);
        state.SetIterationTime(ms / 1000);
    }
    state.counters["worst ms"] = worst;
}
BENCHMARK(CancelLatency)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
