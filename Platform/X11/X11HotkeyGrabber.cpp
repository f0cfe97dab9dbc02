#include "Platform/X11/X11HotkeyGrabber.h"

#include "Platform/X11/KeyCodes.h"
#include "Platform/X11/XServer.h"

#include <QGuiApplication>
#include <QtGui/private/qxkbcommon_p.h>

#include <cstdlib>
#include <set>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace {
constexpr uint8_t kBadAccess = 10;
}

std::unique_ptr<HotkeyGrabber> HotkeyGrabber::makeDefault() { return std::make_unique<X11HotkeyGrabber>(); }

X11HotkeyGrabber::X11HotkeyGrabber() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !x11->display()) return;
    connection_ = x11->connection();
    display_ = x11->display();
    root_ = uint32_t(DefaultRootWindow(display_));
    XServer::subscribe(this, [this](const xcb_generic_event_t* event) { return heard(event); });
}

X11HotkeyGrabber::~X11HotkeyGrabber() {
    if (!connection_) return;
    XServer::unsubscribe(this);
    ungrabAll();
}

bool X11HotkeyGrabber::isAvailable() const { return connection_ != nullptr; }

uint16_t X11HotkeyGrabber::numLockMask() const {
    const KeyCode numLock = XKeysymToKeycode(display_, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(display_);
    uint16_t mask = 0;
    if (map && numLock != 0) {
        for (int modifier = 0; modifier < 8 && !mask; ++modifier) {
            for (int k = 0; k < map->max_keypermod; ++k) {
                if (map->modifiermap[modifier * map->max_keypermod + k] == numLock) {
                    mask = uint16_t(1u << modifier);
                    break;
                }
            }
        }
    }
    if (map) XFreeModifiermap(map);
    return mask ? mask : uint16_t(Mod2Mask);
}

HotkeyGrabber::GrabResult X11HotkeyGrabber::grab(int keyCode, uint64_t flags) {
    if (!connection_) return GrabResult::Failed;
    const auto x11Key = KeyCodes::toX11KeyCode(keyCode);
    if (!x11Key || *x11Key == 0 || *x11Key > 255) return GrabResult::NoKey;
    const auto code = xcb_keycode_t(*x11Key);
    const auto modifiers = uint16_t(KeyCodes::toX11State(flags & KeyCodes::maskDeviceIndependent));
    const uint16_t numLock = numLockMask();
    const std::set<uint16_t> variants{0, uint16_t(LockMask), numLock, uint16_t(LockMask | numLock)};

    std::vector<std::pair<uint16_t, xcb_void_cookie_t>> cookies;
    for (uint16_t variant : variants) {
        const auto mods = uint16_t(modifiers | variant);
        cookies.emplace_back(mods, xcb_grab_key_checked(connection_, 0, root_, mods, code, XCB_GRAB_MODE_ASYNC,
                                                        XCB_GRAB_MODE_ASYNC));
    }
    std::vector<Grab> done;
    uint8_t errorCode = 0;
    for (const auto& [mods, cookie] : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
            errorCode = error->error_code;
            std::free(error);
        } else {
            done.push_back({code, mods});
        }
    }
    if (errorCode != 0) {
        // Half a hot key (working only with Num Lock on, say) would puzzle: drop it all.
        for (const Grab& g : done) xcb_ungrab_key(connection_, g.keyCode, root_, g.modifiers);
        xcb_flush(connection_);
        return errorCode == kBadAccess ? GrabResult::Taken : GrabResult::Failed;
    }
    grabs_.insert(grabs_.end(), done.begin(), done.end());
    xcb_flush(connection_);
    return GrabResult::Grabbed;
}

void X11HotkeyGrabber::ungrabAll() {
    if (!connection_) return;
    for (const Grab& g : grabs_) xcb_ungrab_key(connection_, g.keyCode, root_, g.modifiers);
    grabs_.clear();
    // The requests must reach the server before anyone relies on the keys being free.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

QString X11HotkeyGrabber::characters(uint8_t keyCode, uint16_t state, uint32_t window, uint32_t root) const {
    XKeyEvent xkey{};
    xkey.type = XCB_KEY_PRESS;
    xkey.display = display_;
    xkey.window = window;
    xkey.root = root;
    xkey.keycode = keyCode;
    xkey.state = state;
    char buffer[32];
    KeySym keysym = NoSymbol;
    XLookupString(&xkey, buffer, sizeof buffer, &keysym, nullptr);
    if (keysym == NoSymbol) return {};
    return QXkbCommon::lookupStringNoKeysymTransformations(xkb_keysym_t(keysym)).left(4);
}

bool X11HotkeyGrabber::heard(const xcb_generic_event_t* event) {
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        const auto* mapping = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
        if (mapping->request == XCB_MAPPING_KEYBOARD || mapping->request == XCB_MAPPING_MODIFIER) {
            emit keyboardMapChanged();
        }
        return false;  // Qt follows the new map too
    }
    if (grabs_.empty() || (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)) return false;
    const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
    // Grabbed keys are reported to the root window; keys of our own windows go on to Qt.
    if (key->event != root_) return false;
    if (type == XCB_KEY_PRESS) {
        const int keyCode = KeyCodes::fromX11KeyCode(key->detail).value_or(-1);
        const uint64_t flags = KeyCodes::fromX11State(key->state & 0xff);
        emit keyPressed(keyCode, flags, characters(key->detail, key->state, key->event, key->root));
    }
    return true;
}
