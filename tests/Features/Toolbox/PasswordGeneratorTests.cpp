#include "Source/Features/Toolbox/PasswordGenerator.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <deque>

using PasswordGenerator::Options;
using PasswordGenerator::Style;

namespace {

// Hands out the given values, then zeros; counts the draws.
class ScriptedRandom final : public Random {
public:
    explicit ScriptedRandom(std::deque<uint64_t> values) : values_(std::move(values)) {}
    uint64_t next() override {
        ++draws;
        if (values_.empty()) return 0;
        const uint64_t v = values_.front();
        values_.pop_front();
        return v;
    }
    int draws = 0;

private:
    std::deque<uint64_t> values_;
};

const QString kMemorableGroup =
    QStringLiteral("[bcdfghjkmnpqrstvwxyz][aeiou][bcdfghjkmnpqrstvwxyz]{2}[aeiou][bcdfghjkmnpqrstvwxyz]");

int countMatching(const QString& text, bool (*test)(QChar)) {
    return int(std::count_if(text.begin(), text.end(), test));
}

}  // namespace

TEST(PasswordGenerator, LengthIsClampedIntoTheStyleRange) {
    struct Row {
        Style style;
        qint64 length;
        qsizetype characters;  // of the result, options off
    };
    const Row rows[] = {
        {Style::memorable, -7, 13},   {Style::memorable, 0, 13}, {Style::memorable, 2, 13}, {Style::memorable, 4, 27},
        {Style::memorable, 1000, 41}, {Style::random, -1, 8},    {Style::random, 0, 8},     {Style::random, 20, 20},
        {Style::random, 1000, 64},    {Style::numeric, 0, 4},    {Style::numeric, 7, 7},    {Style::numeric, 1000, 12},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(qPrintable(PasswordGenerator::rawValue(row.style) + QString::number(row.length)));
        EXPECT_EQ(PasswordGenerator::generate({row.style, row.length}).size(), row.characters);
    }
    for (auto [length, words] : {std::pair{qint64(-3), 3}, {0, 3}, {5, 5}, {1000, 8}}) {
        const QString phrase = PasswordGenerator::generate({Style::passphrase, length});
        EXPECT_EQ(phrase.split(QLatin1Char('-')).size(), words) << length;
    }
}

TEST(PasswordGenerator, ShapesOfEachStyleAndOption) {
    SeededRandom random(42);
    const QRegularExpression plainMemorable(QStringLiteral("^%1(-%1){1,5}$").arg(kMemorableGroup));
    const QSet<QString> words(PasswordGenerator::wordList().begin(), PasswordGenerator::wordList().end());
    for (int round = 0; round < 300; ++round) {
        const qint64 length = round % 9;
        // Memorable: lower-case groups; a digit replaces one letter; one letter is capitalised.
        const QString plain = PasswordGenerator::generate({Style::memorable, length}, random);
        EXPECT_TRUE(plainMemorable.match(plain).hasMatch()) << qPrintable(plain);

        const QString digit = PasswordGenerator::generate({Style::memorable, length, true}, random);
        EXPECT_EQ(countMatching(digit, [](QChar c) { return c.isDigit(); }), 1) << qPrintable(digit);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[a-z2-9-]+$")).match(digit).hasMatch()) << qPrintable(digit);
        EXPECT_EQ(digit.size() % 7, 6);

        const QString both = PasswordGenerator::generate({Style::memorable, length, true, true}, random);
        EXPECT_EQ(countMatching(both, [](QChar c) { return c.isUpper(); }), 1) << qPrintable(both);
        EXPECT_EQ(countMatching(both, [](QChar c) { return c.isDigit(); }), 1) << qPrintable(both);
        // The capital is the first letter of its group, even when the digit took the first place.
        for (const QString& group : both.split(QLatin1Char('-'))) {
            const qsizetype capital =
                std::find_if(group.begin(), group.end(), [](QChar c) { return c.isUpper(); }) - group.begin();
            if (capital == group.size()) continue;
            for (qsizetype i = 0; i < capital; ++i) EXPECT_TRUE(group.at(i).isDigit()) << qPrintable(both);
        }

        // Passphrase: words of the list; a capital on the first word only; a digit glued to the end.
        const QString phrase = PasswordGenerator::generate({Style::passphrase, length, true, true}, random);
        ASSERT_TRUE(phrase.back().isDigit()) << qPrintable(phrase);
        EXPECT_TRUE(QStringLiteral("23456789").contains(phrase.back()));
        QStringList parts = phrase.chopped(1).split(QLatin1Char('-'));
        EXPECT_TRUE(parts.first().front().isUpper()) << qPrintable(phrase);
        EXPECT_EQ(countMatching(phrase, [](QChar c) { return c.isUpper(); }), 1) << qPrintable(phrase);
        for (const QString& word : parts) EXPECT_TRUE(words.contains(word.toLower())) << qPrintable(word);

        // Random and numeric never use the look-alike characters; options meant for others change nothing.
        const QString characters = PasswordGenerator::generate({Style::random, 64, true, true, false}, random);
        const QString code = PasswordGenerator::generate({Style::numeric, 12, true, true, true}, random);
        for (const QString& text : {characters, code})
            EXPECT_FALSE(QRegularExpression(QStringLiteral("[01lIO]")).match(text).hasMatch()) << qPrintable(text);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z2-9]{64}$")).match(characters).hasMatch());
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[2-9]{12}$")).match(code).hasMatch());
    }
}

TEST(PasswordGenerator, SymbolsJoinTheRandomPoolOnlyWhenAsked) {
    const QRegularExpression symbol(QStringLiteral("[!@#$%^&*\\-_=+]"));
    QSet<QChar> seen;
    for (int round = 0; round < 200; ++round) {
        const QString with = PasswordGenerator::generate({Style::random, 64, false, false, true});
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z2-9!@#$%^&*\\-_=+]{64}$")).match(with).hasMatch());
        for (QChar c : with) seen.insert(c);
        EXPECT_FALSE(symbol.match(PasswordGenerator::generate({Style::random, 64})).hasMatch());
    }
    EXPECT_EQ(seen.size(), 68);  // every character of the pool turns up
}

TEST(PasswordGenerator, DrawsAreUniformWithoutModuloBias) {
    // A draw from the slice that would bias the modulo is thrown away and drawn again.
    ScriptedRandom scripted({UINT64_MAX, UINT64_MAX - 1, 1, 422, 423});
    EXPECT_EQ(PasswordGenerator::generate({Style::passphrase, 3}, scripted), QStringLiteral("акула-ячмень-актёр"));
    EXPECT_EQ(scripted.draws, 5);
    ScriptedRandom characters({UINT64_MAX, 0, 1, 2, 55, 56, 57, 24, 47});
    EXPECT_EQ(PasswordGenerator::generate({Style::random, 8}, characters), QStringLiteral("abc9abAZ"));
    EXPECT_EQ(characters.draws, 9);

    // The system source: each digit of a numeric code turns up about equally often.
    QMap<QChar, int> counts;
    for (int round = 0; round < 2000; ++round)
        for (QChar c : PasswordGenerator::generate({Style::numeric, 12})) ++counts[c];
    ASSERT_EQ(counts.size(), 8);
    for (auto it = counts.begin(); it != counts.end(); ++it)
        EXPECT_NEAR(it.value(), 3000, 300) << int(it.key().unicode());
}

TEST(PasswordGenerator, EntropyEstimates) {
    struct Row {
        Options options;
        double bits;
    };
    const Row rows[] = {
        {{Style::memorable, 3}, 65.79},
        {{Style::memorable, 3, true, true}, 65.79},
        {{Style::memorable, 1}, 43.86},
        {{Style::passphrase, 8}, 69.80},
        {{Style::passphrase, 99, true, true}, 69.80},
        {{Style::random, 8}, 46.46},
        {{Style::random, 8, true, true}, 46.46},
        {{Style::random, 8, false, false, true}, 48.70},
        {{Style::numeric, 12}, 36.0},
        {{Style::numeric, 12, true, true, true}, 36.0},
        {{Style::numeric, 2}, 12.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(qPrintable(PasswordGenerator::rawValue(row.options.style)));
        EXPECT_NEAR(PasswordGenerator::entropyBits(row.options), row.bits, 0.005);
    }
}

TEST(PasswordGenerator, WordListAsStored) {
    const QStringList& words = PasswordGenerator::wordList();
    ASSERT_EQ(words.size(), 423);
    EXPECT_EQ(QSet<QString>(words.begin(), words.end()).size(), 423);
    EXPECT_EQ(words.first(), QStringLiteral("актёр"));
    EXPECT_EQ(words.at(60), QStringLiteral("глобус"));  // stored after "груша", not sorted
    EXPECT_EQ(words.at(114), QStringLiteral("клен"));
    EXPECT_EQ(words.at(351), QStringLiteral("фиалка"));
    EXPECT_EQ(words.last(), QStringLiteral("ячмень"));
    const QRegularExpression shape(QStringLiteral("^[а-яё]{3,8}$"));
    for (const QString& word : words) EXPECT_TRUE(shape.match(word).hasMatch()) << qPrintable(word);
}
