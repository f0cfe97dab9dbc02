#include "Views/Shared/AppIconView.h"

#include "Platform/Gui/AssetImages.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>

AppIconView::AppIconView(double size, QWidget* parent) : QWidget(parent), size_(size > 0 ? size : 0) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
}

QSize AppIconView::sizeHint() const {
    const int side = int(std::ceil(size_));
    return QSize(side, side);
}

QImage AppIconView::artwork() {
    static const QImage image = artwork(512);
    return image;
}

QImage AppIconView::artwork(int side) {
    QImage bundled = AssetImages::render(QStringLiteral("AppIcon"), side);
    if (!bundled.isNull()) return bundled;
    const QIcon icon = QGuiApplication::windowIcon();
    if (!icon.isNull()) return icon.pixmap(QSize(side, side)).toImage();
    return QImage();
}

void AppIconView::paint(QPainter& painter, const QRectF& frame, const QImage& art) {
    const double size = std::min(frame.width(), frame.height());
    if (!(size > 0)) return;
    const QRectF square(frame.center() - QPointF(size / 2, size / 2), QSizeF(size, size));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipPath(ContinuousCorners::roundedRect(square, cornerRadius(size)));
    if (!art.isNull()) {
        const double side = artworkSide(size);
        painter.drawImage(QRectF(square.center() - QPointF(side / 2, side / 2), QSizeF(side, side)), art);
    } else {
        const QColor accent = SystemColors::accent();
        QLinearGradient fill(square.topLeft(), square.bottomLeft());
        fill.setColorAt(0, accent.lighter(125));
        fill.setColorAt(1, accent.darker(110));
        painter.fillRect(square, fill);
        Symbols::draw(painter, square, QStringLiteral("gauge.medium"), Qt::white, size * 0.6, Symbols::Weight::semibold);
    }
    painter.restore();
}

void AppIconView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(size_, size_)), artwork());
}
