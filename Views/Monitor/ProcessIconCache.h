#pragma once

#include <QPixmap>
#include <QString>

#include <optional>

// Application icons of the process list, by group name: fetched once per name for the life of
// the program and kept already sized. A group without a desktop entry (or whose entry names no
// icon the theme has) gets the gear symbol. GUI thread only.
namespace ProcessIconCache {

// The pixel side icons are kept at (drawn scaled down into 16 points, or up to 38 in the detail).
inline constexpr int storedSide = 64;

// The image cached under name, made from bundlePath (a desktop entry file) on the first request;
// every later request for that name returns the first image, whatever path it brings.
QPixmap icon(const std::optional<QString>& bundlePath, const QString& name);
bool contains(const QString& name);
int count();

}  // namespace ProcessIconCache
