#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Core/UserDefaults.h"
#include "TestSupport.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Shared/GlassCardContainer.h"
#include "Views/Shared/PanelGlass.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

struct Options {
    Options(bool motion, bool transparency) {
        AccessibilityDisplayOptions::shared().setOverride(motion, transparency);
    }
    ~Options() { AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt); }
};

struct Settings {
    ~Settings() {
        UserDefaults::standard().remove(PanelGlassSettings::shared().tint.key());
        UserDefaults::standard().remove(PanelGlassSettings::shared().tone.key());
    }
};

QImage render(const QSize& size, const std::function<void(QPainter&)>& draw) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    draw(painter);
    return image;
}

TEST(PanelGlass, TonesRoundTripTheirRawValuesInOrder) {
    const QStringList names{"system", "graphite", "blue", "indigo", "purple", "pink", "red", "orange", "green", "teal"};
    ASSERT_EQ(PanelGlass::allTones().size(), size_t(names.size()));
    for (int i = 0; i < names.size(); ++i) {
        EXPECT_EQ(PanelGlass::rawValue(PanelGlass::allTones()[size_t(i)]), names[i]);
        EXPECT_EQ(PanelGlass::fromRawValue(names[i]), PanelGlass::allTones()[size_t(i)]);
    }
    EXPECT_FALSE(PanelGlass::fromRawValue("Blue"));
    EXPECT_FALSE(PanelGlass::fromRawValue(""));
    EXPECT_EQ(PanelGlass::effectiveTone("teal"), PanelGlass::Tone::teal);
    EXPECT_EQ(PanelGlass::effectiveTone("Teal"), PanelGlass::Tone::system);
    EXPECT_EQ(PanelGlass::effectiveTone("chartreuse"), PanelGlass::Tone::system);
}

TEST(PanelGlass, SwatchesAndTintsFollowTheAppearance) {
    QPalette light, dark;
    light.setColor(QPalette::Window, QColor(236, 236, 236));
    dark.setColor(QPalette::Window, QColor(40, 40, 44));
    EXPECT_EQ(PanelGlass::swatch(PanelGlass::Tone::system, light), QColor(236, 236, 236));
    EXPECT_EQ(PanelGlass::swatch(PanelGlass::Tone::graphite, light), SystemColors::gray(false));
    EXPECT_EQ(PanelGlass::swatch(PanelGlass::Tone::blue, light), SystemColors::blue(false));
    EXPECT_EQ(PanelGlass::swatch(PanelGlass::Tone::blue, dark), SystemColors::blue(true));
    EXPECT_EQ(PanelGlass::tintColor(PanelGlass::Tone::system, dark), QColor(40, 40, 44));
    // A tone's tint lies between the window colour and its swatch, in each appearance.
    for (const QPalette& p : {light, dark}) {
        const QColor tint = PanelGlass::tintColor(PanelGlass::Tone::red, p);
        const QColor window = p.color(QPalette::Window), swatch = PanelGlass::swatch(PanelGlass::Tone::red, p);
        EXPECT_NE(tint, window);
        EXPECT_NE(tint, swatch);
        EXPECT_GE(tint.red(), std::min(window.red(), swatch.red()));
        EXPECT_LE(tint.red(), std::max(window.red(), swatch.red()));
    }
    EXPECT_LT(PanelGlass::tintColor(PanelGlass::Tone::red, dark).lightness(),
              PanelGlass::tintColor(PanelGlass::Tone::red, light).lightness());
}

TEST(PanelGlass, StoredSettingsAreReadWithTheirDefaults) {
    Settings cleanup;
    auto& defaults = UserDefaults::standard();
    EXPECT_DOUBLE_EQ(PanelGlass::currentTint(), 0.55);
    EXPECT_EQ(PanelGlass::currentTone(), PanelGlass::Tone::system);
    defaults.setDouble(PanelGlassSettings::shared().tint.key(), 0.3);
    defaults.setString(PanelGlassSettings::shared().tone.key(), "indigo");
    EXPECT_DOUBLE_EQ(PanelGlass::currentTint(), 0.3);
    EXPECT_EQ(PanelGlass::currentTone(), PanelGlass::Tone::indigo);
    defaults.setString(PanelGlassSettings::shared().tint.key(), "0.3");
    EXPECT_DOUBLE_EQ(PanelGlass::currentTint(), 0.55);
    defaults.setBool(PanelGlassSettings::shared().tint.key(), true);
    EXPECT_DOUBLE_EQ(PanelGlass::currentTint(), 0.55);
    defaults.setDouble(PanelGlassSettings::shared().tint.key(), 7);
    EXPECT_DOUBLE_EQ(PanelGlass::currentTint(), 1.0);
    defaults.setDouble(PanelGlassSettings::shared().tint.key(), -1);
    EXPECT_DOUBLE_EQ(PanelGlass::currentTint(), 0.0);
    defaults.setInteger(PanelGlassSettings::shared().tone.key(), 3);
    EXPECT_EQ(PanelGlass::currentTone(), PanelGlass::Tone::system);
}

TEST(GlassCard, TheTailStandsOutsideTheBodyOnItsEdge) {
    const QRectF rect(0, 0, 208, 120);
    const CardTail leading{CardTail::Edge::leading, 60, 8, 11};
    EXPECT_EQ(GlassCard::bodyRect(rect, leading), QRectF(8, 0, 200, 120));
    EXPECT_EQ(GlassCard::bodyRect(rect, std::nullopt), rect);
    const CardTail trailing{CardTail::Edge::trailing, 60, 8, 11};
    EXPECT_EQ(GlassCard::bodyRect(rect, trailing), QRectF(0, 0, 200, 120));

    const QPainterPath shape = GlassCard::shape(rect, 16, leading);
    EXPECT_TRUE(shape.contains(QPointF(1.5, 60)));     // near the tip
    EXPECT_FALSE(shape.contains(QPointF(1.5, 45)));    // beside the tail, outside the body
    EXPECT_FALSE(shape.contains(QPointF(4, 74)));
    EXPECT_TRUE(shape.contains(QPointF(100, 60)));     // the body
    EXPECT_FALSE(shape.contains(QPointF(8.5, 0.5)));   // a rounded corner
    EXPECT_NEAR(shape.boundingRect().left(), 0, 0.25);  // the tip reaches the full length

    const QPainterPath right = GlassCard::shape(rect, 16, trailing);
    EXPECT_TRUE(right.contains(QPointF(206.5, 60)));
    EXPECT_FALSE(right.contains(QPointF(206.5, 45)));
    EXPECT_NEAR(right.boundingRect().right(), 208, 0.5);

    // A tail of length 0 (a closed card) adds nothing.
    const CardTail none{CardTail::Edge::leading, 60, 0, 11};
    EXPECT_EQ(GlassCard::shape(rect, 16, none).boundingRect(), GlassCard::shape(rect, 16, std::nullopt).boundingRect());
}

TEST(GlassCard, TheTailStaysOnTheStraightPartOfItsEdge) {
    const QRectF body(0, 0, 200, 120);
    // Above the top (a row at the very top of the list): it moves down to where the edge is straight.
    const CardTail high{CardTail::Edge::leading, -16, 8, 11};
    EXPECT_NEAR(GlassCard::tailCentre(body, 16, high), 16 * 1.528 + 11, 1e-9);
    const CardTail low{CardTail::Edge::leading, 500, 8, 11};
    EXPECT_NEAR(GlassCard::tailCentre(body, 16, low), 120 - 16 * 1.528 - 11, 1e-9);
    const CardTail middle{CardTail::Edge::leading, 60, 8, 11};
    EXPECT_DOUBLE_EQ(GlassCard::tailCentre(body, 16, middle), 60);
    // Too short a card for the tail: its middle.
    EXPECT_DOUBLE_EQ(GlassCard::tailCentre(QRectF(0, 0, 26, 26), 13, middle), 13);
    // The shape at a strange y still joins the body.
    const QPainterPath shape = GlassCard::shape(QRectF(0, 0, 208, 120), 16, high);
    EXPECT_TRUE(shape.contains(QPointF(2, 16 * 1.528 + 11)));
}

TEST(GlassCard, SurfaceTakesTheToneAndTintAtPaintTime) {
    Options options(false, false);
    Settings cleanup;
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(236, 236, 236));
    palette.setColor(QPalette::WindowText, Qt::black);
    auto centre = [&] {
        const QImage image = render({100, 60}, [&](QPainter& p) {
            GlassCard::paint(p, QRectF(0, 0, 100, 60), 12, false, std::nullopt, GlassCard::Appearance::current(palette));
        });
        return image.pixelColor(50, 40);
    };
    const QColor system = centre();
    EXPECT_GT(system.alpha(), 200);
    EXPECT_LT(system.alpha(), 255);  // translucent
    EXPECT_NEAR(system.red(), system.blue(), 2);

    UserDefaults::standard().setString(PanelGlassSettings::shared().tone.key(), "blue");
    const QColor blue = centre();
    EXPECT_GT(blue.blue(), blue.red() + 20);

    UserDefaults::standard().setDouble(PanelGlassSettings::shared().tint.key(), 0.0);
    const QColor untinted = centre();
    EXPECT_LT(untinted.alpha(), blue.alpha());
    EXPECT_LE(untinted.alpha(), 230);  // see-through with no tint: a tenth or more shows
    EXPECT_NEAR(untinted.red(), untinted.blue(), 2);

    UserDefaults::standard().setString(PanelGlassSettings::shared().tint.key(), "strong");  // not a number: the default
    EXPECT_EQ(centre(), blue);
}

// At the default tint a window behind a card never reads through it: black and white behind any
// pixel of the card's body, rim and sheen included, come out at most 1.1:1 apart on screen, in
// light, dark and grey palettes and in every tone. A compositor rounds the window's alpha and the
// blend once more (a step darker or lighter under picom): the painting keeps that step to spare.
TEST(GlassCard, TextBehindTheCardDoesNotReadThroughIt) {
    Options options(false, false);
    Settings cleanup;
    const QRectF rect(0, 0, 120, 80);
    const QPainterPath inside = GlassCard::shape(rect.adjusted(1, 1, -1, -1), 15, std::nullopt);
    for (const QColor window : {QColor(239, 239, 239), QColor(255, 255, 255), QColor(128, 128, 128), QColor(40, 40, 44),
                                QColor(32, 35, 38), QColor(0, 0, 0)}) {
        QPalette palette;
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::WindowText, window.lightness() < 128 ? Qt::white : Qt::black);
        for (PanelGlass::Tone tone : PanelGlass::allTones()) {
            UserDefaults::standard().setString(PanelGlassSettings::shared().tone.key(), PanelGlass::rawValue(tone));
            const GlassCard::Appearance look = GlassCard::Appearance::current(palette);
            ASSERT_DOUBLE_EQ(look.tintOpacity, 0.55);
            auto over = [&](const QColor& behind) {
                QImage image(rect.size().toSize(), QImage::Format_RGB32);
                image.fill(behind);
                QPainter p(&image);
                GlassCard::paint(p, rect, 15, true, std::nullopt, look);
                return image;
            };
            const QImage black = over(Qt::black), white = over(Qt::white);
            double worst = 1;
            for (int y = 0; y < black.height(); ++y)
                for (int x = 0; x < black.width(); ++x)
                    if (inside.contains(QPointF(x + 0.5, y + 0.5)))
                        worst = std::max(worst, SystemColors::contrast(white.pixelColor(x, y), black.pixelColor(x, y)));
            EXPECT_LE(worst, 1.075) << window.name().toStdString() << " " << PanelGlass::rawValue(tone).toStdString();
        }
    }
}

TEST(GlassCard, ReduceTransparencyPaintsTheOpaqueWindowColour) {
    Options options(false, true);
    Settings cleanup;
    UserDefaults::standard().setString(PanelGlassSettings::shared().tone.key(), "red");
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(30, 32, 36));
    const QImage image = render({100, 60}, [&](QPainter& p) {
        GlassCard::paint(p, QRectF(0, 0, 100, 60), 12, true, std::nullopt, GlassCard::Appearance::current(palette));
    });
    EXPECT_EQ(image.pixelColor(50, 30), QColor(30, 32, 36));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);  // outside the rounded corner
}

TEST(GlassCard, WidgetRepaintsWhenTheSettingsChangeAndLaysContentOnTheBody) {
    Settings cleanup;
    GlassCard card(16, std::nullopt, true, CardTail{CardTail::Edge::trailing, 40, 8, 11});
    auto* content = new QWidget;
    card.setContent(content);
    card.resize(208, 100);
    card.show();
    QApplication::processEvents();
    EXPECT_EQ(content->geometry(), QRect(0, 0, 200, 100));
    card.setTail(std::nullopt);
    QApplication::processEvents();
    EXPECT_EQ(content->geometry(), QRect(0, 0, 208, 100));

    const QImage before = card.grab().toImage();
    UserDefaults::standard().setString(PanelGlassSettings::shared().tone.key(), "green");
    QApplication::processEvents();
    const QImage after = card.grab().toImage();
    EXPECT_NE(before.pixel(100, 50), after.pixel(100, 50));
}

TEST(GlassCard, AKeptSurfaceDrawsWhatTheCardDrawsAndFollowsEveryChange) {
    Settings cleanup;
    GlassCard card(20, std::nullopt, true);
    card.resize(200, 120);
    card.show();
    QApplication::processEvents();
    // Compared with the surface painted directly, as premultiplied colour.
    auto differing = [&](const QImage& shot, const QRect& part = QRect()) {
        const QRect area = part.isNull() ? card.rect() : part;
        const QImage expected = render(card.size(), [&](QPainter& p) {
            GlassCard::paint(p, QRectF(card.rect()), card.cornerRadius(), card.drawsRim(), card.tail(),
                             GlassCard::Appearance::current(card.palette()));
        });
        const QImage got = shot.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        int n = 0;
        for (int y = 0; y < area.height(); ++y)
            for (int x = 0; x < area.width(); ++x) {
                const QRgb u = got.pixel(x, y), v = expected.pixel(area.left() + x, area.top() + y);
                if (std::abs(qRed(u) - qRed(v)) > 2 || std::abs(qGreen(u) - qGreen(v)) > 2 ||
                    std::abs(qBlue(u) - qBlue(v)) > 2 || std::abs(qAlpha(u) - qAlpha(v)) > 2)
                    ++n;
            }
        return n;
    };
    card.grab();
    EXPECT_EQ(differing(card.grab().toImage()), 0);
    EXPECT_TRUE(card.keepsSurface());
    // A part repainted alone is that part of the surface.
    const QRect part(4, 90, 60, 30);  // a rounded corner and the rim
    EXPECT_EQ(differing(card.grab(part).toImage(), part), 0);

    card.setCornerRadius(6);
    EXPECT_EQ(differing(card.grab().toImage()), 0);
    card.setDrawsRim(false);
    EXPECT_EQ(differing(card.grab().toImage()), 0);
    card.setTail(CardTail{CardTail::Edge::trailing, 30, 10, 8});
    QApplication::processEvents();
    EXPECT_EQ(differing(card.grab().toImage()), 0);
    UserDefaults::standard().setString(PanelGlassSettings::shared().tone.key(), "green");
    QApplication::processEvents();
    EXPECT_EQ(differing(card.grab().toImage()), 0);
    QPalette dark = card.palette();
    dark.setColor(QPalette::Window, QColor(40, 40, 44));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    card.setPalette(dark);
    EXPECT_EQ(differing(card.grab().toImage()), 0);
    {
        Options opaque(false, true);
        EXPECT_EQ(differing(card.grab().toImage()), 0);
    }
    card.resize(240, 90);
    QApplication::processEvents();
    EXPECT_EQ(differing(card.grab().toImage()), 0);
    EXPECT_EQ(differing(card.grab().toImage()), 0);
    EXPECT_TRUE(card.keepsSurface());
}

TEST(GlassCardContainer, ACardReplacingOneWithItsMorphIdentifierGrowsOutOfIt) {
    Options options(false, false);
    GlassCardContainer container(10);
    container.resize(400, 300);
    auto* old = new GlassCard(13, QStringLiteral("clipboard-preview"), true, std::nullopt, &container);
    old->setGeometry(20, 100, 26, 26);
    container.show();
    QApplication::processEvents();

    auto* next = new GlassCard(16, QStringLiteral("clipboard-preview"), true, std::nullopt, &container);
    next->setGeometry(60, 40, 300, 200);
    delete old;
    next->show();
    ASSERT_TRUE(container.isMorphing("clipboard-preview"));
    EXPECT_TRUE(next->isSurfaceHidden());
    const QRectF start = *container.morphRect("clipboard-preview");
    EXPECT_NEAR(start.left(), 20, 0.5);
    EXPECT_NEAR(start.width(), 26, 0.5);

    ASSERT_TRUE(TestSupport::waitFor([&] { return !container.isMorphing("clipboard-preview"); }, 3000));
    EXPECT_FALSE(next->isSurfaceHidden());

    // A card without a predecessor, or with another identifier, simply appears.
    auto* other = new GlassCard(16, QStringLiteral("clipboard-footer"), true, std::nullopt, &container);
    other->setGeometry(10, 10, 50, 50);
    other->show();
    EXPECT_FALSE(container.isMorphing("clipboard-footer"));
    EXPECT_FALSE(container.isMorphing("clipboard-preview"));

    // One that leaves long before the next appears is not morphed from.
    next->hide();
    TestSupport::spin(GlassCardContainer::morphWindowMs + 100);
    auto* late = new GlassCard(16, QStringLiteral("clipboard-preview"), true, std::nullopt, &container);
    late->setGeometry(60, 40, 300, 200);
    late->show();
    EXPECT_FALSE(container.isMorphing("clipboard-preview"));
}

}  // namespace
