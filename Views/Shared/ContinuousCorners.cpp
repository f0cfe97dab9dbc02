#include "Views/Shared/ContinuousCorners.h"

#include <algorithm>
#include <cmath>

namespace ContinuousCorners {
namespace {
constexpr double kReach = 1.528;          // how far along each edge a corner starts, in radii
constexpr double kCircleControl = 0.4477;  // control distance of a quarter circle, in radii
constexpr double kSmoothControl = 0.19;    // control distance of a full continuous corner, in reaches
}  // namespace

QPainterPath roundedRect(const QRectF& rect, double radius) {
    QPainterPath path;
    const QRectF r = rect.normalized();
    if (r.isEmpty()) return path;
    const double half = std::min(r.width(), r.height()) / 2;
    if (!std::isfinite(radius) || radius <= 0) {
        path.addRect(r);
        return path;
    }
    radius = std::min(radius, half);
    // The reach shrinks toward a plain circular corner as the sides run out of room.
    const double reach = std::min(radius * kReach, half);
    const double k = reach / radius;  // 1 … kReach
    const double blend = (k - 1.0) / (kReach - 1.0);
    const double control = reach * (kCircleControl + (kSmoothControl - kCircleControl) * blend);

    const double l = r.left(), t = r.top(), rr = r.right(), b = r.bottom();
    path.moveTo(l + reach, t);
    path.lineTo(rr - reach, t);
    path.cubicTo(rr - control, t, rr, t + control, rr, t + reach);
    path.lineTo(rr, b - reach);
    path.cubicTo(rr, b - control, rr - control, b, rr - reach, b);
    path.lineTo(l + reach, b);
    path.cubicTo(l + control, b, l, b - control, l, b - reach);
    path.lineTo(l, t + reach);
    path.cubicTo(l, t + control, l + control, t, l + reach, t);
    path.closeSubpath();
    return path;
}

QPainterPath capsule(const QRectF& rect) {
    QPainterPath path;
    const QRectF r = rect.normalized();
    if (r.isEmpty()) return path;
    const double radius = std::min(r.width(), r.height()) / 2;
    path.addRoundedRect(r, radius, radius);
    return path;
}
}  // namespace ContinuousCorners
