// Global hot keys on a real X server: passive grabs, keys sent through XTest.
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "Platform/X11/KeyCodes.h"
#include "Platform/Core/NotificationCenter.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "TestSupport.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "X11TestSupport.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace {

QStringList g_log;
QtMessageHandler g_previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    g_log << message;
    if (g_previousHandler) g_previousHandler(type, context, message);
}

const std::vector<KeySym> kCommandShift{XK_Super_L, XK_Shift_L};
const std::vector<KeySym> kCommandOptionShift{XK_Super_L, XK_Alt_L, XK_Shift_L};

// A second X client, as another program that takes hot keys.
class OtherClient {
public:
    OtherClient() : connection_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~OtherClient() { xcb_disconnect(connection_); }
    // True when the server lets this client grab the combination.
    bool grab(KeySym key, uint16_t modifiers) {
        const xcb_keycode_t code = XKeysymToKeycode(X11Test::display(), key);
        xcb_void_cookie_t cookie = xcb_grab_key_checked(connection_, 0, root_, modifiers, code,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t* error = xcb_request_check(connection_, cookie);
        std::free(error);
        return error == nullptr;
    }

private:
    xcb_connection_t* connection_;
    xcb_window_t root_;
};

class GlobalHotkeyMonitorX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(X11Test::display(), nullptr) << "These tests need an X server (QT_QPA_PLATFORM=xcb).";
        int event = 0, error = 0, major = 0, minor = 0;
        ASSERT_TRUE(XTestQueryExtension(X11Test::display(), &event, &error, &major, &minor)) << "No XTest extension.";
        ASSERT_NE(XKeysymToKeycode(X11Test::display(), XK_Super_L), 0) << "The keyboard map has no Super key.";
        ShortcutManager::shared().setBindings(ShortcutManager::defaults());
        ShortcutManager::shared().save();
        GlobalHotkeyMonitor::setActionHandler("clipboardHistory", [this] { ++clipboardRuns; });
        g_log.clear();
        g_previousHandler = qInstallMessageHandler(captureMessage);
    }
    void TearDown() override {
        qInstallMessageHandler(g_previousHandler);
        GlobalHotkeyMonitor::stopMonitoring();
        GlobalHotkeyMonitor::setInterceptor({});
        GlobalHotkeyMonitor::setActionHandler("clipboardHistory", {});
        GlobalHotkeyMonitor::setActionHandler("resetBrightness", {});
    }
    int clipboardRuns = 0;
};

}  // namespace

TEST_F(GlobalHotkeyMonitorX11Test, TheClipboardHotKeyReachesItsAction) {
    GlobalHotkeyMonitor::startMonitoring();
    ASSERT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_TRUE(GlobalHotkeyMonitor::refusedBindings().isEmpty()) << g_log.join("\n").toStdString();
    X11Test::pressKeys(kCommandShift, XK_v);
    ASSERT_TRUE(TestSupport::waitFor([&] { return clipboardRuns == 1; }, 3000));
    // Without Shift it is another combination.
    X11Test::pressKeys({XK_Super_L}, XK_v);
    TestSupport::spin(200);
    EXPECT_EQ(clipboardRuns, 1);
    X11Test::pressKeys(kCommandShift, XK_v);
    ASSERT_TRUE(TestSupport::waitFor([&] { return clipboardRuns == 2; }, 3000));
}

TEST_F(GlobalHotkeyMonitorX11Test, ResetBrightnessRunsTheDimmerReset) {
    int resets = 0;
    QObject context;
    NotificationCenter::defaultCenter().observe(Notification::screenDimmerDidReset, &context,
                                                [&](const QVariant&) { ++resets; });
    GlobalHotkeyMonitor::startMonitoring();
    X11Test::pressKeys(kCommandOptionShift, XK_r);
    ASSERT_TRUE(TestSupport::waitFor([&] { return resets == 1; }, 3000));
    EXPECT_EQ(clipboardRuns, 0);
}

TEST_F(GlobalHotkeyMonitorX11Test, HotKeysWorkWithNumLockOn) {
    GlobalHotkeyMonitor::startMonitoring();
    X11Test::pressKeys({}, XK_Num_Lock);  // locks Num Lock on
    X11Test::pressKeys(kCommandShift, XK_v);
    const bool ran = TestSupport::waitFor([&] { return clipboardRuns == 1; }, 3000);
    X11Test::pressKeys({}, XK_Num_Lock);
    EXPECT_TRUE(ran);
}

TEST_F(GlobalHotkeyMonitorX11Test, ACombinationTakenByAnotherProgramIsReportedAndTheOthersWork) {
    OtherClient other;
    ASSERT_TRUE(other.grab(XK_v, Mod4Mask | ShiftMask));
    GlobalHotkeyMonitor::startMonitoring();
    EXPECT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_EQ(GlobalHotkeyMonitor::refusedBindings(), QStringList{"clipboardHistory"});
    const QString log = g_log.join("\n");
    EXPECT_TRUE(log.contains("clipboardHistory") && log.contains("already taken by another program"))
        << log.toStdString();

    int resets = 0;
    GlobalHotkeyMonitor::setActionHandler("resetBrightness", [&] { ++resets; });
    X11Test::pressKeys(kCommandOptionShift, XK_r);
    ASSERT_TRUE(TestSupport::waitFor([&] { return resets == 1; }, 3000));
    X11Test::pressKeys(kCommandShift, XK_v);
    TestSupport::spin(200);
    EXPECT_EQ(clipboardRuns, 0);
    // None of the clipboard key's variants was kept half-grabbed.
    EXPECT_TRUE(other.grab(XK_v, Mod4Mask | ShiftMask | Mod2Mask));
    EXPECT_TRUE(other.grab(XK_v, Mod4Mask | ShiftMask | LockMask));
}

TEST_F(GlobalHotkeyMonitorX11Test, ADisabledBindingGrabsNothingAndStopReleasesAll) {
    GlobalHotkeyMonitor::startMonitoring();
    {
        OtherClient other;
        EXPECT_FALSE(other.grab(XK_v, Mod4Mask | ShiftMask));  // ours while enabled
    }
    ShortcutManager::shared().disableBinding("clipboardHistory");
    X11Test::pressKeys(kCommandShift, XK_v);
    TestSupport::spin(200);
    EXPECT_EQ(clipboardRuns, 0);
    {
        OtherClient other;
        EXPECT_TRUE(other.grab(XK_v, Mod4Mask | ShiftMask));
        EXPECT_TRUE(other.grab(XK_v, Mod4Mask | ShiftMask | Mod2Mask));
        EXPECT_FALSE(other.grab(XK_r, Mod4Mask | Mod1Mask | ShiftMask));  // still ours
    }
    GlobalHotkeyMonitor::stopMonitoring();
    EXPECT_FALSE(GlobalHotkeyMonitor::isMonitoring());
    {
        OtherClient other;
        EXPECT_TRUE(other.grab(XK_r, Mod4Mask | Mod1Mask | ShiftMask));
        EXPECT_TRUE(other.grab(XK_r, Mod4Mask | Mod1Mask | ShiftMask | LockMask | Mod2Mask));
    }
    GlobalHotkeyMonitor::stopMonitoring();  // twice is harmless
    // Re-recording the combination enables and grabs it again at once.
    GlobalHotkeyMonitor::startMonitoring();
    ShortcutManager::shared().updateBinding("clipboardHistory", KeyCodes::kVK_ANSI_B, KeyCodes::maskCommand | KeyCodes::maskShift);
    X11Test::pressKeys(kCommandShift, XK_b);
    ASSERT_TRUE(TestSupport::waitFor([&] { return clipboardRuns == 1; }, 3000));
}

TEST_F(GlobalHotkeyMonitorX11Test, ABindingWithoutModifiersIsNeverGrabbed) {
    // A damaged or hand-edited value could bind a bare key, which would take it from every program.
    auto bindings = ShortcutManager::defaults();
    bindings[0].keyCode = KeyCodes::kVK_ANSI_B;
    bindings[0].modifiers = KeyCodes::maskAlphaShift;  // no ⌘ ⌥ ⇧ ⌃
    ShortcutManager::shared().setBindings(bindings);
    GlobalHotkeyMonitor::startMonitoring();
    EXPECT_EQ(GlobalHotkeyMonitor::refusedBindings(), QStringList{"clipboardHistory"});
    OtherClient other;
    EXPECT_TRUE(other.grab(XK_b, 0));
    EXPECT_TRUE(other.grab(XK_b, LockMask));
    EXPECT_FALSE(other.grab(XK_r, Mod4Mask | Mod1Mask | ShiftMask));
}

TEST_F(GlobalHotkeyMonitorX11Test, TheInterceptorSeesKeysFirstAndMaySwallowThem) {
    struct Seen {
        int keyCode;
        uint64_t flags;
        QString characters;
    };
    std::vector<Seen> seen;
    bool swallow = true;
    GlobalHotkeyMonitor::setInterceptor([&](int keyCode, uint64_t flags, const QString& characters) {
        seen.push_back({keyCode, flags, characters});
        return swallow;
    });
    GlobalHotkeyMonitor::startMonitoring();
    X11Test::pressKeys(kCommandShift, XK_v);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !seen.empty(); }, 3000));
    EXPECT_EQ(seen[0].keyCode, KeyCodes::kVK_ANSI_V);
    EXPECT_EQ(seen[0].flags & KeyCodes::maskDeviceIndependent, KeyCodes::maskCommand | KeyCodes::maskShift);
    EXPECT_EQ(seen[0].characters, "V");
    TestSupport::spin(100);
    EXPECT_EQ(clipboardRuns, 0);

    swallow = false;  // a key the popup leaves goes on to the hot keys
    X11Test::pressKeys(kCommandShift, XK_v);
    ASSERT_TRUE(TestSupport::waitFor([&] { return clipboardRuns == 1; }, 3000));
}

TEST_F(GlobalHotkeyMonitorX11Test, TheInterceptorAlsoSeesTypingInOurOwnWindows) {
    QLineEdit field;
    field.show();
    field.activateWindow();
    field.setFocus();
    ASSERT_TRUE(TestSupport::waitFor([&] { return field.hasFocus() && QApplication::focusWidget() == &field; }));
    QStringList typed;
    GlobalHotkeyMonitor::setInterceptor([&](int keyCode, uint64_t, const QString& characters) {
        typed << characters;
        return keyCode == KeyCodes::kVK_ANSI_A;  // takes "a", leaves the rest
    });
    X11Test::pressKeys({}, XK_a);
    X11Test::pressKeys({}, XK_b);
    X11Test::pressKeys({XK_Shift_L}, XK_a);
    ASSERT_TRUE(TestSupport::waitFor([&] { return field.text() == "b"; }, 3000)) << field.text().toStdString();
    EXPECT_EQ(typed, (QStringList{"a", "b", "A"}));
    GlobalHotkeyMonitor::setInterceptor({});
    X11Test::pressKeys({}, XK_a);
    ASSERT_TRUE(TestSupport::waitFor([&] { return field.text() == "ba"; }, 3000));
}

TEST_F(GlobalHotkeyMonitorX11Test, AKeyboardMapChangeMovesTheGrabsWithTheKey) {
    Display* d = X11Test::display();
    const KeyCode oldCode = XKeysymToKeycode(d, XK_v);
    ASSERT_NE(oldCode, 0);
    int minCode = 0, maxCode = 0, perCode = 0;
    XDisplayKeycodes(d, &minCode, &maxCode);
    // A key code with nothing on it, to move V to.
    KeyCode newCode = 0;
    for (int code = maxCode; code >= minCode && newCode == 0; --code) {
        KeySym* syms = XGetKeyboardMapping(d, KeyCode(code), 1, &perCode);
        bool empty = true;
        for (int i = 0; i < perCode; ++i) empty = empty && syms[i] == NoSymbol;
        XFree(syms);
        if (empty) newCode = KeyCode(code);
    }
    ASSERT_NE(newCode, 0) << "No free key code to move V to.";
    KeySym* saved = XGetKeyboardMapping(d, oldCode, 1, &perCode);
    std::vector<KeySym> original(saved, saved + perCode);
    XFree(saved);
    auto restore = qScopeGuard([&] {
        std::vector<KeySym> none(size_t(perCode), NoSymbol);
        XChangeKeyboardMapping(d, newCode, perCode, none.data(), 1);
        XChangeKeyboardMapping(d, oldCode, perCode, original.data(), 1);
        XSync(d, False);
    });

    GlobalHotkeyMonitor::startMonitoring();
    std::vector<KeySym> moved = original;
    std::vector<KeySym> none(size_t(perCode), NoSymbol);
    XChangeKeyboardMapping(d, newCode, perCode, moved.data(), 1);
    XChangeKeyboardMapping(d, oldCode, perCode, none.data(), 1);
    XSync(d, False);
    TestSupport::spin(300);

    const KeyCode super = XKeysymToKeycode(d, XK_Super_L), shift = XKeysymToKeycode(d, XK_Shift_L);
    for (KeyCode code : {super, shift, newCode}) XTestFakeKeyEvent(d, code, True, CurrentTime);
    for (KeyCode code : {newCode, shift, super}) XTestFakeKeyEvent(d, code, False, CurrentTime);
    XFlush(d);
    EXPECT_TRUE(TestSupport::waitFor([&] { return clipboardRuns == 1; }, 3000))
        << "the hot key still listens on the key code V had before";
}
