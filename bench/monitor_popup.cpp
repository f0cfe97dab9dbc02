// Opening the system monitor popup over a process list of 500 processes: building the view and
// drawing its first frame; applying one refresh of the list; a hover over the chart.
#include "Platform/Core/Clock.h"
#include "Platform/Desktop/DesktopEntries.h"
#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/ProcessMonitor.h"
#include "Source/Features/System/SystemMonitorPopupController.h"
#include "Source/Features/System/SystemSampler.h"
#include "Views/Monitor/ChartWell.h"
#include "Views/Monitor/MetricChartCard.h"
#include "Views/Monitor/ProcessWell.h"
#include "Views/Shared/KeyablePopupPanel.h"
#include "Views/Monitor/SystemMonitorView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

constexpr int processCount = 500;

struct Synthetic {
    QTemporaryDir dir;
    QString proc() const { return dir.path() + "/proc"; }
    QString applications() const { return dir.path() + "/applications"; }

    static void write(const QString& path, const QByteArray& data) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(data);
    }
    void process(int pid, int ppid, const QByteArray& comm, const QByteArray& exe, quint64 ticks) {
        const QString d = proc() + "/" + QString::number(pid);
        QDir().mkpath(d);
        write(d + "/stat", QByteArray::number(pid) + " (" + comm + ") S " + QByteArray::number(ppid) + " " +
                               QByteArray::number(pid) + " " + QByteArray::number(pid) + " 0 -1 4194560 120 0 0 0 " +
                               QByteArray::number(ticks) + " 0 0 0 20 0 1 0 " + QByteArray::number(1000 + pid) +
                               " 200000000 " + QByteArray::number(pid * 37 % 90000 + 200) +
                               " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
        write(d + "/cmdline", exe + '\0');
        QFile::remove(d + "/exe");
        QFile::link(QString::fromUtf8(exe), d + "/exe");
    }
    // 40 applications with 6 helpers each, and single daemons up to 500 processes.
    void populate(quint64 tick) {
        process(1, 0, "systemd", "/sbin/init", 0);
        int pid = 100, count = 1;
        for (int a = 0; a < 40; ++a) {
            const QByteArray name = "app" + QByteArray::number(a);
            const int main = pid;
            process(pid++, 1, name, "/usr/bin/" + name, tick * (a % 7));
            ++count;
            for (int h = 0; h < 6; ++h, ++count) process(pid++, main, name, "/usr/bin/" + name, tick * (h % 3));
        }
        for (; count < processCount; ++count, ++pid)
            process(pid, 1, "daemon-" + QByteArray::number(pid), "/usr/libexec/daemon-" + QByteArray::number(pid),
                    tick * (pid % 5));
    }
    Synthetic() {
        QDir().mkpath(proc());
        QDir().mkpath(applications());
        write(proc() + "/stat", "cpu 1 2 3 4\nbtime 1700000000\n");
        for (int a = 0; a < 40; ++a)
            write(applications() + QString("/org.example.App%1.desktop").arg(a),
                  "[Desktop Entry]\nType=Application\nName=App " + QByteArray::number(a) + "\nExec=app" +
                      QByteArray::number(a) + " %U\nIcon=utilities-terminal\n");
        populate(0);
    }
};

struct Rig {
    Synthetic synthetic;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::unique_ptr<DesktopEntries> entries;
    std::unique_ptr<ProcessMonitor> monitor;
    std::unique_ptr<SystemSampler> sampler;
    std::unique_ptr<MetricArchive> archive;
    quint64 tick = 0;

    Rig() {
        Clock::setShared(clock);
        entries = std::make_unique<DesktopEntries>(QStringList{synthetic.applications()});
        monitor = std::make_unique<ProcessMonitor>(synthetic.proc(), entries.get());
        sampler = std::make_unique<SystemSampler>(QStringLiteral("/"), nullptr);
        archive = std::make_unique<MetricArchive>(synthetic.dir.path() + "/metrics.log");
        refresh();
        refresh();
        const QDateTime t0 = clock->now();
        for (int i = 0; i < 60; ++i)
            monitor->appendSample(30 + 20 * std::sin(i * 0.3), 8, 55, 60, 1e5 * (1 + std::sin(i * 0.2)), t0.addSecs(i * 2));
    }
    void refresh() {
        tick += 50;
        synthetic.populate(tick);
        clock->advance(2);
        monitor->scheduleProcessRefresh();
        monitor->waitForRefreshes();
    }
    SystemMonitorView::Sources sources() const {
        SystemMonitorView::Sources s;
        s.monitor = monitor.get();
        s.sampler = sampler.get();
        s.archive = archive.get();
        s.physicalMemory = 16.0 * 1024 * 1024 * 1024;
        return s;
    }
};

Rig& rig() {
    static Rig r;
    return r;
}

// The very first opening in the process: icons are looked up in the icon theme, fonts loaded.
void BM_OpenPopupColdFirstFrame(benchmark::State& state) {
    Rig& r = rig();  // outside the measured loop
    for (auto _ : state) {
        auto panel = std::make_unique<KeyablePopupPanel>(QRect(0, 0, 360, 660));
        panel->setAttribute(Qt::WA_TranslucentBackground);
        auto* view = new SystemMonitorView(MonitorTab::cpu, [] {}, r.sources(), panel.get());
        view->setGeometry(0, 0, 360, 660);
        panel->show();
        benchmark::DoNotOptimize(panel->grab());
    }
}
BENCHMARK(BM_OpenPopupColdFirstFrame)->Iterations(1)->Unit(benchmark::kMillisecond);

// From nothing to the first frame painted: the window, the view tree, sorting the groups, the
// rows in view, icons, glass and charts.
void BM_OpenPopupFirstFrame(benchmark::State& state) {
    Rig& r = rig();
    for (auto _ : state) {
        auto panel = std::make_unique<KeyablePopupPanel>(QRect(0, 0, 360, 660));
        panel->setAttribute(Qt::WA_TranslucentBackground);
        auto* view = new SystemMonitorView(MonitorTab(state.range(0)), [] {}, r.sources(), panel.get());
        view->setGeometry(0, 0, 360, 660);
        panel->show();
        benchmark::DoNotOptimize(panel->grab());  // the first frame, painted now
        state.PauseTiming();
        panel.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.counters["groups"] = double(r.monitor->groupedProcesses().size());
}
BENCHMARK(BM_OpenPopupFirstFrame)->Arg(int(MonitorTab::cpu))->Arg(int(MonitorTab::memory))->Arg(int(MonitorTab::stats))
    ->Unit(benchmark::kMillisecond);

// The whole controller path over the machine's own process list.
void BM_ControllerShowFirstFrame(benchmark::State& state) {
    auto& controller = SystemMonitorPopupController::shared();
    for (auto _ : state) {
        controller.show(MonitorTab::cpu);
        benchmark::DoNotOptimize(controller.panel()->grab());
        state.PauseTiming();
        controller.dismiss();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ControllerShowFirstFrame)->Unit(benchmark::kMillisecond);

// What a refresh of the list costs the GUI thread once the monitor has published it: sorting,
// the frozen order and the rows in view.
void BM_ApplyListRefresh(benchmark::State& state) {
    Rig& r = rig();
    QWidget host;
    host.resize(360, 660);
    auto* view = new SystemMonitorView(MonitorTab::cpu, [] {}, r.sources(), &host);
    view->setGeometry(0, 0, 360, 660);
    host.show();
    auto* well = qobject_cast<ProcessWell*>(view->bodyContent());
    for (auto _ : state) {
        well->refreshNow();
        host.repaint();
    }
}
BENCHMARK(BM_ApplyListRefresh)->Unit(benchmark::kMicrosecond);

// A hover over the chart: the slot under the pointer and its value.
void BM_ChartHover(benchmark::State& state) {
    Rig& r = rig();
    QWidget host;
    host.resize(360, 660);
    auto* view = new SystemMonitorView(MonitorTab::cpu, [] {}, r.sources(), &host);
    view->setGeometry(0, 0, 360, 660);
    host.show();
    MetricChartCard* card = qobject_cast<ChartWell*>(view->headerContent())->card();
    double x = 0;
    for (auto _ : state) {
        card->hoverAt(x);
        benchmark::DoNotOptimize(card->accessibilityInspectionValue());
        x = x > 310 ? 0 : x + 3.7;
    }
}
BENCHMARK(BM_ChartHover)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
