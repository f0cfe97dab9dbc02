// Opening the system monitor popup over a process list of 500 processes: building the view and
// drawing its first frame; applying one refresh of the list; a hover over the chart; the frames
// a refresh with changing figures causes until the list is still again; the popup left open.
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
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <map>
#include <memory>
#include <optional>

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
    void process(int pid, int ppid, const QByteArray& comm, const QByteArray& exe, quint64 ticks, quint64 pages = 0) {
        const QString d = proc() + "/" + QString::number(pid);
        QDir().mkpath(d);
        write(d + "/stat", QByteArray::number(pid) + " (" + comm + ") S " + QByteArray::number(ppid) + " " +
                               QByteArray::number(pid) + " " + QByteArray::number(pid) + " 0 -1 4194560 120 0 0 0 " +
                               QByteArray::number(ticks) + " 0 0 0 20 0 1 0 " + QByteArray::number(1000 + pid) +
                               " 200000000 " + QByteArray::number(pages ? pages : pid * 37 % 90000 + 200) +
                               " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
        write(d + "/cmdline", exe + '\0');
        QFile::remove(d + "/exe");
        QFile::link(QString::fromUtf8(exe), d + "/exe");
    }
    // 40 applications with 6 helpers each, and single daemons up to 500 processes. Each process
    // gets the ticks its rate gives; with a round number, rates and sizes change from round to
    // round, as on a busy machine.
    void populate(quint64 tick, std::optional<int> round = std::nullopt) {
        auto ticks = [&](int pid, quint64 rate) {
            if (!round) return tick * rate;
            quint64& total = changing[pid];
            total += quint64((pid * 31 + *round * 17) % 90);
            return total;
        };
        auto pages = [&](int pid) { return round ? quint64((pid * 37 + *round * 1301) % 90000 + 200) : 0; };
        process(1, 0, "systemd", "/sbin/init", 0);
        int pid = 100, count = 1;
        for (int a = 0; a < 40; ++a) {
            const QByteArray name = "app" + QByteArray::number(a);
            const int main = pid;
            process(pid, 1, name, "/usr/bin/" + name, ticks(pid, a % 7), pages(pid));
            ++pid;
            ++count;
            for (int h = 0; h < 6; ++h, ++count, ++pid)
                process(pid, main, name, "/usr/bin/" + name, ticks(pid, h % 3), pages(pid));
        }
        for (; count < processCount; ++count, ++pid)
            process(pid, 1, "daemon-" + QByteArray::number(pid), "/usr/libexec/daemon-" + QByteArray::number(pid),
                    ticks(pid, pid % 5), pages(pid));
    }
    std::map<int, quint64> changing;
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
    int round = 0;

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
    // One refresh 2 s after the last; with changing figures, every rate and size moves.
    void refresh(bool changingFigures = false) {
        tick += 50;
        synthetic.populate(tick, changingFigures ? std::optional<int>(++round) : std::nullopt);
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

// Paint events and window frames, counted as they are delivered; with QUORVIN_PAINTS_BY_CLASS set,
// the paint events of each widget class are printed at the end.
class AppPaintCounter : public QObject {
public:
    AppPaintCounter() { qApp->installEventFilter(this); }
    ~AppPaintCounter() override {
        qApp->removeEventFilter(this);
        for (const auto& [type, n] : byClass) fprintf(stderr, "%s %d\n", type.constData(), n);
    }
    void reset() {
        counts = Counts{};
        lastPaint_.invalidate();
    }
    struct Counts {
        int paints = 0;       // paint events, all widgets
        int cellPaints = 0;   // of the figure cells
        int cardPaints = 0;   // of the glass cards behind the list
        int frames = 0;       // window updates
        double pixels = 0;    // area painted
        int timers = 0;       // timer events: the GUI thread woken by a timer
    };
    Counts counts;
    QElapsedTimer lastPaint_;
    std::map<QByteArray, int> byClass;


    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Paint: {
            ++counts.paints;
            const QRect r = static_cast<QPaintEvent*>(event)->rect();
            counts.pixels += double(r.width()) * r.height();
            const char* type = watched->metaObject()->className();
            if (qstrcmp(type, "NumericTextCell") == 0) ++counts.cellPaints;
            if (qstrcmp(type, "GlassCard") == 0) ++counts.cardPaints;
            if (qEnvironmentVariableIsSet("QUORVIN_PAINTS_BY_CLASS")) byClass[type]++;
            lastPaint_.start();
            break;
        }
        case QEvent::UpdateRequest: ++counts.frames; break;
        case QEvent::Timer: ++counts.timers; break;
        default: break;
        }
        return false;
    }
};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

// Runs the event loop until nothing has been painted for quietMs (or limitMs have passed);
// returns the milliseconds from the start until the last paint.
double runUntilStill(AppPaintCounter& counter, int quietMs = 150, int limitMs = 3000) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const qint64 sincePaint = counter.lastPaint_.isValid() ? counter.lastPaint_.elapsed() : clock.elapsed();
        if (sincePaint > quietMs || clock.elapsed() > limitMs) loop.quit();
    });
    poll.start(10);
    loop.exec();
    return counter.lastPaint_.isValid() ? double(clock.elapsed() - counter.lastPaint_.elapsed()) : 0.0;
}

// A popup window as the controller makes it, over the rig's process list.
struct OpenPopup {
    KeyablePopupPanel panel{QRect(0, 0, 360, 660)};
    SystemMonitorView* view;
    explicit OpenPopup(Rig& r) {
        panel.setAttribute(Qt::WA_TranslucentBackground);
        view = new SystemMonitorView(MonitorTab::cpu, [] {}, r.sources(), &panel);
        view->setGeometry(0, 0, 360, 660);
        panel.show();
        QCoreApplication::processEvents();
    }
    ProcessWell* well() const { return qobject_cast<ProcessWell*>(view->bodyContent()); }
};

// A refresh whose CPU and memory figures all change, applied to the open list, and everything
// it sets moving until the window is still again: frames, paint events (of the figure cells,
// of the glass cards behind them), area painted, time until the last paint and CPU time.
void BM_ListRefreshWithChangingFigures(benchmark::State& state) {
    Rig& r = rig();
    OpenPopup popup(r);
    AppPaintCounter counter;
    runUntilStill(counter);
    AppPaintCounter::Counts total;
    double settle = 0, cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        r.refresh(true);
        QCoreApplication::processEvents();
        counter.reset();
        state.ResumeTiming();
        const double cpu0 = cpuSeconds();
        popup.well()->refreshNow();
        settle += runUntilStill(counter);
        cpu += cpuSeconds() - cpu0;
        total.paints += counter.counts.paints;
        total.cellPaints += counter.counts.cellPaints;
        total.cardPaints += counter.counts.cardPaints;
        total.frames += counter.counts.frames;
        total.pixels += counter.counts.pixels;
    }
    const double n = double(state.iterations());
    state.counters["frames"] = total.frames / n;
    state.counters["paints"] = total.paints / n;
    state.counters["cellPaints"] = total.cellPaints / n;
    state.counters["cardPaints"] = total.cardPaints / n;
    state.counters["kpixels"] = total.pixels / n / 1000;
    state.counters["settleMs"] = settle / n;
    state.counters["cpuMs"] = cpu / n * 1000;
}
BENCHMARK(BM_ListRefreshWithChangingFigures)->Iterations(8)->Unit(benchmark::kMillisecond);

// The popup left open for N seconds with a refresh every 2 s (figures changing, or not): the
// share of a core the GUI thread takes (the synthetic tree's refresh itself left out), frames,
// paint events and timer wake-ups a second.
void BM_PopupOpenFor(benchmark::State& state) {
    Rig& r = rig();
    const int seconds = int(state.range(0));
    const bool changing = state.range(1) != 0;
    for (auto _ : state) {
        OpenPopup popup(r);
        AppPaintCounter counter;
        runUntilStill(counter);
        counter.reset();
        double refreshing = 0;
        QEventLoop loop;
        QTimer refresh;
        QObject::connect(&refresh, &QTimer::timeout, &loop, [&] {
            const double before = cpuSeconds();
            r.refresh(changing);
            refreshing += cpuSeconds() - before;
        });
        refresh.start(2000);
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        const double cpu0 = cpuSeconds();
        loop.exec();
        const double cpu = cpuSeconds() - cpu0 - refreshing;
        state.counters["corePercent"] = cpu / seconds * 100;
        state.counters["framesPerSecond"] = double(counter.counts.frames) / seconds;
        state.counters["paintsPerSecond"] = double(counter.counts.paints) / seconds;
        state.counters["timersPerSecond"] = double(counter.counts.timers) / seconds;
    }
}
BENCHMARK(BM_PopupOpenFor)->Args({10, 1})->Args({10, 0})->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
