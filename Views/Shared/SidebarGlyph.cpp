#include "Views/Shared/SidebarGlyph.h"

#include "Platform/Gui/Symbols.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>

SidebarGlyph::SidebarGlyph(QString symbol, QColor tint, QWidget* parent)
    : QWidget(parent), symbol_(std::move(symbol)), tint_(tint) {
    setFixedSize(side, side);
    setAttribute(Qt::WA_TranslucentBackground);
}

void SidebarGlyph::paint(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& tint) {
    const QRectF square(rect.center() - QPointF(side / 2.0, side / 2.0), QSizeF(side, side));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // The tint's gradient: a little lighter at the top, the tint itself at the bottom.
    QLinearGradient fill(square.topLeft(), square.bottomLeft());
    fill.setColorAt(0, tint.lighter(118));
    fill.setColorAt(1, tint);
    painter.fillPath(ContinuousCorners::roundedRect(square, cornerRadius), fill);
    Symbols::draw(painter, square, symbol, Qt::white, symbolSize, Symbols::Weight::semibold);
    painter.restore();
}

QImage SidebarGlyph::image(const QString& symbol, const QColor& tint, double devicePixelRatio) {
    const int px = int(std::ceil(side * devicePixelRatio));
    QImage image(px, px, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(painter, QRectF(0, 0, side, side), symbol, tint);
    return image;
}

void SidebarGlyph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), symbol_, tint_);
}
