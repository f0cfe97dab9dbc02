#include "Platform/Gui/SystemFont.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <cmath>

namespace SystemFont {
namespace {
QFont sized(QFont f, double pixelSize, QFont::Weight weight) {
    f.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    f.setWeight(weight);
    return f;
}
}  // namespace

QFont font(double pixelSize, QFont::Weight weight) { return sized(QGuiApplication::font(), pixelSize, weight); }

QFont monospaced(double pixelSize, QFont::Weight weight) {
    return sized(QFontDatabase::systemFont(QFontDatabase::FixedFont), pixelSize, weight);
}

QFont monospacedDigits(double pixelSize, QFont::Weight weight) {
    // Qt 6.4 cannot ask for the "tnum" feature; the usual interface fonts draw their figures
    // at one width already.
    return font(pixelSize, weight);
}
}  // namespace SystemFont
