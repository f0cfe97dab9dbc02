#include "Platform/Core/Random.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Source/Features/Toolbox/PasswordPaneModel.h"
#include "TestSupport.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using PasswordGenerator::Style;
using Strength = PasswordPaneModel::Strength;

namespace {

int count(const QString& text, const std::function<bool(QChar)>& test) {
    return int(std::count_if(text.begin(), text.end(), test));
}

}  // namespace

TEST(PasswordPaneModel, FirstSightIsAMemorablePasswordOfThreeGroupsWithADigitAndACapital) {
    SeededRandom random(7);
    PasswordPaneModel model(&random);
    EXPECT_TRUE(model.password().isEmpty());
    model.appear();
    const QString first = model.password();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[a-zA-Z2-9]{6}-[a-zA-Z2-9]{6}-[a-zA-Z2-9]{6}$")).match(first).hasMatch())
        << first.toStdString();
    EXPECT_EQ(count(first, [](QChar c) { return c.isDigit(); }), 1);
    EXPECT_EQ(count(first, [](QChar c) { return c.isUpper(); }), 1);
    EXPECT_EQ(model.strength(), Strength::good);
    EXPECT_EQ(PasswordPaneModel::strengthLabel(model.strength()), QStringLiteral("Хороший"));
    EXPECT_EQ(model.entropyText(), QStringLiteral("66 бит энтропии"));

    model.appear();  // showing the pane again keeps the password
    EXPECT_EQ(model.password(), first);
    model.regenerate();
    EXPECT_NE(model.password(), first);
}

TEST(PasswordPaneModel, LengthsAreClampedIntoTheStylesRangeAndWrittenBack) {
    PasswordPaneModel model;
    model.appear();
    model.setStyle(Style::random);
    EXPECT_EQ(model.options().length, 8);
    EXPECT_EQ(model.password().size(), 8);
    EXPECT_EQ(model.strength(), Strength::acceptable);
    EXPECT_EQ(model.entropyText(), QStringLiteral("46 бит энтропии"));

    model.setStyle(Style::memorable);
    EXPECT_EQ(model.options().length, 6);
    EXPECT_EQ(model.password().size(), 41);

    model.setStyle(Style::numeric);
    model.setLength(-5);
    EXPECT_EQ(model.options().length, 4);
    model.setLength(1000);
    EXPECT_EQ(model.options().length, 12);
    EXPECT_EQ(model.password().size(), 12);

    // A slider position is cut to its whole part.
    model.setSliderValue(7.9);
    EXPECT_EQ(model.options().length, 7);
    model.setSliderValue(std::nan(""));
    EXPECT_EQ(model.options().length, 7);
}

TEST(PasswordPaneModel, EveryChangeOfAnOptionDrawsANewPassword) {
    PasswordPaneModel model;
    model.appear();
    int changes = 0;
    QObject::connect(&model, &PasswordPaneModel::changed, [&changes] { ++changes; });
    model.setIncludeDigit(false);
    model.setIncludeCapital(false);
    EXPECT_EQ(count(model.password(), [](QChar c) { return c.isDigit() || c.isUpper(); }), 0);
    model.setStyle(Style::random);
    model.setIncludeSymbol(true);
    // Switches that random characters ignore still draw anew without changing the estimate.
    const double bits = model.entropyBits();
    model.setIncludeCapital(true);
    EXPECT_DOUBLE_EQ(model.entropyBits(), bits);
    EXPECT_EQ(changes, 5);
    model.setIncludeCapital(true);  // no change, no new password
    EXPECT_EQ(changes, 5);
}

TEST(PasswordPaneModel, StrengthLevelsFollowTheEstimate) {
    EXPECT_EQ(PasswordPaneModel::strengthFor(39.99), Strength::weak);
    EXPECT_EQ(PasswordPaneModel::strengthFor(40), Strength::acceptable);
    EXPECT_EQ(PasswordPaneModel::strengthFor(59.99), Strength::acceptable);
    EXPECT_EQ(PasswordPaneModel::strengthFor(60), Strength::good);
    EXPECT_EQ(PasswordPaneModel::strengthFor(79.99), Strength::good);
    EXPECT_EQ(PasswordPaneModel::strengthFor(80), Strength::veryStrong);

    PasswordPaneModel model;
    model.setStyle(Style::numeric);
    for (qint64 n = 4; n <= 12; ++n) {
        model.setLength(n);
        EXPECT_EQ(model.strength(), Strength::weak) << n;
    }
    EXPECT_EQ(PasswordPaneModel::strengthLabel(Strength::weak), QStringLiteral("Слабый"));
    model.setStyle(Style::passphrase);
    model.setLength(8);
    EXPECT_EQ(model.strength(), Strength::good);
    model.setStyle(Style::memorable);
    model.setLength(4);
    EXPECT_EQ(model.strength(), Strength::veryStrong);
    EXPECT_EQ(PasswordPaneModel::strengthLabel(Strength::veryStrong), QStringLiteral("Очень сильный"));
    model.setStyle(Style::random);
    model.setLength(13);
    EXPECT_EQ(model.strength(), Strength::good);
    model.setLength(14);
    EXPECT_EQ(model.strength(), Strength::veryStrong);
}

TEST(PasswordPaneModel, SwitchesOfferedPerStyle) {
    EXPECT_TRUE(PasswordPaneModel::offersDigitAndCapital(Style::memorable));
    EXPECT_TRUE(PasswordPaneModel::offersDigitAndCapital(Style::random));
    EXPECT_TRUE(PasswordPaneModel::offersDigitAndCapital(Style::passphrase));
    EXPECT_FALSE(PasswordPaneModel::offersDigitAndCapital(Style::numeric));
    for (Style style : PasswordGenerator::allStyles)
        EXPECT_EQ(PasswordPaneModel::offersSymbol(style), style == Style::random);
}

TEST(PasswordPaneModel, ACopyIsMarkedSecretSoHistoriesLeaveItOut) {
    FakePasteboard pasteboard;
    PasswordPaneModel model;
    model.appear();
    model.copy(pasteboard);
    EXPECT_EQ(pasteboard.string(), model.password());
    EXPECT_EQ(pasteboard.data(PasteboardType::concealed), QByteArray());
    EXPECT_EQ(pasteboard.data(PasteboardType::passwordManagerHint), QByteArray("secret"));
    EXPECT_TRUE(model.copyConfirmation().didCopy());
}

TEST(CopyConfirmation, StaysOnUntilTheTimeAfterTheLastCopy) {
    CopyConfirmation confirmation;
    confirmation.setSecondsForTesting(0.3);
    QList<bool> seen;
    QObject::connect(&confirmation, &CopyConfirmation::didCopyChanged, [&seen](bool on) { seen.append(on); });
    confirmation.confirm();
    TestSupport::spin(200);
    confirmation.confirm();  // restarts the time
    TestSupport::spin(200);
    EXPECT_TRUE(confirmation.didCopy());
    EXPECT_TRUE(TestSupport::waitFor([&] { return !confirmation.didCopy(); }, 2000));
    EXPECT_EQ(seen, (QList<bool>{true, false}));
}
