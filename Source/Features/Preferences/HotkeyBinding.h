#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// One global hot key: an action id, its label, a virtual key code and modifier flags.
struct HotkeyBinding {
    QString id;
    QString name;
    int keyCode = 0;
    uint64_t modifiers = 0;
    bool isEnabled = true;

    // The glyphs of the modifiers present, in the order ⌃ ⌥ ⇧ ⌘.
    QStringList modifierKeys() const;

    QJsonObject toJson() const;
    // Absent unless every field is present with its type (a whole, non-negative modifier mask).
    static std::optional<HotkeyBinding> fromJson(const QJsonObject& object);

    bool operator==(const HotkeyBinding&) const = default;
};
