#include "Source/Features/System/ProcessMonitor.h"

#include "Platform/Core/Clock.h"
#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/System/ProcessReader.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/System/ProcessListBuilder.h"
#include "Source/Features/System/SystemSampler.h"
#include "Source/Features/System/SystemSettings.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <map>
#include <unistd.h>

namespace {

const QString fixtureProc = QStringLiteral(QUORVIN_FIXTURES "/proc-desktop");
const QString fixtureApplications = QStringLiteral(QUORVIN_FIXTURES "/applications");

// A writable copy of the fixture /proc tree whose counters a test can move.
class ProcTree {
public:
    ProcTree() {
        QDirIterator it(fixtureProc, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            const QString target = dir_.path() + "/" + QDir(fixtureProc).relativeFilePath(info.filePath());
            if (info.isSymLink())
                QFile::link(info.symLinkTarget(), target);
            else if (info.isDir())
                QDir().mkpath(target);
            else
                QFile::copy(info.filePath(), target);
        }
    }
    QString root() const { return dir_.path(); }

    // Rewrites one field of <pid>/stat, counted after the ')' that closes the name (0 = state).
    void setStatField(int pid, int field, qint64 value) {
        QFile f(root() + QString("/%1/stat").arg(pid));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        const qsizetype close = text.lastIndexOf(')');
        QList<QByteArray> fields = text.mid(close + 2).trimmed().split(' ');
        fields[field] = QByteArray::number(value);
        text = text.left(close + 2) + fields.join(' ') + "\n";
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    void setCPUTicks(int pid, qint64 utime, qint64 stime) {
        setStatField(pid, 11, utime);
        setStatField(pid, 12, stime);
    }
    void setStartTicks(int pid, qint64 start) { setStatField(pid, 19, start); }
    void setResidentPages(int pid, qint64 pages) { setStatField(pid, 21, pages); }
    void remove(int pid) { QDir(root() + QString("/%1").arg(pid)).removeRecursively(); }

private:
    QTemporaryDir dir_;
};

std::map<QString, GroupedProcessInfo> byName(const std::vector<GroupedProcessInfo>& groups) {
    std::map<QString, GroupedProcessInfo> out;
    for (const auto& g : groups) {
        EXPECT_EQ(out.count(g.name), 0u) << "duplicate group " << g.name.toStdString();
        out[g.name] = g;
    }
    return out;
}

QList<int32_t> pids(const GroupedProcessInfo& g) {
    QList<int32_t> out;
    for (const auto& c : g.children) out << c.pid;
    std::sort(out.begin(), out.end());
    return out;
}

class ProcessMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock = std::make_shared<FakeClock>();
        Clock::setShared(clock);
        UserDefaults::standard().remove(SystemSettings::shared().groupTerminalProcesses.key());
        UserDefaults::standard().remove(SystemSettings::shared().updateInterval.key());
    }
    void TearDown() override {
        Clock::setShared(nullptr);
        UserDefaults::standard().remove(SystemSettings::shared().groupTerminalProcesses.key());
        UserDefaults::standard().remove(SystemSettings::shared().updateInterval.key());
    }

    std::vector<GroupedProcessInfo> refresh(ProcessMonitor& monitor) {
        monitor.scheduleProcessRefresh();
        monitor.waitForRefreshes();
        return monitor.groupedProcesses();
    }

    std::shared_ptr<FakeClock> clock;
    ProcTree tree;
    DesktopEntries entries{QStringList{fixtureApplications}};
};

}  // namespace

TEST_F(ProcessMonitorTest, GroupsProcessesByOwningApplication) {
    ProcessMonitor monitor(tree.root(), &entries);
    const auto groups = byName(refresh(monitor));

    // Applications own their descendants; kernel threads and zombies are left out.
    ASSERT_EQ(groups.count("Firefox ESR"), 1u);
    const GroupedProcessInfo& firefox = groups.at("Firefox ESR");
    EXPECT_EQ(pids(firefox), QList<int32_t>({1100, 1110, 1120}));
    EXPECT_EQ(firefox.count, 3);
    EXPECT_EQ(firefox.totalMemory, (120000u + 60000u + 30000u) * uint64_t(ProcessReader::pageSize()));
    EXPECT_EQ(firefox.bundlePath, fixtureApplications + "/firefox-esr.desktop");
    for (const auto& child : firefox.children) {
        EXPECT_EQ(child.name, "Firefox ESR");
        EXPECT_EQ(child.bundleID, "firefox-esr.desktop");
        EXPECT_EQ(child.cpuUsage, 0.0);  // no earlier reading to compare against
    }
    EXPECT_FALSE(monitor.hasUsableCPU());

    EXPECT_EQ(pids(groups.at("Tweaks")), QList<int32_t>({1200}));             // a script, by its name
    EXPECT_EQ(pids(groups.at("Transmission")), QList<int32_t>({1500}));       // by argv[0]
    EXPECT_EQ(groups.at("Transmission").children[0].processName, "transmission-gtk");
    EXPECT_EQ(pids(groups.at("Text Editor")), QList<int32_t>({1040}));        // an app run from a terminal is itself

    // The desktop shell owns itself but not what it starts; the service manager owns nothing.
    EXPECT_EQ(pids(groups.at("GNOME Shell")), QList<int32_t>({900}));
    EXPECT_EQ(pids(groups.at("Xwayland")), QList<int32_t>({910}));
    EXPECT_EQ(pids(groups.at("ibus-daemon")), QList<int32_t>({920}));
    EXPECT_FALSE(groups.at("ibus-daemon").bundlePath.has_value());
    EXPECT_EQ(pids(groups.at("systemd")), QList<int32_t>({1, 800}));
    EXPECT_EQ(pids(groups.at("dbus-daemon")), QList<int32_t>({850}));

    // Terminal grouping off: commands in the terminal stand on their own.
    EXPECT_EQ(pids(groups.at("Terminal")), QList<int32_t>({1000}));
    EXPECT_EQ(groups.at("Terminal").children[0].processName, "gnome-terminal-server");
    EXPECT_EQ(pids(groups.at("bash")), QList<int32_t>({1010}));
    EXPECT_EQ(pids(groups.at("vim")), QList<int32_t>({1020}));
    EXPECT_EQ(pids(groups.at("my) (tool x")), QList<int32_t>({1030}));
    EXPECT_FALSE(groups.at("vim").children[0].bundleID.has_value());

    for (const char* absent : {"kthreadd", "kworker/0:1-events", "rcu_preempt", "defunct-job"})
        EXPECT_EQ(groups.count(absent), 0u) << absent;
    EXPECT_EQ(groups.size(), 13u);
}

TEST_F(ProcessMonitorTest, GroupTerminalProcessesPutsCommandsUnderTheTerminal) {
    UserDefaults::standard().setBool(SystemSettings::shared().groupTerminalProcesses.key(), true);
    ProcessMonitor monitor(tree.root(), &entries);
    auto groups = byName(refresh(monitor));
    EXPECT_EQ(pids(groups.at("Terminal")), QList<int32_t>({1000, 1010, 1020, 1030}));
    EXPECT_EQ(groups.at("Terminal").bundlePath, fixtureApplications + "/org.gnome.Terminal.desktop");
    EXPECT_EQ(pids(groups.at("Text Editor")), QList<int32_t>({1040}));
    EXPECT_EQ(groups.count("bash"), 0u);
    EXPECT_EQ(groups.count("vim"), 0u);
    EXPECT_EQ(pids(groups.at("GNOME Shell")), QList<int32_t>({900}));

    // The setting is read at each refresh.
    UserDefaults::standard().setBool(SystemSettings::shared().groupTerminalProcesses.key(), false);
    groups = byName(refresh(monitor));
    EXPECT_EQ(pids(groups.at("Terminal")), QList<int32_t>({1000}));
    EXPECT_EQ(pids(groups.at("bash")), QList<int32_t>({1010}));
}

TEST_F(ProcessMonitorTest, CPUSharesComeFromTheChangeBetweenRefreshes) {
    const double hz = double(ProcessReader::clockTicksPerSecond());
    ProcessListBuilder builder(ProcessReader(tree.root()), &entries);
    auto cpuOf = [](const ProcessListBuilder::Result& r, int32_t pid) {
        for (const auto& g : r.groups)
            for (const auto& c : g.children)
                if (c.pid == pid) return c.cpuUsage;
        return -1.0;
    };
    auto groupCPU = [](const ProcessListBuilder::Result& r, const QString& name) {
        for (const auto& g : r.groups)
            if (g.name == name) return g.totalCPU;
        return -1.0;
    };

    auto first = builder.refresh(100.0, false);
    EXPECT_FALSE(first.hasUsableCPU);
    EXPECT_EQ(cpuOf(first, 1100), 0.0);

    // Two seconds later: 1100 used 1.5 s of CPU (75 %), 1110 used 3 s on several cores (150 %).
    tree.setCPUTicks(1100, 5000 + qint64(hz), 1000 + qint64(hz / 2));
    tree.setCPUTicks(1110, 2000 + qint64(3 * hz), 200);
    auto second = builder.refresh(102.0, false);
    EXPECT_TRUE(second.hasUsableCPU);
    EXPECT_NEAR(cpuOf(second, 1100), 75.0, 1e-9);
    EXPECT_NEAR(cpuOf(second, 1110), 150.0, 1e-9);
    EXPECT_NEAR(cpuOf(second, 1120), 0.0, 1e-9);
    EXPECT_NEAR(groupCPU(second, "Firefox ESR"), 225.0, 1e-9);
    for (const auto& g : second.groups) {
        if (g.name != "Firefox ESR") continue;
        ASSERT_EQ(g.children.size(), 3u);
        EXPECT_EQ(g.children[0].pid, 1110);  // highest share first
        EXPECT_EQ(g.children[1].pid, 1100);
    }

    // A refresh too soon after the last measurement repeats it instead of dividing by nothing.
    tree.setCPUTicks(1100, 5000 + qint64(hz) + 5, 1000 + qint64(hz / 2));
    auto soon = builder.refresh(102.01, false);
    EXPECT_NEAR(cpuOf(soon, 1100), 75.0, 1e-9);

    // The next one measures from the last measurement on.
    auto later = builder.refresh(103.0, false);
    EXPECT_NEAR(cpuOf(later, 1100), 5.0 / hz * 100.0, 1e-9);

    // A reused pid (another start time) is a new process: no share against the old one's time.
    tree.setStartTicks(1110, 99999);
    tree.setCPUTicks(1110, 10, 0);
    auto reused = builder.refresh(105.0, false);
    EXPECT_EQ(cpuOf(reused, 1110), 0.0);
    tree.setCPUTicks(1110, 10 + qint64(hz), 0);
    EXPECT_NEAR(cpuOf(builder.refresh(107.0, false), 1110), 50.0, 1e-9);

    // Ended processes are forgotten, and so are the names only they held; the three Firefox
    // processes hold one copy of their program's path.
    const size_t before = builder.trackedCount();
    const size_t textsBefore = builder.sharedTextCount();
    EXPECT_LT(textsBefore, 3 * before);
    tree.remove(1120);
    tree.remove(1030);
    builder.refresh(109.0, false);
    EXPECT_EQ(builder.trackedCount(), before - 2);
    EXPECT_LT(builder.sharedTextCount(), textsBefore);

    // Released, the builder holds only the last readings: the next refresh names every process
    // again and measures against those readings, but not for a pid that now has a new process.
    builder.releaseIdentities();
    EXPECT_EQ(builder.trackedCount(), 0u);
    EXPECT_EQ(builder.sharedTextCount(), 0u);
    const qint64 lastRead = 5000 + qint64(hz) + 5 + 1000 + qint64(hz / 2);
    tree.setCPUTicks(1100, lastRead - 1000 + qint64(hz), 1000);  // one second of CPU in ten
    tree.setStartTicks(1110, 123456);
    auto reopened = builder.refresh(119.0, false);
    EXPECT_TRUE(reopened.hasUsableCPU);
    EXPECT_EQ(builder.trackedCount(), before - 2);
    EXPECT_NEAR(cpuOf(reopened, 1100), 10.0, 1e-9);
    EXPECT_EQ(cpuOf(reopened, 1110), 0.0);
    EXPECT_NEAR(groupCPU(reopened, "Firefox ESR"), 10.0, 1e-9);
}

// Kernel threads are left out of the list: one is read when its pid first shows, and again only
// when the pid's folder is another one (a new process under that pid).
TEST_F(ProcessMonitorTest, AKernelThreadIsReadOnceWhileItsPidKeepsItsFolder) {
    ProcessListBuilder builder(ProcessReader(tree.root()), &entries);
    builder.refresh(100.0, false);
    const size_t tracked = builder.trackedCount();
    auto overwrite = [&](const QString& path, const QByteArray& data) {
        QFile f(tree.root() + "/" + path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    };
    for (const char* pid : {"2", "15", "40"}) overwrite(QString(pid) + "/stat", "");
    builder.refresh(102.0, false);
    EXPECT_EQ(builder.trackedCount(), tracked);

    // The kworker's pid taken by a new program (its folder made beside the old one, which a file
    // system could otherwise hand its inode number).
    ASSERT_TRUE(QDir().mkpath(tree.root() + "/new15"));
    overwrite("new15/stat",
              "15 (newtool) S 1 15 15 0 -1 4194304 100 0 0 0 30 10 0 0 20 0 1 0 777 200000000 500 "
              "18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
    overwrite("new15/cmdline", QByteArray("/usr/bin/newtool\0", 17));
    tree.remove(15);
    ASSERT_TRUE(QDir(tree.root()).rename("new15", "15"));
    bool listed = false;
    for (const auto& g : builder.refresh(104.0, false).groups)
        for (const auto& c : g.children) listed = listed || (c.pid == 15 && c.processName == "newtool");
    EXPECT_TRUE(listed);
}

TEST_F(ProcessMonitorTest, PublishesUsableCPUAfterTheSecondRefresh) {
    ProcessMonitor monitor(tree.root(), &entries);
    QSignalSpy usable(&monitor, &ProcessMonitor::hasUsableCPUChanged);
    QSignalSpy lists(&monitor, &ProcessMonitor::groupedProcessesChanged);
    refresh(monitor);
    EXPECT_FALSE(monitor.hasUsableCPU());
    clock->advance(4);
    tree.setCPUTicks(900, 9000 + ProcessReader::clockTicksPerSecond(), 3000);
    const auto groups = byName(refresh(monitor));
    EXPECT_TRUE(monitor.hasUsableCPU());
    EXPECT_EQ(usable.count(), 1);
    EXPECT_EQ(lists.count(), 2);
    EXPECT_NEAR(groups.at("GNOME Shell").totalCPU, 25.0, 1e-6);
    EXPECT_EQ(groups.at("GNOME Shell").cpuString(), "25.0%");

    // The current list is handed over when a subscriber attaches.
    QObject context;
    int calls = 0;
    size_t size = 0;
    monitor.observeGroupedProcesses(&context, [&](const std::vector<GroupedProcessInfo>& g) {
        ++calls;
        size = g.size();
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(size, groups.size());
    refresh(monitor);
    EXPECT_EQ(calls, 2);
}

TEST_F(ProcessMonitorTest, ProcessGroupsClosestToADate) {
    ProcessMonitor monitor(tree.root(), &entries);
    EXPECT_FALSE(monitor.processGroups(clock->now()).has_value());

    const QDateTime start = clock->now();
    auto shellMemoryAt = [&](const QDateTime& date) -> qint64 {
        const auto groups = monitor.processGroups(date);
        if (!groups) return -1;
        for (const auto& g : *groups)
            if (g.name == "GNOME Shell") return qint64(g.totalMemory / uint64_t(ProcessReader::pageSize()));
        return -2;
    };
    // Snapshot i is taken at start + 10 i seconds with the shell at 1000 + i pages.
    for (int i = 0; i < 3; ++i) {
        tree.setResidentPages(900, 1000 + i);
        refresh(monitor);
        clock->advance(10);
    }
    EXPECT_EQ(shellMemoryAt(start.addSecs(-100)), 1000);
    EXPECT_EQ(shellMemoryAt(start.addMSecs(4999)), 1000);
    EXPECT_EQ(shellMemoryAt(start.addSecs(5)), 1000);  // a tie: the earlier snapshot
    EXPECT_EQ(shellMemoryAt(start.addMSecs(5001)), 1001);
    EXPECT_EQ(shellMemoryAt(start.addSecs(15)), 1001);
    EXPECT_EQ(shellMemoryAt(start.addSecs(3600)), 1002);

    // Only the last 60 snapshots are kept.
    for (int i = 3; i < 65; ++i) {
        tree.setResidentPages(900, 1000 + i);
        refresh(monitor);
        clock->advance(10);
    }
    EXPECT_EQ(shellMemoryAt(start), 1005);
    EXPECT_EQ(shellMemoryAt(start.addSecs(640)), 1064);
}

TEST_F(ProcessMonitorTest, HistoriesKeepTheLastSixtyReadingsTaken) {
    ProcessMonitor monitor(tree.root(), &entries);
    QSignalSpy cpuChanged(&monitor, &ProcessMonitor::cpuHistoryChanged);
    const QDateTime t0 = clock->now();
    monitor.appendSample(-1, -1, 40, std::nan(""), 0, t0);  // CPU and disk not taken
    EXPECT_TRUE(monitor.cpuHistory().empty());
    EXPECT_TRUE(monitor.cpuSystemHistory().empty());
    EXPECT_TRUE(monitor.diskHistory().empty());
    EXPECT_EQ(monitor.memoryHistory(), std::vector<double>({40}));
    EXPECT_EQ(monitor.downloadHistory(), std::vector<double>({0}));
    EXPECT_EQ(cpuChanged.count(), 0);
    EXPECT_EQ(monitor.historyTimestamps(), std::vector<QDateTime>({t0}));
    monitor.appendSample(-1, -1, -1, -1, -1, t0.addMSecs(500));  // nothing taken: no tick recorded
    EXPECT_EQ(monitor.historyTimestamps().size(), 1u);

    for (int i = 1; i <= 70; ++i)
        monitor.appendSample(i, i / 2.0, 50, 60, 1000.0 * i, t0.addSecs(i));
    ASSERT_EQ(monitor.cpuHistory().size(), 60u);
    EXPECT_EQ(monitor.cpuHistory().front(), 11);
    EXPECT_EQ(monitor.cpuHistory().back(), 70);
    EXPECT_EQ(monitor.cpuSystemHistory().back(), 35);
    EXPECT_EQ(monitor.memoryHistory().size(), 60u);
    EXPECT_EQ(monitor.diskHistory().size(), 60u);
    EXPECT_EQ(monitor.downloadHistory().back(), 70000);
    ASSERT_EQ(monitor.historyTimestamps().size(), 60u);
    EXPECT_EQ(monitor.historyTimestamps().front(), t0.addSecs(11));
    EXPECT_EQ(monitor.historyTimestamps().back(), t0.addSecs(70));
    EXPECT_EQ(cpuChanged.count(), 70);
}

TEST_F(ProcessMonitorTest, ProcessTimerRunsOnlyWhileStarted) {
    ProcessMonitor monitor(tree.root(), &entries);
    QSignalSpy lists(&monitor, &ProcessMonitor::groupedProcessesChanged);
    EXPECT_EQ(monitor.processTimer(), nullptr);

    monitor.startProcessList();
    QTimer* timer = monitor.processTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_FALSE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 4000);  // the normal interval's list period
    monitor.startProcessList();
    EXPECT_EQ(monitor.processTimer(), timer);

    // At once, and again a second later.
    ASSERT_TRUE(TestSupport::waitFor([&] { return lists.count() >= 1; }));
    ASSERT_TRUE(TestSupport::waitFor([&] { return lists.count() >= 2; }, 3000));

    SystemSettings::shared().updateInterval.set(UpdateInterval::fast);
    EXPECT_EQ(monitor.processTimer()->interval(), 3000);
    SystemSettings::shared().updateInterval.set(UpdateInterval::slow);
    EXPECT_EQ(monitor.processTimer()->interval(), 20000);

    monitor.stopProcessList();
    EXPECT_EQ(monitor.processTimer(), nullptr);
    const int count = lists.count();
    TestSupport::spin(200);
    EXPECT_EQ(lists.count(), count);

    // Restarting after a stop makes a new timer; a change of interval while stopped starts nothing.
    SystemSettings::shared().updateInterval.set(UpdateInterval::relaxed);
    EXPECT_EQ(monitor.processTimer(), nullptr);
    monitor.startProcessList();
    ASSERT_NE(monitor.processTimer(), nullptr);
    EXPECT_EQ(monitor.processTimer()->interval(), 10000);
    monitor.stop();
    EXPECT_EQ(monitor.processTimer(), nullptr);
}

TEST_F(ProcessMonitorTest, ClosingTheListLetsGoOfItButNotOfTheHistories) {
    ProcessMonitor monitor(tree.root(), &entries);
    monitor.startProcessList();
    monitor.waitForRefreshes();
    const std::vector<GroupedProcessInfo> first = monitor.groupedProcesses();
    clock->advance(4);
    tree.setCPUTicks(900, 9000 + ProcessReader::clockTicksPerSecond(), 3000);
    const std::vector<GroupedProcessInfo> second = refresh(monitor);
    monitor.appendSample(30, 5, 40, 50, 0, clock->now());
    EXPECT_EQ(monitor.processGroups(clock->now().addSecs(-4)), first);  // children and all
    EXPECT_EQ(monitor.processGroups(clock->now()), second);

    QSignalSpy lists(&monitor, &ProcessMonitor::groupedProcessesChanged);
    monitor.stopProcessList();
    EXPECT_FALSE(monitor.processGroups(clock->now()).has_value());
    EXPECT_EQ(monitor.processHistory().processCount(), 0u);
    EXPECT_TRUE(monitor.groupedProcesses().empty());
    ASSERT_EQ(lists.count(), 1);
    EXPECT_TRUE(lists.at(0).at(0).value<std::vector<GroupedProcessInfo>>().empty());
    EXPECT_EQ(monitor.cpuHistory(), std::vector<double>{30});
    EXPECT_TRUE(monitor.hasUsableCPU());

    // Opened again: the first list already has CPU shares, measured from the last reading
    // before the list closed, and refreshes are stored from then on.
    clock->advance(60);
    tree.setCPUTicks(900, 9000 + 7 * ProcessReader::clockTicksPerSecond(), 3000);
    monitor.startProcessList();
    monitor.waitForRefreshes();
    ASSERT_FALSE(monitor.groupedProcesses().empty());
    EXPECT_NEAR(byName(monitor.groupedProcesses()).at("GNOME Shell").totalCPU, 10.0, 1e-6);
    ASSERT_TRUE(monitor.processGroups(clock->now()).has_value());
    EXPECT_EQ(*monitor.processGroups(clock->now().addSecs(-60)), monitor.groupedProcesses());
    monitor.stop();
}

TEST_F(ProcessMonitorTest, ARefreshUnderWayWhenTheListClosesIsDropped) {
    ProcessMonitor monitor(tree.root(), &entries);
    monitor.startProcessList();
    monitor.waitForRefreshes();
    monitor.scheduleProcessRefresh();
    monitor.stopProcessList();
    monitor.waitForRefreshes();
    EXPECT_TRUE(monitor.groupedProcesses().empty());
    EXPECT_EQ(monitor.processHistory().processCount(), 0u);
    monitor.stop();
}

TEST(ProcessInfoFormats, CPUAndMemoryTexts) {
    EXPECT_EQ(AppProcessInfo::formatCPU(0), "0%");
    EXPECT_EQ(AppProcessInfo::formatCPU(0.0999), "0%");
    EXPECT_EQ(AppProcessInfo::formatCPU(0.1), "0.1%");
    EXPECT_EQ(AppProcessInfo::formatCPU(42.24), "42.2%");
    EXPECT_EQ(AppProcessInfo::formatCPU(99.9), "99.9%");
    EXPECT_EQ(AppProcessInfo::formatCPU(100), "100%");
    EXPECT_EQ(AppProcessInfo::formatCPU(250.6), "251%");

    EXPECT_EQ(AppProcessInfo::formatMemory(0), "0.0 MB");
    EXPECT_EQ(AppProcessInfo::formatMemory(524288), "0.5 MB");
    EXPECT_EQ(AppProcessInfo::formatMemory(1048576), "1 MB");
    EXPECT_EQ(AppProcessInfo::formatMemory(300 * 1048576ull + 1000), "300 MB");
    EXPECT_EQ(AppProcessInfo::formatMemory(1073741823), "1024 MB");
    EXPECT_EQ(AppProcessInfo::formatMemory(1073741824), "1.0 GB");
    EXPECT_EQ(AppProcessInfo::formatMemory(3ull * 1073741824 / 2), "1.5 GB");

    GroupedProcessInfo g;
    g.totalCPU = 150;
    g.totalMemory = 2 * 1048576;
    EXPECT_EQ(g.cpuString(), "150%");
    EXPECT_EQ(g.memoryString(), "2 MB");
}

TEST(ProcessInfoFormats, StartedAtInTheCurrentLocaleAndTimeZone) {
    const QByteArray oldTZ = qgetenv("TZ");
    const QLocale oldLocale;
    qputenv("TZ", "UTC");
    tzset();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    AppProcessInfo p;
    EXPECT_FALSE(p.startedAtString().has_value());
    p.startDate = QDateTime::fromSecsSinceEpoch(1700000000, QTimeZone::utc());
    EXPECT_EQ(p.startedAtString(), "Tue Nov 14 22:13:20 2023");
    p.startDate = QDateTime::fromSecsSinceEpoch(1704186245, QTimeZone::utc());
    EXPECT_EQ(p.startedAtString(), "Tue Jan 2 09:04:05 2024");

    qputenv("TZ", "Asia/Tokyo");
    tzset();
    EXPECT_EQ(p.startedAtString(), "Tue Jan 2 18:04:05 2024");

    QLocale::setDefault(oldLocale);
    if (oldTZ.isEmpty()) qunsetenv("TZ"); else qputenv("TZ", oldTZ);
    tzset();
}

TEST(ProcessInfoGrouping, SumsByNameAndOrdersChildren) {
    auto process = [](int32_t pid, const QString& name, double cpu, uint64_t memory,
                      std::optional<QString> bundle = std::nullopt) {
        AppProcessInfo p;
        p.pid = pid;
        p.name = name;
        p.processName = name.toLower();
        p.cpuUsage = cpu;
        p.memoryBytes = memory;
        p.bundlePath = bundle;
        return p;
    };
    const auto groups = GroupedProcessInfo::group({process(1, "A", 1, 10), process(2, "B", 5, 20, "/b.desktop"),
                                                   process(3, "A", 7, 30, "/a.desktop"), process(4, "A", 1, 40),
                                                   process(5, "A", 7, 50)});
    ASSERT_EQ(groups.size(), 2u);
    const GroupedProcessInfo& a = groups[0].name == "A" ? groups[0] : groups[1];
    EXPECT_EQ(a.count, 4);
    EXPECT_DOUBLE_EQ(a.totalCPU, 16);
    EXPECT_EQ(a.totalMemory, 130u);
    EXPECT_FALSE(a.bundlePath.has_value());  // from the group's first process
    ASSERT_EQ(a.children.size(), 4u);
    EXPECT_EQ(a.children[0].pid, 3);  // equal shares keep their order
    EXPECT_EQ(a.children[1].pid, 5);
    EXPECT_EQ(a.children[2].pid, 1);
    EXPECT_EQ(a.children[3].pid, 4);
}

TEST(ProcessMonitorLive, HistoriesFollowTheSampler) {
    ProcessMonitor monitor(QStringLiteral("/proc"), nullptr);
    monitor.startHistories();
    SystemSampler::shared().sample(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !monitor.historyTimestamps().empty(); }, 10000));
    EXPECT_EQ(monitor.memoryHistory().size(), 1u);
    ASSERT_GE(SystemSampler::shared().memory(), 0);
    EXPECT_EQ(monitor.memoryHistory().back(), SystemSampler::shared().memory());

    monitor.stop();
    const int passes = SystemSampler::shared().passCount();
    SystemSampler::shared().sample(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return SystemSampler::shared().passCount() > passes; }, 10000));
    EXPECT_EQ(monitor.historyTimestamps().size(), 1u);
}

TEST(ProcessMonitorLive, RefreshesTheLiveProcessTable) {
    ProcessMonitor monitor(QStringLiteral("/proc"), &DesktopEntries::shared());
    monitor.scheduleProcessRefresh();
    monitor.waitForRefreshes();
    TestSupport::spin(600);
    monitor.scheduleProcessRefresh();
    monitor.waitForRefreshes();
    EXPECT_TRUE(monitor.hasUsableCPU());
    const int32_t self = int32_t(getpid());
    bool found = false;
    int processes = 0;
    for (const auto& g : monitor.groupedProcesses()) {
        EXPECT_EQ(g.count, int(g.children.size()));
        processes += g.count;
        for (const auto& c : g.children) {
            EXPECT_GE(c.cpuUsage, 0);
            if (c.pid != self) continue;
            found = true;
            EXPECT_GT(c.memoryBytes, 1024u * 1024u);
            EXPECT_TRUE(c.startedAtString().has_value());
        }
        EXPECT_NE(g.name, "kthreadd");
    }
    EXPECT_TRUE(found);
    EXPECT_GE(processes, 1);
}

TEST_F(ProcessMonitorTest, FollowsTheSettingsItIsGivenAndNoOthers) {
    UserDefaults store{QString()};
    SystemSettings settings{store};
    ProcessMonitor monitor(tree.root(), &entries);
    monitor.setSettings(settings);
    settings.groupTerminalProcesses.set(true);
    UserDefaults::standard().setBool(SystemSettings::shared().groupTerminalProcesses.key(), false);
    EXPECT_EQ(pids(byName(refresh(monitor)).at("Terminal")), QList<int32_t>({1000, 1010, 1020, 1030}));

    monitor.startProcessList();
    SystemSettings::shared().updateInterval.set(UpdateInterval::slow);  // another store: nothing
    EXPECT_EQ(monitor.processTimer()->interval(), 4000);
    settings.updateInterval.set(UpdateInterval::fast);
    EXPECT_EQ(monitor.processTimer()->interval(), 3000);
    monitor.stop();
}
