#include "Platform/X11/KeyCodes.h"

#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>

#include <algorithm>
#include <array>
#include <cstring>

// X11 headers last: they define macros (None, Bool, Status...) that clash with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace KeyCodes {
namespace {

constexpr int kKeypad = Qt::KeypadModifier;

struct Key {
    int code;
    uint32_t keysym;  // 0: none
    int qtKey;        // 0: none; may carry Qt::KeypadModifier
    const char* xkbName;  // position on the keyboard; nullptr: none
};

// Virtual key code -> unshifted key symbol, Qt key and XKB key name.
constexpr Key kKeys[] = {
    {kVK_ANSI_A, XK_a, Qt::Key_A, "AC01"},
    {kVK_ANSI_S, XK_s, Qt::Key_S, "AC02"},
    {kVK_ANSI_D, XK_d, Qt::Key_D, "AC03"},
    {kVK_ANSI_F, XK_f, Qt::Key_F, "AC04"},
    {kVK_ANSI_H, XK_h, Qt::Key_H, "AC06"},
    {kVK_ANSI_G, XK_g, Qt::Key_G, "AC05"},
    {kVK_ANSI_Z, XK_z, Qt::Key_Z, "AB01"},
    {kVK_ANSI_X, XK_x, Qt::Key_X, "AB02"},
    {kVK_ANSI_C, XK_c, Qt::Key_C, "AB03"},
    {kVK_ANSI_V, XK_v, Qt::Key_V, "AB04"},
    {kVK_ANSI_B, XK_b, Qt::Key_B, "AB05"},
    {kVK_ANSI_Q, XK_q, Qt::Key_Q, "AD01"},
    {kVK_ANSI_W, XK_w, Qt::Key_W, "AD02"},
    {kVK_ANSI_E, XK_e, Qt::Key_E, "AD03"},
    {kVK_ANSI_R, XK_r, Qt::Key_R, "AD04"},
    {kVK_ANSI_Y, XK_y, Qt::Key_Y, "AD06"},
    {kVK_ANSI_T, XK_t, Qt::Key_T, "AD05"},
    {kVK_ANSI_1, XK_1, Qt::Key_1, "AE01"},
    {kVK_ANSI_2, XK_2, Qt::Key_2, "AE02"},
    {kVK_ANSI_3, XK_3, Qt::Key_3, "AE03"},
    {kVK_ANSI_4, XK_4, Qt::Key_4, "AE04"},
    {kVK_ANSI_6, XK_6, Qt::Key_6, "AE06"},
    {kVK_ANSI_5, XK_5, Qt::Key_5, "AE05"},
    {kVK_ANSI_Equal, XK_equal, Qt::Key_Equal, "AE12"},
    {kVK_ANSI_9, XK_9, Qt::Key_9, "AE09"},
    {kVK_ANSI_7, XK_7, Qt::Key_7, "AE07"},
    {kVK_ANSI_Minus, XK_minus, Qt::Key_Minus, "AE11"},
    {kVK_ANSI_8, XK_8, Qt::Key_8, "AE08"},
    {kVK_ANSI_0, XK_0, Qt::Key_0, "AE10"},
    {kVK_ANSI_RightBracket, XK_bracketright, Qt::Key_BracketRight, "AD12"},
    {kVK_ANSI_O, XK_o, Qt::Key_O, "AD09"},
    {kVK_ANSI_U, XK_u, Qt::Key_U, "AD07"},
    {kVK_ANSI_LeftBracket, XK_bracketleft, Qt::Key_BracketLeft, "AD11"},
    {kVK_ANSI_I, XK_i, Qt::Key_I, "AD08"},
    {kVK_ANSI_P, XK_p, Qt::Key_P, "AD10"},
    {kVK_Return, XK_Return, Qt::Key_Return, "RTRN"},
    {kVK_ANSI_L, XK_l, Qt::Key_L, "AC09"},
    {kVK_ANSI_J, XK_j, Qt::Key_J, "AC07"},
    {kVK_ANSI_Quote, XK_apostrophe, Qt::Key_Apostrophe, "AC11"},
    {kVK_ANSI_K, XK_k, Qt::Key_K, "AC08"},
    {kVK_ANSI_Semicolon, XK_semicolon, Qt::Key_Semicolon, "AC10"},
    {kVK_ANSI_Backslash, XK_backslash, Qt::Key_Backslash, "BKSL"},
    {kVK_ANSI_Comma, XK_comma, Qt::Key_Comma, "AB08"},
    {kVK_ANSI_Slash, XK_slash, Qt::Key_Slash, "AB10"},
    {kVK_ANSI_N, XK_n, Qt::Key_N, "AB06"},
    {kVK_ANSI_M, XK_m, Qt::Key_M, "AB07"},
    {kVK_ANSI_Period, XK_period, Qt::Key_Period, "AB09"},
    {kVK_Tab, XK_Tab, Qt::Key_Tab, "TAB"},
    {kVK_Space, XK_space, Qt::Key_Space, "SPCE"},
    {kVK_ANSI_Grave, XK_grave, Qt::Key_QuoteLeft, "TLDE"},
    {kVK_Delete, XK_BackSpace, Qt::Key_Backspace, "BKSP"},
    {kVK_Escape, XK_Escape, Qt::Key_Escape, "ESC"},
    {kVK_RightCommand, XK_Super_R, Qt::Key_Super_R, "RWIN"},
    {kVK_Command, XK_Super_L, Qt::Key_Super_L, "LWIN"},
    {kVK_Shift, XK_Shift_L, Qt::Key_Shift, "LFSH"},
    {kVK_CapsLock, XK_Caps_Lock, Qt::Key_CapsLock, "CAPS"},
    {kVK_Option, XK_Alt_L, Qt::Key_Alt, "LALT"},
    {kVK_Control, XK_Control_L, Qt::Key_Control, "LCTL"},
    {kVK_RightShift, XK_Shift_R, Qt::Key_Shift, "RTSH"},
    {kVK_RightOption, XK_Alt_R, Qt::Key_Alt, "RALT"},
    {kVK_RightControl, XK_Control_R, Qt::Key_Control, "RCTL"},
    {kVK_Function, 0, 0, nullptr},  // handled by the keyboard itself; X11 never sees it
    {kVK_F17, XK_F17, Qt::Key_F17, "FK17"},
    {kVK_ANSI_KeypadDecimal, XK_KP_Decimal, Qt::Key_Period | kKeypad, "KPDL"},
    {kVK_ANSI_KeypadMultiply, XK_KP_Multiply, Qt::Key_Asterisk | kKeypad, "KPMU"},
    {kVK_ANSI_KeypadPlus, XK_KP_Add, Qt::Key_Plus | kKeypad, "KPAD"},
    {kVK_ANSI_KeypadClear, XK_Num_Lock, Qt::Key_NumLock, "NMLK"},
    {kVK_ANSI_KeypadDivide, XK_KP_Divide, Qt::Key_Slash | kKeypad, "KPDV"},
    {kVK_ANSI_KeypadEnter, XK_KP_Enter, Qt::Key_Enter | kKeypad, "KPEN"},
    {kVK_ANSI_KeypadMinus, XK_KP_Subtract, Qt::Key_Minus | kKeypad, "KPSU"},
    {kVK_F18, XK_F18, Qt::Key_F18, "FK18"},
    {kVK_F19, XK_F19, Qt::Key_F19, "FK19"},
    {kVK_ANSI_KeypadEquals, XK_KP_Equal, Qt::Key_Equal | kKeypad, "KPEQ"},
    {kVK_ANSI_Keypad0, XK_KP_0, Qt::Key_0 | kKeypad, "KP0"},
    {kVK_ANSI_Keypad1, XK_KP_1, Qt::Key_1 | kKeypad, "KP1"},
    {kVK_ANSI_Keypad2, XK_KP_2, Qt::Key_2 | kKeypad, "KP2"},
    {kVK_ANSI_Keypad3, XK_KP_3, Qt::Key_3 | kKeypad, "KP3"},
    {kVK_ANSI_Keypad4, XK_KP_4, Qt::Key_4 | kKeypad, "KP4"},
    {kVK_ANSI_Keypad5, XK_KP_5, Qt::Key_5 | kKeypad, "KP5"},
    {kVK_ANSI_Keypad6, XK_KP_6, Qt::Key_6 | kKeypad, "KP6"},
    {kVK_ANSI_Keypad7, XK_KP_7, Qt::Key_7 | kKeypad, "KP7"},
    {kVK_F20, XK_F20, Qt::Key_F20, "FK20"},
    {kVK_ANSI_Keypad8, XK_KP_8, Qt::Key_8 | kKeypad, "KP8"},
    {kVK_ANSI_Keypad9, XK_KP_9, Qt::Key_9 | kKeypad, "KP9"},
    {kVK_F5, XK_F5, Qt::Key_F5, "FK05"},
    {kVK_F6, XK_F6, Qt::Key_F6, "FK06"},
    {kVK_F7, XK_F7, Qt::Key_F7, "FK07"},
    {kVK_F3, XK_F3, Qt::Key_F3, "FK03"},
    {kVK_F8, XK_F8, Qt::Key_F8, "FK08"},
    {kVK_F9, XK_F9, Qt::Key_F9, "FK09"},
    {kVK_F11, XK_F11, Qt::Key_F11, "FK11"},
    {kVK_F13, XK_F13, Qt::Key_F13, "FK13"},
    {kVK_F16, XK_F16, Qt::Key_F16, "FK16"},
    {kVK_F14, XK_F14, Qt::Key_F14, "FK14"},
    {kVK_F10, XK_F10, Qt::Key_F10, "FK10"},
    {kVK_F12, XK_F12, Qt::Key_F12, "FK12"},
    {kVK_F15, XK_F15, Qt::Key_F15, "FK15"},
    {kVK_Help, XK_Insert, Qt::Key_Insert, "INS"},
    {kVK_Home, XK_Home, Qt::Key_Home, "HOME"},
    {kVK_PageUp, XK_Prior, Qt::Key_PageUp, "PGUP"},
    {kVK_ForwardDelete, XK_Delete, Qt::Key_Delete, "DELE"},
    {kVK_F4, XK_F4, Qt::Key_F4, "FK04"},
    {kVK_End, XK_End, Qt::Key_End, "END"},
    {kVK_F2, XK_F2, Qt::Key_F2, "FK02"},
    {kVK_PageDown, XK_Next, Qt::Key_PageDown, "PGDN"},
    {kVK_F1, XK_F1, Qt::Key_F1, "FK01"},
    {kVK_LeftArrow, XK_Left, Qt::Key_Left, "LEFT"},
    {kVK_RightArrow, XK_Right, Qt::Key_Right, "RGHT"},
    {kVK_DownArrow, XK_Down, Qt::Key_Down, "DOWN"},
    {kVK_UpArrow, XK_Up, Qt::Key_Up, "UP"},
};

struct Alias {
    uint32_t from;
    int code;
};

// Symbols that other keyboard maps put on these keys unshifted: the keypad without Num Lock
// and the modifier keys.
constexpr Alias kUnshiftedAliases[] = {
    {XK_KP_Insert, kVK_ANSI_Keypad0}, {XK_KP_End, kVK_ANSI_Keypad1}, {XK_KP_Down, kVK_ANSI_Keypad2},
    {XK_KP_Next, kVK_ANSI_Keypad3}, {XK_KP_Left, kVK_ANSI_Keypad4}, {XK_KP_Begin, kVK_ANSI_Keypad5},
    {XK_KP_Right, kVK_ANSI_Keypad6}, {XK_KP_Home, kVK_ANSI_Keypad7}, {XK_KP_Up, kVK_ANSI_Keypad8},
    {XK_KP_Prior, kVK_ANSI_Keypad9}, {XK_KP_Delete, kVK_ANSI_KeypadDecimal},
    {XK_KP_Separator, kVK_ANSI_KeypadDecimal},
    {XK_Meta_L, kVK_Option}, {XK_Meta_R, kVK_RightOption}, {XK_ISO_Level3_Shift, kVK_RightOption},
    {XK_Mode_switch, kVK_RightOption}, {XK_Help, kVK_Help},
};

// The shifted symbols of the US layout. Only for symbols that arrive with the shift applied:
// other layouts have some of them unshifted on other keys (AZERTY's "&" sits on the 1 key).
constexpr Alias kShiftedAliases[] = {
    {XK_exclam, kVK_ANSI_1}, {XK_at, kVK_ANSI_2}, {XK_numbersign, kVK_ANSI_3},
    {XK_dollar, kVK_ANSI_4}, {XK_percent, kVK_ANSI_5}, {XK_asciicircum, kVK_ANSI_6},
    {XK_ampersand, kVK_ANSI_7}, {XK_asterisk, kVK_ANSI_8}, {XK_parenleft, kVK_ANSI_9},
    {XK_parenright, kVK_ANSI_0}, {XK_underscore, kVK_ANSI_Minus}, {XK_plus, kVK_ANSI_Equal},
    {XK_braceleft, kVK_ANSI_LeftBracket}, {XK_braceright, kVK_ANSI_RightBracket},
    {XK_colon, kVK_ANSI_Semicolon}, {XK_quotedbl, kVK_ANSI_Quote}, {XK_bar, kVK_ANSI_Backslash},
    {XK_less, kVK_ANSI_Comma}, {XK_greater, kVK_ANSI_Period}, {XK_question, kVK_ANSI_Slash},
    {XK_asciitilde, kVK_ANSI_Grave}, {XK_ISO_Left_Tab, kVK_Tab},
};

// Other Qt keys of the same keys (Qt reports the shifted symbol, and the keypad's navigation
// keys while Num Lock is off).
constexpr Alias kQtAliases[] = {
    {Qt::Key_Exclam, kVK_ANSI_1}, {Qt::Key_At, kVK_ANSI_2}, {Qt::Key_NumberSign, kVK_ANSI_3},
    {Qt::Key_Dollar, kVK_ANSI_4}, {Qt::Key_Percent, kVK_ANSI_5}, {Qt::Key_AsciiCircum, kVK_ANSI_6},
    {Qt::Key_Ampersand, kVK_ANSI_7}, {Qt::Key_Asterisk, kVK_ANSI_8}, {Qt::Key_ParenLeft, kVK_ANSI_9},
    {Qt::Key_ParenRight, kVK_ANSI_0}, {Qt::Key_Underscore, kVK_ANSI_Minus},
    {Qt::Key_Plus, kVK_ANSI_Equal}, {Qt::Key_BraceLeft, kVK_ANSI_LeftBracket},
    {Qt::Key_BraceRight, kVK_ANSI_RightBracket}, {Qt::Key_Colon, kVK_ANSI_Semicolon},
    {Qt::Key_QuoteDbl, kVK_ANSI_Quote}, {Qt::Key_Bar, kVK_ANSI_Backslash},
    {Qt::Key_Less, kVK_ANSI_Comma}, {Qt::Key_Greater, kVK_ANSI_Period},
    {Qt::Key_Question, kVK_ANSI_Slash}, {Qt::Key_AsciiTilde, kVK_ANSI_Grave},
    {Qt::Key_Backtab, kVK_Tab}, {Qt::Key_Enter, kVK_ANSI_KeypadEnter}, {Qt::Key_Meta, kVK_Command},
    {Qt::Key_AltGr, kVK_RightOption}, {Qt::Key_Help, kVK_Help},
    {Qt::Key_Insert | kKeypad, kVK_ANSI_Keypad0}, {Qt::Key_End | kKeypad, kVK_ANSI_Keypad1},
    {Qt::Key_Down | kKeypad, kVK_ANSI_Keypad2}, {Qt::Key_PageDown | kKeypad, kVK_ANSI_Keypad3},
    {Qt::Key_Left | kKeypad, kVK_ANSI_Keypad4}, {Qt::Key_Clear | kKeypad, kVK_ANSI_Keypad5},
    {Qt::Key_Right | kKeypad, kVK_ANSI_Keypad6}, {Qt::Key_Home | kKeypad, kVK_ANSI_Keypad7},
    {Qt::Key_Up | kKeypad, kVK_ANSI_Keypad8}, {Qt::Key_PageUp | kKeypad, kVK_ANSI_Keypad9},
    {Qt::Key_Delete | kKeypad, kVK_ANSI_KeypadDecimal}, {Qt::Key_Comma | kKeypad, kVK_ANSI_KeypadDecimal},
};

struct Tables {
    std::array<const Key*, 128> byCode{};
    QHash<uint32_t, int> byUnshiftedKeySym;  // the keys' own symbols
    QHash<uint32_t, int> byKeySym;           // those and the shifted ones
    QHash<int, int> byQtKey;
    QHash<QByteArray, int> byXkbName;
    std::vector<int> codes;
};

const Tables& tables() {
    static const auto* t = [] {
        auto* t = new Tables;
        for (const Key& k : kKeys) {
            t->byCode[size_t(k.code)] = &k;
            t->codes.push_back(k.code);
            if (k.keysym) t->byKeySym.insert(k.keysym, k.code);
            // Right-hand modifiers share the left one's Qt key; the first (left) entry wins.
            if (k.qtKey && !t->byQtKey.contains(k.qtKey)) t->byQtKey.insert(k.qtKey, k.code);
            if (k.xkbName) t->byXkbName.insert(QByteArray(k.xkbName), k.code);
        }
        for (const Alias& a : kUnshiftedAliases) t->byKeySym.insert(a.from, a.code);
        t->byUnshiftedKeySym = t->byKeySym;
        for (const Alias& a : kShiftedAliases) t->byKeySym.insert(a.from, a.code);
        for (const Alias& a : kQtAliases) t->byQtKey.insert(int(a.from), a.code);
        std::sort(t->codes.begin(), t->codes.end());
        return t;
    }();
    return *t;
}

// Qt's connection to the X server; null off X11 (offscreen, Wayland) or without a GUI app.
Display* x11Display() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// The server's current key map and key names. Fetched fresh: Xlib's own cached map never sees
// the mapping-change events, which Qt reads through xcb.
class KeyboardMap {
public:
    explicit KeyboardMap(Display* display) {
        if (!display) return;
        desc_ = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
        if (desc_ && XkbGetNames(display, XkbKeyNamesMask, desc_) != Success) names_ = false;
    }
    ~KeyboardMap() {
        if (desc_) XkbFreeKeyboard(desc_, 0, True);
    }
    KeyboardMap(const KeyboardMap&) = delete;
    KeyboardMap& operator=(const KeyboardMap&) = delete;

    bool valid() const { return desc_ && desc_->map; }
    int minKeyCode() const { return desc_->min_key_code; }
    int maxKeyCode() const { return desc_->max_key_code; }

    KeySym symbol(int keyCode, int group, int level) const {
        if (keyCode < minKeyCode() || keyCode > maxKeyCode()) return NoSymbol;
        if (group >= XkbKeyNumGroups(desc_, keyCode)) return NoSymbol;
        if (level >= XkbKeyGroupWidth(desc_, keyCode, group)) return NoSymbol;
        return XkbKeySymEntry(desc_, keyCode, level, group);
    }
    int maxGroupWidth() const {
        int width = 0;
        for (int kc = minKeyCode(); kc <= maxKeyCode(); ++kc)
            width = std::max(width, int(XkbKeyGroupsWidth(desc_, kc)));
        return width;
    }
    QByteArray name(int keyCode) const {
        if (!names_ || !desc_->names || !desc_->names->keys) return {};
        if (keyCode < minKeyCode() || keyCode > maxKeyCode()) return {};
        const char* n = desc_->names->keys[keyCode].name;
        return QByteArray(n, int(strnlen(n, XkbKeyNameLength)));
    }

private:
    XkbDescPtr desc_ = nullptr;
    bool names_ = true;
};

// A key by its first symbol (first group, no shift), else by its position.
std::optional<int> codeForX11Key(const KeyboardMap& map, int keyCode) {
    const auto& bySym = tables().byUnshiftedKeySym;
    auto bySymbol = bySym.constFind(uint32_t(map.symbol(keyCode, 0, 0)));
    if (bySymbol != bySym.constEnd()) return *bySymbol;
    QByteArray name = map.name(keyCode);
    if (name.isEmpty()) return std::nullopt;
    auto found = tables().byXkbName.constFind(name);
    if (found == tables().byXkbName.constEnd()) return std::nullopt;
    return *found;
}

}  // namespace

const std::vector<int>& allKeyCodes() { return tables().codes; }

std::optional<int> fromKeySym(uint32_t keysym) {
    if (keysym >= XK_A && keysym <= XK_Z) keysym += XK_a - XK_A;
    auto found = tables().byKeySym.constFind(keysym);
    if (found == tables().byKeySym.constEnd()) return std::nullopt;
    return *found;
}

std::optional<uint32_t> toKeySym(int keyCode) {
    if (keyCode < 0 || keyCode >= 128) return std::nullopt;
    const Key* k = tables().byCode[size_t(keyCode)];
    if (!k || !k->keysym) return std::nullopt;
    return k->keysym;
}

std::optional<int> fromX11KeyCode(uint32_t x11KeyCode) {
    if (x11KeyCode > 255) return std::nullopt;
    KeyboardMap map(x11Display());
    if (!map.valid()) return std::nullopt;
    return codeForX11Key(map, int(x11KeyCode));
}

std::optional<uint32_t> toX11KeyCode(int keyCode) {
    if (keyCode < 0 || keyCode >= 128) return std::nullopt;
    const Key* k = tables().byCode[size_t(keyCode)];
    if (!k) return std::nullopt;
    KeyboardMap map(x11Display());
    if (!map.valid()) return std::nullopt;

    // By symbol, in the order XKeysymToKeycode searches (group and level, then key code);
    // only a key that reads back as the same virtual key counts.
    if (k->keysym) {
        const int width = map.maxGroupWidth();
        for (int group = 0; group < XkbNumKbdGroups; ++group) {
            for (int level = 0; level < width; ++level) {
                for (int kc = map.minKeyCode(); kc <= map.maxKeyCode(); ++kc) {
                    if (map.symbol(kc, group, level) != k->keysym) continue;
                    if (codeForX11Key(map, kc) == keyCode) return uint32_t(kc);
                }
            }
        }
    }
    // By position.
    if (k->xkbName) {
        QByteArray wanted(k->xkbName);
        for (int kc = map.minKeyCode(); kc <= map.maxKeyCode(); ++kc) {
            if (map.name(kc) == wanted && codeForX11Key(map, kc) == keyCode) return uint32_t(kc);
        }
    }
    return std::nullopt;
}

std::optional<int> fromQtKey(int qtKey) {
    const int key = qtKey & ~int(Qt::KeyboardModifierMask);
    const bool keypad = qtKey & kKeypad;
    const auto& byQt = tables().byQtKey;
    if (keypad) {
        auto found = byQt.constFind(key | kKeypad);
        if (found != byQt.constEnd()) return *found;
    }
    int plain = key;
    if (plain >= 'a' && plain <= 'z') plain -= 'a' - 'A';
    auto found = byQt.constFind(plain);
    if (found == byQt.constEnd()) return std::nullopt;
    return *found;
}

std::optional<int> toQtKey(int keyCode) {
    if (keyCode < 0 || keyCode >= 128) return std::nullopt;
    const Key* k = tables().byCode[size_t(keyCode)];
    if (!k || !k->qtKey) return std::nullopt;
    return k->qtKey;
}

uint64_t fromX11State(uint32_t state) {
    uint64_t flags = 0;
    if (state & ShiftMask) flags |= maskShift;
    if (state & ControlMask) flags |= maskControl;
    if (state & Mod1Mask) flags |= maskAlternate;
    if (state & Mod4Mask) flags |= maskCommand;
    return flags;
}

uint32_t toX11State(uint64_t flags) {
    uint32_t state = 0;
    if (flags & maskShift) state |= ShiftMask;
    if (flags & maskControl) state |= ControlMask;
    if (flags & maskAlternate) state |= Mod1Mask;
    if (flags & maskCommand) state |= Mod4Mask;
    return state;
}

uint64_t fromQtModifiers(int qtModifiers) {
    uint64_t flags = 0;
    if (qtModifiers & Qt::ShiftModifier) flags |= maskShift;
    if (qtModifiers & Qt::ControlModifier) flags |= maskControl;
    if (qtModifiers & Qt::AltModifier) flags |= maskAlternate;
    if (qtModifiers & Qt::MetaModifier) flags |= maskCommand;
    if (qtModifiers & Qt::KeypadModifier) flags |= maskNumericPad;
    return flags;
}

int toQtModifiers(uint64_t flags) {
    int modifiers = 0;
    if (flags & maskShift) modifiers |= Qt::ShiftModifier;
    if (flags & maskControl) modifiers |= Qt::ControlModifier;
    if (flags & maskAlternate) modifiers |= Qt::AltModifier;
    if (flags & maskCommand) modifiers |= Qt::MetaModifier;
    if (flags & maskNumericPad) modifiers |= Qt::KeypadModifier;
    return modifiers;
}

Press fromKeyEvent(const QKeyEvent& event) {
    Press press;
    const bool x11 = qGuiApp && qGuiApp->nativeInterface<QNativeInterface::QX11Application>() != nullptr;
    if (x11 && event.nativeScanCode() != 0) {
        press.keyCode = fromX11KeyCode(event.nativeScanCode());
        press.flags = fromX11State(event.nativeModifiers() & 0xff);
        if (event.modifiers() & Qt::KeypadModifier) press.flags |= maskNumericPad;
    } else {
        press.keyCode = fromQtKey(event.key() | int(event.modifiers() & Qt::KeypadModifier));
        press.flags = fromQtModifiers(int(event.modifiers()));
    }
    return press;
}

bool isModifierKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Shift: case Qt::Key_Control: case Qt::Key_Meta: case Qt::Key_Alt:
    case Qt::Key_AltGr: case Qt::Key_CapsLock: case Qt::Key_NumLock: case Qt::Key_ScrollLock:
    case Qt::Key_Super_L: case Qt::Key_Super_R: case Qt::Key_Hyper_L: case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

}  // namespace KeyCodes
