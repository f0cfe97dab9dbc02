// The release banner's landscape, checked on rendered frames: where the grid puts the horizon and
// the meadow, the sky's bands, the light's square, the walkers' places, what each weather paints,
// and which theme a version gets.
#include "Source/Features/MenuBarPet/PetSpecies.h"
#include "Source/Features/Onboarding/PixelScene.h"

#include <QImage>
#include <QMap>
#include <QSet>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Theme = PixelScene::Theme;
using Particles = PixelScene::Particles;

constexpr QSizeF banner(920, 240);

QRgb opaque(QRgb rgb) { return 0xff000000u | rgb; }

// A plain landscape: sky, hills and meadow only, in colours that appear nowhere else.
Theme plain() {
    Theme t;
    t.sky = {0x101010, 0x202020, 0x303030, 0x404040, 0x505050, 0x606060};
    t.far = 0x0000A0;
    t.near = 0x0000C0;
    t.ground = 0x00A000;
    t.grass = 0x00C000;
    return t;
}

QRgb at(const QImage& image, int x, int y) { return image.pixel(x, y); }

// Cells (column, row) where two frames differ anywhere inside the cell.
QSet<QPair<int, int>> differingCells(const QImage& a, const QImage& b) {
    QSet<QPair<int, int>> cells;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) cells.insert({x / 4, y / 4});
    return cells;
}

Theme withParticles(Theme t, QList<Particles> particles) {
    t.particles = std::move(particles);
    return t;
}

}  // namespace

TEST(PixelSceneGrid, CellsOfFourPointsWithHorizonAndGroundAtFixedShares) {
    const PixelScene::Grid g = PixelScene::Grid::forSize(banner);
    EXPECT_EQ(g.columns, 231);
    EXPECT_EQ(g.rows, 61);
    EXPECT_EQ(g.horizon, 37);  // 61 × 62 / 100
    EXPECT_EQ(g.ground, 48);   // 61 × 80 / 100

    const PixelScene::Grid toast = PixelScene::Grid::forSize(QSizeF(360, 70));
    EXPECT_EQ(toast.columns, 91);
    EXPECT_EQ(toast.rows, 18);
    EXPECT_EQ(toast.horizon, 11);
    EXPECT_EQ(toast.ground, 14);

    const PixelScene::Grid empty = PixelScene::Grid::forSize(QSizeF(0, 0));
    EXPECT_EQ(empty.columns, 1);
    EXPECT_EQ(empty.rows, 1);
    EXPECT_EQ(empty.horizon, 0);
    EXPECT_EQ(empty.ground, 0);

    // Sizes that are not sizes draw as nothing rather than failing.
    for (QSizeF odd : {QSizeF(0, 0), QSizeF(-5, 10), QSizeF(qQNaN(), 40), QSizeF(qInf(), 3)}) {
        const QImage frame = PixelScene::render(odd, 12.5, Theme::sequence()[7]);
        EXPECT_LE(frame.width(), 4) << odd.width() << "x" << odd.height();
    }
    EXPECT_EQ(PixelScene::Grid::forSize(QSizeF(qQNaN(), 40)).columns, 1);
}

TEST(PixelSceneDrawing, SkyBandsFromTheTopDownThenHillsAndTheMeadowFromTheGroundRow) {
    const Theme theme = plain();
    const QImage frame = PixelScene::render(banner, 0, theme);
    ASSERT_EQ(frame.size(), QSize(920, 240));
    const PixelScene::Grid g = PixelScene::Grid::forSize(banner);

    // Band i starts at row horizon × i / 6 and its colour fills that row wherever the hills leave
    // sky; the row above it still belongs to the band before.
    const auto rowIs = [&](int y, QRgb sky) {
        int skyPixels = 0;
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb p = at(frame, x, y);
            if (p == opaque(sky)) ++skyPixels;
            else if (p != opaque(theme.far) && p != opaque(theme.near)) return false;
        }
        return skyPixels > 0;
    };
    for (int i = 0; i < 6; ++i) {
        const int row = g.horizon * i / 6;
        EXPECT_TRUE(rowIs(4 * row, theme.sky[i])) << "band " << i;
        EXPECT_TRUE(rowIs(4 * row + 3, theme.sky[i])) << "band " << i;
        if (i > 0) {
            EXPECT_TRUE(rowIs(4 * row - 1, theme.sky[i - 1])) << "band " << i;
        }
    }
    // The upper bands are never covered: every pixel of the top row is the first band's.
    for (int x = 0; x < frame.width(); ++x) ASSERT_EQ(at(frame, x, 0), opaque(theme.sky[0]));

    // The row above the ground row is hills everywhere, the ground row is grass, the rest meadow.
    for (int x = 0; x < frame.width(); ++x) {
        const QRgb above = at(frame, x, 4 * g.ground - 1);
        ASSERT_TRUE(above == opaque(theme.near) || above == opaque(theme.far)) << x;
        for (int y = 4 * g.ground; y < 4 * g.ground + 4; ++y) ASSERT_EQ(at(frame, x, y), opaque(theme.grass)) << x;
        for (int y = 4 * g.ground + 4; y < frame.height(); ++y) ASSERT_EQ(at(frame, x, y), opaque(theme.ground)) << x;
    }
    // Both hill ranges show.
    QSet<QRgb> seen;
    for (int y = 0; y < 4 * g.ground; ++y)
        for (int x = 0; x < frame.width(); ++x) seen.insert(at(frame, x, y));
    EXPECT_TRUE(seen.contains(opaque(theme.far)));
    EXPECT_TRUE(seen.contains(opaque(theme.near)));

    // No sky colours: the canvas stays transparent above the hills.
    Theme noSky = theme;
    noSky.sky.clear();
    const QImage bare = PixelScene::render(banner, 0, noSky);
    EXPECT_EQ(qAlpha(at(bare, 0, 0)), 0);
    EXPECT_EQ(qAlpha(at(bare, 919, 20)), 0);
    EXPECT_EQ(at(bare, 0, 239), opaque(theme.ground));
}

TEST(PixelSceneDrawing, TheLightIsASevenCellSquareAtSeventyPercentAcrossAndItsRowAboveTheHorizon) {
    Theme theme = plain();
    theme.light = 0xFFEE00;
    theme.lightRow = 0.5;
    const QImage frame = PixelScene::render(banner, 3, theme);
    const PixelScene::Grid g = PixelScene::Grid::forSize(banner);
    const int column = g.columns * 70 / 100;               // 161
    const int row = int(theme.lightRow * g.horizon) - 4;   // 14
    ASSERT_EQ(column, 161);
    ASSERT_EQ(row, 14);
    const QRgb light = opaque(*theme.light);
    for (int y = 4 * row; y < 4 * (row + 7); ++y)
        for (int x = 4 * column; x < 4 * (column + 7); ++x) ASSERT_EQ(at(frame, x, y), light) << x << "," << y;
    EXPECT_NE(at(frame, 4 * column - 1, 4 * row + 10), light);
    EXPECT_NE(at(frame, 4 * (column + 7), 4 * row + 10), light);
    EXPECT_NE(at(frame, 4 * column + 10, 4 * row - 1), light);
    EXPECT_NE(at(frame, 4 * column + 10, 4 * (row + 7)), light);

    // It does not move, and without a light there is none.
    EXPECT_EQ(PixelScene::render(banner, 90, theme).pixel(4 * column + 10, 4 * row + 10), light);
    theme.light.reset();
    EXPECT_NE(PixelScene::render(banner, 3, theme).pixel(4 * column + 10, 4 * row + 10), light);
}

TEST(PixelSceneDrawing, WalkersStartAThirdApartAtTimeZeroOnTheMeadowsEdge) {
    Theme without = plain();
    Theme with = plain();
    with.walkers = {"ginger", "corgi", "bunny"};
    const QImage a = PixelScene::render(banner, 0, without);
    const QImage b = PixelScene::render(banner, 0, with);
    const PixelScene::Grid g = PixelScene::Grid::forSize(banner);

    // Walker i stands at x = (width + 120) × i / 3 and is drawn 60 points to the left of it, twice
    // its pixel size, its lowest 6 points over the meadow's top.
    const double span = 920 + 120;
    const QRectF places[] = {QRectF(-60, 4 * g.ground - 34, 64, 40), QRectF(span / 3 - 60, 4 * g.ground - 34, 64, 40),
                             QRectF(2 * span / 3 - 60, 4 * g.ground - 34, 64, 40)};
    int inPlace[3] = {0, 0, 0};
    int overMeadow = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) == b.pixel(x, y)) continue;
            bool placed = false;
            for (int i = 0; i < 3; ++i)
                if (places[i].adjusted(-1, -1, 1, 1).contains(QPointF(x + 0.5, y + 0.5))) ++inPlace[i], placed = true;
            ASSERT_TRUE(placed) << "a walker pixel at " << x << "," << y;
            if (y >= 4 * g.ground) ++overMeadow;
        }
    EXPECT_GT(inPlace[1], 100);
    EXPECT_GT(inPlace[2], 100);
    EXPECT_GT(overMeadow, 0);

    // An id that names no species walks as the first species of the table.
    Theme unknown = with;
    unknown.walkers = {"no-such-pet", "corgi", "bunny"};
    Theme first = with;
    first.walkers[0] = PetSpecies::all().front().id;
    EXPECT_EQ(PixelScene::render(banner, 0, unknown), PixelScene::render(banner, 0, first));

    // The first one enters from the left: after 60 / 14 s it stands fully in view at the left edge.
    const QImage entered = PixelScene::render(banner, 60.0 / 14, with);
    int firstPixels = 0;
    for (int y = 4 * g.ground - 34; y < 4 * g.ground + 6; ++y)
        for (int x = 0; x < 66; ++x)
            if (entered.pixel(x, y) != a.pixel(x, y)) ++firstPixels;
    EXPECT_GT(firstPixels, 100);

    // They move right: a second later the middle walker's pixels lie 19 points further on.
    const QImage later = PixelScene::render(banner, 1, with);
    const auto leftmostDifference = [&](const QImage& frame, int from, int to) {
        for (int x = from; x < to; ++x)
            for (int y = 4 * g.ground - 34; y < 4 * g.ground + 6; ++y)
                if (frame.pixel(x, y) != a.pixel(x, y)) return x;
        return -1;
    };
    const int now = leftmostDifference(b, 250, 400);
    const int then = leftmostDifference(later, 250, 400);
    ASSERT_GE(now, 0);
    ASSERT_GE(then, 0);
    EXPECT_NEAR(then - now, 19, 4);
}

TEST(PixelSceneDrawing, EachWeatherPaintsItsOwnCountOfBoxes) {
    const Theme base = plain();
    const double t = 4.25;
    const QImage bare = PixelScene::render(banner, t, base);
    const PixelScene::Grid g = PixelScene::Grid::forSize(banner);

    // Stars: 70 one-cell stars in the upper 80 % of the sky, once however often listed.
    const QImage stars = PixelScene::render(banner, t, withParticles(base, {Particles::stars}));
    const auto starCells = differingCells(bare, stars);
    EXPECT_LE(starCells.size(), 70);
    EXPECT_GE(starCells.size(), 60);  // a few share a cell
    for (const auto& c : starCells) EXPECT_LT(c.second, int(g.horizon * 0.8) + 1);
    EXPECT_EQ(PixelScene::render(banner, t, withParticles(base, {Particles::stars, Particles::stars})), stars);

    // Snow: 90 flakes anywhere; listed twice, painted twice (the same places, thicker).
    const QImage snow = PixelScene::render(banner, t, withParticles(base, {Particles::snow}));
    const auto flakes = differingCells(bare, snow);
    EXPECT_LE(flakes.size(), 90);
    EXPECT_GE(flakes.size(), 75);
    const QImage doubleSnow = PixelScene::render(banner, t, withParticles(base, {Particles::snow, Particles::snow}));
    EXPECT_EQ(differingCells(bare, doubleSnow), flakes);
    EXPECT_NE(doubleSnow, snow);

    // Stars and snow together: both sets, nothing else.
    const auto both = differingCells(bare, PixelScene::render(banner, t, withParticles(base, {Particles::stars,
                                                                                               Particles::snow})));
    EXPECT_EQ(both, starCells | flakes);

    // Rain: 110 drops three cells tall.
    const auto drops = differingCells(bare, PixelScene::render(banner, t, withParticles(base, {Particles::rain})));
    EXPECT_LE(drops.size(), 330);
    EXPECT_GE(drops.size(), 200);

    // Petals and leaves: 40 two-cell boxes each, in their palettes at full opacity.
    const QMap<Particles, QList<QRgb>> palettes = {{Particles::petals, {0xFFC8DC, 0xFF9FC2, 0xFFE0EC}},
                                                   {Particles::leaves, {0xE0782E, 0xC8502A, 0xF2B040}}};
    for (auto it = palettes.cbegin(); it != palettes.cend(); ++it) {
        const QImage frame = PixelScene::render(banner, t, withParticles(base, {it.key()}));
        const auto cells = differingCells(bare, frame);
        EXPECT_LE(cells.size(), 80);
        EXPECT_GE(cells.size(), 60);
        QSet<QRgb> colours;
        for (const auto& c : cells) colours.insert(frame.pixel(4 * c.first + 1, 4 * c.second + 1));
        QSet<QRgb> expected;
        for (QRgb rgb : it.value()) expected.insert(opaque(rgb));
        EXPECT_EQ(colours, expected);
    }

    // Fireflies: 18, hovering within a quarter of the picture above the ground row.
    const auto flies = differingCells(bare, PixelScene::render(banner, t, withParticles(base, {Particles::fireflies})));
    EXPECT_LE(flies.size(), 18);
    EXPECT_GE(flies.size(), 14);
    for (const auto& c : flies) {
        EXPECT_LE(c.second, g.ground - 3 + 2);
        EXPECT_GE(c.second, g.ground - 3 - int(g.rows * 0.25) - 3);
    }

    // None paints nothing.
    EXPECT_EQ(PixelScene::render(banner, t, withParticles(base, {Particles::none})), bare);
}

TEST(PixelSceneThemes, EachThemeShowsItsWeatherLightAndCaps) {
    const QList<Theme>& themes = Theme::sequence();
    ASSERT_EQ(themes.size(), 8);
    EXPECT_EQ(themes[0], Theme::dusk());
    EXPECT_EQ(themes[5], Theme::summer());

    const double t = 7.5;
    // Cells the weather changes, and what they may hold.
    struct Expect {
        int minCells, maxCells;
    };
    const Expect weather[8] = {{0, 0}, {70, 88}, {75, 90}, {60, 80}, {60, 80}, {0, 0}, {200, 330}, {140, 160}};
    for (int k = 0; k < 8; ++k) {
        const Theme& theme = themes[k];
        EXPECT_EQ(theme.sky.size(), 6) << k;
        EXPECT_EQ(theme.walkers.size(), 3) << k;
        for (const QString& id : theme.walkers) EXPECT_EQ(PetSpecies::named(id).id, id) << k;

        Theme calm = theme;
        calm.particles.clear();
        const auto cells = differingCells(PixelScene::render(banner, t, calm), PixelScene::render(banner, t, theme));
        EXPECT_GE(cells.size(), weather[k].minCells) << "theme " << k;
        EXPECT_LE(cells.size(), weather[k].maxCells) << "theme " << k;

        // Snow caps only on the themes that have them, in their colour.
        Theme capless = theme;
        capless.snowCaps = false;
        const auto capCells =
            differingCells(PixelScene::render(banner, t, capless), PixelScene::render(banner, t, theme));
        EXPECT_EQ(!capCells.isEmpty(), k == 0 || k == 2 || k == 7) << "theme " << k;
        // A cap is two cells at the top of a far hill that rises above three quarters of its range.
        const PixelScene::Grid g = PixelScene::Grid::forSize(banner);
        for (const auto& c : capCells) EXPECT_LT(c.second, g.horizon + 2 - int(g.rows * 0.38 * 0.75) + 1) << k;
    }
    // Night and rain have no light; the first six do.
    for (int k = 0; k < 8; ++k) EXPECT_EQ(themes[k].light.has_value(), k < 6) << k;
    EXPECT_TRUE(themes[7].aurora);
}

TEST(PixelSceneThemes, TheAuroraRipplesInTheUpperSkyOnly) {
    Theme theme = Theme::sequence()[7];
    theme.particles.clear();
    Theme calm = theme;
    calm.aurora = false;
    const PixelScene::Grid g = PixelScene::Grid::forSize(banner);
    const auto cells = differingCells(PixelScene::render(banner, 2, calm), PixelScene::render(banner, 2, theme));
    QSet<int> columns;
    for (const auto& c : cells) {
        columns.insert(c.first);
        EXPECT_GE(c.second, int(0.13 * g.horizon) - 1);
        EXPECT_LE(c.second, int(0.43 * g.horizon) + 9);
    }
    EXPECT_GT(columns.size(), g.columns * 9 / 10);  // the highest hills hide it in places
}

TEST(PixelSceneDrawing, AFrameIsAPureFunctionOfSizeTimeAndTheme) {
    for (const Theme& theme : Theme::sequence()) {
        const QImage a = PixelScene::render(banner, 812345678.375, theme);
        const QImage b = PixelScene::render(banner, 812345678.375, theme);
        EXPECT_EQ(a, b);
        EXPECT_NE(a, PixelScene::render(banner, 812345679.0, theme));
    }
    // At twice the pixel density: the same picture, each point two pixels wide.
    const QImage one = PixelScene::render(banner, 5, Theme::sequence()[3]);
    const QImage two = PixelScene::render(banner, 5, Theme::sequence()[3], 2.0);
    ASSERT_EQ(two.size(), QSize(1840, 480));
    EXPECT_DOUBLE_EQ(two.devicePixelRatio(), 2.0);
    int same = 0, total = 0;
    for (int y = 1; y < 240; y += 7)
        for (int x = 1; x < 920; x += 5, ++total)
            if (one.pixel(x, y) == two.pixel(2 * x, 2 * y)) ++same;
    EXPECT_GT(same, total * 95 / 100);
}

TEST(PixelSceneThemes, AVersionGetsItsPlaceAmongKnownVersionsInNumericOrder) {
    const QStringList releases = {"1.10.0", "1.9.0", "1.2.0"};
    EXPECT_EQ(Theme::indexForVersion("1.2.0", releases), 0);
    EXPECT_EQ(Theme::indexForVersion("1.9.0", releases), 1);
    EXPECT_EQ(Theme::indexForVersion("1.10.0", releases), 2);
    EXPECT_EQ(Theme::forVersion("1.2.0", releases), Theme::dusk());
    // The list's order does not matter.
    EXPECT_EQ(Theme::indexForVersion("1.10.0", {"1.2.0", "1.10.0", "1.9.0"}), 2);

    // Nine releases: the ninth oldest comes round to dusk again.
    QStringList nine;
    for (int i = 9; i >= 1; --i) nine << QStringLiteral("2.%1").arg(i);
    EXPECT_EQ(Theme::indexForVersion("2.1", nine), 0);
    EXPECT_EQ(Theme::indexForVersion("2.8", nine), 7);
    EXPECT_EQ(Theme::indexForVersion("2.9", nine), 0);
    EXPECT_EQ(&Theme::forVersion("2.9", nine), &Theme::sequence()[0]);

    // A listed duplicate counts at its first place.
    EXPECT_EQ(Theme::indexForVersion("3.0", {"1.0", "1.0", "3.0"}), 2);

    // An unlisted version: the sum of its Unicode scalar values, whatever the list holds.
    EXPECT_EQ(Theme::indexForVersion("1.3", releases), (49 + 46 + 51) % 8);
    EXPECT_EQ(Theme::indexForVersion("1.3", {}), Theme::indexForVersion("1.3", {"0.1", "0.2"}));
    EXPECT_EQ(Theme::indexForVersion(QString::fromUtf8("a\xF0\x9F\x98\x80"), {}), (97 + 0x1F600) % 8);
    EXPECT_EQ(Theme::indexForVersion("", releases), 0);
    EXPECT_EQ(Theme::indexForVersion("1.2", releases), (49 + 46 + 50) % 8);  // exact match only
}
