#pragma once

#include <QPainterPath>
#include <QRectF>

// Rounded rectangles with continuous corners: each corner eases out of its straight edges
// over about 1.5 × the radius instead of meeting them with a circular arc. A radius of at
// least half the shorter side gives a capsule.
namespace ContinuousCorners {
QPainterPath roundedRect(const QRectF& rect, double radius);
QPainterPath capsule(const QRectF& rect);
}  // namespace ContinuousCorners
