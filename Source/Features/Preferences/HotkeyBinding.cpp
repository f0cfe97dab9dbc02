#include "Source/Features/Preferences/HotkeyBinding.h"

#include "Platform/X11/KeyCodes.h"

#include <QJsonValue>

#include <cmath>

QStringList HotkeyBinding::modifierKeys() const {
    QStringList keys;
    if (modifiers & KeyCodes::maskControl) keys << QStringLiteral("⌃");
    if (modifiers & KeyCodes::maskAlternate) keys << QStringLiteral("⌥");
    if (modifiers & KeyCodes::maskShift) keys << QStringLiteral("⇧");
    if (modifiers & KeyCodes::maskCommand) keys << QStringLiteral("⌘");
    return keys;
}

QJsonObject HotkeyBinding::toJson() const {
    return QJsonObject{
        {QStringLiteral("id"), id},
        {QStringLiteral("name"), name},
        {QStringLiteral("keyCode"), keyCode},
        {QStringLiteral("modifiers"), double(modifiers)},
        {QStringLiteral("isEnabled"), isEnabled},
    };
}

static std::optional<double> wholeNumber(const QJsonValue& value, double min, double max) {
    if (!value.isDouble()) return std::nullopt;
    double d = value.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < min || d > max) return std::nullopt;
    return d;
}

std::optional<HotkeyBinding> HotkeyBinding::fromJson(const QJsonObject& object) {
    const QJsonValue id = object.value(QStringLiteral("id"));
    const QJsonValue name = object.value(QStringLiteral("name"));
    const QJsonValue enabled = object.value(QStringLiteral("isEnabled"));
    if (!id.isString() || !name.isString() || !enabled.isBool()) return std::nullopt;
    // JSON numbers are doubles: masks beyond 2^53 cannot have been written by us.
    auto keyCode = wholeNumber(object.value(QStringLiteral("keyCode")), -2147483648.0, 2147483647.0);
    auto modifiers = wholeNumber(object.value(QStringLiteral("modifiers")), 0, 9007199254740992.0);
    if (!keyCode || !modifiers) return std::nullopt;
    HotkeyBinding binding;
    binding.id = id.toString();
    binding.name = name.toString();
    binding.keyCode = int(*keyCode);
    binding.modifiers = uint64_t(*modifiers);
    binding.isEnabled = enabled.toBool();
    return binding;
}
