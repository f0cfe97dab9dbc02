#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

#include <optional>
#include <vector>

// The tones that tint the glass of panels and cards, chosen in the Appearance pane and kept
// under "panelGlassTone"; "panelGlassTint" holds the strength of the tint.
namespace PanelGlass {

enum class Tone { system, graphite, blue, indigo, purple, pink, red, orange, green, teal };

// The settings keys and their defaults.
inline constexpr const char* toneKey = "panelGlassTone";
inline constexpr const char* tintKey = "panelGlassTint";
inline constexpr const char* defaultTone = "system";
inline constexpr double defaultTint = 0.55;

const std::vector<Tone>& allTones();  // in declaration order
QString rawValue(Tone tone);          // the case name
std::optional<Tone> fromRawValue(const QString& raw);

// The stored tone to paint: the tone of that name, or system when none has it.
Tone effectiveTone(const QString& stored);

// The tone's own colour (swatches): system the window background, graphite gray, every other
// tone the named colour.
QColor swatch(Tone tone, const QPalette& palette);
QColor swatch(Tone tone);
// The colour that tints glass: system the window background; any other tone its swatch
// blended into the window background, so it follows the light or dark appearance.
QColor tintColor(Tone tone, const QPalette& palette);
QColor tintColor(Tone tone);

// The stored settings as read at paint time. A tint that is not a finite number counts as the
// default; the tint is limited to 0 … 1.
double currentTint();
Tone currentTone();

}  // namespace PanelGlass
