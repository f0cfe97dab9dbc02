#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"

#include "Platform/Core/NotificationCenter.h"
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
    QHash<QString, GlobalHotkeyMonitor::Refusal> reasons;
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
        clearRefusals();
        if (!grabber_) setGrabber(HotkeyGrabber::makeDefault());
        if (!grabber_->isAvailable()) {
            qWarning("Global hot keys are unavailable: no X server connection.");
            announce();
            return;
        }
        monitoring = true;
        grabAll();
        announce();
    }

    void stop() {
        if (!monitoring) return;
        grabber_->ungrabAll();
        monitoring = false;
        announce();
    }

    // Re-grabs after the bindings changed, when monitoring.
    void regrab() {
        if (!monitoring) return;
        grabber_->ungrabAll();
        clearRefusals();
        grabAll();
        announce();
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
        if (KeyCodes::isModifierKey(key->key())) return false;  // modifiers alone are no key-down
        const KeyCodes::Press press = KeyCodes::fromKeyEvent(*key);
        auto handler = interceptor;  // may be replaced while it runs
        return handler(press.keyCode.value_or(-1), press.flags, key->text().left(4));
    }

private:
    HotkeyEngine() {
        QObject::connect(&ShortcutManager::shared(), &ShortcutManager::bindingsChanged, this,
                         [this] { regrab(); });
    }

    void clearRefusals() {
        refused.clear();
        reasons.clear();
    }

    void refuse(const QString& id, GlobalHotkeyMonitor::Refusal reason) {
        refused << id;
        reasons.insert(id, reason);
    }

    static void announce() {
        NotificationCenter::defaultCenter().post(GlobalHotkeyMonitor::registrationDidChange);
    }

    void grabAll() {
        std::set<std::pair<int, uint64_t>> taken;
        for (const HotkeyBinding& binding : ShortcutManager::shared().bindings()) {
            if (!binding.isEnabled) continue;
            const uint64_t flags = binding.modifiers & KeyCodes::maskDeviceIndependent;
            if (flags == 0) {
                // A bare key would be taken from every program.
                qWarning().noquote() << "Hot key" << binding.id << "has no modifier key; not registered.";
                refuse(binding.id, GlobalHotkeyMonitor::Refusal::noModifier);
                continue;
            }
            if (taken.count({binding.keyCode, flags})) continue;  // an earlier binding has it
            switch (grabber_->grab(binding.keyCode, flags)) {
            case HotkeyGrabber::GrabResult::Grabbed:
                taken.insert({binding.keyCode, flags});
                continue;
            case HotkeyGrabber::GrabResult::NoKey:
                qWarning().noquote() << "Hot key" << binding.id << "has no key on this keyboard; not registered.";
                refuse(binding.id, GlobalHotkeyMonitor::Refusal::noKey);
                continue;
            case HotkeyGrabber::GrabResult::Taken:
                qWarning().noquote() << "Hot key" << binding.id << "(" + describe(binding) + ")"
                                     << "is already taken by another program; not registered.";
                refuse(binding.id, GlobalHotkeyMonitor::Refusal::taken);
                continue;
            case HotkeyGrabber::GrabResult::Failed:
                qWarning().noquote() << "Hot key" << binding.id << "(" + describe(binding) + ")"
                                     << "could not be registered.";
                break;
            }
            refuse(binding.id, GlobalHotkeyMonitor::Refusal::failed);
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

std::optional<GlobalHotkeyMonitor::Refusal> GlobalHotkeyMonitor::refusal(const QString& id) {
    const auto& reasons = HotkeyEngine::instance().reasons;
    auto it = reasons.constFind(id);
    if (it == reasons.constEnd()) return std::nullopt;
    return *it;
}

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
