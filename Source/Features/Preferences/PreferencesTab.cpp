#include "Source/Features/Preferences/PreferencesTab.h"

#include "Platform/Core/RawValues.h"
#include "Platform/Gui/SystemColors.h"

namespace PreferencesTabs {

namespace {
constexpr RawValues::Entry<PreferencesTab> rawValues[]{
    {PreferencesTab::general, "General"},
    {PreferencesTab::appearance, "Appearance"},
    {PreferencesTab::companion, "Companion"},
    {PreferencesTab::clipboard, "Clipboard"},
    {PreferencesTab::shortcuts, "Shortcuts"},
    {PreferencesTab::power, "Power"},
    {PreferencesTab::zedi, "Zedi"},
    {PreferencesTab::daveRovaz, "Disk Clean"},
    {PreferencesTab::help, "Help & Feedback"},
    {PreferencesTab::developer, "Developer"},
};
}  // namespace

QString rawValue(PreferencesTab tab) { return RawValues::rawValue(rawValues, tab); }

std::optional<PreferencesTab> fromRawValue(const QString& raw) { return RawValues::fromRawValue(rawValues, raw); }

QString symbol(PreferencesTab tab) {
    switch (tab) {
    case PreferencesTab::general: return QStringLiteral("gearshape.fill");
    case PreferencesTab::appearance: return QStringLiteral("paintbrush.fill");
    case PreferencesTab::companion: return QStringLiteral("pawprint.fill");
    case PreferencesTab::clipboard: return QStringLiteral("doc.on.clipboard.fill");
    case PreferencesTab::shortcuts: return QStringLiteral("keyboard.fill");
    case PreferencesTab::power: return QStringLiteral("bolt.fill");
    case PreferencesTab::zedi: return QStringLiteral("xmark.circle.fill");
    case PreferencesTab::daveRovaz: return QStringLiteral("internaldrive.fill");
    case PreferencesTab::help: return QStringLiteral("questionmark.bubble.fill");
    case PreferencesTab::developer: return QStringLiteral("terminal.fill");
    }
    return QStringLiteral("gearshape.fill");
}

QColor tint(PreferencesTab tab, bool dark) {
    switch (tab) {
    case PreferencesTab::general: return SystemColors::gray(dark);
    case PreferencesTab::appearance: return SystemColors::indigo(dark);
    case PreferencesTab::companion: return SystemColors::pink(dark);
    case PreferencesTab::clipboard: return SystemColors::orange(dark);
    case PreferencesTab::shortcuts: return SystemColors::blue(dark);
    case PreferencesTab::power: return SystemColors::yellow(dark);
    case PreferencesTab::zedi: return SystemColors::red(dark);
    case PreferencesTab::daveRovaz: return SystemColors::cyan(dark);
    case PreferencesTab::help: return SystemColors::teal(dark);
    case PreferencesTab::developer: return SystemColors::brown(dark);
    }
    return SystemColors::gray(dark);
}

QColor tint(PreferencesTab tab) { return tint(tab, SystemColors::isDark()); }

bool isVisible(PreferencesTab tab) { return tab != PreferencesTab::developer; }

}  // namespace PreferencesTabs
