// Memory held by the process monitor with the monitor open over 3,000 processes: refreshes every
// 4 s of a simulated clock (the default interval) for 5 and then 10 minutes, then the list stops
// as when the popup closes. Each refresh a tenth of the processes change their CPU time and
// resident size, and 10 processes end while 10 new ones start.
// Figures (MB): heap in use (malloc's own count) and resident size, as growth over the figure
// after the first refresh (heap_*) and as absolute values (rss_*).
#include "Platform/Core/Clock.h"
#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/System/ProcessReader.h"
#include "Source/Features/System/ProcessHistory.h"
#include "Source/Features/System/ProcessListBuilder.h"
#include "Source/Features/System/ProcessMonitor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {

constexpr int processCount = 3000;
constexpr double refreshPeriod = 4;  // seconds, the list period at the default interval
constexpr int changedPerRefresh = processCount / 10;
constexpr int churnPerRefresh = 10;

double megabytes(double bytes) { return bytes / 1048576.0; }

double heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd);
}

double residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) : 0;
}

// A proc tree of processCount user processes: 60 applications with 20 helpers each, 400 daemons,
// shells with sleeping children, whose counters the benchmark moves.
class SyntheticProc {
public:
    SyntheticProc() {
        QDir().mkpath(proc());
        QDir().mkpath(applications());
        writeFile(proc() + "/stat", "cpu 1 2 3 4\nbtime 1700000000\n");
        for (int i = 0; i < 60; ++i)
            writeFile(applications() + QString("/org.example.App%1.desktop").arg(i),
                      "[Desktop Entry]\nType=Application\nName=App " + QByteArray::number(i) + "\nExec=app" +
                          QByteArray::number(i) + " %U\nIcon=app\n");
        add(1, 0, "systemd", {"/sbin/init"});
        user_ = add(10, 1, "systemd", {"/lib/systemd/systemd", "--user"});  // 2 would be the kernel's thread parent
        int pid = 100;
        for (int a = 0; a < 60; ++a) {
            const QByteArray name = "app" + QByteArray::number(a);
            const int main = add(pid++, user_, name, {"/usr/bin/" + name});
            for (int h = 0; h < 20; ++h) add(pid++, main, name + "-helper", {"/usr/lib/" + name + "/helper"});
        }
        for (int d = 0; d < 400; ++d)
            add(pid++, user_, "daemon-" + QByteArray::number(d), {"/usr/libexec/daemon-" + QByteArray::number(d)});
        int shell = 0;
        while (int(pids_.size()) < processCount) {
            if (int(pids_.size()) % 50 == 0) shell = add(pid++, user_, "bash", {"bash"});
            else add(pid++, shell, "sleep", {"sleep", "3600"});
        }
        nextPid_ = pid;
    }

    QString proc() const { return dir_.path() + "/proc"; }
    QString applications() const { return dir_.path() + "/applications"; }

    // One refresh period: some processes use CPU and change size, a few end and start.
    void step() {
        ++step_;
        for (int i = 0; i < changedPerRefresh; ++i) {
            Process& p = processes_[size_t((step_ * changedPerRefresh + i) % int(processes_.size()))];
            p.ticks += 1 + (p.pid + step_) % 40;
            p.pages = 200 + (p.pid * 7 + step_ * 13) % 30000;
            writeStat(p);
        }
        for (int i = 0; i < churnPerRefresh; ++i) {
            const size_t victim = size_t(700 + (step_ * churnPerRefresh + i) % 1500);  // daemons and sleeps
            Process& p = processes_[victim];
            QDir(proc() + "/" + QString::number(p.pid)).removeRecursively();
            const int parent = p.ppid;
            const QByteArray comm = p.comm;
            const QList<QByteArray> args = p.args;
            processes_[victim] = make(nextPid_++, parent, comm, args);
        }
    }

private:
    struct Process {
        int pid = 0, ppid = 0;
        QByteArray comm;
        QList<QByteArray> args;
        long long ticks = 0, pages = 0, start = 0;
    };

    static void writeFile(const QString& path, const QByteArray& data) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(data);
    }

    void writeStat(const Process& p) {
        const QByteArray stat = QByteArray::number(p.pid) + " (" + p.comm + ") S " + QByteArray::number(p.ppid) +
                                " 1 1 0 -1 4194560 120 0 0 0 " + QByteArray::number(p.ticks) + " 0 0 0 20 0 1 0 " +
                                QByteArray::number(p.start) + " 200000000 " + QByteArray::number(p.pages) +
                                " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
        writeFile(proc() + "/" + QString::number(p.pid) + "/stat", stat);
    }

    Process make(int pid, int ppid, const QByteArray& comm, const QList<QByteArray>& args) {
        Process p{pid, ppid, comm, args, 0, 200 + pid % 3000, 1000 + pid};
        const QString d = proc() + "/" + QString::number(pid);
        QDir().mkpath(d);
        writeStat(p);
        QByteArray cmdline;
        for (const QByteArray& a : args) cmdline += a + '\0';
        writeFile(d + "/cmdline", cmdline);
        writeFile(d + "/comm", comm + "\n");
        return p;
    }

    int add(int pid, int ppid, const QByteArray& comm, const QList<QByteArray>& args) {
        processes_.push_back(make(pid, ppid, comm, args));
        pids_.push_back(pid);
        return pid;
    }

    QTemporaryDir dir_;
    std::vector<Process> processes_;
    std::vector<int> pids_;
    int user_ = 0, nextPid_ = 0, step_ = 0;
};

void BM_ProcessHistoryOpenMonitor(benchmark::State& state) {
    for (auto _ : state) {
        SyntheticProc tree;
        state.counters["rss_idle"] = megabytes(residentBytes());
        DesktopEntries entries(QStringList{tree.applications()});
        auto clock = std::make_shared<FakeClock>();
        Clock::setShared(clock);
        auto monitor = std::make_unique<ProcessMonitor>(tree.proc(), &entries);

        auto refreshFor = [&](double seconds) {
            for (double t = 0; t < seconds; t += refreshPeriod) {
                tree.step();
                clock->advance(refreshPeriod);
                monitor->scheduleProcessRefresh();
                monitor->waitForRefreshes();
            }
        };
        monitor->startProcessList();
        monitor->waitForRefreshes();
        const double heap0 = heapInUse();
        state.counters["rss_first_refresh"] = megabytes(residentBytes());
        state.counters["groups"] = double(monitor->groupedProcesses().size());

        refreshFor(5 * 60);
        state.counters["heap_5min"] = megabytes(heapInUse() - heap0);
        state.counters["rss_5min"] = megabytes(residentBytes());
        refreshFor(5 * 60);
        state.counters["heap_10min"] = megabytes(heapInUse() - heap0);
        state.counters["history_10min"] = megabytes(double(monitor->processHistory().bytesHeld()));
        state.counters["rss_10min"] = megabytes(residentBytes());

        monitor->stopProcessList();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        state.counters["heap_closed"] = megabytes(heapInUse() - heap0);
        state.counters["rss_closed"] = megabytes(residentBytes());

        monitor.reset();
        Clock::setShared(nullptr);
    }
}
BENCHMARK(BM_ProcessHistoryOpenMonitor)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Storing one refresh of 3,000 processes in a full history (on the GUI thread, once per refresh).
void BM_ProcessHistoryAppend(benchmark::State& state) {
    SyntheticProc tree;
    DesktopEntries entries(QStringList{tree.applications()});
    ProcessListBuilder builder(ProcessReader(tree.proc()), &entries);
    std::vector<std::vector<GroupedProcessInfo>> lists;
    double now = 0;
    for (int i = 0; i < 8; ++i, now += refreshPeriod) {
        tree.step();
        lists.push_back(builder.refresh(now, false).groups);
    }
    ProcessHistory history(ProcessMonitor::historyLength);
    const QDateTime start = QDateTime::currentDateTimeUtc();
    int n = 0;
    for (auto _ : state) {
        history.append(start.addSecs(4 * n), lists[size_t(n) % lists.size()]);
        ++n;
    }
    state.counters["history_mb"] = megabytes(double(history.bytesHeld()));
}
BENCHMARK(BM_ProcessHistoryAppend)->Unit(benchmark::kMillisecond);

// Reading back the groups of a pinned moment (each time the pinned list is drawn).
void BM_ProcessHistoryClosest(benchmark::State& state) {
    SyntheticProc tree;
    DesktopEntries entries(QStringList{tree.applications()});
    ProcessListBuilder builder(ProcessReader(tree.proc()), &entries);
    ProcessHistory history(ProcessMonitor::historyLength);
    const QDateTime start = QDateTime::currentDateTimeUtc();
    double now = 0;
    for (int i = 0; i < int(ProcessMonitor::historyLength); ++i, now += refreshPeriod) {
        tree.step();
        history.append(start.addSecs(4 * i), builder.refresh(now, false).groups);
    }
    for (auto _ : state) benchmark::DoNotOptimize(history.groupsClosestTo(start.addSecs(100)));
}
BENCHMARK(BM_ProcessHistoryClosest)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
