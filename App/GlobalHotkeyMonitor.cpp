#include "App/GlobalHotkeyMonitor.h"

#include "Platform/KeyCodes.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "Source/Features/ScreenDimmer/ScreenDimmer.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QObject>
#include <QTimer>
#include <QtGui/private/qxkbcommon_p.h>

#include <cstdlib>
#include <set>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
// Xlib's event-type macros would shadow QEvent's names below.
#undef KeyPress
#undef KeyRelease

namespace {

constexpr uint8_t kBadAccess = 10;

struct Grab {
    xcb_keycode_t keyCode;
    uint16_t modifiers;
};

// Owns the grabs and sees the X events (native filter) and the keys of our own windows
// (application event filter).
class HotkeyEngine final : public QObject, public QAbstractNativeEventFilter {
public:
    static HotkeyEngine& instance() {
        static HotkeyEngine* engine = new HotkeyEngine;
        return *engine;
    }

    bool monitoring = false;
    QStringList refused;
    GlobalHotkeyMonitor::Interceptor interceptor;
    QHash<QString, GlobalHotkeyMonitor::ActionHandler> handlers;

    void start() {
        if (monitoring) return;
        refused.clear();
        auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11 || !x11->connection() || !x11->display()) {
            qWarning("Global hot keys are unavailable: no X server connection.");
            return;
        }
        connection_ = x11->connection();
        display_ = x11->display();
        root_ = xcb_window_t(DefaultRootWindow(display_));
        monitoring = true;
        if (!filterInstalled_) {
            QCoreApplication::instance()->installNativeEventFilter(this);
            filterInstalled_ = true;
        }
        grabAll();
    }

    void stop() {
        if (!monitoring) return;
        ungrabAll();
        monitoring = false;
    }

    // Re-grabs after the bindings changed, when monitoring.
    void regrab() {
        if (!monitoring) return;
        ungrabAll();
        refused.clear();
        grabAll();
    }

    // Map changes come in bursts: re-grab once, after the burst.
    void scheduleRegrab() {
        if (regrabPending_) return;
        regrabPending_ = true;
        QTimer::singleShot(50, this, [this] {
            regrabPending_ = false;
            regrab();
        });
    }

    void ensureKeyFilter() {
        if (keyFilterInstalled_ || !QCoreApplication::instance()) return;
        QCoreApplication::instance()->installEventFilter(this);
        keyFilterInstalled_ = true;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (!monitoring || eventType != "xcb_generic_event_t") return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_MAPPING_NOTIFY) {
            // The grabs name key codes: when the keyboard map changes they must follow the keys.
            const auto* mapping = reinterpret_cast<xcb_mapping_notify_event_t*>(event);
            if (mapping->request == XCB_MAPPING_KEYBOARD || mapping->request == XCB_MAPPING_MODIFIER) scheduleRegrab();
            return false;  // Qt follows the new map too
        }
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
        // Grabbed keys are reported to the root window; keys of our own windows go on to Qt.
        if (key->event != root_) return false;
        if (type == XCB_KEY_PRESS) {
            const int keyCode = KeyCodes::fromX11KeyCode(key->detail).value_or(-1);
            const uint64_t flags = KeyCodes::fromX11State(key->state & 0xff);
            GlobalHotkeyMonitor::handleKeyDown(keyCode, flags, characters(key));
        }
        return true;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Window-level key presses reach the program once each, before any widget.
        if (event->type() != QEvent::KeyPress || !interceptor || !watched->isWindowType()) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (isModifierKey(key->key())) return false;  // modifiers alone are no key-down
        std::optional<int> code;
        uint64_t flags = 0;
        if (key->nativeScanCode() != 0 && display_) {
            code = KeyCodes::fromX11KeyCode(key->nativeScanCode());
            flags = KeyCodes::fromX11State(key->nativeModifiers() & 0xff);
        } else {
            code = KeyCodes::fromQtKey(key->key());
            flags = KeyCodes::fromQtModifiers(int(key->modifiers()));
        }
        auto handler = interceptor;  // may be replaced while it runs
        return handler(code.value_or(-1), flags, key->text().left(4));
    }

private:
    HotkeyEngine() {
        QObject::connect(&ShortcutManager::shared(), &ShortcutManager::bindingsChanged, this,
                         [this] { regrab(); });
        if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
            display_ = x11->display();
        }
    }

    static bool isModifierKey(int key) {
        switch (key) {
        case Qt::Key_Shift: case Qt::Key_Control: case Qt::Key_Meta: case Qt::Key_Alt:
        case Qt::Key_AltGr: case Qt::Key_CapsLock: case Qt::Key_NumLock: case Qt::Key_ScrollLock:
        case Qt::Key_Super_L: case Qt::Key_Super_R: case Qt::Key_Hyper_L: case Qt::Key_Hyper_R:
        case Qt::Key_Mode_switch:
            return true;
        default:
            return false;
        }
    }

    QString characters(const xcb_key_press_event_t* key) const {
        XKeyEvent xkey{};
        xkey.type = XCB_KEY_PRESS;
        xkey.display = display_;
        xkey.window = key->event;
        xkey.root = key->root;
        xkey.keycode = key->detail;
        xkey.state = key->state;
        char buffer[32];
        KeySym keysym = NoSymbol;
        XLookupString(&xkey, buffer, sizeof buffer, &keysym, nullptr);
        if (keysym == NoSymbol) return {};
        return QXkbCommon::lookupStringNoKeysymTransformations(xkb_keysym_t(keysym)).left(4);
    }

    uint16_t numLockMask() const {
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

    void grabAll() {
        const uint16_t numLock = numLockMask();
        std::set<uint16_t> variantSet{0, uint16_t(LockMask), numLock, uint16_t(LockMask | numLock)};
        const std::vector<uint16_t> variants(variantSet.begin(), variantSet.end());
        std::set<std::pair<xcb_keycode_t, uint16_t>> taken;

        for (const HotkeyBinding& binding : ShortcutManager::shared().bindings()) {
            if (!binding.isEnabled) continue;
            const uint64_t flags = binding.modifiers & KeyCodes::maskDeviceIndependent;
            if (flags == 0) {
                // A bare key would be taken from every program.
                qWarning().noquote() << "Hot key" << binding.id << "has no modifier key; not registered.";
                refused << binding.id;
                continue;
            }
            auto keyCode = KeyCodes::toX11KeyCode(binding.keyCode);
            if (!keyCode || *keyCode == 0 || *keyCode > 255) {
                qWarning().noquote() << "Hot key" << binding.id << "has no key on this keyboard; not registered.";
                refused << binding.id;
                continue;
            }
            const uint16_t modifiers = uint16_t(KeyCodes::toX11State(flags));
            if (taken.count({xcb_keycode_t(*keyCode), modifiers})) continue;  // an earlier binding has it

            std::vector<xcb_void_cookie_t> cookies;
            for (uint16_t variant : variants) {
                cookies.push_back(xcb_grab_key_checked(connection_, 0, root_, modifiers | variant,
                                                       xcb_keycode_t(*keyCode), XCB_GRAB_MODE_ASYNC,
                                                       XCB_GRAB_MODE_ASYNC));
            }
            std::vector<Grab> done;
            bool refusedHere = false;
            uint8_t errorCode = 0;
            for (size_t i = 0; i < cookies.size(); ++i) {
                if (xcb_generic_error_t* error = xcb_request_check(connection_, cookies[i])) {
                    refusedHere = true;
                    errorCode = error->error_code;
                    std::free(error);
                } else {
                    done.push_back({xcb_keycode_t(*keyCode), uint16_t(modifiers | variants[i])});
                }
            }
            if (refusedHere) {
                // Half a hot key (working only with Num Lock on, say) would puzzle: drop it all.
                for (const Grab& grab : done) xcb_ungrab_key(connection_, grab.keyCode, root_, grab.modifiers);
                xcb_flush(connection_);
                if (errorCode == kBadAccess) {
                    qWarning().noquote() << "Hot key" << binding.id << "(" + describe(binding) + ")"
                                         << "is already taken by another program; not registered.";
                } else {
                    qWarning().noquote() << "Hot key" << binding.id << "(" + describe(binding) + ")"
                                         << "could not be registered: X error" << errorCode;
                }
                refused << binding.id;
                continue;
            }
            taken.insert({xcb_keycode_t(*keyCode), modifiers});
            grabs_.insert(grabs_.end(), done.begin(), done.end());
        }
        xcb_flush(connection_);
    }

    void ungrabAll() {
        if (!connection_) return;
        for (const Grab& grab : grabs_) xcb_ungrab_key(connection_, grab.keyCode, root_, grab.modifiers);
        grabs_.clear();
        // The requests must reach the server before anyone relies on the keys being free.
        free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    static QString describe(const HotkeyBinding& binding) {
        return binding.modifierKeys().join(QString()) + ShortcutManager::keyName(binding.keyCode);
    }

    xcb_connection_t* connection_ = nullptr;
    Display* display_ = nullptr;
    xcb_window_t root_ = 0;
    std::vector<Grab> grabs_;
    bool filterInstalled_ = false;
    bool keyFilterInstalled_ = false;
    bool regrabPending_ = false;
};

}  // namespace

void GlobalHotkeyMonitor::startMonitoring() { HotkeyEngine::instance().start(); }

void GlobalHotkeyMonitor::stopMonitoring() { HotkeyEngine::instance().stop(); }

void GlobalHotkeyMonitor::restartMonitoring() {
    stopMonitoring();
    startMonitoring();
}

bool GlobalHotkeyMonitor::isMonitoring() { return HotkeyEngine::instance().monitoring; }

QStringList GlobalHotkeyMonitor::refusedBindings() { return HotkeyEngine::instance().refused; }

void GlobalHotkeyMonitor::setInterceptor(Interceptor interceptor) {
    HotkeyEngine& engine = HotkeyEngine::instance();
    engine.interceptor = std::move(interceptor);
    if (engine.interceptor) engine.ensureKeyFilter();
}

bool GlobalHotkeyMonitor::hasInterceptor() { return bool(HotkeyEngine::instance().interceptor); }

void GlobalHotkeyMonitor::setActionHandler(const QString& id, ActionHandler handler) {
    if (handler) {
        HotkeyEngine::instance().handlers.insert(id, std::move(handler));
    } else {
        HotkeyEngine::instance().handlers.remove(id);
    }
}

void GlobalHotkeyMonitor::executeAction(const QString& id) {
    const auto& handlers = HotkeyEngine::instance().handlers;
    auto it = handlers.constFind(id);
    if (it != handlers.constEnd()) {
        ActionHandler handler = *it;  // the handler may replace itself
        handler();
        return;
    }
    if (id == QLatin1String("resetBrightness")) {
        ScreenDimmer::shared().resetBrightness();
        return;
    }
    qWarning().noquote() << "No action for hot key" << id;
}

bool GlobalHotkeyMonitor::handleKeyDown(int keyCode, uint64_t flags, const QString& characters) {
    HotkeyEngine& engine = HotkeyEngine::instance();
    if (engine.interceptor) {
        auto handler = engine.interceptor;
        if (handler(keyCode, flags, characters)) return true;
    }
    if (keyCode < 0) return false;
    const uint64_t mods = flags & KeyCodes::maskDeviceIndependent;
    for (const HotkeyBinding& binding : ShortcutManager::shared().bindings()) {
        if (!binding.isEnabled || binding.keyCode != keyCode) continue;
        if ((binding.modifiers & KeyCodes::maskDeviceIndependent) != mods) continue;
        const QString id = binding.id;  // the action may change the bindings
        executeAction(id);
        return true;
    }
    return false;
}
