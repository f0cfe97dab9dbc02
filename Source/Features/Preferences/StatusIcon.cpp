#include "Source/Features/Preferences/StatusIcon.h"

#include "Platform/Gui/AssetImages.h"
#include "Platform/Gui/Symbols.h"
#include "Source/Features/MenuBarPet/PetSpecies.h"
#include "Source/Features/MenuBarPet/PetSprite.h"
#include "Source/Features/Preferences/AppSettings.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
const QString kSymbolPrefix = QStringLiteral("symbol:");
const QString kPetPrefix = QStringLiteral("pet:");
}  // namespace

QString StatusIcon::id() const {
    switch (kind_) {
    case Kind::symbol:
        return kSymbolPrefix + name_;
    case Kind::pet:
        return kPetPrefix + name_;
    case Kind::original:
        break;
    }
    return QString::fromLatin1(originalID);
}

std::optional<StatusIcon> StatusIcon::fromID(const QString& id) {
    if (id == QLatin1String(originalID)) return original();
    if (id.startsWith(kSymbolPrefix) && id.size() > kSymbolPrefix.size()) return symbol(id.mid(kSymbolPrefix.size()));
    if (id.startsWith(kPetPrefix) && id.size() > kPetPrefix.size()) return pet(id.mid(kPetPrefix.size()));
    return std::nullopt;
}

const QStringList& StatusIcon::candidateSymbols() {
    static const QStringList names{
        "gauge.with.dots.needle.67percent", "cpu", "memorychip", "waveform.path.ecg", "chart.bar.fill",
        "chart.line.uptrend.xyaxis", "bolt.fill", "flame.fill", "leaf.fill", "sparkles", "star.fill",
        "heart.fill", "moon.stars.fill", "sun.max.fill", "cloud.fill", "atom", "cube.fill", "hexagon.fill",
        "circle.hexagongrid.fill", "square.stack.3d.up.fill", "terminal.fill", "desktopcomputer",
        "laptopcomputer", "thermometer.medium", "fan.fill", "antenna.radiowaves.left.and.right",
        "externaldrive.fill", "gamecontroller.fill", "crown.fill", "cat.fill", "dog.fill", "pawprint.fill",
        "bird.fill", "fish.fill", "hare.fill", "tortoise.fill", "lizard.fill", "teddybear.fill", "ant.fill",
        "ladybug.fill"};
    return names;
}

const std::vector<StatusIcon>& StatusIcon::all() {
    static const std::vector<StatusIcon> choices = [] {
        std::vector<StatusIcon> list;
        for (const QString& name : candidateSymbols()) {
            if (Symbols::has(name)) list.push_back(symbol(name));
        }
        list.push_back(original());
        return list;
    }();
    return choices;
}

QImage StatusIcon::image(double devicePixelRatio) const {
    devicePixelRatio = std::isfinite(devicePixelRatio) && devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    switch (kind_) {
    case Kind::symbol:
        if (!Symbols::has(name_)) return {};
        return Symbols::image(name_, symbolPixelSize, Qt::black, Symbols::Weight::medium, devicePixelRatio);
    case Kind::pet: {
        // The silhouette is drawn at 2 pixels a point: other ratios take hard-edged pixels.
        const QImage drawn = PetSprite::silhouette(PetSpecies::named(name_));
        if (drawn.isNull()) return {};
        const QSizeF points = drawn.deviceIndependentSize();
        const QSize pixels(std::max(1, int(std::lround(points.width() * devicePixelRatio))),
                           std::max(1, int(std::lround(points.height() * devicePixelRatio))));
        QImage scaled = pixels == drawn.size() ? drawn : drawn.scaled(pixels, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        scaled.setDevicePixelRatio(devicePixelRatio);
        return scaled;
    }
    case Kind::original: {
        QImage drawn = AssetImages::render(QStringLiteral("MenuBarIcon"), int(std::lround(originalSide * devicePixelRatio)));
        if (drawn.isNull()) return {};
        drawn.setDevicePixelRatio(devicePixelRatio);
        return drawn;
    }
    }
    return {};
}

QString StatusIcon::storedID(UserDefaults& defaults) { return AppSettings(defaults).statusIcon.value(); }

QImage StatusIcon::statusItemImage(const QString& storedID, double devicePixelRatio) {
    if (std::optional<StatusIcon> icon = fromID(storedID)) {
        QImage image = icon->image(devicePixelRatio);
        if (!image.isNull()) return image;
    }
    return symbol(QString::fromLatin1(fallbackSymbol)).image(devicePixelRatio);
}

QImage StatusIcon::tinted(const QImage& templateImage, const QColor& color) {
    if (templateImage.isNull()) return {};
    QImage result = templateImage.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(QPointF(0, 0), result.deviceIndependentSize()), color);
    painter.end();
    return result;
}
