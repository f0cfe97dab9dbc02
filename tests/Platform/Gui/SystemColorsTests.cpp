#include "Platform/Gui/SystemColors.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

// A white page with a pale outline, as icon themes draw a file: it fades into light grey.
QImage page() {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setPen(QColor(222, 222, 222));
    p.setBrush(Qt::white);
    p.drawRect(QRect(6, 3, 19, 25));
    return image;
}

// The edged icon is kept per icon and background: asked again it is the same picture, and it is
// what working it out afresh gives; another background, or the icon changed, gives another.
TEST(SystemColors, LegibleIconsAreKeptPerIconAndBackground) {
    QImage icon = page();
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
