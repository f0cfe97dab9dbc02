#include "Platform/Core/OneLine.h"

#include <gtest/gtest.h>

TEST(OneLine, BreaksAndControlsBecomeSpacesAndPlainNamesAreNotCopied) {
    EXPECT_EQ(OneLine::of(QStringLiteral("two\nlines\tand\r\x01more")), QStringLiteral("two lines and  more"));
    EXPECT_EQ(OneLine::of(QString::fromUtf8("a\u2028b\u2029c")), QStringLiteral("a b c"));
    const QString plain = QString::fromUtf8("Web Content — Firefox");
    EXPECT_TRUE(OneLine::of(plain).isSharedWith(plain));
    EXPECT_EQ(OneLine::of(QString()), QString());
}
