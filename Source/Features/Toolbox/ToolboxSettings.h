#pragma once

#include "Platform/Core/Setting.h"

// The toolbox's settings in one store.
class ToolboxSettings {
public:
    explicit ToolboxSettings(UserDefaults& store) : windowFrame(store, "ToolboxWindow", QString()) {}

    // The window's content frame when it last closed, as "x y width height" in the screen space that
    // grows upward from the primary screen's bottom-left; empty until then.
    Setting<QString> windowFrame;
};
