#include "Platform/Gui/SystemColors.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace SystemColors {
namespace {
QColor pick(bool dark, QRgb light, QRgb darkRgb) { return QColor::fromRgb(dark ? darkRgb : light); }
QPalette appPalette() { return QGuiApplication::palette(); }
}  // namespace

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightnessF() < 0.5; }
bool isDark() { return isDark(appPalette()); }

QColor red(bool d) { return pick(d, 0xFF3B30, 0xFF453A); }
QColor orange(bool d) { return pick(d, 0xFF9500, 0xFF9F0A); }
QColor yellow(bool d) { return pick(d, 0xFFCC00, 0xFFD60A); }
QColor green(bool d) { return pick(d, 0x34C759, 0x30D158); }
QColor mint(bool d) { return pick(d, 0x00C7BE, 0x63E6E2); }
QColor teal(bool d) { return pick(d, 0x30B0C7, 0x40CBE0); }
QColor cyan(bool d) { return pick(d, 0x32ADE6, 0x64D2FF); }
QColor blue(bool d) { return pick(d, 0x007AFF, 0x0A84FF); }
QColor indigo(bool d) { return pick(d, 0x5856D6, 0x5E5CE6); }
QColor purple(bool d) { return pick(d, 0xAF52DE, 0xBF5AF2); }
QColor pink(bool d) { return pick(d, 0xFF2D55, 0xFF375F); }
QColor brown(bool d) { return pick(d, 0xA2845E, 0xAC8E68); }
QColor gray(bool d) { return pick(d, 0x8E8E93, 0x8E8E93); }

QColor windowBackground(const QPalette& palette) {
    QColor c = palette.color(QPalette::Window);
    c.setAlphaF(1.0);
    return c;
}
QColor windowBackground() { return windowBackground(appPalette()); }

QColor sidebarBackground(const QPalette& palette) {
    return mix(windowBackground(palette), isDark(palette) ? QColor(Qt::white) : QColor(Qt::black), 0.045);
}

namespace {
QColor opaque(QColor c) {
    c.setAlphaF(1.0);
    return c;
}

// The text colour at the least opacity from `least` up that keeps `ratio` on the surfaces labels
// sit on: the window, the view, and a card (the text at a tenth) on either.
QColor fadedUncached(const QColor& text, const QColor& window, const QColor& base, double least, double ratio) {
    const std::array<QColor, 4> surfaces{window, base, mix(window, text, 0.1), mix(base, text, 0.1)};
    const auto reaches = [&](double alpha) {
        const QColor c = withOpacity(text, alpha);
        return std::all_of(surfaces.begin(), surfaces.end(),
                           [&](const QColor& surface) { return contrast(c, surface) >= ratio; });
    };
    if (reaches(least)) return withOpacity(text, least);
    if (!reaches(1.0)) return text;
    double low = least, high = 1.0;
    for (int i = 0; i < 24; ++i) {
        const double mid = (low + high) / 2;
        (reaches(mid) ? high : low) = mid;
    }
    return withOpacity(text, high);
}

// Rows ask for the styles on every paint: the answer for a palette is kept.
QColor faded(const QPalette& palette, double least, double ratio) {
    const QColor text = opaque(palette.color(QPalette::WindowText));
    const QColor window = windowBackground(palette), base = opaque(palette.color(QPalette::Base));
    struct Entry {
        QRgb text, window, base;
        double least, ratio;
        QColor result;
    };
    thread_local std::vector<Entry> cache;
    for (const Entry& e : cache) {
        if (e.text == text.rgb() && e.window == window.rgb() && e.base == base.rgb() && e.least == least &&
            e.ratio == ratio)
            return e.result;
    }
    if (cache.size() >= 32) cache.erase(cache.begin());
    cache.push_back(
        {text.rgb(), window.rgb(), base.rgb(), least, ratio, fadedUncached(text, window, base, least, ratio)});
    return cache.back().result;
}
}  // namespace

QColor primary(const QPalette& palette) {
    QColor c = palette.color(QPalette::WindowText);
    c.setAlphaF(0.85);
    return c;
}
// A little above the thresholds, so that rounding to 8-bit pixels never falls below them.
QColor secondary(const QPalette& palette) { return faded(palette, isDark(palette) ? 0.55 : 0.5, 4.6); }
QColor tertiary(const QPalette& palette) { return faded(palette, isDark(palette) ? 0.25 : 0.26, 3.1); }
QColor quaternary(const QPalette& palette) { return withOpacity(palette.color(QPalette::WindowText), 0.1); }
QColor primary() { return primary(appPalette()); }
QColor secondary() { return secondary(appPalette()); }
QColor tertiary() { return tertiary(appPalette()); }
QColor quaternary() { return quaternary(appPalette()); }

QColor accent(const QPalette& palette) {
    QColor c = palette.color(QPalette::Highlight);
    return c.isValid() ? c : blue(isDark(palette));
}
QColor accent() { return accent(appPalette()); }

namespace {
class PaletteFollower : public QObject {
public:
    using QObject::QObject;
    static void apply() {
        QPalette palette = QGuiApplication::palette();
        bool changed = false;
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            QPalette inGroup = palette;
            inGroup.setCurrentColorGroup(group);
            const QColor wanted = secondary(inGroup);
            if (palette.color(group, QPalette::PlaceholderText) == wanted) continue;
            palette.setColor(group, QPalette::PlaceholderText, wanted);
            changed = true;
        }
        // Setting it sends one more change, which finds nothing left to do.
        if (changed) QGuiApplication::setPalette(palette);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ApplicationPaletteChange && watched == QCoreApplication::instance()) apply();
        return false;
    }
};
}  // namespace

void followApplicationPalette() {
    static QPointer<QObject> follower;
    auto* app = QCoreApplication::instance();
    if (!app || follower) return;
    follower = new PaletteFollower(app);
    app->installEventFilter(follower);
    PaletteFollower::apply();
}

double luminance(const QColor& c) {
    const QColor rgb = c.toRgb();
    const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

double contrast(const QColor& text, const QColor& background) {
    const QColor bottom = opaque(background.toRgb());
    const double a = luminance(over(text, bottom)), b = luminance(bottom);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor over(const QColor& top, const QColor& bottom) {
    const QColor t = top.toRgb(), b = bottom.toRgb();
    const double ta = t.alphaF(), ba = b.alphaF() * (1 - ta), alpha = ta + ba;
    if (alpha <= 0) return QColor(0, 0, 0, 0);
    const auto channel = [&](double x, double y) { return float(std::clamp((x * ta + y * ba) / alpha, 0.0, 1.0)); };
    return QColor::fromRgbF(channel(t.redF(), b.redF()), channel(t.greenF(), b.greenF()), channel(t.blueF(), b.blueF()),
                            float(alpha));
}

QColor legible(const QColor& color, const QColor& background, double ratio) {
    return legible(color, {background}, ratio);
}

QColor legible(const QColor& color, std::initializer_list<QColor> backgrounds, double ratio) {
    if (backgrounds.size() == 0 || !color.isValid()) return color;
    const QColor start = color.alphaF() < 1 ? over(color, opaque(*backgrounds.begin())) : color.toRgb();
    const auto worst = [&](const QColor& c) {
        double least = std::numeric_limits<double>::infinity();
        for (const QColor& b : backgrounds) least = std::min(least, contrast(c, b));
        return least;
    };
    if (worst(start) >= ratio) return color;

    // Darker text needs a luminance at most darkest, lighter text at least lightest; along the
    // lightness axis luminance only grows, so each bound is found by halving.
    // A little beyond the ratio, so that rounding to 8-bit channels keeps it.
    const double target = ratio + 0.05;
    double darkest = 1, lightest = 0;
    for (const QColor& b : backgrounds) {
        const double l = luminance(opaque(b.toRgb()));
        darkest = std::min(darkest, (l + 0.05) / target - 0.05);
        lightest = std::max(lightest, target * (l + 0.05) - 0.05);
    }
    const QColor hsl = start.toHsl();
    const float hue = std::max(0.0f, hsl.hslHueF()), saturation = hsl.hslSaturationF();
    const double lightness = hsl.lightnessF();
    const auto at = [&](double l) { return QColor::fromHslF(hue, saturation, float(std::clamp(l, 0.0, 1.0))).toRgb(); };
    std::optional<double> down, up;
    if (darkest >= 0) {
        double low = 0, high = lightness;  // luminance(at(low)) <= darkest
        for (int i = 0; i < 24; ++i) {
            const double mid = (low + high) / 2;
            (luminance(at(mid)) <= darkest ? low : high) = mid;
        }
        down = low;
    }
    if (lightest <= 1) {
        double low = lightness, high = 1;  // luminance(at(high)) >= lightest
        for (int i = 0; i < 24; ++i) {
            const double mid = (low + high) / 2;
            (luminance(at(mid)) >= lightest ? high : low) = mid;
        }
        up = high;
    }
    if (down && up) return at(lightness - *down <= *up - lightness ? *down : *up);
    if (down) return at(*down);
    if (up) return at(*up);
    return worst(at(0)) >= worst(at(1)) ? at(0) : at(1);
}

namespace {
QImage legibleIconUncached(const QImage& icon, const QColor& background, double ratio) {
    QImage source = icon.convertToFormat(QImage::Format_ARGB32);
    source.setDevicePixelRatio(1);  // worked on in pixels
    const int w = source.width(), h = source.height();
    const auto alpha = [&](int x, int y) {
        return x < 0 || y < 0 || x >= w || y >= h ? 0
                                                  : qAlpha(reinterpret_cast<const QRgb*>(source.constScanLine(y))[x]);
    };
    // The outline: opaque pixels beside a transparent one. It reads when most of it does.
    int outline = 0, reads = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (alpha(x, y) < 128) continue;
            if (alpha(x - 1, y) >= 128 && alpha(x + 1, y) >= 128 && alpha(x, y - 1) >= 128 && alpha(x, y + 1) >= 128)
                continue;
            ++outline;
            const QColor c = QColor::fromRgba(reinterpret_cast<const QRgb*>(source.constScanLine(y))[x]);
            if (contrast(c, background) >= ratio) ++reads;
        }
    if (outline == 0 || reads * 2 >= outline) return icon;

    // The shape in the edge colour, spread by a point each way, under the icon.
    const QColor edge = legible(opaque(background.toRgb()), background, ratio);
    QImage shape = source;
    shape.fill(Qt::transparent);
    {
        // Solid wherever the icon shows at all: a scaled icon's outline is half transparent.
        QImage silhouette(w, h, QImage::Format_ARGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                reinterpret_cast<QRgb*>(silhouette.scanLine(y))[x] = alpha(x, y) >= 64 ? edge.rgb() : 0;
        const int step = std::max(1, int(std::lround(icon.devicePixelRatio())));
        QPainter spread(&shape);
        for (int dy = -step; dy <= step; dy += step)
            for (int dx = -step; dx <= step; dx += step)
                if (dx || dy) spread.drawImage(dx, dy, silhouette);
        spread.drawImage(0, 0, source);
    }
    shape.setDevicePixelRatio(icon.devicePixelRatio());
    return shape;
}
}  // namespace

QImage legibleIcon(const QImage& icon, const QColor& background, double ratio) {
    if (icon.isNull() || !background.isValid()) return icon;
    // Rows and previews ask on every paint, with the same few icons: the answer is kept per icon
    // (its pixels: an image changed in place has a new key) and background.
    struct Entry {
        qint64 icon;
        qreal scale;
        QRgb background;
        double ratio;
        QImage result;
    };
    thread_local std::vector<Entry> kept;
    const QRgb behind = background.rgba();
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if (it->icon != icon.cacheKey() || it->scale != icon.devicePixelRatio() || it->background != behind ||
            it->ratio != ratio)
            continue;
        std::rotate(it, it + 1, kept.end());  // the last used stays longest
        return kept.back().result;
    }
    if (kept.size() >= 64) kept.erase(kept.begin());
    kept.push_back(
        {icon.cacheKey(), icon.devicePixelRatio(), behind, ratio, legibleIconUncached(icon, background, ratio)});
    return kept.back().result;
}

QColor withOpacity(QColor c, double opacity) {
    if (!std::isfinite(opacity)) opacity = 1;
    c.setAlphaF(float(std::clamp(c.alphaF() * opacity, 0.0, 1.0)));
    return c;
}

QColor mix(const QColor& a, const QColor& b, double t) {
    if (!std::isfinite(t)) t = 0;
    t = std::clamp(t, 0.0, 1.0);
    const QColor x = a.toRgb(), y = b.toRgb();
    return QColor::fromRgbF(float(x.redF() + (y.redF() - x.redF()) * t), float(x.greenF() + (y.greenF() - x.greenF()) * t),
                            float(x.blueF() + (y.blueF() - x.blueF()) * t),
                            float(x.alphaF() + (y.alphaF() - x.alphaF()) * t));
}

}  // namespace SystemColors
