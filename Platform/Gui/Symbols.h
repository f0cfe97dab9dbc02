#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>

class QPainter;

// The program's symbol names (the names its views use, such as "gauge.medium" or
// "doc.on.doc"), drawn from the Material Icons font through one name map.
namespace Symbols {
enum class Weight { regular, medium, semibold, bold };

bool has(const QString& name);
// The glyph text for a name; empty when the name is unknown.
QString glyph(const QString& name);
// The symbol font at a pixel size.
QFont font(double pixelSize);
// Draws the symbol centred in rect. Heavier weights draw with a slightly thicker outline.
// Returns false (drawing nothing) for an unknown name.
bool draw(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color,
          double pixelSize, Weight weight = Weight::regular, double rotationDegrees = 0);
// The symbol alone on a transparent square image of side ceil(pixelSize) × devicePixelRatio;
// a null image for an unknown name.
QImage image(const QString& name, double pixelSize, const QColor& color,
             Weight weight = Weight::regular, double devicePixelRatio = 1.0);
// Every name the map knows.
QStringList names();
// The Material Icons codepoint of a name; 0 when the name is unknown.
char32_t codepoint(const QString& name);

// The font file the glyphs come from, and whether it could be loaded. Without it, draw() and
// image() show a placeholder shape for known names.
QString fontFile();
bool fontAvailable();
// Points the glyphs at another font file (tests use a missing one to reach the placeholder).
void setFontFile(const QString& path);
}  // namespace Symbols
