#include "Views/Shared/PanelGlass.h"

#include "Platform/Core/RawValues.h"
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

namespace {
constexpr RawValues::Entry<Tone> toneRawValues[]{
    {Tone::system, "system"}, {Tone::graphite, "graphite"}, {Tone::blue, "blue"}, {Tone::indigo, "indigo"},
    {Tone::purple, "purple"}, {Tone::pink, "pink"},         {Tone::red, "red"},   {Tone::orange, "orange"},
    {Tone::green, "green"},   {Tone::teal, "teal"},
};
}  // namespace

QString rawValue(Tone tone) { return RawValues::rawValue(toneRawValues, tone); }

std::optional<Tone> fromRawValue(const QString& raw) { return RawValues::fromRawValue(toneRawValues, raw); }

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
