#pragma once

#include <QEvent>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>

// Runs the benchmarks inside a Qt application of type App, with the settings and data folders
// in a temporary folder and the offscreen platform unless another is asked for.
template <typename App>
int runBenchmarks(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Counts the paints a widget gets (installed as its event filter).
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// A field of /proc/self/status in KiB ("VmRSS:", "RssAnon:", "VmHWM:"); 0 when it cannot be read.
inline long statusKiB(const char* field) {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field)) return line.mid(qsizetype(strlen(field))).trimmed().split(' ').first().toLong();
    return 0;
}

// Starts the peak resident size (VmHWM) afresh from the current size.
inline void resetPeakResident() {
    QFile clearRefs("/proc/self/clear_refs");
    if (clearRefs.open(QIODevice::WriteOnly)) clearRefs.write("5");
}
