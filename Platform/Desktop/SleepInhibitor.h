#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Keeps the computer or its display from sleeping while an inhibitor is held.
class SleepInhibitor {
public:
    enum class Kind {
        display,  // the display stays on (no idle blanking, no idle sleep)
        system,   // the computer does not sleep; the display may turn off
    };
    // A held inhibitor; 0 is never a handle.
    using Handle = quint64;
    using Completion = std::function<void(std::optional<Handle>)>;

    virtual ~SleepInhibitor() = default;
    // Asks for an inhibitor; done runs later on the GUI thread with the handle, or absent when
    // no service granted one. Nothing runs after context is destroyed.
    virtual void inhibit(Kind kind, const QString& reason, QObject* context, Completion done) = 0;
    // Releases a held inhibitor. With wait, returns once the service has the request (at quit).
    virtual void release(Handle handle, bool wait = false) = 0;
};
