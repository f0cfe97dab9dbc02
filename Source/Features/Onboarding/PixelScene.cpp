#include "Source/Features/Onboarding/PixelScene.h"

#include "Source/Features/MenuBarPet/PetSpecies.h"
#include "Source/Features/MenuBarPet/PetSprite.h"
#include "Source/Features/Updates/ReleaseNotes.h"

#include <QColor>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using Theme = PixelScene::Theme;
using Particles = PixelScene::Particles;

// Sizes beyond this many points are drawn as this size: the grid stays in int range.
constexpr double maxSide = 1 << 20;

QColor colour(QRgb rgb, double opacity = 1.0) {
    QColor c(qRed(rgb), qGreen(rgb), qBlue(rgb));
    if (opacity < 1.0) c.setAlphaF(float(std::clamp(opacity, 0.0, 1.0)));
    return c;
}

double fract(double v) { return v - std::floor(v); }

// Truncation toward zero, held to a range the painter can take.
int whole(double v) {
    if (!std::isfinite(v)) return 0;
    return int(std::clamp(std::trunc(v), -1e9, 1e9));
}

// A box of cells.
void box(QPainter& p, int c, int r, int w, int h, const QColor& colour) {
    if (w <= 0 || h <= 0) return;
    p.fillRect(QRect(c * PixelScene::cell, r * PixelScene::cell, w * PixelScene::cell, h * PixelScene::cell), colour);
}

Theme makeTheme(std::initializer_list<QRgb> sky, std::optional<QRgb> light, double lightRow, QRgb far, QRgb near,
                bool snowCaps, QRgb ground, QRgb grass, std::initializer_list<Particles> particles, bool aurora,
                std::optional<QRgb> clouds, std::initializer_list<const char*> walkers) {
    Theme t;
    t.sky = QList<QRgb>(sky);
    t.light = light;
    t.lightRow = lightRow;
    t.far = far;
    t.near = near;
    t.snowCaps = snowCaps;
    t.ground = ground;
    t.grass = grass;
    t.particles = QList<Particles>(particles);
    t.aurora = aurora;
    t.clouds = clouds;
    for (const char* w : walkers) t.walkers.append(QString::fromLatin1(w));
    return t;
}

void drawSky(QPainter& p, const PixelScene::Grid& g, const Theme& theme) {
    const int n = int(theme.sky.size());
    if (n == 0) return;
    const int band = g.horizon / n;
    for (int i = 0; i < n; ++i) box(p, 0, g.horizon * i / n, g.columns, band + 1, colour(theme.sky[i]));
}

void drawStars(QPainter& p, const PixelScene::Grid& g, double t) {
    const QColor bright = colour(0xFFFFFF, 0.95), dim = colour(0xFFFFFF, 0.45);
    for (int i = 0; i < 70; ++i) {
        const int c = whole(PixelScene::scatter(i, 78.233) * g.columns);
        const int r = whole(PixelScene::scatter(i, 156.466) * g.horizon * 0.8);
        box(p, c, r, 1, 1, std::sin(1.5 * t + i) > 0.6 ? bright : dim);
    }
}

void drawAurora(QPainter& p, const PixelScene::Grid& g, double t) {
    for (int x = 0; x < g.columns; ++x) {
        const double band = std::sin(0.4 * t + 0.05 * x) * 0.1 + 0.28;
        const int row = whole((std::sin(0.13 * x - 0.6 * t) * 0.05 + band) * g.horizon);
        const double a = std::sin(0.08 * x + t) * 0.25 + 0.35;
        box(p, x, row, 1, 5, colour(0x4DFFB4, a));
        box(p, x, row + 5, 1, 4, colour(0x3AA0FF, a * 0.6));
    }
}

void drawClouds(QPainter& p, const PixelScene::Grid& g, double t, QRgb rgb) {
    const QColor c = colour(rgb, 0.9);
    const double span = g.columns + 30;
    for (int i = 0; i < 4; ++i) {
        const int x = whole(std::fmod((0.4 * i + 1.2) * t + PixelScene::scatter(i, 234.699) * span, span));
        const int y = whole((PixelScene::scatter(i, 312.932) * 0.18 + 0.12) * g.horizon);
        box(p, x - 15, y, 14, 3, c);
        box(p, x - 12, y - 2, 8, 2, c);
    }
}

void drawHills(QPainter& p, const PixelScene::Grid& g, const Theme& theme) {
    const QColor far = colour(theme.far), near = colour(theme.near), cap = colour(0xEEF2FA);
    const double farAmp = g.rows * 0.38;
    for (int x = 0; x < g.columns; ++x) {
        const double h = farAmp * (std::sin(0.045 * x + 1.3) * 0.3 + 0.55 + std::sin(0.13 * x + 2.6) * 0.15);
        const int top = g.horizon + 2 - whole(h);
        box(p, x, top, 1, g.rows - top, far);
        if (theme.snowCaps && double(whole(h)) > farAmp * 0.75) box(p, x, top, 1, 2, cap);
    }
    const double nearAmp = g.rows * 0.22;
    for (int x = 0; x < g.columns; ++x) {
        const double h = nearAmp * (std::sin(0.045 * x + 4.1) * 0.3 + 0.55 + std::sin(0.13 * x + 8.2) * 0.15);
        const int top = g.horizon + 6 - whole(h);
        box(p, x, top, 1, g.rows - top, near);
    }
}

const PetSpecies& walkerSpecies(const QString& id) {
    const std::vector<PetSpecies>& all = PetSpecies::all();
    for (const PetSpecies& s : all)
        if (s.id == id) return s;
    return all.front();
}

void drawWalkers(QPainter& p, const PixelScene::Grid& g, QSizeF size, double t, const Theme& theme) {
    const double width = size.width();
    for (int i = 0; i < theme.walkers.size(); ++i) {
        const QList<QImage>& frames = PetSprite::frames(PetSprite::Animation::walk, walkerSpecies(theme.walkers[i]));
        if (frames.isEmpty()) continue;
        const double x = std::fmod((width + 120) * i / 3 + (5 * i + 14) * t, width + 120);
        const qsizetype k = qsizetype(whole(8 * t + i)) % frames.size();
        const QImage& image = frames[k < 0 ? k + frames.size() : k];
        p.drawImage(QRectF(x - 60, 4.0 * g.ground - 34, 2 * PetSprite::width, 2 * PetSprite::height), image);
    }
}

void drawFalling(QPainter& p, const PixelScene::Grid& g, double t, Particles kind) {
    const double columns = g.columns, rows = g.rows;
    switch (kind) {
    case Particles::none:
    case Particles::stars: return;
    case Particles::snow: {
        const QColor c = colour(0xFFFFFF, 0.9);
        for (int i = 0; i < 90; ++i) {
            const int col = whole(PixelScene::scatter(i, 547.631) * columns + std::sin(i + t) * 1.5);
            const int row = whole(std::fmod(
                PixelScene::scatter(i, 391.165) * rows + (PixelScene::scatter(i, 469.398) * 4 + 3) * t, rows));
            box(p, col, row, 1, 1, c);
        }
        return;
    }
    case Particles::petals:
    case Particles::leaves: {
        const std::array<QColor, 3> palette =
            kind == Particles::petals ? std::array{colour(0xFFC8DC), colour(0xFF9FC2), colour(0xFFE0EC)}
                                      : std::array{colour(0xE0782E), colour(0xC8502A), colour(0xF2B040)};
        for (int i = 0; i < 40; ++i) {
            const int col = whole(std::fmod(
                std::sin(1.3 * t + i) * 2 + 3 * t + PixelScene::scatter(i, 547.631) * columns, columns));
            const int row = whole(std::fmod(
                PixelScene::scatter(i, 391.165) * rows + (PixelScene::scatter(i, 469.398) * 2 + 2.5) * t, rows));
            box(p, col, row, 2, 1, palette[i % 3]);
        }
        return;
    }
    case Particles::rain: {
        const QColor c = colour(0xB8C6DC, 0.55);
        for (int i = 0; i < 110; ++i) {
            const int col = whole(PixelScene::scatter(i, 547.631) * columns);
            const int row = whole(std::fmod(40 * t + PixelScene::scatter(i, 391.165) * rows, rows));
            box(p, col, row, 1, 3, c);
        }
        return;
    }
    case Particles::fireflies: {
        const QColor on = colour(0xF4FF8A), off = colour(0xF4FF8A, 0.25);
        for (int i = 0; i < 18; ++i) {
            const int col = whole(PixelScene::scatter(i, 625.864) * columns + std::sin(0.7 * t + i) * 3);
            const int row = whole(g.ground - 3 - PixelScene::scatter(i, 704.097) * rows * 0.25 +
                                  std::cos(0.9 * t + i) * 2);
            box(p, col, row, 1, 1, std::sin(2 * t + 1.7 * i) > 0 ? on : off);
        }
        return;
    }
    }
}

}  // namespace

const Theme& Theme::dusk() {
    static const Theme theme = makeTheme({0x28325E, 0x3D4F86, 0x6A6FA3, 0xC9849A, 0xF2A86B, 0xF7CF94}, 0xFFF1C4,
                                         0.8, 0x5A6694, 0x3B4670, true, 0x3F7D4E, 0x6FB36B, {}, false, std::nullopt,
                                         {"ginger", "corgi", "bunny"});
    return theme;
}

const Theme& Theme::summer() {
    static const Theme theme = makeTheme({0x2F7FD6, 0x3D8EE0, 0x55A0E8, 0x72B3EF, 0x93C6F4, 0xB6D9F8}, 0xFFF6B0,
                                         0.15, 0x6BA06A, 0x4F8650, false, 0x4C9A45, 0x7CCC66, {}, false, 0xFFFFFF,
                                         {"corgi", "frog", "pig"});
    return theme;
}

const QList<Theme>& Theme::sequence() {
    // clang-format off
    static const QList<Theme> themes = {
        dusk(),
        // Night, high pale moon.
        makeTheme({0x070A1C, 0x0C1230, 0x121A42, 0x1A2452, 0x223060, 0x2B3A6C}, 0xE8ECFF, 0.25, 0x1F2A52, 0x141C3C,
                  false, 0x15301F, 0x24502F, {Particles::stars, Particles::fireflies}, false, std::nullopt,
                  {"black-cat", "owl", "raccoon"}),
        // Winter, snowfall.
        makeTheme({0x8FA6C8, 0xA3B7D4, 0xB7C7DF, 0xC9D5E8, 0xD9E2F0, 0xE6EDF6}, 0xFFFFFF, 0.55, 0xC3CFE2, 0x9FB0CC,
                  true, 0xEEF3FA, 0xFFFFFF, {Particles::snow}, false, std::nullopt, {"penguin", "husky", "sheep"}),
        // Spring, blossom hills.
        makeTheme({0x7FB6E8, 0x93C3EE, 0xA9CFF2, 0xC0DCF5, 0xD6E8F8, 0xE8F2FB}, 0xFFF7D6, 0.3, 0xD99AB8, 0xB67797,
                  false, 0x5A9E52, 0x8FD17E, {Particles::petals}, false, 0xFFFFFF, {"bunny", "duck", "calico"}),
        // Autumn.
        makeTheme({0x3E5A8A, 0x5A7AA6, 0x86A0C0, 0xD9A874, 0xEEB877, 0xF6D29A}, 0xFFE1A8, 0.7, 0xB5623A, 0x8A4630,
                  false, 0x7A5A2A, 0xC58A3C, {Particles::leaves}, false, std::nullopt, {"fox", "red-panda", "shiba"}),
        summer(),
        // Rain under grey clouds.
        makeTheme({0x3A4250, 0x454E5D, 0x515B6A, 0x5D6777, 0x6A7484, 0x778192}, std::nullopt, 0, 0x4C5868, 0x3A4554,
                  false, 0x355440, 0x4F7A5A, {Particles::rain}, false, 0x8A93A2, {"duck", "frog", "tabby"}),
        // Polar night with aurora.
        makeTheme({0x050B16, 0x081428, 0x0B1C36, 0x0E2442, 0x112B4C, 0x143254}, std::nullopt, 0, 0x1C2C48, 0x111C32,
                  true, 0xD8E2EE, 0xF2F6FB, {Particles::stars, Particles::snow}, true, std::nullopt,
                  {"husky", "bear", "penguin"}),
    };
    // clang-format on
    return themes;
}

int Theme::indexForVersion(const QString& version, const QStringList& versions) {
    QStringList sorted = versions;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const QString& a, const QString& b) { return ReleaseNotes::compareVersions(a, b) < 0; });
    qsizetype index = sorted.indexOf(version);
    if (index < 0) {
        index = 0;
        for (char32_t scalar : version.toUcs4()) index += scalar;
    }
    return int(index % sequence().size());
}

const Theme& Theme::forVersion(const QString& version, const QStringList& versions) {
    return sequence()[indexForVersion(version, versions)];
}

const Theme& Theme::forVersion(const QString& version, const QList<Release>& releases) {
    QStringList versions;
    versions.reserve(releases.size());
    for (const Release& release : releases) versions << release.version;
    return forVersion(version, versions);
}

PixelScene::Grid PixelScene::Grid::forSize(QSizeF size) {
    const double w = std::isfinite(size.width()) ? std::clamp(size.width(), 0.0, maxSide) : 0.0;
    const double h = std::isfinite(size.height()) ? std::clamp(size.height(), 0.0, maxSide) : 0.0;
    Grid g;
    g.columns = int(w * 0.25) + 1;
    g.rows = int(h * 0.25) + 1;
    g.horizon = g.rows * 62 / 100;
    g.ground = g.rows * 80 / 100;
    return g;
}

double PixelScene::scatter(int i, double k) { return fract(std::sin(i * 12.9898 + k) * 43758.5453); }

void PixelScene::draw(QPainter& painter, QSizeF size, double time, const Theme& theme) {
    const auto side = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, maxSide) : 0.0; };
    size = QSizeF(side(size.width()), side(size.height()));
    const Grid g = Grid::forSize(size);
    const double t = std::isfinite(time) ? time : 0.0;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setPen(Qt::NoPen);

    drawSky(painter, g, theme);
    if (theme.particles.contains(Particles::stars)) drawStars(painter, g, t);
    if (theme.aurora) drawAurora(painter, g, t);
    if (theme.light) box(painter, g.columns * 70 / 100, whole(theme.lightRow * g.horizon) - 4, 7, 7, colour(*theme.light));
    if (theme.clouds) drawClouds(painter, g, t, *theme.clouds);
    drawHills(painter, g, theme);
    box(painter, 0, g.ground, g.columns, g.rows - g.ground, colour(theme.ground));
    box(painter, 0, g.ground, g.columns, 1, colour(theme.grass));
    drawWalkers(painter, g, size, t, theme);
    for (Particles kind : theme.particles) drawFalling(painter, g, t, kind);

    painter.restore();
}

void PixelScene::renderInto(QImage& image, QSizeF size, double time, const Theme& theme, double devicePixelRatio) {
    const double dpr = devicePixelRatio > 0 && devicePixelRatio <= 16 ? devicePixelRatio : 1.0;
    const auto side = [dpr](double v) { return std::isfinite(v) ? int(std::ceil(std::clamp(v, 0.0, maxSide) * dpr)) : 0; };
    const QSize pixels(side(size.width()), side(size.height()));
    if (image.size() != pixels || image.format() != QImage::Format_ARGB32_Premultiplied)
        image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    if (image.isNull()) return;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    draw(painter, size, time, theme);
}

QImage PixelScene::render(QSizeF size, double time, const Theme& theme, double devicePixelRatio) {
    QImage image;
    renderInto(image, size, time, theme, devicePixelRatio);
    return image;
}
