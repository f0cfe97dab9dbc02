#include "Views/Shared/PanelGlassSettings.h"

PanelGlassSettings& PanelGlassSettings::shared() {
    static auto* settings = new PanelGlassSettings(UserDefaults::standard());
    return *settings;
}
