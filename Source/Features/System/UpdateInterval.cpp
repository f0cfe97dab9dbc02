#include "Source/Features/System/UpdateInterval.h"

namespace UpdateIntervals {

double rawValue(UpdateInterval interval) {
    switch (interval) {
    case UpdateInterval::fast: return 1;
    case UpdateInterval::normal: return 2;
    case UpdateInterval::relaxed: return 5;
    case UpdateInterval::slow: return 10;
    }
    return 2;
}

std::optional<UpdateInterval> fromRawValue(double seconds) {
    for (UpdateInterval interval : allCases) {
        if (rawValue(interval) == seconds) return interval;
    }
    return std::nullopt;
}

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
