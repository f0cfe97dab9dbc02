// The popup controller over the live process list: opening on each tab, what keeps it open and
// what closes it. Saves QUORVIN_TEST_OUTPUT/popup-<tab>.png.
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/ProcessMonitor.h"
#include "Source/Features/System/SystemSampler.h"
#include "Source/Features/System/SystemMonitorPopupController.h"
#include "TestSupport.h"
#include "Views/DiskPane/MonitorDiskTab.h"
#include "Views/Monitor/ProcessWell.h"
#include "Views/Monitor/StatsChartCard.h"
#include "Views/Monitor/StatsDashboard.h"
#include "Views/Monitor/HoverableBars.h"
#include "Views/Shared/KeyablePopupPanel.h"
#include "Views/Monitor/SystemMonitorView.h"

#include <QApplication>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct PopupFixture : ::testing::Test {
    SystemMonitorPopupController& controller = SystemMonitorPopupController::shared();
    void SetUp() override { AccessibilityDisplayOptions::shared().setOverride(true, false); }
    void TearDown() override {
        controller.dismiss();
        TestSupport::spin(50);
        AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
    }
    void openOn(MonitorTab tab) {
        controller.show(tab);
        ASSERT_NE(controller.panel(), nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.panel()));
    }
};

QImage onDesk(QWidget* w) {
    QImage desk(w->size(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&desk);
    QLinearGradient g(0, 0, w->width(), w->height());
    g.setColorAt(0, QColor(40, 70, 120));
    g.setColorAt(1, QColor(120, 60, 90));
    p.fillRect(desk.rect(), g);
    w->render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
    return desk;
}

}  // namespace

TEST_F(PopupFixture, OpensOnEachTabWithTheProcessListRefreshing) {
    // Live readings from this machine, as the program takes them.
    ProcessMonitor::shared().startHistories();
    SystemSampler& sampler = SystemSampler::shared();
    for (int i = 0; i < 4; ++i) {
        const int before = sampler.passCount();
        NetworkMonitor::shared().sample();
        sampler.sample(true);
        ASSERT_TRUE(TestSupport::waitFor([&] { return sampler.passCount() > before; }, 5000));
        TestSupport::spin(150);
    }
    EXPECT_FALSE(ProcessMonitor::shared().cpuHistory().empty());
    for (MonitorTab tab : MonitorTabs::allCases) {
        openOn(tab);
        KeyablePopupPanel* panel = controller.panel();
        EXPECT_EQ(panel->size(), QSize(360, 660));
        EXPECT_EQ(panel->minimumSize(), QSize(360, 500));
        EXPECT_TRUE(panel->dragsFromAnywhere());
        EXPECT_TRUE(panel->windowFlags() & Qt::WindowStaysOnTopHint);
        SystemMonitorView* view = controller.view();
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->model().selectedTab(), tab);
        EXPECT_NE(ProcessMonitor::shared().processTimer(), nullptr);
        // Let the live list arrive (two refreshes, 1 s apart) before the picture.
        if (auto* well = qobject_cast<ProcessWell*>(view->bodyContent())) {
            EXPECT_TRUE(TestSupport::waitFor([&] { return !well->isLoading(); }, 4000));
            EXPECT_FALSE(well->displayed().empty());
        }
        if (tab == MonitorTab::stats) {
            auto* dashboard = qobject_cast<StatsDashboard*>(view->statsContent());
            ASSERT_NE(dashboard, nullptr);
            ASSERT_NE(dashboard->card("Usage"), nullptr);
            EXPECT_FALSE(dashboard->card("Usage")->bars()->series().empty());
        }
        TestSupport::spin(500);
        EXPECT_TRUE(onDesk(panel).save(QStringLiteral(QUORVIN_TEST_OUTPUT "/popup-") + MonitorTabs::rawValue(tab) + ".png"));
        controller.dismiss();
        EXPECT_EQ(controller.panel(), nullptr);
        EXPECT_EQ(ProcessMonitor::shared().processTimer(), nullptr);
    }
}

TEST_F(PopupFixture, ShowingAnOpenPopupOnlyBringsItForward) {
    openOn(MonitorTab::cpu);
    KeyablePopupPanel* panel = controller.panel();
    controller.show(MonitorTab::disk);
    EXPECT_EQ(controller.panel(), panel);
    EXPECT_EQ(controller.view()->model().selectedTab(), MonitorTab::cpu);
}

TEST_F(PopupFixture, EveryOpeningStartsFresh) {
    openOn(MonitorTab::memory);
    controller.view()->model().setSearchText("abc");
    controller.view()->model().selectTab(MonitorTab::network);
    QPointer<KeyablePopupPanel> first = controller.panel();
    controller.dismiss();
    openOn(MonitorTab::memory);
    EXPECT_NE(controller.panel(), first.data());
    EXPECT_EQ(controller.view()->model().searchText(), "");
    EXPECT_EQ(controller.view()->model().selectedTab(), MonitorTab::memory);
    TestSupport::spin(50);
    EXPECT_TRUE(first.isNull());  // released
}

TEST_F(PopupFixture, EscapeClosesIt) {
    openOn(MonitorTab::network);
    QTest::keyClick(controller.panel(), Qt::Key_Escape);
    EXPECT_EQ(controller.panel(), nullptr);
}

TEST_F(PopupFixture, LosingTheKeyboardToAnotherWindowClosesItButNotToAModalAlert) {
    openOn(MonitorTab::cpu);
    controller.panel()->activateWindow();
    ASSERT_TRUE(TestSupport::waitFor([&] { return controller.panel()->isActiveWindow(); }, 2000));

    auto* alert = new QMessageBox(QMessageBox::Warning, "Alert", "Modal", QMessageBox::Ok, controller.panel());
    alert->setWindowModality(Qt::ApplicationModal);
    alert->show();
    alert->activateWindow();
    TestSupport::spin(100);
    controller.windowDidResignKey();
    TestSupport::spin(50);
    EXPECT_NE(controller.panel(), nullptr);
    alert->hide();
    controller.panel()->activateWindow();
    ASSERT_TRUE(TestSupport::waitFor([&] { return controller.panel()->isActiveWindow(); }, 2000));
    TestSupport::spin(50);
    EXPECT_NE(controller.panel(), nullptr);

    QWidget other;
    other.resize(100, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(TestSupport::waitFor([&] { return other.isActiveWindow(); }, 2000));
    ASSERT_TRUE(TestSupport::waitFor([&] { return controller.panel() == nullptr; }, 2000));
    EXPECT_EQ(ProcessMonitor::shared().processTimer(), nullptr);
}

TEST_F(PopupFixture, ClosingClearsTheInspectedDiskItem) {
    struct Inspecting : MonitorDiskTab {
        std::optional<QString> item = QStringLiteral("X");
        std::optional<QString> inspectedItemID() const override { return item; }
        void clearInspectedItem() override {
            item.reset();
            emit inspectedItemChanged();
        }
    };
    auto provider = std::make_unique<Inspecting>();
    Inspecting* disk = provider.get();
    MonitorDiskTab::install(std::move(provider));
    openOn(MonitorTab::disk);
    EXPECT_TRUE(controller.view()->isShowingDetail());
    controller.dismiss();
    EXPECT_EQ(disk->item, std::nullopt);
    TestSupport::spin(50);
    MonitorDiskTab::install(nullptr);
}
