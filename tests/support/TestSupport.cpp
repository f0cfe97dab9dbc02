#include "TestSupport.h"

#include <QEventLoop>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <ctime>

namespace TestSupport {

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void spin(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

namespace {
double clockMs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}
}  // namespace

double threadOwnMs() {
    // The second figure is the nanoseconds spent waiting on a run queue.
    QFile stats(QStringLiteral("/proc/thread-self/schedstat"));
    double waitedMs = 0;
    if (stats.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = stats.readAll().simplified().split(' ');
        if (fields.size() >= 2) waitedMs = fields[1].toDouble() / 1e6;
    }
    return clockMs(CLOCK_MONOTONIC) - waitedMs;
}

double threadCpuMs() { return clockMs(CLOCK_THREAD_CPUTIME_ID); }

GuiStallMeter::GuiStallMeter(int intervalMs) : last_(threadOwnMs()) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        const double now = threadOwnMs();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    });
    timer_.start(intervalMs);
}

double GuiStallMeter::longestMs() const { return std::max(longest_, threadOwnMs() - last_); }

}  // namespace TestSupport
