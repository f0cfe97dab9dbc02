// Recording a hot key on a real X server: keys sent through XTest, real passive grabs.
#include "Platform/X11/KeyCodes.h"
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "TestSupport.h"
#include "Views/Preferences/KeyboardShortcutsView.h"
#include "Views/Preferences/ShortcutRecorderButton.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "X11TestSupport.h"

#include <X11/keysym.h>

namespace {

class ShortcutsPaneX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(X11Test::display(), nullptr) << "These tests need an X server (QT_QPA_PLATFORM=xcb).";
        ASSERT_NE(XKeysymToKeycode(X11Test::display(), XK_Super_L), 0) << "The keyboard map has no Super key.";
        ShortcutManager::shared().setBindings(ShortcutManager::defaults());
        ShortcutManager::shared().save();
        GlobalHotkeyMonitor::setActionHandler("clipboardHistory", [this] { ++clipboardRuns; });
        GlobalHotkeyMonitor::startMonitoring();
        ASSERT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    }
    void TearDown() override {
        GlobalHotkeyMonitor::stopMonitoring();
        GlobalHotkeyMonitor::setActionHandler("clipboardHistory", {});
        ShortcutManager::shared().setBindings(ShortcutManager::defaults());
        ShortcutManager::shared().save();
    }
    int clipboardRuns = 0;
};

}  // namespace

TEST_F(ShortcutsPaneX11Test, ARecordedComboIsStoredAndGrabbedAndTheOldOneIsFree) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit;
    layout->addWidget(field);
    auto* pane = new KeyboardShortcutsView(ShortcutManager::shared());
    layout->addWidget(pane);
    window.show();
    window.activateWindow();
    field->setFocus();
    ASSERT_TRUE(TestSupport::waitFor([&] { return QApplication::focusWidget() == field; }));

    // The old combination works before recording.
    X11Test::pressKeys({XK_Super_L, XK_Shift_L}, XK_v);
    ASSERT_TRUE(TestSupport::waitFor([&] { return clipboardRuns == 1; }, 3000));

    QTest::mouseClick(pane->recorder("clipboardHistory"), Qt::LeftButton);
    ASSERT_EQ(pane->recordingID(), "clipboardHistory");
    // Typing without a modifier goes nowhere.
    X11Test::pressKeys({}, XK_q);
    TestSupport::spin(200);
    ASSERT_TRUE(pane->recordingID().has_value());
    EXPECT_EQ(field->text(), "");
    // The hot key's own combination reaches the window as a key-down and is recorded, not run.
    X11Test::pressKeys({XK_Super_L, XK_Shift_L}, XK_v);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !pane->recordingID().has_value(); }, 3000));
    EXPECT_EQ(clipboardRuns, 1);
    const HotkeyBinding recorded = ShortcutManager::shared().bindings()[0];
    EXPECT_EQ(recorded.keyCode, KeyCodes::kVK_ANSI_V);
    EXPECT_EQ(recorded.modifiers, KeyCodes::maskCommand | KeyCodes::maskShift);

    // Record a new one, then the old combination is free and the new one fires.
    QTest::mouseClick(pane->recorder("clipboardHistory"), Qt::LeftButton);
    X11Test::pressKeys({XK_Super_L, XK_Control_L}, XK_k);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !pane->recordingID().has_value(); }, 3000));
    EXPECT_EQ(ShortcutManager::shared().bindings()[0].keyCode, KeyCodes::kVK_ANSI_K);
    EXPECT_EQ(ShortcutManager::shared().bindings()[0].modifiers, KeyCodes::maskCommand | KeyCodes::maskControl);
    EXPECT_EQ(pane->recorder("clipboardHistory")->keyCaps(), (QStringList{"⌃", "⌘", "K"}));
    ASSERT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    X11Test::pressKeys({XK_Super_L, XK_Control_L}, XK_k);
    ASSERT_TRUE(TestSupport::waitFor([&] { return clipboardRuns == 2; }, 3000));
    X11Test::pressKeys({XK_Super_L, XK_Shift_L}, XK_v);
    TestSupport::spin(300);
    EXPECT_EQ(clipboardRuns, 2);
}
