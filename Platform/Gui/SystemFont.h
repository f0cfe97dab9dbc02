#pragma once

#include <QFont>

// The interface fonts. Sizes are in pixels, so that one point of a layout is one
// device-independent pixel.
namespace SystemFont {
// The desktop's interface font at a pixel size and weight.
QFont font(double pixelSize, QFont::Weight weight = QFont::Normal);
// A fixed-pitch font at a pixel size and weight.
QFont monospaced(double pixelSize, QFont::Weight weight = QFont::Normal);
// The interface font for changing numbers (its figures are of equal width in the usual fonts).
QFont monospacedDigits(double pixelSize, QFont::Weight weight = QFont::Normal);
}  // namespace SystemFont
