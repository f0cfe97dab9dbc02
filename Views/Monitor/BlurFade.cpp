#include "Views/Monitor/BlurFade.h"

#include "Views/Shared/Motion.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

BlurFade::BlurFade(double radius, double opacity, QObject* parent)
    : QGraphicsEffect(parent), radius_(radius), opacity_(opacity) {}

void BlurFade::setRadius(double radius) { set(radius, opacity_); }
void BlurFade::setOpacity(double opacity) { set(radius_, opacity); }

void BlurFade::set(double radius, double opacity) {
    radius = std::isfinite(radius) ? std::max(0.0, radius) : 0.0;
    opacity = std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 1.0;
    if (radius == radius_ && opacity == opacity_) return;
    const bool boundsChange = (radius > 0) != (radius_ > 0) || std::abs(radius - radius_) > 0.5;
    radius_ = radius;
    opacity_ = opacity;
    if (boundsChange) updateBoundingRect();
    update();
}

double BlurFade::effectiveRadius() const { return Motion::reduceMotion() ? 0.0 : radius_; }

QRectF BlurFade::boundingRectFor(const QRectF& rect) const {
    const double r = std::ceil(effectiveRadius() * 2);
    return rect.adjusted(-r, -r, r, r);
}

QImage BlurFade::blurred(const QImage& image, double radius) {
    if (image.isNull() || radius <= 0.5) return image;
    // Two rounds of down- and up-scaling with smooth filtering approximate a Gaussian.
    const double factor = std::clamp(radius / 2.0, 1.0, 16.0);
    const QSize small(std::max(1, int(image.width() / factor)), std::max(1, int(image.height() / factor)));
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int round = 0; round < 2; ++round) {
        out = out.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                  .scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    out.setDevicePixelRatio(image.devicePixelRatio());
    return out;
}

void BlurFade::draw(QPainter* painter) {
    if (opacity_ <= 0) return;
    const double r = effectiveRadius();
    if (r <= 0.01) {
        if (opacity_ >= 1.0) {
            drawSource(painter);
            return;
        }
        painter->save();
        painter->setOpacity(painter->opacity() * opacity_);
        drawSource(painter);
        painter->restore();
        return;
    }
    QPoint offset;
    const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::PadToEffectiveBoundingRect);
    if (source.isNull()) return;
    const QImage image = blurred(source.toImage(), r * source.devicePixelRatio());
    painter->save();
    painter->setOpacity(painter->opacity() * opacity_);
    painter->drawImage(offset, image);
    painter->restore();
}
