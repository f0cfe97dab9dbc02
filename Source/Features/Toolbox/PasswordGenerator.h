#pragma once

#include "Platform/Core/Random.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// Passwords in four styles and their strength in bits. Every draw is uniform (rejection sampling)
// from the given source, the kernel's secure generator by default. Stateless.
namespace PasswordGenerator {

enum class Style { memorable, random, passphrase, numeric };

inline constexpr std::array<Style, 4> allStyles{Style::memorable, Style::random, Style::passphrase, Style::numeric};
QString rawValue(Style style);  // "memorable", "random", "passphrase", "numeric"
std::optional<Style> styleFromRawValue(const QString& raw);

// The closed range `length` is clamped into: groups, characters, words or digits.
struct LengthRange {
    qint64 lower;
    qint64 upper;
    qint64 clamp(qint64 length) const { return length < lower ? lower : length > upper ? upper : length; }
};
LengthRange lengthRange(Style style);

struct Options {
    Style style = Style::memorable;
    qint64 length = 3;
    bool includeDigit = false;  // memorable: one letter becomes a digit; passphrase: a digit is appended
    bool includeCapital = false;  // memorable: one group gets a capital; passphrase: the first word does
    bool includeSymbol = false;  // random: the symbols join the pool
};

QString generate(const Options& options, Random& random = Random::shared());
double entropyBits(const Options& options);

// The 423 Russian words of passphrases, in their stored order.
const QStringList& wordList();

}  // namespace PasswordGenerator
