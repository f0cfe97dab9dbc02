// The three stores' files watched under a home folder while another thread makes and removes 2,000
// files a second, in the home folder, in the settings file's folder, or in a folder on no watched
// path: the CPU time the watching costs the process over a fixed span (the churning thread's own
// time left out), and how often a watcher said its file changed (never: the files stay as they are).
#include "BenchSupport.h"

#include "Platform/Files/PathWatcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace {

double processCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double threadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

bool touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("{}") == 2;
}

// Makes and removes `perSecond` files a second in `folder` until stopped; returns its own CPU time.
class Churn {
public:
    Churn(const QString& folder, int perSecond)
        : thread_([this, base = QFile::encodeName(folder) + "/churn-", perSecond] {
              const auto start = std::chrono::steady_clock::now();
              constexpr int batchesPerSecond = 100;
              const int batch = perSecond / batchesPerSecond;
              for (long round = 0; !stop_; ++round) {
                  for (int i = 0; i < batch; ++i) {
                      const QByteArray name = base + QByteArray::number(i);
                      const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                      if (fd >= 0) ::close(fd);
                      ::unlink(name.constData());
                  }
                  std::this_thread::sleep_until(start +
                                                std::chrono::milliseconds((round + 1) * 1000 / batchesPerSecond));
              }
              cpuMs_ = threadCpuMs();
          }) {}
    double stop() {
        stop_ = true;
        thread_.join();
        return cpuMs_;
    }

private:
    std::atomic<bool> stop_{false};
    double cpuMs_ = 0;
    std::thread thread_;
};

// Arg 0: the churn in a folder on no watched path; 1: in the home folder; 2: in the settings file's
// folder.
void WatchWhileHomeChurns(benchmark::State& state) {
    const int seconds = std::getenv("PATH_WATCH_SECONDS") ? std::atoi(std::getenv("PATH_WATCH_SECONDS")) : 5;
    QTemporaryDir root(QDir::tempPath() + "/quorvin-watch-XXXXXX");
    const QString home = root.path() + "/home", unused = root.path() + "/unused";
    QDir().mkpath(unused);
    const QStringList files = {home + "/.local/share/Quorvin/ClipboardHistory/history.json",
                               home + "/.local/share/Quorvin/Snippets/snippets.json", home + "/.config/quorvin.json"};
    for (const QString& file : files)
        if (!touch(file)) state.SkipWithError("cannot make the stores' files");
    std::vector<std::unique_ptr<PathWatcher>> watchers;
    int changes = 0;
    for (const QString& file : files) {
        watchers.push_back(std::make_unique<PathWatcher>([file] { return QStringList{file}; }));
        QObject::connect(watchers.back().get(), &PathWatcher::changed, [&changes] { ++changes; });
    }
    QCoreApplication::processEvents();

    double cpuMs = 0;
    for (auto _ : state) {
        Churn churn(QStringList{unused, home, home + "/.config"}.at(state.range(0)), 2000);
        const double before = processCpuMs();
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double churnMs = churn.stop();
        cpuMs += processCpuMs() - before - churnMs;
    }
    state.counters["cpu_ms"] = cpuMs / double(state.iterations());
    state.counters["cpu_pct"] = cpuMs / double(state.iterations()) / (seconds * 10.0);
    state.counters["changed"] = changes;
}
BENCHMARK(WatchWhileHomeChurns)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
