#include "Source/Features/Preferences/StatusIcon.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/MenuBarPet/PetSprite.h"

#include <gtest/gtest.h>

namespace {
// Whether two images have the same pixels.
bool samePixels(const QImage& a, const QImage& b) {
    return a.size() == b.size() &&
           a.convertToFormat(QImage::Format_ARGB32_Premultiplied) == b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
}  // namespace

TEST(StatusIcon, ChoicesAndIds) {
    const std::vector<StatusIcon>& all = StatusIcon::all();
    ASSERT_EQ(StatusIcon::candidateSymbols().size(), 40);
    ASSERT_EQ(all.size(), 41u);  // every candidate is in the symbol map, then the original icon
    EXPECT_EQ(all.front().id(), QStringLiteral("symbol:gauge.with.dots.needle.67percent"));
    EXPECT_EQ(all[12].id(), QStringLiteral("symbol:moon.stars.fill"));
    EXPECT_EQ(all.back(), StatusIcon::original());
    for (const StatusIcon& icon : all) {
        EXPECT_EQ(StatusIcon::fromID(icon.id()), icon);
        EXPECT_FALSE(icon.image().isNull()) << icon.id().toStdString();
    }
    EXPECT_EQ(StatusIcon::pet("cat").id(), QStringLiteral("pet:cat"));
    EXPECT_EQ(StatusIcon::fromID("pet:cat"), StatusIcon::pet("cat"));
    EXPECT_EQ(StatusIcon::fromID("original"), StatusIcon::original());
    for (const char* bad : {"", "symbol:", "pet:", "Original", "cpu", "emoji:cat"})
        EXPECT_FALSE(StatusIcon::fromID(bad).has_value()) << bad;

    UserDefaults defaults{QString{}};
    EXPECT_EQ(StatusIcon::storedID(defaults), QStringLiteral("original"));
    defaults.setString("statusIcon", "symbol:cpu");
    EXPECT_EQ(StatusIcon::storedID(defaults), QStringLiteral("symbol:cpu"));
    defaults.setInteger("statusIcon", 3);  // not a text: the default
    EXPECT_EQ(StatusIcon::storedID(defaults), QStringLiteral("original"));
}

TEST(StatusIcon, ImagesAreTemplatesAndMissingOnesFallBackToTheGauge) {
    const QImage original = StatusIcon::original().image(2.0);
    ASSERT_FALSE(original.isNull()) << "the MenuBarIcon asset is missing";
    EXPECT_EQ(original.deviceIndependentSize(), QSizeF(18, 18));
    // A template: black shapes on transparency.
    bool opaque = false;
    for (int y = 0; y < original.height(); ++y) {
        for (int x = 0; x < original.width(); ++x) {
            const QColor c = original.pixelColor(x, y);
            if (c.alpha() > 128) {
                opaque = true;
                EXPECT_LT(c.value(), 40);
            }
        }
    }
    EXPECT_TRUE(opaque);

    const QImage gauge = StatusIcon::symbol("gauge.medium").image(1.0);
    ASSERT_FALSE(gauge.isNull());
    EXPECT_TRUE(StatusIcon::symbol("no.such.symbol").image().isNull());
    for (const char* id : {"symbol:no.such.symbol", "garbage", ""})
        EXPECT_TRUE(samePixels(StatusIcon::statusItemImage(id, 1.0), gauge)) << id;
    EXPECT_FALSE(samePixels(StatusIcon::statusItemImage("symbol:cpu", 1.0), gauge));
    EXPECT_TRUE(samePixels(StatusIcon::statusItemImage("original", 2.0), original));

    // Tinting keeps the shape and changes the colour.
    const QImage white = StatusIcon::tinted(original, Qt::white);
    ASSERT_EQ(white.size(), original.size());
    EXPECT_EQ(white.devicePixelRatio(), 2.0);
    for (int y = 0; y < white.height(); ++y) {
        for (int x = 0; x < white.width(); ++x) {
            const QColor o = original.pixelColor(x, y), w = white.pixelColor(x, y);
            EXPECT_NEAR(w.alpha(), o.alpha(), 1);
            if (w.alpha() > 128) {
                EXPECT_GT(w.value(), 240);
            }
        }
    }
}

TEST(StatusIcon, PetsAreTheSpeciesWalkingSilhouette) {
    // The default species' first walk frame spans 24 by 17 sprite pixels with its outline.
    for (double dpr : {1.0, 2.0, 1.5}) {
        const QImage ginger = StatusIcon::pet("ginger").image(dpr);
        ASSERT_FALSE(ginger.isNull()) << dpr;
        EXPECT_NEAR(ginger.deviceIndependentSize().width(), 24, 0.5) << dpr;
        EXPECT_NEAR(ginger.deviceIndependentSize().height(), 17, 0.5) << dpr;
        EXPECT_EQ(ginger.devicePixelRatio(), dpr);
        int opaque = 0;
        for (int y = 0; y < ginger.height(); ++y) {
            for (int x = 0; x < ginger.width(); ++x) {
                const QColor c = ginger.pixelColor(x, y);
                if (c.alpha() == 0) continue;
                ++opaque;
                EXPECT_EQ(c.alpha(), 255);  // hard-edged, never smoothed
                EXPECT_EQ(c.value(), 0);
            }
        }
        EXPECT_GT(opaque, ginger.width() * ginger.height() / 4);
    }
    // The bitmap at 2x is the silhouette pixel for pixel.
    EXPECT_TRUE(samePixels(StatusIcon::pet("ginger").image(2.0), PetSprite::silhouette(PetSpecies::named("ginger"))));
    // An id that names no species draws the default one; other species look different.
    EXPECT_TRUE(samePixels(StatusIcon::pet("cat").image(2.0), StatusIcon::pet("ginger").image(2.0)));
    const QImage mouse = StatusIcon::pet("mouse").image(1.0);
    ASSERT_FALSE(mouse.isNull());
    EXPECT_LT(mouse.width(), 24);
    // The status item shows the pet rather than falling back to the gauge.
    const QImage gauge = StatusIcon::symbol("gauge.medium").image(1.0);
    EXPECT_TRUE(samePixels(StatusIcon::statusItemImage("pet:owl", 1.0), StatusIcon::pet("owl").image(1.0)));
    EXPECT_FALSE(samePixels(StatusIcon::statusItemImage("pet:owl", 1.0), gauge));
}
