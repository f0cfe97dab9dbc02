#include "Platform/X11/SyntheticKeys.h"

#include "Platform/X11/KeyCodes.h"

#include <QGuiApplication>

#include <algorithm>
#include <utility>
#include <vector>

// X11 headers last: their macros clash with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

SyntheticKeys* g_override = nullptr;

Display* x11Display() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

// A lock key toggles when pressed: holding it is no modifier held.
bool isLockKey(KeySym symbol) {
    switch (symbol) {
    case XK_Caps_Lock:
    case XK_Shift_Lock:
    case XK_Num_Lock:
    case XK_Scroll_Lock:
    case XK_ISO_Lock:
    case XK_ISO_Level3_Lock:
    case XK_ISO_Level5_Lock: return true;
    default: return false;
    }
}

// The keys of the modifier map, lock keys aside.
std::vector<KeyCode> modifierKeys(Display* display) {
    std::vector<KeyCode> keys;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map) return keys;
    for (int i = 0; i < 8 * map->max_keypermod; ++i) {
        const KeyCode code = map->modifiermap[i];
        if (!code || i / map->max_keypermod == LockMapIndex) continue;
        if (isLockKey(XkbKeycodeToKeysym(display, code, 0, 0))) continue;
        if (std::find(keys.begin(), keys.end(), code) == keys.end()) keys.push_back(code);
    }
    XFreeModifiermap(map);
    return keys;
}

}  // namespace

SyntheticKeys& SyntheticKeys::shared() {
    if (g_override) return *g_override;
    static XTestSyntheticKeys* keys = new XTestSyntheticKeys();  // kept for the life of the process
    return *keys;
}

void SyntheticKeys::setShared(SyntheticKeys* keys) { g_override = keys; }

bool XTestSyntheticKeys::isAvailable() const {
    Display* display = x11Display();
    if (!display) return false;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor);
}

bool XTestSyntheticKeys::modifiersHeld() const {
    Display* display = x11Display();
    if (!display) return false;
    // The core keyboard's keys: what any of the keyboards holds.
    char pressed[32] = {};
    XQueryKeymap(display, pressed);
    const std::vector<KeyCode> keys = modifierKeys(display);
    return std::any_of(keys.begin(), keys.end(), [&](KeyCode key) { return pressed[key / 8] & (1 << (key % 8)); });
}

bool XTestSyntheticKeys::post(const QList<SyntheticKeyEvent>& keystroke) {
    Display* display = x11Display();
    if (!display) return false;
    std::vector<std::pair<KeyCode, bool>> events;
    for (const SyntheticKeyEvent& event : keystroke) {
        const auto keyCode = KeyCodes::toX11KeyCode(event.keyCode);
        if (!keyCode) return false;
        events.emplace_back(KeyCode(*keyCode), event.keyDown);
    }
    bool sent = true;
    for (const auto& [key, down] : events)
        sent = XTestFakeKeyEvent(display, key, down ? True : False, CurrentTime) && sent;
    XFlush(display);
    return sent;
}
