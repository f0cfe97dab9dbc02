#include "Views/Toolbox/QRImageView.h"

#include "Views/Shared/ContinuousCorners.h"

#include <QPainter>

QRImageView::QRImageView(QWidget* parent) : QWidget(parent) {
    setFixedSize(side, side);
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(QStringLiteral("QR-код"));
}

void QRImageView::setImage(const QImage& image) {
    image_ = image;
    update();
}

QSizeF QRImageView::imageSize() const {
    if (image_.isNull()) return {};
    return QSizeF(image_.size()) / image_.devicePixelRatio();
}

void QRImageView::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(ContinuousCorners::roundedRect(QRectF(rect()), cornerRadius));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QSizeF size = imageSize();
    const QPointF origin((width() - size.width()) / 2, (height() - size.height()) / 2);
    painter.drawImage(QRectF(origin, size), image_);
}
