// GUI-thread time of the volume usage scanner with a saved tree of about 211,000 nodes (a full
// disk's "volumeUsage.json", warm cache): from the constructor's call to the tree being published,
// counting only the spans the GUI thread is busy (the constructor, then the event that publishes
// the tree), not the wait in between. Beside it, the work a finished walk costs: copying the tree
// for the save, encoding it, and dropping a replaced tree.
#include "Platform/Core/Clock.h"
#include "Source/Features/System/UsageNode.h"
#include "Source/Features/System/VolumeUsageScanner.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

using Clocked = std::chrono::steady_clock;

double seconds(Clocked::duration d) { return std::chrono::duration<double>(d).count(); }

// Fan-outs per level: 10, 100, 1,000, 10,000 folders, then 200,000 files.
UsageNode branch(const QString& path, int depth) {
    static constexpr int fanOut[] = {10, 10, 10, 10, 20};
    UsageNode node{path.section('/', -1), path, 0, depth < 5, {}};
    if (depth < 5) {
        node.children.reserve(fanOut[depth]);
        for (int i = 0; i < fanOut[depth]; ++i) {
            node.children << branch(path + QString::asprintf("/folder %02d", i), depth + 1);
            node.bytes += node.children.last().bytes;
        }
    } else {
        node.bytes = 20000000.0 + path.size();
    }
    return node;
}

qsizetype count(const UsageNode& node) {
    qsizetype n = 1;
    for (const UsageNode& c : node.children) n += count(c);
    return n;
}

struct Saved {
    QTemporaryDir dir;
    QString store = dir.path() + "/volumeUsage.json";
    UsageNode tree = branch(QStringLiteral("/home/someone/projects"), 0);
    qsizetype bytes = 0;
    Saved() {
        tree.name = VolumeUsageScanner::rootName;
        const QJsonObject stored{{"scannedAt", ReferenceDate::seconds(QDateTime::currentDateTimeUtc())},
                                 {"root", tree.toJson()},
                                 {"unreadable", 3}};
        const QByteArray json = QJsonDocument(stored).toJson(QJsonDocument::Compact);
        QFile file(store);
        if (file.open(QIODevice::WriteOnly)) bytes = file.write(json);
    }
};

Saved& saved() {
    static Saved s;
    return s;
}

void RestoreGuiThread(benchmark::State& state) {
    Saved& s = saved();
    double constructing = 0, publishing = 0, worst = 0;
    {
        // The process's first scanner pays for starting the queue machinery; not what is measured.
        const auto t0 = Clocked::now();
        VolumeUsageScanner first(VolumeUsageScanner::Places{"/nonexistent", {}, s.dir.path() + "/missing.json"});
        state.counters["first scanner ms"] = seconds(Clocked::now() - t0) * 1000;
        first.waitUntilIdle();
        QCoreApplication::processEvents();
    }
    for (auto _ : state) {
        const auto t0 = Clocked::now();
        auto scanner = std::make_unique<VolumeUsageScanner>(VolumeUsageScanner::Places{"/nonexistent", {}, s.store});
        const auto t1 = Clocked::now();
        scanner->waitUntilIdle();  // the GUI thread would be free meanwhile
        const auto t2 = Clocked::now();
        QCoreApplication::processEvents();
        const auto t3 = Clocked::now();
        if (!scanner->root()) state.SkipWithError("no tree restored");
        const double busy = seconds(t1 - t0) + seconds(t3 - t2);
        constructing += seconds(t1 - t0);
        publishing += seconds(t3 - t2);
        worst = std::max({worst, seconds(t1 - t0), seconds(t3 - t2)});
        state.SetIterationTime(busy);
        scanner.reset();
    }
    const double n = double(state.iterations());
    state.counters["constructor ms"] = constructing / n * 1000;
    state.counters["publish event ms"] = publishing / n * 1000;
    state.counters["longest GUI stall ms"] = worst * 1000;
    state.counters["nodes"] = double(count(s.tree));
    state.counters["file MB"] = double(s.bytes) / 1048576.0;
}
BENCHMARK(RestoreGuiThread)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

// Handing the finished tree to the save: a copy shares the nodes' storage.
void CopyTree(benchmark::State& state) {
    const UsageNode& tree = saved().tree;
    for (auto _ : state) {
        UsageNode copy = tree;
        benchmark::DoNotOptimize(copy.children.constData());
    }
}
BENCHMARK(CopyTree)->Unit(benchmark::kNanosecond);

// Encoding the tree for the save (now on the scanner's queue).
void EncodeTree(benchmark::State& state) {
    const UsageNode& tree = saved().tree;
    for (auto _ : state) {
        const QJsonObject stored{{"scannedAt", 1.0}, {"root", tree.toJson()}, {"unreadable", 0}};
        benchmark::DoNotOptimize(QJsonDocument(stored).toJson(QJsonDocument::Compact).size());
    }
}
BENCHMARK(EncodeTree)->Unit(benchmark::kMillisecond)->Iterations(5);

// Dropping a tree that a newer walk replaced, as the GUI thread does when it held the only copy.
void DropTree(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<UsageNode>(branch(QStringLiteral("/home/someone/projects"), 0));
        state.ResumeTiming();
        tree.reset();
    }
}
BENCHMARK(DropTree)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
