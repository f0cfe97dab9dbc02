// The JSON tool on a 10 MB document: pretty-printing it, reading it, and the first level of its tree.
#include "Source/Features/Toolbox/JSONNode.h"
#include "Source/Features/Toolbox/JSONTool.h"

#include <QCoreApplication>

#include <algorithm>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

namespace {

// An array of records (range 0) or an object of as many members (range 1), about 10 MB either way.
QString document(bool keyed) {
    QString text = keyed ? QStringLiteral("{") : QStringLiteral("[");
    for (int i = 0; text.size() < 10'000'000; ++i) {
        if (i > 0) text += u',';
        if (keyed) text += QString::asprintf("\"key-%07d\":", (i * 7919) % 1000003);
        text += QString::asprintf(
            R"({"id":%d,"name":"Запись %d","price":%d.%02d,"ok":%s,"tags":["alpha","beta/gamma","日本"],)"
            R"("owner":{"first":"Anna","last":"Müller","age":%d,"note":null}})",
            i, i, i % 1000, i % 100, i % 2 ? "true" : "false", 20 + i % 50);
    }
    return text + (keyed ? u'}' : u']');
}

const QString& sample(bool keyed) {
    static const QString array = document(false), object = document(true);
    return keyed ? object : array;
}

void prettifyBench(benchmark::State& state) {
    const QString& text = sample(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(JSONTool::prettify(text));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(prettifyBench)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void parseBench(benchmark::State& state) {
    const QString& text = sample(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(JSONTool::parse(text));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(parseBench)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The tree's first level from the parsed document: the root node, its children and the nodes of a
// first screen of rows. Members are put in order first, as the pane does off the GUI thread.
void firstLevelBench(benchmark::State& state) {
    JSONValue parsed = JSONTool::parse(sample(state.range(0))).value();
    JSONNode::arrange(parsed);
    std::unique_ptr<JSONNode> root;
    for (auto _ : state) {
        state.PauseTiming();
        root.reset();
        JSONValue value = parsed;
        state.ResumeTiming();
        root = std::make_unique<JSONNode>(std::move(value), true);
        root->loadChildrenIfNeeded();
        for (qsizetype i = 0; i < std::min<qsizetype>(40, root->children()->size()); ++i) {
            benchmark::DoNotOptimize(root->children()->at(i));
        }
    }
}
BENCHMARK(firstLevelBench)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
