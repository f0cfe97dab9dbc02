#pragma once

#include "Platform/Core/Setting.h"
#include "Source/Features/Widgets/WidgetConfiguration.h"

// The menu-bar widgets' settings in one store.
class WidgetSettings {
public:
    using ConfigurationCodec =
        JsonDataCodec<WidgetConfiguration, &WidgetConfiguration::encode, &WidgetConfiguration::decode>;

    explicit WidgetSettings(UserDefaults& store) : configuration(store, "widgetConfiguration", WidgetConfiguration{}) {}

    // Which readings the bar shows and how; a missing or damaged value reads as the defaults.
    Setting<WidgetConfiguration, ConfigurationCodec> configuration;
};
