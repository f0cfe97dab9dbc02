#include "Views/Monitor/MonitorContentFader.h"

#include "Views/Monitor/BlurFade.h"

#include <QGraphicsOpacityEffect>
#include <QWidget>

#include <algorithm>

namespace {
double lerp(double a, double b, double t) { return a + (b - a) * t; }
}  // namespace

MonitorContentFader::MonitorContentFader(QWidget* host) : QObject(host), host_(host) {}

QGraphicsOpacityEffect* MonitorContentFader::opacityEffect(QWidget* widget) {
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(widget);
        effect->setOpacity(1);
        widget->setGraphicsEffect(effect);
    }
    return effect;
}

void MonitorContentFader::fade(QWidget* widget, double to, const Motion::Animation& animation, double delay,
                               std::function<void()> done) {
    if (!widget) return;
    // One fade per widget: a new one takes over from where the running one is.
    if (QPointer<Motion::Animator> running = fadeAnimators_.take(widget)) running->stop();
    if (QPointer<QTimer> pending = fadeDelays_.take(widget)) delete pending;
    QPointer<QWidget> target(widget);
    auto finish = [target, to, done] {
        if (!target) return;
        if (to >= 1) target->setGraphicsEffect(nullptr);
        if (done) done();
    };
    const bool animated = !(animation.duration <= 0 && !animation.isSpring()) && host_->isVisible();
    if (!animated) {
        if (to < 1) opacityEffect(widget)->setOpacity(std::clamp(to, 0.0, 1.0));
        finish();
        return;
    }
    const double from = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect())
                            ? static_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect())->opacity()
                            : (to > 0 ? 0.0 : 1.0);
    opacityEffect(widget)->setOpacity(from);
    QPointer<MonitorContentFader> self(this);
    auto run = [self, target, from, to, animation, finish] {
        if (!target || !self) return;
        Motion::Animator* a = Motion::animate(
            target, animation,
            [target, from, to](double p) {
                if (!target) return;
                if (auto* e = qobject_cast<QGraphicsOpacityEffect*>(target->graphicsEffect()))
                    e->setOpacity(std::clamp(lerp(from, to, p), 0.0, 1.0));
            },
            finish);
        if (a)
            self->fadeAnimators_.insert(target.data(), a);
        else
            finish();
    };
    if (delay > 0) {
        auto* timer = new QTimer(widget);
        timer->setSingleShot(true);
        fadeDelays_.insert(widget, timer);
        connect(timer, &QTimer::timeout, widget, [run, timer] {
            timer->deleteLater();
            run();
        });
        timer->start(int(delay * 1000));
    } else {
        run();
    }
}

void MonitorContentFader::blur(QWidget* widget, double radius, double opacity, const Motion::Animation& timing,
                               std::function<void()> done) {
    if (QPointer<Motion::Animator> running = blurAnimators_.take(widget)) running->stop();
    auto* effect = qobject_cast<BlurFade*>(widget->graphicsEffect());
    if (!effect) {
        effect = new BlurFade(0, 1, widget);
        widget->setGraphicsEffect(effect);
    }
    const double fromRadius = effect->radius(), fromOpacity = effect->opacity();
    QPointer<QWidget> target(widget);
    Motion::Animator* a = Motion::animate(
        widget, timing,
        [target, fromRadius, fromOpacity, radius, opacity](double p) {
            if (!target) return;
            if (auto* e = qobject_cast<BlurFade*>(target->graphicsEffect()))
                e->set(lerp(fromRadius, radius, p), std::clamp(lerp(fromOpacity, opacity, p), 0.0, 1.0));
        },
        std::move(done));
    if (a) blurAnimators_.insert(widget, a);
}

void MonitorContentFader::fadeIn(QWidget* widget, const Motion::Animation& animation, double delay) {
    opacityEffect(widget)->setOpacity(0);
    fade(widget, 1, animation, delay);
}

void MonitorContentFader::fadeOutAndDelete(QWidget* widget, const Motion::Animation& animation, double delay) {
    if (!widget) return;
    widget->setEnabled(false);
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (!qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect())) opacityEffect(widget)->setOpacity(1);
    QPointer<QWidget> target(widget);
    fade(widget, 0, animation, delay, [target] {
        if (target) target->deleteLater();
    });
}
