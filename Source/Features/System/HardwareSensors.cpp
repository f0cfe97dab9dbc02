#include "Source/Features/System/HardwareSensors.h"

#include <algorithm>
#include <cmath>

namespace HardwareSensors {

std::optional<Temperatures> summarize(const std::vector<double>& celsius) {
    double hottest = 0, sum = 0;
    int count = 0;
    for (double t : celsius) {
        if (!std::isfinite(t) || t <= 0 || t >= 150) continue;  // unplugged probes report 0, -273 or 255+
        hottest = count == 0 ? t : std::max(hottest, t);
        sum += t;
        ++count;
    }
    if (count == 0) return std::nullopt;
    return Temperatures{hottest, sum / count};
}

void fans(const std::vector<HwmonReader::Fan>& readings, std::vector<SMC::Fan>& out) {
    out.clear();
    for (const HwmonReader::Fan& reading : readings) {
        if (out.size() >= maxFans) break;
        if (!std::isfinite(reading.rpm)) continue;
        SMC::Fan fan;
        fan.rpm = std::max(0.0, reading.rpm);
        fan.max = std::isfinite(reading.max) && reading.max > 0 ? reading.max : defaultFanMax;
        out.push_back(fan);
    }
}

}  // namespace HardwareSensors
