#include "Platform/Gui/SystemColors.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// The edged icon is kept per icon and background: asked again it is the same picture, and it is
// what working it out afresh gives; another background, or the icon changed, gives another.
TEST(SystemColors, LegibleIconsAreKeptPerIconAndBackground) {
    QImage icon = TestSupport::palePageIcon();
    const QColor grey(236, 236, 236), blue(0, 90, 200);
    const QImage first = SystemColors::legibleIcon(icon, grey);
    ASSERT_NE(first, icon);  // edged
    const QImage again = SystemColors::legibleIcon(icon, grey);
    EXPECT_EQ(again.cacheKey(), first.cacheKey());
    EXPECT_EQ(SystemColors::legibleIcon(icon.copy(), grey), first);  // a copy is worked out afresh

    const QImage onBlue = SystemColors::legibleIcon(icon, blue);
    EXPECT_NE(onBlue.cacheKey(), first.cacheKey());
    EXPECT_EQ(onBlue, SystemColors::legibleIcon(icon.copy(), blue));
    EXPECT_NE(SystemColors::legibleIcon(icon, QColor(235, 235, 236)).cacheKey(), first.cacheKey());

    icon.fill(Qt::black);  // reads on grey now: returned as it is
    EXPECT_EQ(SystemColors::legibleIcon(icon, grey).cacheKey(), icon.cacheKey());
}

}  // namespace
