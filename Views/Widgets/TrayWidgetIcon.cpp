#include "Views/Widgets/TrayWidgetIcon.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kSuffixScale = 0.62;  // a unit after the figures, smaller than they are
constexpr double kNarrowest = 0.68;
constexpr double kTileOpacity = 0.14;    // how far text may be squeezed sideways before it shrinks

// Text of one or two sizes fitted to a width: the figures, then a smaller unit.
struct FittedText {
    QFont main;
    QFont suffix;
    double xScale = 1;
    double mainWidth = 0;
    double suffixWidth = 0;
};

FittedText fit(const QString& main, const QString& suffix, double maxPixels, double width, bool digits) {
    auto make = [digits](double pixels) {
        return digits ? SystemFont::monospacedDigits(pixels, QFont::Bold) : SystemFont::font(pixels, QFont::Bold);
    };
    FittedText t;
    double pixels = maxPixels;
    for (int attempt = 0; attempt < 2; ++attempt) {
        t.main = make(pixels);
        t.suffix = make(std::max(5.0, std::round(pixels * kSuffixScale)));
        t.mainWidth = QFontMetricsF(t.main).horizontalAdvance(main);
        t.suffixWidth = suffix.isEmpty() ? 0 : QFontMetricsF(t.suffix).horizontalAdvance(suffix);
        const double natural = t.mainWidth + t.suffixWidth;
        t.xScale = natural > width && natural > 0 ? std::max(kNarrowest, width / natural) : 1.0;
        if (natural * t.xScale <= width || attempt == 1) break;
        pixels = std::max(6.0, std::floor(pixels * width / (natural * t.xScale)));
    }
    return t;
}

// Draws fitted text centred in a box, main and suffix on one baseline.
void draw(QPainter& painter, const QRectF& box, const QString& main, const QString& suffix, const FittedText& t) {
    const QFontMetricsF metrics(t.main);
    const double baseline = box.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    painter.save();
    painter.translate(box.center().x(), 0);
    painter.scale(t.xScale, 1);
    const double left = -(t.mainWidth + t.suffixWidth) / 2;
    painter.setFont(t.main);
    painter.drawText(QPointF(left, baseline), main);
    if (!suffix.isEmpty()) {
        painter.setFont(t.suffix);
        painter.drawText(QPointF(left + t.mainWidth, baseline), suffix);
    }
    painter.restore();
}

// The compact reading split into its figures and a trailing unit letter or sign.
std::pair<QString, QString> split(WidgetType type, const QString& compact) {
    // A degree sign sits high at full size already.
    if (type != WidgetType::network) return {compact, {}};
    int end = int(compact.size());
    while (end > 0 && !compact.at(end - 1).isDigit()) --end;
    if (end == 0) return {compact, {}};
    return {compact.left(end), compact.mid(end)};
}
}  // namespace

QString TrayWidgetIcon::compactText(WidgetType type, const QString& text) {
    QString t = text.trimmed();
    switch (type) {
    case WidgetType::cpu:
    case WidgetType::gpu:
    case WidgetType::memory:
    case WidgetType::disk:
        if (t.endsWith(QLatin1Char('%'))) t.chop(1);
        return t;
    case WidgetType::network: {
        const int blank = t.indexOf(QLatin1Char(' '));
        if (blank <= 0 || !t.endsWith(QLatin1String("/s"))) return t;
        const QString unit = t.mid(blank + 1);
        return t.left(blank) + (unit.size() > 3 ? unit.left(1) : unit.left(unit.size() - 2));
    }
    case WidgetType::temperature: return t;
    }
    return t;
}

QColor TrayWidgetIcon::valueColor(WidgetType type, const QColor& ink, const QColor& background) {
    const bool dark = ink.lightnessF() > 0.5;
    QColor behind = background.isValid() ? background : QColor(dark ? Qt::black : Qt::white);
    behind.setAlphaF(1.0);
    return SystemColors::legible(WidgetTypes::color(type, dark),
                                 SystemColors::over(SystemColors::withOpacity(ink, kTileOpacity), behind));
}

void TrayWidgetIcon::paint(QPainter& painter, const QRect& square, WidgetType type, const QString& text,
                           bool showLabels, const QColor& ink, const QColor& background) {
    const double side = std::min(square.width(), square.height());
    if (side <= 0) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF box(square.x() + (square.width() - side) / 2, square.y() + (square.height() - side) / 2, side, side);
    // A faint tile of its own, so that neighbouring readings do not run into one number.
    const QRectF tile = box.adjusted(1, 1, -1, -1);
    QPainterPath tilePath;
    tilePath.addRoundedRect(tile, side * 0.2, side * 0.2);
    painter.fillPath(tilePath, SystemColors::withOpacity(ink, kTileOpacity));
    const double width = tile.width() - 1;
    QRectF valueBox = box;
    if (showLabels) {
        const QString label = WidgetTypes::shortLabel(type);
        const QRectF labelBox(box.x(), box.y(), side, std::round(side * 0.42));
        painter.setPen(ink);
        draw(painter, labelBox, label, {}, fit(label, {}, std::round(side * 0.36), width, false));
        valueBox.setTop(labelBox.bottom());
    }
    const auto [main, suffix] = split(type, compactText(type, text));
    const double maxPixels = std::round(showLabels ? side * 0.54 : side * 0.66);
    painter.setPen(valueColor(type, ink, background));
    draw(painter, valueBox, main, suffix, fit(main, suffix, maxPixels, width, true));
    painter.restore();
}

QImage TrayWidgetIcon::image(int side, WidgetType type, const QString& text, bool showLabels, const QColor& ink,
                             double devicePixelRatio, const QColor& background) {
    if (side <= 0) return {};
    devicePixelRatio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const int pixels = int(std::lround(side * devicePixelRatio));
    QImage result(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    result.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&result);
    paint(painter, QRect(0, 0, side, side), type, text, showLabels, ink, background);
    painter.end();
    return result;
}
