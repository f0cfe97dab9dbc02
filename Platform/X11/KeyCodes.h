#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class QKeyEvent;

// The program's own key vocabulary: virtual key codes (stored in hot-key bindings, used by
// the popups' keyboard handling) and modifier flag masks. Maps them to and from X11 key
// codes (through the keyboard map of the running X server, or a key symbol) and Qt keys.
// ⌘ is the Super key, ⌥ Alt, ⌃ Control, ⇧ Shift.
namespace KeyCodes {
// Modifier flag masks.
constexpr uint64_t maskAlphaShift = 0x10000;
constexpr uint64_t maskShift = 0x20000;
constexpr uint64_t maskControl = 0x40000;
constexpr uint64_t maskAlternate = 0x80000;
constexpr uint64_t maskCommand = 0x100000;
constexpr uint64_t maskNumericPad = 0x200000;
constexpr uint64_t maskFunction = 0x800000;
// The four that hot keys and shortcuts match on.
constexpr uint64_t maskDeviceIndependent = maskShift | maskControl | maskAlternate | maskCommand;

// Virtual key codes used by name in the code.
enum : int {
    kVK_ANSI_A = 0, kVK_ANSI_S = 1, kVK_ANSI_D = 2, kVK_ANSI_F = 3, kVK_ANSI_H = 4, kVK_ANSI_G = 5,
    kVK_ANSI_Z = 6, kVK_ANSI_X = 7, kVK_ANSI_C = 8, kVK_ANSI_V = 9, kVK_ANSI_B = 11, kVK_ANSI_Q = 12,
    kVK_ANSI_W = 13, kVK_ANSI_E = 14, kVK_ANSI_R = 15, kVK_ANSI_Y = 16, kVK_ANSI_T = 17,
    kVK_ANSI_1 = 18, kVK_ANSI_2 = 19, kVK_ANSI_3 = 20, kVK_ANSI_4 = 21, kVK_ANSI_6 = 22,
    kVK_ANSI_5 = 23, kVK_ANSI_Equal = 24, kVK_ANSI_9 = 25, kVK_ANSI_7 = 26, kVK_ANSI_Minus = 27,
    kVK_ANSI_8 = 28, kVK_ANSI_0 = 29, kVK_ANSI_RightBracket = 30, kVK_ANSI_O = 31, kVK_ANSI_U = 32,
    kVK_ANSI_LeftBracket = 33, kVK_ANSI_I = 34, kVK_ANSI_P = 35, kVK_Return = 36, kVK_ANSI_L = 37,
    kVK_ANSI_J = 38, kVK_ANSI_Quote = 39, kVK_ANSI_K = 40, kVK_ANSI_Semicolon = 41,
    kVK_ANSI_Backslash = 42, kVK_ANSI_Comma = 43, kVK_ANSI_Slash = 44, kVK_ANSI_N = 45,
    kVK_ANSI_M = 46, kVK_ANSI_Period = 47, kVK_Tab = 48, kVK_Space = 49, kVK_ANSI_Grave = 50,
    kVK_Delete = 51, kVK_Escape = 53, kVK_Command = 55, kVK_Shift = 56, kVK_CapsLock = 57,
    kVK_Option = 58, kVK_Control = 59, kVK_RightShift = 60, kVK_RightOption = 61,
    kVK_RightControl = 62, kVK_Function = 63, kVK_ANSI_KeypadEnter = 76,
    kVK_F5 = 96, kVK_F6 = 97, kVK_F7 = 98, kVK_F3 = 99, kVK_F8 = 100, kVK_F9 = 101, kVK_F11 = 103,
    kVK_F13 = 105, kVK_F14 = 107, kVK_F10 = 109, kVK_F12 = 111, kVK_F15 = 113, kVK_Home = 115,
    kVK_PageUp = 116, kVK_ForwardDelete = 117, kVK_F4 = 118, kVK_End = 119, kVK_F2 = 120,
    kVK_PageDown = 121, kVK_F1 = 122, kVK_LeftArrow = 123, kVK_RightArrow = 124,
    kVK_DownArrow = 125, kVK_UpArrow = 126,
    // Further keys a PC keyboard can send (Help is the Insert key).
    kVK_RightCommand = 54, kVK_F17 = 64, kVK_ANSI_KeypadDecimal = 65, kVK_ANSI_KeypadMultiply = 67,
    kVK_ANSI_KeypadPlus = 69, kVK_ANSI_KeypadClear = 71, kVK_ANSI_KeypadDivide = 75,
    kVK_ANSI_KeypadMinus = 78, kVK_F18 = 79, kVK_F19 = 80, kVK_ANSI_KeypadEquals = 81,
    kVK_ANSI_Keypad0 = 82, kVK_ANSI_Keypad1 = 83, kVK_ANSI_Keypad2 = 84, kVK_ANSI_Keypad3 = 85,
    kVK_ANSI_Keypad4 = 86, kVK_ANSI_Keypad5 = 87, kVK_ANSI_Keypad6 = 88, kVK_ANSI_Keypad7 = 89,
    kVK_F20 = 90, kVK_ANSI_Keypad8 = 91, kVK_ANSI_Keypad9 = 92, kVK_F16 = 106, kVK_Help = 114,
};

// Every virtual key code the program knows.
const std::vector<int>& allKeyCodes();

// X11 key symbol <-> virtual key code (the unshifted symbol of the key; fromKeySym also takes
// the shifted symbols, such as XK_A or XK_exclam, and the keypad's symbols without Num Lock).
std::optional<int> fromKeySym(uint32_t keysym);
std::optional<uint32_t> toKeySym(int keyCode);
// X11 key code on the running server <-> virtual key code (reads the server's current keyboard
// map on each call; absent without an X connection). A key is found by its symbol in the first
// layout group, else by its position (the XKB key name), so keys of non-Latin layouts and
// F13-F20 (which carry XF86 symbols) still map. Call from the GUI thread.
std::optional<int> fromX11KeyCode(uint32_t x11KeyCode);
std::optional<uint32_t> toX11KeyCode(int keyCode);

// Qt key (Qt::Key) <-> virtual key code. Keypad keys are the Qt key combined with
// Qt::KeypadModifier (QKeyEvent::key() | (modifiers() & Qt::KeypadModifier)); other modifier
// bits in qtKey are ignored. Left and right Shift, Control and Option share one Qt key, which
// maps back to the left one.
std::optional<int> fromQtKey(int qtKey);
std::optional<int> toQtKey(int keyCode);

// X11 modifier state (ShiftMask, ControlMask, Mod1Mask = Alt, Mod4Mask = Super) <-> flags;
// Caps Lock, Num Lock and the other bits are ignored.
uint64_t fromX11State(uint32_t state);
uint32_t toX11State(uint64_t flags);
// Qt::KeyboardModifiers <-> flags (Qt::MetaModifier is Super on X11, Qt::KeypadModifier the
// numeric-pad flag).
uint64_t fromQtModifiers(int qtModifiers);
int toQtModifiers(uint64_t flags);

// A key event in the program's vocabulary: on an X11 display from the event's native key code
// and state, else from its Qt key and modifiers. keyCode is absent for a key without a code.
struct Press {
    std::optional<int> keyCode;
    uint64_t flags = 0;
};
Press fromKeyEvent(const QKeyEvent& event);
// Whether a Qt key is a modifier or lock key alone (no key-down of its own).
bool isModifierKey(int qtKey);
}  // namespace KeyCodes
