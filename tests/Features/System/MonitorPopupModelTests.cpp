// The monitor popup's state, without widgets: tab changes, the pinned sample, the process list's
// order, freeze, hover and choice, and the chart's series.
#include "Source/Features/System/MonitorPopupModel.h"

#include "MonitorTestSupport.h"
#include "Source/Features/System/MetricArchive.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

constexpr double kGiB = 1024.0 * 1024 * 1024;

GroupedProcessInfo group(const QString& name, double cpu, uint64_t memory, int count = 1) {
    GroupedProcessInfo g;
    g.name = name;
    g.totalCPU = cpu;
    g.totalMemory = memory;
    g.count = count;
    for (int i = 0; i < count; ++i)
        g.children.push_back(
            AppProcessInfo{1000 + i, name, name, cpu / count, memory / uint64_t(count), {}, {}, {}});
    return g;
}

QStringList names(const std::vector<GroupedProcessInfo>& groups) {
    QStringList list;
    for (const auto& g : groups) list << g.name;
    return list;
}

// A model over a synthetic process list: editor busiest, then Browser (three processes), shell.
struct ModelFixture : ::testing::Test {
    MonitorRig rig;
    MetricArchive archive{TestSupport::tempRoot() + "/model-metrics-" +
                          QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                          ".log"};

    void SetUp() override { rig.addBrowserEditorShell(); }

    std::unique_ptr<MonitorPopupModel> make(MonitorTab tab) {
        return std::make_unique<MonitorPopupModel>(tab, rig.monitor(), archive, 16 * kGiB);
    }
    const GroupedProcessInfo& live(const QString& name) {
        for (const GroupedProcessInfo& g : rig.monitor().groupedProcesses())
            if (g.name == name) return g;
        throw std::runtime_error("no such group");
    }
};

}  // namespace

TEST(MonitorPopupModelPure, ChartRangeRawValuesAndLabels) {
    EXPECT_EQ(MonitorPopupModel::chartRangeFromRawValue("day"), MonitorPopupModel::ChartRange::day);
    EXPECT_EQ(MonitorPopupModel::chartRangeFromRawValue("live"), MonitorPopupModel::ChartRange::live);
    EXPECT_EQ(MonitorPopupModel::chartRangeFromRawValue("24H"), std::nullopt);
    EXPECT_EQ(MonitorPopupModel::chartRangeFromRawValue("Day"), std::nullopt);
    EXPECT_EQ(MonitorPopupModel::label(MonitorPopupModel::ChartRange::day), "24H");
    EXPECT_EQ(MonitorPopupModel::label(MonitorPopupModel::ChartRange::live), "LIVE");
}

TEST(MonitorPopupModelPure, SortsByTheTabsMetricThenPlainName) {
    const std::vector<GroupedProcessInfo> groups{group("alpha", 10, 500), group("Zulu", 10, 100), group("beta", 30, 100),
                                                 group("Émile", 10, 100), group("Gamma", 5, 900)};
    EXPECT_EQ(names(MonitorPopupModel::sortedProcesses(groups, MonitorTab::cpu, {})),
              QStringList({"beta", "Zulu", "alpha", "Émile", "Gamma"}));
    EXPECT_EQ(names(MonitorPopupModel::sortedProcesses(groups, MonitorTab::network, {})),
              QStringList({"Gamma", "alpha", "Zulu", "beta", "Émile"}));
    // A composed and a decomposed É are the same name for the order.
    const std::vector<GroupedProcessInfo> accents{group(QString::fromUtf8("E\u0301b"), 1, 1), group("Éa", 1, 1)};
    EXPECT_EQ(MonitorPopupModel::sortedProcesses(accents, MonitorTab::cpu, {}).front().name, "Éa");
}

TEST(MonitorPopupModelPure, FiltersAsTyped) {
    const std::vector<GroupedProcessInfo> groups{group("Web Content", 1, 1), group("WebKit", 2, 1), group("bash", 3, 1)};
    EXPECT_EQ(MonitorPopupModel::sortedProcesses(groups, MonitorTab::cpu, {}).size(), 3u);
    EXPECT_EQ(names(MonitorPopupModel::sortedProcesses(groups, MonitorTab::cpu, " ")), QStringList({"Web Content"}));
    EXPECT_EQ(names(MonitorPopupModel::sortedProcesses(groups, MonitorTab::cpu, "WEB")),
              QStringList({"WebKit", "Web Content"}));
    EXPECT_TRUE(MonitorPopupModel::sortedProcesses(groups, MonitorTab::cpu, "web kit").empty());
    // A name with a line break is found as its row shows it: on one line.
    const std::vector<GroupedProcessInfo> odd{group("two\nlines", 1, 1), group("two", 2, 2)};
    EXPECT_EQ(names(MonitorPopupModel::sortedProcesses(odd, MonitorTab::cpu, "TWO LINES")),
              QStringList({"two\nlines"}));
}

TEST(MonitorPopupModelPure, FrozenOrderKeepsPlacesAndCollectsNewcomersAtTheEnd) {
    const std::vector<GroupedProcessInfo> sorted{group("new", 90, 1), group("b", 50, 1), group("a", 40, 1)};
    const QStringList frozen{"a", "gone", "b"};
    EXPECT_EQ(names(MonitorPopupModel::displayedProcesses(sorted, true, frozen)), QStringList({"a", "b", "new"}));
    EXPECT_EQ(names(MonitorPopupModel::displayedProcesses(sorted, false, frozen)), QStringList({"new", "b", "a"}));
    EXPECT_EQ(names(MonitorPopupModel::displayedProcesses(sorted, true, {})), QStringList({"new", "b", "a"}));
}

TEST(MonitorPopupModelPure, ChildrenByTheTabsMetricKeepingTies) {
    std::vector<AppProcessInfo> children{
        {1, "g", "one", 5, 100, {}, {}, {}}, {2, "g", "two", 9, 100, {}, {}, {}}, {3, "g", "three", 5, 300, {}, {}, {}}};
    auto pids = [](const std::vector<AppProcessInfo>& v) {
        std::vector<int32_t> out;
        for (const auto& c : v) out.push_back(c.pid);
        return out;
    };
    EXPECT_EQ(pids(MonitorPopupModel::sortedChildren(children, MonitorTab::cpu)), (std::vector<int32_t>{2, 1, 3}));
    EXPECT_EQ(pids(MonitorPopupModel::sortedChildren(children, MonitorTab::memory)), (std::vector<int32_t>{3, 1, 2}));
}

TEST(MonitorPopupModelPure, HoverHighlightAndWhatAChoiceOpens) {
    const GroupedProcessInfo g = group("Browser", 42, 2048);
    EXPECT_EQ(MonitorPopupModel::highlightValue(g, MonitorTab::cpu), 42.0);
    EXPECT_EQ(MonitorPopupModel::highlightValue(g, MonitorTab::memory), 2048.0);
    EXPECT_EQ(MonitorPopupModel::highlightValue(g, MonitorTab::network), std::nullopt);
    const GroupedProcessInfo live = group("Browser", 7, 1);
    EXPECT_EQ(MonitorPopupModel::groupToOpen(g, false, {})->totalCPU, 42);
    EXPECT_EQ(MonitorPopupModel::groupToOpen(g, true, {live})->totalCPU, 7);
    EXPECT_EQ(MonitorPopupModel::groupToOpen(g, true, {group("Other", 1, 1)}), std::nullopt);
}

TEST(MonitorPopupModelPure, ChartSeriesPerTab) {
    std::vector<MetricSample> day{{QDateTime::fromSecsSinceEpoch(1000), 12, 50, 70, {}},
                                  {QDateTime::fromSecsSinceEpoch(1030), 14, 25, 71, {}}};
    EXPECT_EQ(MonitorPopupModel::archivedSeries(MonitorTab::cpu, day, 16 * kGiB), (std::vector<double>{12, 14}));
    EXPECT_EQ(MonitorPopupModel::archivedSeries(MonitorTab::memory, day, 16 * kGiB),
              (std::vector<double>{8 * kGiB, 4 * kGiB}));
    EXPECT_EQ(MonitorPopupModel::archivedSeries(MonitorTab::disk, day, 16 * kGiB), (std::vector<double>{70, 71}));
    EXPECT_TRUE(MonitorPopupModel::archivedSeries(MonitorTab::network, day, 16 * kGiB).empty());
    EXPECT_TRUE(MonitorPopupModel::archivedSeries(MonitorTab::stats, day, 16 * kGiB).empty());
    EXPECT_TRUE(MonitorPopupModel::archiveHasRange(MonitorTab::disk));
    EXPECT_FALSE(MonitorPopupModel::archiveHasRange(MonitorTab::network));
}

TEST_F(ModelFixture, OpeningOnStatsKeepsTheCPUCardsAsTheListTab) {
    auto model = make(MonitorTab::stats);
    EXPECT_EQ(model->selectedTab(), MonitorTab::stats);
    EXPECT_EQ(model->listTab(), MonitorTab::cpu);
    EXPECT_EQ(make(MonitorTab::disk)->listTab(), MonitorTab::disk);
}

TEST_F(ModelFixture, ATabChangeClearsPinAndHighlightAndKeepsTheRest) {
    auto model = make(MonitorTab::cpu);
    QSignalSpy tabs(model.get(), &MonitorPopupModel::selectedTabChanged);
    QSignalSpy listTabs(model.get(), &MonitorPopupModel::listTabChanged);
    model->setSearchText("o");
    model->toggleExpanded("Browser");
    model->setProcessScrollOffset(140);
    model->setSelectedHistoryTimestamp(rig.clock().now());
    model->setChartHighlightValue(12);
    model->selectTab(MonitorTab::memory);
    EXPECT_EQ(model->selectedHistoryTimestamp(), std::nullopt);
    EXPECT_EQ(model->chartHighlightValue(), std::nullopt);
    EXPECT_EQ(model->searchText(), "o");
    EXPECT_TRUE(model->expandedGroups().contains("Browser"));
    EXPECT_EQ(model->processScrollOffset(), 140);
    ASSERT_EQ(tabs.count(), 1);
    EXPECT_EQ(tabs[0][0].value<MonitorTab>(), MonitorTab::memory);
    EXPECT_EQ(tabs[0][1].value<MonitorTab>(), MonitorTab::cpu);
    EXPECT_EQ(listTabs.count(), 1);
    // Choosing the tab shown changes nothing.
    model->selectTab(MonitorTab::memory);
    EXPECT_EQ(tabs.count(), 1);
}

TEST_F(ModelFixture, StatsKeepsTheListTabAndTakesTheSearchFocus) {
    auto model = make(MonitorTab::disk);
    model->setSearchFocused(true);
    QSignalSpy listTabs(model.get(), &MonitorPopupModel::listTabChanged);
    model->selectTab(MonitorTab::stats);
    EXPECT_EQ(model->listTab(), MonitorTab::disk);
    EXPECT_FALSE(model->searchFocused());
    EXPECT_EQ(listTabs.count(), 0);
    model->selectTab(MonitorTab::cpu);
    EXPECT_EQ(model->listTab(), MonitorTab::cpu);
    EXPECT_EQ(listTabs.count(), 1);
}

TEST_F(ModelFixture, TheDayRangeSurvivesCPUMemAndDiskButNotNetOrStats) {
    auto model = make(MonitorTab::cpu);
    model->chooseChartRange(MonitorPopupModel::ChartRange::day);
    for (MonitorTab tab : {MonitorTab::memory, MonitorTab::disk, MonitorTab::cpu}) {
        model->selectTab(tab);
        EXPECT_EQ(model->chartRange(), MonitorPopupModel::ChartRange::day) << MonitorTabs::rawValue(tab).toStdString();
    }
    model->selectTab(MonitorTab::network);
    EXPECT_EQ(model->chartRange(), MonitorPopupModel::ChartRange::live);
    model->selectTab(MonitorTab::cpu);
    model->chooseChartRange(MonitorPopupModel::ChartRange::day);
    model->selectTab(MonitorTab::stats);
    EXPECT_EQ(model->chartRange(), MonitorPopupModel::ChartRange::live);
}

TEST_F(ModelFixture, TheDayRangeLoadsTheLogEachTimeItIsChosen) {
    const QDateTime now = rig.clock().now();  // the archive's clock: a later sample would be from the future
    archive.record(MetricSample{now.addSecs(-60), 33, 50, 70, {}});
    archive.waitUntilIdle();
    auto model = make(MonitorTab::memory);
    QSignalSpy loads(model.get(), &MonitorPopupModel::archiveChanged);
    model->chooseChartRange(MonitorPopupModel::ChartRange::day);
    ASSERT_TRUE(TestSupport::waitFor([&] { return loads.count() == 1; }));
    ASSERT_EQ(model->archive().size(), 1u);
    EXPECT_EQ(model->archivedSeries(), (std::vector<double>{8 * kGiB}));
    model->chooseChartRange(MonitorPopupModel::ChartRange::day);
    EXPECT_TRUE(TestSupport::waitFor([&] { return loads.count() == 2; }));
    model->chooseChartRange(MonitorPopupModel::ChartRange::live);
    TestSupport::spin(50);
    EXPECT_EQ(loads.count(), 2);
}

TEST_F(ModelFixture, AChangeOfThePinnedSampleEmptiesTheFreezeAndTheHighlight) {
    auto model = make(MonitorTab::cpu);
    model->setPointerInList(true);
    model->setFrozenOrder({"shell", "editor"});
    model->setChartHighlightValue(3);
    model->setSelectedHistoryTimestamp(rig.clock().now());
    EXPECT_TRUE(model->frozenOrder().isEmpty());
    EXPECT_EQ(model->chartHighlightValue(), std::nullopt);
    model->setFrozenOrder({"shell"});
    model->setSelectedHistoryTimestamp(std::nullopt);
    EXPECT_TRUE(model->frozenOrder().isEmpty());
}

TEST_F(ModelFixture, HoveringAGroupFreezesTheDisplayedOrderUntilThePointerLeaves) {
    auto model = make(MonitorTab::cpu);
    EXPECT_EQ(names(model->displayedProcesses()), QStringList({"editor", "Browser", "shell", "systemd"}));
    model->setPointerInList(true);
    EXPECT_TRUE(model->frozenOrder().isEmpty());  // entering alone does not freeze
    const QStringList shown = names(model->displayedProcesses());
    model->groupHoverChanged(live("Browser"), true, shown);
    EXPECT_EQ(model->frozenOrder(), shown);
    EXPECT_EQ(model->chartHighlightValue(), live("Browser").totalCPU);
    // A second hover keeps the first freeze.
    model->groupHoverChanged(live("shell"), true, {"shell"});
    EXPECT_EQ(model->frozenOrder(), shown);
    model->groupHoverChanged(live("shell"), false, {});
    EXPECT_EQ(model->chartHighlightValue(), std::nullopt);
    // Fresh figures reorder nothing while frozen; a departed group goes, a newcomer comes last.
    rig.proc().burn(201, 190);
    rig.proc().remove(200);
    rig.proc().add({300, 1, "newcomer", "", 0, 100});
    rig.refresh();
    EXPECT_EQ(names(model->displayedProcesses()), QStringList({"Browser", "shell", "systemd", "newcomer"}));
    model->setPointerInList(false);
    EXPECT_TRUE(model->frozenOrder().isEmpty());
    EXPECT_EQ(names(model->displayedProcesses()), QStringList({"shell", "Browser", "newcomer", "systemd"}));
}

TEST_F(ModelFixture, HoverMarksTheTabsUnitAndNothingOnNet) {
    auto model = make(MonitorTab::memory);
    const GroupedProcessInfo& browser = live("Browser");
    model->groupHoverChanged(browser, true, {});
    EXPECT_EQ(model->chartHighlightValue(), double(browser.totalMemory));
    model->childHoverChanged(browser.children.back(), true);
    EXPECT_EQ(model->chartHighlightValue(), double(browser.children.back().memoryBytes));
    model->childHoverChanged(browser.children.back(), false);
    EXPECT_EQ(model->chartHighlightValue(), std::nullopt);
    model->selectTab(MonitorTab::network);
    model->setChartHighlightValue(5);
    model->groupHoverChanged(browser, true, {});
    EXPECT_EQ(model->chartHighlightValue(), std::nullopt);
}

TEST_F(ModelFixture, WithAPinnedSampleOnlyAGroupThatStillRunsOpens) {
    auto model = make(MonitorTab::cpu);
    const GroupedProcessInfo oldShell = live("shell");
    QSignalSpy opened(model.get(), &MonitorPopupModel::selectedProcessChanged);
    model->setSelectedHistoryTimestamp(rig.clock().now().addSecs(-1000));  // the oldest snapshot
    rig.proc().remove(201);
    rig.proc().burn(200, 50);
    rig.refresh();
    model->chooseGroup(oldShell);
    EXPECT_EQ(model->selectedProcess(), std::nullopt);
    EXPECT_EQ(opened.count(), 0);
    // The pinned list's editor opens as it runs now.
    const std::vector<GroupedProcessInfo> pinned = model->processSource();
    auto editor = std::find_if(pinned.begin(), pinned.end(), [](const auto& g) { return g.name == "editor"; });
    ASSERT_NE(editor, pinned.end());
    model->chooseGroup(*editor);
    ASSERT_TRUE(model->selectedProcess().has_value());
    EXPECT_EQ(*model->selectedProcess(), live("editor"));
    // Live, the row's own group opens; none closes the detail.
    model->setSelectedHistoryTimestamp(std::nullopt);
    model->chooseGroup(live("Browser"));
    EXPECT_EQ(model->selectedProcess()->name, "Browser");
    model->selectProcess(std::nullopt);
    EXPECT_EQ(model->selectedProcess(), std::nullopt);
    EXPECT_EQ(opened.count(), 3);
}

TEST_F(ModelFixture, LoadingUntilTheSecondRefresh) {
    MonitorRig fresh;
    fresh.proc().add({500, 1, "worker", "", 0, 100});
    fresh.refresh();
    MonitorPopupModel model(MonitorTab::cpu, fresh.monitor(), archive, 16 * kGiB);
    EXPECT_FALSE(model.processSource().empty());
    EXPECT_TRUE(model.isLoading());
    fresh.proc().burn(500, 20);
    fresh.refresh();
    EXPECT_FALSE(model.isLoading());
}

TEST_F(ModelFixture, TheScrollOffsetIsNeverNegativeAndAnnouncedOnce) {
    auto model = make(MonitorTab::cpu);
    QSignalSpy offsets(model.get(), &MonitorPopupModel::processScrollOffsetChanged);
    model->setProcessScrollOffset(-20);
    EXPECT_EQ(model->processScrollOffset(), 0);
    model->setProcessScrollOffset(90);
    model->setProcessScrollOffset(90);
    EXPECT_EQ(offsets.count(), 1);
    for (MonitorTab tab : {MonitorTab::disk, MonitorTab::stats, MonitorTab::network, MonitorTab::cpu})
        model->selectTab(tab);
    EXPECT_EQ(model->processScrollOffset(), 90);
}
