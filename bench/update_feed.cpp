// Decoding the update feed, done at every check and at every start for the kept copy: a feed of
// 1,000 to 60,000 releases (60,000 is about 3 MB, under the size cap). The time should grow with
// the size, not with its square.
#include "Source/Features/Updates/UpdateFeed.h"
#include "Source/Features/Updates/UpdateManager.h"

#include <QCoreApplication>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray feed(int releases) {
    QByteArray body = R"({"latest":{"version":"2.0","build":40,"url":"https://a.test/x.zip","signature":"s","length":1},
"releases":[)";
    for (int i = 0; i < releases; ++i)
        body += (i ? "," : "") + QByteArray(R"({"version":"1.)") + QByteArray::number(i) +
                R"(","date":"May 2027","notes":["A note"]})";
    return body + "]}";
}

void decodeBench(benchmark::State& state) {
    const QByteArray body = feed(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(UpdateFeed::decode(body));
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(decodeBench)->Arg(1000)->Arg(10000)->Arg(60000)->Unit(benchmark::kMillisecond);

// What a check does with the notes: the merge, keeping the newest.
void mergeBench(benchmark::State& state) {
    const QList<Release> releases = UpdateFeed::decode(feed(int(state.range(0))))->releases;
    for (auto _ : state) benchmark::DoNotOptimize(UpdateManager::mergeKept({}, releases));
}
BENCHMARK(mergeBench)->Arg(1000)->Arg(60000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
