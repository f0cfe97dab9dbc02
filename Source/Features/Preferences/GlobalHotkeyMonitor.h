#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class HotkeyGrabber;

// The global hot keys: a grab (HotkeyGrabber) for each enabled binding of
// ShortcutManager::shared(). Every key-down that reaches the program is offered first to the interceptor (the clipboard popup sets one while
// it is visible); a grabbed key it does not take runs the matching binding's action.
// GUI thread only.
class GlobalHotkeyMonitor {
public:
    // keyCode is the virtual key code (-1 for a key without one), flags the modifier flags,
    // characters up to 4 UTF-16 units of the typed text. Returns true to swallow the key.
    using Interceptor = std::function<bool(int keyCode, uint64_t flags, const QString& characters)>;
    using ActionHandler = std::function<void()>;

    // Grabs the enabled bindings. A combination another program holds is logged and left out;
    // the others work. Does nothing when already monitoring or without an X server.
    static void startMonitoring();
    // Replaces the grabber (tests); monitoring stops first. Null restores the X11 grabber.
    static void setGrabber(std::unique_ptr<HotkeyGrabber> grabber);
    // Releases every grab; afterwards no hot key fires. Safe when not monitoring.
    static void stopMonitoring();
    static void restartMonitoring();
    static bool isMonitoring();
    // Ids of the enabled bindings that could not be grabbed at the last start.
    static QStringList refusedBindings();
    // Why an enabled binding was left out at the last start; absent when it was grabbed (or
    // not tried: disabled, or no X server).
    enum class Refusal { noModifier, noKey, taken, failed };
    static std::optional<Refusal> refusal(const QString& id);
    // Posted on the default notification center each time the grabs were made or released.
    static inline const QString registrationDidChange = QStringLiteral("GlobalHotkeyMonitorRegistrationDidChange");

    static void setInterceptor(Interceptor interceptor);  // an empty function removes it
    static bool hasInterceptor();
    // Registers what an action id runs, replacing the built-in action of that id if any.
    static void setActionHandler(const QString& id, ActionHandler handler);

    // Runs the action of a binding: a registered handler, else the built-in "resetBrightness".
    static void executeAction(const QString& id);

    // The key-down path: interceptor first, then the enabled bindings. True when the key was
    // swallowed or ran an action.
    static bool handleKeyDown(int keyCode, uint64_t flags, const QString& characters);
};
