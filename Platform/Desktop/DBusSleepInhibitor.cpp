#include "Platform/Desktop/DBusSleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QPointer>

namespace {

constexpr int kCallTimeoutMs = 5000;
constexpr int kQuitTimeoutMs = 1000;
constexpr uint kGnomeInhibitSuspend = 4;
constexpr uint kGnomeInhibitIdle = 8;

using Api = DBusSleepInhibitor::Api;

// Where each service answers, and the names of its two calls.
struct Endpoint {
    QString service, path, interface, inhibit, release;
};

Endpoint endpoint(Api api) {
    switch (api) {
    case Api::screenSaver:
    case Api::screenSaverShortPath:
        return {QStringLiteral("org.freedesktop.ScreenSaver"),
                api == Api::screenSaver ? QStringLiteral("/org/freedesktop/ScreenSaver") : QStringLiteral("/ScreenSaver"),
                QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"), QStringLiteral("UnInhibit")};
    case Api::gnomeSession:
        return {QStringLiteral("org.gnome.SessionManager"), QStringLiteral("/org/gnome/SessionManager"),
                QStringLiteral("org.gnome.SessionManager"), QStringLiteral("Inhibit"), QStringLiteral("Uninhibit")};
    case Api::powerManagement:
        return {QStringLiteral("org.freedesktop.PowerManagement"),
                QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
                QStringLiteral("org.freedesktop.PowerManagement.Inhibit"), QStringLiteral("Inhibit"),
                QStringLiteral("UnInhibit")};
    case Api::login1:
        return {QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"), QString()};
    }
    return {};
}

QDBusMessage inhibitMessage(Api api, SleepInhibitor::Kind kind, const QString& reason) {
    const QString app = QString::fromLatin1(DBusSleepInhibitor::applicationName);
    const Endpoint e = endpoint(api);
    QDBusMessage message = QDBusMessage::createMethodCall(e.service, e.path, e.interface, e.inhibit);
    switch (api) {
    case Api::screenSaver:
    case Api::screenSaverShortPath:
    case Api::powerManagement:
        message << app << reason;
        break;
    case Api::gnomeSession:
        message << app << uint(0) << reason
                << (kind == SleepInhibitor::Kind::display ? kGnomeInhibitIdle | kGnomeInhibitSuspend
                                                          : kGnomeInhibitSuspend);
        break;
    case Api::login1:
        message << QStringLiteral("sleep") << app << reason << QStringLiteral("block");
        break;
    }
    return message;
}

// login1's inhibitor ends when its descriptor is closed: it has no release call.
QDBusMessage releaseMessage(Api api, uint cookie) {
    const Endpoint e = endpoint(api);
    if (e.release.isEmpty()) return {};
    QDBusMessage message = QDBusMessage::createMethodCall(e.service, e.path, e.interface, e.release);
    message << cookie;
    return message;
}

}  // namespace

DBusSleepInhibitor::DBusSleepInhibitor(const QDBusConnection& sessionBus, bool useSystemBus, QObject* parent)
    : QObject(parent), sessionBus_(sessionBus), useSystemBus_(useSystemBus) {}

QDBusConnection DBusSleepInhibitor::bus(Api api) const {
    return api == Api::login1 ? QDBusConnection::systemBus() : sessionBus_;
}

std::vector<DBusSleepInhibitor::Api> DBusSleepInhibitor::candidates(Kind kind) const {
    if (kind == Kind::display) return {Api::screenSaver, Api::screenSaverShortPath, Api::gnomeSession};
    std::vector<Api> list{Api::gnomeSession, Api::powerManagement};
    if (useSystemBus_) list.push_back(Api::login1);
    // Holding off the screen saver also holds off idle sleep.
    list.push_back(Api::screenSaver);
    list.push_back(Api::screenSaverShortPath);
    return list;
}

void DBusSleepInhibitor::inhibit(Kind kind, const QString& reason, QObject* context, Completion done) {
    tryNext(kind, candidates(kind), reason, QPointer<QObject>(context), std::move(done));
}

void DBusSleepInhibitor::tryNext(Kind kind, std::vector<Api> remaining, QString reason,
                                 QPointer<QObject> context, Completion done) {
    if (context.isNull()) return;
    if (remaining.empty()) {
        QMetaObject::invokeMethod(context, [done] { done(std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    const Api api = remaining.front();
    remaining.erase(remaining.begin());
    QDBusConnection connection = bus(api);
    if (!connection.isConnected()) {
        // A call on a bus we could not reach never finishes: go straight to the next service.
        tryNext(kind, std::move(remaining), std::move(reason), context, std::move(done));
        return;
    }
    QDBusPendingCall call = connection.asyncCall(inhibitMessage(api, kind, reason), kCallTimeoutMs);
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, kind, api, remaining, reason, context, done](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusMessage reply = w->reply();
                Held held{api, 0, {}};
                bool granted = false;
                if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                    const QVariant first = reply.arguments().constFirst();
                    if (api == Api::login1) {
                        held.descriptor = qdbus_cast<QDBusUnixFileDescriptor>(first);
                        granted = held.descriptor.isValid();
                    } else if (first.metaType() == QMetaType::fromType<uint>()) {
                        held.cookie = first.toUInt();
                        granted = true;
                    }
                }
                if (!granted) {
                    tryNext(kind, remaining, reason, context, done);
                    return;
                }
                const Handle handle = nextHandle_++;
                held_.insert(handle, held);
                if (context.isNull()) {
                    release(handle);  // the asker is gone
                    return;
                }
                done(handle);
            });
}

void DBusSleepInhibitor::release(Handle handle, bool wait) {
    auto it = held_.find(handle);
    if (it == held_.end()) return;
    const Held held = *it;
    held_.erase(it);
    if (held.api == Api::login1) return;  // closing the descriptor ends the inhibitor
    QDBusConnection connection = bus(held.api);
    if (!connection.isConnected()) return;
    const QDBusMessage message = releaseMessage(held.api, held.cookie);
    if (wait) {
        const QDBusMessage reply = connection.call(message, QDBus::Block, kQuitTimeoutMs);
        if (reply.type() == QDBusMessage::ErrorMessage) {
            qWarning().noquote() << "Releasing the sleep inhibitor failed:" << reply.errorMessage();
        }
    } else {
        QDBusPendingCall call = connection.asyncCall(message, kCallTimeoutMs);
        auto* watcher = new QDBusPendingCallWatcher(call, this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (w->isError()) qWarning().noquote() << "Releasing the sleep inhibitor failed:" << w->error().message();
        });
    }
}

std::optional<DBusSleepInhibitor::Api> DBusSleepInhibitor::apiOf(Handle handle) const {
    auto it = held_.constFind(handle);
    if (it == held_.constEnd()) return std::nullopt;
    return it->api;
}
