#pragma once

#include "Platform/Core/Setting.h"

// The glass of panels and cards: its settings in one store.
class PanelGlassSettings {
public:
    // Over the standard defaults: every card reads these.
    static PanelGlassSettings& shared();

    explicit PanelGlassSettings(UserDefaults& store)
        : tint(store, "panelGlassTint", 0.55, 0.0, 1.0), tone(store, "panelGlassTone", QStringLiteral("system")) {}

    // How strongly the glass is tinted (0 is see-through).
    Setting<double> tint;
    // The raw value of the chosen PanelGlass::Tone, kept as stored: a text that names no tone
    // paints as system (PanelGlass::effectiveTone) but is still what the setting holds.
    Setting<QString> tone;
};
