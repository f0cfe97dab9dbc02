#include "Platform/Gui/AssetImages.h"

#include "Platform/Core/Bundle.h"

#include <QPainter>
#include <QSvgRenderer>

QImage AssetImages::render(const QString& name, int side) {
    if (side <= 0) return {};
    QSvgRenderer renderer(Bundle::main().resourcePath(name + QStringLiteral(".svg")));
    if (!renderer.isValid()) return {};
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, side, side));
    painter.end();
    return image;
}

QIcon AssetImages::applicationIcon() {
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage image = render(QStringLiteral("AppIcon"), side);
        if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}
