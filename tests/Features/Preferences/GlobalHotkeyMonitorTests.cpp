// The key path without an X server: keys reaching our own windows, the binding match and the
// grab policy over an in-memory grabber.
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "FakeHotkeyGrabber.h"
#include "Platform/X11/KeyCodes.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include <algorithm>

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

namespace {
class HotkeyGrabPolicyTest : public GlobalHotkeyMonitorTest {
protected:
    void SetUp() override {
        GlobalHotkeyMonitorTest::SetUp();
        auto fake = std::make_unique<FakeHotkeyGrabber>();
        grabber = fake.get();
        GlobalHotkeyMonitor::setGrabber(std::move(fake));
    }
    void TearDown() override {
        GlobalHotkeyMonitor::setGrabber(nullptr);  // back to the real one (no X server here)
        ShortcutManager::shared().setBindings(ShortcutManager::defaults());
        GlobalHotkeyMonitorTest::TearDown();
    }
    static HotkeyBinding binding(const QString& id) {
        for (const HotkeyBinding& b : ShortcutManager::shared().bindings()) {
            if (b.id == id) return b;
        }
        ADD_FAILURE() << "no binding " << id.toStdString();
        return {};
    }
    FakeHotkeyGrabber* grabber = nullptr;
};
}  // namespace

TEST_F(HotkeyGrabPolicyTest, EnabledBindingsAreGrabbedAndPressesRunTheirActions) {
    GlobalHotkeyMonitor::startMonitoring();
    ASSERT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_TRUE(GlobalHotkeyMonitor::refusedBindings().isEmpty());
    const HotkeyBinding clipboard = binding("clipboardHistory");
    const FakeHotkeyGrabber::Combination combination{clipboard.keyCode, clipboard.modifiers};
    EXPECT_NE(std::find(grabber->grabbed.begin(), grabber->grabbed.end(), combination), grabber->grabbed.end());

    grabber->press(clipboard.keyCode, clipboard.modifiers, "V");
    EXPECT_EQ(clipboardRuns, 1);

    GlobalHotkeyMonitor::stopMonitoring();
    EXPECT_FALSE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_TRUE(grabber->grabbed.empty());
}

TEST_F(HotkeyGrabPolicyTest, TakenBareAndDuplicateCombinationsAreReportedAndNotGrabbed) {
    std::vector<HotkeyBinding> bindings = ShortcutManager::defaults();
    const HotkeyBinding clipboard = binding("clipboardHistory");
    grabber->taken.insert({clipboard.keyCode, clipboard.modifiers});
    HotkeyBinding bare = clipboard;
    bare.id = "bare";
    bare.keyCode = KeyCodes::kVK_ANSI_B;
    bare.modifiers = 0;  // would steal B from every program
    HotkeyBinding twin = bindings.back();
    twin.id = "twin";  // same combination as an earlier binding: grabbed once, not refused
    bindings.push_back(bare);
    bindings.push_back(twin);
    ShortcutManager::shared().setBindings(bindings);

    GlobalHotkeyMonitor::startMonitoring();
    EXPECT_EQ(GlobalHotkeyMonitor::refusedBindings(), (QStringList{"clipboardHistory", "bare"}));
    for (const auto& [keyCode, flags] : grabber->grabbed) {
        EXPECT_NE(flags & KeyCodes::maskDeviceIndependent, 0u);
        EXPECT_NE(std::make_pair(keyCode, flags), std::make_pair(clipboard.keyCode, clipboard.modifiers));
    }
    const int twins = int(std::count(grabber->grabbed.begin(), grabber->grabbed.end(),
                                     FakeHotkeyGrabber::Combination{twin.keyCode, twin.modifiers}));
    EXPECT_EQ(twins, 1);
}

TEST_F(HotkeyGrabPolicyTest, BindingAndKeyboardMapChangesRegrabOnlyWhileMonitoring) {
    ShortcutManager::shared().disableBinding("clipboardHistory");
    EXPECT_EQ(grabber->grabCalls, 0);  // not monitoring: nothing grabbed

    GlobalHotkeyMonitor::startMonitoring();
    const int afterStart = grabber->grabCalls;
    const HotkeyBinding clipboard = binding("clipboardHistory");
    ShortcutManager::shared().setBindings(ShortcutManager::defaults());
    EXPECT_GT(grabber->grabCalls, afterStart);
    EXPECT_NE(std::find(grabber->grabbed.begin(), grabber->grabbed.end(),
                        FakeHotkeyGrabber::Combination{clipboard.keyCode, clipboard.modifiers}),
              grabber->grabbed.end());

    // A burst of map changes re-grabs once, after the burst.
    const int ungrabs = grabber->ungrabCalls;
    grabber->changeKeyboardMap();
    grabber->changeKeyboardMap();
    grabber->changeKeyboardMap();
    EXPECT_EQ(grabber->ungrabCalls, ungrabs);
    EXPECT_TRUE(TestSupport::waitFor([&] { return grabber->ungrabCalls == ungrabs + 1; }));
    QTest::qWait(120);
    EXPECT_EQ(grabber->ungrabCalls, ungrabs + 1);
    EXPECT_FALSE(grabber->grabbed.empty());

    GlobalHotkeyMonitor::stopMonitoring();
    grabber->changeKeyboardMap();
    QTest::qWait(120);
    EXPECT_TRUE(grabber->grabbed.empty());
}

TEST_F(HotkeyGrabPolicyTest, WithoutAGrabberServiceMonitoringDoesNotStart) {
    grabber->available = false;
    GlobalHotkeyMonitor::startMonitoring();
    EXPECT_FALSE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_EQ(grabber->grabCalls, 0);
}
