#include "Platform/Gui/SystemColors.h"

#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace SystemColors {
namespace {
QColor pick(bool dark, QRgb light, QRgb darkRgb) { return QColor::fromRgb(dark ? darkRgb : light); }
QPalette appPalette() { return QGuiApplication::palette(); }
}  // namespace

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightnessF() < 0.5; }
bool isDark() { return isDark(appPalette()); }

QColor red(bool d) { return pick(d, 0xFF3B30, 0xFF453A); }
QColor orange(bool d) { return pick(d, 0xFF9500, 0xFF9F0A); }
QColor yellow(bool d) { return pick(d, 0xFFCC00, 0xFFD60A); }
QColor green(bool d) { return pick(d, 0x34C759, 0x30D158); }
QColor mint(bool d) { return pick(d, 0x00C7BE, 0x63E6E2); }
QColor teal(bool d) { return pick(d, 0x30B0C7, 0x40CBE0); }
QColor cyan(bool d) { return pick(d, 0x32ADE6, 0x64D2FF); }
QColor blue(bool d) { return pick(d, 0x007AFF, 0x0A84FF); }
QColor indigo(bool d) { return pick(d, 0x5856D6, 0x5E5CE6); }
QColor purple(bool d) { return pick(d, 0xAF52DE, 0xBF5AF2); }
QColor pink(bool d) { return pick(d, 0xFF2D55, 0xFF375F); }
QColor brown(bool d) { return pick(d, 0xA2845E, 0xAC8E68); }
QColor gray(bool d) { return pick(d, 0x8E8E93, 0x8E8E93); }

QColor windowBackground(const QPalette& palette) {
    QColor c = palette.color(QPalette::Window);
    c.setAlphaF(1.0);
    return c;
}
QColor windowBackground() { return windowBackground(appPalette()); }

QColor sidebarBackground(const QPalette& palette) {
    return mix(windowBackground(palette), isDark(palette) ? QColor(Qt::white) : QColor(Qt::black), 0.045);
}

QColor primary(const QPalette& palette) {
    QColor c = palette.color(QPalette::WindowText);
    c.setAlphaF(0.85);
    return c;
}
QColor secondary(const QPalette& palette) {
    return withOpacity(palette.color(QPalette::WindowText), isDark(palette) ? 0.55 : 0.5);
}
QColor tertiary(const QPalette& palette) {
    return withOpacity(palette.color(QPalette::WindowText), isDark(palette) ? 0.25 : 0.26);
}
QColor quaternary(const QPalette& palette) { return withOpacity(palette.color(QPalette::WindowText), 0.1); }
QColor primary() { return primary(appPalette()); }
QColor secondary() { return secondary(appPalette()); }
QColor tertiary() { return tertiary(appPalette()); }
QColor quaternary() { return quaternary(appPalette()); }

QColor accent(const QPalette& palette) {
    QColor c = palette.color(QPalette::Highlight);
    return c.isValid() ? c : blue(isDark(palette));
}
QColor accent() { return accent(appPalette()); }

QColor withOpacity(QColor c, double opacity) {
    if (!std::isfinite(opacity)) opacity = 1;
    c.setAlphaF(float(std::clamp(c.alphaF() * opacity, 0.0, 1.0)));
    return c;
}

QColor mix(const QColor& a, const QColor& b, double t) {
    if (!std::isfinite(t)) t = 0;
    t = std::clamp(t, 0.0, 1.0);
    const QColor x = a.toRgb(), y = b.toRgb();
    return QColor::fromRgbF(float(x.redF() + (y.redF() - x.redF()) * t), float(x.greenF() + (y.greenF() - x.greenF()) * t),
                            float(x.blueF() + (y.blueF() - x.blueF()) * t),
                            float(x.alphaF() + (y.alphaF() - x.alphaF()) * t));
}

}  // namespace SystemColors
