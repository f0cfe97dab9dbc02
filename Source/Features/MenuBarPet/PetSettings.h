#pragma once

#include "Platform/Core/Setting.h"

// The companion's settings in one store.
class PetSettings {
public:
    // Over the standard defaults.
    static PetSettings& shared();

    explicit PetSettings(UserDefaults& store)
        : enabled(store, "menuBarPetEnabled", true),
          species(store, "menuBarPetSpecies", QStringLiteral("ginger")),
          wanders(store, "menuBarPetWanders", true) {}

    // The pet is shown.
    Setting<bool> enabled;
    // The chosen species' id; one that names no species shows the default species.
    Setting<QString> species;
    // The pet may move to the display the user works on.
    Setting<bool> wanders;
};
