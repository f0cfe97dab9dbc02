#include "Source/Features/Preferences/PreferencesTab.h"

#include "Platform/Gui/SystemColors.h"

namespace PreferencesTabs {

QString rawValue(PreferencesTab tab) {
    switch (tab) {
    case PreferencesTab::general: return QStringLiteral("General");
    case PreferencesTab::appearance: return QStringLiteral("Appearance");
    case PreferencesTab::companion: return QStringLiteral("Companion");
    case PreferencesTab::clipboard: return QStringLiteral("Clipboard");
    case PreferencesTab::shortcuts: return QStringLiteral("Shortcuts");
    case PreferencesTab::power: return QStringLiteral("Power");
    case PreferencesTab::zedi: return QStringLiteral("Zedi");
    case PreferencesTab::daveRovaz: return QStringLiteral("Disk Clean");
    case PreferencesTab::help: return QStringLiteral("Help & Feedback");
    case PreferencesTab::developer: return QStringLiteral("Developer");
    }
    return QStringLiteral("General");
}

std::optional<PreferencesTab> fromRawValue(const QString& raw) {
    for (PreferencesTab tab : allCases) {
        if (rawValue(tab) == raw) return tab;
    }
    return std::nullopt;
}

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
