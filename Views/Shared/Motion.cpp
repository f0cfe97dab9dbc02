#include "Views/Shared/Motion.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"

#include <QPointF>
#include <QPointer>

#include <cmath>
#include <numbers>

namespace Motion {
namespace {

constexpr double kSettleTolerance = 0.001;  // of the travel
constexpr double kLongestSpring = 10.0;     // seconds; a spring that never settles stops here

bool validSpring(double response, double zeta) {
    return std::isfinite(response) && response > 0 && std::isfinite(zeta) && zeta > 0;
}

double omega(double response) { return 2.0 * std::numbers::pi / response; }

// Distance from the target (1 at t = 0) of a spring released at rest.
double displacement(double response, double zeta, double t) {
    const double w0 = omega(response);
    if (std::abs(zeta - 1.0) < 1e-9) return std::exp(-w0 * t) * (1.0 + w0 * t);
    if (zeta < 1.0) {
        const double wd = w0 * std::sqrt(1.0 - zeta * zeta);
        return std::exp(-zeta * w0 * t) * (std::cos(wd * t) + zeta * w0 / wd * std::sin(wd * t));
    }
    const double root = std::sqrt(zeta * zeta - 1.0);
    const double r1 = -w0 * (zeta - root), r2 = -w0 * (zeta + root);
    return (r2 * std::exp(r1 * t) - r1 * std::exp(r2 * t)) / (r2 - r1);
}

// First time a monotonically falling displacement reaches the tolerance.
double solveMonotonic(double response, double zeta) {
    double lo = 0, hi = kLongestSpring;
    if (displacement(response, zeta, hi) > kSettleTolerance) return hi;
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        (displacement(response, zeta, mid) > kSettleTolerance ? lo : hi) = mid;
    }
    return hi;
}

double settle(double response, double zeta) {
    if (!validSpring(response, zeta)) return 0;
    if (zeta < 1.0 - 1e-9) {
        // The oscillation stays inside the envelope e^(−ζω₀t) / √(1 − ζ²).
        const double t = std::log(1.0 / (kSettleTolerance * std::sqrt(1.0 - zeta * zeta))) / (zeta * omega(response));
        return std::min(t, kLongestSpring);
    }
    return solveMonotonic(response, zeta);
}

}  // namespace

Animation Animation::spring(double response, double dampingFraction) {
    Animation a;
    a.kind = Kind::spring;
    a.response = response;
    a.dampingFraction = dampingFraction;
    a.duration = settle(response, dampingFraction);
    return a;
}

Animation Animation::curve(Kind kind, double seconds) {
    Animation a;
    a.kind = kind;
    a.duration = std::isfinite(seconds) && seconds > 0 ? seconds : 0;
    return a;
}

double Animation::stiffness() const {
    if (!isSpring() || !(response > 0)) return 0;
    const double w = omega(response);
    return w * w * mass();
}

double Animation::damping() const {
    if (!isSpring() || !(response > 0)) return 0;
    return 2.0 * dampingFraction * omega(response);
}

double Animation::settlingDuration() const { return isSpring() ? duration : 0; }

double Animation::value(double t) const {
    if (!(duration > 0) || !std::isfinite(t) || t >= duration) return 1.0;
    if (t <= 0) return 0.0;
    if (kind != Kind::spring) return easingCurve(kind).valueForProgress(t / duration);
    if (!validSpring(response, dampingFraction)) return 1.0;
    double local = t;
    if (timing != Kind::linear) local = easingCurve(timing).valueForProgress(t / duration) * duration;
    return 1.0 - displacement(response, dampingFraction, local);
}

const Animation& state() {
    static const Animation a = Animation::spring(0.25, 1.0);
    return a;
}
const Animation& move() {
    static const Animation a = Animation::spring(0.4, 1.0);
    return a;
}
const Animation& morph() {
    static const Animation a = Animation::spring(0.4, 1.0);
    return a;
}
const Animation& droplet() {
    static const Animation a = Animation::spring(0.45, 0.62);
    return a;
}
const Animation& drawer() {
    static const Animation a = Animation::spring(0.3, 0.8);
    return a;
}
const Animation& value() {
    static const Animation a = Animation::spring(0.55, 1.0);
    return a;
}

Animation reducedMotionReplacement() { return Animation::easeInOut(0.2); }

bool reduceMotion() { return AccessibilityDisplayOptions::reduceMotion(); }

Animation resolved(const Animation& animation) {
    if (animation.isSpring() && reduceMotion()) return reducedMotionReplacement();
    return animation;
}

QEasingCurve easingCurve(Animation::Kind kind) {
    auto bezier = [](QPointF c1, QPointF c2) {
        QEasingCurve curve(QEasingCurve::BezierSpline);
        curve.addCubicBezierSegment(c1, c2, QPointF(1, 1));
        return curve;
    };
    static const QEasingCurve inOut = bezier({0.42, 0}, {0.58, 1});
    static const QEasingCurve in = bezier({0.42, 0}, {1, 1});
    static const QEasingCurve out = bezier({0, 0}, {0.58, 1});
    switch (kind) {
    case Animation::Kind::easeInOut: return inOut;
    case Animation::Kind::easeIn: return in;
    case Animation::Kind::easeOut: return out;
    case Animation::Kind::spring:
    case Animation::Kind::linear: break;
    }
    return QEasingCurve(QEasingCurve::Linear);
}

Animator::Animator(const Animation& animation, QObject* parent)
    : QVariantAnimation(parent), animation_(resolved(animation)) {
    setDuration(std::max(0, int(std::lround(animation_.duration * 1000.0))));
}

QVariant Animator::interpolated(const QVariant& from, const QVariant& to, qreal progress) const {
    const double eased = progress >= 1.0 ? 1.0 : animation_.value(progress * animation_.duration);
    switch (from.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return from.toDouble() + (to.toDouble() - from.toDouble()) * eased;
    default: break;
    }
    return QVariantAnimation::interpolated(from, to, eased);
}

Animator* animate(QObject* owner, const Animation& animation, std::function<void(double)> step,
                  std::function<void()> done) {
    auto* animator = new Animator(animation, owner);
    if (animator->duration() <= 0) {
        delete animator;
        if (step) step(1.0);
        if (done) done();
        return nullptr;
    }
    animator->setStartValue(0.0);
    animator->setEndValue(1.0);
    QObject::connect(animator, &QVariantAnimation::valueChanged, animator,
                     [step](const QVariant& v) { if (step) step(v.toDouble()); });
    QObject::connect(animator, &QAbstractAnimation::finished, animator, [done] {
        if (done) done();
    });
    QObject::connect(animator, &QAbstractAnimation::stateChanged, animator,
                     [animator](QAbstractAnimation::State now, QAbstractAnimation::State) {
                         if (now == QAbstractAnimation::Stopped) animator->deleteLater();
                     });
    animator->start();
    return animator;
}

void AnimatedValue::setValue(double v) {
    if (animator_) animator_->stop();
    value_ = target_ = v;
    if (onChange_) onChange_();
}

void AnimatedValue::animateTo(double target, const Animation& animation) {
    if (target == target_) return;
    target_ = target;
    if (animator_) animator_->stop();
    const double from = value_;
    animator_ = animate(owner_, animation, [this, from, target](double p) {
        value_ = from + (target - from) * p;
        if (onChange_) onChange_();
    });
}

}  // namespace Motion
