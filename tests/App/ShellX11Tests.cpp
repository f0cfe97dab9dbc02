// The whole shell on a real X server: launch, the status item and widgets in the bar strip, the
// menu panel opened and closed by real clicks and keys, and a hot key pressed through XTest.
#include "App/AppDelegate.h"
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "App/MenuPanelController.h"
#include "Source/Features/Preferences/StatusIcon.h"
#include "Platform/X11/Compositing.h"
#include "Platform/X11/GlobalMouseMonitor.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Ui/StatusBar.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "Source/Features/System/SystemMonitorPopupController.h"
#include "Source/Features/System/SystemSampler.h"
#include "Source/Features/Widgets/MenuBarWidgetController.h"
#include "Source/Features/Widgets/WidgetManager.h"
#include "Source/Features/Zedi/ZediManager.h"
#include "Views/MenuPanel/MonitorView.h"
#include "Views/Shared/CircularStatView.h"
#include "Views/Shared/KeyablePopupPanel.h"
#include "Views/Monitor/SystemMonitorView.h"
#include "Views/Preferences/PowerSettingsView.h"
#include "Views/Preferences/PreferencesView.h"
#include "Views/Preferences/ZediSettingsView.h"
#include "TestSupport.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

// Xlib's macros clash with names in the headers above: include it last.
#include "X11TestSupport.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

bool samePixels(QImage a, QImage b) {
    return a.convertToFormat(QImage::Format_ARGB32_Premultiplied) == b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

class ShellX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(X11Test::display(), nullptr) << "These tests need an X server (QT_QPA_PLATFORM=xcb).";
        ShortcutManager::shared().setBindings(ShortcutManager::defaults());
        ShortcutManager::shared().save();
        // The first-start welcome window would take the keyboard from the panel.
        UserDefaults::standard().setBool(QStringLiteral("welcomeShown"), true);
        AppDelegate::shared().applicationDidFinishLaunching();
        item = AppDelegate::shared().statusItem();
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(StatusBar::system().stripWindow()));
        ASSERT_TRUE(TestSupport::waitFor([] { return MenuPanelController::shared().panel() != nullptr; }, 3000));
    }
    StatusItem* item = nullptr;
    MenuPanelController& panel = MenuPanelController::shared();
};

}  // namespace

TEST_F(ShellX11, TheStatusItemAndTheWidgetsAreInTheBar) {
    EXPECT_EQ(StatusBar::system().kind(), StatusBar::Kind::strip);
    EXPECT_EQ(item->toolTip(), QStringLiteral("Quorvin"));
    // The default icon, the program's own, drawn white for the dark strip.
    const QImage expected = StatusIcon::tinted(StatusIcon::original().image(qApp->devicePixelRatio()), Qt::white);
    EXPECT_TRUE(samePixels(item->image(), expected));

    // The default widgets: one grouped strip left of the status item.
    StatusItem* grouped = MenuBarWidgetController::shared().groupedItem();
    ASSERT_NE(grouped, nullptr);
    EXPECT_TRUE(grouped->isVisible());
    EXPECT_FALSE(grouped->image().isNull());
    EXPECT_LT(grouped->screenRect().right(), item->screenRect().left());
    const QRect strip = StatusBar::system().stripWindow()->geometry();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(strip.top(), screen.top());
    EXPECT_EQ(strip.right(), screen.right());

    // The widget texts follow the sampler; the grouped image is drawn again when they change.
    ASSERT_TRUE(TestSupport::waitFor([] { return SystemSampler::shared().passCount() >= 1; }, 5000));
    EXPECT_NE(WidgetManager::shared().value(WidgetType::memory), QStringLiteral("—"));

    // A new icon choice is drawn when the Appearance pane says so: a symbol, a pet's silhouette
    // (an unknown species draws the default one), and the gauge for a symbol the font lacks.
    UserDefaults::standard().setString("statusIcon", "symbol:cpu");
    NotificationCenter::defaultCenter().post(Notification::statusIconDidChange);
    EXPECT_TRUE(samePixels(item->image(),
                           StatusIcon::tinted(StatusIcon::symbol("cpu").image(qApp->devicePixelRatio()), Qt::white)));
    UserDefaults::standard().setString("statusIcon", "pet:cat");
    NotificationCenter::defaultCenter().post(Notification::statusIconDidChange);
    EXPECT_TRUE(samePixels(item->image(),
                           StatusIcon::tinted(StatusIcon::pet("ginger").image(qApp->devicePixelRatio()), Qt::white)));
    UserDefaults::standard().setString("statusIcon", "symbol:no.such.symbol");
    NotificationCenter::defaultCenter().post(Notification::statusIconDidChange);
    EXPECT_TRUE(samePixels(item->image(),
                           StatusIcon::tinted(StatusIcon::symbol("gauge.medium").image(qApp->devicePixelRatio()), Qt::white)));
    UserDefaults::standard().remove("statusIcon");
    NotificationCenter::defaultCenter().post(Notification::statusIconDidChange);
    EXPECT_TRUE(samePixels(item->image(), expected));
}

TEST_F(ShellX11, ClicksAndEscapeOpenAndCloseTheMenuPanel) {
    const QPoint onItem = item->screenRect().center();
    X11Test::click(onItem);
    ASSERT_TRUE(TestSupport::waitFor([&] { return panel.isVisible(); }, 3000));
    KeyablePopupPanel* window = panel.panel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->width(), MonitorView::panelWidth);
    EXPECT_EQ(window->y(), item->screenRect().bottom() + 1 + int(MenuPanelController::gap));
    if (!Compositing::isActive()) {
        // Without a compositor the window is cut to its cards.
        EXPECT_FALSE(window->mask().isEmpty());
        EXPECT_FALSE(window->mask().contains(QPoint(0, 0)));
        EXPECT_TRUE(window->mask().contains(QPoint(window->width() / 2, 20)));
    }
    // The gauges are live.
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return panel.view()->gauge(MonitorTab::memory)->value() >= 0; }, 5000));

    // Escape closes it (the panel has the keyboard).
    ASSERT_TRUE(TestSupport::waitFor([&] { return window->isActiveWindow(); }, 3000));
    X11Test::pressKeys({}, XK_Escape);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !panel.isVisible(); }, 3000));

    // A second click on the status item closes it.
    X11Test::click(onItem);
    ASSERT_TRUE(TestSupport::waitFor([&] { return panel.isVisible(); }, 3000));
    X11Test::click(onItem);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !panel.isVisible(); }, 3000));

    // A click on the panel keeps it; a click on the bare desktop (no window of ours) closes it.
    ASSERT_TRUE(GlobalMouseMonitor::shared().isRunning());
    X11Test::click(onItem);
    ASSERT_TRUE(TestSupport::waitFor([&] { return panel.isVisible(); }, 3000));
    X11Test::click(window->geometry().topLeft() + QPoint(8, 60));  // the gauge card, beside the gauges
    TestSupport::spin(300);
    EXPECT_TRUE(panel.isVisible());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    X11Test::click(QPoint(screen.left() + 40, screen.bottom() - 40));
    ASSERT_TRUE(TestSupport::waitFor([&] { return !panel.isVisible(); }, 3000));
    // After the guard time, the status item opens it again at once.
    TestSupport::spin(MenuPanelController::reopenGuardMs);
    X11Test::click(onItem);
    ASSERT_TRUE(TestSupport::waitFor([&] { return panel.isVisible(); }, 3000));
    NotificationCenter::defaultCenter().post(Notification::dismissPopover);
    EXPECT_FALSE(panel.isVisible());
}

TEST_F(ShellX11, AGaugeClosesThePanelAndOpensTheMonitorOnItsTab) {
    X11Test::click(item->screenRect().center());
    ASSERT_TRUE(TestSupport::waitFor([&] { return panel.isVisible(); }, 3000));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.panel()));
    TestSupport::spin(400);  // the entrance
    CircularStatView* disk = panel.view()->gauge(MonitorTab::disk);
    X11Test::click(disk->mapToGlobal(disk->rect().center()));
    ASSERT_TRUE(TestSupport::waitFor([&] { return !panel.isVisible(); }, 3000));
    SystemMonitorPopupController& monitor = SystemMonitorPopupController::shared();
    ASSERT_TRUE(TestSupport::waitFor([&] { return monitor.panel() && monitor.panel()->isVisible(); }, 3000));
    ASSERT_NE(monitor.view(), nullptr);
    EXPECT_EQ(monitor.view()->model().selectedTab(), MonitorTab::disk);
    monitor.dismiss();
}

TEST_F(ShellX11, TheSettingsWindowOpensCompleteFromThePanelOnTheChosenPane) {
    // Opened before the build ahead of use (or after it): the panel's Zedi row with an empty list
    // opens it on the Zedi pane, the footer on the pane chosen last.
    ZediManager::shared().setApps({});
    X11Test::click(item->screenRect().center());
    ASSERT_TRUE(TestSupport::waitFor([&] { return panel.isVisible(); }, 3000));
    EXPECT_EQ(ZediManager::shared().run(), 0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !panel.isVisible(); }, 3000));
    PreferencesWindowController& settings = PreferencesWindowController::shared();
    ASSERT_NE(settings.window(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings.window()));
    EXPECT_EQ(settings.view()->sidebar()->count(), 9);
    EXPECT_EQ(settings.view()->titleLabel()->text(), "Zedi");
    EXPECT_NE(qobject_cast<ZediSettingsView*>(settings.view()->pane()), nullptr);
    QWidget* window = settings.window();
    window->close();

    PreferencesRouter::shared().setSelectedTab(PreferencesTab::power);
    MenuPanelController::defaultHooks().showSettings();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(settings.window(), window);
    EXPECT_NE(qobject_cast<PowerSettingsView*>(settings.view()->pane()), nullptr);
    window->close();
    PreferencesRouter::shared().setSelectedTab(PreferencesTab::general);
}

TEST_F(ShellX11, BoundHotKeysRunTheirActions) {
    ASSERT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_TRUE(GlobalHotkeyMonitor::refusedBindings().isEmpty());
    int clipboardRuns = 0;
    GlobalHotkeyMonitor::setActionHandler("clipboardHistory", [&] { ++clipboardRuns; });
    X11Test::pressKeys({XK_Super_L, XK_Shift_L}, XK_v);
    ASSERT_TRUE(TestSupport::waitFor([&] { return clipboardRuns == 1; }, 3000));
    GlobalHotkeyMonitor::setActionHandler("clipboardHistory", {});

    int resets = 0;
    QObject context;
    NotificationCenter::defaultCenter().observe(Notification::screenDimmerDidReset, &context,
                                                [&](const QVariant&) { ++resets; });
    X11Test::pressKeys({XK_Super_L, XK_Alt_L, XK_Shift_L}, XK_r);
    ASSERT_TRUE(TestSupport::waitFor([&] { return resets == 1; }, 3000));
}

TEST_F(ShellX11, QuitStopsTheEnginesAndTheMonitors) {
    AppDelegate::shared().applicationWillTerminate();
    EXPECT_FALSE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_FALSE(SystemSampler::shared().isRunning());
    EXPECT_FALSE(AppDelegate::shared().eventMonitorsInstalled());
    EXPECT_FALSE(GlobalMouseMonitor::shared().isRunning());
}
