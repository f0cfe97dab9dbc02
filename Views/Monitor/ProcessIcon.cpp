#include "Views/Monitor/ProcessIcon.h"

#include "Views/Monitor/ProcessIconCache.h"

#include <QPainter>

#include <cmath>

ProcessIcon::ProcessIcon(std::optional<QString> bundlePath, QString name, double size, QWidget* parent)
    : QWidget(parent), bundlePath_(std::move(bundlePath)), name_(std::move(name)), size_(size) {
    setAttribute(Qt::WA_TranslucentBackground);
    const int side = int(std::ceil(size_));
    setFixedSize(side, side);
}

QSize ProcessIcon::sizeHint() const {
    const int side = int(std::ceil(size_));
    return QSize(side, side);
}

void ProcessIcon::paint(QPainter& painter, const QRectF& rect, const std::optional<QString>& bundlePath,
                        const QString& name) {
    const QPixmap image = ProcessIconCache::icon(bundlePath, name);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect, image, QRectF(image.rect()));
    painter.restore();
}

void ProcessIcon::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, QRectF(0, 0, size_, size_), bundlePath_, name_);
}
