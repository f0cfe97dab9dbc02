// The popup's pure parts: tabs, formats, ceilings, slot maths, load colours, texts and the
// stats readouts.
#include "Platform/System/ProcessSignaller.h"
#include "Platform/Gui/SystemColors.h"
#include "Source/Features/System/MonitorTab.h"
#include "Source/Features/System/StackSampler.h"
#include "Source/Features/System/SystemMonitorPopupController.h"
#include "Views/Monitor/MonitorTabPicker.h"
#include "Views/Monitor/GroupedProcessRowView.h"
#include "Views/Monitor/HoverableBars.h"
#include "Views/Monitor/MetricChartCard.h"
#include "Views/Monitor/ProcessDetailView.h"
#include "Views/Monitor/StatsDashboard.h"
#include "Views/Monitor/SystemMonitorView.h"
#include "Views/Shared/PopupEntrance.h"

#include <QPalette>

#include <gtest/gtest.h>

#include <unistd.h>

TEST(MonitorTabs, RawValuesAreTheLabelsAndMatchExactly) {
    QStringList labels;
    for (MonitorTab tab : MonitorTabs::allCases) labels << MonitorTabs::rawValue(tab);
    EXPECT_EQ(labels, QStringList({"CPU", "Mem", "Net", "Disk", "Stats"}));
    EXPECT_EQ(MonitorTabs::fromRawValue("Disk"), MonitorTab::disk);
    EXPECT_EQ(MonitorTabs::fromRawValue("cpu"), std::nullopt);
    EXPECT_EQ(MonitorTabs::fromRawValue("Memory"), std::nullopt);
}

TEST(MonitorTabPicker, SegmentsOfTheStripInThePopup) {
    const double w = MonitorTabPicker::segmentWidth(312);
    EXPECT_NEAR(w, 60.8, 1e-9);
    EXPECT_NEAR(MonitorTabPicker::capsuleX(w, 3), 187.4, 1e-9);
    EXPECT_EQ(MonitorTabPicker::segmentWidth(3), 0);
}

TEST(MonitorLayout, GlassSlotsPerMode) {
    using S = SystemMonitorView::CardSlot;
    EXPECT_EQ(SystemMonitorView::glassRect(S::mid, false, false), (SystemMonitorView::SlotGeometry{208, 38, 0, 19}));
    EXPECT_EQ(SystemMonitorView::glassRect(S::body, true, true), (SystemMonitorView::SlotGeometry{288, 170.1, 70, 24}));
    EXPECT_EQ(SystemMonitorView::glassRect(S::header, true, false), (SystemMonitorView::SlotGeometry{60, 516, 0, 24}));
    EXPECT_EQ(SystemMonitorView::glassRect(S::mid, true, false), (SystemMonitorView::SlotGeometry{60, 516, 0, 24}));
    // A content area 60 lower (an 800 × 600 screen): only the cards that scroll give up the height.
    EXPECT_EQ(SystemMonitorView::glassRect(S::header, false, false, 576),
              (SystemMonitorView::SlotGeometry{0, 196, 0, 24}));
    EXPECT_EQ(SystemMonitorView::glassRect(S::mid, false, false, 576),
              (SystemMonitorView::SlotGeometry{208, 38, 0, 19}));
    EXPECT_EQ(SystemMonitorView::glassRect(S::body, false, false, 576),
              (SystemMonitorView::SlotGeometry{258, 318, 0, 24}));
    EXPECT_EQ(SystemMonitorView::glassRect(S::header, true, false, 576),
              (SystemMonitorView::SlotGeometry{60, 456, 0, 24}));
    EXPECT_EQ(SystemMonitorView::glassRect(S::header, true, true, 576),
              (SystemMonitorView::SlotGeometry{0, 576, 0, 24}));
    // The content height of a view: 636 where the view has room, never below the least.
    EXPECT_EQ(SystemMonitorView::areaHeightFor(660), 636);
    EXPECT_EQ(SystemMonitorView::areaHeightFor(900), 636);
    EXPECT_EQ(SystemMonitorView::areaHeightFor(600), 576);
    EXPECT_EQ(SystemMonitorView::areaHeightFor(200), SystemMonitorView::leastContentHeight);
}

TEST(MonitorPlacement, CentredALittleAboveTheMiddleAndAnchoredAtThePointer) {
    const QRectF visible(0, 0, 1920, 1050);
    const QRectF frame = SystemMonitorPopupController::centredFrame(QSizeF(360, 660), visible);
    EXPECT_DOUBLE_EQ(frame.left(), 780);
    EXPECT_DOUBLE_EQ(frame.top(), 260);  // upward: 260 below, 130 above
    // A screen too short for the panel keeps its top on screen.
    EXPECT_DOUBLE_EQ(SystemMonitorPopupController::centredFrame(QSizeF(360, 660), QRectF(0, 0, 800, 600)).top(), -60);
    // A click in the menu bar above the panel: the top edge, at the pointer's x.
    const QPointF a = PopupEntrance::anchorAt(QPointF(960, 1070), frame);
    EXPECT_DOUBLE_EQ(a.x(), 0.5);
    EXPECT_DOUBLE_EQ(a.y(), 0.0);
    // Below and left of the panel: the bottom-left corner; a third of the way down.
    EXPECT_EQ(PopupEntrance::anchorAt(QPointF(0, 0), frame), QPointF(0.0, 1.0));
    EXPECT_DOUBLE_EQ(PopupEntrance::anchorAt(QPointF(960, 260 + 440), frame).y(), 1.0 / 3.0);
    // A frame without height anchors in its middle along that side.
    EXPECT_EQ(PopupEntrance::anchorAt(QPointF(780, 10), QRectF(780, 0, 360, 0)), QPointF(0.0, 0.5));
}

TEST(MetricChartCard, PercentCeilings) {
    for (auto [v, ceiling] : std::vector<std::pair<double, double>>{
             {0, 1}, {0.5, 1}, {12, 12}, {12.01, 25}, {100, 100}, {100.1, 200}, {800, 800}, {801, 900}, {1234, 1300}})
        EXPECT_EQ(MetricChartCard::nicePercentCeiling(v), ceiling) << v;
}

TEST(MetricChartCard, AxisMaximumByKind) {
    using K = MetricChartKind;
    EXPECT_EQ(MetricChartCard::axisMax({3'000'000}, std::nullopt, K::bytes), 4'194'304);
    EXPECT_EQ(MetricChartCard::axisMax({1024}, std::nullopt, K::bytes), 1024);
    EXPECT_EQ(MetricChartCard::axisMax({300}, std::nullopt, K::rate), 512);
    EXPECT_EQ(MetricChartCard::axisMax({0, 0, 0}, std::nullopt, K::bytes), 1024);
    EXPECT_EQ(MetricChartCard::axisMax({}, std::nullopt, K::rate), 1024);
    EXPECT_EQ(MetricChartCard::axisMax({}, std::nullopt, K::percent), 1);
    // A highlight above the series raises the ceiling.
    EXPECT_EQ(MetricChartCard::axisMax({40}, 150, K::percent), 200);
    EXPECT_EQ(MetricChartCard::axisMax({40}, 10, K::percent), 50);
}

TEST(MetricChartCard, ReadoutAndAxisFormatsDiffer) {
    using K = MetricChartKind;
    EXPECT_EQ(MetricChartCard::formatValue(50, K::percent, false), "50.00%");
    EXPECT_EQ(MetricChartCard::formatValue(50, K::percent, true), "50.00 %");
    const double gib = 1024.0 * 1024 * 1024;
    EXPECT_EQ(MetricChartCard::formatValue(1.5 * gib, K::bytes, false), "1.50 GB");
    EXPECT_EQ(MetricChartCard::formatValue(1.5 * gib, K::bytes, true), "1.5 GB");
    EXPECT_EQ(MetricChartCard::formatValue(5 * 1024 * 1024, K::bytes, true), "5 MB");
    EXPECT_EQ(MetricChartCard::formatValue(2048, K::bytes, false), "2 KB");
    EXPECT_EQ(MetricChartCard::formatValue(500, K::rate, false), "500 B/s");
    EXPECT_EQ(MetricChartCard::formatValue(500, K::rate, true), "500 B/s");
    EXPECT_EQ(MetricChartCard::formatValue(3 * 1024, K::rate, true), "3 KB/s");
    EXPECT_EQ(MetricChartCard::formatValue(2.5 * 1024 * 1024, K::rate, true), "2.5 MB/s");
}

TEST(MetricChartCard, SlotUnderThePointerIsTheNearestBarCentre) {
    // 60 bars with 1-point gaps over 299 points: bars of 4 points, a step of 5, centres at 2 + 5i.
    EXPECT_EQ(MetricChartCard::slot(2, 299, 60, 1), 0);
    EXPECT_EQ(MetricChartCard::slot(7, 299, 60, 1), 1);
    EXPECT_EQ(MetricChartCard::slot(4.5, 299, 60, 1), 1);  // halfway rounds to the right
    EXPECT_EQ(MetricChartCard::slot(4.4, 299, 60, 1), 0);
    EXPECT_EQ(MetricChartCard::slot(-50, 299, 60, 1), 0);
    EXPECT_EQ(MetricChartCard::slot(5000, 299, 60, 1), 59);
    // No room for bars: steps of the gap (at least 1) from 0.
    EXPECT_EQ(MetricChartCard::slot(3.6, 10, 60, 1), 4);
}

TEST(MetricChartCard, SlotModelAlignsValuesAndTimesToTheRight) {
    std::vector<double> series(40);
    for (int i = 0; i < 40; ++i) series[size_t(i)] = i;
    EXPECT_EQ(MetricChartCard::slotValue(series, 60, 19), std::nullopt);
    EXPECT_EQ(MetricChartCard::slotValue(series, 60, 20), 0.0);
    EXPECT_EQ(MetricChartCard::slotValue(series, 60, 59), 39.0);
    EXPECT_EQ(MetricChartCard::slotValue(series, 60, 60), std::nullopt);
    // 30 times for 40 values: the ten oldest value slots have none.
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'700'000'000);
    std::vector<QDateTime> times;
    for (int i = 0; i < 30; ++i) times.push_back(t0.addSecs(i));
    EXPECT_EQ(MetricChartCard::slotTimestamp(40, times, 60, 29), std::nullopt);
    EXPECT_EQ(MetricChartCard::slotTimestamp(40, times, 60, 30), t0);
    EXPECT_EQ(MetricChartCard::slotTimestamp(40, times, 60, 59), t0.addSecs(29));
    // A pin by time follows its sample; once the time leaves the window nothing is drawn.
    const MetricChartCard::PinnedSample pin{t0.addSecs(29), 0};
    EXPECT_EQ(MetricChartCard::resolveSlot(pin, 40, times, 60), 59);
    times.push_back(t0.addSecs(30));
    EXPECT_EQ(MetricChartCard::resolveSlot(pin, 41, times, 60), 58);
    EXPECT_EQ(MetricChartCard::resolveSlot(MetricChartCard::PinnedSample{t0.addSecs(-5), 0}, 41, times, 60), std::nullopt);
    EXPECT_EQ(MetricChartCard::resolveSlot(MetricChartCard::PinnedSample{std::nullopt, 33}, 41, times, 60), 33);
}

TEST(HoverableBars, SlotsAndValues) {
    EXPECT_EQ(HoverableBars::slot(0, 200, 48), 0);
    EXPECT_EQ(HoverableBars::slot(4.2, 200, 48), 1);
    EXPECT_EQ(HoverableBars::slot(199.9, 200, 48), 47);
    EXPECT_EQ(HoverableBars::slot(200, 200, 48), 47);
    EXPECT_EQ(HoverableBars::slot(-3, 200, 48), 0);
    std::vector<double> ten{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(HoverableBars::value(ten, 48, 37), std::nullopt);
    EXPECT_EQ(HoverableBars::value(ten, 48, 38), 1.0);
    EXPECT_EQ(HoverableBars::value(ten, 48, 47), 10.0);
    EXPECT_EQ(HoverableBars::value(ten, 48, std::nullopt), std::nullopt);
    EXPECT_EQ(HoverableBars::value({}, 48, 47), std::nullopt);
    std::vector<double> long60(60);
    for (int i = 0; i < 60; ++i) long60[size_t(i)] = i;
    EXPECT_EQ(HoverableBars::value(long60, 48, 0), 12.0);
}

TEST(ProcessRows, LoadColoursBelongToTheLowerBoundAndTheirOwnTab) {
    using L = GroupedProcessRowView::Load;
    EXPECT_EQ(GroupedProcessRowView::cpuLoad(50.0, MonitorTab::cpu), L::raised);
    EXPECT_EQ(GroupedProcessRowView::cpuLoad(50.1, MonitorTab::cpu), L::high);
    EXPECT_EQ(GroupedProcessRowView::cpuLoad(20.0, MonitorTab::cpu), L::normal);
    EXPECT_EQ(GroupedProcessRowView::cpuLoad(99, MonitorTab::memory), L::muted);
    const uint64_t gib = 1073741824ULL;
    EXPECT_EQ(GroupedProcessRowView::memLoad(2 * gib, MonitorTab::memory), L::raised);
    EXPECT_EQ(GroupedProcessRowView::memLoad(2 * gib + 1, MonitorTab::memory), L::high);
    EXPECT_EQ(GroupedProcessRowView::memLoad(gib, MonitorTab::memory), L::normal);
    EXPECT_EQ(GroupedProcessRowView::memLoad(8 * gib, MonitorTab::cpu), L::muted);
    EXPECT_EQ(GroupedProcessRowView::memLoad(8 * gib, MonitorTab::network), L::muted);
    QPalette light;
    light.setColor(QPalette::Window, Qt::white);
    light.setColor(QPalette::WindowText, Qt::black);
    EXPECT_EQ(GroupedProcessRowView::cpuColor(60, MonitorTab::cpu, light), SystemColors::red(false));
    EXPECT_EQ(GroupedProcessRowView::cpuColor(30, MonitorTab::cpu, light), SystemColors::orange(false));
    EXPECT_EQ(GroupedProcessRowView::badgeText(3), "+2");
    EXPECT_EQ(GroupedProcessRowView::badgeText(1), "");
}

TEST(ProcessDetail, TextsOfTheAlertAndTheIdentity) {
    using Q = ProcessDetailView::QuitStyle;
    EXPECT_EQ(ProcessDetailView::quitMessage(Q::force, "Browser"), "Force Quit Browser?");
    EXPECT_EQ(ProcessDetailView::quitInformative(Q::normal, 1),
              "The process is asked to exit and can save its work first.");
    EXPECT_EQ(ProcessDetailView::quitInformative(Q::force, 3),
              "The process is killed immediately. Unsaved work is lost. All 3 processes in this group are affected.");
    EXPECT_EQ(ProcessDetailView::runningText(5), "5 running");
    EXPECT_EQ(ProcessDetailView::subtitle(std::nullopt), "Unix process");
    AppProcessInfo p;
    EXPECT_EQ(ProcessDetailView::subtitle(p), "Unix process");
    p.bundleID = QStringLiteral("org.example.Browser.desktop");
    EXPECT_EQ(ProcessDetailView::subtitle(p), "org.example.Browser.desktop");
    EXPECT_EQ(ProcessDetailView::sampleMenuTitle(true), "Sample for 3s…");
    EXPECT_NE(ProcessDetailView::sampleMenuTitle(false), "Sample for 3s…");
}

TEST(ProcessDetail, PrimaryIsTheLargestFirstOnATie) {
    GroupedProcessInfo g;
    g.children = {{10, "g", "a", 0, 300}, {11, "g", "b", 0, 500}, {12, "g", "c", 0, 500}};
    EXPECT_EQ(ProcessDetailView::primary(g)->pid, 11);
    EXPECT_EQ(ProcessDetailView::primary(GroupedProcessInfo{}), std::nullopt);
}

TEST(ProcessDetail, QuitSignalsOnlyTheLiveGroupAndNeverInitOrUs) {
    EXPECT_TRUE(ProcessDetailView::quitTargets(std::nullopt).empty());
    GroupedProcessInfo live;
    live.children = {{0, "g", "a"}, {-4, "g", "b"}, {1, "g", "init"}, {int32_t(getpid()), "g", "us"}, {4242, "g", "ok"},
                     {77, "g", "ok2"}};
    EXPECT_EQ(ProcessDetailView::quitTargets(live), (std::vector<int64_t>{4242, 77}));
    FakeProcessSignaller fake;
    EXPECT_FALSE(fake.send(1, 9));
    EXPECT_FALSE(fake.send(0, 15));
    EXPECT_FALSE(fake.send(-1, 9));
    EXPECT_FALSE(fake.send(getpid(), 9));
    EXPECT_TRUE(fake.send(4242, 15));
    EXPECT_EQ(fake.sent, (std::vector<std::pair<int64_t, int>>{{4242, 15}}));
}

TEST(StackSampler, FileNamesAreSafeAndShort) {
    const QDateTime at = QDateTime::fromSecsSinceEpoch(1'700'000'123);
    EXPECT_EQ(StackSampler::fileName("Web/Content", at), "Web-Content-sample-1700000123.txt");
    const QString longName(400, QChar(0x00E9));  // two bytes each
    const QString shortened = StackSampler::fileName(longName, at);
    EXPECT_LE(shortened.toUtf8().size(), 255);
    EXPECT_TRUE(shortened.endsWith("-sample-1700000123.txt"));
    EXPECT_TRUE(shortened.startsWith(QString(10, QChar(0x00E9))));
    // Surrogate pairs are never split.
    const QString emoji = QString::fromUtf8("\U0001F600").repeated(100);
    const QString cut = StackSampler::fileName(emoji, at);
    EXPECT_LE(cut.toUtf8().size(), 255);
    EXPECT_FALSE(cut.toUtf8().contains("\xEF\xBF\xBD"));
    EXPECT_FALSE(cut.front().isLowSurrogate());
}

TEST(StackSampler, ParsesAndAggregatesStacks) {
    const QByteArray one = "PID 42 - process\nTID 42:\n#0  0x00007f8c75f40503 clock_nanosleep@GLIBC_2.2.5\n"
                           "#1  0x00007f8c75f44e53 - 1 __nanosleep\n#2  0x000055cce65df4af\nTID 43:\n#0  0x1 poll\n";
    const auto threads = StackSampler::parse(one);
    ASSERT_EQ(threads.size(), 2u);
    EXPECT_EQ(threads[0].tid, 42);
    EXPECT_EQ(threads[0].frames, (std::vector<QString>{"clock_nanosleep@GLIBC_2.2.5", "__nanosleep", "??? 0x000055cce65df4af"}));
    const QString report = StackSampler::report(42, "sleep", 3, {threads, threads, StackSampler::parse("TID 42:\n#0 0x1 read\n")},
                                                QDateTime::fromSecsSinceEpoch(0));
    EXPECT_TRUE(report.contains("Samples: 3"));
    EXPECT_TRUE(report.contains("Thread 42: 3 samples"));
    EXPECT_TRUE(report.contains("2 of 3 samples (67%)"));
    EXPECT_TRUE(report.contains("Thread 43: 2 samples"));
    // Outermost call first.
    EXPECT_LT(report.indexOf("??? 0x000055cce65df4af"), report.indexOf("clock_nanosleep"));
}

TEST(StatsDashboardLogic, ScalesHeadingsAndTitles) {
    EXPECT_EQ(StatsDashboard::heading("Apple M2 Pro"), "M2 Pro");
    EXPECT_EQ(StatsDashboard::heading("CPU"), "CPU");
    EXPECT_DOUBLE_EQ(StatsDashboard::temperatureScale({30}), 40);
    EXPECT_DOUBLE_EQ(StatsDashboard::temperatureScale({20, 50}), 56);
    EXPECT_DOUBLE_EQ(StatsDashboard::temperatureScale({80}), 89.6);
    EXPECT_DOUBLE_EQ(StatsDashboard::fanScale(SMC::Fan{1000, 5000}), 5000);
    EXPECT_DOUBLE_EQ(StatsDashboard::fanScale(SMC::Fan{1000, 0}), 6000);
    EXPECT_DOUBLE_EQ(StatsDashboard::fanScale(SMC::Fan{1000, -3}), 6000);
    EXPECT_EQ(StatsDashboard::fanTitle(0, 1), "Speed");
    EXPECT_EQ(StatsDashboard::fanTitle(1, 2), "Fan 2");
    EXPECT_EQ(StatsDashboard::coreTitle(CoreUsage{7, CoreKind::efficiency, 3, 0}), "E3");
    EXPECT_EQ(StatsDashboard::coreTitle(CoreUsage{7, CoreKind::performance, 4, 0}), "P4");
    const auto ordered = StatsDashboard::orderedCores({{0, CoreKind::performance, 1, 0}, {1, CoreKind::efficiency, 1, 0},
                                                       {2, CoreKind::performance, 2, 0}, {3, CoreKind::efficiency, 2, 0}});
    std::vector<int> order;
    for (const auto& c : ordered) order.push_back(c.index);
    EXPECT_EQ(order, (std::vector<int>{1, 3, 0, 2}));
}

TEST(StatsDashboardLogic, LegendAndReadouts) {
    StatsDashboard::Snapshot s;
    s.cores = {{0, CoreKind::performance, 1, 10}, {1, CoreKind::performance, 2, 20}};
    EXPECT_EQ(StatsDashboard::legend(s), (std::vector<StatsDashboard::LegendItem>{{"Cores: 2", false}}));
    s.efficiencyCount = 4;
    s.performanceCount = 6;
    EXPECT_EQ(StatsDashboard::legend(s),
              (std::vector<StatsDashboard::LegendItem>{{"E-cores: 4", true}, {"P-cores: 6", false}}));

    s.cpuHistory = std::vector<double>(10, 20);
    s.cpuHistory.back() = 40;
    s.cpuSystemHistory = std::vector<double>(10, 5);
    s.cpuSystemHistory.back() = 55;
    s.cpuSystem = 12.4;
    s.cpuUser = 30.6;
    EXPECT_EQ(StatsDashboard::cpuReadout(s, 47), "Sys: 55 %  |  Usr: 0 %");
    EXPECT_EQ(StatsDashboard::cpuReadout(s, 40), "Sys: 5 %  |  Usr: 15 %");
    EXPECT_EQ(StatsDashboard::cpuReadout(s, 37), "Sys: 12 %  |  Usr: 31 %");  // no value there: live
    EXPECT_EQ(StatsDashboard::cpuReadout(s, std::nullopt), "Sys: 12 %  |  Usr: 31 %");
    EXPECT_EQ(StatsDashboard::temperatureReadout({61.24}, std::nullopt, 70.0, 47), "61.2°C");
    EXPECT_EQ(StatsDashboard::temperatureReadout({61.25}, std::nullopt, 70.0, std::nullopt), "Avg: 0.0°C  |  Max: 70.0°C");
    EXPECT_EQ(StatsDashboard::coreReadout({}, 33.4, 47), "33 %");
    EXPECT_EQ(StatsDashboard::fanReadout({1200, 1300}, 1250, 46), "1200 RPM");
    s.gpu = -1;  // never read
    EXPECT_EQ(StatsDashboard::gpuReadout(s, std::nullopt), "0 %");
}
