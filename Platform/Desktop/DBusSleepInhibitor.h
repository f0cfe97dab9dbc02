#pragma once

#include "Platform/Desktop/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QHash>
#include <QObject>
#include <QPointer>

#include <vector>

// Inhibitors from the desktop's D-Bus services, tried in turn until one grants:
// display: org.freedesktop.ScreenSaver, then org.gnome.SessionManager (idle);
// system: org.gnome.SessionManager (suspend), org.freedesktop.PowerManagement,
// org.freedesktop.login1 on the system bus, then org.freedesktop.ScreenSaver.
class DBusSleepInhibitor final : public QObject, public SleepInhibitor {
    Q_OBJECT
public:
    enum class Api { screenSaver, screenSaverShortPath, gnomeSession, powerManagement, login1 };

    // Asks the services on sessionBus and, with useSystemBus, logind on the system bus.
    explicit DBusSleepInhibitor(const QDBusConnection& sessionBus = QDBusConnection::sessionBus(),
                                bool useSystemBus = true, QObject* parent = nullptr);

    static constexpr const char* applicationName = "Quorvin";

    std::vector<Api> candidates(Kind kind) const;

    void inhibit(Kind kind, const QString& reason, QObject* context, Completion done) override;
    void release(Handle handle, bool wait = false) override;

    // The service that granted a handle (tests, logs).
    std::optional<Api> apiOf(Handle handle) const;

private:
    struct Held {
        Api api;
        uint cookie = 0;
        QDBusUnixFileDescriptor descriptor;  // login1: the inhibitor lives while it is open
    };
    void tryNext(Kind kind, std::vector<Api> remaining, QString reason, QPointer<QObject> context,
                 Completion done);

    QDBusConnection bus(Api api) const;

    QDBusConnection sessionBus_;
    bool useSystemBus_;
    Handle nextHandle_ = 1;
    QHash<Handle, Held> held_;
};
