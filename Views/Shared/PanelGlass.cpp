#include "Views/Shared/PanelGlass.h"

#include "Platform/Gui/SystemColors.h"
#include "Views/Shared/PanelGlassSettings.h"

#include <QGuiApplication>


namespace PanelGlass {
namespace {
// How much of the swatch a glass tint carries over the window background.
constexpr double kSwatchShare = 0.42;
}  // namespace

const std::vector<Tone>& allTones() {
    static const std::vector<Tone> tones{Tone::system, Tone::graphite, Tone::blue,   Tone::indigo, Tone::purple,
                                         Tone::pink,   Tone::red,      Tone::orange, Tone::green,  Tone::teal};
    return tones;
}

QString rawValue(Tone tone) {
    switch (tone) {
    case Tone::system: return QStringLiteral("system");
    case Tone::graphite: return QStringLiteral("graphite");
    case Tone::blue: return QStringLiteral("blue");
    case Tone::indigo: return QStringLiteral("indigo");
    case Tone::purple: return QStringLiteral("purple");
    case Tone::pink: return QStringLiteral("pink");
    case Tone::red: return QStringLiteral("red");
    case Tone::orange: return QStringLiteral("orange");
    case Tone::green: return QStringLiteral("green");
    case Tone::teal: return QStringLiteral("teal");
    }
    return QStringLiteral("system");
}

std::optional<Tone> fromRawValue(const QString& raw) {
    for (Tone t : allTones())
        if (rawValue(t) == raw) return t;
    return std::nullopt;
}

Tone effectiveTone(const QString& stored) { return fromRawValue(stored).value_or(Tone::system); }

QColor swatch(Tone tone, const QPalette& palette) {
    const bool dark = SystemColors::isDark(palette);
    switch (tone) {
    case Tone::system: return SystemColors::windowBackground(palette);
    case Tone::graphite: return SystemColors::gray(dark);
    case Tone::blue: return SystemColors::blue(dark);
    case Tone::indigo: return SystemColors::indigo(dark);
    case Tone::purple: return SystemColors::purple(dark);
    case Tone::pink: return SystemColors::pink(dark);
    case Tone::red: return SystemColors::red(dark);
    case Tone::orange: return SystemColors::orange(dark);
    case Tone::green: return SystemColors::green(dark);
    case Tone::teal: return SystemColors::teal(dark);
    }
    return SystemColors::windowBackground(palette);
}

QColor swatch(Tone tone) { return swatch(tone, QGuiApplication::palette()); }

QColor tintColor(Tone tone, const QPalette& palette) {
    const QColor window = SystemColors::windowBackground(palette);
    if (tone == Tone::system) return window;
    return SystemColors::mix(window, swatch(tone, palette), kSwatchShare);
}

QColor tintColor(Tone tone) { return tintColor(tone, QGuiApplication::palette()); }

double currentTint() { return PanelGlassSettings::shared().tint.value(); }

Tone currentTone() { return effectiveTone(PanelGlassSettings::shared().tone.value()); }

}  // namespace PanelGlass
