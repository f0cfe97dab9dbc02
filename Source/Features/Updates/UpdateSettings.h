#pragma once

#include "Platform/Core/Setting.h"

// The updater's settings in one store.
class UpdateSettings {
public:
    // Over the standard defaults.
    static UpdateSettings& shared();

    explicit UpdateSettings(UserDefaults& store)
        : autoInstall(store, "autoInstallUpdates", true), updatedFromVersion(store, "updatedFromVersion", QString()) {}

    // Whether the launch check installs a newer build at once; anything but a Boolean reads as on.
    Setting<bool> autoInstall;
    // The version that ran before an update, left for the next start; absent otherwise.
    Setting<QString> updatedFromVersion;
};
