#include "Source/Features/System/UpdateInterval.h"

#include "Platform/Core/RawValues.h"

namespace UpdateIntervals {

namespace {
constexpr RawValues::Entry<UpdateInterval, double> rawValues[]{
    {UpdateInterval::fast, 1},
    {UpdateInterval::normal, 2},
    {UpdateInterval::relaxed, 5},
    {UpdateInterval::slow, 10},
};
}  // namespace

double rawValue(UpdateInterval interval) { return RawValues::rawValue(rawValues, interval); }

std::optional<UpdateInterval> fromRawValue(double seconds) { return RawValues::fromRawValue(rawValues, seconds); }

QString label(UpdateInterval interval) { return QString::asprintf("%.0fs", rawValue(interval)); }

QString id(UpdateInterval interval) { return QString::asprintf("%.0f", rawValue(interval)); }

double processListPeriod(UpdateInterval interval) {
    switch (interval) {
    case UpdateInterval::fast: return 3;
    case UpdateInterval::normal: return 4;
    case UpdateInterval::relaxed: return 10;
    case UpdateInterval::slow: return 20;
    }
    return 4;
}

}  // namespace UpdateIntervals
