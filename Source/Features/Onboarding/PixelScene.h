#pragma once

#include "Source/Features/Updates/Release.h"

#include <QImage>
#include <QList>
#include <QRgb>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

class QPainter;

// The animated pixel-art landscape of the release banners: a sky, a sun or moon, hills, a meadow
// with three walking pets, and weather. A frame is a pure function of its size, its time and its
// theme; nothing is kept between frames but the pet renderer's frame cache. GUI thread only.
class PixelScene {
public:
    PixelScene() = delete;

    enum class Particles { none, stars, snow, petals, leaves, rain, fireflies };

    // One landscape. Colours are 0xRRGGBB.
    struct Theme {
        QList<QRgb> sky;             // bands from the top down
        std::optional<QRgb> light;   // sun or moon
        double lightRow = 0;         // the light's height as a fraction of the horizon row
        QRgb far = 0;
        QRgb near = 0;
        bool snowCaps = false;
        QRgb ground = 0;
        QRgb grass = 0;
        QList<Particles> particles;  // painted in list order
        bool aurora = false;
        std::optional<QRgb> clouds;
        QStringList walkers;         // species ids
        bool operator==(const Theme&) const = default;

        static const Theme& dusk();
        static const Theme& summer();
        // The eight landscapes in their fixed cycle; dusk first, summer sixth.
        static const QList<Theme>& sequence();

        // The theme of a release: its place among the known versions sorted oldest first (digit runs
        // compare by value), or, for a version not among them, the sum of its characters; modulo 8.
        static const Theme& forVersion(const QString& version, const QStringList& versions);
        // The same over the releases' versions.
        static const Theme& forVersion(const QString& version, const QList<Release>& releases);
        static int indexForVersion(const QString& version, const QStringList& versions);
    };

    // The grid a canvas of this size gets: 4 × 4 point cells, origin at the top left.
    struct Grid {
        int columns = 1;
        int rows = 1;
        int horizon = 0;  // row
        int ground = 0;   // row
        static Grid forSize(QSizeF size);
    };
    static constexpr int cell = 4;

    // Paints one frame at time t (seconds) over a canvas of `size` points from the painter's origin.
    // Antialiasing and smooth scaling are switched off for the call.
    static void draw(QPainter& painter, QSizeF size, double time, const Theme& theme);
    // One frame on a transparent image of size × devicePixelRatio pixels (premultiplied ARGB).
    static QImage render(QSizeF size, double time, const Theme& theme, double devicePixelRatio = 1.0);
    // The same into an image the caller keeps (reallocated only when the size changes).
    static void renderInto(QImage& image, QSizeF size, double time, const Theme& theme,
                           double devicePixelRatio = 1.0);

    // fract(sin(i × 12.9898 + k) × 43758.5453): the fixed offset of item i for seed k, in [0, 1).
    static double scatter(int i, double k);
};
