#include "Platform/Core/NumericCompare.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>

TEST(NumericCompare, DigitRunsCompareByValueOtherCharactersByCode) {
    using NumericCompare::compare;
    EXPECT_LT(compare(u"1.9", u"1.10"), 0);
    EXPECT_GT(compare(u"1.10.0", u"1.9.5"), 0);
    EXPECT_GT(compare(u"10.0", u"9.10"), 0);
    EXPECT_GT(compare(u"9.10", u"9.5"), 0);
    EXPECT_EQ(compare(u"2.0", u"2.0"), 0);
    // Leading zeros carry no value.
    EXPECT_EQ(compare(u"1.01", u"1.1"), 0);
    EXPECT_LT(compare(u"1.001", u"1.2"), 0);
    // A string that ends first goes first.
    EXPECT_LT(compare(u"1.0", u"1.0.1"), 0);
    EXPECT_GT(compare(u"1.0b", u"1.0"), 0);
    EXPECT_LT(compare(u"", u"0"), 0);
    // Characters by code, case included; a digit before a letter.
    EXPECT_LT(compare(u"1.0-B", u"1.0-a"), 0);
    EXPECT_LT(compare(u"1.0.9", u"1.0.a"), 0);
    // Runs longer than any integer type still compare.
    EXPECT_LT(compare(u"1.99999999999999999999999", u"1.100000000000000000000000"), 0);

    QStringList versions = {"1.10", "1.2", "10.0", "1.9", "9.10", "9.5"};
    std::stable_sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) {
        return NumericCompare::less(a, b);
    });
    EXPECT_EQ(versions, (QStringList{"1.2", "1.9", "1.10", "9.5", "9.10", "10.0"}));
}
