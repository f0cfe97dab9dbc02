#pragma once

#include <QDateTime>
#include <QTimeZone>

#include <memory>

// Wall-clock time and a monotonic media clock, replaceable in tests.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;       // UTC
    virtual double monotonic() const = 0;    // seconds from an arbitrary start

    static Clock& shared();
    // Replaces the shared clock (tests); nullptr restores the system clock.
    static void setShared(std::shared_ptr<Clock> clock);
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    double monotonic() const override;
};

class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime::fromSecsSinceEpoch(1'700'000'000, QTimeZone::utc()))
        : now_(start) {}
    QDateTime now() const override { return now_; }
    double monotonic() const override { return monotonic_; }
    void advance(double seconds) {
        now_ = now_.addMSecs(qint64(seconds * 1000.0));
        monotonic_ += seconds;
    }
    void set(const QDateTime& t) { now_ = t; }

private:
    QDateTime now_;
    double monotonic_ = 0;
};

// Stored dates count seconds since 2001-01-01 00:00:00 UTC.
namespace ReferenceDate {
constexpr qint64 unixOffset = 978307200;
double seconds(const QDateTime& date);
QDateTime date(double referenceSeconds);
}  // namespace ReferenceDate
