#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"

#include "Platform/X11/HotkeyGrabber.h"
#include "Platform/X11/KeyCodes.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "Source/Features/ScreenDimmer/ScreenDimmer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QObject>
#include <QTimer>

#include <set>
#include <utility>

namespace {

// Owns the grabber and sees the keys of our own windows (application event filter).
class HotkeyEngine final : public QObject {
public:
    static HotkeyEngine& instance() {
        static HotkeyEngine* engine = new HotkeyEngine;
        return *engine;
    }

    bool monitoring = false;
    QStringList refused;
    GlobalHotkeyMonitor::Interceptor interceptor;
    QHash<QString, GlobalHotkeyMonitor::ActionHandler> handlers;

    void setGrabber(std::unique_ptr<HotkeyGrabber> grabber) {
        stop();
        grabber_ = std::move(grabber);
        if (!grabber_) return;
        connect(grabber_.get(), &HotkeyGrabber::keyPressed, this,
                [](int keyCode, uint64_t flags, const QString& characters) {
                    GlobalHotkeyMonitor::handleKeyDown(keyCode, flags, characters);
                });
        // Map changes come in bursts: re-grab once, after the burst.
        connect(grabber_.get(), &HotkeyGrabber::keyboardMapChanged, this, [this] {
            if (!monitoring || regrabPending_) return;
            regrabPending_ = true;
            QTimer::singleShot(50, this, [this] {
                regrabPending_ = false;
                regrab();
            });
        });
    }

    void start() {
        if (monitoring) return;
        refused.clear();
        if (!grabber_) setGrabber(HotkeyGrabber::makeDefault());
        if (!grabber_->isAvailable()) {
            qWarning("Global hot keys are unavailable: no X server connection.");
            return;
        }
        monitoring = true;
        grabAll();
    }

    void stop() {
        if (!monitoring) return;
        grabber_->ungrabAll();
        monitoring = false;
    }

    // Re-grabs after the bindings changed, when monitoring.
    void regrab() {
        if (!monitoring) return;
        grabber_->ungrabAll();
        refused.clear();
        grabAll();
    }

    void ensureKeyFilter() {
        if (keyFilterInstalled_ || !QCoreApplication::instance()) return;
        QCoreApplication::instance()->installEventFilter(this);
        keyFilterInstalled_ = true;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Window-level key presses reach the program once each, before any widget.
        if (event->type() != QEvent::KeyPress || !interceptor || !watched->isWindowType()) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (isModifierKey(key->key())) return false;  // modifiers alone are no key-down
        std::optional<int> code;
        uint64_t flags = 0;
        if (key->nativeScanCode() != 0 && onX11()) {
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
    }

    static bool onX11() {
        return qGuiApp && qGuiApp->nativeInterface<QNativeInterface::QX11Application>() != nullptr;
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

    void grabAll() {
        std::set<std::pair<int, uint64_t>> taken;
        for (const HotkeyBinding& binding : ShortcutManager::shared().bindings()) {
            if (!binding.isEnabled) continue;
            const uint64_t flags = binding.modifiers & KeyCodes::maskDeviceIndependent;
            if (flags == 0) {
                // A bare key would be taken from every program.
                qWarning().noquote() << "Hot key" << binding.id << "has no modifier key; not registered.";
                refused << binding.id;
                continue;
            }
            if (taken.count({binding.keyCode, flags})) continue;  // an earlier binding has it
            switch (grabber_->grab(binding.keyCode, flags)) {
            case HotkeyGrabber::GrabResult::Grabbed:
                taken.insert({binding.keyCode, flags});
                continue;
            case HotkeyGrabber::GrabResult::NoKey:
                qWarning().noquote() << "Hot key" << binding.id << "has no key on this keyboard; not registered.";
                break;
            case HotkeyGrabber::GrabResult::Taken:
                qWarning().noquote() << "Hot key" << binding.id << "(" + describe(binding) + ")"
                                     << "is already taken by another program; not registered.";
                break;
            case HotkeyGrabber::GrabResult::Failed:
                qWarning().noquote() << "Hot key" << binding.id << "(" + describe(binding) + ")"
                                     << "could not be registered.";
                break;
            }
            refused << binding.id;
        }
    }

    static QString describe(const HotkeyBinding& binding) {
        return binding.modifierKeys().join(QString()) + ShortcutManager::keyName(binding.keyCode);
    }

    std::unique_ptr<HotkeyGrabber> grabber_;
    bool keyFilterInstalled_ = false;
    bool regrabPending_ = false;
};

}  // namespace

void GlobalHotkeyMonitor::startMonitoring() { HotkeyEngine::instance().start(); }

void GlobalHotkeyMonitor::setGrabber(std::unique_ptr<HotkeyGrabber> grabber) {
    HotkeyEngine::instance().setGrabber(grabber ? std::move(grabber) : HotkeyGrabber::makeDefault());
}

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
