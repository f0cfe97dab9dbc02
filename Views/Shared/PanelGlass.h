#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

#include <optional>
#include <vector>

// The tones that tint the glass of panels and cards, chosen in the Appearance pane and kept in
// PanelGlassSettings with the strength of the tint.
namespace PanelGlass {

enum class Tone { system, graphite, blue, indigo, purple, pink, red, orange, green, teal };

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

// The shared settings as read at paint time.
double currentTint();
Tone currentTone();

}  // namespace PanelGlass
