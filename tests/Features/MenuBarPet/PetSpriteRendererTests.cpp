#include "PetSpriteTestSupport.h"
#include "Source/Features/MenuBarPet/PetSprite.h"

#include <gtest/gtest.h>

using namespace PetSpriteTest;
using Px = PetSprite::Px;
using Pose = PetSprite::Pose;

namespace {
constexpr QRgb red = 0xffff0000, green = 0xff00ff00, blue = 0xff0000ff;
constexpr QRgb outline = PetSprite::C::outline;

Pose pose(std::vector<Px> parts, std::vector<Px> details = {}, std::vector<Px> free = {}) {
    return {std::move(parts), std::move(details), std::move(free)};
}

int countColour(const QImage& image, QRgb c) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += pixel(image, x, y) == c;
    return n;
}
}  // namespace

TEST(PetSpriteRenderer, MakesATransparentPremultipliedCanvas) {
    const QImage image = PetSprite::render({});
    EXPECT_EQ(image.size(), QSize(32, 20));
    EXPECT_EQ(image.format(), QImage::Format_RGBA8888_Premultiplied);
    EXPECT_TRUE(isBlank(image));
}

TEST(PetSpriteRenderer, OutlinesPartsOnlyAndDrawsLayersInOrder) {
    // A lone part gets a one-pixel ring; a detail on top covers it without outline; free goes over both.
    const QImage image = PetSprite::render(pose({{5, 5, 3, 2, red}}, {{6, 5, 1, 1, green}}, {{7, 6, 4, 1, blue}}));
    EXPECT_EQ(pixel(image, 4, 4), outline);
    EXPECT_EQ(pixel(image, 8, 7), outline);
    EXPECT_EQ(pixel(image, 5, 5), red);
    EXPECT_EQ(pixel(image, 6, 5), green);
    EXPECT_EQ(pixel(image, 7, 6), blue);
    EXPECT_EQ(pixel(image, 10, 6), blue);  // free runs over the outline and past it
    EXPECT_EQ(qAlpha(pixel(image, 3, 5)), 0);
    EXPECT_EQ(countColour(image, outline), 5 * 4 - 6 - 1);

    // Without parts there is no outline at all.
    const QImage loose = PetSprite::render(pose({}, {{2, 2, 2, 2, green}}, {{10, 10, 1, 1, blue}}));
    EXPECT_EQ(countColour(loose, outline), 0);
    EXPECT_EQ(countColour(loose, green), 4);
    EXPECT_EQ(countColour(loose, blue), 1);
}

TEST(PetSpriteRenderer, TouchingPartsShareOneContourWithoutASeam) {
    // Two blocks side by side: the second's outline must not cut into the first.
    const QImage image = PetSprite::render(pose({{5, 5, 3, 3, red}, {8, 6, 3, 3, green}}));
    for (int y = 5; y < 8; ++y) EXPECT_EQ(pixel(image, 7, y), red) << y;
    for (int y = 6; y < 9; ++y) EXPECT_EQ(pixel(image, 8, y), green) << y;
    EXPECT_EQ(pixel(image, 8, 5), outline);
    EXPECT_EQ(pixel(image, 7, 8), outline);
}

TEST(PetSpriteRenderer, ClipsAtTheCanvasEdge) {
    // A leg ending on row 18 has its outline on row 19; one reaching past the edge loses it.
    const QImage image = PetSprite::render(pose({{3, 15, 2, 4, red}, {30, 17, 5, 5, green}, {-3, -3, 4, 4, blue}}));
    EXPECT_EQ(pixel(image, 3, 19), outline);
    EXPECT_EQ(pixel(image, 3, 18), red);
    EXPECT_EQ(pixel(image, 31, 19), green);
    EXPECT_EQ(pixel(image, 0, 0), blue);
    EXPECT_EQ(pixel(image, 1, 1), outline);
    // Nothing past the left edge comes back in on the row above.
    for (int y = 0; y < 4; ++y) EXPECT_EQ(qAlpha(pixel(image, 31, y)), 0) << y;
}

TEST(PetSpriteRenderer, DissolveFollowsTheFixedMaskAndSparesFreeRectangles) {
    const Pose full = pose({{-1, -1, 34, 22, red}}, {}, {{0, 0, 2, 1, blue}});
    EXPECT_EQ(countColour(PetSprite::render(full, 0), red), 32 * 20 - 2);

    const QImage gone = PetSprite::render(full, 1);
    EXPECT_EQ(countColour(gone, red), 0);
    EXPECT_EQ(countColour(gone, blue), 2);

    // Mask values: (0,0) is 0, (0,1) is 54, (1,0) is 73; a pixel goes when v / 97 < dissolve.
    const Pose plain = pose({{-1, -1, 34, 22, red}});
    const struct {
        double dissolve;
        bool at00, at01, at10;
    } cases[] = {{0.0001, false, true, true},
                 {54 / 97.0, false, true, true},
                 {55 / 97.0, false, false, true},
                 {73 / 97.0, false, false, true},
                 {74 / 97.0, false, false, false}};
    for (const auto& c : cases) {
        const QImage image = PetSprite::render(plain, c.dissolve);
        EXPECT_EQ(qAlpha(pixel(image, 0, 0)) != 0, c.at00) << c.dissolve;
        EXPECT_EQ(qAlpha(pixel(image, 0, 1)) != 0, c.at01) << c.dissolve;
        EXPECT_EQ(qAlpha(pixel(image, 1, 0)) != 0, c.at10) << c.dissolve;
    }
    // Half the mask's values lie below 0.5, so about half the canvas goes.
    const int left = countColour(PetSprite::render(plain, 0.5), red);
    EXPECT_GT(left, 240);
    EXPECT_LT(left, 400);
    // A rising dissolve only ever takes more pixels.
    int previous = 640;
    for (int step = 0; step <= 10; ++step) {
        const int now = countColour(PetSprite::render(plain, step / 10.0), red);
        EXPECT_LE(now, previous);
        previous = now;
    }
}

TEST(PetSpriteRenderer, MergeConcatenatesEachLayerInArgumentOrder) {
    const Pose a = pose({{1, 1, 1, 1, red}}, {{2, 2, 1, 1, red}}, {});
    const Pose b = pose({{3, 3, 1, 1, blue}}, {}, {{4, 4, 1, 1, blue}});
    const Pose m = PetSprite::merge({a, b, a});
    EXPECT_EQ(m.parts, (std::vector<Px>{{1, 1, 1, 1, red}, {3, 3, 1, 1, blue}, {1, 1, 1, 1, red}}));
    EXPECT_EQ(m.details, (std::vector<Px>{{2, 2, 1, 1, red}, {2, 2, 1, 1, red}}));
    EXPECT_EQ(m.free, (std::vector<Px>{{4, 4, 1, 1, blue}}));
}

TEST(PetSpriteSilhouette, IsTheBlackFirstWalkFrameCroppedAtDoubleSize) {
    const QImage image = PetSprite::silhouette(PetSpecies::named("ginger"));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(48, 34));
    EXPECT_EQ(image.deviceIndependentSize(), QSizeF(24, 17));
    const QImage& walk1 = PetSprite::frames(PetSprite::Animation::walk, PetSpecies::named("ginger")).front();
    int visible = 0;
    for (int y = 0; y < 34; ++y)
        for (int x = 0; x < 48; ++x) {
            const QRgb c = pixel(image, x, y);
            const bool drawn = qAlpha(pixel(walk1, 5 + x / 2, 3 + y / 2)) != 0;
            EXPECT_EQ(qAlpha(c) != 0, drawn) << x << "," << y;
            if (qAlpha(c) != 0) {
                EXPECT_EQ(c, qRgb(0, 0, 0));
            }
            visible += drawn;
        }
    EXPECT_GT(visible, 400);
    // Every edge row and column of the crop holds figure.
    const Box box = opaqueBox(image);
    EXPECT_EQ(box.minX, 0);
    EXPECT_EQ(box.minY, 0);
    EXPECT_EQ(box.maxX, 47);
    EXPECT_EQ(box.maxY, 33);
}

TEST(PetSpriteSilhouette, FromCachedFramesLeavesTheCurrentSpeciesAlone) {
    const PetSpecies& bear = PetSpecies::named("bear");
    PetSprite::frames(PetSprite::Animation::walk, bear);
    PetSprite::sp() = PetSpecies::named("owl");
    const QImage image = PetSprite::silhouette(bear);
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(PetSprite::sp().id, "owl");
    for (const PetSpecies& s : PetSpecies::all()) EXPECT_FALSE(PetSprite::silhouette(s).isNull()) << s.id.toStdString();
}
