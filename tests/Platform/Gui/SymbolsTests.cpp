#include "Platform/Gui/Symbols.h"

#include <QDir>
#include <QPainter>
#include <QRawFont>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Every symbol name the program's views use.
const char* const kUsedNames[] = {
    "accessibility",
    "ant.fill",
    "antenna.radiowaves.left.and.right",
    "apple.logo",
    "arrow.clockwise",
    "arrow.down.circle",
    "arrow.down.right.and.arrow.up.left",
    "arrow.up",
    "arrow.up.forward.app",
    "atom",
    "battery.75",
    "bird.fill",
    "bolt.fill",
    "calendar",
    "calendar.badge.clock",
    "calendar.circle",
    "cat.fill",
    "character.cursor.ibeam",
    "chart.bar.fill",
    "chart.line.uptrend.xyaxis",
    "checkmark",
    "checkmark.circle",
    "checkmark.circle.fill",
    "checkmark.seal.fill",
    "checkmark.shield",
    "checkmark.shield.fill",
    "chevron.down",
    "chevron.left",
    "chevron.left.forwardslash.chevron.right",
    "chevron.right",
    "circle.dashed",
    "circle.dotted",
    "circle.fill",
    "circle.hexagongrid.fill",
    "clock",
    "cloud.fill",
    "cpu",
    "crown.fill",
    "cube.fill",
    "cube.transparent",
    "curlybraces",
    "curlybraces.square",
    "desktopcomputer",
    "doc.fill",
    "doc.on.clipboard",
    "doc.on.clipboard.fill",
    "doc.on.doc",
    "doc.text",
    "doc.text.magnifyingglass",
    "dog.fill",
    "ellipsis",
    "envelope",
    "exclamationmark.circle",
    "exclamationmark.circle.fill",
    "exclamationmark.triangle",
    "exclamationmark.triangle.fill",
    "externaldrive",
    "externaldrive.fill",
    "fan",
    "fan.fill",
    "fish.fill",
    "flame.fill",
    "folder",
    "folder.badge.gearshape",
    "folder.fill",
    "fork.knife",
    "gamecontroller",
    "gamecontroller.fill",
    "gauge.medium",
    "gauge.with.dots.needle.67percent",
    "gauge.with.needle",
    "gearshape",
    "gearshape.fill",
    "globe",
    "hammer",
    "hand.raised",
    "hare.fill",
    "heart",
    "heart.fill",
    "hexagon.fill",
    "info.circle",
    "internaldrive",
    "internaldrive.fill",
    "key.fill",
    "keyboard.fill",
    "ladybug",
    "ladybug.fill",
    "laptopcomputer",
    "leaf.fill",
    "list.bullet.indent",
    "list.number",
    "lizard.fill",
    "lock.fill",
    "lock.rotation",
    "magnifyingglass",
    "memorychip",
    "minus",
    "moon.stars.fill",
    "moon.zzz",
    "number",
    "paintbrush.fill",
    "paperplane",
    "pawprint.fill",
    "pencil.line",
    "person.text.rectangle",
    "photo.badge.exclamationmark",
    "pin.fill",
    "pin.slash.fill",
    "plus",
    "plus.circle",
    "power",
    "qrcode",
    "questionmark.app.dashed",
    "questionmark.bubble.fill",
    "rectangle.3.group",
    "sparkles",
    "square.stack",
    "square.stack.3d.up.fill",
    "star.fill",
    "sun.max.fill",
    "teddybear.fill",
    "terminal.fill",
    "text.alignleft",
    "text.badge.plus",
    "text.justify.left",
    "textformat",
    "thermometer.medium",
    "tortoise.fill",
    "trash",
    "tray.full",
    "wand.and.stars",
    "waveform.path.ecg",
    "wifi",
    "wind",
    "xmark.circle.fill",
};

// The status-item icon candidates, in their order.
const char* const kStatusIconCandidates[] = {
    "gauge.with.dots.needle.67percent", "cpu", "memorychip", "waveform.path.ecg", "chart.bar.fill",
    "chart.line.uptrend.xyaxis", "bolt.fill", "flame.fill", "leaf.fill", "sparkles", "star.fill",
    "heart.fill", "moon.stars.fill", "sun.max.fill", "cloud.fill", "atom", "cube.fill", "hexagon.fill",
    "circle.hexagongrid.fill", "square.stack.3d.up.fill", "terminal.fill", "desktopcomputer",
    "laptopcomputer", "thermometer.medium", "fan.fill", "antenna.radiowaves.left.and.right",
    "externaldrive.fill", "gamecontroller.fill", "crown.fill", "cat.fill", "dog.fill", "pawprint.fill",
    "bird.fill", "fish.fill", "hare.fill", "tortoise.fill", "lizard.fill", "teddybear.fill", "ant.fill",
    "ladybug.fill",
};

struct Ink {
    int opaque = 0;      // pixels with alpha >= 128
    double alphaSum = 0;  // sum of alpha / 255
    QRect bounds;         // bounding box of any ink
    QPointF centroid;     // alpha-weighted
};

Ink inkOf(const QImage& image) {
    Ink ink;
    double cx = 0, cy = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            int a = qAlpha(image.pixel(x, y));
            if (a == 0) continue;
            if (a >= 128) ++ink.opaque;
            double w = a / 255.0;
            ink.alphaSum += w;
            cx += w * (x + 0.5);
            cy += w * (y + 0.5);
            ink.bounds |= QRect(x, y, 1, 1);
        }
    }
    if (ink.alphaSum > 0) ink.centroid = QPointF(cx / ink.alphaSum, cy / ink.alphaSum);
    return ink;
}

// Restores the real font file when a test points the symbols elsewhere.
struct FontFileGuard {
    QString saved = Symbols::fontFile();
    ~FontFileGuard() { Symbols::setFontFile(saved); }
};

}  // namespace

TEST(Symbols, EveryUsedNameHasAGlyphOfTheFontAndRenders) {
    ASSERT_TRUE(Symbols::fontAvailable()) << qPrintable(Symbols::fontFile());
    QRawFont raw(Symbols::fontFile(), 24);
    ASSERT_TRUE(raw.isValid());
    QStringList known = Symbols::names();
    for (const char* n : kUsedNames) {
        QString name = QString::fromLatin1(n);
        SCOPED_TRACE(n);
        EXPECT_TRUE(Symbols::has(name));
        EXPECT_TRUE(known.contains(name));
        char32_t cp = Symbols::codepoint(name);
        EXPECT_TRUE(raw.supportsCharacter(uint(cp))) << std::hex << uint(cp);
        EXPECT_EQ(Symbols::glyph(name), QString::fromUcs4(&cp, 1));
        QImage image = Symbols::image(name, 24, Qt::black);
        ASSERT_FALSE(image.isNull());
        Ink ink = inkOf(image);
        EXPECT_GT(ink.opaque, 10);
        // Material glyphs keep inside their 24-unit grid.
        EXPECT_TRUE(QRect(0, 0, 24, 24).contains(ink.bounds));
    }
    for (const char* n : kStatusIconCandidates) EXPECT_TRUE(Symbols::has(QString::fromLatin1(n))) << n;
}

TEST(Symbols, MapHasNoDeadEntries) {
    QRawFont raw(Symbols::fontFile(), 24);
    ASSERT_TRUE(raw.isValid());
    const QStringList names = Symbols::names();
    EXPECT_EQ(names.size(), QSet<QString>(names.begin(), names.end()).size()) << "duplicate names";
    for (const QString& name : names) {
        EXPECT_TRUE(raw.supportsCharacter(uint(Symbols::codepoint(name)))) << qPrintable(name);
    }
}

TEST(Symbols, UnknownNamesGiveNothing) {
    QImage target(20, 20, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    for (const char* n : {"", "gauge", "Gauge.Medium", "not.a.symbol", "cpu ", "speed"}) {
        QString name = QString::fromLatin1(n);
        SCOPED_TRACE(n);
        EXPECT_FALSE(Symbols::has(name));
        EXPECT_TRUE(Symbols::glyph(name).isEmpty());
        EXPECT_EQ(Symbols::codepoint(name), 0u);
        EXPECT_TRUE(Symbols::image(name, 16, Qt::black).isNull());
        QPainter p(&target);
        EXPECT_FALSE(Symbols::draw(p, QRectF(0, 0, 20, 20), name, Qt::black, 16));
    }
    EXPECT_EQ(inkOf(target).alphaSum, 0);
    // Sizes that cannot be drawn.
    EXPECT_TRUE(Symbols::image("cpu", 0, Qt::black).isNull());
    EXPECT_TRUE(Symbols::image("cpu", -3, Qt::black).isNull());
    EXPECT_TRUE(Symbols::image("cpu", std::nan(""), Qt::black).isNull());
}

TEST(Symbols, ImageSizeFormatAndPixelRatio) {
    QImage one = Symbols::image("cpu", 14, Qt::black);
    EXPECT_EQ(one.size(), QSize(14, 14));
    EXPECT_EQ(one.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_DOUBLE_EQ(one.devicePixelRatio(), 1.0);

    QImage two = Symbols::image("cpu", 14, Qt::black, Symbols::Weight::regular, 2.0);
    EXPECT_EQ(two.size(), QSize(28, 28));
    EXPECT_DOUBLE_EQ(two.devicePixelRatio(), 2.0);
    // The same symbol at twice the pixels: about four times the ink.
    double ratio = inkOf(two).alphaSum / inkOf(one).alphaSum;
    EXPECT_NEAR(ratio, 4.0, 0.6);

    EXPECT_EQ(Symbols::image("cpu", 13.2, Qt::black).size(), QSize(14, 14));
    EXPECT_EQ(Symbols::image("cpu", 10, Qt::black, Symbols::Weight::regular, 1.5).size(), QSize(15, 15));
}

TEST(Symbols, DrawsCentredInTheRectInTheColour) {
    QImage target(60, 40, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    QPainter p(&target);
    ASSERT_TRUE(Symbols::draw(p, QRectF(20, 10, 30, 20), "circle.fill", QColor(200, 30, 40), 16));
    p.end();
    Ink ink = inkOf(target);
    EXPECT_NEAR(ink.centroid.x(), 35, 0.5);
    EXPECT_NEAR(ink.centroid.y(), 20, 0.5);
    // The filled circle spans 20 of the grid's 24 units.
    EXPECT_NEAR(ink.bounds.width(), 16.0 * 20 / 24, 1.5);
    EXPECT_NEAR(ink.bounds.height(), 16.0 * 20 / 24, 1.5);
    QColor centre = QColor::fromRgba(target.pixel(35, 20));
    EXPECT_EQ(centre, QColor(200, 30, 40));
}

TEST(Symbols, RotationTurnsAboutTheCentre) {
    const int side = 32;
    QImage upright = Symbols::image("chevron.right", side, Qt::black);
    QImage turned(side, side, QImage::Format_ARGB32_Premultiplied);
    turned.fill(Qt::transparent);
    QPainter p(&turned);
    ASSERT_TRUE(Symbols::draw(p, QRectF(0, 0, side, side), "chevron.right", Qt::black, side,
                              Symbols::Weight::regular, 90));
    p.end();
    // A quarter turn clockwise maps (x, y) to (side - y, x).
    QImage expected = upright.transformed(QTransform().rotate(90)).convertToFormat(turned.format());
    ASSERT_EQ(expected.size(), turned.size());
    int different = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if (std::abs(qAlpha(expected.pixel(x, y)) - qAlpha(turned.pixel(x, y))) > 40) ++different;
    EXPECT_LT(different, 6);
    // The chevron now points down: wider than tall, open at the top, a point at the bottom.
    Ink ink = inkOf(turned);
    EXPECT_GT(ink.bounds.width(), ink.bounds.height());
    EXPECT_EQ(qAlpha(turned.pixel(side / 2, ink.bounds.top() + 1)), 0);
    EXPECT_GT(qAlpha(turned.pixel(side / 2, ink.bounds.bottom() - 1)), 128);
    EXPECT_NEAR(ink.centroid.x(), side / 2.0, 1.0);
    EXPECT_NEAR(ink.centroid.y(), side / 2.0, 1.0);
    EXPECT_NEAR(ink.alphaSum, inkOf(upright).alphaSum, inkOf(upright).alphaSum * 0.05);
}

TEST(Symbols, HeavierWeightsDrawMoreInk) {
    for (const char* name : {"chevron.right", "gearshape", "doc.on.doc", "magnifyingglass"}) {
        SCOPED_TRACE(name);
        double regular = inkOf(Symbols::image(name, 32, Qt::black, Symbols::Weight::regular)).alphaSum;
        double medium = inkOf(Symbols::image(name, 32, Qt::black, Symbols::Weight::medium)).alphaSum;
        double semibold = inkOf(Symbols::image(name, 32, Qt::black, Symbols::Weight::semibold)).alphaSum;
        double bold = inkOf(Symbols::image(name, 32, Qt::black, Symbols::Weight::bold)).alphaSum;
        EXPECT_LT(regular, medium);
        EXPECT_LT(medium, semibold);
        EXPECT_LT(semibold, bold);
        EXPECT_LT(bold, regular * 1.6);  // heavier, not a blob
    }
    // Translucent colours stay even: an outline over the fill does not darken the overlap.
    QImage image = Symbols::image("circle.fill", 32, QColor(0, 0, 0, 100), Symbols::Weight::bold);
    EXPECT_EQ(qAlpha(image.pixel(16, 16)), 100);
}

TEST(Symbols, SlashedSymbolDiffersFromItsBase) {
    QImage pin = Symbols::image("pin.fill", 32, Qt::black);
    QImage unpin = Symbols::image("pin.slash.fill", 32, Qt::black);
    int different = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (std::abs(qAlpha(pin.pixel(x, y)) - qAlpha(unpin.pixel(x, y))) > 128) ++different;
    EXPECT_GT(different, 30);
    // The stroke runs from the top left to the bottom right.
    EXPECT_GT(qAlpha(unpin.pixel(7, 7)), 128);
    EXPECT_GT(qAlpha(unpin.pixel(25, 25)), 128);
}

TEST(Symbols, FontGivesTheGlyphs) {
    QFont font = Symbols::font(20);
    EXPECT_EQ(font.pixelSize(), 20);
    EXPECT_EQ(font.family(), QStringLiteral("Material Icons"));
    QFontMetrics metrics(font);
    EXPECT_TRUE(metrics.inFontUcs4(Symbols::codepoint("doc.on.doc")));
    EXPECT_EQ(Symbols::font(0.2).pixelSize(), 1);
}

TEST(Symbols, MissingFontDrawsPlaceholdersAndWarnsOnce) {
    FontFileGuard guard;
    static int warnings = 0;
    warnings = 0;
    QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
            if (type == QtWarningMsg && msg.contains("symbol font")) ++warnings;
        });
    Symbols::setFontFile(QDir::tempPath() + "/no-such-dir/none.ttf");
    EXPECT_FALSE(Symbols::fontAvailable());
    EXPECT_TRUE(Symbols::has("cpu"));
    QImage a = Symbols::image("cpu", 24, Qt::black);
    QImage b = Symbols::image("doc.on.doc", 24, Qt::black, Symbols::Weight::bold, 2);
    qInstallMessageHandler(previous);
    EXPECT_EQ(warnings, 1);
    Ink ink = inkOf(a);
    EXPECT_GT(ink.opaque, 20);
    // A hollow square: the centre stays clear.
    EXPECT_EQ(qAlpha(a.pixel(12, 12)), 0);
    EXPECT_NEAR(ink.centroid.x(), 12, 0.5);
    EXPECT_GT(inkOf(b).opaque, 80);
    EXPECT_TRUE(Symbols::image("nope", 24, Qt::black).isNull());

    Symbols::setFontFile(guard.saved);
    EXPECT_TRUE(Symbols::fontAvailable());
    EXPECT_GT(qAlpha(Symbols::image("circle.fill", 24, Qt::black).pixel(12, 12)), 200);
}

// A sheet of every symbol, for a person to look at.
TEST(Symbols, SaveSheet) {
    const QStringList names = Symbols::names();
    const int columns = 10, cell = 40;
    const int rows = int((names.size() + columns - 1) / columns);
    QImage sheet(columns * cell, rows * cell, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    for (int i = 0; i < names.size(); ++i) {
        QRectF rect((i % columns) * cell, (i / columns) * cell, cell, cell);
        auto weight = i % 2 ? Symbols::Weight::regular : Symbols::Weight::semibold;
        Symbols::draw(p, rect, names[i], QColor(30, 30, 30), 28, weight);
    }
    p.end();
    EXPECT_TRUE(sheet.save(QStringLiteral(QUORVIN_TEST_OUTPUT) + "/symbols.png"));
}
