#include "Platform/Core/Clock.h"

#include <QElapsedTimer>

#include <atomic>
#include <cmath>
#include <mutex>

namespace {
std::mutex g_clockMutex;
std::shared_ptr<Clock> g_clock;
}  // namespace

Clock& Clock::shared() {
    static SystemClock systemClock;
    std::lock_guard lock(g_clockMutex);
    return g_clock ? *g_clock : static_cast<Clock&>(systemClock);
}

void Clock::setShared(std::shared_ptr<Clock> clock) {
    std::lock_guard lock(g_clockMutex);
    g_clock = std::move(clock);
}

QDateTime SystemClock::now() const { return QDateTime::currentDateTimeUtc(); }

double SystemClock::monotonic() const {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return double(timer.nsecsElapsed()) / 1e9;
}

namespace ReferenceDate {
double seconds(const QDateTime& date) { return double(date.toMSecsSinceEpoch()) / 1000.0 - double(unixOffset); }
QDateTime date(double referenceSeconds) {
    // To the nearest millisecond: truncating would turn x.123 into x.122 now and then.
    return QDateTime::fromMSecsSinceEpoch(std::llround((referenceSeconds + double(unixOffset)) * 1000.0), QTimeZone::utc());
}
}  // namespace ReferenceDate
