#include "Platform/Desktop/AccessibilityDisplayOptions.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");

QVariant unwrap(QVariant v) {
    while (v.canConvert<QDBusVariant>() && v.userType() == qMetaTypeId<QDBusVariant>())
        v = v.value<QDBusVariant>().variant();
    return v;
}
}  // namespace

AccessibilityDisplayOptions& AccessibilityDisplayOptions::shared() {
    static auto* options = new AccessibilityDisplayOptions;
    return *options;
}

AccessibilityDisplayOptions::AccessibilityDisplayOptions() { readPortal(); }

bool AccessibilityDisplayOptions::reduceMotionValue() const { return overrideMotion_.value_or(portalReduceMotion_); }

bool AccessibilityDisplayOptions::reduceTransparencyValue() const {
    return overrideTransparency_.value_or(portalReduceTransparency_);
}

void AccessibilityDisplayOptions::setOverride(std::optional<bool> reduceMotion, std::optional<bool> reduceTransparency) {
    overrideMotion_ = reduceMotion;
    overrideTransparency_ = reduceTransparency;
    emit changed();
}

void AccessibilityDisplayOptions::readPortal() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(portalSettingChanged(QString, QString, QDBusVariant)));

    auto read = [this, bus](const QString& ns, const QString& key) mutable {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
        call << ns << key;
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 2000), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, ns, key](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            QDBusPendingReply<QDBusVariant> reply = *w;
            if (reply.isError()) return;
            portalSettingChanged(ns, key, reply.value());
        });
    };
    read(QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("enable-animations"));
    read(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("reduced-motion"));
    read(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("contrast"));
}

void AccessibilityDisplayOptions::portalSettingChanged(const QString& ns, const QString& key, const QDBusVariant& value) {
    const QVariant v = unwrap(value.variant());
    const bool before = reduceMotionValue(), beforeT = reduceTransparencyValue();
    if (ns == QLatin1String("org.gnome.desktop.interface") && key == QLatin1String("enable-animations"))
        portalReduceMotion_ = !v.toBool();
    else if (ns == QLatin1String("org.freedesktop.appearance") && key == QLatin1String("reduced-motion"))
        portalReduceMotion_ = v.toUInt() == 1;
    else if (ns == QLatin1String("org.freedesktop.appearance") && key == QLatin1String("contrast"))
        portalReduceTransparency_ = v.toUInt() == 1;
    else
        return;
    if (before != reduceMotionValue() || beforeT != reduceTransparencyValue()) emit changed();
}
