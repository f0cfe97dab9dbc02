#pragma once

#include "Platform/Core/Setting.h"

// The welcome window's one setting.
class OnboardingSettings {
public:
    // Over the standard defaults.
    static OnboardingSettings& shared();

    explicit OnboardingSettings(UserDefaults& store) : welcomeShown(store, "welcomeShown", false) {}

    // The welcome window has been shown once (set before it shows, so a quit during it counts).
    Setting<bool> welcomeShown;
};
