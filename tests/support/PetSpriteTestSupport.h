#pragma once

// Helpers for the pet sprite tests: pixel reads, rectangle bounds and ASCII pictures of frames.
#include "Source/Features/MenuBarPet/PetSprite.h"

#include <QFile>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace PetSpriteTest {

// The pixel as 0xAARRGGBB straight from the premultiplied bytes (all our colours are opaque).
inline QRgb pixel(const QImage& image, int x, int y) {
    const uchar* p = image.constScanLine(y) + 4 * x;
    return qRgba(p[0], p[1], p[2], p[3]);
}

inline bool isBlank(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.constScanLine(y)[4 * x + 3] != 0) return false;
    return true;
}

struct Box {
    int minX = 1 << 20, minY = 1 << 20, maxX = -(1 << 20), maxY = -(1 << 20);
    bool empty() const { return maxX < minX; }
    void add(int x0, int y0, int x1, int y1) {
        minX = std::min(minX, x0), minY = std::min(minY, y0), maxX = std::max(maxX, x1), maxY = std::max(maxY, y1);
    }
};

// Bounding box of the opaque pixels.
inline Box opaqueBox(const QImage& image) {
    Box box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.constScanLine(y)[4 * x + 3] != 0) box.add(x, y, x, y);
    return box;
}

// Bounding box of what a pose asks to draw: parts with their outline, details and free rectangles.
inline Box poseBox(const PetSprite::Pose& pose) {
    Box box;
    for (const auto& r : pose.parts) box.add(r.x - 1, r.y - 1, r.x + r.w, r.y + r.h);
    for (const auto* list : {&pose.details, &pose.free})
        for (const auto& r : *list) box.add(r.x, r.y, r.x + r.w - 1, r.y + r.h - 1);
    return box;
}

// The same pose drawn independently with QPainter, which clips on its own; a renderer that wrote
// past an edge (into the next row, say) would differ from it.
inline QImage referenceRender(const PetSprite::Pose& pose, double dissolve) {
    QImage image(PetSprite::width, PetSprite::height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const auto fill = [&](const PetSprite::Px& r, int grow, QRgb c) {
        painter.fillRect(QRect(r.x - grow, r.y - grow, r.w + 2 * grow, r.h + 2 * grow), QColor::fromRgba(c));
    };
    for (const auto& r : pose.parts) fill(r, 1, PetSprite::C::outline);
    for (const auto& r : pose.parts) fill(r, 0, r.c);
    for (const auto& r : pose.details) fill(r, 0, r.c);
    painter.end();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (((73 * x + 151 * y + 29 * ((x * y) % 13)) % 97) / 97.0 < dissolve) image.setPixel(x, y, 0);
    painter.begin(&image);
    for (const auto& r : pose.free) fill(r, 0, r.c);
    painter.end();
    return image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

// An ASCII picture: a legend of "<char> #RRGGBB" lines ('.' is transparent), a line "--", then one
// line of characters per pixel row.
struct Picture {
    QMap<QChar, QRgb> legend;
    QStringList rows;
};

inline std::optional<Picture> readPicture(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
    Picture picture;
    bool inRows = false;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.startsWith('#') || (!inRows && line.trimmed().isEmpty())) continue;
        if (line == "--") {
            inRows = true;
        } else if (inRows) {
            if (!line.isEmpty()) picture.rows << line;
        } else {
            picture.legend.insert(line.at(0), 0xff000000u | line.mid(3).toUInt(nullptr, 16));
        }
    }
    return picture;
}

// The image drawn with the legend's characters; a colour the legend lacks shows as '?'.
inline QStringList draw(const QImage& image, const QMap<QChar, QRgb>& legend) {
    QStringList rows;
    for (int y = 0; y < image.height(); ++y) {
        QString row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = pixel(image, x, y);
            row += qAlpha(c) == 0 ? QChar('.') : legend.key(c, QChar('?'));
        }
        rows << row;
    }
    return rows;
}

// A picture of the image with a fresh legend, characters given in order of first appearance.
inline QString describe(const QImage& image) {
    static const QString symbols = "oabcdefghijklmnpqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QMap<QChar, QRgb> legend;
    QList<QRgb> seen;
    QString text;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = pixel(image, x, y);
            if (qAlpha(c) != 0 && !seen.contains(c)) {
                legend.insert(symbols.at(std::min<qsizetype>(seen.size(), symbols.size() - 1)), c);
                seen << c;
            }
        }
    for (int i = 0; i < seen.size(); ++i)
        text += QString::asprintf("%c #%06X\n", symbols.at(i).toLatin1(), seen[i] & 0xffffff);
    text += "--\n" + draw(image, legend).join('\n') + '\n';
    return text;
}

}  // namespace PetSpriteTest
