#pragma once

#include "Platform/Core/Setting.h"

// The clipboard history's settings in one store.
class ClipboardSettings {
public:
    explicit ClipboardSettings(UserDefaults& store)
        : maxItems(store, "maxClipboardItems", 100, 1, mostItems), ignoredApps(store, "ignoredClipboardApps", {}) {}

    static constexpr int mostItems = 200;
    // How many entries the history keeps; pins are never trimmed.
    Setting<int> maxItems;
    // Desktop ids of the applications whose copies are not recorded, in list order. Elements that
    // are not texts are skipped, so one stray value never lets a password manager's copies in.
    Setting<QStringList, TextElementsCodec> ignoredApps;
};
