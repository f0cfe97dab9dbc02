#pragma once

#include "Platform/Core/Setting.h"

#include <QJsonObject>

// A dictionary kept as it is stored, so entries of the wrong type can be told apart from absent ones.
struct JsonObjectCodec {
    static std::optional<QJsonObject> decode(const QJsonValue& v) {
        if (!v.isObject()) return std::nullopt;
        return v.toObject();
    }
    static QJsonValue encode(const QJsonObject& v) { return v; }
};

// The disk cleaner's choice of targets in one store.
class DiskCleanSettings {
public:
    // Over the standard defaults.
    static DiskCleanSettings& shared();

    explicit DiskCleanSettings(UserDefaults& store)
        : targets(store, "diskCleanTargets", {}), customTargets(store, "diskCleanCustomTargets", {}) {}

    // Catalogue row names and "Per-app caches" to on or off; an entry that is not a Bool, or none,
    // means the target's default. Entries are only added or overwritten.
    Setting<QJsonObject, JsonObjectCodec> targets;
    // Absolute paths of the folders the user added, in the order added.
    Setting<QStringList> customTargets;

    bool isEnabled(const QString& name, bool defaultOn) const {
        const QJsonValue entry = targets.value().value(name);
        return entry.isBool() ? entry.toBool() : defaultOn;
    }
    void setEnabled(const QString& name, bool on) {
        QJsonObject all = targets.value();
        all.insert(name, on);
        targets.set(all);
    }
};
