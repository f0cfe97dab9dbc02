// The JSON tool on a 10 MB document: pretty-printing it, reading it, and the first level of its tree;
// and the peak memory of formatting generated 10 MB and 100 MB documents beside jq's on the same files.
#include "Source/Features/Toolbox/JSONNode.h"
#include "Source/Features/Toolbox/JSONTool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A document of about `megabytes` MB as a service would answer: an array of records with nested objects
// and arrays, plain, escaped and non-ASCII strings, integers, decimals, exponents, booleans and nulls.
QByteArray generated(int megabytes) {
    const qsizetype size = qsizetype(megabytes) * 1'000'000;
    static const char* const cities[] = {"Berlin", "Zürich", "Москва", "東京", "São Paulo", "Reykjavík"};
    QByteArray text = "[";
    text.reserve(size + 4096);
    for (int i = 0; text.size() < size; ++i) {
        if (i > 0) text += ',';
        text += QString::asprintf(
                    R"({"id":%d,"uuid":"%08x-%04x-4%03x-a%03x-%012x","active":%s,"balance":%d.%02d,"score":%.3e,)"
                    R"("delta":-%d,"name":"User %d","email":"user%d@example.com","city":"%s",)"
                    R"("bio":"Line one\nLine \"two\" with a tab\tand a slash \/ and \u00e9",)"
                    R"("tags":["t%d","t%d","t%d"],"scores":[%d,%d.5,%d],)"
                    R"("address":{"street":"%d Main St","zip":"%05d","geo":{"lat":%d.%06d,"lng":-%d.%06d}},)"
                    R"("manager":%s,"friends":[{"id":%d,"name":"Friend %d"},{"id":%d,"name":"Friend %d"}]})",
                    i, i * 2654435761u, i % 65536, i % 4096, (i * 7) % 4096, i, i % 3 ? "true" : "false", i % 100000,
                    i % 100, double(i) * 1.234567, i % 977, i, i, cities[i % 6], i % 50, (i + 1) % 50, (i + 2) % 50,
                    i % 100, i % 1000, -i % 10, i % 9999, i % 100000, i % 90, (i * 37) % 1000000, i % 180,
                    (i * 91) % 1000000, i % 7 ? "null" : "{\"id\":1,\"name\":\"Boss\"}", i + 1, i + 1, i + 2, i + 2)
                    .toUtf8();
    }
    return text + ']';
}

// The current and the peak resident size in kB from the kernel's view of this process.
std::pair<long, long> residentKb() {
    long rss = 0, peak = 0;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            std::sscanf(line, "VmRSS: %ld", &rss);
            std::sscanf(line, "VmHWM: %ld", &peak);
        }
        std::fclose(status);
    }
    return {rss, peak};
}

struct Documents {
    QTemporaryDir dir{QDir::tempPath() + "/quorvin-json-XXXXXX"};
    QString path(int megabytes) {
        const QString file = dir.filePath(QString::asprintf("%d.json", megabytes));
        if (!QFile::exists(file)) {
            QFile out(file);
            if (out.open(QIODevice::WriteOnly)) out.write(generated(megabytes));
        }
        return file;
    }
};

Documents& documents() {
    static Documents d;
    return d;
}

// Formatting a generated document of range(0) MB (range(1): 0 prettify, 1 minify) in a fresh process, as
// the toolbox does: the text is in memory as a string, formatted on a worker thread. The peak counts what
// formatting adds to the resident size over the text it was given, the result included.
void formatPeakMemory(benchmark::State& state) {
    const QString path = documents().path(int(state.range(0)));
    const bool minify = state.range(1) == 1;
    for (auto _ : state) {
        int pipe[2];
        if (::pipe(pipe) != 0) return state.SkipWithError("pipe");
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipe[0]);
            QString text;
            {
                QFile in(path);
                if (!in.open(QIODevice::ReadOnly)) ::_exit(1);
                text = QString::fromUtf8(in.readAll());
            }
            // The peak so far is the reading's; from here on it is the formatting's.
            if (FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
                std::fputs("5", clear);
                std::fclose(clear);
            }
            const long before = residentKb().first;
            double seconds = 0;
            bool ok = false;
            std::thread worker([&] {
                const auto start = std::chrono::steady_clock::now();
                const TransformResult<QString> result = minify ? JSONTool::minify(text) : JSONTool::prettify(text);
                seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                ok = result.ok();
            });
            worker.join();
            const double report[] = {seconds, double(residentKb().second - before), double(before), ok ? 1.0 : 0.0};
            (void)::write(pipe[1], report, sizeof report);
            ::_exit(0);
        }
        ::close(pipe[1]);
        double report[4] = {};
        const bool read = ::read(pipe[0], report, sizeof report) == sizeof report;
        ::close(pipe[0]);
        ::waitpid(child, nullptr, 0);
        if (!read || report[3] != 1.0) return state.SkipWithError("formatting failed");
        state.SetIterationTime(report[0]);
        state.counters["peak_growth_MB"] = report[1] / 1024;
        state.counters["text_held_MB"] = report[2] / 1024;
    }
}
BENCHMARK(formatPeakMemory)
    ->ArgsProduct({{10, 100}, {0, 1}})
    ->ArgNames({"MB", "minify"})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// jq formatting the same file to /dev/null: its whole peak resident size.
void jqPeakMemory(benchmark::State& state) {
    const QString jq = QStandardPaths::findExecutable(QStringLiteral("jq"));
    if (jq.isEmpty()) return state.SkipWithError("jq is not installed");
    const QByteArray path = QFile::encodeName(documents().path(int(state.range(0))));
    const QByteArray program = QFile::encodeName(jq);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            if (state.range(1) == 1)
                ::execl(program.constData(), "jq", "-c", ".", path.constData(), nullptr);
            else
                ::execl(program.constData(), "jq", ".", path.constData(), nullptr);
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return state.SkipWithError("jq failed");
        state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024;
    }
}
BENCHMARK(jqPeakMemory)
    ->ArgsProduct({{10, 100}, {0, 1}})
    ->ArgNames({"MB", "minify"})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
