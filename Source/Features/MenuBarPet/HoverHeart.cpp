#include "Source/Features/MenuBarPet/HoverHeart.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double kMass = 0.6, kStiffness = 260, kDamping = 11, kFrom = 0.3;
constexpr double kFadeIn = 0.12, kFadeOut = 0.25;
constexpr double kBobDelay = 0.3, kBobHalf = 0.6, kBobHeight = 1.5;

double easeInOut(double p) { return 0.5 - 0.5 * std::cos(std::numbers::pi * std::clamp(p, 0.0, 1.0)); }
}  // namespace

const QImage& HoverHeart::image() {
    static const QImage heart = [] {
        const char* rows[height] = {".##.##.", "#PP#PP#", "#PPPPP#", ".#PPP#.", "..#P#..", "...#..."};
        QImage img(width, height, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const char c = rows[y][x];
                if (c != '.') img.setPixel(x, y, c == '#' ? 0xff2b1d14 : 0xffff6b8b);
            }
        return img;
    }();
    return heart;
}

double HoverHeart::growScale(double t) {
    if (t <= 0) return kFrom;
    const double w0 = std::sqrt(kStiffness / kMass);
    const double zeta = kDamping / (2 * std::sqrt(kStiffness * kMass));
    const double wd = w0 * std::sqrt(1 - zeta * zeta);
    const double envelope = std::exp(-zeta * w0 * t);
    const double displacement = envelope * (std::cos(wd * t) + zeta * w0 / wd * std::sin(wd * t));
    return 1 - (1 - kFrom) * displacement;
}

double HoverHeart::growDuration() {
    // Until the swing stays within 0.1 % of the travel.
    const double w0 = std::sqrt(kStiffness / kMass);
    const double zeta = kDamping / (2 * std::sqrt(kStiffness * kMass));
    return std::log(1000.0 / std::sqrt(1 - zeta * zeta)) / (zeta * w0);
}

void HoverHeart::pop(double now) {
    shown_ = true;
    everPopped_ = true;
    popAt_ = now;
}

void HoverHeart::hide(double now) {
    const double from = look(now).opacity;
    shown_ = false;
    hideFrom_ = from;
    hideAt_ = now;
}

HoverHeart::Look HoverHeart::look(double now) const {
    Look l;
    if (!everPopped_) return l;
    const double sincePop = now - popAt_;
    const bool growing = sincePop < growDuration();
    l.scale = growing ? growScale(sincePop) : 1.0;
    if (shown_) {
        l.opacity = sincePop < kFadeIn ? std::clamp(sincePop / kFadeIn, 0.0, 1.0) : 1.0;
        const double bobTime = sincePop - kBobDelay;
        if (bobTime > 0) {
            const double cycle = std::fmod(bobTime, 2 * kBobHalf);
            l.rise = kBobHeight * easeInOut(cycle < kBobHalf ? cycle / kBobHalf : 2 - cycle / kBobHalf);
        }
        l.animating = true;  // the bob runs while the heart shows
        return l;
    }
    const double sinceHide = now - hideAt_;
    l.opacity = sinceHide < kFadeOut ? hideFrom_ * (1 - sinceHide / kFadeOut) : 0.0;
    l.animating = l.opacity > 0;
    return l;
}
