#include "Platform/X11/KeyCodes.h"

#include <QSet>

#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

using namespace KeyCodes;

namespace {

// The keys that have display names in the shortcut settings.
const int kNamedKeys[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,   11,  12,  13,  14,  15, 16,  17,  18,
                          19, 20, 21, 22, 23, 24, 25, 26, 27, 28,  29,  30,  31,  32,  33, 34,  35,  36,
                          37, 38, 39, 40, 41, 42, 43, 44, 45, 46,  47,  48,  49,  50,  51, 53,  122, 120,
                          99, 118, 96, 97, 98, 100, 101, 109, 103, 111, 105, 107, 113, 123, 124, 125, 126};
// The keys the clipboard popup handles beyond those: keypad Enter, Home, Page Up, forward
// Delete, End, Page Down.
const int kPopupKeys[] = {76, 115, 116, 117, 119, 121};

std::vector<int> tableKeys() {
    std::vector<int> keys(std::begin(kNamedKeys), std::end(kNamedKeys));
    keys.insert(keys.end(), std::begin(kPopupKeys), std::end(kPopupKeys));
    return keys;
}

bool isRightModifier(int code) {
    return code == kVK_RightShift || code == kVK_RightOption || code == kVK_RightControl;
}

}  // namespace

TEST(KeyCodes, TablesCoverEveryKeyTheProgramNames) {
    EXPECT_EQ(std::size(kNamedKeys), 71u);
    const std::vector<int>& all = allKeyCodes();
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
    EXPECT_EQ(QSet<int>(all.begin(), all.end()).size(), qsizetype(all.size()));
    for (int code : tableKeys()) {
        SCOPED_TRACE(code);
        EXPECT_NE(std::find(all.begin(), all.end(), code), all.end());
        EXPECT_TRUE(toKeySym(code).has_value());
        EXPECT_TRUE(toQtKey(code).has_value());
    }
}

TEST(KeyCodes, KeySymRoundTripsAndIsOneToOne) {
    QSet<uint32_t> seen;
    for (int code : allKeyCodes()) {
        SCOPED_TRACE(code);
        auto keysym = toKeySym(code);
        if (code == kVK_Function) {
            EXPECT_FALSE(keysym.has_value());
            continue;
        }
        ASSERT_TRUE(keysym.has_value());
        EXPECT_FALSE(seen.contains(*keysym)) << std::hex << *keysym;
        seen.insert(*keysym);
        EXPECT_EQ(fromKeySym(*keysym), code);
    }
}

TEST(KeyCodes, KeySymsAreTheUnshiftedSymbols) {
    const std::pair<int, uint32_t> expected[] = {
        {kVK_ANSI_A, XK_a},          {kVK_ANSI_V, XK_v},
        {kVK_ANSI_1, XK_1},          {kVK_ANSI_5, XK_5},
        {kVK_ANSI_Equal, XK_equal},  {kVK_ANSI_Minus, XK_minus},
        {kVK_ANSI_Grave, XK_grave},  {kVK_ANSI_LeftBracket, XK_bracketleft},
        {kVK_ANSI_Quote, XK_apostrophe}, {kVK_ANSI_Semicolon, XK_semicolon},
        {kVK_ANSI_Backslash, XK_backslash}, {kVK_ANSI_Comma, XK_comma},
        {kVK_ANSI_Period, XK_period}, {kVK_ANSI_Slash, XK_slash},
        {kVK_Return, XK_Return},     {kVK_ANSI_KeypadEnter, XK_KP_Enter},
        {kVK_Tab, XK_Tab},           {kVK_Space, XK_space},
        {kVK_Delete, XK_BackSpace},  {kVK_ForwardDelete, XK_Delete},
        {kVK_Escape, XK_Escape},     {kVK_F1, XK_F1},
        {kVK_F4, XK_F4},             {kVK_F15, XK_F15},
        {kVK_Home, XK_Home},         {kVK_End, XK_End},
        {kVK_PageUp, XK_Prior},      {kVK_PageDown, XK_Next},
        {kVK_LeftArrow, XK_Left},    {kVK_UpArrow, XK_Up},
        {kVK_Command, XK_Super_L},   {kVK_Option, XK_Alt_L},
        {kVK_Control, XK_Control_L}, {kVK_Shift, XK_Shift_L},
    };
    for (auto [code, keysym] : expected) EXPECT_EQ(toKeySym(code), keysym) << code;
}

TEST(KeyCodes, FromKeySymTakesShiftedAndKeypadSymbols) {
    EXPECT_EQ(fromKeySym(XK_A), kVK_ANSI_A);
    EXPECT_EQ(fromKeySym(XK_V), kVK_ANSI_V);
    EXPECT_EQ(fromKeySym(XK_Z), kVK_ANSI_Z);
    EXPECT_EQ(fromKeySym(XK_exclam), kVK_ANSI_1);
    EXPECT_EQ(fromKeySym(XK_parenright), kVK_ANSI_0);
    EXPECT_EQ(fromKeySym(XK_underscore), kVK_ANSI_Minus);
    EXPECT_EQ(fromKeySym(XK_plus), kVK_ANSI_Equal);
    EXPECT_EQ(fromKeySym(XK_question), kVK_ANSI_Slash);
    EXPECT_EQ(fromKeySym(XK_asciitilde), kVK_ANSI_Grave);
    EXPECT_EQ(fromKeySym(XK_ISO_Left_Tab), kVK_Tab);
    EXPECT_EQ(fromKeySym(XK_KP_End), kVK_ANSI_Keypad1);
    EXPECT_EQ(fromKeySym(XK_KP_1), kVK_ANSI_Keypad1);
    EXPECT_EQ(fromKeySym(XK_KP_Delete), kVK_ANSI_KeypadDecimal);
    EXPECT_EQ(fromKeySym(XK_ISO_Level3_Shift), kVK_RightOption);
    // Keys with no virtual code.
    EXPECT_FALSE(fromKeySym(NoSymbol).has_value());
    EXPECT_FALSE(fromKeySym(0x6c1).has_value());  // Cyrillic_a
    EXPECT_FALSE(fromKeySym(XK_Print).has_value());
    EXPECT_FALSE(toKeySym(-1).has_value());
    EXPECT_FALSE(toKeySym(10).has_value());
    EXPECT_FALSE(toKeySym(128).has_value());
    EXPECT_FALSE(toKeySym(1 << 20).has_value());
}

TEST(KeyCodes, QtKeyRoundTrips) {
    for (int code : allKeyCodes()) {
        SCOPED_TRACE(code);
        auto qtKey = toQtKey(code);
        if (code == kVK_Function) {
            EXPECT_FALSE(qtKey.has_value());
            continue;
        }
        ASSERT_TRUE(qtKey.has_value());
        if (isRightModifier(code)) continue;
        EXPECT_EQ(fromQtKey(*qtKey), code);
    }
    // Qt has one key for both sides of these modifiers.
    EXPECT_EQ(toQtKey(kVK_RightShift), Qt::Key_Shift);
    EXPECT_EQ(fromQtKey(Qt::Key_Shift), kVK_Shift);
    EXPECT_EQ(toQtKey(kVK_RightControl), Qt::Key_Control);
    EXPECT_EQ(fromQtKey(Qt::Key_Control), kVK_Control);
    EXPECT_EQ(fromQtKey(Qt::Key_Alt), kVK_Option);
}

TEST(KeyCodes, QtKeysAsKeyEventsReportThem) {
    const int keypad = Qt::KeypadModifier;
    EXPECT_EQ(fromQtKey(Qt::Key_Backspace), kVK_Delete);
    EXPECT_EQ(fromQtKey(Qt::Key_Delete), kVK_ForwardDelete);
    EXPECT_EQ(fromQtKey(Qt::Key_Return), kVK_Return);
    EXPECT_EQ(fromQtKey(Qt::Key_Enter | keypad), kVK_ANSI_KeypadEnter);
    EXPECT_EQ(fromQtKey(Qt::Key_Enter), kVK_ANSI_KeypadEnter);
    EXPECT_EQ(fromQtKey(Qt::Key_1), kVK_ANSI_1);
    EXPECT_EQ(fromQtKey(Qt::Key_1 | keypad), kVK_ANSI_Keypad1);
    EXPECT_EQ(fromQtKey(Qt::Key_End | keypad), kVK_ANSI_Keypad1);
    EXPECT_EQ(fromQtKey(Qt::Key_End), kVK_End);
    EXPECT_EQ(fromQtKey(Qt::Key_Exclam), kVK_ANSI_1);
    EXPECT_EQ(fromQtKey(Qt::Key_Question), kVK_ANSI_Slash);
    EXPECT_EQ(fromQtKey(Qt::Key_QuoteLeft), kVK_ANSI_Grave);
    EXPECT_EQ(fromQtKey(Qt::Key_Backtab), kVK_Tab);
    EXPECT_EQ(fromQtKey(Qt::Key_Super_L), kVK_Command);
    EXPECT_EQ(fromQtKey(Qt::Key_Meta), kVK_Command);
    EXPECT_EQ(fromQtKey(Qt::Key_Escape), kVK_Escape);
    EXPECT_EQ(fromQtKey(Qt::Key_F13), kVK_F13);
    // Modifier bits other than the keypad one do not change the key.
    const int held = int(Qt::ShiftModifier) | int(Qt::ControlModifier) | int(Qt::MetaModifier);
    EXPECT_EQ(fromQtKey(Qt::Key_V | held), kVK_ANSI_V);
    EXPECT_EQ(fromQtKey(Qt::Key_Comma | int(Qt::MetaModifier)), kVK_ANSI_Comma);
    EXPECT_EQ(fromQtKey(Qt::Key_Comma | keypad), kVK_ANSI_KeypadDecimal);
    // A keypad-flagged key with no keypad meaning is the key itself.
    EXPECT_EQ(fromQtKey(Qt::Key_A | keypad), kVK_ANSI_A);
    EXPECT_FALSE(fromQtKey(Qt::Key_Print).has_value());
    EXPECT_FALSE(fromQtKey(Qt::Key_unknown).has_value());
    EXPECT_FALSE(fromQtKey(0).has_value());
    EXPECT_EQ(toQtKey(kVK_ANSI_Keypad7), Qt::Key_7 | keypad);
    EXPECT_EQ(toQtKey(kVK_ANSI_KeypadEnter), Qt::Key_Enter | keypad);
}

TEST(KeyCodes, ModifierMasksRoundTrip) {
    const uint64_t masks[] = {maskShift, maskControl, maskAlternate, maskCommand};
    for (int subset = 0; subset < 16; ++subset) {
        uint64_t flags = 0;
        for (int i = 0; i < 4; ++i)
            if (subset & (1 << i)) flags |= masks[i];
        EXPECT_EQ(fromX11State(toX11State(flags)), flags);
        EXPECT_EQ(fromQtModifiers(toQtModifiers(flags)), flags);
        EXPECT_EQ(fromQtModifiers(toQtModifiers(flags | maskNumericPad)), flags | maskNumericPad);
        EXPECT_EQ(flags & ~maskDeviceIndependent, 0u);
    }
    EXPECT_EQ(toX11State(maskShift), uint32_t(ShiftMask));
    EXPECT_EQ(toX11State(maskControl), uint32_t(ControlMask));
    EXPECT_EQ(toX11State(maskAlternate), uint32_t(Mod1Mask));
    EXPECT_EQ(toX11State(maskCommand), uint32_t(Mod4Mask));
    EXPECT_EQ(toX11State(maskAlphaShift | maskNumericPad | maskFunction), 0u);
    // Caps Lock, Num Lock and the pointer buttons never reach the flags.
    EXPECT_EQ(fromX11State(LockMask | Mod2Mask | Button1Mask), 0u);
    EXPECT_EQ(fromX11State(ShiftMask | LockMask | Mod2Mask | Mod4Mask), maskShift | maskCommand);
    EXPECT_EQ(fromQtModifiers(Qt::MetaModifier), maskCommand);
    EXPECT_EQ(fromQtModifiers(Qt::ControlModifier), maskControl);
    EXPECT_EQ(fromQtModifiers(Qt::AltModifier), maskAlternate);
    EXPECT_EQ(fromQtModifiers(Qt::KeypadModifier), maskNumericPad);
    EXPECT_EQ(fromQtModifiers(Qt::GroupSwitchModifier), 0u);
    EXPECT_EQ(toQtModifiers(maskCommand | maskShift), int(Qt::MetaModifier | Qt::ShiftModifier));
}

TEST(KeyCodes, X11KeyCodesNeedAnXServer) {
    // The test program runs offscreen: there is no server keyboard map to read.
    EXPECT_FALSE(fromX11KeyCode(38).has_value());
    EXPECT_FALSE(toX11KeyCode(kVK_ANSI_A).has_value());
}
