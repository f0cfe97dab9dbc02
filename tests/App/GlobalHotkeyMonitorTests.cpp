// The key path without an X server: keys reaching our own windows and the binding match.
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "Platform/X11/KeyCodes.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {
class GlobalHotkeyMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ShortcutManager::shared().setBindings(ShortcutManager::defaults());
        GlobalHotkeyMonitor::setActionHandler("clipboardHistory", [this] { ++clipboardRuns; });
    }
    void TearDown() override {
        GlobalHotkeyMonitor::setInterceptor({});
        GlobalHotkeyMonitor::setActionHandler("clipboardHistory", {});
        GlobalHotkeyMonitor::setActionHandler("resetBrightness", {});
    }
    int clipboardRuns = 0;
};
}  // namespace

TEST_F(GlobalHotkeyMonitorTest, WindowKeysGoToTheInterceptorBeforeAnyWidget) {
    QLineEdit field;
    field.show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return field.windowHandle() && field.windowHandle()->isExposed(); }));
    field.activateWindow();
    field.setFocus();
    std::vector<std::pair<int, uint64_t>> seen;
    GlobalHotkeyMonitor::setInterceptor([&](int keyCode, uint64_t flags, const QString& characters) {
        seen.emplace_back(keyCode, flags & KeyCodes::maskDeviceIndependent);
        return characters == "x";
    });
    QWindow* window = field.windowHandle();
    QTest::keyClick(window, Qt::Key_X);
    QTest::keyClick(window, Qt::Key_Y);
    QTest::keyClick(window, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(field.text(), "y");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_pair(int(KeyCodes::kVK_ANSI_X), uint64_t(0)));
    EXPECT_EQ(seen[2], std::make_pair(int(KeyCodes::kVK_DownArrow), uint64_t(KeyCodes::maskControl)));
    EXPECT_TRUE(GlobalHotkeyMonitor::hasInterceptor());
}

TEST_F(GlobalHotkeyMonitorTest, GrabbedKeysMatchEnabledBindingsExactly) {
    const uint64_t commandShift = KeyCodes::maskCommand | KeyCodes::maskShift;
    // Caps Lock and the other device flags do not disturb the match.
    EXPECT_TRUE(GlobalHotkeyMonitor::handleKeyDown(KeyCodes::kVK_ANSI_V, commandShift | KeyCodes::maskAlphaShift, "V"));
    EXPECT_EQ(clipboardRuns, 1);
    EXPECT_FALSE(GlobalHotkeyMonitor::handleKeyDown(KeyCodes::kVK_ANSI_V, KeyCodes::maskCommand, "v"));
    EXPECT_FALSE(GlobalHotkeyMonitor::handleKeyDown(KeyCodes::kVK_ANSI_V, commandShift | KeyCodes::maskControl, ""));
    EXPECT_FALSE(GlobalHotkeyMonitor::handleKeyDown(-1, commandShift, ""));
    ShortcutManager::shared().disableBinding("clipboardHistory");
    EXPECT_FALSE(GlobalHotkeyMonitor::handleKeyDown(KeyCodes::kVK_ANSI_V, commandShift, "V"));
    EXPECT_EQ(clipboardRuns, 1);

    // The interceptor decides first; what it leaves goes on to the bindings.
    ShortcutManager::shared().setBindings(ShortcutManager::defaults());
    bool swallow = true;
    GlobalHotkeyMonitor::setInterceptor([&](int, uint64_t, const QString&) { return swallow; });
    EXPECT_TRUE(GlobalHotkeyMonitor::handleKeyDown(KeyCodes::kVK_ANSI_V, commandShift, "V"));
    EXPECT_EQ(clipboardRuns, 1);
    swallow = false;
    EXPECT_TRUE(GlobalHotkeyMonitor::handleKeyDown(KeyCodes::kVK_ANSI_V, commandShift, "V"));
    EXPECT_EQ(clipboardRuns, 2);
}

TEST_F(GlobalHotkeyMonitorTest, WithoutAnXServerMonitoringDoesNotStart) {
    GlobalHotkeyMonitor::startMonitoring();
    EXPECT_FALSE(GlobalHotkeyMonitor::isMonitoring());
    GlobalHotkeyMonitor::stopMonitoring();
    GlobalHotkeyMonitor::restartMonitoring();
    EXPECT_FALSE(GlobalHotkeyMonitor::isMonitoring());
}

TEST_F(GlobalHotkeyMonitorTest, ActionsRunTheirRegisteredHandlers) {
    int resets = 0;
    GlobalHotkeyMonitor::executeAction("clipboardHistory");
    EXPECT_EQ(clipboardRuns, 1);
    GlobalHotkeyMonitor::setActionHandler("resetBrightness", [&] { ++resets; });
    GlobalHotkeyMonitor::executeAction("resetBrightness");
    EXPECT_EQ(resets, 1);
    GlobalHotkeyMonitor::setActionHandler("clipboardHistory", {});
    GlobalHotkeyMonitor::executeAction("clipboardHistory");  // no handler: logged, nothing else
    GlobalHotkeyMonitor::executeAction("unknown");
    EXPECT_EQ(clipboardRuns, 1);
}
