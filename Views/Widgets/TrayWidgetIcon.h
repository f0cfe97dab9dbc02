#pragma once

#include "Source/Features/Widgets/WidgetType.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

class QPainter;

// One widget as a square tray icon, drawn for the tray's own icon size so that it reads at 22
// and 24 px: the reading as large as the square allows, in the widget's colour, and above it
// the short name in the tray's ink when labels are on, on a faint tile that keeps neighbouring
// icons apart. Nothing else fits a square that small.
namespace TrayWidgetIcon {
// The reading shortened for a square: "42%" -> "42", "1.2 MB/s" -> "1.2M", "340 KB/s" -> "340K";
// temperatures keep their degree sign; anything else is kept.
QString compactText(WidgetType type, const QString& text);
// The reading's colour: the widget's hue, as light or dark as it must be to read on the tile over
// the tray's background (black or white by the ink where the background is not known).
QColor valueColor(WidgetType type, const QColor& ink, const QColor& background = QColor());
// Draws into the square; ink is the tray's text colour (a light ink means a dark tray).
void paint(QPainter& painter, const QRect& square, WidgetType type, const QString& text, bool showLabels,
           const QColor& ink, const QColor& background = QColor());
// The icon alone, side × side logical pixels at the given device pixel ratio.
QImage image(int side, WidgetType type, const QString& text, bool showLabels, const QColor& ink,
             double devicePixelRatio = 1.0, const QColor& background = QColor());
}  // namespace TrayWidgetIcon
