#include "Source/Features/Widgets/WidgetType.h"

#include "Platform/Gui/SystemColors.h"

namespace WidgetTypes {

QString id(WidgetType type) {
    switch (type) {
    case WidgetType::cpu: return QStringLiteral("cpu");
    case WidgetType::gpu: return QStringLiteral("gpu");
    case WidgetType::memory: return QStringLiteral("memory");
    case WidgetType::disk: return QStringLiteral("disk");
    case WidgetType::network: return QStringLiteral("network");
    case WidgetType::temperature: return QStringLiteral("temperature");
    }
    return {};
}

std::optional<WidgetType> fromID(const QString& raw) {
    for (WidgetType type : allCases) {
        if (id(type) == raw) return type;
    }
    return std::nullopt;
}

QColor color(WidgetType type, bool dark) {
    switch (type) {
    case WidgetType::cpu: return SystemColors::green(dark);
    case WidgetType::gpu: return SystemColors::purple(dark);
    case WidgetType::memory: return SystemColors::orange(dark);
    case WidgetType::disk: return SystemColors::cyan(dark);
    case WidgetType::network: return SystemColors::blue(dark);
    case WidgetType::temperature: return SystemColors::red(dark);
    }
    return {};
}

QColor color(WidgetType type) { return color(type, SystemColors::isDark()); }

QString title(WidgetType type) {
    switch (type) {
    case WidgetType::cpu: return QStringLiteral("CPU");
    case WidgetType::gpu: return QStringLiteral("GPU");
    case WidgetType::memory: return QStringLiteral("Memory");
    case WidgetType::disk: return QStringLiteral("Disk");
    case WidgetType::network: return QStringLiteral("Network");
    case WidgetType::temperature: return QStringLiteral("Temperature");
    }
    return {};
}

QString symbol(WidgetType type) {
    switch (type) {
    case WidgetType::cpu: return QStringLiteral("cpu");
    case WidgetType::gpu: return QStringLiteral("cube.transparent");
    case WidgetType::memory: return QStringLiteral("memorychip");
    case WidgetType::disk: return QStringLiteral("internaldrive");
    case WidgetType::network: return QStringLiteral("globe");
    case WidgetType::temperature: return QStringLiteral("thermometer.medium");
    }
    return {};
}

QString shortLabel(WidgetType type) {
    switch (type) {
    case WidgetType::cpu: return QStringLiteral("CPU");
    case WidgetType::gpu: return QStringLiteral("GPU");
    case WidgetType::memory: return QStringLiteral("MEM");
    case WidgetType::disk: return QStringLiteral("DISK");
    case WidgetType::network: return QStringLiteral("NET");
    case WidgetType::temperature: return QStringLiteral("TEMP");
    }
    return {};
}

}  // namespace WidgetTypes
