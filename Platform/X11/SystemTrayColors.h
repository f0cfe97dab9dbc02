#pragma once

#include <QColor>

#include <optional>

// The colours an XEmbed tray manager asks its icons to draw in (_NET_SYSTEM_TRAY_COLORS on the
// manager window: foreground, error, warning, success as 16-bit RGB triples).
namespace SystemTrayColors {
// The foreground colour; absent without X11, without the property or for a short one.
std::optional<QColor> foreground(quint32 managerWindow);
// Decodes the property's values; absent when fewer than three are given.
std::optional<QColor> foregroundFrom(const quint32* values, int count);
}  // namespace SystemTrayColors
