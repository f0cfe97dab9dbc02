#include "Source/Features/Toolbox/PasswordPaneModel.h"

#include "Platform/Core/Random.h"
#include "Platform/Desktop/Pasteboard.h"

#include <cmath>

using PasswordGenerator::Style;

PasswordPaneModel::PasswordPaneModel(Random* random, QObject* parent)
    : QObject(parent), random_(random) {
    options_.style = Style::memorable;
    options_.length = 3;
    options_.includeDigit = true;
    options_.includeCapital = true;
    options_.includeSymbol = false;
}

void PasswordPaneModel::appear() {
    if (password_.isEmpty()) regenerate();
}

void PasswordPaneModel::regenerate() {
    options_.length = PasswordGenerator::lengthRange(options_.style).clamp(options_.length);
    password_ = PasswordGenerator::generate(options_, random_ ? *random_ : Random::shared());
    emit changed();
}

void PasswordPaneModel::setStyle(Style style) {
    if (options_.style == style) return;
    options_.style = style;
    regenerate();
}

void PasswordPaneModel::setLength(qint64 length) {
    if (options_.length == length) return;
    options_.length = length;
    regenerate();
}

void PasswordPaneModel::setSliderValue(double value) {
    if (!std::isfinite(value)) return;
    setLength(qint64(std::trunc(value)));
}

void PasswordPaneModel::setIncludeDigit(bool on) {
    if (options_.includeDigit == on) return;
    options_.includeDigit = on;
    regenerate();
}

void PasswordPaneModel::setIncludeCapital(bool on) {
    if (options_.includeCapital == on) return;
    options_.includeCapital = on;
    regenerate();
}

void PasswordPaneModel::setIncludeSymbol(bool on) {
    if (options_.includeSymbol == on) return;
    options_.includeSymbol = on;
    regenerate();
}

void PasswordPaneModel::copy(Pasteboard& pasteboard) {
    PasteboardItem item;
    item.setString(password_);
    item.setData(PasteboardType::concealed, QByteArray());
    item.setData(PasteboardType::passwordManagerHint, QByteArray("secret"));
    pasteboard.writeObjects({item});
    copied_.confirm();
}

QString PasswordPaneModel::entropyText() const {
    return QString::asprintf("%.0f бит энтропии", entropyBits());
}

PasswordPaneModel::Strength PasswordPaneModel::strengthFor(double bits) {
    if (bits < 40) return Strength::weak;
    if (bits < 60) return Strength::acceptable;
    if (bits < 80) return Strength::good;
    return Strength::veryStrong;
}

QString PasswordPaneModel::strengthLabel(Strength strength) {
    switch (strength) {
    case Strength::weak: return QStringLiteral("Слабый");
    case Strength::acceptable: return QStringLiteral("Приемлемый");
    case Strength::good: return QStringLiteral("Хороший");
    case Strength::veryStrong: return QStringLiteral("Очень сильный");
    }
    return {};
}

PasswordPaneModel::StyleTexts PasswordPaneModel::texts(Style style) {
    switch (style) {
    case Style::memorable:
        return {QStringLiteral("Запоминаемый"), QStringLiteral("Групп"),
                QStringLiteral("Как в приложении «Пароли»: слоги через дефис, с цифрой и заглавной.")};
    case Style::random:
        return {QStringLiteral("Случайный"), QStringLiteral("Символов"),
                QStringLiteral("Максимальная стойкость на символ. Годится, когда его хранит менеджер.")};
    case Style::passphrase:
        return {QStringLiteral("Из слов"), QStringLiteral("Слов"),
                QStringLiteral("Длинный, но набирается руками. Для полей с ограничением длины.")};
    case Style::numeric:
        return {QStringLiteral("Цифровой"), QStringLiteral("Цифр"),
                QStringLiteral("Только цифры — для PIN-кодов и полей, где больше ничего не принимают.")};
    }
    return {};
}

bool PasswordPaneModel::offersDigitAndCapital(Style style) { return style != Style::numeric; }

bool PasswordPaneModel::offersSymbol(Style style) { return style == Style::random; }
