// One refresh of the process list over a synthetic proc tree of 1,000 processes (plus kernel
// threads) and an application index of 150 entries.
#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/System/ProcessReader.h"
#include "Source/Features/System/ProcessListBuilder.h"
#include "Source/Features/System/ProcessMonitor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int userProcesses = 1000;
constexpr int kernelThreads = 80;

struct Synthetic {
    QTemporaryDir dir;
    QString proc() const { return dir.path() + "/proc"; }
    QString applications() const { return dir.path() + "/applications"; }

    void writeFile(const QString& path, const QByteArray& data) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(data);
    }

    void addProcess(int pid, int ppid, const QByteArray& comm, const QByteArray& exe, const QList<QByteArray>& args,
                    bool kernel = false) {
        const QString d = proc() + "/" + QString::number(pid);
        QDir().mkpath(d);
        const QByteArray flags = kernel ? "2129984" : "4194560";
        QByteArray stat = QByteArray::number(pid) + " (" + comm + ") S " + QByteArray::number(ppid) + " " +
                          QByteArray::number(pid) + " " + QByteArray::number(pid) + " 0 -1 " + flags +
                          " 120 0 0 0 " + QByteArray::number(pid * 7 % 5000) + " " + QByteArray::number(pid % 300) +
                          " 0 0 20 0 1 0 " + QByteArray::number(1000 + pid) +
                          " 200000000 " + QByteArray::number(pid * 3 % 90000 + 200) + " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
        writeFile(d + "/stat", stat);
        QByteArray cmdline;
        for (const QByteArray& a : args) cmdline += a + '\0';
        writeFile(d + "/cmdline", cmdline);
        if (!exe.isEmpty()) QFile::link(QString::fromUtf8(exe), d + "/exe");
    }

    Synthetic() {
        QDir().mkpath(proc());
        QDir().mkpath(applications());
        writeFile(proc() + "/stat", "cpu 1 2 3 4\nbtime 1700000000\n");
        for (int i = 0; i < 150; ++i) {
            writeFile(applications() + QString("/org.example.App%1.desktop").arg(i),
                      "[Desktop Entry]\nType=Application\nName=App " + QByteArray::number(i) + "\nExec=app" +
                          QByteArray::number(i) + " %U\nIcon=app\nCategories=Utility;" +
                          (i == 0 ? "TerminalEmulator;" : "") + "\n");
        }
        addProcess(1, 0, "systemd", "", {"/sbin/init"});
        addProcess(2, 0, "kthreadd", "", {}, true);
        int pid = 3;
        for (int i = 0; i < kernelThreads; ++i, ++pid) addProcess(pid, 2, "kworker/" + QByteArray::number(i), "", {}, true);
        pid = 500;
        int count = 0;
        auto add = [&](int ppid, const QByteArray& comm, const QByteArray& exe, const QList<QByteArray>& args) {
            addProcess(pid, ppid, comm, exe, args);
            ++count;
            return pid++;
        };
        const int user = add(1, "systemd", "/usr/lib/systemd/systemd", {"/lib/systemd/systemd", "--user"});
        const int shell = add(user, "gnome-shell", "/usr/bin/gnome-shell", {"/usr/bin/gnome-shell"});
        // 40 applications with 12 helpers each, one terminal with shells and commands, and daemons.
        for (int a = 0; a < 40; ++a) {
            const QByteArray name = "app" + QByteArray::number(a);
            const int main = add(shell, name, "/usr/bin/" + name, {"/usr/bin/" + name});
            for (int h = 0; h < 12; ++h)
                add(main, name + "-helper", "/usr/lib/" + name + "/helper", {"/usr/lib/" + name + "/helper", "--type=renderer"});
        }
        for (int s = 0; s < 30; ++s) {
            const int sh = add(500 + 2, "bash", "/usr/bin/bash", {"bash"});
            add(sh, "make", "/usr/bin/make", {"make", "-j8"});
            add(sh, "cc1plus", "/usr/lib/gcc/x86_64-linux-gnu/12/cc1plus", {"cc1plus", "-quiet"});
        }
        while (count < userProcesses)
            add(user, "daemon-" + QByteArray::number(count), "/usr/libexec/daemon-" + QByteArray::number(count),
                {"/usr/libexec/daemon-" + QByteArray::number(count)});
    }
};

Synthetic& synthetic() {
    static Synthetic s;
    return s;
}

DesktopEntries& applications() {
    static DesktopEntries entries(QStringList{synthetic().applications()});
    return entries;
}

// The usual refresh: every process was seen before; only its stat file is read.
void BM_ProcessRefreshSteady(benchmark::State& state) {
    ProcessListBuilder builder(ProcessReader(synthetic().proc()), &applications());
    double now = 0;
    builder.refresh(now, false);
    size_t groups = 0;
    for (auto _ : state) {
        now += 1.0;
        auto result = builder.refresh(now, false);
        groups = result.groups.size();
        benchmark::DoNotOptimize(result);
    }
    state.counters["groups"] = double(groups);
    state.counters["processes"] = double(builder.trackedCount());
}
BENCHMARK(BM_ProcessRefreshSteady)->Unit(benchmark::kMillisecond);

// The first refresh: every process is new (command line, executable, owning application).
void BM_ProcessRefreshCold(benchmark::State& state) {
    for (auto _ : state) {
        ProcessListBuilder builder(ProcessReader(synthetic().proc()), &applications());
        auto result = builder.refresh(0, false);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_ProcessRefreshCold)->Unit(benchmark::kMillisecond);

// Through the monitor: queue hop, grouping and publishing on the GUI thread, snapshot kept.
void BM_ProcessMonitorRefresh(benchmark::State& state) {
    ProcessMonitor monitor(synthetic().proc(), &applications());
    monitor.scheduleProcessRefresh();
    monitor.waitForRefreshes();
    for (auto _ : state) {
        monitor.scheduleProcessRefresh();
        monitor.waitForRefreshes();
    }
    state.counters["groups"] = double(monitor.groupedProcesses().size());
}
BENCHMARK(BM_ProcessMonitorRefresh)->Unit(benchmark::kMillisecond)->UseRealTime();

// The machine's own /proc, for comparison.
void BM_ProcessRefreshLiveProc(benchmark::State& state) {
    ProcessListBuilder builder(ProcessReader(QStringLiteral("/proc")), &applications());
    double now = 0;
    builder.refresh(now, false);
    for (auto _ : state) {
        now += 1.0;
        benchmark::DoNotOptimize(builder.refresh(now, false));
    }
    state.counters["processes"] = double(builder.trackedCount());
}
BENCHMARK(BM_ProcessRefreshLiveProc)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
