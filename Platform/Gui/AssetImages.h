#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The program's own drawings, kept as SVG in the bundle's resources ("AppIcon", "MenuBarIcon")
// and drawn at whatever size is asked for.
namespace AssetImages {
// The named asset drawn into a square of side × side pixels (its aspect kept, centred); null when
// the asset is missing or unreadable.
QImage render(const QString& name, int side);
// The application's icon at the sizes windows, task bars and docks ask for.
QIcon applicationIcon();
}  // namespace AssetImages
