#pragma once

#include <QColor>
#include <QString>

#include <array>
#include <optional>

// The panes of the settings window, in sidebar order. The raw value is the pane's title.
enum class PreferencesTab { general, appearance, companion, clipboard, shortcuts, power, zedi, daveRovaz, help, developer };

namespace PreferencesTabs {
inline constexpr std::array<PreferencesTab, 10> allCases{
    PreferencesTab::general,   PreferencesTab::appearance, PreferencesTab::companion, PreferencesTab::clipboard,
    PreferencesTab::shortcuts, PreferencesTab::power,      PreferencesTab::zedi,      PreferencesTab::daveRovaz,
    PreferencesTab::help,      PreferencesTab::developer};
// The panes the sidebar lists: every case but developer.
inline constexpr std::array<PreferencesTab, 9> visible{
    PreferencesTab::general,   PreferencesTab::appearance, PreferencesTab::companion,
    PreferencesTab::clipboard, PreferencesTab::shortcuts,  PreferencesTab::power,
    PreferencesTab::zedi,      PreferencesTab::daveRovaz,  PreferencesTab::help};

QString rawValue(PreferencesTab tab);  // "General", ..., "Disk Clean", "Help & Feedback", "Developer"
inline QString title(PreferencesTab tab) { return rawValue(tab); }
inline QString id(PreferencesTab tab) { return rawValue(tab); }
// The tab whose title is raw; nothing for any other text.
std::optional<PreferencesTab> fromRawValue(const QString& raw);
// The symbol name of the tab's sidebar glyph.
QString symbol(PreferencesTab tab);
// The tab's tint: one of the standard named colours, in the given appearance or the application's.
QColor tint(PreferencesTab tab, bool dark);
QColor tint(PreferencesTab tab);
bool isVisible(PreferencesTab tab);
}  // namespace PreferencesTabs
