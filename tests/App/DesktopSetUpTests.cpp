// What a bare window manager does not give: the program's own icon, an icon theme for file
// icons, colour emoji in texts.
#include "App/MerovaneApp.h"
#include "Platform/Gui/AssetImages.h"
#include "Platform/Gui/SystemFont.h"
#include "TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QPainter>

#include <gtest/gtest.h>

namespace {
// Pixels that are clearly coloured (not grey).
int colouredPixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 128 && c.hsvSaturation() > 80) ++n;
        }
    }
    return n;
}
}  // namespace

TEST(DesktopSetUp, TheProgramsIconIsDrawnAtEverySizeAWindowAsksFor) {
    MerovaneApp::setUpIcons();
    const QIcon icon = QApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    for (int side : {16, 24, 48, 256}) {
        const QImage image = icon.pixmap(QSize(side, side)).toImage();
        ASSERT_EQ(image.size(), QSize(side, side));
        EXPECT_GT(colouredPixels(image), side * side / 3) << side;  // the coloured face fills it
    }
    // The bar's template: black shapes on transparency, nothing else.
    const QImage glyph = AssetImages::render(QStringLiteral("MenuBarIcon"), 36);
    ASSERT_FALSE(glyph.isNull());
    int opaque = 0;
    for (int y = 0; y < 36; ++y) {
        for (int x = 0; x < 36; ++x) {
            const QColor c = glyph.pixelColor(x, y);
            if (c.alpha() > 200) {
                ++opaque;
                EXPECT_LT(c.lightness(), 20);
            }
        }
    }
    EXPECT_GT(opaque, 150);
    EXPECT_TRUE(AssetImages::render(QStringLiteral("NoSuchAsset"), 36).isNull());

    // The desktop entry names the program and its icon.
    QFile entry(QStringLiteral(":/com.pelwick.Quorvin.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("\nName=Quorvin\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nIcon=com.pelwick.Quorvin\n")));
}

TEST(DesktopSetUp, EmojiInTextsAreDrawnInColour) {
    QImage image(64, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(SystemFont::font(24));
    painter.setPen(Qt::black);
    // A partying face: newer than the emoji the interface fonts carry in black and white.
    painter.drawText(image.rect(), Qt::AlignCenter, QString::fromUtf8("\xF0\x9F\xA5\xB3"));
    painter.end();
    EXPECT_GT(colouredPixels(image), 60);
}
