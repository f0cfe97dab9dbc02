#pragma once

#include "Platform/Core/Setting.h"
#include "Source/Features/Preferences/ShortcutManager.h"

// The hot keys' settings in one store.
class ShortcutSettings {
public:
    using BindingsCodec = JsonDataCodec<std::vector<HotkeyBinding>, ShortcutManager::encode, ShortcutManager::decode>;

    explicit ShortcutSettings(UserDefaults& store) : bindings(store, "hotkeyBindings", ShortcutManager::defaults()) {}

    // The bindings in display order, as a JSON array; a missing or damaged value reads as the
    // default bindings.
    Setting<std::vector<HotkeyBinding>, BindingsCodec> bindings;
};
