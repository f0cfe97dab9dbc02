#include "Platform/Core/Dispatch.h"

#include <QCoreApplication>
#include <QThread>

namespace Dispatch {

void main(std::function<void()> fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

void mainAfter(double seconds, QObject* context, std::function<void()> fn) {
    QObject* target = context ? context : QCoreApplication::instance();
    if (!target) return;
    const int ms = std::max(0, int(seconds * 1000.0 + 0.5));
    if (isMainThread()) {
        QTimer::singleShot(ms, target, std::move(fn));
        return;
    }
    QPointer<QObject> guard(target);
    main([guard, ms, fn = std::move(fn)]() mutable {
        if (guard) QTimer::singleShot(ms, guard.data(), std::move(fn));
    });
}

bool isMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

}  // namespace Dispatch

void WorkItem::schedule(QObject* owner, double seconds, std::function<void()> fn) {
    cancel();
    auto* timer = new QTimer(owner);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(std::max(0, int(seconds * 1000.0 + 0.5)));
    QObject::connect(timer, &QTimer::timeout, timer, [timer, fn = std::move(fn)] {
        timer->deleteLater();
        fn();
    });
    timer->start();
    timer_ = timer;
}

void WorkItem::cancel() {
    if (timer_) {
        timer_->stop();
        timer_->deleteLater();
    }
    timer_.clear();
}
