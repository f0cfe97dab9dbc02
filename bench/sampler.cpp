// One sampling pass (CPU, cores, memory, disk, GPU, sensors) on the live system and on a
// captured desktop tree with a full set of sensors, plus one network reading.
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/SamplingPass.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

QString fixture(const char* name) {
    std::string here = __FILE__;
    here.erase(here.rfind('/'));
    return QString::fromStdString(here + "/../tests/fixtures/" + name);
}

void runPasses(benchmark::State& state, const QString& root) {
    SamplingPass pass(root);
    SamplingPass::Readings readings;
    pass.run(readings);  // finds the sensors, takes the first tick counters
    pass.run(readings);
    const long before = g_allocations.load();
    for (auto _ : state) {
        pass.run(readings);
        benchmark::DoNotOptimize(readings.cpu);
    }
    state.counters["allocs/pass"] =
        benchmark::Counter(double(g_allocations.load() - before) / double(state.iterations()));
}

void BM_SamplingPassLive(benchmark::State& state) { runPasses(state, QStringLiteral("/")); }
BENCHMARK(BM_SamplingPassLive);

void BM_SamplingPassDesktopTree(benchmark::State& state) { runPasses(state, fixture("linux-desktop")); }
BENCHMARK(BM_SamplingPassDesktopTree);

void BM_NetworkReading(benchmark::State& state) {
    NetworkMonitor monitor;
    monitor.sample();
    for (auto _ : state) {
        monitor.sample();
        benchmark::DoNotOptimize(monitor.downloadRate());
    }
}
BENCHMARK(BM_NetworkReading);

}  // namespace

BENCHMARK_MAIN();
