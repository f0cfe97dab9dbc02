// The popup's views driven with real events on the offscreen platform.
#include "MonitorTestSupport.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Source/Features/System/MonitorPopupModel.h"
#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/SystemSampler.h"
#include "Views/Monitor/ChartWell.h"
#include "Views/Monitor/ChildProcessRowView.h"
#include "Views/DiskPane/DiskCapacityContent.h"
#include "Views/DiskPane/DiskCleanupContent.h"
#include "Views/DiskPane/DiskScanContent.h"
#include "Views/DiskPane/MonitorDiskTab.h"
#include "Views/Monitor/MonitorTabPicker.h"
#include "Views/Monitor/GroupedProcessRowView.h"
#include "Views/Monitor/MetricChartCard.h"
#include "Views/Monitor/ProcessSearchRow.h"
#include "Views/Monitor/ProcessWell.h"
#include "Views/Shared/SymbolButton.h"
#include "Views/Monitor/SystemMonitorView.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QAccessible>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kGiB = 1024.0 * 1024 * 1024;

// A view over a synthetic process list, shown in its own window.
struct ViewFixture : ::testing::Test {
    MonitorRig rig;
    SystemSampler sampler{QStringLiteral(QUORVIN_FIXTURES "/linux-desktop"), nullptr};
    MetricArchive archive{TestSupport::tempRoot() + "/view-metrics-" +
                          QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".log"};
    std::unique_ptr<QWidget> host;
    SystemMonitorView* view = nullptr;
    int dismissed = 0;

    void SetUp() override {
        AccessibilityDisplayOptions::shared().setOverride(true, false);  // short transitions
        rig.addBrowserEditorShell();
    }
    void TearDown() override {
        host.reset();
        AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
    }

    SystemMonitorView::Sources sources() {
        SystemMonitorView::Sources s;
        s.monitor = &rig.monitor();
        s.sampler = &sampler;
        s.archive = &archive;
        s.physicalMemory = 16 * kGiB;
        return s;
    }

    void open(MonitorTab tab) {
        host = std::make_unique<QWidget>();
        host->resize(360, 660);
        view = new SystemMonitorView(tab, [this] { ++dismissed; }, sources(), host.get());
        view->setGeometry(0, 0, 360, 660);
        host->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
        settle();
    }
    void settle(int ms = 450) {
        TestSupport::spin(ms);
        if (auto* well = processWell()) well->refreshNow();
    }
    ProcessWell* processWell() const { return view ? qobject_cast<ProcessWell*>(view->bodyContent()) : nullptr; }
    ChartWell* chartWell() const { return view ? qobject_cast<ChartWell*>(view->headerContent()) : nullptr; }
    QPoint centreIn(QWidget* w) const { return w->mapTo(host.get(), w->rect().center()); }
    void moveTo(QWidget* w, QPoint local = {}) {
        const QPoint p = w->mapTo(host.get(), local.isNull() ? w->rect().center() : local);
        QTest::mouseMove(host->windowHandle(), p);
        QCoreApplication::processEvents();
    }
    void click(QWidget* w, QPoint local = {}) {
        const QPoint p = w->mapTo(host.get(), local.isNull() ? w->rect().center() : local);
        QTest::mouseMove(host->windowHandle(), p);
        QTest::mouseClick(host->windowHandle(), Qt::LeftButton, Qt::NoModifier, p);
        QCoreApplication::processEvents();
    }
};

QStringList names(const std::vector<GroupedProcessInfo>& groups) {
    QStringList list;
    for (const auto& g : groups) list << g.name;
    return list;
}

}  // namespace

TEST_F(ViewFixture, TabStripChangesTheTabAndTheListTabFollowsExceptForStats) {
    open(MonitorTab::disk);
    EXPECT_EQ(view->model().listTab(), MonitorTab::disk);
    EXPECT_EQ(view->paneSource(), "disk");
    click(view->tabPicker()->segmentButton(MonitorTab::stats));
    EXPECT_EQ(view->model().selectedTab(), MonitorTab::stats);
    EXPECT_EQ(view->model().listTab(), MonitorTab::disk);
    EXPECT_TRUE(view->isStatsMode());
    EXPECT_TRUE(view->isFused());
    EXPECT_NE(view->statsContent(), nullptr);
    settle();
    EXPECT_FALSE(view->listCards()->isVisible());
    click(view->tabPicker()->segmentButton(MonitorTab::cpu));
    settle();
    EXPECT_EQ(view->model().listTab(), MonitorTab::cpu);
    EXPECT_NE(chartWell(), nullptr);
    EXPECT_NE(processWell(), nullptr);
    EXPECT_EQ(view->statsContent(), nullptr);
    EXPECT_TRUE(view->listCards()->isVisible());
}

TEST_F(ViewFixture, OpeningOnStatsShowsTheCPUCardsBehindTheDashboard) {
    open(MonitorTab::stats);
    EXPECT_EQ(view->model().selectedTab(), MonitorTab::stats);
    EXPECT_EQ(view->model().listTab(), MonitorTab::cpu);
    EXPECT_NE(chartWell(), nullptr);
}

TEST_F(ViewFixture, ATabChangeClearsThePinAndHighlightButKeepsSearchAndList) {
    open(MonitorTab::cpu);
    ProcessWell* well = processWell();
    view->model().setSearchText("o");
    view->model().setSelectedHistoryTimestamp(rig.clock().now());
    view->model().setChartHighlightValue(12);
    view->model().selectTab(MonitorTab::memory);
    EXPECT_EQ(view->model().selectedHistoryTimestamp(), std::nullopt);
    EXPECT_EQ(view->model().chartHighlightValue(), std::nullopt);
    EXPECT_EQ(view->model().searchText(), "o");
    EXPECT_EQ(processWell(), well);  // the same list, only re-sorted
    settle();
    EXPECT_EQ(names(well->displayed()), QStringList({"Browser", "editor"}));
}

TEST_F(ViewFixture, DayRangeSurvivesCPUMemAndDiskButNotNetOrStats) {
    std::vector<MetricSample> day;
    const QDateTime now = rig.clock().now();  // the archive's clock: later samples would be from the future
    for (int i = 0; i < 2880; ++i) day.push_back(MetricSample{now.addSecs(-86000 + i * 30), double(i % 100), 50, 70, {}});
    for (const MetricSample& s : day) archive.record(s);
    archive.waitUntilIdle();
    open(MonitorTab::cpu);
    click(chartWell()->rangeButton(MonitorPopupModel::ChartRange::day));
    EXPECT_EQ(view->model().chartRange(), MonitorPopupModel::ChartRange::day);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !view->model().archive().empty(); }));
    EXPECT_GT(view->model().archive().size(), 2000u);
    const MetricChartCard::Model& cpu = chartWell()->card()->model();
    EXPECT_EQ(cpu.series.size(), view->model().archive().size());
    EXPECT_EQ(cpu.timestamps.back(), view->model().archive().back().at);
    EXPECT_EQ(chartWell()->card()->leadingEmptySlots(), 0);

    view->model().selectTab(MonitorTab::memory);
    settle();
    EXPECT_EQ(view->model().chartRange(), MonitorPopupModel::ChartRange::day);
    EXPECT_DOUBLE_EQ(chartWell()->card()->model().series.back(), 8 * kGiB);
    // No highlight in the day range.
    view->model().setChartHighlightValue(4 * kGiB);
    EXPECT_EQ(chartWell()->card()->model().highlightValue, std::nullopt);

    view->model().selectTab(MonitorTab::network);
    settle();
    EXPECT_EQ(view->model().chartRange(), MonitorPopupModel::ChartRange::live);
    EXPECT_FALSE(chartWell()->rangePicker()->isVisible());
}

TEST_F(ViewFixture, MemoryIsChartedInBytesOfPhysicalMemory) {
    rig.monitor().appendSample(10, 2, 50, 40, 1000, rig.clock().now());
    open(MonitorTab::memory);
    const auto& model = chartWell()->card()->model();
    ASSERT_EQ(model.series.size(), 1u);
    EXPECT_DOUBLE_EQ(model.series[0], 8'589'934'592.0);
    EXPECT_EQ(model.kind, MetricChartKind::bytes);
    EXPECT_EQ(model.lower, std::nullopt);
    view->model().selectTab(MonitorTab::cpu);
    settle();
    EXPECT_TRUE(chartWell()->card()->model().lower.has_value());
}

TEST_F(ViewFixture, ClickingABarPinsTheListToThatMomentAndLiveReturns) {
    const QDateTime t0 = rig.clock().now();
    for (int i = 0; i < 60; ++i) rig.monitor().appendSample(20 + i % 7, 3, 40, 50, 100, t0.addSecs(i - 60));
    open(MonitorTab::cpu);
    MetricChartCard* card = chartWell()->card();
    const double step = card->width() / 60.0;
    // Hover previews a bar without pinning it.
    moveTo(card, QPoint(int(step * 10.5), 60));
    EXPECT_EQ(card->hoveredSlot(), 10);
    EXPECT_FALSE(card->accessibilityInspectionValue().isEmpty());
    // Assistive technology reads the same value, with the card's label and hint.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(card);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Chart);
    EXPECT_EQ(accessible->text(QAccessible::Value), card->accessibilityInspectionValue());
    EXPECT_EQ(accessible->text(QAccessible::Name), "History chart");
    EXPECT_EQ(accessible->text(QAccessible::Description),
              "Move across the chart to preview a sample, or click to keep it selected");
    view->model().setPointerInList(true);
    view->model().setFrozenOrder({"shell"});
    click(card, QPoint(int(step * 59.5), 60));
    ASSERT_TRUE(view->model().selectedHistoryTimestamp().has_value());
    EXPECT_EQ(*view->model().selectedHistoryTimestamp(), t0.addSecs(-1));
    EXPECT_TRUE(view->model().frozenOrder().isEmpty());
    EXPECT_EQ(card->resolvedPinnedSlot(), 59);
    auto* row = qobject_cast<ProcessSearchRow*>(view->midContent());
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->liveButton()->isVisible());
    EXPECT_TRUE(row->pinnedTime()->isVisible());
    // The list shows the groups of the snapshot nearest to the pinned time.
    EXPECT_EQ(view->model().processSource().size(), rig.monitor().processGroups(t0)->size());
    // A second click on the same bar unpins.
    click(card, QPoint(int(step * 59.5), 60));
    EXPECT_EQ(view->model().selectedHistoryTimestamp(), std::nullopt);
    click(card, QPoint(int(step * 30.5), 60));
    ASSERT_TRUE(view->model().selectedHistoryTimestamp().has_value());
    click(row->liveButton());
    EXPECT_EQ(view->model().selectedHistoryTimestamp(), std::nullopt);
    EXPECT_FALSE(row->liveButton()->isVisible());
}

TEST_F(ViewFixture, HoveringARowFreezesTheOrderUntilThePointerLeaves) {
    open(MonitorTab::cpu);
    ProcessWell* well = processWell();
    ASSERT_FALSE(well->isLoading());
    EXPECT_EQ(names(well->displayed()), QStringList({"editor", "Browser", "shell", "systemd"}));
    // Entering the well alone does not freeze.
    moveTo(well, QPoint(well->width() / 2, well->height() - 20));
    EXPECT_TRUE(view->model().isPointerInList());
    EXPECT_TRUE(view->model().frozenOrder().isEmpty());
    GroupedProcessRowView* browser = well->groupRow("Browser");
    ASSERT_NE(browser, nullptr);
    moveTo(browser);
    EXPECT_EQ(view->model().frozenOrder(), QStringList({"editor", "Browser", "shell", "systemd"}));
    EXPECT_EQ(view->model().chartHighlightValue(), browser->process().totalCPU);
    // Fresh figures reorder nothing; a newcomer joins at the end; a departed group goes.
    rig.proc().burn(201, 190);
    rig.proc().remove(200);
    rig.proc().add({300, 1, "newcomer", "", 0, 100});
    rig.refresh();
    well->refreshNow();
    EXPECT_EQ(names(well->displayed()), QStringList({"Browser", "shell", "systemd", "newcomer"}));
    // Typing keeps the frozen order for what still matches.
    view->model().setSearchText("e");
    well->refreshNow();
    EXPECT_EQ(names(well->displayed()), QStringList({"Browser", "shell", "systemd", "newcomer"}));
    view->model().setSearchText("");
    // Leaving the well sorts at once.
    QTest::mouseMove(host->windowHandle(), QPoint(180, 5));
    QCoreApplication::processEvents();
    EXPECT_FALSE(view->model().isPointerInList());
    EXPECT_TRUE(view->model().frozenOrder().isEmpty());
    well->refreshNow();
    EXPECT_EQ(names(well->displayed()), QStringList({"shell", "Browser", "newcomer", "systemd"}));
}

TEST_F(ViewFixture, NetTabHoverClearsTheHighlight) {
    open(MonitorTab::network);
    view->model().setChartHighlightValue(5);
    moveTo(processWell()->groupRow("Browser"));
    EXPECT_EQ(view->model().chartHighlightValue(), std::nullopt);
}

TEST_F(ViewFixture, SearchFiltersAndShowsNoMatches) {
    open(MonitorTab::cpu);
    auto* row = qobject_cast<ProcessSearchRow*>(view->midContent());
    click(row->field());
    EXPECT_TRUE(view->model().searchFocused());
    QTest::keyClicks(row->field(), "BROW");
    EXPECT_EQ(view->model().searchText(), "BROW");
    processWell()->refreshNow();
    EXPECT_EQ(names(processWell()->displayed()), QStringList({"Browser"}));
    EXPECT_TRUE(row->clearButton()->isVisible());
    QTest::keyClicks(row->field(), "zzz");
    processWell()->refreshNow();
    EXPECT_TRUE(processWell()->noMatchesView()->isVisible());
    click(row->clearButton());
    EXPECT_EQ(view->model().searchText(), "");
    EXPECT_EQ(row->field()->text(), "");
    processWell()->refreshNow();
    EXPECT_EQ(processWell()->displayed().size(), 4u);
    // Stats takes the focus away.
    view->model().selectTab(MonitorTab::stats);
    EXPECT_FALSE(view->model().searchFocused());
}

TEST_F(ViewFixture, ExpandingShowsChildrenOnlyForGroupsOfTwoOrMore) {
    open(MonitorTab::memory);
    ProcessWell* well = processWell();
    GroupedProcessRowView* browser = well->groupRow("Browser");
    ASSERT_TRUE(browser->expandButton()->isVisible());
    EXPECT_FALSE(well->groupRow("shell")->expandButton()->isVisible());
    click(browser->expandButton());
    EXPECT_TRUE(view->model().expandedGroups().contains("Browser"));
    EXPECT_EQ(view->model().selectedProcess(), std::nullopt);  // the expand button does not open the detail
    well->refreshNow();
    ASSERT_NE(well->childRow(100), nullptr);
    ASSERT_NE(well->childRow(102), nullptr);
    // Memory order on the Mem tab: 100 (50000 pages) above 101 and 102.
    EXPECT_LT(well->childRow(100)->y(), well->childRow(101)->y());
    EXPECT_LT(well->childRow(101)->y(), well->childRow(102)->y());
    view->model().toggleExpanded("shell");
    well->refreshNow();
    EXPECT_EQ(well->childRow(201), nullptr);
    // The rows sit on unfilled content: filled, it would count as opaque, and without a compositor a
    // collapsed group's rows would stay under the glass.
    EXPECT_FALSE(well->scrollArea()->widget()->autoFillBackground());
    EXPECT_FALSE(well->scrollArea()->viewport()->autoFillBackground());
    // Hovering a child marks its memory.
    moveTo(well->childRow(101));
    EXPECT_EQ(view->model().chartHighlightValue(), double(well->childRow(101)->process().memoryBytes));
}

TEST_F(ViewFixture, ChoosingARowOpensTheDetailAndEscapeGoesBackNotAway) {
    open(MonitorTab::cpu);
    click(processWell()->groupRow("Browser"));
    ASSERT_TRUE(view->model().selectedProcess().has_value());
    EXPECT_EQ(view->model().selectedProcess()->name, "Browser");
    EXPECT_TRUE(view->isShowingDetail());
    settle();
    for (int part = 0; part < 3; ++part) ASSERT_NE(view->detailPiece(part), nullptr) << part;
    EXPECT_EQ(view->detailPiece(0)->objectName(), "detail-Browser");
    EXPECT_FALSE(view->tabPicker()->isVisible());
    EXPECT_FALSE(view->escapeClosesPopup());
    QTest::keyClick(host.get(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(dismissed, 0);
    EXPECT_FALSE(view->isShowingDetail());
    EXPECT_TRUE(view->tabPicker()->isVisible());
    QTest::keyClick(host.get(), Qt::Key_Escape);
    EXPECT_EQ(dismissed, 1);
}

TEST_F(ViewFixture, WithAPinnedSampleOnlyALiveGroupOpens) {
    open(MonitorTab::cpu);
    view->model().setSelectedHistoryTimestamp(rig.clock().now().addSecs(-1000));  // the oldest snapshot
    processWell()->refreshNow();
    rig.proc().remove(201);
    rig.refresh();
    processWell()->refreshNow();
    ASSERT_NE(processWell()->groupRow("shell"), nullptr);  // still in the old snapshot
    click(processWell()->groupRow("shell"));
    EXPECT_EQ(view->model().selectedProcess(), std::nullopt);
    click(processWell()->groupRow("editor"));
    ASSERT_TRUE(view->model().selectedProcess().has_value());
    EXPECT_EQ(view->model().selectedProcess()->name, "editor");
}

TEST_F(ViewFixture, TheSkeletonWaitsForTheSecondRefresh) {
    MonitorRig fresh;
    fresh.proc().add({500, 1, "worker", "", 0, 100});
    fresh.refresh();
    EXPECT_FALSE(fresh.monitor().hasUsableCPU());
    SystemMonitorView::Sources s = sources();
    s.monitor = &fresh.monitor();
    host = std::make_unique<QWidget>();
    host->resize(360, 660);
    view = new SystemMonitorView(MonitorTab::cpu, [] {}, s, host.get());
    view->setGeometry(0, 0, 360, 660);
    host->show();
    settle();
    ProcessWell* well = processWell();
    EXPECT_TRUE(well->isLoading());
    EXPECT_TRUE(well->skeletonPulse());
    EXPECT_TRUE(well->loadingView()->isVisible());
    EXPECT_EQ(well->builtRowCount(), 0);
    fresh.proc().burn(500, 20);
    fresh.refresh();
    // The rows take the loading rows' place at once: never both at the same time.
    well->refreshNow();
    EXPECT_FALSE(well->isLoading());
    EXPECT_FALSE(well->loadingView()->isVisible());
    settle(600);
    EXPECT_FALSE(well->isLoading());
    EXPECT_FALSE(well->skeletonPulse());
    EXPECT_FALSE(well->loadingView()->isVisible());
    EXPECT_NE(well->groupRow("worker"), nullptr);
}

TEST_F(ViewFixture, RowsAreBuiltOnlyForThePartInView) {
    for (int i = 0; i < 400; ++i) rig.proc().add({1000 + i, 1, "task" + QByteArray::number(i), "", 0, quint64(10 + i)});
    rig.refresh();
    rig.refresh();
    open(MonitorTab::memory);
    ProcessWell* well = processWell();
    EXPECT_GE(well->displayed().size(), 400u);
    EXPECT_LT(well->builtRowCount(), 30);
    EXPECT_GT(well->contentHeight(), 400 * 28);
}

TEST_F(ViewFixture, TheListKeepsItsScrollPositionAcrossEveryTabChange) {
    for (int i = 0; i < 200; ++i) rig.proc().add({1000 + i, 1, "task" + QByteArray::number(i), "", 0, quint64(10 + i)});
    rig.refresh();
    rig.refresh();
    open(MonitorTab::cpu);
    QScrollBar* bar = processWell()->scrollArea()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 3000);
    // A wheel turn scrolls as the user would; then the offset is set further down.
    const QPoint inList = centreIn(processWell());
    QWheelEvent wheel(QPointF(processWell()->mapFromGlobal(processWell()->mapToGlobal(inList))), QPointF(inList),
                      QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(processWell()->scrollArea()->viewport(), &wheel);
    EXPECT_GT(bar->value(), 0);
    bar->setValue(2400);
    EXPECT_EQ(view->model().processScrollOffset(), 2400);
    for (MonitorTab away : {MonitorTab::memory, MonitorTab::disk, MonitorTab::stats, MonitorTab::network}) {
        view->model().selectTab(away);
        settle();
        view->model().selectTab(MonitorTab::cpu);
        settle();
        ProcessWell* well = processWell();
        ASSERT_NE(well, nullptr);
        EXPECT_EQ(well->scrollArea()->verticalScrollBar()->value(), 2400) << MonitorTabs::rawValue(away).toStdString();
        // The rows in view are the ones at that offset, not the top of the list.
        EXPECT_EQ(well->groupRow(well->displayed().front().name), nullptr);
    }
}

// MARK: the Disk tab's seam

namespace {
class FakeDiskTab : public MonitorDiskTab {
public:
    std::optional<QString> inspected;
    QWidget* makeHeader(QWidget* parent) override { return named("fake-header", parent); }
    QWidget* makeMiddle(QWidget* parent) override { return named("fake-middle", parent); }
    QWidget* makeBody(QWidget* parent) override { return named("fake-body", parent); }
    QWidget* makeDetail(DetailPart part, std::function<void()> onBack, QWidget* parent) override {
        QWidget* w = named(QStringLiteral("fake-detail-%1").arg(int(part)), parent);
        backs.push_back(std::move(onBack));
        return w;
    }
    std::optional<QString> inspectedItemID() const override { return inspected; }
    void clearInspectedItem() override { inspect(std::nullopt); }
    void inspect(std::optional<QString> id) {
        inspected = std::move(id);
        emit inspectedItemChanged();
    }
    std::vector<std::function<void()>> backs;

private:
    static QWidget* named(const QString& name, QWidget* parent) {
        auto* w = new QWidget(parent);
        w->setObjectName(name);
        return w;
    }
};
}  // namespace

TEST_F(ViewFixture, TheDiskTabHostsTheDiskViewsAndTheirDetail) {
    auto provider = std::make_unique<FakeDiskTab>();
    FakeDiskTab* disk = provider.get();
    MonitorDiskTab::install(std::move(provider));
    open(MonitorTab::disk);
    EXPECT_EQ(view->headerContent()->objectName(), "fake-header");
    EXPECT_EQ(view->midContent()->objectName(), "fake-middle");
    EXPECT_EQ(view->bodyContent()->objectName(), "fake-body");
    disk->inspect(QStringLiteral("0F1E2D3C-0000-4000-8000-000000000001"));
    EXPECT_TRUE(view->isShowingDetail());
    ASSERT_NE(view->detailPiece(1), nullptr);
    EXPECT_EQ(view->detailPiece(1)->objectName(), "detail-0F1E2D3C-0000-4000-8000-000000000001");
    ASSERT_EQ(disk->backs.size(), 3u);
    disk->backs[0]();
    EXPECT_EQ(disk->inspected, std::nullopt);
    EXPECT_FALSE(view->isShowingDetail());
    // A selected process wins over an inspected item.
    disk->inspect(QStringLiteral("item"));
    view->model().selectProcess(rig.monitor().groupedProcesses().front());
    EXPECT_EQ(view->detailPiece(0)->objectName(), "detail-" + rig.monitor().groupedProcesses().front().name);
    host.reset();
    MonitorDiskTab::install(nullptr);
}

TEST_F(ViewFixture, TheDefaultDiskHeaderShowsTheStartUpVolume) {
    MonitorDiskTab::install(nullptr);
    open(MonitorTab::disk);
    auto* capacity = qobject_cast<DiskCapacityContent*>(view->headerContent());
    ASSERT_TRUE(capacity);
    ASSERT_TRUE(TestSupport::waitFor([&] { return capacity->figureText(0) != "--"; }));
    for (int i = 0; i < 3; ++i) {
        const QString figure = capacity->figureText(i);
        EXPECT_TRUE(figure.endsWith(" GB") || figure.endsWith(" TB")) << figure.toStdString();
    }
    EXPECT_TRUE(qobject_cast<DiskScanContent*>(view->midContent()));
    EXPECT_TRUE(qobject_cast<DiskCleanupContent*>(view->bodyContent()));
}

// Without a compositor the window is cut to the cards; while the cards move between the list and a
// detail, the cut must cover every card, also where the old and new cards overlap.
TEST_F(ViewFixture, TheWindowCutCoversOverlappingCardsWhileTheDetailComesAndGoes) {
    open(MonitorTab::cpu);
    view->setOpaqueBacking(true);
    const QList<QPoint> inside{{180, 300}, {180, 500}, {60, 400}, {300, 400}};
    auto checkDuring = [&](const char* step) {
        for (int tick = 0; tick < 12; ++tick) {
            for (const QPoint& p : inside)
                ASSERT_TRUE(view->cardsRegion().contains(p))
                    << step << " tick " << tick << " at " << p.x() << "," << p.y();
            TestSupport::spin(25);
        }
    };
    click(processWell()->groupRow("Browser"));
    ASSERT_TRUE(view->isShowingDetail());
    checkDuring("opening");
    QTest::keyClick(host.get(), Qt::Key_Escape);
    ASSERT_FALSE(view->isShowingDetail());
    checkDuring("closing");
}
