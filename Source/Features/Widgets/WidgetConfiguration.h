#pragma once

#include "Source/Features/Widgets/WidgetType.h"

#include <QByteArray>

#include <optional>
#include <set>
#include <vector>

// Which readings the menu bar shows and how: stored as JSON data under "widgetConfiguration"
// with the keys "enabledWidgets" (ids), "isGrouped" and "showLabels".
struct WidgetConfiguration {
    std::set<WidgetType> enabledWidgets{WidgetType::cpu, WidgetType::memory, WidgetType::disk, WidgetType::network};
    bool isGrouped = true;
    bool showLabels = false;

    // The enabled types in declaration order.
    std::vector<WidgetType> enabledTypes() const;

    QByteArray encode() const;
    // The configuration in data; absent unless the data is a JSON object with all three keys of
    // their types and every id known.
    static std::optional<WidgetConfiguration> decode(const QByteArray& data);

    bool operator==(const WidgetConfiguration&) const = default;
};
