#pragma once

#include "Platform/Core/Setting.h"

// Zedi's settings in one store.
class ZediSettings {
public:
    explicit ZediSettings(UserDefaults& store) : apps(store, "zediApps", {}) {}

    // The desktop ids of the applications Zedi quits, in list order; a value that is not a list
    // of texts reads as empty.
    Setting<QStringList> apps;
};
