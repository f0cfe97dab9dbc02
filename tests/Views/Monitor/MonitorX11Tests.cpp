// The monitor popup as the X server shows it, with no compositor: every part of a card must be
// painted, never left black.
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Source/Features/System/GroupedProcessInfo.h"
#include "Source/Features/System/SystemMonitorPopupController.h"
#include "TestSupport.h"
#include "Views/Monitor/ProcessDetailView.h"
#include "Views/Shared/KeyablePopupPanel.h"
#include "Views/Monitor/SystemMonitorView.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// Share of pure black pixels in a rectangle of the screen, as the X server has it.
double blackShare(const QRect& globalRect) {
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    int black = 0, total = 0;
    for (int y = globalRect.top(); y <= globalRect.bottom(); ++y) {
        for (int x = globalRect.left(); x <= globalRect.right(); ++x) {
            if (!shot.rect().contains(x, y)) continue;
            ++total;
            if ((shot.pixel(x, y) & 0xffffff) == 0) ++black;
        }
    }
    return total == 0 ? 1.0 : double(black) / total;
}

}  // namespace

TEST(MonitorPopupX11, TheProcessDetailsHierarchyIsPaintedOnTheCard) {
    // With the full animations, as most people see it.
    AccessibilityDisplayOptions::shared().setOverride(false, false);
    SystemMonitorPopupController& controller = SystemMonitorPopupController::shared();
    controller.show(MonitorTab::cpu);
    ASSERT_NE(controller.panel(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.panel()));

    GroupedProcessInfo group;
    group.name = QStringLiteral("Quorvin Tests");
    group.count = 1;
    group.totalCPU = 1.5;
    group.totalMemory = 40u << 20;
    AppProcessInfo me;
    me.pid = int32_t(::getpid());
    me.name = group.name;
    me.processName = QStringLiteral("test_monitor_x11");
    me.cpuUsage = 1.5;
    me.memoryBytes = group.totalMemory;
    group.children = {me};
    controller.view()->model().selectProcess(group);
    TestSupport::spin(1500);

    QScrollArea* hierarchy = nullptr;
    for (ProcessDetailView* detail : controller.panel()->findChildren<ProcessDetailView*>()) {
        if (auto* scroll = detail->findChild<QScrollArea*>()) hierarchy = scroll;
    }
    ASSERT_NE(hierarchy, nullptr);
    ASSERT_TRUE(hierarchy->isVisible());
    QWidget* rows = hierarchy->widget();
    ASSERT_NE(rows, nullptr);
    ASSERT_GT(rows->height(), 0);
    const QRect onScreen(rows->mapToGlobal(QPoint(0, 0)), QSize(rows->width(), std::min(rows->height(), 34)));
    EXPECT_LT(blackShare(onScreen), 0.2) << "the process rows were left unpainted";

    controller.dismiss();
    TestSupport::spin(50);
    AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
}
