#include "Platform/X11/KeyCodes.h"

#include "TestSupport.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QSet>
#include <QWidget>

#include <gtest/gtest.h>

#include "X11TestSupport.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#undef KeyPress  // X's event-type macro hides QEvent::KeyPress

using namespace KeyCodes;

namespace {

// The keys with display names in the shortcut settings, then those the clipboard popup handles.
const int kTableKeys[] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  11, 12, 13,  14,  15,  16, 17,  18, 19, 20, 21, 22,  23,  24,
    25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37,  38,  39,  40, 41,  42, 43, 44, 45, 46,  47,  48,
    49, 50, 51, 53, 122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111, 105, 107, 113, 123, 124, 125, 126,
    76, 115, 116, 117, 119, 121,
};

// Restores the server's core keyboard map when a test changes it.
class KeyMapGuard {
public:
    explicit KeyMapGuard(Display* d) : d_(d) {
        XDisplayKeycodes(d_, &min_, &max_);
        syms_ = XGetKeyboardMapping(d_, KeyCode(min_), max_ - min_ + 1, &perCode_);
    }
    ~KeyMapGuard() {
        XChangeKeyboardMapping(d_, min_, perCode_, syms_, max_ - min_ + 1);
        XSync(d_, False);
        XFree(syms_);
    }
    void set(int keyCode, std::vector<KeySym> syms) {
        syms.resize(size_t(perCode_), NoSymbol);
        XChangeKeyboardMapping(d_, keyCode, perCode_, syms.data(), 1);
        XSync(d_, False);
    }

private:
    Display* d_;
    int min_ = 0, max_ = 0, perCode_ = 0;
    KeySym* syms_ = nullptr;
};

class KeyRecorder : public QWidget {
public:
    struct Press {
        int key;
        Qt::KeyboardModifiers modifiers;
        quint32 scanCode;
        quint32 nativeModifiers;
    };
    std::vector<Press> presses;

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            presses.push_back({k->key(), k->modifiers(), k->nativeScanCode(), k->nativeModifiers()});
            return true;
        }
        return QWidget::event(e);
    }
};

class KeyCodesX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName().toStdString(), "xcb");
        d = X11Test::display();
        ASSERT_NE(d, nullptr);
    }
    Display* d = nullptr;
};

}  // namespace

TEST_F(KeyCodesX11, EveryKeyRoundTripsThroughTheServerMap) {
    QSet<uint32_t> used;
    for (int code : kTableKeys) {
        SCOPED_TRACE(code);
        auto keyCode = toX11KeyCode(code);
        ASSERT_TRUE(keyCode.has_value());
        EXPECT_EQ(fromX11KeyCode(*keyCode), code);
    }
    for (int code : allKeyCodes()) {
        SCOPED_TRACE(code);
        auto keyCode = toX11KeyCode(code);
        if (code == kVK_Function) {
            EXPECT_FALSE(keyCode.has_value());
            continue;
        }
        ASSERT_TRUE(keyCode.has_value());
        EXPECT_EQ(fromX11KeyCode(*keyCode), code);
        EXPECT_FALSE(used.contains(*keyCode)) << *keyCode;
        used.insert(*keyCode);
    }
}

TEST_F(KeyCodesX11, KeysWithTheirSymbolOnTheMapMatchXlib) {
    for (int code : {kVK_ANSI_A, kVK_ANSI_V, kVK_ANSI_1, kVK_ANSI_Grave, kVK_Return, kVK_ANSI_KeypadEnter,
                     kVK_Delete, kVK_ForwardDelete, kVK_F1, kVK_F12, kVK_LeftArrow, kVK_Command, kVK_Shift}) {
        SCOPED_TRACE(code);
        KeyCode expected = XKeysymToKeycode(d, KeySym(*toKeySym(code)));
        ASSERT_NE(expected, 0);
        EXPECT_EQ(toX11KeyCode(code), uint32_t(expected));
    }
    // A key the program has no code for.
    KeyCode print = XKeysymToKeycode(d, XK_Print);
    ASSERT_NE(print, 0);
    EXPECT_FALSE(fromX11KeyCode(print).has_value());
    EXPECT_FALSE(fromX11KeyCode(0).has_value());
    EXPECT_FALSE(fromX11KeyCode(1000).has_value());
    EXPECT_FALSE(toX11KeyCode(10).has_value());
}

TEST_F(KeyCodesX11, FollowsMapChangesAndFallsBackToThePosition) {
    KeyCode a = XKeysymToKeycode(d, XK_a);
    KeyCode s = XKeysymToKeycode(d, XK_s);
    ASSERT_NE(a, 0);
    ASSERT_NE(s, 0);
    ASSERT_EQ(toX11KeyCode(kVK_ANSI_A), uint32_t(a));
    {
        KeyMapGuard guard(d);
        // Swapped letters: the symbol decides.
        guard.set(a, {XK_s, XK_S});
        guard.set(s, {XK_a, XK_A});
        EXPECT_EQ(toX11KeyCode(kVK_ANSI_A), uint32_t(s));
        EXPECT_EQ(fromX11KeyCode(s), kVK_ANSI_A);
        EXPECT_EQ(fromX11KeyCode(a), kVK_ANSI_S);
        // A non-Latin letter on the key: its position decides.
        guard.set(a, {0x6c6, 0x6e6});  // Cyrillic_ef, Cyrillic_EF
        guard.set(s, {0x6d9, 0x6f9});  // Cyrillic_yeru, Cyrillic_YERU
        EXPECT_EQ(fromX11KeyCode(a), kVK_ANSI_A);
        EXPECT_EQ(toX11KeyCode(kVK_ANSI_A), uint32_t(a));
        EXPECT_EQ(toX11KeyCode(kVK_ANSI_S), uint32_t(s));
        // A digit key that gives a symbol unshifted (as on AZERTY) stays that digit, even where
        // the symbol is another key's shifted one.
        KeyCode one = KeyCode(*toX11KeyCode(kVK_ANSI_1));
        KeyCode seven = KeyCode(*toX11KeyCode(kVK_ANSI_7));
        guard.set(one, {XK_ampersand, XK_1});
        EXPECT_EQ(fromX11KeyCode(one), kVK_ANSI_1);
        EXPECT_EQ(toX11KeyCode(kVK_ANSI_1), uint32_t(one));
        EXPECT_EQ(fromX11KeyCode(seven), kVK_ANSI_7);
    }
    EXPECT_EQ(toX11KeyCode(kVK_ANSI_A), uint32_t(a));
    EXPECT_EQ(fromX11KeyCode(s), kVK_ANSI_S);
}

TEST_F(KeyCodesX11, RealKeyEventsMapBackToTheirCodes) {
    KeyRecorder widget;
    widget.resize(200, 100);
    widget.show();
    widget.activateWindow();
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return QGuiApplication::focusWindow() == widget.windowHandle(); }));

    struct Case {
        int code;
        uint64_t flags;
    };
    const Case cases[] = {
        {kVK_ANSI_V, 0},
        {kVK_ANSI_V, maskShift},
        {kVK_ANSI_1, maskShift},
        {kVK_ANSI_Comma, maskCommand},
        {kVK_ANSI_Q, maskControl | maskAlternate},
        {kVK_Return, 0},
        {kVK_ANSI_KeypadEnter, 0},
        {kVK_Delete, maskCommand | maskAlternate},
        {kVK_ForwardDelete, 0},
        {kVK_Escape, 0},
        {kVK_Tab, 0},
        {kVK_F5, 0},
        {kVK_Home, 0},
        {kVK_PageDown, 0},
        {kVK_LeftArrow, 0},
        {kVK_UpArrow, maskShift},
        {kVK_ANSI_Grave, 0},
    };
    const std::pair<uint64_t, int> modifierKeys[] = {
        {maskShift, kVK_Shift}, {maskControl, kVK_Control},
        {maskAlternate, kVK_Option}, {maskCommand, kVK_Command},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        widget.presses.clear();
        std::vector<KeyCode> held;
        for (auto [mask, modifierCode] : modifierKeys) {
            if (!(c.flags & mask)) continue;
            held.push_back(KeyCode(*toX11KeyCode(modifierCode)));
            XTestFakeKeyEvent(d, held.back(), True, CurrentTime);
        }
        auto keyCode = toX11KeyCode(c.code);
        ASSERT_TRUE(keyCode.has_value());
        XTestFakeKeyEvent(d, *keyCode, True, CurrentTime);
        XTestFakeKeyEvent(d, *keyCode, False, CurrentTime);
        for (auto it = held.rbegin(); it != held.rend(); ++it) XTestFakeKeyEvent(d, *it, False, CurrentTime);
        XFlush(d);
        ASSERT_TRUE(TestSupport::waitFor([&] {
            for (const auto& p : widget.presses)
                if (p.scanCode == *keyCode) return true;
            return false;
        }));
        const auto& press = *std::find_if(widget.presses.begin(), widget.presses.end(),
                                          [&](const auto& p) { return p.scanCode == *keyCode; });
        EXPECT_EQ(fromX11KeyCode(press.scanCode), c.code);
        int keypad = int(press.modifiers & Qt::KeypadModifier);
        EXPECT_EQ(fromQtKey(press.key | keypad), c.code) << std::hex << press.key;
        EXPECT_EQ(fromQtModifiers(press.modifiers.toInt()) & maskDeviceIndependent, c.flags);
        EXPECT_EQ(fromX11State(press.nativeModifiers), c.flags);
    }
}
