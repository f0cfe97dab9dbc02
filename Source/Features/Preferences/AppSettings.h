#pragma once

#include "Platform/Core/Setting.h"

// The program's own settings, beside the features' ones, in one store.
class AppSettings {
public:
    // Over the standard defaults; a change of its status icon is also posted as statusIconDidChange.
    static AppSettings& shared();

    explicit AppSettings(UserDefaults& store)
        : statusIcon(store, "statusIcon", QStringLiteral("original")),
          migratedLegacyDefaults(store, "migratedLegacyDefaults", false) {}

    // The status item's icon as its id: "symbol:" + a symbol name, "pet:" + a species id, or
    // "original", the program's own icon.
    Setting<QString> statusIcon;
    // The former domain's values were copied over (once, at first start).
    Setting<bool> migratedLegacyDefaults;
};
