#pragma once

#include <QEasingCurve>
#include <QPointer>
#include <QVariantAnimation>

#include <functional>

class QObject;

// The named animations of the interface and the one helper that runs them.
//
// A spring is described by its response (seconds) and damping fraction: mass 1, stiffness
// (2π / response)², damping 2 × dampingFraction × (2π / response), starting at rest. It runs
// for its settling duration. With the desktop's Reduce Motion option on, every spring is run
// as a 0.2 s ease-in-out instead; the option is read each time an animation is started.
namespace Motion {

struct Animation {
    enum class Kind { spring, easeInOut, easeIn, easeOut, linear };

    Kind kind = Kind::linear;
    double response = 0;         // springs: seconds
    double dampingFraction = 1;  // springs
    double duration = 0;         // curves: seconds; springs: the settling duration
    // Springs only: a timing curve that warps the spring's own time (an ease-out entrance).
    Kind timing = Kind::linear;

    static Animation spring(double response, double dampingFraction);
    static Animation easeInOut(double seconds) { return curve(Kind::easeInOut, seconds); }
    static Animation easeIn(double seconds) { return curve(Kind::easeIn, seconds); }
    static Animation easeOut(double seconds) { return curve(Kind::easeOut, seconds); }
    static Animation linear(double seconds) { return curve(Kind::linear, seconds); }

    bool isSpring() const { return kind == Kind::spring; }
    double mass() const { return 1.0; }
    double stiffness() const;
    double damping() const;
    // Time after which the spring stays within 0.1 % of its travel from the target.
    double settlingDuration() const;
    // Progress (0 at the start, 1 at the end; springs may overshoot) after t seconds.
    double value(double t) const;
    Animation withTiming(Kind t) const {
        Animation a = *this;
        a.timing = t;
        return a;
    }

    bool operator==(const Animation&) const = default;

private:
    static Animation curve(Kind kind, double seconds);
};

// The shared presets (response, damping fraction), created once on first use.
const Animation& state();    // 0.25 s, 1.0
const Animation& move();     // 0.4 s, 1.0
const Animation& morph();    // 0.4 s, 1.0
const Animation& droplet();  // 0.45 s, 0.62
const Animation& drawer();   // 0.3 s, 0.8
const Animation& value();    // 0.55 s, 1.0

// The replacement every spring gets under Reduce Motion.
Animation reducedMotionReplacement();
bool reduceMotion();
// The animation to run now: a spring becomes a 0.2 s ease-in-out while Reduce Motion is on.
Animation resolved(const Animation& animation);

// The normalised timing curves as Qt easing curves (cubic Béziers of the standard ease
// functions).
QEasingCurve easingCurve(Animation::Kind kind);

// A QVariantAnimation whose progress follows an Animation (springs included, overshoot and
// all). The animation given is resolved against Reduce Motion when the animator is made.
class Animator : public QVariantAnimation {
    Q_OBJECT
public:
    explicit Animator(const Animation& animation, QObject* parent = nullptr);
    const Animation& animation() const { return animation_; }

protected:
    QVariant interpolated(const QVariant& from, const QVariant& to, qreal progress) const override;

private:
    Animation animation_;
};

// Runs an animation owned by owner: step(progress) is called on every frame with the
// animation's progress, finally with exactly 1, then done() (when given). A zero-length
// animation steps once to 1 at once. Destroying owner, or stopping the animator, ends it
// without done(). Returns the running animator (deleted when it stops), or nullptr when it
// finished at once.
Animator* animate(QObject* owner, const Animation& animation, std::function<void(double)> step,
                  std::function<void()> done = {});

// A number that moves to each new target with an animation (a hover fade, say), calling
// onChange on every frame. Starting a new move stops the one under way, from where it stands.
class AnimatedValue {
public:
    AnimatedValue(QObject* owner, double initial, std::function<void()> onChange)
        : owner_(owner), value_(initial), target_(initial), onChange_(std::move(onChange)) {}
    double value() const { return value_; }
    double target() const { return target_; }
    void animateTo(double target, const Animation& animation = state());
    // Stops any move and stands at v at once.
    void setValue(double v);

private:
    QObject* owner_;
    double value_;
    double target_;
    std::function<void()> onChange_;
    QPointer<Animator> animator_;
};

}  // namespace Motion
