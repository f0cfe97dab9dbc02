#pragma once

#include <QColor>
#include <QString>

#include <array>
#include <optional>

// A live reading that can be shown as a menu-bar widget.
enum class WidgetType { cpu, gpu, memory, disk, network, temperature };

namespace WidgetTypes {
// Every type, in declaration order (the order widgets appear in).
inline constexpr std::array<WidgetType, 6> allCases{WidgetType::cpu,  WidgetType::gpu,     WidgetType::memory,
                                                   WidgetType::disk, WidgetType::network, WidgetType::temperature};
// "cpu", "gpu", "memory", "disk", "network", "temperature".
QString id(WidgetType type);
std::optional<WidgetType> fromID(const QString& id);
// The type's colour: cpu green, gpu purple, memory orange, disk cyan, network blue,
// temperature red (the named colours of the given appearance).
QColor color(WidgetType type, bool dark);
QColor color(WidgetType type);
// The title in lists ("CPU", "GPU", "Memory", "Disk", "Network", "Temperature").
QString title(WidgetType type);
// The symbol drawn with the reading.
QString symbol(WidgetType type);
// The short name shown beside the value when labels are on ("CPU", "GPU", "MEM", "DISK", "NET", "TEMP").
QString shortLabel(WidgetType type);
}  // namespace WidgetTypes
