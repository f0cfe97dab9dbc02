#include "Source/Features/MenuBarPet/PetSettings.h"

PetSettings& PetSettings::shared() {
    static auto* settings = new PetSettings(UserDefaults::standard());
    return *settings;
}
